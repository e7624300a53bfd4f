#pragma once
// Table editor windows: "VE Table", "VE Table (LP)" and "Spark Table".

#include "editors/TableModel.h"
#include "editors/qt/EditorControls.h"
#include "editors/qt/EditorWindow.h"

namespace korvel {

class TableEditorWindow : public EditorWindow {
    Q_OBJECT
public:
    TableEditorWindow(CalibrationSession& session, QWidget* owner, const QString& title,
                      TableLayout layout);

    void DropSelection() override;

    // "Change": stores the edit box value into the selected byte.
    void ApplyChange() override;

    const TableModel& Model() const { return model_; }
    QSize CharCell() const { return grid_.CharCell(); }
    int BottomLine() const { return grid_.BottomLine(height()); }

protected:
    bool Move(Direction direction) override { return model_.Move(direction); }
    bool Step(int counts) override { return model_.Step(counts); }
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TableModel model_;
    GridText grid_;
};

class VeTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    VeTableWindow(CalibrationSession& session, QWidget* owner);
};

class VeLpTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    VeLpTableWindow(CalibrationSession& session, QWidget* owner);
};

class SparkTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    SparkTableWindow(CalibrationSession& session, QWidget* owner);
};

}  // namespace korvel
