#pragma once
// How the dialogs read numbers typed into their edit fields.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// The address field is read through a buffer of this many characters.
constexpr int AddressFieldChars = 7;

// An unsigned decimal field: optional leading blanks, then digits, up to the
// first other character. No digits, a sign, or a number beyond 32 bits reads
// as 0, as does an empty field.
uint32_t FieldUnsigned(std::string_view text);

// What is wrong with a constants field, if anything.
enum class FieldProblem { None, Empty, NotANumber, OutOfRange };

struct FieldReading {
    uint32_t value = 0;  // meaningful only without a problem
    FieldProblem problem = FieldProblem::None;
};

// A constants field: a whole unsigned decimal number from 0 to `maximum`,
// blanks around it allowed. Anything else is a problem, and nothing may be
// stored from it: the slots would otherwise receive 0 or a truncated value.
FieldReading ReadConstantField(std::string_view text, uint32_t maximum);

// The message for a field with a problem, naming the field and its range.
std::string FieldProblemText(std::string_view fieldName, FieldProblem problem, uint32_t maximum);

// A hexadecimal address scanned like "%x" from the first AddressFieldChars
// characters: optional white space, optional sign, optional "0x", hex
// digits. nullopt when no hex number is there (empty, "xyz").
std::optional<uint32_t> FieldHexAddress(std::string_view text);

}  // namespace korvel
