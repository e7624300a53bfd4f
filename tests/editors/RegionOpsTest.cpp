#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "editors/RegionOps.h"

namespace korvel {
namespace {

constexpr int _ = -1;  // a blank cell
using Rows = std::vector<std::vector<int>>;

// A grid written as it looks: rows from the top line down, values in raw
// bytes, blanks as _. Each present cell gets an image index of its own.
struct Fixture {
    CalibrationImage image{};
    ShapeGrid grid;

    Fixture(const Rows& top, std::vector<double> columnKeys, std::vector<double> lineKeys,
            UnitScale scale) {
        grid.columns = static_cast<int>(columnKeys.size());
        grid.lines = static_cast<int>(lineKeys.size());
        grid.columnKeys = std::move(columnKeys);
        grid.lineKeys = std::move(lineKeys);
        grid.scale = scale;
        grid.indices.assign(static_cast<size_t>(grid.columns * grid.lines), -1);
        int next = 100;
        for (int l = 0; l < grid.lines; ++l) {
            const std::vector<int>& row = top[static_cast<size_t>(grid.lines - 1 - l)];
            for (int c = 0; c < grid.columns; ++c) {
                if (row[static_cast<size_t>(c)] != _) {
                    image[next] = static_cast<uint32_t>(row[static_cast<size_t>(c)]);
                    grid.indices[static_cast<size_t>(c * grid.lines + l)] = next++;
                }
            }
        }
    }

