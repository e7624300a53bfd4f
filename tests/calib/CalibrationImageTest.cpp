#include "calib/CalibrationImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

namespace korvel {
namespace {

using enum InsertResult;

// Entry or point size of the regions at pointer slots 3, 5, .., 19.
constexpr int Sizes[] = {3, 2, 2, 2, 3, 2, 2, 1, 2};
constexpr bool IsTable(size_t region) {
    return region == 0 || region == 6 || region == 8;
}

// An image described by its regions, so that a test states the image expected
// after an insertion as a second layout. Each region at slot 3 + 2 * r is a
// list of rows (key and entry bytes, the 0xFF entry included) for a table, or
// one list of bytes (a curve's points without its end byte, or slot 17's data).
struct Layout {
    int start = 104;
    std::array<std::vector<std::vector<uint32_t>>, 9> regions{};
    uint32_t lastLinkLow = 0;  // of the last row of the tables at slots 15 and 19

    // Nothing when the regions do not fit; `end` receives the index behind them.
    std::optional<CalibrationImage> Build(int* end = nullptr) const {
        CalibrationImage image;
        for (int i = 0; i < ImageSize; ++i) {
            image[i] = static_cast<uint32_t>(i * 37 + 11) & 0x7F;  // never 0xFF
        }
        image[21] = 0;  // the pointer table ends at slot 21
        int pos = start;
        auto put = [&](std::vector<uint32_t> bytes) {
            for (uint32_t b : bytes) {
                image[std::min(pos++, ImageSize - 1)] = b;  // an image that overflows is dropped
            }
        };
        for (size_t r = 0; r < regions.size(); ++r) {
            Write16(image, VeTableSlot + 2 * static_cast<int>(r), ImageBaseAddress + pos);
            for (const std::vector<uint32_t>& row : regions[r]) {
                if (IsTable(r)) {  // the key, the nextRow link (the VE table's never moves)
                    const auto next =
                        static_cast<uint32_t>(ImageBaseAddress + pos + 2 + row.size());
                    const bool last = &row == &regions[r].back();
                    put({row[0], last ? 0 : next >> 8, last ? (r ? lastLinkLow : 0) : next & 0xFF});
                }
                put({row.begin() + IsTable(r), row.end()});
            }
            if (r >= 1 && r <= 5) {
                put({0});  // a curve's end byte
            }
        }
        if (end != nullptr) {
            *end = pos;
        }
        put(std::vector<uint32_t>(static_cast<size_t>(std::max(ImageSize - pos, 0)), FreeByte));
        return pos > ImageSize ? std::nullopt : std::optional(image);
    }
};

const Layout Worked{104,
                    {{{{40, 100, 80, 70, 0xFF, 90, 80}},
                      {{0, 40, 255, 150}},
                      {{0, 45}},
                      {{0, 100}},
                      {{0, 60, 55}},
                      {{0, 10, 50, 20, 255, 30}},
                      {{40, 30, 10, 0xFF, 12}, {80, 30, 14, 60, 16, 0xFF, 18}},
                      {{1, 2, 3, 4}},
                      {{50, 0xFF, 7}, {90, 0xFF, 9}}}}};

// The first index at which the images differ, ImageSize when none does.
long FirstDifference(const CalibrationImage& a, const CalibrationImage& b) {
    return std::mismatch(a.values.begin(), a.values.end(), b.values.begin()).first -
           a.values.begin();
}

TEST(CalibrationImage, FullOrInapplicableInsertionChangesNothing) {
    struct Case {
        const char* name;
        void (*damage)(CalibrationImage&) = nullptr;
        int selected = 130, pointSize = 2;
        InsertResult expected = NotApplicable;
    };
    const Case cases[] = {
        {"last byte not free", [](auto& i) { i[511] = 0; }, 130, 2, TableFull},
        {"index 0", nullptr, 0},
        {"point size 0", nullptr, 131, 0},
        {"y byte", nullptr, 131},
        {"x of 0xFF", nullptr, 132},
        {"the end byte", nullptr, 134},
        {"outside the image", nullptr, 600},
        {"curve not loaded", [](auto& i) { Write16(i, 13, 0); }},
        {"curve without end byte",
         [](auto& i) { std::fill(&i[505], &i[511] + 1, 1), Write16(i, 13, 0x0FF9); }, 505},
        {"pointer table without end", [](auto& i) { std::fill(&i[21], &i[104], 1); }},
        {"pointer outside the image", [](auto& i) { Write16(i, 17, 0x2000); }},
        {"pointer in front of the curve", [](auto& i) { Write16(i, 17, 0x0E70); }},
        {"row link outside the image", [](auto& i) { Write16(i, 136, 0x1400); }},
        {"row links in a cycle", [](auto& i) { Write16(i, 143, 0x0E87); }},
        {"row link pushed out of the image",
         [](auto& i) { Write16(i, 156, ImageBaseAddress + 508), i[509] = 0; }},
        {"rows in front of the curve", [](auto& i) { Write16(i, 19, 0x0E68); }},
        {"more than 99 linked rows", [](auto& i) {
             for (int row = 135; row < 432; row += 3) {
                 Write16(i, row + 1, ImageBaseAddress + row + 3);
             }
             Write16(i, 433, 0);
             Write16(i, 19, ImageBaseAddress + 440);
             i[441] = 0;
         }}};
    for (const Case& c : cases) {
        CalibrationImage image = Worked.Build().value();
        if (c.damage) {
            c.damage(image);
        }
        const CalibrationImage before = image;
        EXPECT_EQ(InsertCurvePoint(image, ACurveSlot, c.pointSize, c.selected, SparkTableSlot),
                  c.expected)
            << c.name;
        EXPECT_EQ(FirstDifference(image, before), ImageSize) << c.name;
    }
}

struct Random {
    std::mt19937 rng;

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    // Data bytes stay below 0xFF, so that data never passes for free space.
    void Append(int count, std::vector<uint32_t>& out) {
        while (count-- > 0) {
            out.push_back(static_cast<uint32_t>(Pick(0, 254)));
        }
    }
    Layout Image() {
        Layout layout{Pick(104, 112)};
        for (size_t r = 0; r < layout.regions.size(); ++r) {
            auto& region = layout.regions[r];
            region.resize(IsTable(r) ? static_cast<size_t>(Pick(1, 5)) : 1);
            for (std::vector<uint32_t>& row : region) {
                if (IsTable(r)) {
                    Append(1 + Pick(0, 4) * Sizes[r], row);  // the key, entries
                    row.push_back(0xFF);
                    Append(Sizes[r] - 1, row);
                } else if (r == 7) {
                    Append(Pick(0, 40), row);
                } else {  // x ascending from 0 to 255; a single point has x 0
                    for (int x = 0, n = Pick(1, 6); n-- > 0; x = n == 1 ? 255 : x + Pick(1, 50)) {
                        row.push_back(static_cast<uint32_t>(x));
                        Append(Sizes[r] - 1, row);
                    }
                }
            }
        }
        layout.lastLinkLow = static_cast<uint32_t>(Pick(0, 255));
        int end = 0;
        if (layout.Build(&end) && Pick(0, 3) == 0) {  // leave 0..3 free bytes
            Append(ImageSize - end - Pick(0, 3), layout.regions[7][0]);
        }
        return layout;
    }
};

// Half the images are damaged in a few bytes, and the insertion's arguments
// are then often wrong too. Walks stay inside the image; an insertion changes
// nothing or nothing in front of the selected point but the pointers behind
// the curve's own; a sound image gains exactly the copied point (x + 1), and
// everything behind it, pointers and row links included, moves by its size.
TEST(CalibrationImage, InsertionIntoRandomSoundAndDamagedImages) {
    Random gen{std::mt19937(20240611)};
    int inserted = 0, full = 0, damagedInserted = 0, carried = 0;
    for (int run = 0; run < 6000; ++run) {
        const Layout layout = gen.Image();
        const auto built = layout.Build();
        if (!built) {
            continue;
        }
        const bool sound = run % 2 == 0;
        CalibrationImage image = *built;
        for (int d = sound ? 0 : gen.Pick(1, 3); d > 0; --d) {
            const uint32_t likely[] = {0, 0xFF, 0x0E, 0x0F, 0x10, 0x100};
            image[gen.Pick(0, 2) ? gen.Pick(0, 511) : gen.Pick(3, 22)] =
                gen.Pick(0, 1) ? likely[gen.Pick(0, 5)] : static_cast<uint32_t>(gen.Pick(0, 255));
        }
        const int walkSize = gen.Pick(1, 3);
        for (int s = 0; s < 24; ++s) {  // every index a walk returns lies inside the image
            const std::vector<TableRow> rows = WalkRowList(image, s, walkSize).rows;
            ASSERT_LE(rows.size(), static_cast<size_t>(MaxTableRows));
            std::vector<int> firsts = WalkCurve(image, s, walkSize).points;
            for (const TableRow& row : rows) {
                ASSERT_TRUE(CalibrationImage::InRange(row.start + 2)) << run;
                firsts.insert(firsts.end(), row.entries.begin(), row.entries.end());
            }
            for (int first : firsts) {
                ASSERT_TRUE(CalibrationImage::InRange(first + walkSize - 1)) << run;
            }
        }
        const auto curve = static_cast<size_t>(gen.Pick(1, 5));
        int slot = VeTableSlot + 2 * static_cast<int>(curve), size = Sizes[curve];
        int links = SparkTableSlot;
        if (!sound) {
            slot = gen.Pick(0, 3) ? slot : gen.Pick(0, 30);
            size = gen.Pick(0, 3) ? size : gen.Pick(0, 4);
            links = std::array{0, 15, 15, 19}[static_cast<size_t>(gen.Pick(0, 3))];
        }
        const std::vector<int> walked = WalkCurve(image, slot, std::max(size, 1)).points;
        const size_t point =
            static_cast<size_t>(gen.Pick(0, 100)) % std::max<size_t>(walked.size(), 1);
        const int selected =
            walked.empty() || (!sound && gen.Pick(0, 3) == 0) ? gen.Pick(-5, 520) : walked[point];
        const CalibrationImage before = image;
        const InsertResult result = InsertCurvePoint(image, slot, size, selected, links);
        if (result != Inserted) {
            ASSERT_EQ(FirstDifference(image, before), ImageSize) << run;
        } else {
            int pointersEnd = slot + 2;
            while (pointersEnd < ImageSize && before[pointersEnd] != 0) {
                pointersEnd += 2;
            }
            for (int i = 0; i < selected + size; ++i) {
                ASSERT_TRUE(image[i] == before[i] || (i >= slot + 2 && i < pointersEnd)) << run;
            }
            for (int i = 0; i < size; ++i) {
                ASSERT_EQ(image[selected + size + i], before[selected + i] + (i == 0)) << run;
            }
        }
        if (sound) {  // the layout with the copy, x + 1, behind the selected point
            Layout expected = layout;
            const std::vector<uint32_t>& points = layout.regions[curve][0];
            std::vector<uint32_t>& bytes = expected.regions[curve][0];
            const auto at = static_cast<long>(point + 1) * size;
            bytes.insert(bytes.begin() + at, points.begin() + at - size, points.begin() + at);
            bytes[static_cast<size_t>(at)] += 1;
            expected.lastLinkLow = (layout.lastLinkLow + static_cast<uint32_t>(size)) & 0xFF;
            const auto want = expected.Build();
            const InsertResult outcome = bytes[static_cast<size_t>(at)] == 0x100 ? NotApplicable
                                         : want                                  ? Inserted
                                                                                 : TableFull;
            ASSERT_EQ(result, outcome) << run;
            ASSERT_EQ(FirstDifference(image, want && outcome == Inserted ? *want : before),
                      ImageSize);
        }
        inserted += sound && result == Inserted;
        for (int s = slot + 2; sound && result == Inserted && s <= SecondRowListSlot; s += 2) {
            carried += image[s] != before[s];  // a pointer's low byte carried into its high one
        }
        full += sound && result == TableFull;
        damagedInserted += !sound && result == Inserted;
    }
    EXPECT_GT(inserted, 1000);  // the generator must exercise every outcome
    EXPECT_GT(full, 10);
    EXPECT_GT(damagedInserted, 300);
    EXPECT_GT(carried, 10);
}

}  // namespace
}  // namespace korvel
