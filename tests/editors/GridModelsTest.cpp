#include <gtest/gtest.h>

#include <clocale>

#include "editors/CurveModel.h"
#include "editors/EditorGrid.h"
#include "editors/TableModel.h"
#include "monitor/ValueText.h"
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

// Clicks a text position and lays the grid out, as the paint after a click does.
template <typename Model>
void Select(Model& model, int column, int line) {
    model.Click(column, line);
    model.Cells(Bottom);
}

// Under a German desktop the C library reads and writes "12,5": entries,
// grid labels and panel values keep the decimal point all the same.
TEST(Numbers, KeepTheDecimalPointUnderACommaLocale) {
    struct Restore {
        ~Restore() { std::setlocale(LC_ALL, "C"); }
    } restore;
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(ParseEntry("12.5"), 12.5f);
    EXPECT_EQ(FormatUnits("%4.1f", 255, MapScale), "30.8");
    EXPECT_EQ(MonitorValueText("MAP  ", 255), " 30.8 ");
    EXPECT_EQ(MonitorValueCsv("Bat  ", 100), "7.8");
}

// x 0 (the bottom point) and x 255 (the top point) are end values: shown in
// the grid, "XXXX" in the edit box, never changed; a point may follow x 0 only.
TEST(CurveModel, AddRowAndEndValues) {
    using enum InsertResult;
    // Selected column (5: x, 10: y) and line, table full, result, the point behind afterwards.
    const std::tuple<int, int, bool, InsertResult, Bytes> cases[] = {
        {5, Bottom, false, Inserted, {1, 40}},  {5, Bottom - 2, false, NotApplicable, {}},
        {10, Bottom, false, NotApplicable, {}}, {15, Bottom, false, NotApplicable, {}},
        {5, Bottom - 1, true, TableFull, {}},
    };
    for (const auto& [column, line, full, result, behind] : cases) {
        CalibrationImage image = test::SampleImage();
        image[ImageSize - 1] = full ? 0 : FreeByte;
        const CalibrationImage before = image;
        const int point = PointerTarget(image, PositionRpmCurveSlot) + 2 * (Bottom - line);
        CurveModel model(image, RpmCurveSpecs());
        Select(model, column, line);
        if (column == 5 && !full) {
            EXPECT_EQ(model.FillEditBox()->text, "XXXX");
            EXPECT_FALSE(model.FillEditBox()->armed);
            EXPECT_EQ(On(model.Cells(Bottom), line, CellRole::Selected),
                      Texts{line == Bottom ? "5:   0 " : "5: 255 "});
            EXPECT_FALSE(model.ApplyChange("100"));
        }
        EXPECT_EQ(model.AddRow(), result) << column << " " << line;
        if (result == Inserted) {
            EXPECT_EQ((Bytes{image[point + 2], image[point + 3]}), behind);
        } else {
            EXPECT_EQ(image.values, before.values) << column << " " << line;
        }
    }
}

