#include "sim/PacedEcu.h"

#include <algorithm>

namespace korvel {

int64_t CharacterTimeUs(int baud) {
    return baud > 0 ? (10'000'000 + baud / 2) / baud : 0;
}

PacedEcu::PacedEcu(VirtualEcu& ecu, LineTiming timing)
    : ecu_(ecu), timing_(timing), characterUs_(CharacterTimeUs(timing.baud)) {}

void PacedEcu::Receive(const uint8_t* bytes, size_t count, int64_t nowUs, int64_t wallMs) {
    ecu_.AdvanceEngine(wallMs);
    for (size_t i = 0; i < count; ++i) {
        const int64_t completeUs = std::max(nowUs, receiveFreeUs_) + characterUs_;
        receiveFreeUs_ = completeUs;
        replies_.clear();
        ecu_.Receive(bytes[i], replies_);
        int64_t readyUs = completeUs + timing_.latencyUs + ecu_.LastReplyLateMs() * 1000;
        if (ecu_.LastByteProgrammed()) {
            readyUs += timing_.programmingUs;
        }
        for (uint8_t reply : replies_) {
            const int64_t dueUs = std::max(readyUs, sendFreeUs_) + characterUs_;
            sendFreeUs_ = dueUs;
            queue_.push_back({dueUs, reply});
        }
    }
}

int64_t PacedEcu::NextDueUs() const {
    return queue_.empty() ? -1 : queue_.front().dueUs;
}

void PacedEcu::TakeDue(int64_t nowUs, std::vector<uint8_t>& out) {
    while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
        out.push_back(queue_.front().byte);
        queue_.pop_front();
    }
}

}  // namespace korvel
