// Placeholder constructors until the dialogs are built.
#include "dialogs/Dialogs.h"

namespace korvel {

PlotVariableDialog::PlotVariableDialog(const MonitorFile& monitor, PlotState& plot,
                                       Prompter& prompter, QWidget* parent)
    : QDialog(parent), monitor_(monitor), plot_(plot), prompter_(prompter) {}
void PlotVariableDialog::OnAdd() {}
void PlotVariableDialog::OnDelete() {}
TimeScaleDialog::TimeScaleDialog(PlotState& plot, Prompter& prompter, QWidget* parent)
    : QDialog(parent), plot_(plot), prompter_(prompter) {}
void TimeScaleDialog::OnOk() {}
RpmPresetsDialog::RpmPresetsDialog(CalibrationImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {}
void RpmPresetsDialog::OnOk() {}
AeMisDialog::AeMisDialog(CalibrationImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {}
void AeMisDialog::OnOk() {}
GovernorDialog::GovernorDialog(CalibrationImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {}
void GovernorDialog::OnOk() {}
AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {}
PeekPokeDialog::PeekPokeDialog(EcuLink& link, Prompter& prompter, std::function<void()> quietLine,
                               QWidget* parent)
    : QDialog(parent), link_(link), prompter_(prompter), quietLine_(std::move(quietLine)) {}
void PeekPokeDialog::OnPeek() {}
void PeekPokeDialog::OnPoke() {}

}  // namespace korvel
