#include "editors/qt/EditorWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <optional>

#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"

namespace korvel {

EditorWindow::EditorWindow(CalibrationSession& session, QWidget* owner)
    : QWidget(owner), valueEdit_(CreateValueEdit(this)), session_(session) {
    // The grid itself takes the focus, by click or Tab, for the keys.
    setFocusPolicy(Qt::StrongFocus);
    subscription_ = session_.Observe([this](const SessionEvent& e) { OnSessionChange(e); });
}

bool EditorWindow::Edit(const char* name, const std::function<bool()>& change, SessionChange kind) {
    const bool acted = session_.Edit(
        name, [&change](CalibrationImage&) { return change(); }, kind);
    if (acted) {
        update();
    }
    return acted;
}

void EditorWindow::OnSessionChange(const SessionEvent& event) {
    switch (event.change) {
        case SessionChange::Structure:
        case SessionChange::NewImage:
        case SessionChange::Undo:
        case SessionChange::Redo:
            DropSelection();
            break;
        case SessionChange::Edit:
            update();
            break;
        case SessionChange::Saved:
        case SessionChange::Ecu:
            break;
    }
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit Closed();
}

namespace {

std::optional<Direction> ArrowDirection(int key) {
    switch (key) {
        case Qt::Key_Left:
            return Direction::Left;
        case Qt::Key_Right:
            return Direction::Right;
        case Qt::Key_Up:
            return Direction::Up;
        case Qt::Key_Down:
            return Direction::Down;
        default:
            return std::nullopt;
    }
}

// +1 or -1 for the step keys ('=' is '+' without Shift), 0 for others.
int StepSign(int key) {
    switch (key) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_PageUp:
            return 1;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
        case Qt::Key_PageDown:
            return -1;
        default:
            return 0;
    }
}

}  // namespace

// Also receives the keys the edit box passes on: Up, Down, PageUp,
// PageDown and Esc.
void EditorWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const int sign = StepSign(key);
    if (const auto direction = ArrowDirection(key)) {
        if (Move(*direction)) {
            editSync_.Moved();
            update();
        }
    } else if (sign != 0) {
        const int counts = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
        if (Edit("Step", [&] { return Step(sign * counts); })) {
            editSync_.Moved();  // the box shows the new value
        }
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        ApplyChange();
    } else if (key == Qt::Key_Escape) {
        DropSelection();
    } else if (key == Qt::Key_Insert) {
        AddRow();
    } else if (hasFocus() && !event->text().isEmpty() &&
               QString("0123456789.").contains(event->text())) {
        valueEdit_->setFocus(Qt::OtherFocusReason);  // typing starts an entry
        QCoreApplication::sendEvent(valueEdit_, event);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void EditorWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    DropSelection();  // the grid moved: the selected position now shows another value
}

// Tab and Shift+Tab move between the edit box and the grid.
bool EditorWindow::focusNextPrevChild(bool) {
    if (valueEdit_->hasFocus()) {
        setFocus(Qt::TabFocusReason);
    } else {
        valueEdit_->setFocus(Qt::TabFocusReason);
        valueEdit_->selectAll();
    }
    return true;
}

EditorWindow* CreateEditorWindow(EditorKind kind, CalibrationSession& session, Prompter& prompter,
                                 QWidget* owner) {
    switch (kind) {
        case EditorKind::Rpm:
            return new RpmCurvesWindow(session, prompter, owner);
        case EditorKind::Fuel:
            return new FuelCurvesWindow(session, prompter, owner);
        case EditorKind::Ve:
            return new VeTableWindow(session, owner);
        case EditorKind::VeLp:
            return new VeLpTableWindow(session, owner);
        case EditorKind::Spark:
            return new SparkTableWindow(session, owner);
    }
    return nullptr;
}

}  // namespace korvel
