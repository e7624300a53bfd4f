#include <gtest/gtest.h>

#include <clocale>
#include <sstream>

#include "editors/CurveModel.h"
#include "editors/EditorGrid.h"
#include "editors/TableModel.h"
#include "tests/editors/SampleImage.h"

namespace korvel {
namespace {

using test::Bytes;
using Texts = std::vector<std::string>;

constexpr int Bottom = 20;  // the text line of a curve's first point, a table's MAP key 0

// Texts of one role on one line, left to right, prefixed by their column.
Texts On(const std::vector<GridCell>& cells, int line, CellRole role) {
    Texts found;
    for (const GridCell& c : cells) {
        if (c.line == line && c.role == role) {
            found.push_back(std::to_string(c.column) + ":" + c.text);
        }
    }
    return found;
}

// Clicks a text position with a table's MAP key 0 or a curve's first point on line Bottom.
void Select(GridModel& model, int column, int line) {
    model.ClickAt(column, line, Bottom);
}

// Under a German desktop the C library reads and writes "12,5": entries,
// and grid labels keep the decimal point all the same.
TEST(Numbers, KeepTheDecimalPointUnderACommaLocale) {
    struct Restore {
        ~Restore() { std::setlocale(LC_ALL, "C"); }
    } restore;
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    }
    EXPECT_EQ(ParseEntry("12.5"), 12.5f);
    EXPECT_EQ(FormatUnits("%4.1f", 255, MapScale), "30.8");
}

// x 0 (the bottom point) and x 255 (the top point) are end values: shown in
// the grid, "XXXX" in the edit box, never changed. A point may follow x 0
// but not x 255, and is added with an x selected, never a y.
TEST(CurveModel, AddRowAndEndValues) {
    CalibrationImage image = test::SampleImage();
    const int rpm = PointerTarget(image, PositionRpmCurveSlot);
    const CalibrationImage before = image;
    CurveModel model(image, RpmCurveSpecs());
    for (const auto& [line, shown] : {std::pair{Bottom - 2, "5: 255 "}, {Bottom, "5:   0 "}}) {
        Select(model, 5, line);
        EXPECT_EQ(model.FillEditBox()->text, "XXXX");
        EXPECT_FALSE(model.FillEditBox()->armed);
        EXPECT_EQ(On(model.Cells(Bottom), line, CellRole::Selected), Texts{shown});
        EXPECT_FALSE(model.ApplyChange("100"));
    }
    for (const auto& [column, line] : {std::pair{5, Bottom - 2}, {10, Bottom}}) {
        Select(model, column, line);
        EXPECT_EQ(model.AddRow(), InsertResult::NotApplicable) << column;
    }
    EXPECT_EQ(image.values, before.values);
    Select(model, 5, Bottom);
    ASSERT_EQ(model.AddRow(), InsertResult::Inserted);
    EXPECT_EQ((Bytes{image[rpm + 2], image[rpm + 3]}), (Bytes{1, 40}));
}

// An entry is stored rounded half up and clamped: an x strictly between its
// neighbours or within the byte range at a curve's open ends, a curve's y
// through the RPM scale, anything else within 0..255. A text without a number
// stores nothing; either way the selection stays.
TEST(GridModels, EntriesAreRoundedAndClamped) {
    const Bytes sample{0, 1, 40, 1, 50, 1, 60, 1, 255, 1, 0};
    const Bytes narrow{0, 1, 40, 1, 40, 1, 41, 1, 255, 1, 0};
    const Bytes open{10, 1, 50, 1, 200, 1, 0};  // ends that are not 0 / 255
    const auto check = [](const Bytes* curve, int point, int column, const char* typed,
                          uint32_t stored) {
        CalibrationImage image = test::SampleImage();
        int index = PointerTarget(image, SparkTableSlot) + 6;
        if (curve != nullptr) {
            test::ImageBuilder b;
            index = b.Region(PositionRpmCurveSlot, *curve) + 2 * point + column / 10;
            image = b.image;
        }
        const bool parses = ParseEntry(typed).has_value();
        const auto enter = [&](auto&& model) {
            Select(model, column, Bottom - point);
            EXPECT_EQ(model.ApplyChange(typed), parses) << typed;
            EXPECT_TRUE(model.HasSelection()) << typed;  // the arrows move on from it
        };
        curve ? enter(CurveModel(image, RpmCurveSpecs()))
              : enter(TableModel(image, SparkTableLayout()));
        EXPECT_EQ(image[index], stored) << typed;
    };
    // Curve, point, column (5: x, 10: y), typed text, stored byte.
    const std::tuple<const Bytes*, int, int, const char*, uint32_t> curveCases[] = {
        {&sample, 2, 5, "60", 59}, {&sample, 2, 5, "40", 41},    {&narrow, 2, 5, "0", 41},
        {&open, 0, 5, "0", 0},     {&open, 0, 5, "90", 49},      {&open, 2, 5, "300", 255},
        {&open, 2, 5, "0", 51},    {&sample, 1, 10, "1510", 76}, {&sample, 1, 10, "5200", 255},
        {&sample, 1, 10, "x", 1}};
    for (const auto& [curve, point, column, typed, stored] : curveCases) {
        check(curve, point, column, typed, stored);
    }
    // Typed into the spark table's value 20 at column 17, line 1 (9 characters are read).
    const std::pair<const char*, uint32_t> tableCases[] = {
        {"12.5", 13},     {"12.4", 12},       {"300", 255},  {"-5", 0},   {"", 20},
        {" 7kg", 7},      {"nan", 20},        {"1e99", 255}, {"-inf", 0}, {"0000000015", 1},
        {"        9", 9}, {"         9", 20}, {"kg", 20},    {"-", 20}};
    for (const auto& [typed, stored] : tableCases) {
        check(nullptr, 1, 17, typed, stored);
    }
}

TEST(CurveModel, FuelWindowSharesTheBCurveXBytes) {
    CalibrationImage image = test::SampleImage();
    const int b = PointerTarget(image, BCurveSlot);
    CurveModel model(image, FuelCurveSpecs());
    Select(model, 50, Bottom - 1);  // x of "B Curve (LP)"
    EXPECT_EQ(model.SelectedIndex(), b + 3);
    ASSERT_TRUE(model.ApplyChange("140"));  // 140 F is raw 66 on the coolant scale
    EXPECT_EQ(image[b + 3], 66u);
    model.DropSelection();
    const Texts xs = On(model.Cells(Bottom), Bottom - 1, CellRole::X);
    EXPECT_EQ(xs.front() + xs.back(), "5:  140 50:  140 ");
    Select(model, 5, Bottom - 1);
    ASSERT_EQ(model.AddRow(), InsertResult::Inserted);
    EXPECT_EQ((Bytes{image[b + 6], image[b + 7], image[b + 8]}), (Bytes{67, 30, 40}));
}

// VeTable rows keyed 20, 40, 60 with MAP keys {0, 40, 255}, {0, 100, 255},
// {0, 40, 255}; a spark table keyed 20, 0, 40 has no row with MAP key 0 or
// 255, yet both lines exist, and its header stops at the row keyed 0.
TEST(TableModel, SparseMapKeysGetOneLineEach) {
    CalibrationImage image = test::SampleImage();
    const auto cells = TableModel(image, VeTableLayout()).Cells(Bottom);
    EXPECT_EQ(On(cells, Bottom, CellRole::Label), Texts{"6: 3.1"});
    EXPECT_EQ(On(cells, Bottom, CellRole::Y), (Texts{"12:  50", "18:  51", "24:  52"}));
    EXPECT_EQ(On(cells, Bottom - 1, CellRole::Y), (Texts{"12:  55", "24:  58"}));  // MAP key 40
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Label), Texts{"6:14.0"});            // MAP key 100
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Y), Texts{"18:  57"});
    EXPECT_EQ(On(cells, Bottom - 3, CellRole::Label), Texts{"6:30.8"});
    EXPECT_TRUE(On(cells, Bottom - 4, CellRole::Label).empty());
    EXPECT_EQ(On(cells, Bottom + 1, CellRole::Header), (Texts{"12:  20", "18:  40", "24:  60"}));
    EXPECT_EQ(On(TableModel(image, VeLpTableLayout()).Cells(Bottom), Bottom, CellRole::Y),
              (Texts{"12:  60", "18:  61", "24:  62"}));  // the LP bytes of the same entries

    test::ImageBuilder b;
    b.RowList(SparkTableSlot, {{20, 50, 1, 0xFF, 2}, {0, 0xFF, 3}, {40, 0xFF, 4}});
    const auto spark = TableModel(b.image, SparkTableLayout()).Cells(Bottom);
    EXPECT_EQ(On(spark, Bottom, CellRole::Label).size() + On(spark, Bottom, CellRole::Y).size(),
              1u);
    EXPECT_EQ(On(spark, Bottom - 2, CellRole::Label), Texts{"6:30.8"});
    EXPECT_EQ(On(spark, Bottom - 2, CellRole::Y).size(), 3u);
    EXPECT_EQ(On(spark, Bottom + 1, CellRole::Header).size(), 1u);
}

