#include "editors/qt/TableEditorWindow.h"

#include <memory>

namespace korvel {

namespace {
const QRect TableFrame{0, 0, 650, 350};
}  // namespace

TableEditorWindow::TableEditorWindow(CalibrationImage& image, ImageHistory& history,
                                     Prompter& prompter, QWidget* owner, TableLayout layout)
    : EditorWindow(image, history, prompter, owner, layout.title, TableFrame,
                   std::make_unique<TableModel>(image, layout)) {}

VeTableWindow::VeTableWindow(CalibrationImage& image, ImageHistory& history, Prompter& prompter,
                             QWidget* owner)
    : TableEditorWindow(image, history, prompter, owner, VeTableLayout()) {}

VeLpTableWindow::VeLpTableWindow(CalibrationImage& image, ImageHistory& history, Prompter& prompter,
                                 QWidget* owner)
    : TableEditorWindow(image, history, prompter, owner, VeLpTableLayout()) {}

SparkTableWindow::SparkTableWindow(CalibrationImage& image, ImageHistory& history,
                                   Prompter& prompter, QWidget* owner)
    : TableEditorWindow(image, history, prompter, owner, SparkTableLayout()) {}

}  // namespace korvel
