#include "link/PeekPoke.h"

#include "link/Transfers.h"

namespace korvel {

LinkResult CheckPeekAddress(std::optional<uint32_t> address) {
    if (!address) {
        return LinkResult::Failed(LinkStep::AddressRange, LinkPhase::None);
    }
    return *address <= 0xFFFF
               ? LinkResult::Ok()
               : LinkResult::Failed(LinkStep::AddressRange, LinkPhase::None).At(*address);
}

LinkResult CheckPokeAddress(std::optional<uint32_t> address) {
    if (!address) {
        return LinkResult::Failed(LinkStep::AddressRange, LinkPhase::None);
    }
    const bool eeprom = *address >= CalibrationFirstAddress && *address <= CalibrationLastAddress;
    return eeprom ? LinkResult::Ok()
                  : LinkResult::Failed(LinkStep::EepromRange, LinkPhase::None).At(*address);
}

LinkResult PeekByte(EcuLink& link, uint32_t address, uint8_t& value) {
    LinkResult result = SendAddress(link, address);
    if (result.ok()) {
        result = ReadByteAtAddress(link, value);
    }
    return result.At(address);
}

LinkResult PokeByte(EcuLink& link, uint32_t address, uint8_t value) {
    LinkResult result = SendAddress(link, address);
    if (result.ok()) {
        result = ProgramByte(link, value);
    }
    return result.At(address);
}

std::optional<PeekPokeFailure> PeekPokeFailureFor(const LinkResult& result) {
    switch (result.step) {
        case LinkStep::AddressRange:
            return AddressOutOfRange;
        case LinkStep::EepromRange:
            return NotAnEepromAddress;
        case LinkStep::Address:
            return AddressNotSent;
        case LinkStep::ReadData:
        case LinkStep::LoadData:
            return NoDataFromEcu;
        case LinkStep::Arm:
        case LinkStep::Commit:
            return SequenceNotEchoed;
        case LinkStep::Verify:
            return PeekPokeFailure{VerifyFailureText(result), VerifyErrorCaption};
        case LinkStep::None:
        case LinkStep::Cancelled:
            break;
    }
    return std::nullopt;
}

}  // namespace korvel
