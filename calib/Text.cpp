#include "calib/Text.h"

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>

namespace korvel {

namespace {

template <typename Number>
std::string Format(const char* format, Number value) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, value);
    return {text, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1))};
}

bool Accepts(FileKinds accepted, mode_t mode) {
    return accepted == FileKinds::RegularOnly ? S_ISREG(mode) : !S_ISDIR(mode);
}

}  // namespace

std::string FormatNumber(const char* format, double value) {
    return Format(format, value);
}

std::string FormatNumber(const char* format, int32_t value) {
    return Format(format, value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

ByteSource BytesOf(std::string_view text) {
    return [text, pos = size_t{0}]() mutable {
        return pos < text.size() ? static_cast<unsigned char>(text[pos++]) : -1;
    };
}

bool ReadTextFile(const std::string& path, FileKinds accepted,
                  const std::function<void(const ByteSource&)>& parse) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) {
        return false;
    }
    struct stat info {};
    if (::fstat(::fileno(stream), &info) != 0 || !Accepts(accepted, info.st_mode)) {
        std::fclose(stream);
        return false;
    }
    parse([stream] { return std::getc(stream); });
    std::fclose(stream);
    return true;
}

}  // namespace korvel
