#include "editors/CurveModel.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace korvel {

namespace {

constexpr int LinkedRowListSlot = SparkTableSlot;

bool IsEndX(uint32_t x) {
    return x == 0 || x == 0xFF;
}

CurveSpec Spec(const char* xFormat, const char* yFormat, UnitScale xScale, UnitScale yScale,
               int slot, EntryKind kind, int xColumn, std::vector<CurveLabel> labels) {
    return {xFormat, yFormat, xScale, yScale, slot, LinkedRowListSlot, kind, xColumn, labels};
}

}  // namespace

std::vector<CurveSpec> RpmCurveSpecs() {
    return {Spec(" %3.0f ", " %4.0f ", ByteScale, RpmScale, PositionRpmCurveSlot, EntryKind::Single,
                 5, {{"Position", 2}, {"RPM", 12}}),
            Spec(" %4.0f ", " %4.0f ", TcooScale, RpmScale, TempRpmCurveSlot, EntryKind::Single, 20,
                 {{"Temp", 21}, {"RPM", 27}})};
}

std::vector<CurveSpec> FuelCurveSpecs() {
    return {Spec(" %4.0f ", " %3.0f ", TcooScale, ByteScale, BCurveSlot, EntryKind::Gasoline, 5,
                 {{"Temp", 5}, {"B Curve", 12}}),
            Spec(" %4.0f ", " %3.0f ", TcooScale, ByteScale, ACurveSlot, EntryKind::Single, 20,
                 {{"A Curve", 27}}),
            Spec(" %4.0f ", " %3.0f ", TairScale, ByteScale, AirCorCurveSlot, EntryKind::Single, 35,
                 {{"Air Cor", 42}}),
            Spec(" %4.0f ", " %3.0f ", TcooScale, ByteScale, BCurveSlot, EntryKind::Lp, 50,
                 {{"B Curve (LP)", 57}})};
}

CurveModel::CurveModel(CalibrationImage& image, std::vector<CurveSpec> curves)
    : image_(image), curves_(std::move(curves)) {}

bool CurveModel::Matches(int column, int line) const {
    return click_ && click_->column == column && click_->line == line;
}

std::vector<GridCell> CurveModel::Cells(int bottom) {
    selection_.reset();
    editablePositions_.clear();
    editable_.clear();
    std::vector<GridCell> cells;
    for (int k = 0; k < static_cast<int>(curves_.size()); ++k) {
        AddCurveCells(k, bottom, cells);
        for (const CurveLabel& label : curves_[k].labels) {
            cells.push_back({label.column, bottom + 1, label.text, CellRole::Label});
        }
    }
    return cells;
}

// The bounded walk keeps a broken curve (no end byte, pointer outside the
// image) to the points whose every byte, y included, lies inside the image.
void CurveModel::AddCurveCells(int curve, int bottom, std::vector<GridCell>& cells) {
    const CurveSpec& spec = curves_[curve];
    const int step = EntrySize(spec.kind);
    const int yOffset = ValueOffset(spec.kind);
    const int yColumn = spec.xColumn + YColumnOffset;
    const CurveWalk walk = WalkCurve(image_, spec.pointerSlot, step);
    const int count = static_cast<int>(walk.points.size());
    for (int p = 0; p < count; ++p) {
        const int x = walk.points[p];
        const int y = x + yOffset;
        const int line = bottom - p;
        const bool xSelected = Matches(spec.xColumn, line);
        const bool ySelected = Matches(yColumn, line);
        const Selection xCell{x, step, curve, p > 0, p + 1 < count};
        const Selection yCell{y, 0, curve, p > 0, p + 1 < count};
        if (xSelected || ySelected) {
            selection_ = xSelected ? xCell : yCell;
        }
        if (!IsEndX(image_[x])) {
            editablePositions_.push_back({spec.xColumn, line});
            editable_.push_back(xCell);
        }
        editablePositions_.push_back({yColumn, line});
        editable_.push_back(yCell);
        cells.push_back({spec.xColumn, line, FormatUnits(spec.xFormat, image_[x], spec.xScale),
                         xSelected ? CellRole::Selected : CellRole::X, x, true});
        cells.push_back({yColumn, line, FormatUnits(spec.yFormat, image_[y], spec.yScale),
                         ySelected ? CellRole::Selected : CellRole::Y, y, false});
    }
}

