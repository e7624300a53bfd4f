#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "editors/CurveModel.h"
#include "editors/LiveMarks.h"
#include "editors/TableModel.h"
#include "tests/editors/SampleImage.h"
#include "tests/support/FakeClock.h"

namespace korvel {
namespace {

using Cells = std::vector<GridPos>;

MonitorFile Monitor(const char* config) {
    MonitorFile monitor;
    ParseMonitorFile(config, monitor);
    return monitor;
}

// One pass with `raw` in variable order.
Sample Pass(const MonitorFile& monitor, std::vector<uint32_t> raw) {
    Sample sample;
    sample.variableCount = monitor.variableCount;
    for (size_t k = 0; k < raw.size(); ++k) {
        sample.raw[k] = raw[k];
    }
    return sample;
}

// The sample VE table: rows keyed 20, 40 and 60 (grid columns 0..2); MAP
// lines 0, 40, 100 and 255 (lines 0..3). The first and last rows have MAP
// 40 and no 100, the middle row 100 and no 40.
TEST(TableMarks, CellsAroundTheLivePoint) {
    CalibrationImage image = test::SampleImage();
    const TableModel ve(image, VeTableLayout());
    const MonitorFile oneByte = Monitor("RPM,40,1\nMAP,26,1\nFuel,35,1\n");
    const MonitorFile twoBytes = Monitor("  MAPa,26,2\nRPM,40,2\nFuel,35,1\n");
    struct Case {
        const char* what;
        const MonitorFile& monitor;
        std::vector<uint32_t> raw;
        Cells cells;
        GridPos nearest;
        double column;
        double line;
    };
    const Case cases[] = {
        {"on a key of both", oneByte, {20, 40, 1}, {{0, 1}}, {0, 1}, 0.0, 1.0},
        // Halfway to the middle row, which has no 40: its cells around 40.
        {"between rows", oneByte, {30, 40, 1}, {{0, 1}, {1, 0}, {1, 2}}, {0, 1}, 0.5, 1.0},
        {"between lines", oneByte, {20, 70, 1}, {{0, 1}, {0, 3}}, {0, 1}, 0.0, 1.5},
        {"nearer the upper line", oneByte, {40, 80, 1}, {{1, 0}, {1, 2}}, {1, 2}, 1.0, 5.0 / 3},
        {"below the first row key", oneByte, {10, 0, 1}, {{0, 0}}, {0, 0}, 0.0, 0.0},
        {"beyond the last row key", oneByte, {200, 255, 1}, {{2, 3}}, {2, 3}, 2.0, 3.0},
        {"a two-byte RPM of 255", twoBytes, {255, 255, 1}, {{2, 3}}, {2, 3}, 2.0, 3.0},
        // MAP is the first variable here, its name behind blanks.
        {"a two-byte MAP beyond 255", twoBytes, {300, 60, 1}, {{2, 3}}, {2, 3}, 2.0, 3.0},
    };
    for (const Case& c : cases) {
        const std::vector<LiveMark> marks =
            ve.LiveMarks(ReadLiveValues(c.monitor, Pass(c.monitor, c.raw)));
        ASSERT_EQ(marks.size(), 1u) << c.what;
        EXPECT_EQ(marks[0].cells, c.cells) << c.what;
        EXPECT_EQ(marks[0].nearest, c.nearest) << c.what;
        EXPECT_DOUBLE_EQ(marks[0].column, c.column) << c.what;
        EXPECT_DOUBLE_EQ(marks[0].line, c.line) << c.what;
    }
    const MonitorFile noMap = Monitor("RPM,40,1\nFuel,35,1\n");
    const std::pair<const MonitorFile*, std::vector<uint32_t>> none[] = {
        {&twoBytes, {40, 256, 1}},  // a two-byte RPM above 255
        {&noMap, {40, 1}},
    };
    for (const auto& [monitor, raw] : none) {
        EXPECT_TRUE(ve.LiveMarks(ReadLiveValues(*monitor, Pass(*monitor, raw))).empty());
    }
}

// VE marks on gasoline, VE (LP) on LP, Spark always; without a Fuel
// variable only Spark marks. Fuel reads LP on bit 2, as the panel does.
TEST(TableMarks, FuelRule) {
    CalibrationImage image = test::SampleImage();
    const TableModel ve(image, VeTableLayout()), lp(image, VeLpTableLayout()),
        spark(image, SparkTableLayout());
    const MonitorFile withFuel = Monitor("RPM,40,1\nMAP,26,1\nFuel,35,1\n");
    const MonitorFile withoutFuel = Monitor("RPM,40,1\nMAP,26,1\n");
    struct Case {
        const MonitorFile& monitor;
        uint32_t fuel;
        bool ve, lp, spark;
    };
    const Case cases[] = {
        {withFuel, 0x01, true, false, true},  {withFuel, 0x03, true, false, true},
        {withFuel, 0x04, false, true, true},  {withFuel, 0x05, false, true, true},
        {withoutFuel, 0, false, false, true},
    };
    for (const Case& c : cases) {
        const LiveValues live = ReadLiveValues(c.monitor, Pass(c.monitor, {40, 40, c.fuel}));
        EXPECT_EQ(!ve.LiveMarks(live).empty(), c.ve) << c.fuel;
        EXPECT_EQ(!lp.LiveMarks(live).empty(), c.lp) << c.fuel;
        EXPECT_EQ(!spark.LiveMarks(live).empty(), c.spark) << c.fuel;
    }
}

// Curves mark where their x matches a live value: Tcoo for the temperature
// curves, Tair for the air correction, the position curve never; the two
// B curves follow the Fuel rule as the VE tables do.
TEST(CurveMarks, LiveXOnTheMatchingCurves) {
    CalibrationImage image = test::SampleImage();
    const CurveModel rpm(image, RpmCurveSpecs()), fuel(image, FuelCurveSpecs());
    const MonitorFile monitor = Monitor("Tcoo,31,1\nTair,30,1\nFuel,35,1\nRPM,40,1\n");
    struct Expected {
        int curve;
        Cells cells;
        double line;
    };
    struct Case {
        const char* what;
        const CurveModel& model;
        std::vector<uint32_t> raw;  // Tcoo, Tair, Fuel
        std::vector<Expected> marks;
    };
    // TempRpmCurve x 0, 40, 50, 60, 255; B curve 0, 100, 255; A curve 0,
    // 50, 255; Air Cor 0, 50, 255.
    const Case cases[] = {
        {"RPM, between points", rpm, {45, 10, 1}, {{1, {{2, 1}, {3, 1}, {2, 2}, {3, 2}}, 1.5}}},
        {"RPM, on a point", rpm, {60, 10, 1}, {{1, {{2, 3}, {3, 3}}, 3.0}}},
        {"Fuel on gasoline",
         fuel,
         {100, 10, 1},
         {{0, {{0, 1}, {1, 1}}, 1.0},
          {1, {{2, 1}, {3, 1}, {2, 2}, {3, 2}}, 1 + 50.0 / 205},
          {2, {{4, 0}, {5, 0}, {4, 1}, {5, 1}}, 0.2}}},
        {"Fuel on LP",
         fuel,
         {255, 0, 4},
         {{1, {{2, 2}, {3, 2}}, 2.0}, {2, {{4, 0}, {5, 0}}, 0.0}, {3, {{6, 2}, {7, 2}}, 2.0}}},
    };
    for (const Case& c : cases) {
        const std::vector<LiveMark> marks =
            c.model.LiveMarks(ReadLiveValues(monitor, Pass(monitor, c.raw)));
        ASSERT_EQ(marks.size(), c.marks.size()) << c.what;
        for (size_t i = 0; i < marks.size(); ++i) {
            EXPECT_EQ(marks[i].curve, c.marks[i].curve) << c.what;
            EXPECT_EQ(marks[i].cells, c.marks[i].cells) << c.what << " " << i;
            EXPECT_DOUBLE_EQ(marks[i].line, c.marks[i].line) << c.what << " " << i;
        }
    }
    const std::vector<LiveMark> marks = rpm.LiveMarks(ReadLiveValues(monitor, Pass(monitor, {45})));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_DOUBLE_EQ(marks[0].x, RawToUnits(45, TcooScale));  // for the graph
    const MonitorFile noTemperatures = Monitor("RPM,40,1\nMAP,26,1\n");
    EXPECT_TRUE(
        fuel.LiveMarks(ReadLiveValues(noTemperatures, Pass(noTemperatures, {40, 40}))).empty());
}

TEST(Brackets, PinAtTheEdgesAndToleratesKeysOutOfOrder) {
    const std::vector<uint32_t> keys{20, 40, 100};
    const std::tuple<std::vector<uint32_t>, uint32_t, Bracket> cases[] = {
        {keys, 0, {0, 0, 0.0}},
        {keys, 20, {0, 0, 0.0}},
        {keys, 25, {0, 1, 0.25}},
        {keys, 100, {2, 2, 0.0}},
        {keys, 999, {2, 2, 0.0}},
        {{40, 100, 70}, 80, {0, 1, 2.0 / 3}},
        {{40, 100, 70}, 95, {0, 1, 55.0 / 60}},
        {{40, 100, 70}, 120, {1, 1, 0.0}},
    };
    for (const auto& [k, raw, expected] : cases) {
        EXPECT_EQ(BracketOf(k, raw), expected) << raw;
    }
    EXPECT_EQ(BracketOf({}, 5), std::nullopt);
}

// Each cell stays five seconds after the point was last nearest it, a fade
// step older each second; a visit makes it new again.
TEST(Trail, AgesOnTheClock) {
    FakeClock clock;
    const int64_t start = clock.MonotonicMs();
    const auto at = [&] { return clock.MonotonicMs(); };
    LiveTrail trail;
    trail.Visit({0, 0}, at());
    clock.Advance(1000);
    trail.Visit({1, 0}, at());
    using Trail = std::vector<LiveTrail::Cell>;
    EXPECT_EQ(trail.Cells(at()), (Trail{{{0, 0}, 1}, {{1, 0}, 0}}));
    EXPECT_EQ(trail.NextChange(at()), start + 2000);
    clock.Advance(3999);  // 4999 ms after the first visit
    EXPECT_EQ(trail.Cells(at()), (Trail{{{0, 0}, 4}, {{1, 0}, 3}}));
    EXPECT_EQ(trail.NextChange(at()), start + 5000);
    clock.Advance(1);
    EXPECT_EQ(trail.Cells(at()), (Trail{{{1, 0}, 4}}));
    trail.Visit({1, 0}, at());
    trail.Visit({2, 1}, at());
    EXPECT_EQ(trail.Cells(at()), (Trail{{{1, 0}, 0}, {{2, 1}, 0}}));
    clock.Advance(LiveTrail::TrailMs);
    EXPECT_TRUE(trail.Cells(at()).empty());
    EXPECT_EQ(trail.NextChange(at()), std::nullopt);
}

// Only what changed is repainted: a mark's old and new cells, a trail cell
// that came, faded or went.
TEST(Repaint, OnlyTheChangedCells) {
    LiveMark here{{{0, 1}, {1, 1}}, {0, 1}, 0.5, 1.0, -1, 0.0};
    LiveMark there{{{2, 3}}, {2, 3}, 2.0, 3.0, -1, 0.0};
    LiveMark nudged = here;
    nudged.column = 0.6;
    const LiveView a{{here}, {{{0, 1}, 0}}};
    const std::tuple<const char*, LiveView, std::vector<CellSpan>> cases[] = {
        {"nothing moved", a, {}},
        {"moved", {{there}, {{{0, 1}, 0}}}, {{{0, 1}, {1, 1}}, {{2, 3}, {2, 3}}}},
        {"moved within its cells", {{nudged}, {{{0, 1}, 0}}}, {{{0, 1}, {1, 1}}}},
        {"gone", {{}, {{{0, 1}, 0}}}, {{{0, 1}, {1, 1}}}},
        {"trail faded", {{here}, {{{0, 1}, 1}}}, {{{0, 1}, {0, 1}}}},
        {"trail cell came", {{here}, {{{0, 1}, 0}, {{5, 5}, 0}}}, {{{5, 5}, {5, 5}}}},
        {"trail cell went", {{here}, {}}, {{{0, 1}, {0, 1}}}},
    };
    for (const auto& [what, after, spans] : cases) {
        EXPECT_EQ(ChangedSpans(a, after), spans) << what;
    }
}

TEST(Repaint, AtMostTwentyTimesASecond) {
    RepaintPacer pacer;
    EXPECT_EQ(pacer.Delay(1000), 0);
    pacer.Painted(1000);
    const std::pair<int64_t, int64_t> cases[] = {
        {1000, 50}, {1020, 30}, {1049, 1}, {1050, 0}, {2000, 0}};
    for (const auto& [now, delay] : cases) {
        EXPECT_EQ(pacer.Delay(now), delay) << now;
    }
}

}  // namespace
}  // namespace korvel
