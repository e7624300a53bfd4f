#include "monitor/StripChart.h"

#include <algorithm>
#include <cmath>

#include "calib/Text.h"

namespace korvel {

namespace {

// Coordinates far outside any screen still convert without overflow.
constexpr double CoordinateLimit = 1.0e7;

int32_t SaturatingTrunc(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value > CoordinateLimit) {
        return static_cast<int32_t>(CoordinateLimit);
    }
    if (value < -CoordinateLimit) {
        return static_cast<int32_t>(-CoordinateLimit);
    }
    return static_cast<int32_t>(value);
}

size_t At(int channel) {
    return static_cast<size_t>(channel);
}

}  // namespace

ChartFrame ComputeChartFrame(int32_t clientWidth, int32_t clientHeight, int32_t panelBottom,
                             TextMetrics metrics) {
    ChartFrame frame;
    frame.band = {0, panelBottom, clientWidth, clientHeight};
    PlotRect rect = frame.band;
    rect.top += 3 * metrics.height;
    rect.bottom -= static_cast<int32_t>(2.5 * metrics.height);
    if (rect.bottom < rect.top + MinimumChartHeight) {
        frame.plotRect = rect;
        return frame;
    }
    rect.right -= metrics.averageWidth + 25;
    rect.left += 70;
    frame.plotRect = rect;
    frame.chartDrawn = true;
    return frame;
}

std::array<TimeTick, TimeTicks> TimeAxisTicks(const PlotRect& rect, int32_t timeScale,
                                              TextMetrics metrics) {
    std::array<TimeTick, TimeTicks> ticks;
    const int32_t width = rect.right - rect.left;
    for (int s = 1; s <= TimeTicks; ++s) {
        TimeTick& tick = ticks[At(s - 1)];
        tick.x = rect.left + s * width / 10;
        tick.labelAt = {tick.x - 2 * metrics.averageWidth, rect.bottom + 1};
        tick.label = FormatNumber("%4.1f", static_cast<double>(s) * timeScale / 10.0);
    }
    return ticks;
}

std::array<int32_t, GridLines> GridLineYs(const PlotRect& rect) {
    std::array<int32_t, GridLines> ys;
    const int32_t height = rect.bottom - rect.top;
    for (int s = 1; s <= GridLines; ++s) {
        ys[At(s - 1)] = rect.top + s * height / 6;
    }
    return ys;
}

std::vector<ValueLabel> ValueAxisLabels(const PlotRect& rect, const PlotState& plot,
                                        TextMetrics metrics) {
    std::vector<ValueLabel> labels;
    const int32_t height = rect.bottom - rect.top;
    const int32_t x = rect.left - 4 * metrics.averageWidth - 5;
    for (int s = 0; s < ValueLevels; ++s) {
        for (int c = 0; c < MaxPlottedVariables; ++c) {
            if (plot.plottedVariable[At(c)] == -1) {
                continue;
            }
            const float minimum = plot.plotMinimum[At(c)];
            const float value =
                minimum + static_cast<float>(s) * (plot.plotMaximum[At(c)] - minimum) / 6.0f;
            const int32_t lift = static_cast<int32_t>((c + 0.5) * metrics.height);
            labels.push_back(
                {c, {x, rect.bottom - s * height / 6 - lift}, FormatNumber("%4.0f", value)});
        }
    }
    return labels;
}

int64_t SweepStartMs(int64_t ms, int32_t timeScale) {
    const int64_t sweep = int64_t{std::max(timeScale, 1)} * 1000;
    const int64_t start = ms / sweep * sweep;
    return ms < start ? start - sweep : start;  // whole sweeps downwards, also before 0
}

int32_t PlotPointX(int64_t ms, int64_t sweepStartMs, int32_t timeScale, const PlotRect& rect) {
    const double sweep = static_cast<double>(std::max(timeScale, 1)) * 1000.0;
    const double fraction = static_cast<double>(ms - sweepStartMs) / sweep;
    return rect.left + SaturatingTrunc(std::floor(fraction * (rect.right - rect.left)));
}

int32_t CarryCorrect(int32_t raw, int32_t& previousRaw) {
    const int64_t delta = static_cast<int64_t>(raw) - previousRaw;
    previousRaw = raw;
    if (delta >= 251 && delta <= 261) {
        return raw - 256;
    }
    if (delta >= -261 && delta <= -251) {
        return raw + 256;
    }
    return raw;
}

std::optional<int32_t> PlotPointY(int32_t value, float minimum, float maximum,
                                  const PlotRect& rect) {
    if (minimum == maximum) {
        return std::nullopt;
    }
    const float share = (static_cast<float>(value) - minimum) / (maximum - minimum);
    return rect.bottom - SaturatingTrunc(share * static_cast<float>(rect.bottom - rect.top));
}

int ClampSegment(const ChartSegment& segment, const PlotRect& rect,
                 std::array<ChartPoint, 4>& points) {
    const double x0 = segment.x0, y0 = segment.y0, dx = segment.x1 - x0, dy = segment.y1 - y0;
    const auto left = static_cast<double>(rect.left);
    const auto right = static_cast<double>(std::max(rect.left, rect.right));
    const auto top = static_cast<double>(rect.top);
    const auto bottom = static_cast<double>(std::max(rect.top, rect.bottom));
    // The part between the left and right edges, as a share of the segment.
    double from = 0.0, to = 1.0;
    if (dx > 0.0) {
        from = std::max(from, (left - x0) / dx);
        to = std::min(to, (right - x0) / dx);
    } else if (x0 < left || x0 > right) {
        return 0;
    }
    if (from > to) {
        return 0;
    }
    // Where the segment crosses the top or bottom, in order along it.
    std::array<double, 2> cuts{};
    int cutCount = 0;
    for (const double edge : {top, bottom}) {
        const double t = dy == 0.0 ? -1.0 : (edge - y0) / dy;
        if (t > from && t < to) {
            cuts[static_cast<size_t>(cutCount++)] = t;
        }
    }
    if (cutCount == 2 && cuts[0] > cuts[1]) {
        std::swap(cuts[0], cuts[1]);
    }
    auto at = [&](double t) {
        const double x = std::clamp(x0 + t * dx, left, right);
        const double y = std::clamp(y0 + t * dy, top, bottom);
        return ChartPoint{static_cast<int32_t>(std::lround(x)),
                          static_cast<int32_t>(std::lround(y))};
    };
    int count = 0;
    points[static_cast<size_t>(count++)] = at(from);
    for (int i = 0; i < cutCount; ++i) {
        points[static_cast<size_t>(count++)] = at(cuts[static_cast<size_t>(i)]);
    }
    points[static_cast<size_t>(count++)] = at(to);
    return count;
}

}  // namespace korvel
