#pragma once
// The grid of a curve editor window: several curves of the image side by
// side, one point per line from the bottom line upward, an x and a y column
// per curve, and Add Row on a selected x cell.

#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/CalibrationMap.h"
#include "editors/CurveGraph.h"
#include "editors/GridModel.h"

namespace korvel {

struct CurveLabel {
    const char* text;
    int column;
};

// One shown curve: which y byte of its points (Gasoline and Lp are the two
// y bytes of three-byte points), where it stands and the labels under it.
struct CurveSpec {
    const CurveMap* curve;
    EntryKind kind;
    int xColumn;  // the y column lies YColumnOffset text columns further right
    std::vector<CurveLabel> labels;

    const char* YName() const { return kind == EntryKind::Lp ? curve->lpName : curve->yName; }
};

// "Driver RPM Data": PositionRpmCurve, TempRpmCurve.
std::vector<CurveSpec> RpmCurveSpecs();
// "Fuel Correction Data": BCurve (gasoline), ACurve, AirCorCurve, BCurve (LP).
std::vector<CurveSpec> FuelCurveSpecs();

// Grid columns 2k and 2k + 1 are curve k's x and y values; the y values of
// one curve are a region's group.
class CurveModel : public GridModel {
public:
    static constexpr int TextColumnStep = 5;
    static constexpr int YColumnOffset = 5;

    CurveModel(CalibrationImage& image, std::vector<CurveSpec> curves);

    CellGrid Grid() const override;
    // For each curve whose x a live value matches (Tcoo for the temperature
    // curves, Tair for the air correction) and whose values the engine uses
    // now (the Fuel rule): the x and y cells of the points around the live
    // x byte, pinned to the first or last point beyond them.
    std::vector<LiveMark> LiveMarks(const LiveValues& live) const override;
    // Each curve as a graph in its columns' units, the selected points
    // marked (a point is selected with its x or its y cell).
    std::vector<CurveGraph> Graphs() const;

    // Inserts a point after the selected x cell's point; on success the
    // selection is dropped (image bytes behind the point have moved).
    InsertResult AddRow();

    const std::vector<CurveSpec>& Curves() const { return curves_; }

protected:
    GroupCells Group(const CellGrid& grid, int group) const override;
    uint32_t ClampedRaw(const CellGrid& grid, GridPos cell, int64_t raw) const override;
    int ColumnStep() const override { return TextColumnStep; }
    std::vector<GridCell> Labels(int bottom) const override;

private:
    std::vector<CurveSpec> curves_;
};

}  // namespace korvel
