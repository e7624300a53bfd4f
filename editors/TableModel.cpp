#include "editors/TableModel.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace korvel {

namespace {

constexpr uint32_t EndKey = 0xFF;

int TextColumnOf(int row) {
    return TableModel::LeftColumn + TableModel::TextColumnStep * (row + 1);
}

}  // namespace

TableLayout VeTableLayout() {
    return {Layout().Table(VeTableSlot), EntryKind::Gasoline, "VE Table"};
}

TableLayout VeLpTableLayout() {
    return {Layout().Table(VeTableSlot), EntryKind::Lp, "VE Table (LP)"};
}

TableLayout SparkTableLayout() {
    return {Layout().Table(SparkTableSlot), EntryKind::Single, "Spark Table"};
}

TableModel::TableModel(CalibrationImage& image, TableLayout layout)
    : GridModel(image), layout_(layout) {}

// The bounded walk keeps a broken table (link or pointer outside the image,
// a row without its end entry, a loop) to the rows and entries inside it:
// every row start, entry and value byte it returns lies inside the image.
// Slots may hold numbers above 255, so keys are still checked. MAP key 0 is
// always the bottom line and 255 the top one; between them every key
// 1..254 that some row has, ascending.
TableModel::Keys TableModel::WalkKeys() const {
    Keys keys{
        WalkRowList(image_, layout_.table->pointerSlot, EntrySize(layout_.entryKind)), {}, {}};
    std::array<bool, 256> present{};
    present[0] = true;
    present[EndKey] = true;
    for (const TableRow& row : keys.walk.rows) {
        for (int entry : row.entries) {
            if (image_[entry] <= EndKey) {
                present[image_[entry]] = true;
            }
        }
    }
    keys.lineOf.fill(-1);
    for (uint32_t key = 0; key <= EndKey; ++key) {
        if (present[key]) {
            keys.lineOf[key] = static_cast<int>(keys.lineKeys.size());
            keys.lineKeys.push_back(key);
        }
    }
    return keys;
}

CellGrid TableModel::Grid() const {
    const Keys keys = WalkKeys();
    const int offset = ValueOffset(layout_.entryKind);
    CellGrid grid;
    grid.lines = static_cast<int>(keys.lineKeys.size());
    for (size_t c = 0; c < keys.walk.rows.size(); ++c) {
        grid.columns.push_back({TextColumnOf(static_cast<int>(c)), 0, layout_.table->value});
    }
    grid.indices.assign(grid.columns.size() * keys.lineKeys.size(), -1);
    for (size_t c = 0; c < keys.walk.rows.size(); ++c) {
        for (int entry : keys.walk.rows[c].entries) {
            if (image_[entry] <= EndKey) {
                const auto line = static_cast<size_t>(keys.lineOf[image_[entry]]);
                grid.indices[c * keys.lineKeys.size() + line] = entry + offset;
            }
        }
    }
    return grid;
}

std::vector<uint32_t> TableModel::ColumnKeys(const Keys& keys) const {
    std::vector<uint32_t> columnKeys;
    for (const TableRow& row : keys.walk.rows) {
        const uint32_t key = image_[row.start];
        if (!columnKeys.empty() && key == 0) {
            break;
        }
        columnKeys.push_back(key);
    }
    return columnKeys;
}

namespace {

// The present cells of one grid column around a MAP byte, each with its
// share of the column's weight.
void AddColumnCells(const CellGrid& grid, const std::vector<uint32_t>& lineKeys, int column,
                    double weight, uint32_t map, std::vector<std::pair<GridPos, double>>& cells) {
    std::vector<uint32_t> keys;
    std::vector<int> lines;
    for (int line = 0; line < grid.lines; ++line) {
        if (grid.At({column, line}) >= 0) {
            keys.push_back(lineKeys[static_cast<size_t>(line)]);
            lines.push_back(line);
        }
    }
    const std::optional<Bracket> b = BracketOf(keys, map);
    if (!b) {
        return;
    }
    cells.push_back({{column, lines[static_cast<size_t>(b->low)]}, weight * (1.0 - b->fraction)});
    if (b->high != b->low) {
        cells.push_back({{column, lines[static_cast<size_t>(b->high)]}, weight * b->fraction});
    }
}

// A point between two grid positions: `low` plus the fraction of the way.
double Between(const Bracket& b) {
    return b.low + (b.high - b.low) * b.fraction;
}

}  // namespace