// An x stays strictly between its neighbours, or within the byte range at a
// curve's open ends; a y (column 10) goes through the RPM scale, halves up, clamped.
TEST(CurveModel, ChangeConvertsAndKeepsXBetweenNeighbours) {
    const Bytes sample{0, 1, 40, 1, 50, 1, 60, 1, 255, 1, 0};
    const Bytes narrow{0, 1, 40, 1, 40, 1, 41, 1, 255, 1, 0};
    const Bytes open{10, 1, 50, 1, 200, 1, 0};  // ends that are not 0 / 255
    // Curve, point, column (5: x, 10: y), typed text, stored byte (1: none,
    // the text holds no number and the selection stays).
    const std::tuple<const Bytes*, int, int, const char*, uint32_t> cases[] = {
        {&sample, 2, 5, "60", 59},     {&sample, 2, 5, "40", 41}, {&sample, 2, 5, "50", 50},
        {&narrow, 2, 5, "0", 41},      {&open, 0, 5, "0", 0},     {&open, 0, 5, "90", 49},
        {&open, 2, 5, "300", 255},     {&open, 2, 5, "0", 51},    {&sample, 1, 10, "1510", 76},
        {&sample, 1, 10, "5200", 255}, {&sample, 1, 10, "x", 1}};
    for (const auto& [curve, point, column, typed, stored] : cases) {
        test::ImageBuilder b;
        const int start = b.Region(PositionRpmCurveSlot, *curve);
        CalibrationImage image = b.image;
        CurveModel model(image, RpmCurveSpecs());
        Select(model, column, Bottom - point);
        const bool parses = ParseEntry(typed).has_value();
        EXPECT_EQ(model.ApplyChange(typed), parses);
        EXPECT_EQ(image[start + 2 * point + column / 10], stored) << typed;
        EXPECT_EQ(model.HasSelection(), !parses);
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
    const Texts xs = On(model.Cells(Bottom), Bottom - 1, CellRole::X);
    EXPECT_EQ(xs.front() + xs.back(), "5:  140 50:  140 ");
    EXPECT_EQ(On(model.Cells(Bottom), Bottom - 1, CellRole::Y).back(), "55:  40 ");

    Select(model, 5, Bottom - 1);
    ASSERT_EQ(model.AddRow(), InsertResult::Inserted);
    EXPECT_EQ((Bytes{image[b + 6], image[b + 7], image[b + 8]}), (Bytes{67, 30, 40}));
}

// VeTable rows keyed 20, 40, 60 with MAP keys {0, 40, 255}, {0, 100, 255}, {0, 40, 255}.
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
    EXPECT_EQ(On(cells, Bottom, CellRole::Mark), Texts{"2:MAP"});
    EXPECT_EQ(On(cells, Bottom + 2, CellRole::Mark), Texts{"12:RPM"});
    // "VE Table (LP)": the same lines over the LP bytes.
    EXPECT_EQ(On(TableModel(image, VeLpTableLayout()).Cells(Bottom), Bottom, CellRole::Y),
              (Texts{"12:  60", "18:  61", "24:  62"}));
}

// Rows keyed 20, 0, 40: the lines of MAP keys 0 and 255 exist even where no
// row has them, and the header stops at the row keyed 0.
TEST(TableModel, KeyLinesZeroAndTopAlwaysExist) {
    test::ImageBuilder b;
    b.RowList(SparkTableSlot, {{20, 50, 1, 0xFF, 2}, {0, 0xFF, 3}, {40, 0xFF, 4}});
    CalibrationImage image = b.image;
    const auto cells = TableModel(image, SparkTableLayout()).Cells(Bottom);
    EXPECT_EQ(On(cells, Bottom, CellRole::Label).size(), 1u);
    EXPECT_TRUE(On(cells, Bottom, CellRole::Y).empty());
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Label), Texts{"6:30.8"});
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Y).size(), 3u);
    EXPECT_EQ(On(cells, Bottom + 1, CellRole::Header).size(), 1u);
}

// A click selects the value whose six text columns it hits; VE and VE LP
// select different bytes of the same entry.
TEST(TableModel, ClicksSelectBySixColumnBlocks) {
    CalibrationImage image = test::SampleImage();
    const int ve = PointerTarget(image, VeTableSlot);
    for (const auto& [layout, lp] : {std::pair{VeTableLayout(), 0}, {VeLpTableLayout(), 1}}) {
        for (int column = 0; column < 36; ++column) {
            TableModel model(image, layout);
            Select(model, column, Bottom - 1);  // MAP key 40: rows 1 and 3 only
            const int expected = column >= 24 && column <= 29   ? ve + 24 + 7 + lp
                                 : column >= 12 && column <= 17 ? ve + 7 + lp
                                                                : -1;
            EXPECT_EQ(model.SelectedIndex(), expected) << column << " " << lp;
        }
    }
}

