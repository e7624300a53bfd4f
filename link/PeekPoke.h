#pragma once
// Single-byte ECU access, shared by the Peek/Poke dialog and the command
// line: Peek reads any address, Poke programs a byte of the calibration
// EEPROM. Each failure carries the text and caption the user sees.

#include <cstdint>
#include <optional>

#include "link/Protocol.h"

namespace korvel {

struct PeekPokeFailure {
    const char* text;
    const char* caption;
};

inline constexpr PeekPokeFailure AddressOutOfRange{"Address out of range", "Address Error"};
inline constexpr PeekPokeFailure NotAnEepromAddress{"Only EEPROM addresses may be poked",
                                                    "Poke Error"};
inline constexpr PeekPokeFailure AddressNotSent{"Could not send the address to the ECU",
                                                "Communications Error"};
inline constexpr PeekPokeFailure NoDataFromEcu{"Could not get data from ECU",
                                               "Communications Error"};

// Range checks, made before anything is sent. A missing address (text that
// is not a hex number) is out of range. nullptr when the address may be used.
const PeekPokeFailure* CheckPeekAddress(std::optional<uint32_t> address);
const PeekPokeFailure* CheckPokeAddress(std::optional<uint32_t> address);

// Reads the byte at `address`; nullptr on success.
const PeekPokeFailure* PeekByte(EcuLink& link, uint32_t address, uint8_t& value);

struct PokeResult {
    const PeekPokeFailure* failure = nullptr;  // the address or data byte was not echoed
    bool programmed = false;                   // the arm and commit sequence was echoed too
};

// Sends the address and the low 8 bits of `value`, then arms and commits the
// programming. The image in memory is not touched.
PokeResult PokeByte(EcuLink& link, uint32_t address, uint32_t value);

}  // namespace korvel
