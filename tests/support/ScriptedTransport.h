#pragma once
// A ByteTransport for tests: a programmable responder answers each sent
// byte, bytes can be injected, sends refused and a failure simulated. Every
// byte taken for sending is recorded. Its waits advance a FakeClock instead
// of sleeping, so time-outs pass at once.

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/Transport.h"
#include "tests/support/FakeClock.h"

namespace korvel {

class ScriptedTransport : public ByteTransport {
public:
    // The reply bytes for one sent byte (none for silence).
    using Responder = std::function<std::vector<uint8_t>(uint8_t sent)>;

    explicit ScriptedTransport(FakeClock& clock, Responder respond = {})
        : responder(std::move(respond)), clock_(clock) {}

    // The next byte whose arrival time has come, or NoByte.
    int ReadByte() override;
    int SendByte(int byte) override;
    // A byte readable now: returns true at once. Otherwise advances the clock
    // to the next arrival within maxWaitMs (true), or by maxWaitMs (false).
    bool WaitReadable(int64_t maxWaitMs) override;
    // Advances the clock by maxWaitMs.
    void WaitWritable(int64_t maxWaitMs) override;
    bool HasFailed() const override { return failed; }

    // Bytes that arrive `afterMs` from now (at once by default).
    void Inject(const std::vector<uint8_t>& bytes, int64_t afterMs = 0);
    size_t PendingCount() const { return pending_.size(); }

    Responder responder;
    int64_t replyDelayMs = 0;   // responder's bytes arrive this long after the send
    std::vector<uint8_t> sent;  // every byte the port took, in order
    int refuseSends = 0;        // refuse this many next sends
    int refusedCount = 0;       // sends refused so far
    bool failed = false;
    int64_t readableWaits = 0;  // WaitReadable calls
    int64_t writableWaits = 0;  // WaitWritable calls

private:
    struct Arrival {
        int64_t atMs;
        uint8_t byte;
    };
    FakeClock& clock_;
    std::deque<Arrival> pending_;  // in arrival order
};

}  // namespace korvel
