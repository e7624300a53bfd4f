#pragma once
// What the curve and table editors share: a logical grid of cells addressed
// as (column, line), each holding an image index or none, independent of
// where the cells are painted; a selection of one cell or a rectangle of
// them; and the changes made through it (entries, steps, region
// operations, copy and paste).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calib/CalibrationImage.h"
#include "editors/EditorGrid.h"
#include "editors/LiveMarks.h"
#include "editors/RegionOps.h"

namespace korvel {

struct GridColumn {
    int textColumn = 0;  // where its cells are drawn
    // Columns of one group may share a region; -1: single cells only (a
    // curve's x values, whose end values 0 and 255 are fixed).
    int group = -1;
    UnitsFormat units;
};

struct CellGrid {
    std::vector<GridColumn> columns;
    int lines = 0;
    std::vector<int> indices;  // column * lines + line; -1 for no cell

    int Columns() const { return static_cast<int>(columns.size()); }
    // The image index at `p`; -1 for no cell or outside the grid.
    int At(GridPos p) const;
};

// The cells a region of one group covers, for the region operations and the
// clipboard: `shape` column 0 is grid column `firstColumn`.
struct GroupCells {
    ShapeGrid shape;
    int firstColumn = 0;
    const char* format = "";  // of the values
    std::string corner;       // the copy's corner field
    std::vector<std::string> columnNames;
    std::vector<std::string> lineNames;  // from line 0 up
};

// A rectangle in text positions: columns [left, right), lines [top, bottom).
struct TextRect {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

class GridModel {
public:
    // A cell's text, blanks around its digits included, fits in this many
    // text columns.
    static constexpr int CellChars = 5;

    explicit GridModel(CalibrationImage& image) : image_(image) {}
    virtual ~GridModel() = default;
    GridModel(const GridModel&) = delete;
    GridModel& operator=(const GridModel&) = delete;

    // ---- Layout -------------------------------------------------------------
    // The grid as the image holds it now.
    virtual CellGrid Grid() const = 0;
    // Every cell and label with line 0 on text line `bottom`; the selected
    // cell is drawn as Selected.
    std::vector<GridCell> Cells(int bottom) const;
    // The box drawn around the selection; nullopt without one.
    std::optional<TextRect> SelectionBox(int bottom) const;

    // Where the engine runs on this grid, from a pass's live values; none
    // where the grid has nothing the values match.
    virtual std::vector<LiveMark> LiveMarks(const LiveValues& live) const;

    // ---- Selecting ----------------------------------------------------------
    // The cell (present or blank) at a text position; nullopt off the grid.
    std::optional<GridPos> CellAt(int textColumn, int textLine, int bottom) const;
    // A click at a text position with line 0 on text line `bottom`: selects
    // the cell there or, on no cell, nothing. With `extend`, the selection
    // grows from its first cell to the clicked one, where a region may lie.
    void ClickAt(int textColumn, int textLine, int bottom, bool extend = false);
    // A drag to a text position: the region reaches from the first cell to
    // the nearest cell where it may lie. False when nothing changed.
    bool DragTo(int textColumn, int textLine, int bottom);
    // Arrow keys: the nearest editable cell in `direction` (end x values and
    // blank cells are skipped), or, with none selected, the bottom line's
    // first. False when nothing moved.
    bool Move(Direction direction);
    // Shift+arrow keys: the region grows or shrinks by one column or line.
    bool Extend(Direction direction);
    // Every cell a region may cover: the whole table, or the y values of the
    // selected curve (the first curve when nothing is selected).
    bool SelectAll();
    void DropSelection();
    // After the image changed under the grid (undo, redo): keeps the
    // selection where its first cell still holds a value, brought inside
    // where a region may lie; else drops it. True when it was kept.
    bool KeepValidSelection();

    bool HasSelection() const { return anchor_.has_value(); }
    // More than one cell is selected.
    bool IsRegion() const { return anchor_ && *anchor_ != *cursor_; }
    // The byte of the selected cell (the region's last moved corner); -1
    // for none or a blank one.
    int SelectedIndex() const;
    std::optional<CellRect> Region() const;
    // The region operations and paste apply (not to a single x value).
    bool CanShape() const;

    // The edit box contents for the selected cell; nullopt for none.
    std::optional<EditBoxFill> FillEditBox() const;
    // The line under the controls: "0E6C VE Table, MAP 5.2, RPM 40: 62 (raw
    // 62)", with the region's size; empty without a selected value.
    std::string SelectionLine() const;

    // ---- Changing the image: each returns whether it stored -----------------
    // Enter: the typed value into the selected cell, or into every cell of
    // a region; the selection stays. A text without a number stores nothing.
    bool ApplyChange(std::string_view text);
    // +/-: `counts` raw counts on every selected cell, clamped as an entry is.
    bool Step(int counts);
    bool Shape(RegionOperation operation, double operand);
    // Paste at the region's top-left corner into present cells; on success
    // the pasted cells are selected. `problem` says why nothing changed.
    bool Paste(std::string_view text, std::string& problem);
    // The selection as tab-separated text with its labels (one value alone
    // for an x cell); empty without a selection.
    std::string Copy() const;

protected:
    // The cells of `group`, keyed by their axes.
    virtual GroupCells Group(const CellGrid& grid, int group) const = 0;
    // A raw value for a single cell edit, clamped: 0..255 here; a curve's x
    // stays between its neighbours.
    virtual uint32_t ClampedRaw(const CellGrid& grid, GridPos cell, int64_t raw) const;
    // Grid columns are this many text columns apart; clicks round down.
    virtual int ColumnStep() const = 0;
    virtual std::vector<GridCell> Labels(int bottom) const = 0;

    bool Editable(const CellGrid& grid, GridPos cell) const;
    std::optional<GridPos> Cursor() const { return cursor_; }

    CalibrationImage& image_;

private:
    std::optional<GridPos> CellAtText(const CellGrid& grid, int textColumn, int textLine,
                                      int bottom) const;
    // Moves the cursor to `to` where the anchor's region may reach it.
    bool ExtendTo(const CellGrid& grid, GridPos to);
    int GroupOf(const CellGrid& grid) const;
    // The region in the coordinates of its group's shape.
    CellRect ShapeRect(const GroupCells& cells) const;

    std::optional<GridPos> anchor_;  // where the selection began
    std::optional<GridPos> cursor_;  // its other corner
};

}  // namespace korvel
