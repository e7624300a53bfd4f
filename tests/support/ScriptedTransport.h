#pragma once
// A ByteTransport for tests: a programmable responder answers each sent
// byte, sends can be refused and a failure simulated. Every byte taken for
// sending is recorded. Its waits advance a FakeClock instead of sleeping, so
// time-outs pass at once.

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/Transport.h"
#include "tests/support/FakeClock.h"

namespace korvel {

class ScriptedTransport : public ByteTransport {
public:
    // Appends the reply bytes for one sent byte (none for silence).
    using Responder = std::function<void(uint8_t sent, std::vector<uint8_t>& reply)>;

    explicit ScriptedTransport(FakeClock& clock, Responder respond = {})
        : responder(std::move(respond)), clock_(clock) {}

    Responder responder;
    int64_t replyDelayMs = 0;   // responder's bytes arrive this long after the send
    std::vector<uint8_t> sent;  // every byte the port took, in order
    int refuseSends = 0;        // refuse this many next sends
    bool failed = false;
    int64_t readableWaits = 0;  // WaitReadable calls

    // The next byte whose arrival time has come, or NoByte.
    int ReadByte() override {
        if (pending_.empty() || pending_.front().atMs > clock_.MonotonicMs()) {
            return NoByte;
        }
        const int byte = pending_.front().byte;
        pending_.pop_front();
        return byte;
    }
    // The reply arrives replyDelayMs from now, never overtaking earlier
    // bytes, as on a serial line.
    int SendByte(int byte) override {
        if (refuseSends > 0) {
            --refuseSends;
            return NoByte;
        }
        sent.push_back(static_cast<uint8_t>(byte));
        std::vector<uint8_t> reply;
        if (responder) {
            responder(sent.back(), reply);
        }
        const int64_t at = clock_.MonotonicMs() + replyDelayMs;
        for (uint8_t b : reply) {
            pending_.push_back({pending_.empty() ? at : std::max(at, pending_.back().atMs), b});
        }
        return 0;
    }
    // A byte readable now: true at once. Otherwise advances the clock to the
    // next arrival within maxWaitMs (true), or by maxWaitMs (false).
    bool WaitReadable(int64_t maxWaitMs) override {
        ++readableWaits;
        const int64_t now = clock_.MonotonicMs();
        const bool arrives = !pending_.empty() && pending_.front().atMs <= now + maxWaitMs;
        clock_.Advance(arrives ? pending_.front().atMs - now : maxWaitMs);
        return arrives;
    }
    void WaitWritable(int64_t maxWaitMs) override { clock_.Advance(maxWaitMs); }
    bool HasFailed() const override { return failed; }

private:
    struct Arrival {
        int64_t atMs;
        uint8_t byte;
    };
    FakeClock& clock_;
    std::deque<Arrival> pending_;  // in arrival order
};

}  // namespace korvel
