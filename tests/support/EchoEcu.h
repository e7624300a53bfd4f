#pragma once
// A well-behaved ECU in a few lines, for ScriptedTransport: a 64 KiB memory,
// an address pointer and 16 monitor slots, answering every command as the
// protocol says. Faults are made by wrapping Receive in a test's responder.

#include <array>
#include <cstdint>
#include <vector>

#include "link/Protocol.h"

namespace korvel {

class EchoEcu {
public:
    std::array<uint8_t, 65536> memory{};
    uint16_t pointer = 0;

    std::vector<uint8_t> Receive(uint8_t byte) {
        if (command_ >= 0) {
            TakeParameter(byte);
            return {byte};
        }
        const uint8_t variable = slotAddress_[byte & 0x0F];
        switch (byte & 0xF0) {
            case READ_SLOT:
                return {memory[variable]};
            case READ_SLOT_NEXT:
                return {memory[static_cast<uint8_t>(variable + 1)]};
            case SET_SLOT:
                slotAddress_[byte & 0x0F] = data_;
                return {byte};
        }
        if (byte == SEND || byte == SEND_INC) {
            return {memory[byte == SEND ? pointer : pointer++]};
        }
        if (byte >= LOAD_ADDR_HI && byte <= PROGRAM) {
            command_ = byte;
            return {byte};
        }
        return {};  // unknown commands go unanswered
    }

private:
    void TakeParameter(uint8_t byte) {
        if (command_ == LOAD_ADDR_HI || command_ == LOAD_ADDR_LO) {
            const int shift = command_ == LOAD_ADDR_HI ? 8 : 0;
            pointer = static_cast<uint16_t>((pointer & ~(0xFF << shift)) | (byte << shift));
        } else if (command_ == LOAD_DATA) {
            data_ = byte;
        } else {  // PROGRAM: arm, then commit
            if (byte == PROGRAM_COMMIT && armed_) {
                memory[pointer] = data_;
            }
            armed_ = byte == PROGRAM_ARM;
        }
        command_ = -1;
    }

    std::array<uint8_t, 16> slotAddress_{};
    int command_ = -1;  // a command awaiting its parameter byte
    uint8_t data_ = 0;  // the last LOAD_DATA parameter
    bool armed_ = false;
};

}  // namespace korvel
