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

bool HasLastPoint(const PlotState& plot, int channel) {
    return plot.lastPointX[At(channel)] != 0 || plot.lastPointY[At(channel)] != 0;
}

// A new sweep: every channel that has a last point continues from the left
// edge at its old height. A channel without one keeps none, so it draws no
// stray segment from the window's top edge when it is given a variable.
void RestartSweep(PlotState& plot) {
    for (int c = 0; c < MaxPlottedVariables; ++c) {
        if (HasLastPoint(plot, c)) {
            plot.lastPointX[At(c)] = plot.plotRect.left;
        }
    }
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

int32_t PlotPointX(int32_t sampleTimeMs, int32_t timeScale, const PlotRect& rect) {
    const int32_t seconds = timeScale < 1 ? 1 : timeScale;
    const double fraction = static_cast<double>(sampleTimeMs) / seconds / 1000.0;
    return rect.left + SaturatingTrunc(fraction * (rect.right - rect.left));
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

int PlotSample(PlotState& plot, MonitorFile& monitor, int k,
               std::array<ChannelStep, MaxPlottedVariables>& steps) {
    int count = 0;
    const size_t variable = At(k);
    for (int c = 0; c < MaxPlottedVariables; ++c) {
        if (plot.plottedVariable[At(c)] != k) {
            continue;
        }
        const int32_t x = PlotPointX(monitor.sampleTimes[variable], plot.timeScale, plot.plotRect);
        const int32_t raw = static_cast<int32_t>(monitor.liveValues[variable]);
        const int32_t value = CarryCorrect(raw, plot.previousRaw[At(c)]);
        monitor.liveValues[variable] = static_cast<uint32_t>(value);
        const std::optional<int32_t> y =
            PlotPointY(value, plot.plotMinimum[At(c)], plot.plotMaximum[At(c)], plot.plotRect);
        if (!y) {
            continue;
        }
        ChannelStep step;
        step.channel = c;
        if (x < plot.lastPointX[At(c)]) {
            step.restarted = true;
            RestartSweep(plot);
        }
        if (HasLastPoint(plot, c)) {
            step.drawn = true;
            step.x0 = plot.lastPointX[At(c)];
            step.y0 = plot.lastPointY[At(c)];
            step.x1 = x;
            step.y1 = *y;
        }
        plot.lastPointX[At(c)] = x;
        plot.lastPointY[At(c)] = *y;
        steps[At(count++)] = step;
    }
    return count;
}

int ClampSegment(const ChannelStep& step, const PlotRect& rect, std::array<ChartPoint, 4>& points) {
    const double x0 = step.x0, y0 = step.y0, dx = step.x1 - x0, dy = step.y1 - y0;
    const auto top = static_cast<double>(rect.top);
    const auto bottom = static_cast<double>(std::max(rect.top, rect.bottom));
    // Where the segment crosses an edge, in order along it.
    std::array<double, 2> cuts{};
    int cutCount = 0;
    for (const double edge : {top, bottom}) {
        const double t = dy == 0.0 ? -1.0 : (edge - y0) / dy;
        if (t > 0.0 && t < 1.0) {
            cuts[static_cast<size_t>(cutCount++)] = t;
        }
    }
    if (cutCount == 2 && cuts[0] > cuts[1]) {
        std::swap(cuts[0], cuts[1]);
    }
    auto at = [&](double t) {
        const double x = std::clamp(x0 + t * dx, static_cast<double>(rect.left),
                                    static_cast<double>(std::max(rect.left, rect.right)));
        const double y = std::clamp(y0 + t * dy, top, bottom);
        return ChartPoint{static_cast<int32_t>(std::lround(x)),
                          static_cast<int32_t>(std::lround(y))};
    };
    int count = 0;
    points[static_cast<size_t>(count++)] = at(0.0);
    for (int i = 0; i < cutCount; ++i) {
        points[static_cast<size_t>(count++)] = at(cuts[static_cast<size_t>(i)]);
    }
    points[static_cast<size_t>(count++)] = at(1.0);
    return count;
}

}  // namespace korvel
