#pragma once
// Curve editor windows: "Driver RPM Data" and "Fuel Correction Data".

#include <vector>

#include "editors/CurveModel.h"
#include "editors/qt/EditorControls.h"
#include "editors/qt/EditorWindow.h"

class QLineEdit;

namespace korvel {

class CurveEditorWindow : public EditorWindow {
    Q_OBJECT
public:
    CurveEditorWindow(CalibrationImage& image, Prompter& prompter, QWidget* owner,
                      const QString& title, std::vector<CurveSpec> curves);

    void DropSelection() override;

    // "Change": stores the edit box value into the selected byte.
    void ApplyChange();
    // "Add Row": inserts a point after the selected x cell's point.
    void AddRow();

    const CurveModel& Model() const { return model_; }
    QSize CharCell() const { return grid_.CharCell(); }
    int BottomLine() const { return grid_.BottomLine(height()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CurveModel model_;
    Prompter& prompter_;
    GridText grid_;
    EditBoxSync editSync_;
    QLineEdit* valueEdit_;
};

class RpmCurvesWindow : public CurveEditorWindow {
    Q_OBJECT
public:
    RpmCurvesWindow(CalibrationImage& image, Prompter& prompter, QWidget* owner);
};

class FuelCurvesWindow : public CurveEditorWindow {
    Q_OBJECT
public:
    FuelCurvesWindow(CalibrationImage& image, Prompter& prompter, QWidget* owner);
};

}  // namespace korvel