// Where the selected cell is drawn ("column,line"), or "" when nothing is selected.
template <typename Model>
std::string SelectedAt(Model& model) {
    for (const GridCell& c : model.Cells(Bottom)) {
        if (c.role == CellRole::Selected) {
            return std::to_string(c.column) + "," + std::to_string(Bottom - c.line);
        }
    }
    return "";
}

// Plays arrow keys written as a direction letter and where the selection is
// afterwards ("U10,1": column 10, one line above the bottom; "U": it stays put).
template <typename Model>
void ExpectMoves(Model& model, const std::string& moves) {
    std::istringstream in(moves);
    std::string at = SelectedAt(model), move;
    while (in >> move) {
        const Direction direction = move[0] == 'U'   ? Direction::Up
                                    : move[0] == 'D' ? Direction::Down
                                    : move[0] == 'L' ? Direction::Left
                                                     : Direction::Right;
        EXPECT_EQ(model.Move(direction), move.size() > 1) << at << " " << move;
        at = move.size() > 1 ? move.substr(1) : at;
        EXPECT_EQ(SelectedAt(model), at);
    }
}

// Arrows skip the cells that cannot be changed (end x values, blank table
// cells) and stop at the grid's edge; with nothing selected they select the
// bottom line's first editable cell.
TEST(GridModels, ArrowsMoveOverTheEditableCells) {
    CalibrationImage image = test::SampleImage();
    // RPM curves: x columns 5 and 20, y columns 10 and 25; three and five points.
    CurveModel curves(image, RpmCurveSpecs());
    curves.Cells(Bottom);
    ExpectMoves(curves,
                "U10,0 L D U10,1 L5,1 U R10,1 R20,1 R25,1 R U25,2 U25,3 U25,4 U L D25,3 "
                "L20,3 D20,2 D20,1 D");
    // VE: rows in columns 12, 18, 24; MAP lines 0, 40, 100, 255; the middle row has no 40.
    TableModel table(image, VeTableLayout());
    table.Cells(Bottom);
    ExpectMoves(table, "R12,0 U12,1 R24,1 R U24,3 U L18,3 D18,2 D18,0 D L12,0 L");
}

