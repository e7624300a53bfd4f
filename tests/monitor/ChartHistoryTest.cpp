#include "monitor/ChartHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace korvel {
namespace {

constexpr PlotRect Area{70, 104, 770, 568};  // 700 pixels: 35 per second of a 20 s sweep

// Passes every `everyMs`, with one long interval `stallMs` after the 30th.
bool AnyGap(int64_t everyMs, int64_t stallMs) {
    PassPace pace;
    bool gap = false;
    int64_t ms = 0;
    for (int pass = 0; pass < 60; ++pass) {
        ms += pass == 30 ? stallMs : everyMs;
        gap = pace.Pass(ms) || gap;
    }
    return gap;
}

TEST(PassPace, AGapIsFiveTimesTheMedianPassInterval) {
    // Pass interval, the one long interval, whether it is a gap.
    const std::tuple<int64_t, int64_t, bool> cases[] = {
        {50, 50, false},     // steady
        {50, 250, false},    // five times: not yet
        {50, 251, true},     // a stall just beyond
        {50, 2000, true},    // a 2 s pause
        {500, 2000, false},  // a slow adapter's steady line at the same stall
        {500, 2501, true}};
    for (const auto& [every, stall, gap] : cases) {
        EXPECT_EQ(AnyGap(every, stall), gap) << every << " " << stall;
    }
    PassPace pace;  // too few intervals tell no pace
    EXPECT_FALSE(pace.Pass(0) || pace.Pass(10) || pace.Pass(20) || pace.Pass(10'000));
}

struct Rig {
    PlotState plot{
        .plottedVariable = {0, 1, -1}, .plotMaximum = {255.0f, 255.0f, 3000.0f}, .plotRect = Area};
    ChartHistory history;
    std::vector<ChartSegment> drawn;  // what the passes drew, in order
    int sweeps = 0;

    // Variable 0 read at passMs - 10, variable 1 at passMs.
    ChartHistory::Added Pass(int64_t passMs, uint32_t raw0, uint32_t raw1, int64_t gapMs = NoGap) {
        Sample sample;
        sample.variableCount = 2;
        sample.raw = {raw0, raw1};
        sample.readMs = {passMs - 10, passMs};
        sample.passMs = passMs;
        sample.gapMs = gapMs;
        const ChartHistory::Added added = history.AddPass(plot, sample);
        if (added.newSweep) {
            ++sweeps;
            drawn = history.Segments(plot);
        } else {
            drawn.insert(drawn.end(), added.segments.begin(), added.segments.begin() + added.count);
        }
        return added;
    }
    // Passes every `everyMs` from `fromMs`, up to and excluding `toMs`.
    void Passes(int64_t fromMs, int64_t toMs, int64_t everyMs) {
        for (int64_t ms = fromMs; ms < toMs; ms += everyMs) {
            Pass(ms, 100, 200);
        }
    }
    int Count(int channel) const {
        return static_cast<int>(std::ranges::count(drawn, channel, &ChartSegment::channel));
    }
};

// What the passes drew is what a redraw draws, in the same order: a resize
// or a new range gives back the same lines.
TEST(ChartHistory, ARedrawDrawsWhatThePassesDrew) {
    Rig r;
    r.Passes(1000, 9000, 50);
    ASSERT_EQ(r.Count(0), 159);
    EXPECT_EQ(r.history.Segments(r.plot), r.drawn);
    // Another size or range: the same reads, to the new scale.
    r.plot.plotRect = {70, 104, 1070, 768};
    r.plot.plotMaximum[0] = 510.0f;
    const std::vector<ChartSegment> again = r.history.Segments(r.plot);
    ASSERT_EQ(again.size(), r.drawn.size());
    EXPECT_EQ(again.front(), (ChartSegment{0, 70 + 49, 768 - 130, 70 + 52, 768 - 130}));
}

TEST(ChartHistory, LinesBreakAtAGapAndNowhereElse) {
    Rig paused;
    paused.Passes(1000, 3000, 50);
    // A 2 s pause the pass knows of (it began after the pass at 2950).
    EXPECT_EQ(paused.Pass(5000, 100, 200, 2960).count, 0);
    EXPECT_EQ(paused.Pass(5050, 100, 200).count, 2);
    for (const ChartSegment& s : paused.drawn) {  // no diagonal across the pause
        EXPECT_LT(s.x1 - s.x0, 10) << s.channel << " at " << s.x0;
    }
    // A pause too short for the pace to tell (Peek/Poke at once): the event breaks it.
    EXPECT_EQ(paused.Pass(5100, 100, 200, 5060).count, 0);

    Rig unnoticed;  // the same pause, told by the pace alone: both lines break
    unnoticed.Passes(1000, 3000, 50);
    EXPECT_EQ(unnoticed.Pass(5000, 100, 200).count, 0);
    EXPECT_EQ(unnoticed.Pass(5050, 100, 200).count, 2);

    Rig slow;  // a slow line at a steady pace: one unbroken line per channel
    slow.Passes(1000, 19'000, 500);
    EXPECT_EQ((std::array{slow.Count(0), slow.Count(1)}), (std::array{35, 35}));
}

// A new sweep starts on a clean chart, the line entering at the left edge
// from the last read of the sweep before, unless a gap lies between.
TEST(ChartHistory, ANewSweepKeepsOnlyItsOwnReadsAndTheWayIn) {
    Rig r;
    r.Passes(18'000, 20'000, 500);
    EXPECT_EQ(r.sweeps, 0);
    r.Pass(20'500, 100, 255);  // variable 1 jumps to the top
    EXPECT_EQ(r.sweeps, 1);
    ASSERT_EQ(r.drawn.size(), 2u);
    EXPECT_EQ(r.drawn[1], (ChartSegment{1, 70 - 18, 568 - 363, 70 + 17, 104}));
    r.history.Clear();  // a new variable list
    EXPECT_TRUE(r.history.Segments(r.plot).empty());

    Rig gap;
    gap.Passes(18'000, 20'000, 500);
    gap.Pass(20'500, 100, 255, 20'000);
    EXPECT_TRUE(gap.drawn.empty());
}

// Freeing a channel forgets its line; given again, it starts afresh, while
// the carry correction remembers the variable's last raw value.
TEST(ChartHistory, AReassignedChannelStartsAFreshLine) {
    Rig r;
    r.plot.plottedVariable = {1, 1, -1};
    r.Pass(1000, 0, 0);
    const auto carried = r.Pass(1050, 0, 255);  // a step of +255 on both channels
    ASSERT_EQ(carried.count, 2);
    // The first channel undoes it (-1, just below the minimum); the second sees -1.
    EXPECT_EQ((std::array{carried.segments[0].y1, carried.segments[1].y1}), (std::array{569, 569}));
    r.plot.DeleteChannel(1);
    r.plot.AddChannel(1, 0.0f, 255.0f);
    EXPECT_EQ(r.Pass(1100, 0, 255).count, 1);  // only channel 1's line goes on
    EXPECT_EQ(r.history.Trace(0).Size(), 1u);
    EXPECT_EQ(r.history.Trace(1).Size(), 3u);
}

TEST(TraceRing, KeepsTheNewestReadsInOrder) {
    TraceRing ring;
    for (int64_t ms = 0; ms < int64_t{TraceRing::Capacity} + 10; ++ms) {
        ring.Push({ms, 0, 0, false});
    }
    EXPECT_EQ(ring.Size(), TraceRing::Capacity);
    EXPECT_EQ((std::array{ring.At(0).ms, ring.At(TraceRing::Capacity - 1).ms}),
              (std::array<int64_t, 2>{10, int64_t{TraceRing::Capacity} + 9}));
    EXPECT_EQ((std::array{ring.LowerBound(0), ring.LowerBound(11), ring.LowerBound(1 << 20)}),
              (std::array<size_t, 3>{0, 1, TraceRing::Capacity}));
}

}  // namespace
}  // namespace korvel
