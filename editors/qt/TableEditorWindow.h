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
