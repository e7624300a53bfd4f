// The shipped demo calibration must satisfy every layout rule the ECU relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "calib/CalibrationImage.h"
#include "calib/DataFile.h"

namespace korvel {
namespace {

// Entry or point size of the region at each pointer slot 3..19 (0: unknown).
int ElementSize(int slot) {
    return slot == VeTableSlot || slot == BCurveSlot ? 3 : slot == 17 ? 0 : 2;
}
bool IsTable(int slot) {
    return slot == VeTableSlot || slot == SparkTableSlot || slot == 19;
}

CalibrationImage Demo() {
    CalibrationImage image;
    const DataFileReadResult read = ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", image);
    EXPECT_EQ(read.valuesStored, ImageSize);
    return image;
}

TEST(DemoData, SatisfiesTheLayout) {
    const CalibrationImage image = Demo();
    EXPECT_TRUE(
        std::all_of(image.values.begin(), image.values.end(), [](uint32_t v) { return v <= 255; }));
    EXPECT_EQ(image[21], 0u);  // the pointer table ends at slot 21
    EXPECT_EQ(Read16(image, 80), 900u);
    EXPECT_EQ(image[87], 90u);

    std::set<std::vector<uint32_t>> veKeySets;  // a sparse table: rows differ in MAP keys
    int end = 104;                              // behind the last fixed constant
    for (int slot = VeTableSlot; slot <= SecondRowListSlot; slot += 2) {
        ASSERT_GE(PointerTarget(image, slot), end) << "regions overlap or are out of order";
        end = PointerTarget(image, slot);
        const int size = ElementSize(slot);
        if (IsTable(slot)) {
            const RowListWalk walk = WalkRowList(image, slot, size);
            ASSERT_FALSE(walk.broken);
            for (const TableRow& row : walk.rows) {
                std::vector<uint32_t> keys;
                for (int entry : row.entries) {
                    keys.push_back(image[entry]);
                }
                EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
                if (slot == VeTableSlot) {
                    veKeySets.insert(keys);
                }
                end = std::max(end, row.entries.back() + size);
            }
        } else if (size > 0) {
            const CurveWalk walk = WalkCurve(image, slot, size);
            ASSERT_FALSE(walk.broken);
            EXPECT_EQ(image[walk.points.front()], 0u);
            EXPECT_EQ(image[walk.points.back()], 255u);
            for (size_t p = 1; p < walk.points.size(); ++p) {
                EXPECT_GT(image[walk.points[p]], image[walk.points[p - 1]]) << slot;
            }
            end = walk.points.back() + size + 1;
        }
    }
    EXPECT_LE(end, ImageSize - 30);  // room for ten more 3-byte points
    EXPECT_TRUE(std::all_of(image.values.begin() + end, image.values.end(),
                            [](uint32_t v) { return v == FreeByte; }));

    EXPECT_GE(WalkRowList(image, VeTableSlot, 3).rows.size(), 4u);
    EXPECT_GE(veKeySets.size(), 2u);
}

TEST(DemoData, TakesTenMorePoints) {
    CalibrationImage image = Demo();
    for (int i = 0; i < 10; ++i) {
        const int selected = WalkCurve(image, BCurveSlot, 3).points.at(1);
        ASSERT_EQ(InsertCurvePoint(image, BCurveSlot, 3, selected, SparkTableSlot),
                  InsertResult::Inserted);
    }
    EXPECT_EQ(WalkCurve(image, BCurveSlot, 3).points.size(), 17u);
    EXPECT_FALSE(WalkRowList(image, SecondRowListSlot, 2).broken);
}

}  // namespace
}  // namespace korvel
