#pragma once
// The numbers of the sweeping strip chart: the frame below the monitor panel
// (grey band, white plot area, ticks, grid and axis labels) and where a read
// lies in it. Drawing code turns these numbers into pixels; nothing here
// knows about pixels. The lines' history is ChartHistory's.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/PanelLayout.h"
#include "monitor/PlotState.h"

namespace korvel {

// Below this many pixels of chart height only the grey band is drawn.
constexpr int32_t MinimumChartHeight = 50;

struct ChartFrame {
    PlotRect band;      // grey: full client width, from the panel's bottom down
    PlotRect plotRect;  // what the updates plot into (also when no chart is drawn)
    bool chartDrawn = false;
};

// The frame for a client area of the given size whose panel ends at `panelBottom`.
ChartFrame ComputeChartFrame(int32_t clientWidth, int32_t clientHeight, int32_t panelBottom,
                             TextMetrics metrics);

constexpr int TimeTicks = 10;
constexpr int GridLines = 5;
constexpr int ValueLevels = 7;  // y labels at the bottom, the five grid lines and the top

struct TimeTick {
    int32_t x = 0;  // the tick runs from (x, bottom - 8) to (x, bottom)
    TextPosition labelAt;
    std::string label;  // "%4.1f" seconds
};

std::array<TimeTick, TimeTicks> TimeAxisTicks(const PlotRect& rect, int32_t timeScale,
                                              TextMetrics metrics);

// The y of each dotted grid line, top to bottom.
std::array<int32_t, GridLines> GridLineYs(const PlotRect& rect);

struct ValueLabel {
    int channel = 0;
    TextPosition at;
    std::string text;  // "%4.0f" raw count
};

// For each level, bottom to top, one label per channel in use, stacked
// upwards from the level with channel 0 lowest.
std::vector<ValueLabel> ValueAxisLabels(const PlotRect& rect, const PlotState& plot,
                                        TextMetrics metrics);

// Where the sweep holding `ms` starts: sweeps are timeScale seconds long and
// start at whole multiples of it on the reads' clock. A time scale below 1
// counts as 1.
int64_t SweepStartMs(int64_t ms, int32_t timeScale);

// A read's x: its time after the sweep's start scaled to the plot width;
// left of the plot area for a read before the sweep started.
int32_t PlotPointX(int64_t ms, int64_t sweepStartMs, int32_t timeScale, const PlotRect& rect);

// Undoes a carry caught between the two bytes of a read: a step of about
// +256 (251..261) loses 256, one of about -256 gains it. `previousRaw`
// becomes the uncorrected value.
int32_t CarryCorrect(int32_t raw, int32_t& previousRaw);

// The y of a raw value within the channel's range; nullopt when the range
// is empty (minimum equals maximum), so the channel is not drawn. Values
// outside the range lie outside the plot area (bounded, never overflowing).
std::optional<int32_t> PlotPointY(int32_t value, float minimum, float maximum,
                                  const PlotRect& rect);

// One straight piece of a channel's line, between two reads.
struct ChartSegment {
    int channel = 0;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool operator==(const ChartSegment&) const = default;
};

struct ChartPoint {
    int32_t x = 0, y = 0;
};

// A segment as drawn: held inside `rect` (edges included). The part left of
// the plot area (from a read before the sweep started) is cut off there; the
// part beyond the top or bottom runs along that edge, so a value outside the
// channel's range shows at the edge; the part inside keeps its slope. Fills
// `points` with a polyline and returns how many points it has (0, or 2 to 4).
int ClampSegment(const ChartSegment& segment, const PlotRect& rect,
                 std::array<ChartPoint, 4>& points);

}  // namespace korvel
