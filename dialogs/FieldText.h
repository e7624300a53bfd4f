#pragma once
// How the dialogs read numbers typed into their edit fields.

#include <cstdint>
#include <optional>
#include <string_view>

namespace korvel {

// The address field is read through a buffer of this many characters.
constexpr int AddressFieldChars = 7;

// An unsigned decimal field: optional leading blanks, then digits, up to the
// first other character. No digits, a sign, or a number beyond 32 bits reads
// as 0, as does an empty field.
uint32_t FieldUnsigned(std::string_view text);

// A hexadecimal address scanned like "%x" from the first AddressFieldChars
// characters: optional white space, optional sign, optional "0x", hex
// digits. nullopt when no hex number is there (empty, "xyz").
std::optional<uint32_t> FieldHexAddress(std::string_view text);

}  // namespace korvel
