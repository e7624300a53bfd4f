#pragma once
// The virtual ECU behind a serial line of a given baud rate: a received byte
// is complete one character time after the previous one, and its replies
// leave after the reply latency (plus the programming time after an EEPROM
// commit, plus the ECU's own lateness), one character time apart: a late
// reply holds back the ones behind it, as on a real line. Times are microseconds of any monotonic
// clock, so the pacing is tested without waiting.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/VirtualEcu.h"

namespace korvel {

struct LineTiming {
    int baud = 9600;            // 0: unpaced, replies leave at once
    int64_t latencyUs = 0;      // before every reply
    int64_t programmingUs = 0;  // before the echo that commits an EEPROM write
};

// 1 start bit, 8 data bits, 1 stop bit.
int64_t CharacterTimeUs(int baud);

class PacedEcu {
public:
    PacedEcu(VirtualEcu& ecu, LineTiming timing);

    // Bytes read from the line at `nowUs`; the engine is moved on to `wallMs`.
    void Receive(const uint8_t* bytes, size_t count, int64_t nowUs, int64_t wallMs);

    // When the next reply byte is due, or -1 when none is queued.
    int64_t NextDueUs() const;

    // Moves the reply bytes due by `nowUs` to `out`, in order.
    void TakeDue(int64_t nowUs, std::vector<uint8_t>& out);

    // Forgets queued replies (the other end hung up).
    void DropQueued() { queue_.clear(); }

private:
    struct Outgoing {
        int64_t dueUs;
        uint8_t byte;
    };

    VirtualEcu& ecu_;
    LineTiming timing_;
    int64_t characterUs_;
    int64_t receiveFreeUs_ = 0;
    int64_t sendFreeUs_ = 0;
    std::deque<Outgoing> queue_;
    std::vector<uint8_t> replies_;
};

}  // namespace korvel