TEST(TableModel, ChangeStoresRoundedClampedByte) {
    // Typed text, stored byte; 20 (the old value): no number, nothing stored.
    const std::pair<const char*, uint32_t> cases[] = {
        {"12.5", 13},     {"12.4", 12},       {"300", 255},  {"-5", 0},   {"", 20},
        {" 7kg", 7},      {"nan", 20},        {"1e99", 255}, {"-inf", 0}, {"0000000015", 1},
        {"        9", 9}, {"         9", 20},  // 9 characters are read
        {"kg", 20},       {"-", 20},
    };
    for (const auto& [typed, stored] : cases) {
        CalibrationImage image = test::SampleImage();
        const int spark = PointerTarget(image, SparkTableSlot);
        TableModel model(image, SparkTableLayout());
        Select(model, 17, Bottom - 1);  // first row, MAP key 80
        ASSERT_EQ(model.FillEditBox()->text, "  20");
        const bool parses = ParseEntry(typed).has_value();
        EXPECT_EQ(model.ApplyChange(typed), parses);
        EXPECT_EQ(image[spark + 6], stored) << typed;
        EXPECT_EQ(model.ApplyChange("9"), !parses);  // gone after a store, kept otherwise
    }
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

struct Move {
    Direction direction;
    const char* to;  // "column,lines above the bottom" after the key; "" when it stays put
};

template <typename Model>
void ExpectMoves(Model& model, std::initializer_list<Move> moves) {
    std::string at = SelectedAt(model);
    for (const Move& m : moves) {
        const bool moved = *m.to != '\0';
        EXPECT_EQ(model.Move(m.direction), moved) << at << " " << static_cast<int>(m.direction);
        at = moved ? m.to : at;
        EXPECT_EQ(SelectedAt(model), at);
    }
}

// Arrows skip the cells that cannot be changed (end x values, blank table
// cells) and stop at the grid's edge; with nothing selected they select the
// bottom line's first editable cell.
TEST(GridModels, ArrowsMoveOverTheEditableCells) {
    using enum Direction;
    CalibrationImage image = test::SampleImage();
    // RPM curves: x columns 5 and 20, y columns 10 and 25; three and five points.
    CurveModel curves(image, RpmCurveSpecs());
    curves.Cells(Bottom);
    ExpectMoves(curves,
                {{Up, "10,0"},   {Left, ""},      {Down, ""},      {Up, "10,1"},    {Left, "5,1"},
                 {Up, ""},       {Right, "10,1"}, {Right, "20,1"}, {Right, "25,1"}, {Right, ""},
                 {Up, "25,2"},   {Up, "25,3"},    {Up, "25,4"},    {Up, ""},        {Left, ""},
                 {Down, "25,3"}, {Left, "20,3"},  {Down, "20,2"},  {Down, "20,1"},  {Down, ""}});
    // VE: rows in columns 12, 18, 24; MAP lines 0, 40, 100, 255; the middle row has no 40.
    TableModel table(image, VeTableLayout());
    table.Cells(Bottom);
    ExpectMoves(table, {{Right, "12,0"},
                        {Up, "12,1"},
                        {Right, "24,1"},
                        {Right, ""},
                        {Up, "24,3"},
                        {Up, ""},
                        {Left, "18,3"},
                        {Down, "18,2"},
                        {Down, "18,0"},
                        {Down, ""},
                        {Left, "12,0"},
                        {Left, ""}});
}

// A step changes the raw byte and keeps the selection; it is clamped as an
// entry is: an x between its neighbours, anything else within 0..255.
TEST(GridModels, StepsStopAtTheClampLimits) {
    CalibrationImage image = test::SampleImage();
    const int temp = PointerTarget(image, TempRpmCurveSlot);
    const int ve = PointerTarget(image, VeTableSlot);
    CurveModel curves(image, RpmCurveSpecs());
    TableModel table(image, VeTableLayout());
    // Model, column, line, step, stored byte (-1: nothing changed), its
    // index; the steps go on from one case to the next.
    const struct {
        bool curve;
        int column, line, counts;
        int64_t stored;
        int index;
    } cases[] = {
        {true, 20, 1, 10, 49, temp + 2},  // x 40 between 0 and 50
        {true, 20, 1, 1, -1, temp + 2},  {true, 20, 1, -100, 1, temp + 2},
        {true, 20, 1, -1, -1, temp + 2}, {true, 25, 0, 200, 255, temp + 1},
        {true, 25, 0, 1, -1, temp + 1},  {true, 25, 0, -300, 0, temp + 1},
        {true, 5, 0, 1, -1, -1},  // an end x (shown XXXX) does not step
        {false, 12, 0, 1, 51, ve + 4},   {false, 12, 0, 300, 255, ve + 4},
        {false, 12, 0, 1, -1, ve + 4},   {false, 12, 0, -1000, 0, ve + 4},
        {false, 6, 0, 1, -1, -1},  // a label
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const CalibrationImage before = image;
        const bool changed =
            c.curve ? (Select(curves, c.column, Bottom - c.line), curves.Step(c.counts))
                    : (Select(table, c.column, Bottom - c.line), table.Step(c.counts));
        EXPECT_EQ(changed, c.stored >= 0);
        CalibrationImage expected = before;
        if (changed) {
            expected[c.index] = static_cast<uint32_t>(c.stored);
            EXPECT_TRUE(c.curve ? curves.HasSelection() : table.HasSelection());
        }
        EXPECT_EQ(image.values, expected.values);
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
        model.Click(column, line);
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
