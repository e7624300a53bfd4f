#pragma once
// The ECU's single-byte command protocol and the six blocking primitives.
// Every step sends one byte (retrying a refused send) and then waits for an
// echo or a data byte, each phase within ExchangeTimeoutMs of the monotonic
// clock. Waits sleep on the transport's readiness; they never spin.

#include <cstdint>
#include <functional>

#include "link/Clock.h"
#include "link/LinkResult.h"
#include "link/Reporter.h"
#include "link/Transport.h"

namespace korvel {

// Command bytes. n is a monitor slot number 0..15.
constexpr int SEND = 0x00;
constexpr int SEND_INC = 0x01;
constexpr int LOAD_ADDR_HI = 0x02;
constexpr int LOAD_ADDR_LO = 0x03;
constexpr int LOAD_DATA = 0x04;
constexpr int PROGRAM = 0x05;
constexpr int PROGRAM_ARM = 0x2B;
constexpr int PROGRAM_COMMIT = 0xB2;
constexpr int READ_SLOT = 0x80;       // + n
constexpr int SET_SLOT = 0x90;        // + n
constexpr int READ_SLOT_NEXT = 0xC0;  // + n
constexpr int ProbeParameter = 0x2B;  // the presence probe is LOAD_ADDR_HI 0x2B

constexpr int64_t ExchangeTimeoutMs = 2000;  // each phase of each step
constexpr int64_t OffLineTimeoutMs = 5000;   // non-blocking exchanges
// A refused send is retried after this short pause, so a port that keeps
// refusing costs a few wake-ups per second, not a core.
constexpr int64_t SendRetryPauseMs = 5;

// What every exchange needs: the port, the clock and the user.
struct EcuLink {
    ByteTransport& transport;
    Clock& clock;
    Reporter& reporter;
    // Asked between two bytes of a long transfer, never inside a programming
    // sequence; true stops the transfer there (LinkStep::Cancelled).
    std::function<bool()> cancelRequested{};
};

// Each reports which step failed and in which phase; ok() when all were
// echoed or answered in time.
LinkResult SendAddress(EcuLink& link, uint32_t address);  // 16 bits used
LinkResult ReadNextByte(EcuLink& link, uint32_t& value);  // reports its own time-outs
LinkResult ReadByteAtAddress(EcuLink& link, uint8_t& value);
LinkResult WriteDataByte(EcuLink& link, uint32_t value);  // low 8 bits used
LinkResult ProgramArm(EcuLink& link);
LinkResult ProgramCommit(EcuLink& link);

}  // namespace korvel
