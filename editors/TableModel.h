#pragma once
// The grid of a table editor window: one column per row of a row-list table
// (headed by its engine-speed key), one line per MAP key, a selected value
// cell and the Change operation on it.

#include <array>
#include <optional>
#include <vector>

#include "calib/CalibrationImage.h"
#include "editors/EditorGrid.h"

namespace korvel {

struct TableLayout {
    const char* columnFormat;
    const char* rowFormat;
    const char* cellFormat;
    UnitScale columnScale;
    UnitScale rowScale;
    UnitScale cellScale;
    int pointerSlot;
    EntryKind entryKind;
};

TableLayout VeTableLayout();     // "VE Table": gasoline values of VeTable
TableLayout VeLpTableLayout();   // "VE Table (LP)": LP values of VeTable
TableLayout SparkTableLayout();  // "Spark Table"

class TableModel {
public:
    static constexpr int LeftColumn = 6;  // MAP labels; grid columns follow
    static constexpr int ColumnStep = 6;

    TableModel(CalibrationImage& image, TableLayout layout);

    // Headers, MAP labels, value cells and the "MAP"/"RPM" marks with MAP key
    // 0 on text line `bottom`; a clicked position that holds a value cell
    // becomes the selection.
    std::vector<GridCell> Cells(int bottom);

    // A click at a text position: the column is rounded down to a multiple
    // of ColumnStep; any earlier selection is dropped.
    void Click(int textColumn, int textLine);

    std::optional<EditBoxFill> FillEditBox() const;

    // Stores the typed value into the selected byte and drops the selection.
    // Returns whether a byte was stored: a text that holds no number stores
    // nothing and keeps the selection.
    bool ApplyChange(std::string_view text);

    // Keyboard: moves the selection to the nearest value cell of the last
    // laid-out grid in `direction` (blank cells are skipped), or, with none
    // selected, selects the first one. False when nothing moved.
    bool Move(Direction direction);
    // Changes the selected value by `counts` raw counts within 0..255; the
    // selection stays. False when nothing changed.
    bool Step(int counts);

    void DropSelection();

    bool HasSelection() const { return selection_.has_value(); }
    int SelectedIndex() const { return selection_.value_or(-1); }

private:
    // Line position of each MAP key; -1 for keys without a line.
    using LinePositions = std::array<int, 256>;

    LinePositions AddLabels(const RowListWalk& walk, int bottom,
                            std::vector<GridCell>& cells) const;
    void AddHeaders(const RowListWalk& walk, int bottom, std::vector<GridCell>& cells) const;
    void AddValues(const RowListWalk& walk, const LinePositions& lines, int bottom,
                   std::vector<GridCell>& cells);

    CalibrationImage& image_;
    TableLayout layout_;
    std::optional<ClickPosition> click_;
    std::optional<int> selection_;
    // The value cells of the last layout and their bytes, for key moves.
    std::vector<ClickPosition> editablePositions_;
    std::vector<int> editable_;
};

}  // namespace korvel
