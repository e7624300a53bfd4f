#include "editors/qt/TableEditorWindow.h"

#include <QMenu>
#include <memory>

#include "editors/HeatMap.h"

namespace korvel {

namespace {
const QRect TableFrame{0, 0, 650, 350};
}  // namespace

TableEditorWindow::TableEditorWindow(CalibrationSession& session, Prompter& prompter,
                                     QWidget* owner, TableLayout layout)
    : EditorWindow(session, prompter, owner, layout.title, TableFrame,
                   std::make_unique<TableModel>(session.ModelImage(), layout)),
      image_(session.ModelImage()) {}

void TableEditorWindow::SetHeatMap(bool on) {
    if (heatMap_ != on) {
        heatMap_ = on;
        update();
    }
}

std::vector<CellFill> TableEditorWindow::Fills() const {
    std::vector<CellFill> fills;
    const CellGrid grid = Model().Grid();
    const std::optional<ValueRange> range = RangeOfValues(grid, image_);
    if (!heatMap_ || !range) {
        return fills;
    }
    const int bottom = BottomLine();
    for (int c = 0; c < grid.Columns(); ++c) {
        for (int line = 0; line < grid.lines; ++line) {
            const int index = grid.At({c, line});
            if (index >= 0) {
                const Rgb rgb = HeatColour(image_[index], *range);
                fills.push_back(
                    {CellText(grid, {c, line}, bottom), QColor(rgb.red, rgb.green, rgb.blue)});
            }
        }
    }
    return fills;
}

void TableEditorWindow::AddViewItems(QMenu* menu) {
    menu->addSeparator();
    QAction* colours = menu->addAction("Heat Map Colours");
    colours->setObjectName("heatMap");
    colours->setCheckable(true);
    colours->setChecked(heatMap_);
    connect(colours, &QAction::toggled, this, &TableEditorWindow::SetHeatMap);
}

VeTableWindow::VeTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : TableEditorWindow(session, prompter, owner, VeTableLayout()) {}

VeLpTableWindow::VeLpTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : TableEditorWindow(session, prompter, owner, VeLpTableLayout()) {}

SparkTableWindow::SparkTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : TableEditorWindow(session, prompter, owner, SparkTableLayout()) {}

}  // namespace korvel
