// Randomized checks of the walks and of InsertCurvePoint over generated
// images, sound ones against a model and damaged ones against safety rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "ImageLayout.h"
#include "calib/CalibrationImage.h"

namespace korvel {
namespace {

using test::ImageLayout;
using test::LayoutRow;

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

    // Ascending distinct keys in 1..254, then the 0xFF key. Data bytes stay
    // below 0xFF so that real data never passes for free space.
    std::vector<LayoutRow> Rows(int maxRows, int valueBytes) {
        std::vector<LayoutRow> rows(static_cast<size_t>(Pick(1, maxRows)));
        for (LayoutRow& row : rows) {
            row.key = static_cast<uint32_t>(Pick(1, 254));
            for (int key : Keys(Pick(0, 4), 1, 254)) {
                row.entries.push_back(static_cast<uint32_t>(key));
                Values(valueBytes, row.entries);
            }
            row.entries.push_back(0xFF);
            Values(valueBytes, row.entries);
        }
        return rows;
    }

    // x from 0 to 255 (a single point has x 0), strictly ascending.
    std::vector<uint32_t> Curve(int pointSize) {
        const int count = Pick(1, 6);
        std::vector<int> xs{0};
        if (count > 1) {
            for (int x : Keys(count - 2, 1, 254)) {
                xs.push_back(x);
            }
            xs.push_back(255);
        }
        std::vector<uint32_t> bytes;
        for (int x : xs) {
            bytes.push_back(static_cast<uint32_t>(x));
            Values(pointSize - 1, bytes);
        }
        return bytes;
    }

    ImageLayout Layout() {
        ImageLayout layout;
        layout.start = Pick(104, 112);
        layout.ve = Rows(5, 2);
        for (size_t c = 0; c < layout.curves.size(); ++c) {
            layout.curves[c] = Curve(test::CurvePointSizes[c]);
        }
        layout.spark = Rows(6, 1);
        Values(Pick(0, 40), layout.region17);
        layout.second = Rows(4, 1);
        layout.lastLinkLow = static_cast<uint32_t>(Pick(0, 255));
        return layout;
    }

