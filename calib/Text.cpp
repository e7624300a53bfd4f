#include "calib/Text.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

// Switches this thread to the C locale's numbers for its lifetime: the
// desktop framework takes the user's locale, whose decimal point may be a
// comma.
class CNumbers {
public:
    CNumbers() : previous_(::uselocale(Locale())) {}
    ~CNumbers() { ::uselocale(previous_); }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    static locale_t Locale() {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t{});
        return c != locale_t{} ? c : LC_GLOBAL_LOCALE;
    }
    locale_t previous_;
};

template <typename Number>
std::string Format(const char* format, Number value) {
    const CNumbers c;
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, value);
    return {text, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1))};
}

}  // namespace

std::string FormatNumber(const char* format, double value) {
    return Format(format, value);
}

std::string FormatNumber(const char* format, int32_t value) {
    return Format(format, value);
}

std::optional<double> LeadingDouble(const std::string& text) {
    const CNumbers c;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) {
        return std::nullopt;
    }
    return value;
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

bool ReadTextFile(const std::string& path, const std::function<void(const ByteSource&)>& parse) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    // Should the name have become a pipe since, a non-blocking open still
    // returns at once, and the second check refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::FILE* stream = nullptr;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        (stream = ::fdopen(fd, "rb")) == nullptr) {
        ::close(fd);
        return false;
    }
    parse([stream] { return std::getc(stream); });
    std::fclose(stream);
    return true;
}

}  // namespace korvel
