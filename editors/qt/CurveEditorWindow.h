#pragma once
// Curve editor windows: "Driver RPM Data" and "Fuel Correction Data".

#include <vector>

#include "editors/CurveModel.h"
#include "editors/qt/EditorWindow.h"

namespace korvel {

class CurveEditorWindow : public EditorWindow {
    Q_OBJECT
public:
    CurveEditorWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner,
                      const QString& title, std::vector<CurveSpec> curves);

    // "Add Row" (or Insert): inserts a point after the selected x cell's point.
    void AddRow() override;

    const CurveModel& Model() const { return static_cast<const CurveModel&>(Grid()); }
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
