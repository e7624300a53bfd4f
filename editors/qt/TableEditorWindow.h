#pragma once
// Table editor windows: "VE Table", "VE Table (LP)" and "Spark Table".

#include "editors/TableModel.h"
#include "editors/qt/EditorControls.h"
#include "editors/qt/EditorWindow.h"

class QLineEdit;

namespace korvel {

class TableEditorWindow : public EditorWindow {
    Q_OBJECT
public:
    TableEditorWindow(CalibrationImage& image, QWidget* owner, const QString& title,
                      TableLayout layout);

    void DropSelection() override;

    // "Change": stores the edit box value into the selected byte.
    void ApplyChange();

    const TableModel& Model() const { return model_; }
    QSize CharCell() const { return grid_.CharCell(); }
    int BottomLine() const { return grid_.BottomLine(height()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TableModel model_;
    GridText grid_;
    EditBoxSync editSync_;
    QLineEdit* valueEdit_;
};

class VeTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    VeTableWindow(CalibrationImage& image, QWidget* owner);
};

class VeLpTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    VeLpTableWindow(CalibrationImage& image, QWidget* owner);
};

class SparkTableWindow : public TableEditorWindow {
    Q_OBJECT
public:
    SparkTableWindow(CalibrationImage& image, QWidget* owner);
};

}  // namespace korvel
