#include "tests/support/ScriptedTransport.h"

namespace korvel {

int ScriptedTransport::ReadByte() {
    if (pending_.empty() || pending_.front().atMs > clock_.MonotonicMs()) {
        return NoByte;
    }
    const int byte = pending_.front().byte;
    pending_.pop_front();
    return byte;
}

int ScriptedTransport::SendByte(int byte) {
    if (refuseSends > 0) {
        --refuseSends;
        ++refusedCount;
        return NoByte;
    }
    const auto value = static_cast<uint8_t>(byte & 0xFF);
    sent.push_back(value);
    if (responder) {
        Inject(responder(value), replyDelayMs);
    }
    return 0;
}

void ScriptedTransport::Inject(const std::vector<uint8_t>& bytes, int64_t afterMs) {
    // Later bytes never overtake earlier ones, as on a serial line.
    int64_t at = clock_.MonotonicMs() + afterMs;
    if (!pending_.empty() && pending_.back().atMs > at) {
        at = pending_.back().atMs;
    }
    for (uint8_t b : bytes) {
        pending_.push_back({at, b});
    }
}

bool ScriptedTransport::WaitReadable(int64_t maxWaitMs) {
    ++readableWaits;
    const int64_t now = clock_.MonotonicMs();
    if (!pending_.empty() && pending_.front().atMs <= now + maxWaitMs) {
        clock_.Advance(pending_.front().atMs - now);
        return true;
    }
    clock_.Advance(maxWaitMs);
    return false;
}

void ScriptedTransport::WaitWritable(int64_t maxWaitMs) {
    ++writableWaits;
    clock_.Advance(maxWaitMs);
}

}  // namespace korvel
