#include "editors/qt/TableEditorWindow.h"

#include <memory>

namespace korvel {

namespace {
const QRect TableFrame{0, 0, 650, 350};
}  // namespace

TableEditorWindow::TableEditorWindow(CalibrationSession& session, Prompter& prompter,
                                     QWidget* owner, TableLayout layout)
    : EditorWindow(session, prompter, owner, layout.title, TableFrame,
                   std::make_unique<TableModel>(session.ModelImage(), layout)) {}

VeTableWindow::VeTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : TableEditorWindow(session, prompter, owner, VeTableLayout()) {}

VeLpTableWindow::VeLpTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : TableEditorWindow(session, prompter, owner, VeLpTableLayout()) {}

SparkTableWindow::SparkTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : TableEditorWindow(session, prompter, owner, SparkTableLayout()) {}

}  // namespace korvel
