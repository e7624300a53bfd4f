#pragma once
// Time for the link: a monotonic clock for time-outs (immune to the system
// time being set), and the wall clock for sample positions in a plot sweep.

#include <cstdint>

namespace korvel {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t MonotonicMs() = 0;  // for time-outs only
    virtual int64_t WallMs() = 0;       // milliseconds since 1970
};

class SystemClock : public Clock {
public:
    int64_t MonotonicMs() override;
    int64_t WallMs() override;
};

}  // namespace korvel
