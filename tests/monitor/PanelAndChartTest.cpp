#include "monitor/StripChart.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace korvel {
namespace {

constexpr TextMetrics Metrics{13, 6};
// The plot area of an 800 x 600 client area below a two-row panel.
constexpr PlotRect Area{70, 104, 769, 568};

bool operator==(const PlotRect& a, const PlotRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(PanelLayout, TwoRowsOfEightColumns) {
    // Variable k, its name's x and y, its value's y; the second row starts at 3h.
    const std::array<int32_t, 4> cases[] = {
        {0, 0, 0, 13}, {3, 180, 0, 13}, {7, 420, 0, 13}, {8, 0, 39, 52}, {15, 420, 39, 52}};
    for (const auto& [k, x, nameY, valueY] : cases) {
        const TextPosition name = NamePosition(k, Metrics), value = ValuePosition(k, Metrics);
        EXPECT_EQ((std::array{name.x, name.y, value.x, value.y}),
                  (std::array{x, nameY, x, valueY}));
    }
    // The chart starts at 2h below one row in use, at 5h below two.
    const std::pair<int, int32_t> bottoms[] = {{0, 26}, {8, 26}, {9, 65}};
    for (const auto& [count, bottom] : bottoms) {
        EXPECT_EQ(PanelBottom(count, Metrics), bottom) << count << " variables";
    }
    const PlotState plot{.plottedVariable = {4, 2, 2},
                         .plotRect = Area};  // colour of its first channel
    EXPECT_EQ((std::array{NameChannel(2, plot), NameChannel(4, plot), NameChannel(3, plot)}),
              (std::array{1, 0, -1}));
}

TEST(PlotState, ChannelsAreTakenAndFreedLowestFirst) {
    // Add (true) or delete a variable, the channel reported, every channel's variable afterwards.
    const std::tuple<bool, int, int, std::array<int32_t, MaxPlottedVariables>> script[] = {
        {true, 4, 0, {4, -1, -1}},    {true, 4, 1, {4, 4, -1}},   {true, 4, 2, {4, 4, 4}},
        {true, 5, -1, {4, 4, 4}},   // all three in use
        {false, 4, 0, {-1, 4, 4}},  // the first channel plotting it is freed
        {true, 7, 0, {7, 4, 4}},    // and reused first
        {false, 4, 1, {7, -1, 4}},    {false, 4, 2, {7, -1, -1}}, {false, 4, -1, {7, -1, -1}},
        {false, -1, -1, {7, -1, -1}},  // -1 marks a free channel, never a variable
        {true, -1, -1, {7, -1, -1}}};
    PlotState plot;
    for (const auto& [add, variable, expected, afterwards] : script) {
        const auto before = plot.assignment;
        const int channel =
            add ? plot.AddChannel(variable, 5.0f, 50.0f) : plot.DeleteChannel(variable);
        EXPECT_EQ(channel, expected) << (add ? "add " : "delete ") << variable;
        EXPECT_EQ(plot.plottedVariable, afterwards) << variable;
        const auto c = static_cast<size_t>(std::max(channel, 0));
        if (channel >= 0 && add) {  // an added channel takes the range
            EXPECT_EQ((std::array{plot.plotMinimum[c], plot.plotMaximum[c]}),
                      (std::array{5.0f, 50.0f}));
        }
        // Given or freed, the channel's line starts afresh; nothing else moves.
        auto moved = before;
        if (channel >= 0) {
            ++moved[c];
        }
        EXPECT_EQ(plot.assignment, moved) << variable;
    }
}

TEST(StripChart, FrameTicksGridAndLabels) {
    const std::tuple<int32_t, PlotRect, bool> frames[] = {
        {600, Area, true},
        {186, {70, 104, 769, 154}, true},   // exactly 50 pixels high
        {185, {0, 104, 800, 153}, false}};  // too small: the band only, rect half adjusted
    for (const auto& [height, plotRect, drawn] : frames) {
        const ChartFrame frame = ComputeChartFrame(800, height, 65, Metrics);
        EXPECT_TRUE((frame.band == PlotRect{0, 65, 800, height})) << height;
        EXPECT_TRUE(frame.plotRect == plotRect) << height;
        EXPECT_EQ(frame.chartDrawn, drawn) << height;
    }

    const auto ticks = TimeAxisTicks(Area, 20, Metrics);
    EXPECT_EQ((std::array{ticks[0].x, ticks[2].x, ticks[9].x}), (std::array{139, 279, 769}));
    EXPECT_EQ((std::array{ticks[0].labelAt.x, ticks[0].labelAt.y}), (std::array{127, 569}));
    EXPECT_EQ(
        (std::array{ticks[0].label, ticks[9].label, TimeAxisTicks(Area, 7, Metrics)[2].label}),
        (std::array<std::string, 3>{" 2.0", "20.0", " 2.1"}));
    EXPECT_EQ(GridLineYs(Area), (std::array{181, 258, 336, 413, 490}));  // 104 + k * 464 / 6

    EXPECT_TRUE(ValueAxisLabels(Area, PlotState{}, Metrics).empty());
    const PlotState plot{.plottedVariable = {0, -1, 3},
                         .plotMinimum = {0.0f, 0.0f, 10.0f},
                         .plotMaximum = {3000.0f, 3000.0f, 255.0f},
                         .plotRect = Area};
    const auto labels = ValueAxisLabels(Area, plot, Metrics);
    ASSERT_EQ(labels.size(), 14u);
    // Level 1: channel 0 lifted by trunc(0.5 h), channel 2 by trunc(2.5 h).
    EXPECT_EQ((std::array{labels[2].channel, labels[3].channel}), (std::array{0, 2}));
    EXPECT_EQ((std::array{labels[2].text, labels[3].text, labels[13].text}),
              (std::array<std::string, 3>{" 500", "  51", " 255"}));
    EXPECT_EQ((std::array{labels[2].at.x, labels[2].at.y, labels[3].at.y}),
              (std::array{41, 568 - 77 - 6, 568 - 77 - 32}));
}

TEST(StripChart, SweepsPointsAndCarryCorrection) {
    // A read's sweep starts at a whole multiple of the time scale.
    const std::tuple<int64_t, int32_t, int64_t> sweeps[] = {
        {0, 20, 0},  {19'999, 20, 0},  {20'000, 20, 20'000}, {47'250, 20, 40'000},
        {500, 0, 0}, {-1, 20, -20'000}};  // a zero time scale counts as one second
    for (const auto& [ms, scale, start] : sweeps) {
        EXPECT_EQ(SweepStartMs(ms, scale), start) << ms;
    }
    EXPECT_EQ(PlotPointX(47'250, 40'000, 20, Area), 70 + 253);  // 0.3625 of 699
    EXPECT_EQ(PlotPointX(500, 0, 0, Area), 70 + 349);
    EXPECT_EQ(PlotPointX(39'000, 40'000, 20, Area), 70 - 35);  // before the sweep: left of it
    EXPECT_EQ(PlotPointY(3000, 0.0f, 3000.0f, Area), 104);
    EXPECT_EQ(PlotPointY(-1, 0.0f, 255.0f, Area), 569);  // just below the minimum
    EXPECT_EQ(PlotPointY(5, 7.0f, 7.0f, Area), std::nullopt);
    EXPECT_LT(PlotPointY(65535, 0.0f, 1.0f, Area).value_or(Area.top), Area.top);  // no overflow

    // Previous raw value, raw value, plotted value; 511 -> 256 is a carry caught mid-read.
    const int32_t carries[][3] = {{511, 256, 512}, {0, 255, -1},   {0, 250, 250},
                                  {0, 251, -5},    {0, 261, 5},    {0, 262, 262},
                                  {300, 49, 305},  {300, 39, 295}, {300, 38, 38}};
    for (const auto& [before, raw, plotted] : carries) {
        int32_t previous = before;
        EXPECT_EQ(CarryCorrect(raw, previous), plotted) << before << " -> " << raw;
        EXPECT_EQ(previous, raw);
    }
}

TEST(StripChart, SegmentsStayInsideThePlotArea) {
    // Segment (x0, y0) -> (x1, y1) in Area (x 70..769, y 104..568), then the polyline drawn.
    using Points = std::vector<std::pair<int32_t, int32_t>>;
    const std::pair<std::array<int32_t, 4>, Points> cases[] = {
        {{100, 300, 200, 400}, {{100, 300}, {200, 400}}},                 // inside: unchanged
        {{100, 568, 200, -9'000}, {{100, 568}, {105, 104}, {200, 104}}},  // up far beyond the top
        {{100, 300, 200, 1'000}, {{100, 300}, {138, 568}, {200, 568}}},   // down past the bottom
        {{100, 50, 200, 10}, {{100, 104}, {200, 104}}},  // all above: along the top
        {{100, 0, 300, 672}, {{100, 104}, {131, 104}, {269, 568}, {300, 568}}},  // through both
        {{10, 300, 900, 300}, {{70, 300}, {769, 300}}},  // wider than the area
        {{40, 200, 100, 500}, {{70, 350}, {100, 500}}},  // from the sweep before: cut at the left
        {{40, 200, 60, 500}, {}}};                       // wholly before the sweep
    for (const auto& [segment, expected] : cases) {
        const ChartSegment line{0, segment[0], segment[1], segment[2], segment[3]};
        std::array<ChartPoint, 4> points;
        const int count = ClampSegment(line, Area, points);
        Points drawn;
        for (int i = 0; i < count; ++i) {
            drawn.emplace_back(points[static_cast<size_t>(i)].x, points[static_cast<size_t>(i)].y);
        }
        EXPECT_EQ(drawn, expected) << segment[1] << " -> " << segment[3];
    }
}

}  // namespace
}  // namespace korvel
