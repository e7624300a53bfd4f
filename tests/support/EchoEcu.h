#pragma once
// A well-behaved ECU in a few lines, for ScriptedTransport: a 64 KiB memory,
// an address pointer and 16 monitor slots, answering every command as the
// protocol says. Faults are made by wrapping its responder in a test.

#include <array>
#include <cstdint>
#include <vector>

#include "tests/support/ScriptedTransport.h"

namespace korvel {

class EchoEcu {
public:
    std::array<uint8_t, 65536> memory{};
    uint16_t pointer = 0;
    std::array<uint8_t, 16> slotAddress{};
    std::vector<uint16_t> programmed;  // addresses committed, in order

    std::vector<uint8_t> Receive(uint8_t byte);
    // A responder that forwards to this ECU (which must outlive it).
    ScriptedTransport::Responder Responder() {
        return [this](uint8_t byte) { return Receive(byte); };
    }

private:
    void TakeParameter(uint8_t byte);

    int command_ = -1;  // a command awaiting its parameter byte
    uint8_t data_ = 0;  // the last LOAD_DATA parameter
    bool armed_ = false;
};

}  // namespace korvel