// A step changes the raw byte and keeps the selection; it is clamped as an
// entry is: an x between its neighbours, anything else within 0..255. A click
// selects the value whose six text columns it hits; VE and VE LP select
// different bytes of the same entry.
TEST(GridModels, StepsStopAtTheClampLimits) {
    CalibrationImage image = test::SampleImage();
    const int temp = PointerTarget(image, TempRpmCurveSlot);
    const int ve = PointerTarget(image, VeTableSlot);
    CurveModel curves(image, RpmCurveSpecs());
    TableModel table(image, VeTableLayout()), lp(image, VeLpTableLayout());
    // Model (0: curves, 1: VE, 2: VE LP), column, line, step, stored byte
    // (-1: nothing changed), its index; the steps go on from one case to the next.
    const std::tuple<int, int, int, int, int, int> cases[] = {
        {0, 20, 1, 10, 49, temp + 2},  // x 40 between 0 and 50
        {0, 20, 1, 1, -1, temp + 2},   {0, 20, 1, -100, 1, temp + 2},
        {0, 20, 1, -1, -1, temp + 2},  {0, 25, 0, 200, 255, temp + 1},
        {0, 25, 0, -300, 0, temp + 1}, {0, 5, 0, 1, -1, -1},  // an end x
        {1, 12, 0, 300, 255, ve + 4},  {1, 12, 0, 1, -1, ve + 4},
        {1, 17, 0, -1000, 0, ve + 4},  {1, 6, 0, 1, -1, -1},  // a label
        {1, 29, 1, 1, 59, ve + 31},    {2, 24, 1, 1, 69, ve + 32},
        {2, 18, 1, 1, -1, -1},  // no entry with MAP key 40 in the middle row
        {2, 30, 1, 1, -1, -1}};
    for (const auto& [model, column, line, counts, stored, index] : cases) {
        CalibrationImage expected = image;
        const auto step = [&](auto& m) {
            Select(m, column, Bottom - line);
            EXPECT_EQ(m.Step(counts), stored >= 0) << column << " " << counts;
            EXPECT_TRUE(stored < 0 || m.HasSelection());
        };
        model == 0 ? step(curves) : step(model == 1 ? table : lp);
        if (stored >= 0) {
            expected[index] = static_cast<uint32_t>(stored);
        }
        EXPECT_EQ(image.values, expected.values) << column << " " << counts;
    }
}

