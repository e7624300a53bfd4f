#pragma once
// Shaping a rectangle of cells as tuners do: set, add, scale, interpolate,
// smooth and step. Each operation reads the image and returns the bytes to
// change; values are computed in the editor's units and stored through
// UnitsToRaw (rounded half up, clamped to 0..255). Blank cells are skipped.

#include <cstdint>
#include <string>
#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/UnitScale.h"

namespace korvel {

// The cells a region may cover, with their axis values in units: a table's
// engine speed keys across and MAP keys up, or one curve column whose lines
// are its points, keyed by their x values.
struct ShapeGrid {
    int columns = 0;
    int lines = 0;
    std::vector<int> indices;  // column * lines + line; -1 for a blank cell
    std::vector<double> columnKeys;
    std::vector<double> lineKeys;
    UnitScale scale;  // of the values

    // The image index at (column, line); -1 when blank or outside.
    int At(int column, int line) const;
};

// Columns left..right and lines bottom..top, ends included; line 0 is the
// grid's bottom line.
struct CellRect {
    int left = 0;
    int right = 0;
    int bottom = 0;
    int top = 0;

    int Columns() const { return right - left + 1; }
    int Lines() const { return top - bottom + 1; }
    bool Contains(int column, int line) const {
        return column >= left && column <= right && line >= bottom && line <= top;
    }
    bool operator==(const CellRect&) const = default;
};

struct CellChange {
    int index = 0;
    uint32_t value = 0;
    bool operator==(const CellChange&) const = default;
};
using CellChanges = std::vector<CellChange>;

enum class RegionOperation {
    Set,    // to the operand
    Add,    // the operand
    Scale,  // by the operand, in percent
    InterpolateHorizontally,
    InterpolateVertically,
    Interpolate,  // both ways: bilinear
    Smooth,
};

// The operation's undo step: "Set", "Add 5", "Scale 105%", "Interpolate".
std::string OperationName(RegionOperation operation, double operand);
bool TakesOperand(RegionOperation operation);

// The bytes that change when `operation` runs over the present cells of
// `rect`. Interpolation runs by the axis keys: along a line (or column)
// between its first and last present cells, and a line with fewer than two
// present cells stays as it is; both ways, between the region's bottom and
// top lines, each taken as a line through its first and last present cells
// (so a blank corner takes the nearest present cell along that line). A
// region one column wide or one line high interpolates along its length.
// Smoothing gives each cell the mean of itself and its present neighbours
// in the 3 x 3 block around it, all read before any changes.
CellChanges ShapeRegion(const CalibrationImage& image, const ShapeGrid& grid, CellRect rect,
                        RegionOperation operation, double operand);

// `counts` raw counts added to every present cell, within 0..255.
CellChanges StepRegion(const CalibrationImage& image, const ShapeGrid& grid, CellRect rect,
                       int counts);

// A value in units as the byte it stores: held within +-1e6 (beyond every
// scale), then UnitsToRaw.
uint32_t UnitsToByte(double units, UnitScale scale);

// Writes the changes; true when a byte changed.
bool ApplyChanges(CalibrationImage& image, const CellChanges& changes);

}  // namespace korvel
