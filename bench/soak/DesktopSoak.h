#pragma once
// The desktop program (offscreen), monitoring and logging, through a random
// schedule of silences, stalls and unplugs of its simulator: how long it
// takes to log a complete pass again after each, its memory and CPU, and
// whether its log stays whole.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/soak/Checks.h"
#include "bench/soak/Programs.h"

namespace korvel::soak {

struct DesktopFigures {
    int silences = 0, stalls = 0, unplugs = 0;
    std::vector<int64_t> recoveriesMs;
    int unrecovered = 0;
    long rssStartKb = 0, rssEndKb = 0;
    double cpuPercent = 0;  // of one core, from the first fault's start to the last's recovery
    LogCheck log;
    int messages = 0;      // message boxes it would have shown
    bool crashed = false;  // it ended before it was told to
    std::string error;     // it could not be started
};

DesktopFigures RunDesktopSoak(const Programs& programs, uint64_t seed, int64_t untilMs);

}  // namespace korvel::soak
