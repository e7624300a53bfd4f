#include "calib/DataFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "calib/Text.h"

namespace korvel {

namespace {

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// One line read like "%d": leading blanks, an optional sign, then digits up
// to the first other character. A number beyond the signed 32 bits that a
// line can hold is no number at all, however many digits it takes.
class LineNumber {
public:
    void Take(int c) {
        switch (phase_) {
            case Phase::Blanks:
                if (IsBlank(c)) {
                    return;
                }
                if (c == '-' || c == '+') {
                    negative_ = c == '-';
                    phase_ = Phase::Sign;
                    return;
                }
                [[fallthrough]];
            case Phase::Sign:
            case Phase::Digits:
                if (!IsDigit(c)) {
                    phase_ = Phase::Rest;
                    return;
                }
                phase_ = Phase::Digits;
                ++digits_;
                // Capped just past the largest magnitude, so it never overflows.
                magnitude_ =
                    std::min<uint64_t>(magnitude_ * 10 + static_cast<uint64_t>(c - '0'), Limit + 1);
                return;
            case Phase::Rest:
                return;
        }
    }
    std::optional<uint32_t> Value() const {
        if (digits_ == 0 || magnitude_ > (negative_ ? Limit : Limit - 1)) {
            return std::nullopt;
        }
        // Stored as the slot's 32 bits: -1 is 0xFFFFFFFF.
        const auto value = static_cast<uint32_t>(magnitude_);
        return negative_ ? 0u - value : value;
    }

private:
    static constexpr uint64_t Limit = uint64_t{1} << 31;
    enum class Phase { Blanks, Sign, Digits, Rest };
    Phase phase_ = Phase::Blanks;
    bool negative_ = false;
    int digits_ = 0;
    uint64_t magnitude_ = 0;
};

// Reads the next line from `next` (a byte, or -1 at the end). A CR or an LF
// ends a line; the LF right after a CR belongs to that line end (`afterCr`),
// so CR LF and LF-only files give the same lines, and an empty line takes
// its slot in both. Returns false when the data ends before the line has any
// byte.
bool ReadLine(const ByteSource& next, bool& afterCr, LineNumber& line) {
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
        line.Take(c);
    }
    return started;
}

DataFileReadResult ParseLines(const ByteSource& next, CalibrationImage& image) {
    DataFileReadResult result;
    result.opened = true;
    bool afterCr = false;
    for (int slot = 0; slot < ImageSize; ++slot) {
        LineNumber line;
        if (!ReadLine(next, afterCr, line)) {
            break;  // a short file leaves the remaining slots as they were
        }
        const auto value = line.Value();
        if (!value) {
            ++result.linesWithoutNumber;
            continue;
        }
        image[slot] = *value;
        ++result.valuesStored;
        if (*value > 255 && result.valuesOutOfRange++ == 0) {
            result.firstOutOfRangeLine = slot + 1;
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
bool FillTemporary(int fd, const std::string& path, std::string_view bytes,
                   const DataFileWriter& writer) {
    const bool written = writer(fd, bytes);
    const bool kept = written && ::fchmod(fd, TargetMode(path)) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!kept) {
        errno = error;  // why the write failed, not the close
    }
    return closed && kept;
}

// The file that `path` names once every symbolic link on the way is
// followed, so that a save replaces the link's target and keeps the link.
// A dangling link gives the missing file it points at.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0) {
            break;
        }
        link.resize(static_cast<size_t>(n));
        path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
    }
    return path;
}

// The plain write the file format was made for: truncate and fill the file.
SaveResult WriteInPlace(const std::string& path, std::string_view bytes,
                        const DataFileWriter& writer) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return SaveResult::OpenFailed;
    }
    const bool written = writer(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) {
        errno = error;
    }
    return closed && written ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace

DataFileReadResult ParseDataFile(const std::string& bytes, CalibrationImage& image) {
    return ParseLines(BytesOf(bytes), image);
}

DataFileReadResult ReadDataFile(const std::string& path, CalibrationImage& image) {
    DataFileReadResult result;  // not opened
    ReadTextFile(path, [&](const ByteSource& next) { result = ParseLines(next, image); });
    return result;
}

DataFileWarning OpenWarning(const DataFileReadResult& result) {
    DataFileWarning warning;
    if (!result.complete()) {
        warning.caption = "Incomplete Data File";
        warning.text = "The file held " + std::to_string(result.valuesStored) + " of the " +
                       std::to_string(ImageSize) + " calibration values.";
        if (result.linesWithoutNumber > 0) {
            // Appended piece by piece: GCC 12 at -O3 misreads "\n" + std::string.
            warning.text += '\n';
            warning.text += std::to_string(result.linesWithoutNumber) + " lines held no number.";
        }
        warning.text +=
            "\nThe other bytes keep their previous values."
            "\nDownload is refused until a complete file is opened or the data is uploaded.";
    }
    if (result.valuesOutOfRange > 0) {
        if (warning.caption.empty()) {
            warning.caption = "Values Out of Range";
        } else {
            warning.text += "\n";
        }
        warning.text += std::to_string(result.valuesOutOfRange) +
                        " values are outside 0..255, the first on line " +
                        std::to_string(result.firstOutOfRangeLine) +
                        ".\nDownload is refused while any byte is out of range.";
    }
    return warning;
}

std::string DownloadRefusal(const CalibrationImage& image, const IncompleteDataFile* source) {
    if (source != nullptr) {
        return source->path + " is not a complete data file (" +
               std::to_string(source->valuesStored) + " of " + std::to_string(ImageSize) +
               " values): nothing programmed";
    }
    for (int slot = 0; slot < ImageSize; ++slot) {
        if (image[slot] > 255) {
            char address[8];
            std::snprintf(address, sizeof address, "0x%04X", ImageBaseAddress + slot);
            return std::string("The value at address ") + address + " is " +
                   std::to_string(static_cast<int32_t>(image[slot])) +
                   ", outside 0..255: nothing programmed";
        }
    }
    return {};
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
    return WriteFileSafely(path, FormatDataFile(image), writer);
}

SaveResult WriteFileSafely(const std::string& path, std::string_view bytes) {
    return WriteFileSafely(path, bytes, WriteAll);
}

SaveResult WriteFileSafely(const std::string& path, std::string_view bytes,
                           const DataFileWriter& writer) {
    if (path.empty() || path.back() == '/') {
        errno = EISDIR;
        return SaveResult::OpenFailed;
    }
    const std::string target = FollowLinks(path);
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    // A folder, a device or a pipe is never replaced, nor a file the user
    // made read-only (even for a user whom the system would let write it).
    if (exists && (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0 ||
                   ::access(target.c_str(), W_OK) != 0)) {
        errno = S_ISREG(info.st_mode) ? EACCES : EISDIR;
        return SaveResult::OpenFailed;
    }
    const std::string folder = FolderOf(target);
    std::string temporary = folder + "/." + target.substr(target.rfind('/') + 1) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        // A folder that takes no new file: the existing file is written in place.
        return exists ? WriteInPlace(target, bytes, writer) : SaveResult::OpenFailed;
    }
    if (!FillTemporary(fd, target, bytes, writer) ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
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
