#pragma once
// One complete acquisition pass over the monitored variables, as read. The
// scheduler hands it to every observer (panel and chart, data log, the
// command-line monitor, the benchmark); observers only read it.

#include <array>
#include <cstdint>

#include "monitor/MonitorFile.h"

namespace korvel {

// No gap since the previous pass.
constexpr int64_t NoGap = -1;

struct Sample {
    int variableCount = 0;
    std::array<uint32_t, MaxMonitorVariables> raw{};  // the values as read, uncorrected
    // Monotonic time of each variable's read, in ms since acquisition started.
    std::array<int64_t, MaxMonitorVariables> readMs{};
    int64_t passMs = 0;  // monotonic ms since acquisition started, when the pass completed
    int64_t wallMs = 0;  // wall clock of the pass, ms since 1970
    // When acquisition was first interrupted since the previous pass (a
    // pause, the ECU off line, a restart from the probe), on the readMs
    // clock; NoGap when it ran without a break. A read at or after it must
    // not be joined to a read before it.
    int64_t gapMs = NoGap;
};

// The latest values of a monitor list as a pass (read times unknown: 0).
inline Sample SampleOf(const MonitorFile& monitor) {
    Sample sample;
    sample.variableCount = monitor.variableCount;
    sample.raw = monitor.liveValues;
    return sample;
}

}  // namespace korvel
