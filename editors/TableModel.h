#pragma once
// The grid of a table editor window: one column per row of a row-list table
// (headed by its engine-speed key), one line per MAP key; blank cells where
// a row has no entry with that key.

#include <array>
#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/CalibrationMap.h"
#include "editors/GridModel.h"

namespace korvel {

// A shown table: which value byte of its entries, and the window's title.
struct TableLayout {
    const TableMap* table;
    EntryKind entryKind;
    const char* title;
};

TableLayout VeTableLayout();     // "VE Table": gasoline values of VeTable
TableLayout VeLpTableLayout();   // "VE Table (LP)": LP values of VeTable
TableLayout SparkTableLayout();  // "Spark Table"

// Every column is one group: a region may cover any rectangle of cells.
class TableModel : public GridModel {
public:
    static constexpr int LeftColumn = 6;  // MAP labels; grid columns follow
    static constexpr int TextColumnStep = 6;

    TableModel(CalibrationImage& image, TableLayout layout);

    CellGrid Grid() const override;

protected:
    GroupCells Group(const CellGrid& grid, int group) const override;
    int ColumnStep() const override { return TextColumnStep; }
    // Headers, MAP labels and the "MAP"/"RPM" marks.
    std::vector<GridCell> Labels(int bottom) const override;

private:
    // The walk of the rows, and the MAP keys of the lines from the bottom up.
    struct Keys {
        RowListWalk walk;
        std::vector<uint32_t> lineKeys;
        std::array<int, 256> lineOf;  // line of each MAP key; -1 for none
    };
    Keys WalkKeys() const;

    TableLayout layout_;
};

}  // namespace korvel
