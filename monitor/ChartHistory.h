#pragma once
// What the strip chart has read: per channel, the reads of the recent sweeps
// in a ring, so the chart can draw its lines again after a resize, a repaint
// or a new time scale or range, and shows only what was read. A line breaks
// where acquisition was interrupted (the pass says so) and where a pass came
// far later than the line's pace, so no segment spans time without reads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "monitor/PlotState.h"
#include "monitor/Sample.h"
#include "monitor/StripChart.h"

namespace korvel {

// The pace of the passes: the median of the last 16 intervals between them.
// An interval longer than GapFactor times that median is a gap, on a fast
// line and on a slow adapter alike.
class PassPace {
public:
    static constexpr int Window = 16;
    static constexpr int GapFactor = 5;
    // Fewer intervals than this tell no pace yet: nothing is a gap.
    static constexpr int MinimumIntervals = 3;

    // Takes the pass at `passMs`; true when the interval before it is a gap.
    bool Pass(int64_t passMs);
    void Reset() { *this = PassPace{}; }

private:
    std::array<int64_t, Window> intervals_{};
    int count_ = 0;
    int next_ = 0;
    int64_t lastPassMs_ = 0;
    bool started_ = false;
};

// One read on a channel's line.
struct TracePoint {
    int64_t ms = 0;            // the read's time (Sample::readMs)
    int32_t value = 0;         // carry-corrected raw count
    uint32_t pass = 0;         // which pass drew it, to draw again in the same order
    bool breakBefore = false;  // no segment joins it to the read before
};

// A channel's reads, oldest first; the oldest go when it is full.
class TraceRing {
public:
    static constexpr size_t Capacity = size_t{1} << 15;  // 11 minutes at 48 passes/s

    void Push(const TracePoint& point);
    void Clear();
    size_t Size() const { return size_; }
    const TracePoint& At(size_t i) const { return points_[(head_ + i) % points_.size()]; }
    // The first read at or after `ms`.
    size_t LowerBound(int64_t ms) const;

private:
    std::vector<TracePoint> points_;  // grows up to Capacity, then wraps
    size_t head_ = 0;
    size_t size_ = 0;
};

class ChartHistory {
public:
    // What a pass adds to the chart: the segments to draw over what is drawn,
    // or, when it started a new sweep, a clean chart drawn anew (Segments).
    struct Added {
        bool newSweep = false;
        int count = 0;
        std::array<ChartSegment, MaxPlottedVariables> segments{};
    };

    // Each plotted variable's carry-corrected value at its read time, on
    // every channel that plots it (a later channel sees the value the one
    // before corrected, as the channels always did). The pixels follow
    // plot.plotRect and plot.timeScale.
    Added AddPass(PlotState& plot, const Sample& sample);

    // Every segment of the sweep on show, in the order the passes drew them:
    // drawn over a clean chart, the same pixels as the passes drew. A line
    // enters from the left edge when its read before the sweep is kept.
    std::vector<ChartSegment> Segments(const PlotState& plot);

    // A new variable list: every line and the pace start afresh.
    void Clear();

    const TraceRing& Trace(int channel) const { return traces_[static_cast<size_t>(channel)]; }

private:
    void FollowAssignments(const PlotState& plot);
    bool Segment(const PlotState& plot, int channel, const TracePoint& from, const TracePoint& to,
                 int64_t sweepStartMs, ChartSegment& segment) const;

    std::array<TraceRing, MaxPlottedVariables> traces_;
    std::array<uint32_t, MaxPlottedVariables> assignment_{};
    PassPace pace_;
    uint32_t passes_ = 0;
    int64_t latestMs_ = 0;  // the latest read on any line: its sweep is on show
    bool any_ = false;
};

}  // namespace korvel
