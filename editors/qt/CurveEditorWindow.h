#pragma once
// Curve editor windows: "Driver RPM Data" and "Fuel Correction Data". Each
// draws its curves as graphs to the right of the grid, in the columns'
// units, with the selected points and the live x marked.

#include <vector>

#include "editors/CurveGraph.h"
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

    // Wide enough for the grid and its graphs beside it.
    QSize OpeningSize(QSize frame) const override;
    // Where each curve's graph is drawn, and its plot area inside.
    std::vector<PixelBox> GraphBoxes() const;
    PixelBox PlotBox(const PixelBox& graph) const;
    // The curves as the graphs show them, with the live x.
    std::vector<CurveGraph> Graphs() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void LiveChanged(const LiveView& before, const LiveView& after) override;

private:
    int GraphsLeft() const;
    void PaintGraph(QPainter& painter, const CurveGraph& graph, const PixelBox& box) const;

    int gridRight_ = 0;  // pixels: where the grid's text ends
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
