#pragma once
// One complete acquisition pass over the monitored variables, as read. The
// scheduler hands it to every observer (panel and chart, data log, the
// command-line monitor, the benchmark); observers only read it.

#include <array>
#include <cstdint>

#include "monitor/MonitorFile.h"

namespace korvel {

struct Sample {
    int variableCount = 0;
    std::array<uint32_t, MaxMonitorVariables> raw{};  // the values as read, uncorrected
    // Monotonic time of each variable's read, in ms since acquisition started.
    std::array<int64_t, MaxMonitorVariables> readMs{};
    // Each read's position within the plot sweep, in ms (the chart's x).
    std::array<int32_t, MaxMonitorVariables> sampleTimes{};
    int64_t passMs = 0;  // monotonic ms since acquisition started, when the pass completed
    int64_t wallMs = 0;  // wall clock of the pass, ms since 1970
};

// The latest values of a monitor list as a pass (read times unknown: 0).
inline Sample SampleOf(const MonitorFile& monitor) {
    Sample sample;
    sample.variableCount = monitor.variableCount;
    sample.raw = monitor.liveValues;
    sample.sampleTimes = monitor.sampleTimes;
    return sample;
}

}  // namespace korvel
