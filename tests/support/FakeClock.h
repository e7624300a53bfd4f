#pragma once
// A clock that moves only when a test (or a test transport) advances it.

#include <algorithm>
#include <cstdint>

#include "link/Clock.h"

namespace korvel {

class FakeClock : public Clock {
public:
    explicit FakeClock(int64_t monotonicMs = 1'000'000, int64_t wallMs = 1'700'000'000'000)
        : monotonic_(monotonicMs), wall_(wallMs) {}

    int64_t MonotonicMs() override { return monotonic_; }
    int64_t WallMs() override { return wall_; }
    // Moves both clocks on by `ms` (never back).
    void Advance(int64_t ms) {
        monotonic_ += std::max<int64_t>(ms, 0);
        wall_ += std::max<int64_t>(ms, 0);
    }
    // The calendar clock may be set to anything; the monotonic clock is not touched.
    void SetWallMs(int64_t wallMs) { wall_ = wallMs; }

private:
    int64_t monotonic_, wall_;
};

}  // namespace korvel
