#pragma once
// Curve editor windows: "Driver RPM Data" and "Fuel Correction Data".

#include <vector>

#include "editors/CurveModel.h"
#include "editors/qt/EditorControls.h"
#include "editors/qt/EditorWindow.h"

namespace korvel {

class CurveEditorWindow : public EditorWindow {
    Q_OBJECT
public:
    CurveEditorWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner,
                      const QString& title, std::vector<CurveSpec> curves);

    void DropSelection() override;

    // "Change": stores the edit box value into the selected byte.
    void ApplyChange() override;
    // "Add Row" (or Insert): inserts a point after the selected x cell's point.
    void AddRow() override;

    const CurveModel& Model() const { return model_; }
    QSize CharCell() const { return grid_.CharCell(); }
    int BottomLine() const { return grid_.BottomLine(height()); }

protected:
    bool Move(Direction direction) override { return model_.Move(direction); }
    bool Step(int counts) override { return model_.Step(counts); }
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CurveModel model_;
    Prompter& prompter_;
    GridText grid_;
};

class RpmCurvesWindow : public CurveEditorWindow {
    Q_OBJECT
public:
    RpmCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner);
};

class FuelCurvesWindow : public CurveEditorWindow {
    Q_OBJECT
public:
    FuelCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner);
};

}  // namespace korvel
