#include "dialogs/FieldText.h"

#include <algorithm>
#include <cctype>

#include "calib/Text.h"

namespace korvel {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

uint32_t FieldUnsigned(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    uint64_t value = 0;  // no digits at all leaves 0
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > UINT32_MAX) {
            return 0;
        }
    }
    return static_cast<uint32_t>(value);
}

FieldReading ReadConstantField(std::string_view text, uint32_t maximum) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return {0, FieldProblem::Empty};
    }
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return {0, FieldProblem::NotANumber};
        }
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), UINT32_MAX + 1ull);
    }
    if (value > maximum) {
        return {0, FieldProblem::OutOfRange};
    }
    return {static_cast<uint32_t>(value), FieldProblem::None};
}

std::string FieldProblemText(std::string_view fieldName, FieldProblem problem, uint32_t maximum) {
    std::string text(fieldName);
    switch (problem) {
        case FieldProblem::Empty:
            text += " is empty.";
            break;
        case FieldProblem::NotANumber:
            text += " does not hold a whole number.";
            break;
        case FieldProblem::OutOfRange:
            text += " is out of range.";
            break;
        case FieldProblem::None:
            return {};
    }
    return text + "\nEnter a number from 0 to " + std::to_string(maximum) + ".";
}

std::optional<uint32_t> FieldHexAddress(std::string_view text) {
    text = text.substr(0, AddressFieldChars);
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // "0x" is a prefix only when a hex digit follows; otherwise the 0 is the number.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    uint32_t value = 0;
    size_t digits = 0;
    // Seven characters hold at most seven digits, so the value cannot overflow.
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i, ++digits) {
        value = value * 16 + static_cast<uint32_t>(HexDigit(text[i]));
    }
    if (digits == 0) {
        return std::nullopt;
    }
    // A minus sign wraps the number round, as an unsigned scan does.
    return negative ? 0u - value : value;
}

}  // namespace korvel
