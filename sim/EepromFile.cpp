#include "sim/EepromFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "calib/DataFile.h"

namespace korvel {

EepromFileRead ReadEepromFile(const std::string& path, CalibrationImage& image) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        return EepromFileRead::Missing;
    }
    CalibrationImage read = image;
    const DataFileReadResult result = ReadDataFile(path, read);
    if (!result.opened || !result.complete() || result.valuesOutOfRange > 0) {
        return EepromFileRead::Unusable;
    }
    image = read;
    return EepromFileRead::Read;
}

// No fsync: the file must survive the simulator, not the machine, and a
// transfer programs many bytes a second.
bool WriteEepromFile(const std::string& path, const CalibrationImage& image) {
    const std::string text = FormatDataFile(image);
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0 && errno != EINTR) {
            break;
        }
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    const bool written = ::close(fd) == 0 && done == text.size();
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace korvel
