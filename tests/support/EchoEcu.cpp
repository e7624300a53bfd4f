#include "tests/support/EchoEcu.h"

#include "link/Protocol.h"

namespace korvel {

std::vector<uint8_t> EchoEcu::Receive(uint8_t byte) {
    if (command_ >= 0) {
        TakeParameter(byte);
        return {byte};
    }
    const int slot = byte & 0x0F;
    const uint8_t variable = slotAddress[static_cast<size_t>(slot)];
    switch (byte & 0xF0) {
        case READ_SLOT:
            return {memory[variable]};
        case READ_SLOT_NEXT:
            return {memory[static_cast<uint8_t>(variable + 1)]};
        case SET_SLOT:
            slotAddress[static_cast<size_t>(slot)] = data_;
            return {byte};
        default:
            break;
    }
    switch (byte) {
        case SEND:
            return {memory[pointer]};
        case SEND_INC:
            return {memory[pointer++]};
        case LOAD_ADDR_HI:
        case LOAD_ADDR_LO:
        case LOAD_DATA:
        case PROGRAM:
            command_ = byte;
            return {byte};
        default:
            return {};  // unknown commands go unanswered
    }
}

void EchoEcu::TakeParameter(uint8_t byte) {
    switch (command_) {
        case LOAD_ADDR_HI:
            pointer = static_cast<uint16_t>((pointer & 0x00FF) | (byte << 8));
            break;
        case LOAD_ADDR_LO:
            pointer = static_cast<uint16_t>((pointer & 0xFF00) | byte);
            break;
        case LOAD_DATA:
            data_ = byte;
            break;
        default:  // PROGRAM: arm, then commit
            if (byte == PROGRAM_COMMIT && armed_) {
                memory[pointer] = data_;
                programmed.push_back(pointer);
            }
            armed_ = byte == PROGRAM_ARM;
            break;
    }
    command_ = -1;
}

}  // namespace korvel
