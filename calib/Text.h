#pragma once
// Text helpers shared by every layer: one number printed to a string, hex
// digits, and the program's text files read byte by byte.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace korvel {

// `format` applied to one number, as snprintf would print it (at most 63
// characters; empty if the format fails).
std::string FormatNumber(const char* format, double value);
std::string FormatNumber(const char* format, int32_t value);

// The value of a hexadecimal digit (either case), or -1.
int HexDigit(char c);

// The next byte 0..255 of some data, or -1 at its end.
using ByteSource = std::function<int()>;

// The bytes of `text`, one per call; `text` must outlive the source.
ByteSource BytesOf(std::string_view text);

// The kinds of file ReadTextFile opens.
enum class FileKinds {
    AnyButFolder,  // devices and pipes too
    RegularOnly,
};

// Opens `path` and hands its bytes to `parse`, which reads as far as it
// needs; a failed read ends the data like the end of the file. False, and
// `parse` is not called, when the file cannot be opened or is not of the
// accepted kind.
bool ReadTextFile(const std::string& path, FileKinds accepted,
                  const std::function<void(const ByteSource&)>& parse);

}  // namespace korvel
