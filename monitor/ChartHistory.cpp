#include "monitor/ChartHistory.h"

#include <algorithm>
#include <tuple>

namespace korvel {

namespace {

size_t At(int channel) {
    return static_cast<size_t>(channel);
}

}  // namespace

// ---- PassPace ---------------------------------------------------------------

bool PassPace::Pass(int64_t passMs) {
    const int64_t interval = passMs - lastPassMs_;
    const bool first = !started_;
    started_ = true;
    lastPassMs_ = passMs;
    if (first) {
        return false;
    }
    bool gap = false;
    if (count_ >= MinimumIntervals) {
        std::array<int64_t, Window> sorted = intervals_;
        const auto end = sorted.begin() + count_;
        const auto middle = sorted.begin() + count_ / 2;
        std::nth_element(sorted.begin(), middle, end);
        gap = interval > GapFactor * *middle;
    }
    // Every interval counts, the long ones too: a line that has become slower
    // for good (another adapter) is drawn unbroken again once half the window is slow.
    intervals_[static_cast<size_t>(next_)] = interval;
    next_ = (next_ + 1) % Window;
    count_ = std::min(count_ + 1, Window);
    return gap;
}

// ---- TraceRing --------------------------------------------------------------

void TraceRing::Push(const TracePoint& point) {
    if (points_.size() < Capacity) {
        points_.push_back(point);
        ++size_;
        return;
    }
    points_[head_] = point;  // full: the oldest goes
    head_ = (head_ + 1) % Capacity;
}

void TraceRing::Clear() {
    points_.clear();
    head_ = size_ = 0;
}

size_t TraceRing::LowerBound(int64_t ms) const {
    size_t low = 0, high = size_;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (At(middle).ms < ms) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// ---- ChartHistory -----------------------------------------------------------

void ChartHistory::FollowAssignments(const PlotState& plot) {
    for (int c = 0; c < MaxPlottedVariables; ++c) {
        if (assignment_[At(c)] != plot.assignment[At(c)]) {
            assignment_[At(c)] = plot.assignment[At(c)];
            traces_[At(c)].Clear();
        }
    }
}

bool ChartHistory::Segment(const PlotState& plot, int channel, const TracePoint& from,
                           const TracePoint& to, int64_t sweepStartMs,
                           ChartSegment& segment) const {
    const size_t c = At(channel);
    const auto y0 = PlotPointY(from.value, plot.plotMinimum[c], plot.plotMaximum[c], plot.plotRect);
    const auto y1 = PlotPointY(to.value, plot.plotMinimum[c], plot.plotMaximum[c], plot.plotRect);
    if (to.breakBefore || !y0 || !y1) {
        return false;
    }
    segment = {channel, PlotPointX(from.ms, sweepStartMs, plot.timeScale, plot.plotRect), *y0,
               PlotPointX(to.ms, sweepStartMs, plot.timeScale, plot.plotRect), *y1};
    return true;
}

ChartHistory::Added ChartHistory::AddPass(PlotState& plot, const Sample& sample) {
    FollowAssignments(plot);
    Added added;
    const bool paceGap = pace_.Pass(sample.passMs);
    const int64_t sweepBefore = SweepStartMs(latestMs_, plot.timeScale);
    const bool anyBefore = any_;
    std::array<int32_t, MaxMonitorVariables> values{};
    const int count = std::clamp(sample.variableCount, 0, MaxMonitorVariables);
    for (int k = 0; k < count; ++k) {
        const auto i = static_cast<size_t>(k);
        values[i] = static_cast<int32_t>(sample.raw[i]);
        for (int c = 0; c < MaxPlottedVariables; ++c) {
            if (plot.plottedVariable[At(c)] != k) {
                continue;
            }
            values[i] = CarryCorrect(values[i], plot.previousRaw[At(c)]);
            const bool gap = sample.gapMs != NoGap && sample.readMs[i] >= sample.gapMs;
            const TracePoint point{sample.readMs[i], values[i], passes_, gap || paceGap};
            TraceRing& trace = traces_[At(c)];
            if (trace.Size() > 0 &&
                Segment(plot, c, trace.At(trace.Size() - 1), point,
                        SweepStartMs(std::max(latestMs_, point.ms), plot.timeScale),
                        added.segments[static_cast<size_t>(added.count)])) {
                ++added.count;
            }
            trace.Push(point);
            latestMs_ = any_ ? std::max(latestMs_, point.ms) : point.ms;
            any_ = true;
        }
    }
    ++passes_;
    added.newSweep = anyBefore && SweepStartMs(latestMs_, plot.timeScale) != sweepBefore;
    return added;
}

std::vector<ChartSegment> ChartHistory::Segments(const PlotState& plot) {
    FollowAssignments(plot);
    if (!any_) {
        return {};
    }
    const int64_t sweepStart = SweepStartMs(latestMs_, plot.timeScale);
    // (pass, variable, channel): the order in which the passes drew them.
    std::vector<std::tuple<uint32_t, int32_t, int, ChartSegment>> drawn;
    for (int c = 0; c < MaxPlottedVariables; ++c) {
        const TraceRing& trace = traces_[At(c)];
        size_t first = trace.LowerBound(sweepStart);
        first -= first > 0 ? 1 : 0;  // the read before the sweep: the line enters from the left
        ChartSegment segment;
        for (size_t i = first + 1; i < trace.Size(); ++i) {
            if (Segment(plot, c, trace.At(i - 1), trace.At(i), sweepStart, segment)) {
                drawn.emplace_back(trace.At(i).pass, plot.plottedVariable[At(c)], c, segment);
            }
        }
    }
    std::ranges::sort(drawn, [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a), std::get<2>(a)) <
               std::tie(std::get<0>(b), std::get<1>(b), std::get<2>(b));
    });
    std::vector<ChartSegment> segments;
    segments.reserve(drawn.size());
    for (const auto& entry : drawn) {
        segments.push_back(std::get<3>(entry));
    }
    return segments;
}

void ChartHistory::Clear() {
    for (TraceRing& trace : traces_) {
        trace.Clear();
    }
    pace_.Reset();
    latestMs_ = 0;
    any_ = false;
}

}  // namespace korvel
