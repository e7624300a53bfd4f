#include "editors/qt/CurveEditorWindow.h"

#include <QPushButton>
#include <memory>
#include <utility>

namespace korvel {

namespace {
const QRect CurveFrame{200, 200, 300, 250};
}  // namespace

CurveEditorWindow::CurveEditorWindow(CalibrationImage& image, ImageHistory& history,
                                     Prompter& prompter, QWidget* owner, const QString& title,
                                     std::vector<CurveSpec> curves)
    : EditorWindow(image, history, prompter, owner, title, CurveFrame,
                   std::make_unique<CurveModel>(image, std::move(curves))) {
    connect(CreateEditorButton(this, "Add Row", "5003", AddRowButtonRect), &QPushButton::clicked,
            this, &CurveEditorWindow::AddRow);
}

void CurveEditorWindow::AddRow() {
    auto& model = static_cast<CurveModel&>(EditorWindow::Model());
    InsertResult result = InsertResult::NotApplicable;
    if (Edit("Add Row", [&] { return (result = model.AddRow()) == InsertResult::Inserted; })) {
        // Bytes behind the point moved: every window drops its selection.
        emit ImageStructureChanged();
    } else if (result == InsertResult::TableFull) {
        prompter_.Message(this, "Row cannot be added", "Table Full", Prompter::Icon::Stop);
    }
}

RpmCurvesWindow::RpmCurvesWindow(CalibrationImage& image, ImageHistory& history, Prompter& prompter,
                                 QWidget* owner)
    : CurveEditorWindow(image, history, prompter, owner, "Driver RPM Data", RpmCurveSpecs()) {}

FuelCurvesWindow::FuelCurvesWindow(CalibrationImage& image, ImageHistory& history,
                                   Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(image, history, prompter, owner, "Fuel Correction Data", FuelCurveSpecs()) {
}

}  // namespace korvel
