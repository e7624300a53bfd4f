#include "editors/HeatMap.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvel {

namespace {

uint32_t AsByte(uint32_t raw) {
    return std::min<uint32_t>(raw, 0xFF);
}

// Evenly spaced stops, cool to warm.
constexpr std::array<Rgb, 5> Stops{{
    {160, 190, 255},  // blue
    {150, 230, 235},  // cyan
    {170, 235, 160},  // green
    {250, 235, 140},  // yellow
    {255, 165, 140},  // red
}};

int Mix(int a, int b, double t) {
    return static_cast<int>(std::lround(a + (b - a) * t));
}

}  // namespace

std::optional<ValueRange> RangeOfValues(const CellGrid& grid, const CalibrationImage& image) {
    std::optional<ValueRange> range;
    for (int index : grid.indices) {
        if (index < 0) {
            continue;
        }
        const uint32_t v = AsByte(image[index]);
        range = range ? ValueRange{std::min(range->low, v), std::max(range->high, v)}
                      : ValueRange{v, v};
    }
    return range;
}

Rgb HeatColour(uint32_t raw, ValueRange range) {
    const double span = static_cast<double>(range.high) - range.low;
    const double t =
        span <= 0 ? 0.5
                  : std::clamp((static_cast<double>(AsByte(raw)) - range.low) / span, 0.0, 1.0);
    const double at = t * (Stops.size() - 1);
    const size_t i = std::min(static_cast<size_t>(at), Stops.size() - 2);
    const double f = at - static_cast<double>(i);
    const Rgb& a = Stops[i];
    const Rgb& b = Stops[i + 1];
    return {Mix(a.red, b.red, f), Mix(a.green, b.green, f), Mix(a.blue, b.blue, f)};
}

}  // namespace korvel
