#include "calib/DataFile.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "calib/Text.h"

namespace korvel {

namespace {

// A line's significant characters: "-2147483648" is the longest number, and
// with the CR that ends it the line fills the 12-byte token.
constexpr size_t TokenLength = 11;

struct Token {
    std::array<char, TokenLength> chars{};
    size_t length = 0;
};

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// Reads the next line's token from `next` (a byte, or -1 at the end). A CR
// or an LF ends a line; the LF right after a CR belongs to that line end
// (`afterCr`), so CR LF and LF-only files give the same lines, and an empty
// line takes its slot in both. Leading blanks are skipped, as "%d" would.
// Bytes beyond the token's 11 are discarded up to the line end, so an
// over-long line still fills just one slot. Returns false when the data ends
// before the line has any byte.
bool ReadToken(const ByteSource& next, bool& afterCr, Token& token) {
    bool started = false;
    for (int c = next(); c >= 0; c = next()) {
        if (c == '\n' && afterCr && !started) {
            afterCr = false;
            continue;
        }
        if (c == '\r' || c == '\n') {
            afterCr = c == '\r';
            return true;
        }
        started = true;
        if ((token.length > 0 || !IsBlank(c)) && token.length < token.chars.size()) {
            token.chars[token.length++] = static_cast<char>(c);
        }
    }
    return started;
}

// "%d" of the token: optional sign, then digits up to the first non-digit.
// The number is kept modulo 2^32, as it is stored in a 32-bit slot.
std::optional<uint32_t> TokenValue(const Token& token) {
    size_t i = 0;
    const bool negative = token.length > 0 && token.chars[0] == '-';
    if (token.length > 0 && (token.chars[0] == '-' || token.chars[0] == '+')) {
        ++i;
    }
    uint32_t value = 0;
    const size_t digitsStart = i;
    for (; i < token.length && token.chars[i] >= '0' && token.chars[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(token.chars[i] - '0');
    }
    if (i == digitsStart) {
        return std::nullopt;
    }
    return negative ? 0u - value : value;
}

DataFileReadResult ParseLines(const ByteSource& next, CalibrationImage& image) {
    DataFileReadResult result;
    result.opened = true;
    bool afterCr = false;
    for (int slot = 0; slot < ImageSize; ++slot) {
        Token token;
        if (!ReadToken(next, afterCr, token)) {
            break;  // a short file leaves the remaining slots as they were
        }
        if (const auto value = TokenValue(token)) {
            image[slot] = *value;
            ++result.valuesStored;
        } else {
            ++result.linesWithoutNumber;
        }
    }
    return result;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The replacement keeps the permissions of the file it replaces; a new file
// gets the ones a plain create would give it.
mode_t TargetMode(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes, syncs and closes the temporary file; false on any failure.
bool FillTemporary(int fd, const std::string& path, const CalibrationImage& image,
                   const DataFileWriter& writer) {
    const bool written = writer(fd, FormatDataFile(image));
    const bool kept = written && ::fchmod(fd, TargetMode(path)) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && kept;
}

}  // namespace

DataFileReadResult ParseDataFile(const std::string& bytes, CalibrationImage& image) {
    return ParseLines(BytesOf(bytes), image);
}

DataFileReadResult ReadDataFile(const std::string& path, CalibrationImage& image) {
    DataFileReadResult result;  // not opened
    ReadTextFile(path, FileKinds::AnyButFolder,
                 [&](const ByteSource& next) { result = ParseLines(next, image); });
    return result;
}

std::string FormatDataFile(const CalibrationImage& image) {
    std::string text;
    text.reserve(ImageSize * 6);
    for (uint32_t value : image.values) {
        std::array<char, 16> digits{};
        // "%d" of the slot: a slot of 0xFFFFFFFF is the line "-1".
        const auto end =
            std::to_chars(digits.data(), digits.data() + digits.size(), static_cast<int32_t>(value))
                .ptr;
        text.append(digits.data(), end);
        text.append("\r\n");
    }
    return text;
}

SaveResult WriteDataFile(const std::string& path, const CalibrationImage& image) {
    return WriteDataFile(path, image, WriteAll);
}

SaveResult WriteDataFile(const std::string& path, const CalibrationImage& image,
                         const DataFileWriter& writer) {
    struct stat info {};
    if (path.empty() || path.back() == '/' ||
        (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) {
        return SaveResult::OpenFailed;
    }
    const std::string folder = FolderOf(path);
    std::string temporary = folder + "/." + path.substr(path.rfind('/') + 1) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return SaveResult::OpenFailed;
    }
    if (!FillTemporary(fd, path, image, writer) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return SaveResult::WriteFailed;
    }
    // Make the rename itself durable; the data is already safe if this fails.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return SaveResult::Saved;
}

}  // namespace korvel
