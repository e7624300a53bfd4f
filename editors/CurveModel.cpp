#include "editors/CurveModel.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace korvel {

namespace {

CurveSpec Spec(int slot, EntryKind kind, int xColumn, std::vector<CurveLabel> labels) {
    return {Layout().Curve(slot), kind, xColumn, std::move(labels)};
}

}  // namespace

std::vector<CurveSpec> RpmCurveSpecs() {
    return {Spec(PositionRpmCurveSlot, EntryKind::Single, 5, {{"Position", 2}, {"RPM", 12}}),
            Spec(TempRpmCurveSlot, EntryKind::Single, 20, {{"Temp", 21}, {"RPM", 27}})};
}

std::vector<CurveSpec> FuelCurveSpecs() {
    return {Spec(BCurveSlot, EntryKind::Gasoline, 5, {{"Temp", 5}, {"B Curve", 12}}),
            Spec(ACurveSlot, EntryKind::Single, 20, {{"A Curve", 27}}),
            Spec(AirCorCurveSlot, EntryKind::Single, 35, {{"Air Cor", 42}}),
            Spec(BCurveSlot, EntryKind::Lp, 50, {{"B Curve (LP)", 57}})};
}

CurveModel::CurveModel(CalibrationImage& image, std::vector<CurveSpec> curves)
    : GridModel(image), curves_(std::move(curves)) {}

// The bounded walk keeps a broken curve (no end byte, pointer outside the
// image) to the points whose every byte, y included, lies inside the image.
CellGrid CurveModel::Grid() const {
    CellGrid grid;
    std::vector<CurveWalk> walks;
    for (int k = 0; k < static_cast<int>(curves_.size()); ++k) {
        const CurveSpec& spec = curves_[static_cast<size_t>(k)];
        walks.push_back(WalkCurve(image_, spec.curve->pointerSlot, EntrySize(spec.kind)));
        grid.lines = std::max(grid.lines, static_cast<int>(walks.back().points.size()));
        grid.columns.push_back({spec.xColumn, -1, spec.curve->x});
        grid.columns.push_back({spec.xColumn + YColumnOffset, k, spec.curve->y});
    }
    grid.indices.assign(grid.columns.size() * static_cast<size_t>(grid.lines), -1);
    for (size_t k = 0; k < walks.size(); ++k) {
        const int yOffset = ValueOffset(curves_[k].kind);
        for (size_t p = 0; p < walks[k].points.size(); ++p) {
            const size_t line = p;
            grid.indices[2 * k * static_cast<size_t>(grid.lines) + line] = walks[k].points[p];
            grid.indices[(2 * k + 1) * static_cast<size_t>(grid.lines) + line] =
                walks[k].points[p] + yOffset;
        }
    }
    return grid;
}

std::vector<LiveMark> CurveModel::LiveMarks(const LiveValues& live) const {
    std::vector<LiveMark> marks;
    const CellGrid grid = Grid();
    for (int k = 0; k < static_cast<int>(curves_.size()); ++k) {
        const CurveSpec& spec = curves_[static_cast<size_t>(k)];
        const std::optional<uint32_t> x = LiveX(spec.curve->x.scale, live);
        if (!x || !FuelAllows(spec.kind, live.lp)) {
            continue;
        }
        std::vector<uint32_t> keys;
        for (int l = 0; grid.At({2 * k, l}) >= 0; ++l) {
            keys.push_back(image_[grid.At({2 * k, l})]);
        }
        const std::optional<Bracket> b = BracketOf(keys, *x);
        if (!b) {
            continue;
        }
        LiveMark mark;
        mark.curve = k;
        mark.x = RawToUnits(static_cast<float>(*x), spec.curve->x.scale);
        mark.column = 2 * k;
        mark.line = b->low + (b->high - b->low) * b->fraction;
        mark.nearest = {2 * k, b->fraction > 0.5 ? b->high : b->low};
        mark.cells = {{2 * k, b->low}, {2 * k + 1, b->low}};
        if (b->high != b->low) {
            mark.cells.insert(mark.cells.end(), {{2 * k, b->high}, {2 * k + 1, b->high}});
        }
        marks.push_back(mark);
    }
    return marks;
}