void CurveModel::Click(int textColumn, int textLine) {
    click_ = ClickPosition{textColumn / ColumnStep * ColumnStep, textLine};
    selection_.reset();
}

std::optional<EditBoxFill> CurveModel::FillEditBox() const {
    if (!selection_) {
        return std::nullopt;
    }
    const CurveSpec& spec = curves_[selection_->curve];
    const uint32_t value = image_[selection_->index];
    if (selection_->step == 0) {
        return EditBoxFill{FormatUnits(spec.yFormat, value, spec.yScale), true};
    }
    if (IsEndX(value)) {
        return EditBoxFill{"XXXX", false};
    }
    return EditBoxFill{FormatUnits(spec.xFormat, value, spec.xScale), true};
}

// An x value stays strictly between its neighbours' x bytes where there is
// room (v > N - 1 gives N - 1, then v < P + 1 gives P + 1). A neighbour that
// is not a point of this curve (the end byte behind the last point, the
// preceding region's last byte before the first) counts as N = 256 and
// P = -1, so the stored value stays a byte and the x bytes stay ascending.
int CurveModel::ClampedX(int64_t raw) const {
    const Selection& sel = *selection_;
    int64_t v = raw;
    const int64_t next = sel.hasNext ? int64_t{image_[sel.index + sel.step]} : 256;
    const int64_t previous = sel.hasPrevious ? int64_t{image_[sel.index - sel.step]} : -1;
    if (v > next - 1) {
        v = next - 1;
    }
    if (v < previous + 1) {
        v = previous + 1;
    }
    return static_cast<int>(std::clamp<int64_t>(v, 0, 255));
}

bool CurveModel::Store(int64_t raw) {
    const uint32_t value = selection_->step == 0
                               ? static_cast<uint32_t>(std::clamp<int64_t>(raw, 0, 255))
                               : static_cast<uint32_t>(ClampedX(raw));
    const bool changed = image_[selection_->index] != value;
    image_[selection_->index] = value;
    return changed;
}

// A text that holds no number stores nothing and keeps the selection.
bool CurveModel::ApplyChange(std::string_view text) {
    const std::optional<EditBoxFill> box = FillEditBox();
    const std::optional<float> entered = ParseEntry(text);
    if (!box || !box->armed || !entered) {
        return false;
    }
    const CurveSpec& spec = curves_[selection_->curve];
    Store(UnitsToRaw(*entered, selection_->step == 0 ? spec.yScale : spec.xScale));
    DropSelection();
    return true;
}

bool CurveModel::Move(Direction direction) {
    return MoveSelection(editablePositions_, editable_, click_, selection_, direction);
}

bool CurveModel::Step(int counts) {
    const std::optional<EditBoxFill> box = FillEditBox();
    if (!box || !box->armed) {
        return false;
    }
    return Store(int64_t{image_[selection_->index]} + counts);
}

InsertResult CurveModel::AddRow() {
    if (!selection_ || selection_->step == 0) {
        return InsertResult::NotApplicable;
    }
    const CurveSpec& spec = curves_[selection_->curve];
    const InsertResult result = InsertCurvePoint(image_, spec.pointerSlot, selection_->step,
                                                 selection_->index, spec.linkedSlot);
    if (result == InsertResult::Inserted) {
        DropSelection();
    }
    return result;
}

void CurveModel::DropSelection() {
    click_.reset();
    selection_.reset();
}

}  // namespace korvel
