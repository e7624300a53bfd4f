#include "link/PeekPoke.h"

#include "link/Transfers.h"

namespace korvel {

const PeekPokeFailure* CheckPeekAddress(std::optional<uint32_t> address) {
    return address && *address <= 0xFFFF ? nullptr : &AddressOutOfRange;
}

const PeekPokeFailure* CheckPokeAddress(std::optional<uint32_t> address) {
    if (!address) {
        return &AddressOutOfRange;
    }
    const bool eeprom = *address >= CalibrationFirstAddress && *address <= CalibrationLastAddress;
    return eeprom ? nullptr : &NotAnEepromAddress;
}

const PeekPokeFailure* PeekByte(EcuLink& link, uint32_t address, uint8_t& value) {
    if (SendAddress(link, address)) {
        return &AddressNotSent;
    }
    return ReadByteAtAddress(link, value) ? &NoDataFromEcu : nullptr;
}

PokeResult PokeByte(EcuLink& link, uint32_t address, uint32_t value) {
    if (SendAddress(link, address)) {
        return {&AddressNotSent, false};
    }
    if (WriteDataByte(link, value & 0xFFu)) {
        return {&NoDataFromEcu, false};
    }
    // The commit is sent only once the arm was echoed.
    const bool programmed = !ProgramArm(link) && !ProgramCommit(link);
    return {nullptr, programmed};
}

}  // namespace korvel
