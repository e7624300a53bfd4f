#include "monitor/UnitScale.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(UnitScale, RawToUnitsExamples) {
    struct Case {
        UnitScale scale;
        float raw;
        double expected, tolerance;
    };
    const Case cases[] = {
        {TcooScale, 0, 266.1f, 0},
        {TcooScale, 1, 266, 0},
        {TairScale, 255, -40.1f, 1e-5},
        {TairScale, 22, 158, 0},
        {TairScale, 0, 266, 0},
        {TairScale, 240, -36.727272727, 1e-5},
        {BatScale, 100, 100 * 19.7674f / 255.0, 1e-5},
        {MapScale, 10, 3.0539f + 10 * (30.8489f - 3.0539f) / 255, 1e-5},
        {RpmScale, 300, 6000, 0},
        {ByteScale, 77, 77, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(RawToUnits(c.raw, c.scale), c.expected, c.tolerance) << c.raw;
    }
}

TEST(UnitScale, UnitsToRawExamples) {
    struct Case {
        UnitScale scale;
        float value;
        int expected;
    };
    const Case cases[] = {
        {TcooScale, 212, 22},      {TcooScale, 211, 22},  {TcooScale, 300, 0},
        {TcooScale, -60, 255},     {TairScale, 300, 0},   {TairScale, -60, 255},
        {TairScale, 77, 90},       {RpmScale, 5100, 255}, {RpmScale, 5200, 255},
        {RpmScale, 1800, 90},      {ByteScale, -5, 0},    {ByteScale, 127.5f, 128},
        {ByteScale, 127.49f, 127}, {MapScale, 0, 0},      {MapScale, 99, 255},
        {BatScale, 12.0f, 155},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnitsToRaw(c.value, c.scale), c.expected) << c.value;
    }
}

// Every byte survives display and re-entry on every scale, the near-flat end
// segments included.
TEST(UnitScale, EveryRawByteRoundTrips) {
    for (UnitScale scale : {TairScale, TcooScale, MapScale, BatScale, ByteScale, RpmScale}) {
        for (int raw = 0; raw <= 255; ++raw) {
            const auto shown = static_cast<float>(RawToUnits(static_cast<float>(raw), scale));
            ASSERT_EQ(UnitsToRaw(shown, scale), raw) << "scale of " << scale[0] << " points";
        }
    }
}

}  // namespace
}  // namespace korvel
