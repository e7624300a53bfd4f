#include "monitor/StripChart.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

constexpr TextMetrics Metrics{13, 6};
// The plot area of an 800 x 600 client area below a two-row panel.
constexpr PlotRect Area{70, 104, 769, 568};

bool operator==(const PlotRect& a, const PlotRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(StripChartFrame, PlotAreaInsideTheGreyBand) {
    struct Case {
        int32_t clientHeight;
        PlotRect plotRect;
        bool drawn;
    };
    const Case cases[] = {
        {600, Area, true},
        {186, {70, 104, 769, 154}, true},  // exactly 50 pixels high
        {185, {0, 104, 800, 153}, false},  // too small: the band only, rect half adjusted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clientHeight);
        const ChartFrame frame = ComputeChartFrame(800, c.clientHeight, 65, Metrics);
        EXPECT_TRUE((frame.band == PlotRect{0, 65, 800, c.clientHeight}));
        EXPECT_TRUE(frame.plotRect == c.plotRect);
        EXPECT_EQ(frame.chartDrawn, c.drawn);
    }
}

TEST(StripChartFrame, TimeTicksUseIntegerPositionsAndSecondLabels) {
    const auto ticks = TimeAxisTicks(Area, 20, Metrics);
    EXPECT_EQ(ticks[0].x, 139);  // 70 + 699 / 10
    EXPECT_EQ(ticks[2].x, 279);  // 70 + 2097 / 10
    EXPECT_EQ(ticks[9].x, 769);
    EXPECT_EQ(ticks[0].label, " 2.0");
    EXPECT_EQ(ticks[9].label, "20.0");
    EXPECT_EQ(ticks[0].labelAt.x, 127);
    EXPECT_EQ(ticks[0].labelAt.y, 569);
    EXPECT_EQ(TimeAxisTicks(Area, 7, Metrics)[2].label, " 2.1");
}

TEST(StripChartFrame, GridDividesTheHeightInSixths) {
    const auto ys = GridLineYs(Area);
    EXPECT_EQ(ys[0], 181);  // 104 + 464 / 6
    EXPECT_EQ(ys[4], 490);  // 104 + 2320 / 6
}

TEST(StripChartFrame, ValueLabelsStackPerChannelInUse) {
    PlotState plot;
    EXPECT_TRUE(ValueAxisLabels(Area, plot, Metrics).empty());

    plot.plottedVariable = {0, -1, 3};
    plot.plotMinimum[2] = 10.0f;
    plot.plotMaximum[2] = 255.0f;
    const auto labels = ValueAxisLabels(Area, plot, Metrics);
    ASSERT_EQ(labels.size(), 14u);
    // Level 1: channel 0 lifted by trunc(0.5 h), channel 2 by trunc(2.5 h).
    EXPECT_EQ(labels[2].channel, 0);
    EXPECT_EQ(labels[2].text, " 500");
    EXPECT_EQ(labels[2].at.x, 41);
    EXPECT_EQ(labels[2].at.y, 568 - 77 - 6);
    EXPECT_EQ(labels[3].channel, 2);
    EXPECT_EQ(labels[3].text, "  51");
    EXPECT_EQ(labels[3].at.y, 568 - 77 - 32);
    EXPECT_EQ(labels[13].text, " 255");
}

TEST(StripChartPoints, XFollowsTheSweepPosition) {
    EXPECT_EQ(PlotPointX(7250, 20, Area), 70 + 253);  // 0.3625 of 699
    EXPECT_EQ(PlotPointX(0, 20, Area), 70);
    EXPECT_EQ(PlotPointX(500, 0, Area), 70 + 349);  // a zero time scale counts as one second
}

TEST(StripChartPoints, CarryCorrection) {
    struct Case {
        int32_t previous;
        int32_t raw;
        int32_t plotted;
    };
    const Case cases[] = {
        {0x01FF, 0x0100, 0x0200},  // carry caught between the two bytes
        {0, 255, -1},              // a one-byte step of +255
        {0, 250, 250},
        {0, 251, -5},
        {0, 261, 5},
        {0, 262, 262},
        {300, 49, 305},
        {300, 39, 39 + 256},
        {300, 38, 38},
    };
    for (const Case& c : cases) {
        int32_t previous = c.previous;
        EXPECT_EQ(CarryCorrect(c.raw, previous), c.plotted) << c.previous << " -> " << c.raw;
        EXPECT_EQ(previous, c.raw);
    }
}

TEST(StripChartPoints, YScalesTheRawCountIntoTheRange) {
    EXPECT_EQ(PlotPointY(1500, 0.0f, 3000.0f, Area), 336);
    EXPECT_EQ(PlotPointY(3000, 0.0f, 3000.0f, Area), 104);
    EXPECT_EQ(PlotPointY(-1, 0.0f, 255.0f, Area), 569);  // just below the minimum
    EXPECT_EQ(PlotPointY(5, 7.0f, 7.0f, Area), std::nullopt);
    const auto far = PlotPointY(65535, 0.0f, 1.0f, Area);
    ASSERT_TRUE(far.has_value());
    EXPECT_LT(*far, Area.top);  // outside the area, without overflowing
}

class PlotSampleTest : public ::testing::Test {
protected:
    void SetUp() override {
        plot.plotRect = Area;
        plot.plotMaximum = {255.0f, 255.0f, 255.0f};
    }
    int PlotK(int k) { return PlotSample(plot, monitor, k, steps); }

    PlotState plot;
    MonitorFile monitor;
    std::array<ChannelStep, MaxPlottedVariables> steps;
};

TEST_F(PlotSampleTest, CarryCorrectedValueIsWrittenBackAndPlotted) {
    plot.plottedVariable[0] = 0;
    plot.plotMaximum[0] = 3000.0f;
    plot.previousRaw[0] = 0x01FF;
    monitor.liveValues[0] = 0x0100;
    ASSERT_EQ(PlotK(0), 1);
    EXPECT_EQ(monitor.liveValues[0], 0x0200u);
    EXPECT_EQ(plot.previousRaw[0], 0x0100);
    EXPECT_EQ(plot.lastPointY[0], PlotPointY(0x0200, 0.0f, 3000.0f, Area));
}

TEST_F(PlotSampleTest, SecondChannelOfTheSameVariableSeesTheCorrectedValue) {
    plot.plottedVariable = {0, 0, -1};
    monitor.liveValues[0] = 255;
    ASSERT_EQ(PlotK(0), 2);
    EXPECT_EQ(plot.previousRaw[0], 255);
    EXPECT_EQ(plot.previousRaw[1], -1);
    EXPECT_EQ(static_cast<int32_t>(monitor.liveValues[0]), -1);
    EXPECT_EQ(plot.lastPointY[1], 569);
}

TEST_F(PlotSampleTest, SegmentsJoinLastPointsAndTheSweepRestartsOnWrap) {
    plot.plottedVariable = {0, -1, 1};
    monitor.sampleTimes[0] = 10000;
    monitor.liveValues[0] = 0;
    ASSERT_EQ(PlotK(0), 1);
    EXPECT_FALSE(steps[0].drawn);  // the first point has nothing to join
    const int32_t midX = plot.lastPointX[0];
    plot.lastPointX[2] = 600;
    plot.lastPointY[2] = 200;

    monitor.sampleTimes[0] = 1000;  // wrapped to the start of a new sweep
    monitor.liveValues[0] = 255;
    ASSERT_EQ(PlotK(0), 1);
    EXPECT_TRUE(steps[0].restarted);
    ASSERT_TRUE(steps[0].drawn);
    EXPECT_EQ(steps[0].x0, Area.left);
    EXPECT_EQ(steps[0].y0, Area.bottom);  // from the left edge at the old height
    EXPECT_LT(steps[0].x1, midX);
    EXPECT_EQ(plot.lastPointX[2], Area.left);
    EXPECT_EQ(plot.lastPointY[2], 200);
    EXPECT_EQ(plot.lastPointX[1], 0);  // a free channel without a last point keeps none
}

TEST_F(PlotSampleTest, EmptyRangeIsNotDrawn) {
    plot.plottedVariable[0] = 0;
    plot.plotMaximum[0] = 0.0f;
    EXPECT_EQ(PlotK(0), 0);
    EXPECT_EQ(plot.lastPointX[0], 0);
}

}  // namespace
}  // namespace korvel
