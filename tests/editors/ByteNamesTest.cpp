#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "calib/DataFile.h"
#include "editors/ByteNames.h"

namespace korvel {
namespace {

// The demo calibration: VE table at 104, position curve at 179, B curve at
// 218, spark table at 253, slot 17's region at 297, slot 19's table at 305,
// free space from 319; values are shown in the editors' units.
TEST(ByteNames, NameEveryKindOfByteOfTheDemoCalibrationAndOfADamagedOne) {
    CalibrationImage demo;
    ASSERT_EQ(ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", demo).valuesStored, ImageSize);
    const ImageByteNames names = NameImageBytes(demo);
    const std::pair<int, const char*> cases[] = {
        {0, "not interpreted"},
        {16, "pointer table, slot 15 (low byte)"},
        {21, "pointer table, end"},
        {46, "AE / MIS, Gasoline AE Decay"},
        {79, "Governor, LMHR Cold KI"},
        {80, "RPM Presets, PWM Hi Limit (high byte)"},
        {88, "RPM Presets, RPM B"},
        {106, "VE Table, RPM 40 (row link)"},
        {107, "VE Table, MAP 5.2, RPM 40 (MAP key)"},
        {108, "VE Table, MAP 5.2, RPM 40"},
        {109, "VE Table (LP), MAP 5.2, RPM 40"},
        {116, "VE Table, MAP 30.8, RPM 40 (MAP key)"},  // the row's end entry
        {179, "RPM curve (position), point 1 x"},
        {191, "RPM curve (position), end"},
        {220, "B Curve (LP), point 1 y"},
        {257, "Spark Table, MAP 5.2, RPM 40"},
        {297, "region of slot 17"},
        {305, "table of slot 19 (row key)"},
        {308, "table of slot 19"},
        {511, "free space"}};
    for (const auto& [index, name] : cases) {
        EXPECT_EQ(names[static_cast<size_t>(index)], name) << index;
    }
    // Index, raw value, shown: RPM A in steps of 20, the temperature curve's
    // x on the coolant scale, a VE MAP key, a VE value, a byte not interpreted.
    const std::tuple<int, uint32_t, const char*> values[] = {
        {87, 150, "3000"}, {192, 0, "266"}, {107, 20, "5.2"}, {108, 62, "62"}, {0, 7, "7"}};
    for (const auto& [index, value, shown] : values) {
        EXPECT_EQ(ShowImageValue(demo, index, value), shown) << index;
    }
    EXPECT_EQ(NameImageByte(demo, 184), names[184]);
    EXPECT_EQ(NameImageByte(demo, 512), "unknown");

    // A pointer into the last byte sends the position curve's walk out of the
    // image: its old bytes are no longer anyone's, and say so.
    CalibrationImage damaged = demo;
    Write16(damaged, PositionRpmCurveSlot, ImageBaseAddress + 511);
    const ImageByteNames left = NameImageBytes(damaged);
    EXPECT_EQ((std::array{left[184], left[0], left[108], left[400]}),
              (std::array<std::string, 4>{"unknown", "unknown", "VE Table, MAP 5.2, RPM 40",
                                          "free space"}));
}

}  // namespace
}  // namespace korvel