// Every cell of a broken image names a byte inside it, and a change stays inside.
TEST(GridModels, BrokenImagesStayInside) {
    test::ImageBuilder b;
    const int ve = b.RowList(VeTableSlot, {{20, 0, 1, 2, 0xFF, 3, 4}});
    CalibrationImage loop = b.image;
    Write16(loop, ve + 1, ImageBaseAddress + ve);  // the row links to itself
    CalibrationImage noEnd = loop;                 // no end entry, no end point
    std::fill(noEnd.values.begin() + ve + 3, noEnd.values.end(), 300);
    Write16(noEnd, PositionRpmCurveSlot, ImageBaseAddress + ve + 3);
    CalibrationImage outside{};
    Write16(outside, VeTableSlot, 0x0FFE);
    Write16(outside, SparkTableSlot, 0xFFFF);
    Write16(outside, PositionRpmCurveSlot, 0x1000);  // just past the image
    Write16(outside, TempRpmCurveSlot, 0x0FFF);      // last byte: no room for y
    const auto expectInside = [](auto&& model, int column, int line) {
        model.ClickAt(column, line, Bottom);
        for (const GridCell& cell : model.Cells(Bottom)) {
            EXPECT_TRUE(cell.index == -1 || CalibrationImage::InRange(cell.index));
        }
        model.ApplyChange("7");
    };
    for (CalibrationImage image : {loop, noEnd, outside, CalibrationImage{}}) {
        for (const auto& curves : {RpmCurveSpecs(), FuelCurveSpecs()}) {
            expectInside(CurveModel(image, curves), 5, Bottom - 200);
        }
        for (const TableLayout& layout : {VeTableLayout(), VeLpTableLayout(), SparkTableLayout()}) {
            expectInside(TableModel(image, layout), 12, Bottom);
        }
    }
}

}  // namespace
}  // namespace korvel
