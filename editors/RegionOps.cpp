#include "editors/RegionOps.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "calib/Text.h"

namespace korvel {

namespace {

constexpr double UnitsLimit = 1e6;

// A present cell on a line of interpolation: its axis key and image index.
struct KeyedCell {
    double key;
    int index;
};

double Units(const CalibrationImage& image, int index, UnitScale scale) {
    return RawToUnits(static_cast<float>(image[index]), scale);
}

void Change(const CalibrationImage& image, int index, uint32_t value, CellChanges& changes) {
    if (image[index] != value) {
        changes.push_back({index, value});
    }
}

// Calls `visit` with (column, line, index) for each present cell of `rect`
// that lies inside the grid.
void ForEachCell(const ShapeGrid& grid, CellRect rect,
                 const std::function<void(int, int, int)>& visit) {
    for (int c = std::max(0, rect.left); c <= std::min(rect.right, grid.columns - 1); ++c) {
        for (int l = std::max(0, rect.bottom); l <= std::min(rect.top, grid.lines - 1); ++l) {
            const int index = grid.At(c, l);
            if (index >= 0) {
                visit(c, l, index);
            }
        }
    }
}

// The straight line through the first and last cells of a run, in units;
// nullopt for fewer than two cells or ends with one key.
struct Line {
    double key0, value0, key1, value1;
    double At(double key) const {
        return value0 + (value1 - value0) * (key - key0) / (key1 - key0);
    }
};

std::optional<Line> LineThrough(const CalibrationImage& image, const std::vector<KeyedCell>& run,
                                UnitScale scale) {
    if (run.size() < 2 || run.front().key == run.back().key) {
        return std::nullopt;
    }
    return Line{run.front().key, Units(image, run.front().index, scale), run.back().key,
                Units(image, run.back().index, scale)};
}

std::vector<KeyedCell> LineRun(const ShapeGrid& grid, CellRect rect, int line) {
    std::vector<KeyedCell> run;
    ForEachCell(grid, {rect.left, rect.right, line, line}, [&](int c, int, int index) {
        run.push_back({grid.columnKeys[c], index});
    });
    return run;
}

std::vector<KeyedCell> ColumnRun(const ShapeGrid& grid, CellRect rect, int column) {
    std::vector<KeyedCell> run;
    ForEachCell(grid, {column, column, rect.bottom, rect.top}, [&](int, int l, int index) {
        run.push_back({grid.lineKeys[l], index});
    });
    return run;
}

// Interior cells of each run onto the line through its ends.
void InterpolateRuns(const CalibrationImage& image, const ShapeGrid& grid,
                     const std::vector<std::vector<KeyedCell>>& runs, CellChanges& changes) {
    for (const auto& run : runs) {
        const std::optional<Line> line = LineThrough(image, run, grid.scale);
        for (size_t i = 1; line && i + 1 < run.size(); ++i) {
            Change(image, run[i].index, UnitsToByte(line->At(run[i].key), grid.scale), changes);
        }
    }
}

CellChanges Interpolate(const CalibrationImage& image, const ShapeGrid& grid, CellRect rect,
                        RegionOperation operation) {
    if (operation == RegionOperation::Interpolate && (rect.Columns() == 1 || rect.Lines() == 1)) {
        operation = rect.Columns() == 1 ? RegionOperation::InterpolateVertically
                                        : RegionOperation::InterpolateHorizontally;
    }
    CellChanges changes;
    std::vector<std::vector<KeyedCell>> runs;
    if (operation == RegionOperation::InterpolateHorizontally) {
        for (int l = rect.bottom; l <= rect.top; ++l) {
            runs.push_back(LineRun(grid, rect, l));
        }
        InterpolateRuns(image, grid, runs, changes);
        return changes;
    }
    if (operation == RegionOperation::InterpolateVertically) {
        for (int c = rect.left; c <= rect.right; ++c) {
            runs.push_back(ColumnRun(grid, rect, c));
        }
        InterpolateRuns(image, grid, runs, changes);
        return changes;
    }
    const auto low = LineThrough(image, LineRun(grid, rect, rect.bottom), grid.scale);
    const auto high = LineThrough(image, LineRun(grid, rect, rect.top), grid.scale);
    const double key0 = grid.lineKeys[static_cast<size_t>(rect.bottom)];
    const double key1 = grid.lineKeys[static_cast<size_t>(rect.top)];
    if (!low || !high || key0 == key1) {
        return changes;
    }
    ForEachCell(grid, rect, [&](int c, int l, int index) {
        const double across = grid.columnKeys[static_cast<size_t>(c)];
        const double up = (grid.lineKeys[static_cast<size_t>(l)] - key0) / (key1 - key0);
        const double value = low->At(across) + (high->At(across) - low->At(across)) * up;
        Change(image, index, UnitsToByte(value, grid.scale), changes);
    });
    return changes;
}

CellChanges Smooth(const CalibrationImage& image, const ShapeGrid& grid, CellRect rect) {
    CellChanges changes;
    ForEachCell(grid, rect, [&](int c, int l, int index) {
        double sum = 0;
        int count = 0;
        ForEachCell(grid, {c - 1, c + 1, l - 1, l + 1}, [&](int, int, int neighbour) {
            sum += Units(image, neighbour, grid.scale);
            ++count;
        });
        Change(image, index, UnitsToByte(sum / count, grid.scale), changes);
    });
    return changes;
}

}  // namespace

int ShapeGrid::At(int column, int line) const {
    if (column < 0 || column >= columns || line < 0 || line >= lines) {
        return -1;
    }
    return indices[static_cast<size_t>(column * lines + line)];
}

std::string OperationName(RegionOperation operation, double operand) {
    switch (operation) {
        case RegionOperation::Set:
            return "Set";
        case RegionOperation::Add:
            return "Add " + FormatNumber("%g", operand);
        case RegionOperation::Scale:
            return "Scale " + FormatNumber("%g", operand) + "%";
        case RegionOperation::InterpolateHorizontally:
            return "Interpolate Horizontally";
        case RegionOperation::InterpolateVertically:
            return "Interpolate Vertically";
        case RegionOperation::Interpolate:
            return "Interpolate";
        case RegionOperation::Smooth:
            break;
    }
    return "Smooth";
}

bool TakesOperand(RegionOperation operation) {
    return operation == RegionOperation::Set || operation == RegionOperation::Add ||
           operation == RegionOperation::Scale;
}

uint32_t UnitsToByte(double units, UnitScale scale) {
    const double held = std::isnan(units) ? 0.0 : std::clamp(units, -UnitsLimit, UnitsLimit);
    return static_cast<uint32_t>(UnitsToRaw(static_cast<float>(held), scale));
}

CellChanges ShapeRegion(const CalibrationImage& image, const ShapeGrid& grid, CellRect rect,
                        RegionOperation operation, double operand) {
    CellChanges changes;
    const auto each = [&](const std::function<double(double)>& shape) {
        ForEachCell(grid, rect, [&](int, int, int index) {
            Change(image, index, UnitsToByte(shape(Units(image, index, grid.scale)), grid.scale),
                   changes);
        });
    };
    switch (operation) {
        case RegionOperation::Set:
            each([&](double) { return operand; });
            return changes;
        case RegionOperation::Add:
            each([&](double units) { return units + operand; });
            return changes;
        case RegionOperation::Scale:
            each([&](double units) { return units * operand / 100.0; });
            return changes;
        case RegionOperation::Smooth:
            return Smooth(image, grid, rect);
        case RegionOperation::InterpolateHorizontally:
        case RegionOperation::InterpolateVertically:
        case RegionOperation::Interpolate:
            break;
    }
    return Interpolate(image, grid, rect, operation);
}

CellChanges StepRegion(const CalibrationImage& image, const ShapeGrid& grid, CellRect rect,
                       int counts) {
    CellChanges changes;
    ForEachCell(grid, rect, [&](int, int, int index) {
        const int64_t raw = std::clamp<int64_t>(int64_t{image[index]} + counts, 0, 255);
        Change(image, index, static_cast<uint32_t>(raw), changes);
    });
    return changes;
}

bool ApplyChanges(CalibrationImage& image, const CellChanges& changes) {
    bool changed = false;
    for (const CellChange& change : changes) {
        changed = changed || image[change.index] != change.value;
        image[change.index] = change.value;
    }
    return changed;
}

}  // namespace korvel
