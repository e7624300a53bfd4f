#include <gtest/gtest.h>

#include <vector>

#include "editors/CurveModel.h"
#include "editors/HeatMap.h"
#include "editors/TableModel.h"
#include "tests/editors/SampleImage.h"

namespace korvel {
namespace {

// Over the table's own range: the low end cool, the high end warm, the
// middle green; values beyond the range take its end's colour.
TEST(HeatMap, CoolToWarmOverTheTablesRange) {
    CalibrationImage image = test::SampleImage();
    const CellGrid ve = TableModel(image, VeTableLayout()).Grid();
    const CellGrid lp = TableModel(image, VeLpTableLayout()).Grid();
    EXPECT_EQ(RangeOfValues(ve, image), (ValueRange{50, 72}));
    EXPECT_EQ(RangeOfValues(lp, image), (ValueRange{60, 82}));
    image[PointerTarget(image, VeTableSlot) + 4] = 300;  // a slot above a byte counts as 255
    EXPECT_EQ(RangeOfValues(ve, image), (ValueRange{51, 255}));
    EXPECT_EQ(RangeOfValues(CellGrid{}, image), std::nullopt);

    const ValueRange range{50, 70};
    const Rgb blue{160, 190, 255}, green{170, 235, 160}, red{255, 165, 140};
    const std::tuple<uint32_t, ValueRange, Rgb> cases[] = {
        {50, range, blue},  {0, range, blue},  {60, range, green},
        {70, range, red},   {999, range, red}, {55, range, {150, 230, 235}},
        {7, {7, 7}, green},  // a flat table
    };
    for (const auto& [raw, r, colour] : cases) {
        EXPECT_EQ(HeatColour(raw, r), colour) << raw;
    }
    // Warmer is redder and less blue all the way up.
    for (uint32_t v = 50; v < 70; ++v) {
        EXPECT_LE(HeatColour(v + 1, range).blue, HeatColour(v, range).blue + 5) << v;
    }
}

// Each curve in its columns' units: temperatures fall as the raw x rises;
// selecting a curve's y values marks its points.
TEST(CurveGraphs, PointsInUnitsWithTheSelection) {
    CalibrationImage image = test::SampleImage();
    CurveModel model(image, RpmCurveSpecs());
    model.ClickAt(25, 20 - 1, 20);  // TempRpmCurve's second y value
    const std::vector<CurveGraph> graphs = model.Graphs();
    ASSERT_EQ(graphs.size(), 2u);
    EXPECT_EQ(graphs[0].title + "/" + graphs[0].xName, "RPM/Position");
    EXPECT_EQ(graphs[0].points,
              (std::vector<GraphPoint>{{0, 800, false}, {100, 1200, false}, {255, 1500, false}}));
    const CurveGraph& temp = graphs[1];
    ASSERT_EQ(temp.points.size(), 5u);
    EXPECT_DOUBLE_EQ(temp.points[1].x, RawToUnits(40, TcooScale));
    EXPECT_EQ(temp.points[1].y, 1600);
    std::vector<bool> selected;
    for (const GraphPoint& p : temp.points) {
        selected.push_back(p.selected);
    }
    EXPECT_EQ(selected, (std::vector<bool>{false, true, false, false, false}));
    EXPECT_DOUBLE_EQ(temp.xLow, RawToUnits(255, TcooScale));
    EXPECT_DOUBLE_EQ(temp.xHigh, RawToUnits(0, TcooScale));
    EXPECT_EQ(temp.yLow, 1000);
    EXPECT_EQ(temp.yHigh, 1800);

    ASSERT_TRUE(model.SelectAll());  // every y value of the selected curve
    const std::vector<CurveGraph> all = model.Graphs();
    for (size_t k = 0; k < all.size(); ++k) {
        for (const GraphPoint& p : all[k].points) {
            EXPECT_EQ(p.selected, k == 1) << k;
        }
    }
}

TEST(CurveGraphs, BoxesAndPixels) {
    const PixelBox area{300, 10, 410, 230};
    EXPECT_EQ(GraphBoxes(area, 2, 10),
              (std::vector<PixelBox>{{300, 10, 410, 110}, {300, 130, 410, 110}}));
    EXPECT_EQ(
        GraphBoxes(area, 4, 10),
        (std::vector<PixelBox>{
            {300, 10, 200, 110}, {510, 10, 200, 110}, {300, 130, 200, 110}, {510, 130, 200, 110}}));
    EXPECT_EQ((std::vector<int>{GraphColumns(1), GraphColumns(2), GraphColumns(4)}),
              (std::vector<int>{1, 1, 2}));

    CurveGraph graph;
    graph.points = {{0, 10, false}, {100, 30, false}};
    FitAxes(graph);
    const PixelBox plot{10, 20, 100, 50};
    const std::tuple<double, double, double, double> cases[] = {
        {0, 10, 10, 70},
        {50, 20, 60, 45},
        {100, 30, 110, 20},
        {-40, 999, 10, 20},  // beyond the axes: on the edges
    };
    for (const auto& [x, y, px, py] : cases) {
        EXPECT_DOUBLE_EQ(GraphX(graph, plot, x), px) << x;
        EXPECT_DOUBLE_EQ(GraphY(graph, plot, y), py) << y;
    }
    CurveGraph flat;
    flat.points = {{5, 7, false}};
    FitAxes(flat);
    EXPECT_EQ((std::vector<double>{flat.xLow, flat.xHigh, flat.yLow, flat.yHigh}),
              (std::vector<double>{4, 6, 6, 8}));
}

}  // namespace
}  // namespace korvel
