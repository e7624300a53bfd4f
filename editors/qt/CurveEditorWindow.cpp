#include "editors/qt/CurveEditorWindow.h"

#include <QPushButton>
#include <memory>
#include <utility>

namespace korvel {

namespace {
const QRect CurveFrame{200, 200, 300, 250};
}  // namespace

CurveEditorWindow::CurveEditorWindow(CalibrationSession& session, Prompter& prompter,
                                     QWidget* owner, const QString& title,
                                     std::vector<CurveSpec> curves)
    : EditorWindow(session, prompter, owner, title, CurveFrame,
                   std::make_unique<CurveModel>(session.ModelImage(), std::move(curves))) {
    connect(CreateEditorButton(this, "Add Row", "5003", AddRowButtonRect), &QPushButton::clicked,
            this, &CurveEditorWindow::AddRow);
}

void CurveEditorWindow::AddRow() {
    auto& model = static_cast<CurveModel&>(EditorWindow::Model());
    InsertResult result = InsertResult::NotApplicable;
    // Bytes behind the point move: every window drops its selection.
    const auto insert = [&] { return (result = model.AddRow()) == InsertResult::Inserted; };
    if (!Edit("Add Row", insert, SessionChange::Structure) && result == InsertResult::TableFull) {
        prompter_.Message(this, "Row cannot be added", "Table Full", Prompter::Icon::Stop);
    }
}

RpmCurvesWindow::RpmCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(session, prompter, owner, "Driver RPM Data", RpmCurveSpecs()) {}

FuelCurvesWindow::FuelCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(session, prompter, owner, "Fuel Correction Data", FuelCurveSpecs()) {}

}  // namespace korvel
