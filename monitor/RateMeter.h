#pragma once
// The achieved acquisition rate: complete passes per second over the last
// two seconds, on the samples' clock.

#include <cstdint>
#include <deque>

namespace korvel {

class RateMeter {
public:
    static constexpr int64_t WindowMs = 2000;

    void Record(int64_t passMs);
    // Passes per second: the passes after the window's first one, over the
    // time from it to `nowMs`, so a stall lowers the figure. 0 with fewer
    // than two passes in the window.
    double PerSecond(int64_t nowMs) const;
    void Reset() { passes_.clear(); }

private:
    std::deque<int64_t> passes_;
};

}  // namespace korvel
