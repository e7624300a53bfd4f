#pragma once
// Where the monitor panel puts its texts: two rows of eight columns, each
// column a variable's name with its latest value beneath. All positions are
// the top-left corner of a text, in multiples of the panel font's metrics.

#include <cstdint>

#include "monitor/PlotState.h"

namespace korvel {

constexpr int PanelColumns = 8;
constexpr int PanelColumnWidthChars = 10;

// The panel font's character height h and average character width w.
struct TextMetrics {
    int32_t height = 0;
    int32_t averageWidth = 0;
};

struct TextPosition {
    int32_t x = 0;
    int32_t y = 0;
};

// Variable k's name: x = 10 * column * w, y = 0 (first row) or 3h (second row).
TextPosition NamePosition(int k, TextMetrics metrics);

// Variable k's value: one text line below its name.
TextPosition ValuePosition(int k, TextMetrics metrics);

// Top of the chart band below the panel: 5h when a variable sits in the
// second row, otherwise 2h (also for an empty list).
int32_t PanelBottom(int variableCount, TextMetrics metrics);

// The channel whose colour a variable's name takes: the first channel that
// plots it, or -1 (black).
int NameChannel(int k, const PlotState& plot);

}  // namespace korvel
