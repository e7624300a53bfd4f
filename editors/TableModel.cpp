#include "editors/TableModel.h"

#include <algorithm>
#include <cstdint>

namespace korvel {

namespace {

constexpr uint32_t EndKey = 0xFF;

int GridColumn(int row) {
    return TableModel::LeftColumn + TableModel::ColumnStep * (row + 1);
}

}  // namespace

TableLayout VeTableLayout() {
    return {"%4.0f",  "%4.1f",   " %3.0f",    ByteScale,
            MapScale, ByteScale, VeTableSlot, EntryKind::Gasoline};
}

TableLayout VeLpTableLayout() {
    return {"%4.0f", "%4.1f", " %3.0f", ByteScale, MapScale, ByteScale, VeTableSlot, EntryKind::Lp};
}

TableLayout SparkTableLayout() {
    return {"%4.0f",  "%4.1f",   " %3.0f",       ByteScale,
            MapScale, ByteScale, SparkTableSlot, EntryKind::Single};
}

TableModel::TableModel(CalibrationImage& image, TableLayout layout)
    : image_(image), layout_(layout) {}

// The bounded walk keeps a broken table (link or pointer outside the image,
// a row without its end entry, a loop) to the rows and entries inside it:
// every row start, entry and value byte it returns lies inside the image.
// Slots may hold numbers above 255, so keys are still checked.
std::vector<GridCell> TableModel::Cells(int bottom) {
    selection_.reset();
    editablePositions_.clear();
    editable_.clear();
    const RowListWalk walk = WalkRowList(image_, layout_.pointerSlot, EntrySize(layout_.entryKind));
    std::vector<GridCell> cells;
    const LinePositions lines = AddLabels(walk, bottom, cells);
    AddHeaders(walk, bottom, cells);
    AddValues(walk, lines, bottom, cells);
    cells.push_back({2, bottom, "MAP", CellRole::Mark});
    cells.push_back({12, bottom + 2, "RPM", CellRole::Mark});
    return cells;
}

// MAP key 0 is always the bottom line and 255 the top one; between them
// every key 1..254 that some row has, ascending.
TableModel::LinePositions TableModel::AddLabels(const RowListWalk& walk, int bottom,
                                                std::vector<GridCell>& cells) const {
    std::array<bool, 256> present{};
    present[0] = true;
    present[EndKey] = true;
    for (const TableRow& row : walk.rows) {
        for (int entry : row.entries) {
            if (image_[entry] <= EndKey) {
                present[image_[entry]] = true;
            }
        }
    }
    LinePositions lines;
    lines.fill(-1);
    int line = 0;
    for (uint32_t key = 0; key <= EndKey; ++key) {
        if (present[key]) {
            lines[key] = line;
            cells.push_back({LeftColumn, bottom - line,
                             FormatUnits(layout_.rowFormat, key, layout_.rowScale),
                             CellRole::Label});
            ++line;
        }
    }
    return lines;
}

// The header line stops at the first zero row key after the first column.
void TableModel::AddHeaders(const RowListWalk& walk, int bottom,
                            std::vector<GridCell>& cells) const {
    for (int c = 0; c < static_cast<int>(walk.rows.size()); ++c) {
        const int start = walk.rows[c].start;
        if (c > 0 && image_[start] == 0) {
            break;
        }
        cells.push_back({GridColumn(c), bottom + 1,
                         FormatUnits(layout_.columnFormat, image_[start], layout_.columnScale),
                         CellRole::Header});
    }
}

void TableModel::AddValues(const RowListWalk& walk, const LinePositions& lines, int bottom,
                           std::vector<GridCell>& cells) {
    const int offset = ValueOffset(layout_.entryKind);
    for (int c = 0; c < static_cast<int>(walk.rows.size()); ++c) {
        const int column = GridColumn(c);
        for (int entry : walk.rows[c].entries) {
            const int value = entry + offset;
            if (image_[entry] > EndKey) {
                continue;
            }
            const int line = bottom - lines[image_[entry]];
            const bool selected = click_ && click_->column == column && click_->line == line;
            if (selected) {
                selection_ = value;
            }
            editablePositions_.push_back({column, line});
            editable_.push_back(value);
            cells.push_back({column, line,
                             FormatUnits(layout_.cellFormat, image_[value], layout_.cellScale),
                             selected ? CellRole::Selected : CellRole::Y, value, false});
        }
    }
}

void TableModel::Click(int textColumn, int textLine) {
    click_ = ClickPosition{textColumn / ColumnStep * ColumnStep, textLine};
    selection_.reset();
}

std::optional<EditBoxFill> TableModel::FillEditBox() const {
    if (!selection_) {
        return std::nullopt;
    }
    return EditBoxFill{FormatUnits(layout_.cellFormat, image_[*selection_], layout_.cellScale),
                       true};
}

bool TableModel::ApplyChange(std::string_view text) {
    const std::optional<float> entered = ParseEntry(text);
    if (!selection_ || !entered) {
        return false;
    }
    image_[*selection_] = static_cast<uint32_t>(UnitsToRaw(*entered, layout_.cellScale));
    DropSelection();
    return true;
}

bool TableModel::Move(Direction direction) {
    return MoveSelection(editablePositions_, editable_, click_, selection_, direction);
}

bool TableModel::Step(int counts) {
    if (!selection_) {
        return false;
    }
    const auto value =
        static_cast<uint32_t>(std::clamp<int64_t>(int64_t{image_[*selection_]} + counts, 0, 255));
    const bool changed = image_[*selection_] != value;
    image_[*selection_] = value;
    return changed;
}

void TableModel::DropSelection() {
    click_.reset();
    selection_.reset();
}

}  // namespace korvel
