#include <gtest/gtest.h>

#include <algorithm>

#include "editors/TableModel.h"
#include "tests/editors/SampleImage.h"

namespace korvel {
namespace {

constexpr int Bottom = 30;

// Texts of one role on one line, left to right, prefixed by their column.
std::vector<std::string> On(const std::vector<GridCell>& cells, int line, CellRole role) {
    std::vector<std::string> found;
    for (const GridCell& c : cells) {
        if (c.line == line && c.role == role) {
            found.push_back(std::to_string(c.column) + ":" + c.text);
        }
    }
    return found;
}

// VeTable rows keyed 20, 40, 60 with MAP keys {0, 40, 255}, {0, 100, 255}, {0, 40, 255}.
TEST(TableModel, SparseMapKeysGetOneLineEach) {
    CalibrationImage image = test::SampleImage();
    TableModel model(image, VeTableLayout());
    const auto cells = model.Cells(Bottom);
    using V = std::vector<std::string>;
    EXPECT_EQ(On(cells, Bottom, CellRole::Label), V{"6: 3.1"});
    EXPECT_EQ(On(cells, Bottom, CellRole::Y), (V{"12:  50", "18:  51", "24:  52"}));
    EXPECT_EQ(On(cells, Bottom - 1, CellRole::Y), (V{"12:  55", "24:  58"}));  // MAP key 40
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Label), V{"6:14.0"});            // MAP key 100
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Y), V{"18:  57"});
    EXPECT_EQ(On(cells, Bottom - 3, CellRole::Label), V{"6:30.8"});
    EXPECT_EQ(On(cells, Bottom - 3, CellRole::Y).size(), 3u);
    EXPECT_TRUE(On(cells, Bottom - 4, CellRole::Label).empty());
    EXPECT_EQ(On(cells, Bottom + 1, CellRole::Header), (V{"12:  20", "18:  40", "24:  60"}));
    EXPECT_EQ(On(cells, Bottom, CellRole::Mark), V{"2:MAP"});
    EXPECT_EQ(On(cells, Bottom + 2, CellRole::Mark), V{"12:RPM"});
}

TEST(TableModel, KeyLinesZeroAndTopAlwaysExistAndHeadersStopAtZeroKey) {
    test::ImageBuilder b;
    b.RowList(SparkTableSlot, {{20, {{50, 1}, {0xFF, 2}}}, {0, {{0xFF, 3}}}, {40, {{0xFF, 4}}}});
    CalibrationImage image = b.Build();
    TableModel model(image, SparkTableLayout());
    const auto cells = model.Cells(Bottom);
    EXPECT_EQ(On(cells, Bottom, CellRole::Label).size(), 1u);
    EXPECT_TRUE(On(cells, Bottom, CellRole::Y).empty());
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Label)[0], "6:30.8");
    EXPECT_EQ(On(cells, Bottom - 2, CellRole::Y).size(), 3u);
    EXPECT_EQ(On(cells, Bottom + 1, CellRole::Header).size(), 1u);
}

TEST(TableModel, ClicksSelectBySixColumnBlocks) {
    CalibrationImage image = test::SampleImage();
    const int ve = PointerTarget(image, VeTableSlot);
    for (int column = 0; column < 36; ++column) {
        TableModel model(image, VeTableLayout());
        model.Click(column, Bottom - 1);  // MAP key 40: rows 1 and 3 only
        model.Cells(Bottom);
        const int expected = column >= 24 && column <= 29   ? ve + 24 + 7
                             : column >= 12 && column <= 17 ? ve + 7
                                                            : -1;
        EXPECT_EQ(model.SelectedIndex(), expected) << column;
    }
}

TEST(TableModel, ChangeStoresRoundedClampedByte) {
    const struct {
        const char* entered;
        uint32_t stored;
    } cases[] = {{"12.5", 13},     {"12.4", 12},     {"300", 255},      {"-5", 0},
                 {"", 0},          {" 7kg", 7},      {"nan", 0},        {"1e99", 255},
                 {"-inf", 0},      {"        9", 9}, {"         9", 0},  // 9 characters are read
                 {"0000000015", 1}};
    for (const auto& c : cases) {
        CalibrationImage image = test::SampleImage();
        const int spark = PointerTarget(image, SparkTableSlot);
        TableModel model(image, SparkTableLayout());
        model.Click(17, Bottom - 1);  // first row, MAP key 80
        model.Cells(Bottom);
        ASSERT_EQ(model.FillEditBox()->text, "  20");
        ASSERT_TRUE(model.ApplyChange(c.entered));
        EXPECT_EQ(image[spark + 6], c.stored) << c.entered;
        EXPECT_FALSE(model.ApplyChange("9"));  // the selection is gone
    }
}

TEST(TableModel, VeAndVeLpEditDifferentBytesOfTheSameEntries) {
    CalibrationImage image = test::SampleImage();
    TableModel ve(image, VeTableLayout());
    TableModel lp(image, VeLpTableLayout());
    ve.Click(12, Bottom);
    ve.Cells(Bottom);
    ASSERT_TRUE(ve.ApplyChange("99"));
    const auto veCells = ve.Cells(Bottom);
    const auto lpCells = lp.Cells(Bottom);
    EXPECT_EQ(On(veCells, Bottom, CellRole::Y)[0], "12:  99");
    EXPECT_EQ(On(lpCells, Bottom, CellRole::Y)[0], "12:  60");
    EXPECT_EQ(On(lpCells, Bottom - 2, CellRole::Label), On(veCells, Bottom - 2, CellRole::Label));
}

TEST(TableModel, BrokenTablesStayInsideTheImage) {
    test::ImageBuilder b;
    const int ve = b.RowList(VeTableSlot, {{20, {{0, 1, 2}, {0xFF, 3, 4}}}});
    CalibrationImage loop = b.Build();
    Write16(loop, ve + 1, ImageBaseAddress + ve);  // the row links to itself
    CalibrationImage noEnd = loop;
    std::fill(noEnd.values.begin() + ve + 3, noEnd.values.end(), 300);  // no end entry
    CalibrationImage outside{};
    Write16(outside, VeTableSlot, 0x0FFE);
    Write16(outside, SparkTableSlot, 0xFFFF);
    for (CalibrationImage image : {loop, noEnd, outside, CalibrationImage{}}) {
        for (TableLayout layout : {VeTableLayout(), VeLpTableLayout(), SparkTableLayout()}) {
            TableModel model(image, layout);
            model.Click(12, Bottom);
            for (const GridCell& cell : model.Cells(Bottom)) {
                EXPECT_TRUE(cell.index == -1 || CalibrationImage::InRange(cell.index));
            }
            model.ApplyChange("1");
        }
    }
}

}  // namespace
}  // namespace korvel
