#include "editors/qt/TableEditorWindow.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>

namespace korvel {

namespace {
const QRect TableFrame{0, 0, 650, 350};
}  // namespace

TableEditorWindow::TableEditorWindow(CalibrationSession& session, QWidget* owner,
                                     const QString& title, TableLayout layout)
    : EditorWindow(session, owner), model_(session.ModelImage(), layout) {
    connect(valueEdit_, &QLineEdit::returnPressed, this, &TableEditorWindow::ApplyChange);
    connect(CreateEditorButton(this, "Change", "5002", ChangeButtonRect), &QPushButton::clicked,
            this, &TableEditorWindow::ApplyChange);
    SetUpEditorFrame(this, title, TableFrame);
}

void TableEditorWindow::DropSelection() {
    model_.DropSelection();
    update();
}

void TableEditorWindow::ApplyChange() {
    Edit("Change", [this] { return model_.ApplyChange(valueEdit_->text().toStdString()); });
}

void TableEditorWindow::paintEvent(QPaintEvent*) {
    grid_.Paint(this, model_.Cells(BottomLine()));
    editSync_.Painted(valueEdit_, model_.SelectedIndex(), model_.FillEditBox());
}

void TableEditorWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint text = grid_.TextPosition(event->position().toPoint());
    model_.Click(text.x(), text.y());
    editSync_.Clicked();
    update();
}

VeTableWindow::VeTableWindow(CalibrationSession& session, QWidget* owner)
    : TableEditorWindow(session, owner, "VE Table", VeTableLayout()) {}

VeLpTableWindow::VeLpTableWindow(CalibrationSession& session, QWidget* owner)
    : TableEditorWindow(session, owner, "VE Table (LP)", VeLpTableLayout()) {}

SparkTableWindow::SparkTableWindow(CalibrationSession& session, QWidget* owner)
    : TableEditorWindow(session, owner, "Spark Table", SparkTableLayout()) {}

}  // namespace korvel
