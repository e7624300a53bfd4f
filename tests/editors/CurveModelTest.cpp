#include <gtest/gtest.h>

#include <algorithm>

#include "editors/CurveModel.h"
#include "tests/editors/SampleImage.h"

namespace korvel {
namespace {

using test::Bytes;

constexpr int Bottom = 20;

const GridCell* CellAt(const std::vector<GridCell>& cells, int column, int line) {
    auto it = std::find_if(cells.begin(), cells.end(),
                           [&](const GridCell& c) { return c.column == column && c.line == line; });
    return it == cells.end() ? nullptr : &*it;
}

// Clicks a text position and lays the grid out, as the paint after a click does.
void Select(CurveModel& model, int column, int line) {
    model.Click(column, line);
    model.Cells(Bottom);
}

TEST(CurveModel, RpmWindowTextsAndPositions) {
    CalibrationImage image = test::SampleImage();
    CurveModel model(image, RpmCurveSpecs());
    const auto cells = model.Cells(Bottom);
    const struct {
        int column, line;
        const char* text;
        CellRole role;
    } expected[] = {
        {5, 20, "   0 ", CellRole::X},        {10, 20, "  800 ", CellRole::Y},
        {5, 19, " 100 ", CellRole::X},        {10, 18, " 1500 ", CellRole::Y},
        {20, 20, "  266 ", CellRole::X},      {25, 16, " 1000 ", CellRole::Y},
        {2, 21, "Position", CellRole::Label}, {27, 21, "RPM", CellRole::Label},
    };
    for (const auto& e : expected) {
        const GridCell* cell = CellAt(cells, e.column, e.line);
        ASSERT_NE(cell, nullptr) << e.text;
        EXPECT_EQ(cell->text, e.text);
        EXPECT_EQ(cell->role, e.role) << e.text;
    }
    EXPECT_EQ(CellAt(cells, 5, 17), nullptr);
}

// x 0 (bottom point) and x 255 (top point) are end values: shown in the grid,
// "XXXX" in the edit box, never changed; a point may follow x 0 but not 255.
TEST(CurveModel, EndXValues) {
    const struct {
        int line;
        InsertResult added;
        Bytes inserted;  // the point behind the selected one afterwards
    } cases[] = {{Bottom, InsertResult::Inserted, {1, 40}},
                 {Bottom - 2, InsertResult::NotApplicable, {}}};
    for (const auto& c : cases) {
        CalibrationImage image = test::SampleImage();
        const CalibrationImage before = image;
        const int selected = PointerTarget(image, PositionRpmCurveSlot) + 2 * (Bottom - c.line);
        CurveModel model(image, RpmCurveSpecs());
        Select(model, 5, c.line);
        EXPECT_EQ(model.FillEditBox()->text, "XXXX");
        EXPECT_FALSE(model.FillEditBox()->armed);
        EXPECT_NE(CellAt(model.Cells(Bottom), 5, c.line)->text, "XXXX");
        EXPECT_FALSE(model.ApplyChange("100"));
        EXPECT_EQ(image.values, before.values);
        EXPECT_EQ(model.AddRow(), c.added);
        if (c.added == InsertResult::Inserted) {
            EXPECT_EQ((Bytes{image[selected + 2], image[selected + 3]}), c.inserted);
        } else {
            EXPECT_EQ(image.values, before.values);
        }
    }
}

TEST(CurveModel, AddRowRefusals) {
    const struct {
        int column, line;
        bool full;
        InsertResult result;
    } cases[] = {{10, Bottom, false, InsertResult::NotApplicable},  // a y cell
                 {15, Bottom, false, InsertResult::NotApplicable},  // nothing selected
                 {5, Bottom - 1, true, InsertResult::TableFull}};
    for (const auto& c : cases) {
        CalibrationImage image = test::SampleImage();
        image[ImageSize - 1] = c.full ? 0 : FreeByte;
        const CalibrationImage before = image;
        CurveModel model(image, RpmCurveSpecs());
        Select(model, c.column, c.line);
        EXPECT_EQ(model.AddRow(), c.result);
        EXPECT_EQ(image.values, before.values);
    }
}

TEST(CurveModel, ChangeConvertsAndKeepsXBetweenNeighbours) {
    const Bytes sample{0, 40, 50, 60, 255};
    const Bytes narrow{0, 40, 40, 41, 255};
    const Bytes open{10, 50, 200};  // ends that are not 0 / 255
    const struct {
        const Bytes* xs;
        int point, column;
        const char* entered;
        uint32_t stored;
    } cases[] = {
        {&sample, 2, 5, "75", 59},
        {&sample, 2, 5, "60", 59},
        {&sample, 2, 5, "40", 41},
        {&sample, 2, 5, "20", 41},
        {&sample, 2, 5, "50", 50},
        {&narrow, 2, 5, "0", 41},
        {&narrow, 2, 5, "200", 41},
        // Outside the curve the bound is the byte range.
        {&open, 0, 5, "0", 0},
        {&open, 0, 5, "90", 49},
        {&open, 2, 5, "300", 255},
        {&open, 2, 5, "0", 51},
        // y cells: RPM through its scale, halves up, clamped.
        {&sample, 1, 10, "1510", 76},
        {&sample, 1, 10, "5200", 255},
        {&sample, 1, 10, "x", 0},
    };
    for (const auto& c : cases) {
        test::ImageBuilder b;
        std::vector<Bytes> points;
        for (uint32_t x : *c.xs) {
            points.push_back({x, 1});
        }
        const int start = b.Curve(PositionRpmCurveSlot, points);
        CalibrationImage image = b.Build();
        CurveModel model(image, RpmCurveSpecs());
        Select(model, c.column, Bottom - c.point);
        EXPECT_TRUE(model.ApplyChange(c.entered));
        EXPECT_EQ(image[start + 2 * c.point + c.column / 10], c.stored) << c.entered;
        EXPECT_FALSE(model.HasSelection());
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
    const auto cells = model.Cells(Bottom);
    EXPECT_EQ(CellAt(cells, 5, Bottom - 1)->text, CellAt(cells, 50, Bottom - 1)->text);
    EXPECT_EQ(CellAt(cells, 55, Bottom - 1)->text, "  40 ");

    Select(model, 5, Bottom - 1);
    ASSERT_EQ(model.AddRow(), InsertResult::Inserted);
    EXPECT_EQ((Bytes{image[b + 6], image[b + 7], image[b + 8]}), (Bytes{67, 30, 40}));
}

TEST(CurveModel, BrokenCurvesStayInsideTheImage) {
    CalibrationImage noEnd{};
    Write16(noEnd, PositionRpmCurveSlot, 0x0E68);
    std::fill(noEnd.values.begin() + 0x68, noEnd.values.end(), 9);  // no end byte
    CalibrationImage outside{};
    Write16(outside, PositionRpmCurveSlot, 0x1000);  // just past the image
    Write16(outside, TempRpmCurveSlot, 0x0FFF);      // last byte: no room for y
    for (CalibrationImage image : {noEnd, outside, CalibrationImage{}}) {
        for (auto specs : {RpmCurveSpecs(), FuelCurveSpecs()}) {
            CurveModel model(image, specs);
            model.Click(5, Bottom - 200);
            for (const GridCell& cell : model.Cells(Bottom)) {
                EXPECT_TRUE(cell.index == -1 || CalibrationImage::InRange(cell.index));
            }
            model.ApplyChange("7");
        }
    }
}

}  // namespace
}  // namespace korvel
