#include "monitor/PanelLayout.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

constexpr TextMetrics Metrics{13, 6};

TEST(PanelLayout, TwoRowsOfEightColumns) {
    struct Case {
        int k;
        TextPosition name;
        TextPosition value;
    };
    const Case cases[] = {
        {0, {0, 0}, {0, 13}},       {3, {180, 0}, {180, 13}},
        {7, {420, 0}, {420, 13}},   {8, {0, 39}, {0, 52}},  // the second row starts at 3h
        {15, {420, 39}, {420, 52}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        EXPECT_EQ(NamePosition(c.k, Metrics).x, c.name.x);
        EXPECT_EQ(NamePosition(c.k, Metrics).y, c.name.y);
        EXPECT_EQ(ValuePosition(c.k, Metrics).x, c.value.x);
        EXPECT_EQ(ValuePosition(c.k, Metrics).y, c.value.y);
    }
}

TEST(PanelLayout, ChartStartsBelowTheLastRowInUse) {
    const std::pair<int, int32_t> cases[] = {{0, 26}, {1, 26}, {8, 26}, {9, 65}, {16, 65}};
    for (const auto& [count, bottom] : cases) {
        EXPECT_EQ(PanelBottom(count, Metrics), bottom) << count << " variables";
    }
}

TEST(PanelLayout, NameTakesTheFirstPlottingChannelsColour) {
    PlotState plot;
    plot.plottedVariable = {4, 2, 2};
    EXPECT_EQ(NameChannel(2, plot), 1);
    EXPECT_EQ(NameChannel(4, plot), 0);
    EXPECT_EQ(NameChannel(3, plot), -1);
}

}  // namespace
}  // namespace korvel
