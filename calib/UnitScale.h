#pragma once
// The six fixed piecewise-linear engineering-unit scales and the conversions
// between raw ECU bytes and engineering values.

#include <span>

namespace korvel {

// N (as a float), then N (raw, value) pairs: 2N + 1 floats.
using UnitScale = std::span<const float>;

extern const UnitScale TairScale;
extern const UnitScale TcooScale;
extern const UnitScale MapScale;
extern const UnitScale BatScale;
extern const UnitScale ByteScale;
extern const UnitScale RpmScale;

// Raw value to engineering value along the scale's segments (extrapolating,
// no clamping), computed in extended precision.
double RawToUnits(float raw, UnitScale scale);

// Engineering value back to a raw byte: segment search on the value column
// (rising or falling), rounding with halves going up, clamped to 0..255.
int UnitsToRaw(float value, UnitScale scale);

}  // namespace korvel