std::vector<LiveMark> TableModel::LiveMarks(const LiveValues& live) const {
    if (!live.rpm || !live.map || *live.rpm > 0xFF || !FuelAllows(layout_.entryKind, live.lp)) {
        return {};
    }
    const Keys keys = WalkKeys();
    const CellGrid grid = Grid();
    const std::optional<Bracket> column = BracketOf(ColumnKeys(keys), *live.rpm);
    const std::optional<Bracket> line = BracketOf(keys.lineKeys, *live.map);
    if (!column || !line) {
        return {};
    }
    std::vector<std::pair<GridPos, double>> cells;
    AddColumnCells(grid, keys.lineKeys, column->low, 1.0 - column->fraction, *live.map, cells);
    if (column->high != column->low) {
        AddColumnCells(grid, keys.lineKeys, column->high, column->fraction, *live.map, cells);
    }
    if (cells.empty()) {
        return {};
    }
    LiveMark mark;
    mark.column = Between(*column);
    mark.line = Between(*line);
    // The first of equal weights: the lower engine speed, the lower MAP.
    mark.nearest = std::max_element(cells.begin(), cells.end(), [](const auto& a, const auto& b) {
                       return a.second < b.second;
                   })->first;
    for (const auto& [cell, weight] : cells) {
        mark.cells.push_back(cell);
    }
    return {mark};
}

GroupCells TableModel::Group(const CellGrid& grid, int) const {
    const Keys keys = WalkKeys();
    const TableMap& table = *layout_.table;
    GroupCells cells;
    cells.format = table.value.format;
    cells.corner = "MAP/RPM";
    cells.shape.columns = grid.Columns();
    cells.shape.lines = grid.lines;
    cells.shape.indices = grid.indices;
    cells.shape.scale = table.value.scale;
    for (const TableRow& row : keys.walk.rows) {
        const uint32_t key = image_[row.start];
        cells.shape.columnKeys.push_back(RawToUnits(static_cast<float>(key), table.rowKey.scale));
        cells.columnNames.push_back(TrimmedUnits(table.rowKey.format, key, table.rowKey.scale));
    }
    for (uint32_t key : keys.lineKeys) {
        cells.shape.lineKeys.push_back(RawToUnits(static_cast<float>(key), table.mapKey.scale));
        cells.lineNames.push_back(TrimmedUnits(table.mapKey.format, key, table.mapKey.scale));
    }
    return cells;
}

// The header line stops at the first zero row key after the first column.
std::vector<GridCell> TableModel::Labels(int bottom) const {
    const Keys keys = WalkKeys();
    const TableMap& table = *layout_.table;
    std::vector<GridCell> cells;
    for (size_t line = 0; line < keys.lineKeys.size(); ++line) {
        cells.push_back({LeftColumn, bottom - static_cast<int>(line),
                         FormatUnits(table.mapKey.format, keys.lineKeys[line], table.mapKey.scale),
                         CellRole::Label});
    }
    for (int c = 0; c < static_cast<int>(keys.walk.rows.size()); ++c) {
        const uint32_t key = image_[keys.walk.rows[static_cast<size_t>(c)].start];
        if (c > 0 && key == 0) {
            break;
        }
        cells.push_back({TextColumnOf(c), bottom + 1,
                         FormatUnits(table.rowKey.format, key, table.rowKey.scale),
                         CellRole::Header});
    }
    cells.push_back({2, bottom, "MAP", CellRole::Mark});
    cells.push_back({12, bottom + 2, "RPM", CellRole::Mark});
    return cells;
}

}  // namespace korvel
