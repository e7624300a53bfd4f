#pragma once
// The modal dialogs of the Plots, Constants and Help menus. Each is run with
// exec() by the main window, which repaints its client area afterwards.
// Control identifiers are the widgets' object names (for example "1017").

#include <QDialog>
#include <cstdint>
#include <functional>

#include "calib/CalibrationImage.h"
#include "link/PeekPoke.h"
#include "monitor/MonitorFile.h"
#include "monitor/PlotState.h"
#include "session/CalibrationSession.h"
#include "ui/Prompter.h"

namespace korvel {

// "Select Variable for Plotting": assigns variables and ranges to the channels.
class PlotVariableDialog : public QDialog {
    Q_OBJECT
public:
    PlotVariableDialog(const MonitorFile& monitor, PlotState& plot, Prompter& prompter,
                       QWidget* parent);

private:
    int SelectedVariable() const;  // -1 when nothing is selected
    void ShowUnits();              // the range in the selected variable's unit
    void OnAdd();
    void OnDelete();
    const MonitorFile& monitor_;
    PlotState& plot_;
    Prompter& prompter_;
};

// The sweep length in seconds. Refuses 0, empty or non-numeric text, and
// lengths above MaxTimeScaleSeconds, keeping the old value.
class TimeScaleDialog : public QDialog {
    Q_OBJECT
public:
    TimeScaleDialog(PlotState& plot, Prompter& prompter, QWidget* parent);

private:
    void OnOk();
    PlotState& plot_;
    Prompter& prompter_;
};

// The constants dialogs store on their own OK button, all fields or none: a
// field that is empty, not a number or beyond its slots' range is refused
// with a message and selected, and the dialog stays open.

// "RPM Presets": engine-speed presets (x20) and 16-bit PWM limits.
class RpmPresetsDialog : public QDialog {
    Q_OBJECT
public:
    RpmPresetsDialog(CalibrationImage& image, Prompter& prompter, QWidget* parent);

private:
    void OnOk();
    CalibrationImage& image_;
    Prompter& prompter_;
};

// "AE / MIS": acceleration-enrichment constants, gasoline and LP.
class AeMisDialog : public QDialog {
    Q_OBJECT
public:
    AeMisDialog(CalibrationImage& image, Prompter& prompter, QWidget* parent);

private:
    void OnOk();
    CalibrationImage& image_;
    Prompter& prompter_;
};

// "Governor": KP, KD and KI of six gain sets.
class GovernorDialog : public QDialog {
    Q_OBJECT
public:
    GovernorDialog(CalibrationImage& image, Prompter& prompter, QWidget* parent);

private:
    void OnOk();
    CalibrationImage& image_;
    Prompter& prompter_;
};

// "Korvel": name and version.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);
};

// Single-byte ECU access: Peek anywhere, Poke in the EEPROM range, both
// through the session, which starts each on a quiet line. Poke sends only a
// whole number 0..255 typed into the Data field.
class PeekPokeDialog : public QDialog {
    Q_OBJECT
public:
    PeekPokeDialog(CalibrationSession& session, Prompter& prompter, QWidget* parent);

private:
    // Shows the failure's message, if it has one (exclamation, owned by the
    // dialog); true when the result failed.
    bool Warn(const LinkResult& result);
    void OnPeek();
    void OnPoke();
    CalibrationSession& session_;
    Prompter& prompter_;
};

}  // namespace korvel
