#include "calib/CalibrationImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ImageLayout.h"

namespace korvel {
namespace {

using test::ImageLayout;

// ACurve at index 128 holding (0, 10), (50, 20), (255, 30), its end byte at 134.
ImageLayout WorkedLayout() {
    ImageLayout layout;
    layout.ve = {{40, {100, 80, 70, 0xFF, 90, 80}}};
    layout.curves = {{{0, 40, 255, 150}, {0, 45}, {0, 100}, {0, 60, 55}, {0, 10, 50, 20, 255, 30}}};
    layout.spark = {{40, {30, 10, 0xFF, 12}}, {80, {30, 14, 60, 16, 0xFF, 18}}};
    layout.region17 = {1, 2, 3, 4};
    layout.second = {{50, {0xFF, 7}}, {90, {0xFF, 9}}};
    return layout;
}

// The first index at which the images differ, or -1.
int FirstDifference(const CalibrationImage& a, const CalibrationImage& b) {
    for (int i = 0; i < ImageSize; ++i) {
        if (a[i] != b[i]) {
            return i;
        }
    }
    return -1;
}

CalibrationImage Build(const ImageLayout& layout) {
    auto image = layout.Build();
    EXPECT_TRUE(image.has_value());
    return image.value_or(CalibrationImage{});
}

TEST(CalibrationImage, WorkedInsertionByteForByte) {
    const CalibrationImage before = Build(WorkedLayout());
    ASSERT_EQ(PointerTarget(before, ACurveSlot), 128);
    ASSERT_EQ(before[134], 0u);
    CalibrationImage image = before;
    ASSERT_EQ(InsertCurvePoint(image, ACurveSlot, 2, 130, SparkTableSlot), InsertResult::Inserted);

    ImageLayout after = WorkedLayout();
    after.curves[4] = {0, 10, 50, 20, 51, 20, 255, 30};
    after.lastLinkLow = 2;
    EXPECT_EQ(FirstDifference(image, Build(after)), -1);
    EXPECT_EQ(image[13], 0x0Eu);
    EXPECT_EQ(image[14], 0x80u);
    EXPECT_EQ(image[136], 0u);
    EXPECT_EQ(image[130], 50u);  // the selected point stays, its copy follows
    EXPECT_EQ(image[132], 51u);
    EXPECT_EQ(image[133], 20u);
    for (int slot = SparkTableSlot; slot <= SecondRowListSlot; slot += 2) {
        EXPECT_EQ(PointerTarget(image, slot), PointerTarget(before, slot) + 2) << slot;
    }
}

TEST(CalibrationImage, ThreeBytePointMovesPointersAndLinksByThree) {
    ImageLayout layout = WorkedLayout();
    layout.curves[3] = {0, 60, 55, 40, 62, 57, 255, 70, 65};
    const CalibrationImage before = Build(layout);
    CalibrationImage image = before;
    const int selected = PointerTarget(before, BCurveSlot) + 3;
    ASSERT_EQ(InsertCurvePoint(image, BCurveSlot, 3, selected, SparkTableSlot),
              InsertResult::Inserted);

    layout.curves[3] = {0, 60, 55, 40, 62, 57, 41, 62, 57, 255, 70, 65};
    layout.lastLinkLow = 3;
    EXPECT_EQ(FirstDifference(image, Build(layout)), -1);
    for (int slot = VeTableSlot; slot <= BCurveSlot; slot += 2) {
        EXPECT_EQ(PointerTarget(image, slot), PointerTarget(before, slot)) << slot;
    }
    for (int slot = ACurveSlot; slot <= SecondRowListSlot; slot += 2) {
        EXPECT_EQ(PointerTarget(image, slot), PointerTarget(before, slot) + 3) << slot;
    }
}

TEST(CalibrationImage, PointerLowByteCarriesIntoHighByte) {
    ImageLayout layout = WorkedLayout();
    layout.region17.resize(254 - 151, 5);  // puts the second table at index 254 (0x0EFE)
    CalibrationImage image = Build(layout);
    ASSERT_EQ(image[19], 0x0Eu);
    ASSERT_EQ(image[20], 0xFEu);
    ASSERT_EQ(InsertCurvePoint(image, ACurveSlot, 2, 130, SparkTableSlot), InsertResult::Inserted);
    EXPECT_EQ(image[19], 0x0Fu);
    EXPECT_EQ(image[20], 0x00u);
    layout.curves[4] = {0, 10, 50, 20, 51, 20, 255, 30};
    layout.lastLinkLow = 2;
    EXPECT_EQ(FirstDifference(image, Build(layout)), -1);
}

TEST(CalibrationImage, FullOrInapplicableInsertionChangesNothing) {
    struct Case {
        std::string name;
        std::function<void(CalibrationImage&)> damage;
        int pointSize, selected;
        InsertResult expected;
    };
    const std::vector<Case> cases = {
        {"last byte not free", [](CalibrationImage& i) { i[511] = 0; }, 2, 130,
         InsertResult::TableFull},
        {"index 0", [](CalibrationImage&) {}, 2, 0, InsertResult::NotApplicable},
        {"y cell", [](CalibrationImage&) {}, 0, 131, InsertResult::NotApplicable},
        {"x of 0xFF", [](CalibrationImage&) {}, 2, 132, InsertResult::NotApplicable},
        {"y byte", [](CalibrationImage&) {}, 2, 131, InsertResult::NotApplicable},
        {"outside the curve", [](CalibrationImage&) {}, 2, 135, InsertResult::NotApplicable},
        {"outside the image", [](CalibrationImage&) {}, 2, 600, InsertResult::NotApplicable},
        {"curve not loaded", [](CalibrationImage& i) { Write16(i, 13, 0); }, 2, 130,
         InsertResult::NotApplicable},
        {"curve without end byte",
         [](CalibrationImage& i) {
             Write16(i, 13, ImageBaseAddress + 505);
             for (int k = 505; k < ImageSize; ++k)
                 i[k] = 1;
         },
         2, 505, InsertResult::NotApplicable},
        {"pointer table without end",
         [](CalibrationImage& i) {
             for (int k = 21; k < 104; ++k)
                 i[k] = 1;
         },
         2, 130, InsertResult::NotApplicable},
        {"pointer outside the image", [](CalibrationImage& i) { Write16(i, 17, 0x2000); }, 2, 130,
         InsertResult::NotApplicable},
        {"pointer in front of the curve", [](CalibrationImage& i) { Write16(i, 17, 0x0E70); }, 2,
         130, InsertResult::NotApplicable},
        {"row link outside the image", [](CalibrationImage& i) { Write16(i, 136, 0x1400); }, 2, 130,
         InsertResult::NotApplicable},
        {"row links in a cycle", [](CalibrationImage& i) { Write16(i, 143, 0x0E87); }, 2, 130,
         InsertResult::NotApplicable},
        {"row link pushed out of the image",
         [](CalibrationImage& i) {
             Write16(i, 156, ImageBaseAddress + 508);
             i[509] = 0;
         },
         2, 130, InsertResult::NotApplicable},
        {"more than 99 linked rows",
         [](CalibrationImage& i) {
             for (int start = 135; start < 432; start += 3) {
                 Write16(i, start + 1, ImageBaseAddress + start + 3);
             }
             Write16(i, 433, 0);
             Write16(i, 19, ImageBaseAddress + 440);
             i[441] = 0;
         },
         2, 130, InsertResult::NotApplicable},
        {"rows in front of the curve", [](CalibrationImage& i) { Write16(i, 19, 0x0E68); }, 2, 130,
         InsertResult::NotApplicable},
    };
    for (const Case& c : cases) {
        CalibrationImage image = Build(WorkedLayout());
        c.damage(image);
        const CalibrationImage before = image;
        EXPECT_EQ(InsertCurvePoint(image, ACurveSlot, c.pointSize, c.selected, SparkTableSlot),
                  c.expected)
            << c.name;
        EXPECT_EQ(FirstDifference(image, before), -1) << c.name;
    }
}

TEST(CalibrationImage, WalksStopAtTheirEndsAndInsideTheImage) {
    CalibrationImage image;  // all zero: nothing loaded, every pointer names -3584
    EXPECT_TRUE(WalkRowList(image, VeTableSlot, 3).broken);
    EXPECT_TRUE(WalkCurve(image, ACurveSlot, 2).points.empty());
    Write16(image, ACurveSlot, ImageBaseAddress + 200);  // x 0 at 200 and at 202
    EXPECT_EQ(WalkCurve(image, ACurveSlot, 2).points, std::vector<int>{200});
    EXPECT_FALSE(WalkCurve(image, ACurveSlot, 2).broken);

    image = Build(WorkedLayout());
    Write16(image, 143, 0x0E87);  // the spark table's last row links back to its first
    RowListWalk rows = WalkRowList(image, SparkTableSlot, 2);
    EXPECT_TRUE(rows.broken);
    EXPECT_EQ(rows.rows.size(), 2u);

    Write16(image, 143, ImageBaseAddress + 508);  // a last row with no room for an entry
    image[509] = 0;
    rows = WalkRowList(image, SparkTableSlot, 2);
    EXPECT_TRUE(rows.broken);
    ASSERT_EQ(rows.rows.size(), 3u);
    EXPECT_TRUE(rows.rows[2].entries.empty());

    for (int r = 0; r < 101; ++r) {  // 101 chained rows of one 0xFF entry each
        const int start = 100 + 4 * r;
        image[start] = 1;
        Write16(image, start + 1, ImageBaseAddress + start + 4);
        image[start + 3] = 0xFF;
    }
    Write16(image, 3, ImageBaseAddress + 100);
    rows = WalkRowList(image, VeTableSlot, 1);
    EXPECT_TRUE(rows.broken);
    EXPECT_EQ(rows.rows.size(), static_cast<size_t>(MaxTableRows));

    Write16(image, 5, ImageBaseAddress + 505);  // no end byte before the image ends
    for (int k = 505; k < ImageSize; ++k) {
        image[k] = 1;
    }
    const CurveWalk curve = WalkCurve(image, 5, 2);
    EXPECT_TRUE(curve.broken);
    EXPECT_EQ(curve.points, (std::vector<int>{505, 507, 509}));
}

}  // namespace
}  // namespace korvel
