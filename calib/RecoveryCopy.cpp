#include "calib/RecoveryCopy.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

#include "calib/RestorePoints.h"
#include "calib/Text.h"

namespace korvel {

namespace {

constexpr const char* Prefix = "korvel-";

std::string RecoveryFolder(const std::string& restoreFolder) {
    return restoreFolder + "/recovery";
}

// The process id in a copy's name (korvel-PID.dat), or 0.
pid_t PidOf(const std::string& name) {
    const std::string prefix(Prefix);
    if (!name.starts_with(prefix) || !name.ends_with(".dat")) {
        return 0;
    }
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return static_cast<pid_t>(std::stol(digits));
}

}  // namespace

RecoveryCopy::RecoveryCopy(const std::string& restoreFolder, pid_t pid, DataFileWriter writer)
    : folder_(RecoveryFolder(restoreFolder)),
      path_(folder_ + "/" + Prefix + std::to_string(pid) + ".dat"),
      writer_(std::move(writer)) {}

void RecoveryCopy::Changed(int64_t nowMs) {
    if (!dueAtMs_) {
        dueAtMs_ = nowMs + DelayMs;
    }
}

std::string RecoveryCopy::Write(const CalibrationImage& image, const std::string& dataFile) {
    dueAtMs_.reset();
    if (!MakeFolders(folder_)) {
        return "No recovery copy could be saved in " + folder_ + ": " + std::strerror(errno);
    }
    // A data file whose lines are the image; the rest of the file is the name.
    const std::string bytes = FormatDataFile(image) + dataFile;
    const SaveResult saved =
        writer_ ? WriteFileSafely(path_, bytes, writer_) : WriteFileSafely(path_, bytes);
    if (saved != SaveResult::Saved) {
        return "No recovery copy could be saved in " + folder_ + ": " + std::strerror(errno);
    }
    return {};
}

bool RecoveryCopy::Remove() {
    dueAtMs_.reset();
    return ::unlink(path_.c_str()) == 0 || errno == ENOENT;
}

bool ProcessRunning(pid_t pid) {
    return pid > 0 && !(::kill(pid, 0) == -1 && errno == ESRCH);
}

std::vector<FoundRecoveryCopy> FindStaleRecoveryCopies(const std::string& restoreFolder,
                                                       pid_t ownPid,
                                                       const std::function<bool(pid_t)>& running) {
    std::vector<FoundRecoveryCopy> found;
    const std::string folder = RecoveryFolder(restoreFolder);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = PidOf(entry->d_name);
        FoundRecoveryCopy copy{folder + "/" + entry->d_name, pid, 0, ""};
        struct stat info {};
        CalibrationImage image;
        if (pid <= 0 || pid == ownPid || ::stat(copy.path.c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode) || running(pid) ||
            !LoadRecoveryCopy(copy.path, image, copy.dataFile)) {
            continue;
        }
        copy.wallMs = int64_t{info.st_mtim.tv_sec} * 1000 + info.st_mtim.tv_nsec / 1'000'000;
        found.push_back(std::move(copy));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.wallMs < b.wallMs; });
    return found;
}

bool LoadRecoveryCopy(const std::string& path, CalibrationImage& image, std::string& dataFile) {
    std::string bytes;
    ReadTextFile(path, [&](const ByteSource& next) {
        for (int c = next(); c >= 0; c = next()) {
            bytes += static_cast<char>(c);
        }
    });
    // The image's 512 lines end at the 512th LF; the name follows.
    size_t end = 0;
    for (int line = 0; line < ImageSize && end != std::string::npos; ++line) {
        end = bytes.find('\n', end);
        end = end == std::string::npos ? end : end + 1;
    }
    if (end == std::string::npos) {
        return false;
    }
    CalibrationImage read = image;
    if (!ParseDataFile(bytes.substr(0, end), read).complete()) {
        return false;
    }
    image = read;
    dataFile = bytes.substr(end);
    return true;
}

std::string RecoveryQuestion(const FoundRecoveryCopy& copy) {
    const size_t slash = copy.dataFile.rfind('/');
    const std::string name = copy.dataFile.empty()        ? "no data file"
                             : slash == std::string::npos ? copy.dataFile
                                                          : copy.dataFile.substr(slash + 1);
    return "Recover the unsaved changes of " + FormatLocalTime(copy.wallMs, "%Y-%m-%d %H:%M") +
           " (" + name + ")?";
}

}  // namespace korvel