std::vector<CurveGraph> CurveModel::Graphs() const {
    const CellGrid grid = Grid();
    const std::optional<CellRect> region = Region();
    std::vector<CurveGraph> graphs;
    for (int k = 0; k < static_cast<int>(curves_.size()); ++k) {
        const CurveSpec& spec = curves_[static_cast<size_t>(k)];
        CurveGraph graph;
        graph.title = spec.YName();
        graph.xName = spec.curve->xName;
        for (int l = 0; grid.At({2 * k, l}) >= 0; ++l) {
            const bool selected =
                region && (region->Contains(2 * k, l) || region->Contains(2 * k + 1, l));
            graph.points.push_back(
                {RawToUnits(static_cast<float>(image_[grid.At({2 * k, l})]), spec.curve->x.scale),
                 RawToUnits(static_cast<float>(image_[grid.At({2 * k + 1, l})]),
                            spec.curve->y.scale),
                 selected});
        }
        FitAxes(graph);
        graphs.push_back(std::move(graph));
    }
    return graphs;
}

GroupCells CurveModel::Group(const CellGrid& grid, int group) const {
    const CurveSpec& spec = curves_[static_cast<size_t>(group)];
    const CurveMap& curve = *spec.curve;
    GroupCells cells;
    cells.firstColumn = 2 * group + 1;
    cells.format = curve.y.format;
    cells.corner = curve.xName;
    cells.columnNames = {spec.YName()};
    cells.shape.columns = 1;
    cells.shape.columnKeys = {0.0};
    cells.shape.scale = curve.y.scale;
    for (int l = 0; l < grid.lines && grid.At({cells.firstColumn, l}) >= 0; ++l) {
        const uint32_t x = image_[grid.At({cells.firstColumn - 1, l})];
        cells.shape.indices.push_back(grid.At({cells.firstColumn, l}));
        cells.shape.lineKeys.push_back(RawToUnits(static_cast<float>(x), curve.x.scale));
        cells.lineNames.push_back(TrimmedUnits(curve.x.format, x, curve.x.scale));
    }
    cells.shape.lines = static_cast<int>(cells.shape.indices.size());
    return cells;
}

// An x value stays strictly between its neighbours' x bytes where there is
// room (v > N - 1 gives N - 1, then v < P + 1 gives P + 1). A neighbour that
// is not a point of this curve (the end byte behind the last point, the
// preceding region's last byte before the first) counts as N = 256 and
// P = -1, so the stored value stays a byte and the x bytes stay ascending.
uint32_t CurveModel::ClampedRaw(const CellGrid& grid, GridPos cell, int64_t raw) const {
    if (grid.columns[static_cast<size_t>(cell.column)].group >= 0) {
        return GridModel::ClampedRaw(grid, cell, raw);
    }
    const int next = grid.At({cell.column, cell.line + 1});
    const int previous = grid.At({cell.column, cell.line - 1});
    int64_t v = raw;
    const int64_t high = next >= 0 ? int64_t{image_[next]} : 256;
    const int64_t low = previous >= 0 ? int64_t{image_[previous]} : -1;
    if (v > high - 1) {
        v = high - 1;
    }
    if (v < low + 1) {
        v = low + 1;
    }
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255));
}

std::vector<GridCell> CurveModel::Labels(int bottom) const {
    std::vector<GridCell> cells;
    for (const CurveSpec& spec : curves_) {
        for (const CurveLabel& label : spec.labels) {
            cells.push_back({label.column, bottom + 1, label.text, CellRole::Label});
        }
    }
    return cells;
}

InsertResult CurveModel::AddRow() {
    const std::optional<GridPos> cell = Cursor();
    const CellGrid grid = Grid();
    if (!cell || IsRegion() || grid.At(*cell) < 0 ||
        grid.columns[static_cast<size_t>(cell->column)].group >= 0) {
        return InsertResult::NotApplicable;
    }
    const CurveSpec& spec = curves_[static_cast<size_t>(cell->column / 2)];
    const InsertResult result =
        InsertCurvePoint(image_, spec.curve->pointerSlot, EntrySize(spec.kind), grid.At(*cell),
                         spec.curve->linkedSlot);
    if (result == InsertResult::Inserted) {
        DropSelection();
    }
    return result;
}

}  // namespace korvel
