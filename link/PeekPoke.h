#pragma once
// Single-byte ECU access, shared by the Peek/Poke dialog and the command
// line: Peek reads any address, Poke programs a byte of the calibration
// EEPROM. Each reports through the link's result; PeekPokeFailureFor gives
// the text and caption the user sees for it.

#include <cstdint>
#include <optional>
#include <string>

#include "link/LinkResult.h"
#include "link/Protocol.h"

namespace korvel {

struct PeekPokeFailure {
    std::string text;
    const char* caption;
};

inline const PeekPokeFailure AddressOutOfRange{"Address out of range", "Address Error"};
inline const PeekPokeFailure NotAnEepromAddress{"Only EEPROM addresses may be poked", "Poke Error"};
inline const PeekPokeFailure AddressNotSent{"Could not send the address to the ECU",
                                            "Communications Error"};
inline const PeekPokeFailure NoDataFromEcu{"Could not get data from ECU", "Communications Error"};
inline const PeekPokeFailure SequenceNotEchoed{
    "Poke failed: the ECU did not echo the programming sequence", "Communications Error"};
constexpr const char* VerifyErrorCaption = "Verify Error";

// Range checks, made before anything is sent. A missing address (text that
// is not a hex number) is out of range.
LinkResult CheckPeekAddress(std::optional<uint32_t> address);
LinkResult CheckPokeAddress(std::optional<uint32_t> address);

// Reads the byte at `address`.
LinkResult PeekByte(EcuLink& link, uint32_t address, uint8_t& value);

// Sends the address and `value`, then arms and commits the programming and
// reads the byte back. The image in memory is not touched.
LinkResult PokeByte(EcuLink& link, uint32_t address, uint8_t value);

// What the user is told about a Peek or Poke: nothing when it succeeded; a
// programming sequence that was not echoed is a failure like any other (a
// poke is never silently lost); a read-back that differs names the address
// and both values.
std::optional<PeekPokeFailure> PeekPokeFailureFor(const LinkResult& result);

}  // namespace korvel
