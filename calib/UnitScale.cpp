#include "calib/UnitScale.h"

#include <cstddef>

namespace korvel {

namespace {

// Degrees Fahrenheit; breakpoints on whole 10 degC steps, 25 degC added. The
// end points 266.1 and -40.1 make near-flat end segments that send values
// beyond the range to raw 0 or 255.
// clang-format off
constexpr float TairPoints[] = {
    20,
    0, 266,    5, 248,    7, 230,    9, 212,    12, 194,   16, 176,   22, 158,
    31, 140,   42, 122,   57, 104,   78, 86,    90, 77,    103, 68,   133, 50,
    163, 32,   192, 14,   215, -4,   231, -22,  242, -40,  255, -40.1f,
};
constexpr float TcooPoints[] = {
    21,
    0, 266.1f, 1, 266,    13, 248,   17, 230,   22, 212,   29, 194,   38, 176,
    50, 158,   66, 140,   85, 122,   109, 104,  135, 86,   148, 77,   162, 68,
    187, 50,   209, 32,   226, 14,   237, -4,   245, -22,  250, -40,  255, -40.1f,
};
// clang-format on
constexpr float MapPoints[] = {2, 0, 3.0539f, 255, 30.8489f};
constexpr float BatPoints[] = {2, 0, 0, 255, 19.7674f};
constexpr float BytePoints[] = {2, 0, 0, 255, 255};
constexpr float RpmPoints[] = {2, 0, 0, 255, 5100};

// Point k of a scale: raw at 1 + 2k, value at 2 + 2k.
long double RawAt(UnitScale scale, int k) {
    return scale[static_cast<size_t>(1 + 2 * k)];
}
long double ValueAt(UnitScale scale, int k) {
    return scale[static_cast<size_t>(2 + 2 * k)];
}

// N truncated, or 0 when the array cannot hold N points of at least two.
int PointCount(UnitScale scale) {
    if (scale.empty()) {
        return 0;
    }
    const auto n = static_cast<int>(scale[0]);
    return n >= 2 && scale.size() >= static_cast<size_t>(2 * n + 1) ? n : 0;
}

}  // namespace

constinit const UnitScale TairScale{TairPoints};
constinit const UnitScale TcooScale{TcooPoints};
constinit const UnitScale MapScale{MapPoints};
constinit const UnitScale BatScale{BatPoints};
constinit const UnitScale ByteScale{BytePoints};
constinit const UnitScale RpmScale{RpmPoints};

double RawToUnits(float raw, UnitScale scale) {
    const int n = PointCount(scale);
    if (n == 0) {
        return 0.0;
    }
    int k = 1;
    while (k < n - 1 && raw > RawAt(scale, k)) {
        ++k;
    }
    const long double slope =
        (ValueAt(scale, k) - ValueAt(scale, k - 1)) / (RawAt(scale, k) - RawAt(scale, k - 1));
    return static_cast<double>(ValueAt(scale, k - 1) + slope * (raw - RawAt(scale, k - 1)));
}

int UnitsToRaw(float value, UnitScale scale) {
    const int n = PointCount(scale);
    if (n == 0) {
        return 0;
    }
    int k = 1;
    for (; k < n - 1; ++k) {
        const long double low = ValueAt(scale, k - 1), high = ValueAt(scale, k);
        const bool rising = low <= value && value < high;
        const bool falling = high < value && value <= low;
        if (rising || falling) {
            break;
        }
    }
    const long double slope =
        (RawAt(scale, k) - RawAt(scale, k - 1)) / (ValueAt(scale, k) - ValueAt(scale, k - 1));
    const long double raw = RawAt(scale, k - 1) + slope * (value - ValueAt(scale, k - 1)) + 0.5L;
    // Truncating toward zero sends every negative raw to 0; clamping first
    // keeps the conversion defined for any float.
    if (!(raw > 0)) {
        return 0;
    }
    return raw >= 255 ? 255 : static_cast<int>(raw);
}

}  // namespace korvel
