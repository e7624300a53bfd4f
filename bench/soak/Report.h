#pragma once
// The soak's table, and whether it passed.

#include <cstdint>
#include <cstdio>

#include "bench/soak/CliSoak.h"
#include "bench/soak/DesktopSoak.h"

namespace korvel::soak {

struct Report {
    uint64_t seed = 0;
    int64_t seconds = 0;
    CliFigures cli;
    const DesktopFigures* desktop = nullptr;  // null: the desktop program did not run
};

void PrintReport(const Report& report, std::FILE* out);

// No false success, miscount, wrong upload, crash or hang; and where the
// desktop program ran, no crash, no broken or backward log line.
bool Passed(const Report& report);

}  // namespace korvel::soak
