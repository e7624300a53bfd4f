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
    // The cells around the live (RPM, MAP) point, for the values the engine
    // uses now (the Fuel rule): in each of the columns whose engine-speed
    // keys lie around the live RPM byte, the cells whose MAP keys lie around
    // the live MAP byte. Beyond the keys the marks pin to the edge; an RPM
    // above 255 (a two-byte variable) has no mark.
    std::vector<LiveMark> LiveMarks(const LiveValues& live) const override;

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
    // The engine-speed keys of the headed columns: up to the first zero key
    // after the first column.
    std::vector<uint32_t> ColumnKeys(const Keys& keys) const;

    TableLayout layout_;
};

}  // namespace korvel
