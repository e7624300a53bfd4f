#include "editors/qt/CurveEditorWindow.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <utility>

namespace korvel {

namespace {
const QRect CurveFrame{200, 200, 300, 250};
}  // namespace

CurveEditorWindow::CurveEditorWindow(CalibrationSession& session, Prompter& prompter,
                                     QWidget* owner, const QString& title,
                                     std::vector<CurveSpec> curves)
    : EditorWindow(session, owner),
      model_(session.ModelImage(), std::move(curves)),
      prompter_(prompter) {
    connect(valueEdit_, &QLineEdit::returnPressed, this, &CurveEditorWindow::ApplyChange);
    connect(CreateEditorButton(this, "Change", "5002", ChangeButtonRect), &QPushButton::clicked,
            this, &CurveEditorWindow::ApplyChange);
    connect(CreateEditorButton(this, "Add Row", "5003", AddRowButtonRect), &QPushButton::clicked,
            this, &CurveEditorWindow::AddRow);
    SetUpEditorFrame(this, title, CurveFrame);
}

void CurveEditorWindow::DropSelection() {
    model_.DropSelection();
    update();
}

void CurveEditorWindow::ApplyChange() {
    Edit("Change", [this] { return model_.ApplyChange(valueEdit_->text().toStdString()); });
}

void CurveEditorWindow::AddRow() {
    InsertResult result = InsertResult::NotApplicable;
    // Bytes behind the point move: every window drops its selection.
    const auto insert = [&] { return (result = model_.AddRow()) == InsertResult::Inserted; };
    if (!Edit("Add Row", insert, SessionChange::Structure) && result == InsertResult::TableFull) {
        prompter_.Message(this, "Row cannot be added", "Table Full", Prompter::Icon::Stop);
    }
}

void CurveEditorWindow::paintEvent(QPaintEvent*) {
    grid_.Paint(this, model_.Cells(BottomLine()));
    editSync_.Painted(valueEdit_, model_.SelectedIndex(), model_.FillEditBox());
}

void CurveEditorWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint text = grid_.TextPosition(event->position().toPoint());
    model_.Click(text.x(), text.y());
    editSync_.Clicked();
    update();
}

RpmCurvesWindow::RpmCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(session, prompter, owner, "Driver RPM Data", RpmCurveSpecs()) {}

FuelCurvesWindow::FuelCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(session, prompter, owner, "Fuel Correction Data", FuelCurveSpecs()) {}

}  // namespace korvel
