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
LinkResult EchoStep(EcuLink& link, LinkStep step, int byte) {
    const int expected = byte & 0xFF;
    if (!SendPhase(link, expected)) {
        return LinkResult::Failed(step, LinkPhase::Send);
    }
    if (WaitPhase(link, [expected](int b) { return b == expected; }) == NoByte) {
        return LinkResult::Failed(step, LinkPhase::Wait);
    }
    return LinkResult::Ok();
}

// Sends a command and then its parameter, each echoed.
LinkResult CommandWithParameter(EcuLink& link, LinkStep step, int command, int parameter) {
    const LinkResult result = EchoStep(link, step, command);
    return result.ok() ? EchoStep(link, step, parameter) : result;
}

// Sends a command answered by one data byte and takes the first byte that
// arrives, whatever its value.
LinkResult DataStep(EcuLink& link, int command, int& byte) {
    if (!SendPhase(link, command)) {
        return LinkResult::Failed(LinkStep::ReadData, LinkPhase::Send);
    }
    byte = WaitPhase(link, [](int) { return true; });
    if (byte == NoByte) {
        return LinkResult::Failed(LinkStep::ReadData, LinkPhase::Wait);
    }
    return LinkResult::Ok();
}

}  // namespace

LinkResult SendAddress(EcuLink& link, uint32_t address) {
    LinkResult result = CommandWithParameter(link, LinkStep::Address, LOAD_ADDR_HI,
                                             static_cast<int>((address >> 8) & 0xFF));
    if (result.ok()) {
        result = CommandWithParameter(link, LinkStep::Address, LOAD_ADDR_LO,
                                      static_cast<int>(address & 0xFF));
    }
    return result.At(address);
}

LinkResult ReadNextByte(EcuLink& link, uint32_t& value) {
    int byte = NoByte;
    const LinkResult result = DataStep(link, SEND_INC, byte);
    if (!result.ok()) {
        link.reporter.ShowMessage(result.phase == LinkPhase::Send
                                      ? "Timed out sending SEND_INC command"
                                      : "Timed out waiting for data");
        return result;
    }
    value = static_cast<uint32_t>(byte);
    return result;
}

LinkResult ReadByteAtAddress(EcuLink& link, uint8_t& value) {
    int byte = NoByte;
    const LinkResult result = DataStep(link, SEND, byte);
    if (result.ok()) {
        value = static_cast<uint8_t>(byte);
    }
    return result;
}

LinkResult WriteDataByte(EcuLink& link, uint32_t value) {
    LinkResult result =
        CommandWithParameter(link, LinkStep::LoadData, LOAD_DATA, static_cast<int>(value & 0xFF));
    if (!result.ok()) {
        result.written = value & 0xFF;
    }
    return result;
}

LinkResult ProgramArm(EcuLink& link) {
    return CommandWithParameter(link, LinkStep::Arm, PROGRAM, PROGRAM_ARM);
}

LinkResult ProgramCommit(EcuLink& link) {
    return CommandWithParameter(link, LinkStep::Commit, PROGRAM, PROGRAM_COMMIT);
}

}  // namespace korvel
