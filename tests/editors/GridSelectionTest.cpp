#include <gtest/gtest.h>

#include <string>

#include "editors/CurveModel.h"
#include "editors/TableModel.h"
#include "tests/editors/SampleImage.h"

namespace korvel {
namespace {

using test::Bytes;
constexpr int Bottom = 20;  // the text line of a curve's first point, a table's MAP key 0

// VE (gasoline) of the sample image: rows in text columns 12, 18, 24, MAP
// lines 0, 40, 100, 255 on text lines 20 down to 17:
//   255: 70 71 72
//   100:  . 57  .
//    40: 55  . 58
//     0: 50 51 52
struct Grids : ::testing::Test {
    CalibrationImage image = test::SampleImage();
    const int ve = PointerTarget(image, VeTableSlot);
    TableModel table{image, VeTableLayout()};
    TableModel lp{image, VeLpTableLayout()};
    CurveModel curves{image, RpmCurveSpecs()};  // x, y columns 5, 10 and 20, 25

    // The region as "left..right,bottom..top"; "" for none.
    static std::string RegionOf(const GridModel& model) {
        const auto r = model.Region();
        return r ? std::to_string(r->left) + ".." + std::to_string(r->right) + "," +
                       std::to_string(r->bottom) + ".." + std::to_string(r->top)
                 : "";
    }
};

// A table region grows by Shift+arrows over blank cells up to the grid's
// edges, by Shift+click and by a drag held inside the grid; a plain arrow
// makes it one cell again; a click on a blank cell selects nothing.
TEST_F(Grids, TableRegionsCoverAnyRectangle) {
    table.ClickAt(13, Bottom, Bottom);
    for (Direction d :
         {Direction::Up, Direction::Up, Direction::Up, Direction::Right, Direction::Right}) {
        EXPECT_TRUE(table.Extend(d));
    }
    EXPECT_FALSE(table.Extend(Direction::Up));
    EXPECT_FALSE(table.Extend(Direction::Right));
    EXPECT_EQ(RegionOf(table), "0..2,0..3");
    const TextRect box = *table.SelectionBox(Bottom);
    EXPECT_EQ(
        (Bytes{uint32_t(box.left), uint32_t(box.right), uint32_t(box.top), uint32_t(box.bottom)}),
        (Bytes{12, 29, Bottom - 3, Bottom + 1}));
    table.ClickAt(19, Bottom - 1, Bottom, true);  // the blank cell of row 40, MAP 40
    EXPECT_EQ(RegionOf(table), "0..1,0..1");
    EXPECT_EQ(table.SelectedIndex(), -1);
    EXPECT_FALSE(table.FillEditBox());
    EXPECT_TRUE(table.DragTo(60, Bottom - 9, Bottom));
    EXPECT_EQ(RegionOf(table), "0..2,0..3");
    EXPECT_TRUE(table.Move(Direction::Down));
    EXPECT_EQ(RegionOf(table), "2..2,1..1");  // down from the corner, over the blank
    table.ClickAt(18, Bottom - 1, Bottom);
    EXPECT_FALSE(table.HasSelection());
    EXPECT_TRUE(table.SelectAll());
    EXPECT_EQ(RegionOf(table), "0..2,0..3");
}

// In a curve window a region covers the y values of one curve; an x value
// stays a single cell; Select All takes the selected curve's y values.
TEST_F(Grids, CurveRegionsStayInOneYColumn) {
    curves.ClickAt(10, Bottom, Bottom);
    EXPECT_FALSE(curves.Extend(Direction::Right));
    EXPECT_TRUE(curves.Extend(Direction::Up));
    EXPECT_TRUE(curves.Extend(Direction::Up));
    EXPECT_FALSE(curves.Extend(Direction::Up));  // three points
    EXPECT_EQ(RegionOf(curves), "1..1,0..2");
    curves.ClickAt(25, Bottom, Bottom, true);  // another curve: a plain click
    EXPECT_EQ(RegionOf(curves), "3..3,0..0");
    EXPECT_TRUE(curves.DragTo(0, Bottom - 9, Bottom));
    EXPECT_EQ(RegionOf(curves), "3..3,0..4");
    curves.ClickAt(20, Bottom - 1, Bottom);
    EXPECT_FALSE(curves.Extend(Direction::Up));
    EXPECT_FALSE(curves.CanShape());
    EXPECT_FALSE(curves.Shape(RegionOperation::Set, 1000));
    EXPECT_TRUE(curves.SelectAll());
    EXPECT_EQ(RegionOf(curves), "3..3,0..4");
    EXPECT_TRUE(curves.Shape(RegionOperation::Set, 1000));
    const int temp = PointerTarget(image, TempRpmCurveSlot);
    EXPECT_EQ((Bytes{image[temp + 1], image[temp + 3], image[temp + 9]}), (Bytes{50, 50, 50}));
}

// Enter and the step keys act on every present cell of a region; the line
// under the controls names the selected cell.
TEST_F(Grids, EntriesAndStepsFillTheRegion) {
    table.ClickAt(12, Bottom, Bottom);
    EXPECT_EQ(table.SelectionLine(), "0E6C VE Table, MAP 3.1, RPM 20: 50 (raw 50)");
    table.Extend(Direction::Up);
    table.Extend(Direction::Right);
    EXPECT_EQ(table.SelectionLine(), "region 2 × 2");  // the corner is blank
    table.Extend(Direction::Left);
    EXPECT_EQ(table.SelectionLine(), "0E6F VE Table, MAP 7.4, RPM 20: 55 (raw 55); region 1 × 2");
    table.Extend(Direction::Right);
    EXPECT_TRUE(table.ApplyChange("12.5"));
    EXPECT_EQ((Bytes{image[ve + 4], image[ve + 7], image[ve + 16]}), (Bytes{13, 13, 13}));
    EXPECT_TRUE(table.Step(-20));
    EXPECT_EQ((Bytes{image[ve + 4], image[ve + 7], image[ve + 16]}), (Bytes{0, 0, 0}));
    EXPECT_EQ(image[ve + 5], 60u);  // the LP byte of the same entry
}

// Copy writes the labelled block in units, blank cells empty; pasting it
// into the LP window copies the gasoline values there, and selects them.
TEST_F(Grids, CopyAndPasteBetweenWindows) {
    table.SelectAll();
    const std::string text = table.Copy();
    EXPECT_EQ(text,
              "MAP/RPM\t20\t40\t60\n30.8\t70\t71\t72\n14.0\t\t57\t\n7.4\t55\t\t58\n"
              "3.1\t50\t51\t52\n");
    lp.ClickAt(12, Bottom - 3, Bottom);
    std::string problem;
    ASSERT_TRUE(lp.Paste(text, problem)) << problem;
    EXPECT_EQ(RegionOf(lp), "0..2,0..3");
    for (const TableRow& row : WalkRowList(image, VeTableSlot, 3).rows) {
        for (int e : row.entries) {
            EXPECT_EQ(image[e + 2], image[e + 1]) << e;
        }
    }
    curves.ClickAt(25, Bottom, Bottom);
    curves.SelectAll();
    EXPECT_EQ(curves.Copy(), "Temp\tRPM\n-40\t1000\n147\t1400\n158\t1500\n173\t1600\n266\t1800\n");
    curves.ClickAt(5, Bottom - 1, Bottom);
    EXPECT_EQ(curves.Copy(), "100\n");
}

// A block goes in at the selection's top-left corner, into present cells
// only; one that does not fit, or with nowhere to go, changes nothing.
TEST_F(Grids, PasteFitsOrIsRefused) {
    const CalibrationImage before = image;
    std::string problem;
    EXPECT_FALSE(table.Paste("1", problem));
    EXPECT_EQ(problem, "Select the cell where the block's top left value goes.");
    table.ClickAt(18, Bottom - 3, Bottom);
    EXPECT_FALSE(table.Paste("1\t2\t3\n4\t5\t6\n", problem));
    EXPECT_EQ(problem,
              "A block of 3 columns and 2 lines does not fit here: from the selected cell there "
              "is room for 2 columns and 4 lines.");
    curves.ClickAt(5, Bottom - 1, Bottom);
    EXPECT_FALSE(curves.Paste("1", problem));
    EXPECT_EQ(problem, "A block goes into y values; an x value is changed one at a time.");
    EXPECT_FALSE(table.Paste("1\tx", problem));
    EXPECT_EQ(image.values, before.values);

    table.ClickAt(12, Bottom - 1, Bottom);  // 55; right of it is blank
    ASSERT_TRUE(table.Paste("1\t2\n3\t4\n", problem));
    EXPECT_EQ((Bytes{image[ve + 7], image[ve + 4], image[ve + 16]}), (Bytes{1, 3, 4}));
    curves.ClickAt(25, Bottom - 2, Bottom);
    ASSERT_TRUE(curves.Paste("Temp\tRPM\n158\t1400\n", problem));
    EXPECT_EQ(image[PointerTarget(image, TempRpmCurveSlot) + 5], 70u);
}

// Undo of an inserted point shortens a curve: a region over its y values is
// brought inside, an x cell of the point that went is dropped.
TEST_F(Grids, SelectionsStayValidAfterTheImageChanged) {
    const CalibrationImage before = image;
    curves.ClickAt(5, Bottom, Bottom);
    ASSERT_EQ(curves.AddRow(), InsertResult::Inserted);
    curves.ClickAt(10, Bottom, Bottom);
    curves.SelectAll();
    EXPECT_EQ(RegionOf(curves), "1..1,0..3");
    image = before;
    EXPECT_TRUE(curves.KeepValidSelection());
    EXPECT_EQ(RegionOf(curves), "1..1,0..2");
    curves.ClickAt(5, Bottom - 2, Bottom);
    ASSERT_EQ(curves.AddRow(), InsertResult::NotApplicable);  // x 255
    curves.ClickAt(5, Bottom, Bottom);
    curves.AddRow();
    curves.ClickAt(5, Bottom - 3, Bottom);
    ASSERT_TRUE(curves.HasSelection());
    image = before;
    EXPECT_FALSE(curves.KeepValidSelection());
    EXPECT_FALSE(curves.HasSelection());
}

}  // namespace
}  // namespace korvel
