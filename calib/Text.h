#pragma once
// Text helpers shared by every layer: one number printed to a string, hex
// digits, and the program's text files read byte by byte.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// `format` applied to one number, as snprintf would print it in the C
// locale, whatever the user's language (at most 63 characters; empty if the
// format fails): 30.8 is "30.8", never "30,8".
std::string FormatNumber(const char* format, double value);
std::string FormatNumber(const char* format, int32_t value);

// The number at the start of `text`, read as strtod reads it in the C
// locale (so "12.5" is 12.5 under any language); nothing when there is none.
std::optional<double> LeadingDouble(const std::string& text);

// The value of a hexadecimal digit (either case), or -1.
int HexDigit(char c);

// The next byte 0..255 of some data, or -1 at its end.
using ByteSource = std::function<int()>;

// The bytes of `text`, one per call; `text` must outlive the source.
ByteSource BytesOf(std::string_view text);

// Opens `path` and hands its bytes to `parse`, which reads as far as it
// needs; a failed read ends the data like the end of the file. Only a
// regular file is opened: a pipe, a device or a folder is refused before
// any open that could block. False, and `parse` is not called, when the
// file is refused or cannot be opened.
bool ReadTextFile(const std::string& path, const std::function<void(const ByteSource&)>& parse);

}  // namespace korvel
