#include <gtest/gtest.h>

#include <tuple>

#include "calib/DataFile.h"
#include "editors/ByteNames.h"

namespace korvel {
namespace {

CalibrationImage Demo() {
    CalibrationImage image;
    EXPECT_EQ(ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", image).valuesStored, ImageSize);
    return image;
}

// The demo calibration: VE table at 104, position curve at 179, B curve at
// 218, spark table at 253, slot 17's region at 297, slot 19's table at 305,
// free space from 319.
TEST(ByteNames, NameEveryKindOfByteOfTheDemoCalibration) {
    const ImageByteNames names = NameImageBytes(Demo());
    const std::pair<int, const char*> cases[] = {
        {0, "not interpreted"},
        {3, "pointer table, slot 3"},
        {16, "pointer table, slot 15 (low byte)"},
        {21, "pointer table, end"},
        {46, "AE / MIS, Gasoline AE Decay"},
        {99, "AE / MIS, LP AE Max"},
        {79, "Governor, LMHR Cold KI"},
        {80, "RPM Presets, PWM Hi Limit (high byte)"},
        {103, "RPM Presets, PWM Low Limit LP (low byte)"},
        {88, "RPM Presets, RPM B"},
        {104, "VE Table, RPM 40 (row key)"},
        {106, "VE Table, RPM 40 (row link)"},
        {107, "VE Table, MAP 5.2, RPM 40 (MAP key)"},
        {108, "VE Table, MAP 5.2, RPM 40"},
        {109, "VE Table (LP), MAP 5.2, RPM 40"},
        {116, "VE Table, MAP 30.8, RPM 40 (MAP key)"},  // the row's end entry
        {179, "RPM curve (position), point 1 x"},
        {184, "RPM curve (position), point 3 y"},
        {191, "RPM curve (position), end"},
        {219, "B Curve, point 1 y"},
        {220, "B Curve (LP), point 1 y"},
        {257, "Spark Table, MAP 5.2, RPM 40"},
        {297, "region of slot 17"},
        {305, "table of slot 19 (row key)"},
        {308, "table of slot 19"},
        {319, "free space"},
        {511, "free space"},
    };
    for (const auto& [index, name] : cases) {
        EXPECT_EQ(names[static_cast<size_t>(index)], name) << index;
    }
    EXPECT_EQ(NameImageByte(Demo(), 184), names[184]);
    EXPECT_EQ(NameImageByte(Demo(), 512), "unknown");
}

// A pointer into the last byte sends the position curve's walk out of the
// image: its old bytes are no longer anyone's, and say so.
TEST(ByteNames, DamagedImageNamesWhatNoWalkReachedUnknown) {
    CalibrationImage image = Demo();
    Write16(image, PositionRpmCurveSlot, ImageBaseAddress + 511);
    const ImageByteNames names = NameImageBytes(image);
    EXPECT_EQ(names[184], "unknown");
    EXPECT_EQ(names[0], "unknown");
    EXPECT_EQ(names[108], "VE Table, MAP 5.2, RPM 40");
    EXPECT_EQ(names[400], "free space");
}

// Values in the editors' and dialogs' units.
TEST(ByteNames, ValuesAreShownInTheEditorsUnits) {
    const CalibrationImage demo = Demo();
    const std::tuple<int, uint32_t, const char*> cases[] = {
        {87, 150, "3000"},  // RPM A: steps of 20
        {184, 90, "1800"},  // position curve y: RpmScale
        {192, 0, "266"},    // temperature curve x: TcooScale
        {107, 20, "5.2"},   // VE MAP key: MapScale
        {108, 62, "62"},    // VE value
        {0, 7, "7"},        // not interpreted
    };
    for (const auto& [index, value, shown] : cases) {
        EXPECT_EQ(ShowImageValue(demo, index, value), shown) << index;
    }
}

TEST(ByteNames, CompareListsEachDifferingByteWithItsName) {
    const CalibrationImage demo = Demo();
    CalibrationImage edited = demo;
    edited[87] = 151;
    edited[184] = 0;
    edited[300] = 300;  // a whole slot is compared
    const std::vector<ByteDifference> expected{
        {87, 90, 151, "RPM Presets, RPM A"},
        {184, 90, 0, "RPM curve (position), point 3 y"},
        {300, 64, 300, "region of slot 17"},
    };
    EXPECT_EQ(CompareImages(demo, edited), expected);
    EXPECT_TRUE(CompareImages(demo, demo).empty());
    EXPECT_EQ(DifferenceLine(expected[0]), "0E57 90 151 RPM Presets, RPM A");
}

}  // namespace
}  // namespace korvel
