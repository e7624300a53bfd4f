#include "monitor/MonitorFile.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "calib/Text.h"

namespace korvel {

namespace {

constexpr size_t AddressFieldLength = 8;

// Reads one byte at a time, as the file is read; end of data is nullopt.
class ByteReader {
public:
    explicit ByteReader(ByteSource next) : next_(std::move(next)) {}
    std::optional<char> Next() {
        const int c = next_();
        return c < 0 ? std::nullopt : std::optional<char>(static_cast<char>(c));
    }
    // Skips up to and including the next LF; false at end of data.
    bool SkipLine() {
        for (auto c = Next(); c; c = Next()) {
            if (*c == '\n') {
                return true;
            }
        }
        return false;
    }

private:
    ByteSource next_;
};

// Decimal, or hexadecimal when the field ends in 'h'/'H'; 8-bit arithmetic,
// so only the number modulo 256 remains. A character that is not a digit of
// the field's form is skipped: it neither adds to the number nor shifts it.
uint8_t ParseAddress(std::string_view field) {
    const bool hex = !field.empty() && (field.back() == 'h' || field.back() == 'H');
    if (hex) {
        field.remove_suffix(1);
    }
    const int base = hex ? 16 : 10;
    uint8_t value = 0;
    for (char c : field) {
        const int digit = HexDigit(c);
        if (digit >= 0 && digit < base) {
            value = static_cast<uint8_t>(value * base + digit);
        }
    }
    return value;
}

struct VariableLine {
    std::array<char, VariableNameLength> name;
    MonitorVariable variable;
};

// One variable line from its first byte. Nothing when the data ends before
// the SIZE character: a line cut off at any point up to and including its
// second comma is not counted. NAME and ADDRESS run to their commas across
// any line ends, as the format reads them; characters beyond the first 5 of
// NAME and the first 8 of ADDRESS are read and discarded.
std::optional<VariableLine> ReadVariableLine(ByteReader& in, char first) {
    VariableLine line{};
    line.name.fill(' ');
    size_t length = 0;
    for (std::optional<char> c = first; !c || *c != ','; c = in.Next()) {
        if (!c) {
            return std::nullopt;
        }
        if (length < line.name.size()) {
            line.name[length++] = *c;
        }
    }
    char address[AddressFieldLength];
    length = 0;
    for (auto c = in.Next(); !c || *c != ','; c = in.Next()) {
        if (!c) {
            return std::nullopt;
        }
        if (length < AddressFieldLength) {
            address[length++] = *c;
        }
    }
    const auto size = in.Next();
    if (!size) {
        return std::nullopt;
    }
    line.variable.address = ParseAddress({address, length});
    line.variable.byteCount = static_cast<uint8_t>(*size - '0');
    // An LF in the SIZE position already ends the line; skipping on to the
    // next LF would swallow the following line.
    if (*size != '\n') {
        in.SkipLine();
    }
    return line;
}

// Variable lines are read until the 16th is stored or the data ends.
int ParseMonitorBytes(ByteReader& in, MonitorFile& file) {
    int count = 0;
    while (count < MaxMonitorVariables) {
        const auto first = in.Next();
        if (!first) {
            break;
        }
        if (*first == '#') {
            if (!in.SkipLine()) {
                break;
            }
            continue;
        }
        const auto line = ReadVariableLine(in, *first);
        if (!line) {
            break;
        }
        const auto index = static_cast<size_t>(count++);
        file.variableNames[index] = line->name;
        file.variables[index] = line->variable;
    }
    file.variableCount = count;
    return count;
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || (byte >= 0x7F && byte < 0xA0);  // C0, DEL and C1
}

}  // namespace

std::string PrintableName(std::string_view name) {
    std::string text(name);
    std::ranges::replace_if(text, IsControl, ' ');
    return text;
}

std::string ShownName(std::string_view name) {
    const std::string text = PrintableName(name);
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int ParseMonitorFile(std::string_view bytes, MonitorFile& file) {
    ByteReader in(BytesOf(bytes));
    return ParseMonitorBytes(in, file);
}

bool ReadMonitorFile(const std::string& path, MonitorFile& file) {
    // A folder or device is not a monitor file. Read lazily: parsing stops
    // after the 16th variable, whatever follows.
    return ReadTextFile(path, [&](const ByteSource& next) {
        ByteReader in(next);
        ParseMonitorBytes(in, file);
    });
}

}  // namespace korvel
