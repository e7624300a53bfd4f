#include "editors/GridModel.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "editors/ByteNames.h"
#include "editors/Clipboard.h"

namespace korvel {

namespace {

bool IsEndX(uint32_t x) {
    return x == 0 || x == 0xFF;
}

GridPos Stepped(GridPos p, Direction direction) {
    switch (direction) {
        case Direction::Left:
            return {p.column - 1, p.line};
        case Direction::Right:
            return {p.column + 1, p.line};
        case Direction::Up:
            return {p.column, p.line + 1};
        case Direction::Down:
            break;
    }
    return {p.column, p.line - 1};
}

std::string Size(const CellRect& r) {
    return std::to_string(r.Columns()) + " × " + std::to_string(r.Lines());
}

}  // namespace

int CellGrid::At(GridPos p) const {
    if (p.column < 0 || p.column >= Columns() || p.line < 0 || p.line >= lines) {
        return -1;
    }
    return indices[static_cast<size_t>(p.column * lines + p.line)];
}

std::vector<GridCell> GridModel::Cells(int bottom) const {
    std::vector<GridCell> cells = Labels(bottom);
    const CellGrid grid = Grid();
    for (int c = 0; c < grid.Columns(); ++c) {
        const GridColumn& column = grid.columns[static_cast<size_t>(c)];
        for (int l = 0; l < grid.lines; ++l) {
            const int index = grid.At({c, l});
            if (index < 0) {
                continue;
            }
            const bool selected = cursor_ && *cursor_ == GridPos{c, l};
            const bool isX = column.group < 0;
            cells.push_back({column.textColumn, bottom - l,
                             FormatUnits(column.units.format, image_[index], column.units.scale),
                             selected ? CellRole::Selected
                             : isX    ? CellRole::X
                                      : CellRole::Y,
                             index, isX});
        }
    }
    return cells;
}

std::vector<LiveMark> GridModel::LiveMarks(const LiveValues&) const {
    return {};
}

std::optional<TextRect> GridModel::SelectionBox(int bottom) const {
    const std::optional<CellRect> r = Region();
    const CellGrid grid = Grid();
    if (!r || r->right >= grid.Columns()) {
        return std::nullopt;
    }
    return TextRect{grid.columns[static_cast<size_t>(r->left)].textColumn,
                    grid.columns[static_cast<size_t>(r->right)].textColumn + CellChars,
                    bottom - r->top, bottom - r->bottom + 1};
}

std::optional<GridPos> GridModel::CellAtText(const CellGrid& grid, int textColumn, int textLine,
                                             int bottom) const {
    const int rounded = textColumn / ColumnStep() * ColumnStep();
    const int line = bottom - textLine;
    for (int c = 0; c < grid.Columns(); ++c) {
        if (grid.columns[static_cast<size_t>(c)].textColumn == rounded && line >= 0 &&
            line < grid.lines) {
            return GridPos{c, line};
        }
    }
    return std::nullopt;
}

int GridModel::GroupOf(const CellGrid& grid) const {
    if (!anchor_ || anchor_->column < 0 || anchor_->column >= grid.Columns()) {
        return -1;
    }
    return grid.columns[static_cast<size_t>(anchor_->column)].group;
}

bool GridModel::ExtendTo(const CellGrid& grid, GridPos to) {
    const int group = GroupOf(grid);
    if (group < 0) {
        return false;
    }
    const GroupCells cells = Group(grid, group);
    if (to.column < cells.firstColumn || to.column >= cells.firstColumn + cells.shape.columns ||
        to.line < 0 || to.line >= cells.shape.lines) {
        return false;
    }
    cursor_ = to;
    return true;
}

std::optional<GridPos> GridModel::CellAt(int textColumn, int textLine, int bottom) const {
    return CellAtText(Grid(), textColumn, textLine, bottom);
}

void GridModel::ClickAt(int textColumn, int textLine, int bottom, bool extend) {
    const CellGrid grid = Grid();
    const std::optional<GridPos> cell = CellAtText(grid, textColumn, textLine, bottom);
    if (extend && anchor_ && cell && ExtendTo(grid, *cell)) {
        return;
    }
    if (cell && grid.At(*cell) >= 0) {
        anchor_ = cursor_ = cell;
    } else {
        DropSelection();  // a header, a label, a blank cell or outside the grid
    }
}

bool GridModel::DragTo(int textColumn, int textLine, int bottom) {
    const CellGrid grid = Grid();
    const int group = GroupOf(grid);
    if (group < 0) {
        return false;
    }
    const GroupCells cells = Group(grid, group);
    if (cells.shape.lines == 0) {
        return false;
    }
    // The nearest column of the group, and the line held inside it.
    GridPos to{cells.firstColumn, std::clamp(bottom - textLine, 0, cells.shape.lines - 1)};
    for (int c = cells.firstColumn; c < cells.firstColumn + cells.shape.columns; ++c) {
        const int distance = std::abs(grid.columns[static_cast<size_t>(c)].textColumn - textColumn);
        const int best =
            std::abs(grid.columns[static_cast<size_t>(to.column)].textColumn - textColumn);
        if (distance < best) {
            to.column = c;
        }
    }
    if (to == *cursor_) {
        return false;
    }
    cursor_ = to;
    return true;
}

bool GridModel::Editable(const CellGrid& grid, GridPos cell) const {
    const int index = grid.At(cell);
    return index >= 0 &&
           !(grid.columns[static_cast<size_t>(cell.column)].group < 0 && IsEndX(image_[index]));
}

// The key moves of the existing grids: positions are (text column, -line),
// so that "up" is toward smaller numbers, as on the screen.
bool GridModel::Move(Direction direction) {
    const CellGrid grid = Grid();
    std::vector<ClickPosition> positions;
    std::vector<GridPos> targets;
    for (int c = 0; c < grid.Columns(); ++c) {
        for (int l = 0; l < grid.lines; ++l) {
            if (Editable(grid, {c, l})) {
                positions.push_back({grid.columns[static_cast<size_t>(c)].textColumn, -l});
                targets.push_back({c, l});
            }
        }
    }
    std::optional<ClickPosition> from;
    if (cursor_ && cursor_->column < grid.Columns()) {
        from = ClickPosition{grid.columns[static_cast<size_t>(cursor_->column)].textColumn,
                             -cursor_->line};
    }
    const std::optional<size_t> next = NextEditable(positions, from, direction);
    if (!next) {
        return false;
    }
    anchor_ = cursor_ = targets[*next];
    return true;
}

bool GridModel::Extend(Direction direction) {
    return cursor_ && ExtendTo(Grid(), Stepped(*cursor_, direction));
}

bool GridModel::SelectAll() {
    const CellGrid grid = Grid();
    int group = GroupOf(grid);
    if (group < 0 && anchor_ && anchor_->column + 1 < grid.Columns()) {
        // An x column's y values stand right of it.
        group = grid.columns[static_cast<size_t>(anchor_->column + 1)].group;
    }
    for (int c = 0; group < 0 && !anchor_ && c < grid.Columns(); ++c) {
        group = grid.columns[static_cast<size_t>(c)].group;
    }
    if (group < 0) {
        return false;
    }
    const GroupCells cells = Group(grid, group);
    if (cells.shape.columns == 0 || cells.shape.lines == 0) {
        return false;
    }
    anchor_ = GridPos{cells.firstColumn, 0};
    cursor_ = GridPos{cells.firstColumn + cells.shape.columns - 1, cells.shape.lines - 1};
    return true;
}

void GridModel::DropSelection() {
    anchor_.reset();
    cursor_.reset();
}

bool GridModel::KeepValidSelection() {
    const CellGrid grid = Grid();
    const int group = GroupOf(grid);
    if (!anchor_) {
        return false;
    }
    if (group < 0) {
        if (grid.At(*anchor_) < 0) {
            DropSelection();
            return false;
        }
        return true;
    }
    const GroupCells cells = Group(grid, group);
    if (cells.shape.lines == 0) {
        DropSelection();
        return false;
    }
    const auto inside = [&](GridPos p) {
        return GridPos{
            std::clamp(p.column, cells.firstColumn, cells.firstColumn + cells.shape.columns - 1),
            std::clamp(p.line, 0, cells.shape.lines - 1)};
    };
    anchor_ = inside(*anchor_);
    cursor_ = inside(*cursor_);
    return true;
}

int GridModel::SelectedIndex() const {
    return cursor_ ? Grid().At(*cursor_) : -1;
}

std::optional<CellRect> GridModel::Region() const {
    if (!anchor_) {
        return std::nullopt;
    }
    return CellRect{std::min(anchor_->column, cursor_->column),
                    std::max(anchor_->column, cursor_->column),
                    std::min(anchor_->line, cursor_->line), std::max(anchor_->line, cursor_->line)};
}

bool GridModel::CanShape() const {
    return GroupOf(Grid()) >= 0;
}

std::optional<EditBoxFill> GridModel::FillEditBox() const {
    const CellGrid grid = Grid();
    const int index = cursor_ ? grid.At(*cursor_) : -1;
    if (index < 0) {
        return std::nullopt;
    }
    const GridColumn& column = grid.columns[static_cast<size_t>(cursor_->column)];
    if (column.group < 0 && IsEndX(image_[index])) {
        return EditBoxFill{"XXXX", false};
    }
    return EditBoxFill{FormatUnits(column.units.format, image_[index], column.units.scale), true};
}

std::string GridModel::SelectionLine() const {
    const int index = SelectedIndex();
    const std::optional<CellRect> region = Region();
    std::string line;
    if (index >= 0) {
        char address[12];
        std::snprintf(address, sizeof address, "%04X",
                      ImageBaseAddress + static_cast<uint32_t>(index));
        line = std::string(address) + " " + NameImageByte(image_, index) + ": " +
               ShowImageValue(image_, index, image_[index]) + " (raw " +
               std::to_string(image_[index]) + ")";
    }
    if (IsRegion()) {
        line += (line.empty() ? "" : "; ") + std::string("region ") + Size(*region);
    }
    return line;
}

uint32_t GridModel::ClampedRaw(const CellGrid&, GridPos, int64_t raw) const {
    return static_cast<uint32_t>(std::clamp<int64_t>(raw, 0, 255));
}

CellRect GridModel::ShapeRect(const GroupCells& cells) const {
    CellRect rect = *Region();
    rect.left -= cells.firstColumn;
    rect.right -= cells.firstColumn;
    return rect;
}

bool GridModel::ApplyChange(std::string_view text) {
    const std::optional<float> entered = ParseEntry(text);
    if (!entered) {
        return false;
    }
    if (IsRegion()) {
        Shape(RegionOperation::Set, *entered);
        return true;
    }
    const std::optional<EditBoxFill> box = FillEditBox();
    if (!box || !box->armed) {
        return false;
    }
    const CellGrid grid = Grid();
    const GridColumn& column = grid.columns[static_cast<size_t>(cursor_->column)];
    image_[grid.At(*cursor_)] =
        ClampedRaw(grid, *cursor_, UnitsToRaw(*entered, column.units.scale));
    return true;
}

bool GridModel::Step(int counts) {
    const CellGrid grid = Grid();
    if (IsRegion()) {
        if (GroupOf(grid) < 0) {
            return false;
        }
        const GroupCells cells = Group(grid, GroupOf(grid));
        return ApplyChanges(image_, StepRegion(image_, cells.shape, ShapeRect(cells), counts));
    }
    const std::optional<EditBoxFill> box = FillEditBox();
    if (!box || !box->armed) {
        return false;
    }
    const int index = grid.At(*cursor_);
    const uint32_t value = ClampedRaw(grid, *cursor_, int64_t{image_[index]} + counts);
    const bool changed = image_[index] != value;
    image_[index] = value;
    return changed;
}

bool GridModel::Shape(RegionOperation operation, double operand) {
    const CellGrid grid = Grid();
    const int group = GroupOf(grid);
    if (group < 0) {
        return false;
    }
    const GroupCells cells = Group(grid, group);
    return ApplyChanges(image_,
                        ShapeRegion(image_, cells.shape, ShapeRect(cells), operation, operand));
}

bool GridModel::Paste(std::string_view text, std::string& problem) {
    const CellGrid grid = Grid();
    const int group = GroupOf(grid);
    if (!anchor_) {
        problem = "Select the cell where the block's top left value goes.";
        return false;
    }
    if (group < 0) {
        problem = "A block goes into y values; an x value is changed one at a time.";
        return false;
    }
    const PasteReading reading = ParseBlock(text);
    if (!reading.block) {
        problem = reading.problem;
        return false;
    }
    const PastedBlock& block = *reading.block;
    const GroupCells cells = Group(grid, group);
    const CellRect rect = ShapeRect(cells);
    const int roomColumns = cells.shape.columns - rect.left;
    const int roomLines = rect.top + 1;
    if (block.columns > roomColumns || block.lines > roomLines) {
        problem = "A block of " + std::to_string(block.columns) + " columns and " +
                  std::to_string(block.lines) +
                  " lines does not fit here: from the selected cell there is room for " +
                  std::to_string(roomColumns) + " columns and " + std::to_string(roomLines) +
                  " lines.";
        return false;
    }
    CellChanges changes;
    for (int l = 0; l < block.lines; ++l) {
        for (int c = 0; c < block.columns; ++c) {
            const std::optional<double> value = block.At(c, l);
            const int index = cells.shape.At(rect.left + c, rect.top - l);
            if (value && index >= 0) {
                changes.push_back({index, UnitsToByte(*value, cells.shape.scale)});
            }
        }
    }
    ApplyChanges(image_, changes);
    anchor_ = GridPos{cells.firstColumn + rect.left, rect.top};
    cursor_ =
        GridPos{cells.firstColumn + rect.left + block.columns - 1, rect.top - block.lines + 1};
    return true;
}

std::string GridModel::Copy() const {
    const CellGrid grid = Grid();
    const int group = GroupOf(grid);
    if (!anchor_) {
        return {};
    }
    if (group < 0) {
        const GridColumn& column = grid.columns[static_cast<size_t>(anchor_->column)];
        return TrimmedUnits(column.units.format, image_[grid.At(*anchor_)], column.units.scale) +
               "\n";
    }
    const GroupCells cells = Group(grid, group);
    const CellRect rect = ShapeRect(cells);
    CopiedBlock block;
    block.corner = cells.corner;
    for (int c = rect.left; c <= rect.right; ++c) {
        block.columnKeys.push_back(cells.columnNames[static_cast<size_t>(c)]);
    }
    for (int l = rect.top; l >= rect.bottom; --l) {
        block.lineKeys.push_back(cells.lineNames[static_cast<size_t>(l)]);
        std::vector<std::string>& line = block.cells.emplace_back();
        for (int c = rect.left; c <= rect.right; ++c) {
            const int index = cells.shape.At(c, l);
            line.push_back(index < 0
                               ? std::string()
                               : TrimmedUnits(cells.format, image_[index], cells.shape.scale));
        }
    }
    return FormatBlock(block);
}

}  // namespace korvel
