#include "editors/qt/TableEditorWindow.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>

namespace korvel {

namespace {
const QRect TableFrame{0, 0, 650, 350};
}  // namespace

TableEditorWindow::TableEditorWindow(CalibrationImage& image, QWidget* owner, const QString& title,
                                     TableLayout layout)
    : EditorWindow(owner), model_(image, layout), valueEdit_(CreateValueEdit(this)) {
    connect(valueEdit_, &QLineEdit::returnPressed, this, &TableEditorWindow::ApplyChange);
    connect(CreateEditorButton(this, "Change", "5002", ChangeButtonRect), &QPushButton::clicked,
            this, &TableEditorWindow::ApplyChange);
    SetUpEditorFrame(this, title, TableFrame);
    // A click on the grid focuses the window itself, where Enter also applies.
    setFocusPolicy(Qt::ClickFocus);
}

void TableEditorWindow::DropSelection() {
    model_.DropSelection();
    update();
}

void TableEditorWindow::ApplyChange() {
    if (model_.ApplyChange(valueEdit_->text().toStdString())) {
        update();
    }
}

void TableEditorWindow::paintEvent(QPaintEvent*) {
    grid_.Paint(this, model_.Cells(BottomLine()));
    editSync_.Painted(valueEdit_, model_.SelectedIndex(), model_.FillEditBox());
}

void TableEditorWindow::mousePressEvent(QMouseEvent* event) {
    EditorWindow::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint text = grid_.TextPosition(event->position().toPoint());
    model_.Click(text.x(), text.y());
    editSync_.Clicked();
    update();
}

void TableEditorWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ApplyChange();
        return;
    }
    EditorWindow::keyPressEvent(event);
}

VeTableWindow::VeTableWindow(CalibrationImage& image, QWidget* owner)
    : TableEditorWindow(image, owner, "VE Table", VeTableLayout()) {}

VeLpTableWindow::VeLpTableWindow(CalibrationImage& image, QWidget* owner)
    : TableEditorWindow(image, owner, "VE Table (LP)", VeLpTableLayout()) {}

SparkTableWindow::SparkTableWindow(CalibrationImage& image, QWidget* owner)
    : TableEditorWindow(image, owner, "Spark Table", SparkTableLayout()) {}

}  // namespace korvel
