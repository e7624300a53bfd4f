#pragma once
// Table editor windows: "VE Table", "VE Table (LP)" and "Spark Table".

#include "editors/TableModel.h"
#include "editors/qt/EditorWindow.h"

namespace korvel {

class TableEditorWindow : public EditorWindow {
    Q_OBJECT
public:
    TableEditorWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner,
                      TableLayout layout);

    const TableModel& Model() const { return static_cast<const TableModel&>(Grid()); }

    // The cells coloured by value (on when the window opens); the context
    // menu's "Heat Map Colours" turns them off and on.
    bool HeatMap() const { return heatMap_; }
    void SetHeatMap(bool on);

protected:
    bool KeepsTrail() const override { return true; }
    std::vector<CellFill> Fills() const override;
    void AddViewItems(QMenu* menu) override;

private:
    const CalibrationImage& image_;
    bool heatMap_ = true;
};

class VeTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    VeTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner);
};

class VeLpTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    VeLpTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner);
};

class SparkTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    SparkTableWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner);
};

}  // namespace korvel