    // The grid after the changes, written as the constructor takes it.
    Rows After(const CellChanges& changes) const {
        CalibrationImage changed = image;
        ApplyChanges(changed, changes);
        Rows rows;
        for (int l = grid.lines - 1; l >= 0; --l) {
            std::vector<int>& row = rows.emplace_back();
            for (int c = 0; c < grid.columns; ++c) {
                const int index = grid.At(c, l);
                row.push_back(index < 0 ? _ : static_cast<int>(changed[index]));
            }
        }
        return rows;
    }
};

using Op = RegionOperation;
constexpr CellRect Whole{0, 3, 0, 2};

// A sparse table: engine speed keys 10, 20, 30, 50 across, MAP keys 0, 10,
// 30 up; raw values are the units (ByteScale). The bottom-left corner is
// blank, so interpolation along the bottom line starts at its first present
// cell, and the left two columns' bottom line has only one.
TEST(RegionOps, ShapeASparseTable) {
    const Rows table{{40, _, 70, 80},  //
                     {20, 25, _, 10},
                     {_, 5, 10, 30}};
    const Fixture f(table, {10, 20, 30, 50}, {0, 10, 30}, ByteScale);
    const std::tuple<Op, double, CellRect, Rows> cases[] = {
        {Op::Set, 7, Whole, {{7, _, 7, 7}, {7, 7, _, 7}, {_, 7, 7, 7}}},
        {Op::Set, 300, {3, 3, 0, 0}, {{40, _, 70, 80}, {20, 25, _, 10}, {_, 5, 10, 255}}},
        {Op::Add, 5, {0, 1, 1, 2}, {{45, _, 70, 80}, {25, 30, _, 10}, {_, 5, 10, 30}}},
        {Op::Add, -50, {2, 3, 0, 0}, {{40, _, 70, 80}, {20, 25, _, 10}, {_, 5, 0, 0}}},
        // 10.5 rounds up to 11, 31.5 to 32, 5.25 down to 5; 400 % clamps at 255.
        {Op::Scale, 105, {1, 3, 0, 0}, {{40, _, 70, 80}, {20, 25, _, 10}, {_, 5, 11, 32}}},
        {Op::Scale, 400, {2, 3, 2, 2}, {{40, _, 255, 255}, {20, 25, _, 10}, {_, 5, 10, 30}}},
        // By the keys: 20 + (10 - 20) * 10/40 = 17.5 -> 18; 5 + 25 * 10/30 -> 13.
        {Op::InterpolateHorizontally, 0, Whole, {{40, _, 60, 80}, {20, 18, _, 10}, {_, 5, 13, 30}}},
        {Op::InterpolateHorizontally, 0, {0, 1, 0, 2}, table},  // no line with an interior cell
        {Op::InterpolateVertically, 0, Whole, {{40, _, 70, 80}, {20, 25, _, 47}, {_, 5, 10, 30}}},
        // Bottom line 5 + 25 (k - 20)/30, top line k + 30, blended by MAP key.
        {Op::Interpolate, 0, Whole, {{40, _, 60, 80}, {11, 20, _, 47}, {_, 5, 13, 30}}},
        {Op::Interpolate, 0, {0, 1, 0, 2}, table},  // one present cell on the bottom line
        {Op::Interpolate, 0, {3, 3, 0, 2}, {{40, _, 70, 80}, {20, 25, _, 47}, {_, 5, 10, 30}}},
        // Means of the present cells of each 3 x 3 block: 90/4 = 22.5 -> 23.
        {Op::Smooth, 0, Whole, {{28, _, 46, 53}, {23, 28, _, 40}, {_, 15, 16, 17}}},
        {Op::Smooth, 0, {0, 0, 2, 2}, {{28, _, 70, 80}, {20, 25, _, 10}, {_, 5, 10, 30}}},
    };
    for (const auto& [op, operand, rect, expected] : cases) {
        EXPECT_EQ(f.After(ShapeRegion(f.image, f.grid, rect, op, operand)), expected)
            << OperationName(op, operand) << " " << rect.left << ".." << rect.right;
    }
    EXPECT_EQ(f.After(StepRegion(f.image, f.grid, {0, 1, 0, 1}, 250)),
              (Rows{{40, _, 70, 80}, {255, 255, _, 10}, {_, 255, 10, 30}}));
    EXPECT_EQ(f.After(StepRegion(f.image, f.grid, Whole, -15)),
              (Rows{{25, _, 55, 65}, {5, 10, _, 0}, {_, 0, 0, 15}}));
    // Only bytes that change are listed.
    EXPECT_TRUE(ShapeRegion(f.image, f.grid, Whole, Op::Add, 0.2).empty());
}

// A curve of four points with x keys 0, 10, 40, 50 and y on the RPM scale
// (20 rpm per count): every operation works in rpm.
TEST(RegionOps, ShapeACurveInItsUnits) {
    const Fixture f({{70}, {60}, {50}, {40}}, {0}, {0, 10, 40, 50}, RpmScale);
    const CellRect all{0, 0, 0, 3};
    const std::tuple<Op, double, CellRect, Rows> cases[] = {
        {Op::Set, 1210, {0, 0, 1, 2}, {{70}, {61}, {61}, {40}}},  // 60.5 rounds up
        {Op::Set, 5200, all, {{255}, {255}, {255}, {255}}},
        {Op::Add, 100, all, {{75}, {65}, {55}, {45}}},
        {Op::Scale, 105, {0, 0, 3, 3}, {{74}, {60}, {50}, {40}}},  // 1470 rpm: 73.5 -> 74
        // 800 + 600 * 10/50 = 920 rpm, 800 + 600 * 40/50 = 1280 rpm.
        {Op::InterpolateVertically, 0, all, {{70}, {64}, {46}, {40}}},
        {Op::Interpolate, 0, all, {{70}, {64}, {46}, {40}}},
        {Op::InterpolateHorizontally, 0, all, {{70}, {60}, {50}, {40}}},
        // The point before and after: (800 + 1000) / 2, (800 + 1000 + 1200) / 3, ...
        {Op::Smooth, 0, all, {{65}, {60}, {50}, {45}}},
    };
    for (const auto& [op, operand, rect, expected] : cases) {
        EXPECT_EQ(f.After(ShapeRegion(f.image, f.grid, rect, op, operand)), expected)
            << OperationName(op, operand);
    }
}

TEST(RegionOps, NamesForTheUndoStep) {
    EXPECT_EQ(OperationName(Op::Add, 5), "Add 5");
    EXPECT_EQ(OperationName(Op::Add, -2.5), "Add -2.5");
    EXPECT_EQ(OperationName(Op::Scale, 105), "Scale 105%");
    EXPECT_EQ(OperationName(Op::Interpolate, 0), "Interpolate");
    EXPECT_EQ(OperationName(Op::Smooth, 0), "Smooth");
}

}  // namespace
}  // namespace korvel
