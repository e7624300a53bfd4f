#include "monitor/RateMeter.h"

#include <cstddef>

namespace korvel {

void RateMeter::Record(int64_t passMs) {
    passes_.push_back(passMs);
    while (passMs - passes_.front() > WindowMs) {
        passes_.pop_front();
    }
}

double RateMeter::PerSecond(int64_t nowMs) const {
    size_t first = 0;
    while (first < passes_.size() && nowMs - passes_[first] > WindowMs) {
        ++first;
    }
    const size_t count = passes_.size() - first;
    if (count < 2 || nowMs <= passes_[first]) {
        return 0.0;
    }
    return static_cast<double>(count - 1) * 1000.0 / static_cast<double>(nowMs - passes_[first]);
}

}  // namespace korvel
