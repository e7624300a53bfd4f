#include "link/Protocol.h"

#include <algorithm>

namespace korvel {

namespace {

// Send phase: hands `byte` to the port, retrying a refusal until the phase's
// own time limit passes. True when the port took the byte.
bool SendPhase(EcuLink& link, int byte) {
    const int64_t deadline = link.clock.MonotonicMs() + ExchangeTimeoutMs;
    for (;;) {
        if (link.transport.SendByte(byte) != NoByte) {
            return true;
        }
        const int64_t now = link.clock.MonotonicMs();
        if (now >= deadline) {
            return false;
        }
        link.transport.WaitWritable(std::min(deadline - now, SendRetryPauseMs));
    }
}

// Wait phase: returns the first byte that `accept` takes, or NoByte when the
// phase's time limit passes. Rejected bytes are dropped; between bytes the
// wait sleeps on the port (a failed port sleeps until the deadline).
template <typename Accept>
int WaitPhase(EcuLink& link, Accept accept) {
    const int64_t deadline = link.clock.MonotonicMs() + ExchangeTimeoutMs;
    for (;;) {
        const int byte = link.transport.ReadByte();
        if (byte != NoByte && accept(byte)) {
            return byte;
        }
        const int64_t now = link.clock.MonotonicMs();
        if (now >= deadline) {
            return NoByte;
        }
        if (byte == NoByte) {
            link.transport.WaitReadable(deadline - now);
        }
    }
}

// Sends `byte` and waits for the ECU to echo it; stray bytes are skipped.
bool EchoStep(EcuLink& link, int byte) {
    const int expected = byte & 0xFF;
    if (!SendPhase(link, expected)) {
        return false;
    }
    return WaitPhase(link, [expected](int b) { return b == expected; }) != NoByte;
}

// Sends a command and sends its parameter, each echoed. Returns `failed`.
bool CommandWithParameter(EcuLink& link, int command, int parameter) {
    return !EchoStep(link, command) || !EchoStep(link, parameter);
}

int TakeAnyByte(EcuLink& link) {
    return WaitPhase(link, [](int) { return true; });
}

}  // namespace

bool SendAddress(EcuLink& link, uint32_t address) {
    return CommandWithParameter(link, LOAD_ADDR_HI, static_cast<int>((address >> 8) & 0xFF)) ||
           CommandWithParameter(link, LOAD_ADDR_LO, static_cast<int>(address & 0xFF));
}

bool ReadNextByte(EcuLink& link, uint32_t& value) {
    if (!SendPhase(link, SEND_INC)) {
        link.reporter.ShowMessage("Timed out sending SEND_INC command");
        return true;
    }
    const int byte = TakeAnyByte(link);
    if (byte == NoByte) {
        link.reporter.ShowMessage("Timed out waiting for data");
        return true;
    }
    value = static_cast<uint32_t>(byte);
    return false;
}

bool ReadByteAtAddress(EcuLink& link, uint8_t& value) {
    if (!SendPhase(link, SEND)) {
        return true;
    }
    const int byte = TakeAnyByte(link);
    if (byte == NoByte) {
        return true;
    }
    value = static_cast<uint8_t>(byte);
    return false;
}

bool WriteDataByte(EcuLink& link, uint32_t value) {
    return CommandWithParameter(link, LOAD_DATA, static_cast<int>(value & 0xFF));
}

bool ProgramArm(EcuLink& link) {
    return CommandWithParameter(link, PROGRAM, PROGRAM_ARM);
}

bool ProgramCommit(EcuLink& link) {
    return CommandWithParameter(link, PROGRAM, PROGRAM_COMMIT);
}

}  // namespace korvel