    uint32_t DamageValue() {
        const uint32_t choices[] = {0, 0xFF, 0x0E, 0x0F, 0x10, 0x100};
        return Pick(0, 1) ? choices[Pick(0, 5)] : static_cast<uint32_t>(Pick(0, 255));
    }

private:
    std::set<int> Keys(int count, int low, int high) {
        std::set<int> keys;
        while (static_cast<int>(keys.size()) < count) {
            keys.insert(Pick(low, high));
        }
        return keys;
    }
    void Values(int count, std::vector<uint32_t>& out) {
        for (int i = 0; i < count; ++i) {
            out.push_back(static_cast<uint32_t>(Pick(0, 254)));
        }
    }
    std::mt19937 rng_;
};

int CurveSlot(size_t curve) {
    return PositionRpmCurveSlot + 2 * static_cast<int>(curve);
}

TEST(InsertProperty, SoundImagesGainExactlyTheCopiedPoint) {
    Generator gen(20240611);
    int inserted = 0, full = 0;
    for (int run = 0; run < 3000; ++run) {
        ImageLayout layout = gen.Layout();
        int end = 0;
        if (layout.Build(&end) && gen.Pick(0, 3) == 0) {  // leave 0..3 free bytes at the end
            layout.region17.resize(
                layout.region17.size() +
                static_cast<size_t>(std::max(ImageSize - end - gen.Pick(0, 3), 0)));
        }
        const auto built = layout.Build();
        if (!built) {
            continue;
        }
        const size_t curve = static_cast<size_t>(gen.Pick(0, 4));
        const int size = test::CurvePointSizes[curve];
        const int points = static_cast<int>(layout.curves[curve].size()) / size;
        const int point = gen.Pick(0, points - 1);
        const int selected = PointerTarget(*built, CurveSlot(curve)) + point * size;

        ImageLayout expected = layout;
        auto& bytes = expected.curves[curve];
        const auto at = bytes.begin() + (point + 1) * size;
        std::vector<uint32_t> copy(at - size, at);
        copy[0] += 1;
        bytes.insert(at, copy.begin(), copy.end());
        expected.lastLinkLow = (layout.lastLinkLow + static_cast<uint32_t>(size)) & 0xFF;
        const auto want = expected.Build();

        CalibrationImage image = *built;
        const InsertResult result =
            InsertCurvePoint(image, CurveSlot(curve), size, selected, SparkTableSlot);
        if (copy[0] == 0x100) {  // behind an x of 0xFF nothing is inserted
            EXPECT_EQ(result, InsertResult::NotApplicable);
            EXPECT_EQ(image.values, built->values);
        } else if (!want) {
            EXPECT_EQ(result, InsertResult::TableFull);
            EXPECT_EQ(image.values, built->values);
            ++full;
        } else {
            ASSERT_EQ(result, InsertResult::Inserted) << run;
            ASSERT_EQ(image.values, want->values) << run;
            ++inserted;
        }
    }
    EXPECT_GT(inserted, 1000);  // the generator must exercise both outcomes
    EXPECT_GT(full, 10);
}

// Every index a walk of entry or point size `size` returns lies inside the image.
void ExpectWalksInside(const CalibrationImage& image, int size) {
    for (int slot = 0; slot < 24; ++slot) {
        const RowListWalk rows = WalkRowList(image, slot, size);
        ASSERT_LE(rows.rows.size(), static_cast<size_t>(MaxTableRows));
        for (const TableRow& row : rows.rows) {
            ASSERT_TRUE(CalibrationImage::InRange(row.start + 2));
            for (int entry : row.entries) {
                ASSERT_TRUE(CalibrationImage::InRange(entry + size - 1));
            }
        }
        for (int point : WalkCurve(image, slot, size).points) {
            ASSERT_TRUE(CalibrationImage::InRange(point + size - 1));
        }
    }
}

TEST(InsertProperty, DamagedImagesAreNeverHarmed) {
    Generator gen(77);
    int inserted = 0;
    for (int run = 0; run < 3000; ++run) {
        CalibrationImage image = gen.Layout().Build().value_or(CalibrationImage{});
        for (int d = gen.Pick(1, 3); d > 0; --d) {
            const int index = gen.Pick(0, 2) == 0 ? gen.Pick(3, 22) : gen.Pick(0, 511);
            image[index] = gen.DamageValue();
        }
        ASSERT_NO_FATAL_FAILURE(ExpectWalksInside(image, gen.Pick(1, 3)));

        const int slot =
            gen.Pick(0, 3) ? CurveSlot(static_cast<size_t>(gen.Pick(0, 4))) : gen.Pick(0, 30);
        const int size = gen.Pick(0, 4);
        const CurveWalk walk = WalkCurve(image, slot, std::max(size, 1));
        const int selected =
            gen.Pick(0, 3) && !walk.points.empty()
                ? walk.points[static_cast<size_t>(gen.Pick(0, 100)) % walk.points.size()]
                : gen.Pick(-5, 520);
        const int links = std::array{0, SparkTableSlot, SparkTableSlot,
                                     SecondRowListSlot}[static_cast<size_t>(gen.Pick(0, 3))];

        const CalibrationImage before = image;
        if (InsertCurvePoint(image, slot, size, selected, links) != InsertResult::Inserted) {
            ASSERT_EQ(image.values, before.values) << run;
            continue;
        }
        ++inserted;
        std::set<int> pointerBytes;  // the only bytes in front of the point that may change
        for (int k = slot + 2; k < ImageSize && before[k] != 0; k += 2) {
            pointerBytes.insert({k, k + 1});
        }
        for (int i = 0; i < selected + size; ++i) {
            ASSERT_TRUE(image[i] == before[i] || pointerBytes.count(i)) << run << " at " << i;
        }
        ASSERT_EQ(image[selected + size], before[selected] + 1);
        for (int i = 1; i < size; ++i) {
            ASSERT_EQ(image[selected + size + i], before[selected + i]);
        }
    }
    EXPECT_GT(inserted, 300);
}

}  // namespace
}  // namespace korvel
