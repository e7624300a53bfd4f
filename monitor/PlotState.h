#pragma once
// The strip chart's plot state: which variable each of the three channels
// plots, with its range, the sweep length and the carry-correction history.
// The lines themselves are the chart's own (ChartHistory).

#include <array>
#include <cstdint>

namespace korvel {

constexpr int MaxPlottedVariables = 3;

// The longest sweep: its length in milliseconds fits a 32-bit sample time.
constexpr int32_t MaxTimeScaleSeconds = 2147483;

struct PlotRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct PlotState {
    std::array<int32_t, MaxPlottedVariables> plottedVariable{-1, -1, -1};  // -1: free
    std::array<float, MaxPlottedVariables> plotMinimum{0.0f, 0.0f, 0.0f};
    std::array<float, MaxPlottedVariables> plotMaximum{3000.0f, 3000.0f, 3000.0f};
    // Moves on whenever a channel is given or freed: the chart then forgets
    // its line, so a reused channel starts a fresh one.
    std::array<uint32_t, MaxPlottedVariables> assignment{};
    int32_t timeScale = 20;  // seconds, never 0
    PlotRect plotRect;
    // Lives for the whole run; never reset, not even when a channel is freed.
    std::array<int32_t, MaxPlottedVariables> previousRaw{};

    // Gives `variable` to the first free channel with the range; returns the
    // channel, or -1 when all three are in use (nothing changes).
    int AddChannel(int variable, float minimum, float maximum);

    // Frees the first channel that plots `variable`; returns the channel, or
    // -1 when no channel plots it.
    int DeleteChannel(int variable);

    // The first channel that plots `variable`, or -1.
    int ChannelOf(int variable) const;
};

}  // namespace korvel
