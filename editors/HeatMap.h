#pragma once
// The colours behind a table's values: cool to warm over the table's own
// range, pale enough that the black digits stay easy to read.

#include <cstdint>
#include <optional>

#include "calib/CalibrationImage.h"
#include "editors/GridModel.h"

namespace korvel {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct ValueRange {
    uint32_t low = 0;
    uint32_t high = 0;
    bool operator==(const ValueRange&) const = default;
};

// The lowest and highest value in a grid's cells (a slot above 255 counts
// as 255); nullopt for a grid without cells.
std::optional<ValueRange> RangeOfValues(const CellGrid& grid, const CalibrationImage& image);

// A value's colour: pale blue at the range's low end through green and
// yellow to pale red at its high end; the middle colour for a flat range.
Rgb HeatColour(uint32_t raw, ValueRange range);

}  // namespace korvel
