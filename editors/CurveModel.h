#pragma once
// The grid of a curve editor window: several curves of the image side by
// side, one point per text line from the bottom line upward, x and y columns,
// a selected cell, and the Change / Add Row operations on it.

#include <optional>
#include <vector>

#include "calib/CalibrationImage.h"
#include "editors/EditorGrid.h"

namespace korvel {

struct CurveLabel {
    const char* text;
    int column;
};

struct CurveSpec {
    const char* xFormat;
    const char* yFormat;
    UnitScale xScale;
    UnitScale yScale;
    int pointerSlot;
    int linkedSlot;  // first row list whose links an inserted point corrects
    EntryKind kind;
    int xColumn;  // the y column lies YColumnOffset text columns further right
    std::vector<CurveLabel> labels;
};

// "Driver RPM Data": PositionRpmCurve, TempRpmCurve.
std::vector<CurveSpec> RpmCurveSpecs();
// "Fuel Correction Data": BCurve (gasoline), ACurve, AirCorCurve, BCurve (LP).
std::vector<CurveSpec> FuelCurveSpecs();

class CurveModel {
public:
    static constexpr int ColumnStep = 5;
    static constexpr int YColumnOffset = 5;

    CurveModel(CalibrationImage& image, std::vector<CurveSpec> curves);

    // Every cell and label with the bottom point on text line `bottom`; a
    // clicked position that holds a value cell becomes the selection.
    std::vector<GridCell> Cells(int bottom);

    // A click at a text position: the column is rounded down to a multiple
    // of ColumnStep; any earlier selection is dropped.
    void Click(int textColumn, int textLine);

    // The edit box contents for the selected cell; nullopt leaves it alone.
    std::optional<EditBoxFill> FillEditBox() const;

    // Stores the typed value into the selected byte when the edit box is
    // armed, then drops the selection. Returns whether a byte was stored.
    bool ApplyChange(std::string_view text);

    // Inserts a point after the selected x cell's point; on success the
    // selection is dropped (image bytes behind the point have moved).
    InsertResult AddRow();

    // Keyboard: moves the selection to the nearest editable cell of the last
    // laid-out grid in `direction` (end x values are skipped), or, with none
    // selected, selects the first one. False when nothing moved.
    bool Move(Direction direction);
    // Changes the selected value by `counts` raw counts, clamped as
    // ApplyChange clamps; the selection stays. False when nothing changed.
    bool Step(int counts);

    void DropSelection();

    bool HasSelection() const { return selection_.has_value(); }
    int SelectedIndex() const { return selection_ ? selection_->index : -1; }
    const std::vector<CurveSpec>& Curves() const { return curves_; }

private:
    struct Selection {
        int index;
        int step;  // pointSize for an x cell, 0 for a y cell
        int curve;
        bool hasPrevious;  // the point has neighbours inside the curve
        bool hasNext;
    };

    void AddCurveCells(int curve, int bottom, std::vector<GridCell>& cells);
    bool Matches(int column, int line) const;
    int ClampedX(int64_t raw) const;
    // Stores a raw value into the selected byte, clamped; true when it changed.
    bool Store(int64_t raw);

    CalibrationImage& image_;
    std::vector<CurveSpec> curves_;
    std::optional<ClickPosition> click_;
    std::optional<Selection> selection_;
    // The editable cells of the last layout, for key moves.
    std::vector<ClickPosition> editablePositions_;
    std::vector<Selection> editable_;
};

}  // namespace korvel
