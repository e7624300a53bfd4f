#include "calib/RestorePoints.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "calib/Text.h"

namespace korvel {

namespace {

constexpr const char* IndexName = "index.csv";
constexpr const char* IndexHeader = "time,reason,port,data file,bytes programmed,point\n";

constexpr RestoreReason Reasons[] = {
    RestoreReason::Upload,     RestoreReason::Read,          RestoreReason::BeforeDownload,
    RestoreReason::BeforePoke, RestoreReason::AfterDownload, RestoreReason::AfterPoke,
    RestoreReason::Rollback,
};

bool IsKnownReason(const std::string& text) {
    return std::any_of(std::begin(Reasons), std::end(Reasons),
                       [&](RestoreReason r) { return text == ReasonName(r); });
}

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Failure(const std::string& folder, int error) {
    return "No restore point could be saved in " + folder + ": " + std::strerror(error);
}

// Makes an empty file under the first free name, so that two programs
// saving at once never take the same one; the safe save then fills it.
std::optional<std::string> ReserveName(const std::string& folder, const std::string& base) {
    for (int n = 1; n < 10000; ++n) {
        // Appended piece by piece: GCC 12 at -O3 misreads "-" + std::string.
        std::string name = base;
        if (n > 1) {
            name += '-';
            name += std::to_string(n);
        }
        name += ".dat";
        const int fd =
            ::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    errno = EEXIST;
    return std::nullopt;
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

std::string ReadWhole(const std::string& path, bool& readable) {
    std::string text;
    readable = ReadTextFile(path, [&](const ByteSource& next) {
        for (int c = next(); c >= 0; c = next()) {
            text += static_cast<char>(c);
        }
    });
    return text;
}

// A point from an index record, or nullopt for the header and broken lines.
std::optional<RestorePoint> FromRecord(const std::vector<std::string>& f,
                                       const std::string& folder) {
    if (f.size() < 6 || f[0] == "time" || f[5].empty() || f[5].find('/') != std::string::npos) {
        return std::nullopt;
    }
    RestorePoint p{f[0], f[1], f[2], f[3], std::nullopt, f[5], folder + "/" + f[5]};
    if (AllDigits(f[4]) && f[4].size() < 9) {
        p.bytesProgrammed = std::stoi(f[4]);
    }
    return p;
}

// A point from its file name alone (YYYYMMDD-HHMMSS-REASON[-N].dat).
std::optional<RestorePoint> FromName(const std::string& name, const std::string& folder) {
    if (name.size() < 21 || !name.ends_with(".dat") || name[8] != '-' || name[15] != '-' ||
        !AllDigits(name.substr(0, 8)) || !AllDigits(name.substr(9, 6))) {
        return std::nullopt;
    }
    std::string reason = name.substr(16, name.size() - 20);
    const size_t dash = reason.rfind('-');
    if (!IsKnownReason(reason) && dash != std::string::npos && AllDigits(reason.substr(dash + 1))) {
        reason.resize(dash);
    }
    if (!IsKnownReason(reason)) {
        return std::nullopt;
    }
    const std::string time = name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2) +
                             " " + name.substr(9, 2) + ":" + name.substr(11, 2) + ":" +
                             name.substr(13, 2);
    return RestorePoint{time, reason, "", "", std::nullopt, name, folder + "/" + name};
}

std::vector<std::string> DataFileNames(const std::string& folder, bool& readable) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    readable = dir != nullptr || errno == ENOENT;
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

const char* ReasonName(RestoreReason reason) {
    switch (reason) {
        case RestoreReason::Upload:
            return "upload";
        case RestoreReason::Read:
            return "read";
        case RestoreReason::BeforeDownload:
            return "before-download";
        case RestoreReason::BeforePoke:
            return "before-poke";
        case RestoreReason::AfterDownload:
            return "after-download";
        case RestoreReason::AfterPoke:
            return "after-poke";
        case RestoreReason::Rollback:
            return "rollback";
    }
    return "";
}

bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

std::optional<std::string> SystemEnvironment(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) {
        return std::string(value);
    }
    if (name == "HOME") {
        passwd entry{}, *found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
            found->pw_dir != nullptr) {
            return std::string(found->pw_dir);
        }
    }
    return std::nullopt;
}

std::string RestoreFolder(const EnvironmentLookup& environment) {
    const auto value = [&](const char* name) { return environment(name).value_or(""); };
    if (const std::string own = value("KORVEL_RESTORE_DIR"); !own.empty()) {
        return own;
    }
    if (const std::string data = value("XDG_DATA_HOME"); data.starts_with('/')) {
        return data + "/korvel/restore-points";
    }
    if (const std::string home = value("HOME"); !home.empty()) {
        return home + "/.local/share/korvel/restore-points";
    }
    return {};
}

std::string FormatLocalTime(int64_t wallMs, const char* format) {
    const time_t seconds = static_cast<time_t>(wallMs / 1000);
    tm local{};
    ::localtime_r(&seconds, &local);
    char text[64];
    const size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

RestorePoints::RestorePoints(std::string folder, WallClock wallMs, DataFileWriter writer)
    : folder_(std::move(folder)),
      wallMs_(std::move(wallMs)),
      writer_(writer ? std::move(writer) : DataFileWriter(WriteAll)) {
    while (folder_.size() > 1 && folder_.back() == '/') {
        folder_.pop_back();
    }
}

PointResult RestorePoints::Save(const CalibrationImage& image, const PointDetails& details) {
    if (folder_.empty()) {
        return {PointStatus::Failed, "",
                "No folder for restore points: set KORVEL_RESTORE_DIR or HOME"};
    }
    if (auto skipped = SkipRead(image, details)) {
        return *skipped;
    }
    if (!MakeFolders(folder_)) {
        return {PointStatus::Failed, "", Failure(folder_, errno)};
    }
    const int64_t now = wallMs_();
    const auto name =
        ReserveName(folder_, FormatLocalTime(now, "%Y%m%d-%H%M%S-") + ReasonName(details.reason));
    if (!name) {
        return {PointStatus::Failed, "", Failure(folder_, errno)};
    }
    const std::string path = folder_ + "/" + *name;
    if (WriteFileSafely(path, FormatDataFile(image), writer_) != SaveResult::Saved) {
        const int error = errno;
        ::unlink(path.c_str());
        return {PointStatus::Failed, "", Failure(folder_, error)};
    }
    const std::string programmed =
        details.bytesProgrammed ? std::to_string(*details.bytesProgrammed) : "";
    const std::string line = CsvField(FormatLocalTime(now, "%Y-%m-%d %H:%M:%S")) + "," +
                             ReasonName(details.reason) + "," + CsvField(details.port) + "," +
                             CsvField(details.dataFile) + "," + programmed + "," + CsvField(*name) +
                             "\n";
    return {PointStatus::Saved, path, AppendToIndex(line)};
}

std::string RestorePoints::CheckWritable() const {
    if (folder_.empty()) {
        return "No folder for restore points: set KORVEL_RESTORE_DIR or HOME";
    }
    if (!MakeFolders(folder_)) {
        return Failure(folder_, errno);
    }
    // Not a point's name: nothing lists it, should it ever be left behind.
    const std::string scratch = folder_ + "/.korvel-check-" + std::to_string(::getpid());
    CalibrationImage largest;
    largest.values.fill(255);
    const bool written =
        WriteFileSafely(scratch, FormatDataFile(largest), writer_) == SaveResult::Saved;
    const int error = errno;
    ::unlink(scratch.c_str());
    return written ? "" : Failure(folder_, error);
}

std::optional<PointResult> RestorePoints::SkipRead(const CalibrationImage& image,
                                                   const PointDetails& details) const {
    if (details.reason != RestoreReason::Upload && details.reason != RestoreReason::Read) {
        return std::nullopt;
    }
    for (const RestorePoint& point : List()) {
        if (point.port != details.port) {
            continue;
        }
        CalibrationImage last;
        if (LoadRestorePoint(point.path, last) && last.values == image.values) {
            return PointResult{PointStatus::Skipped, point.path, ""};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// Appends one line; a short write is cut off again, so the index never keeps
// half a line. "" when the line is in, else why not.
std::string RestorePoints::AppendToIndex(const std::string& line) const {
    const std::string path = folder_ + "/" + IndexName;
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return "The restore point was saved, but " + path +
               " could not be opened: " + std::strerror(errno);
    }
    struct stat info {};
    ::fstat(fd, &info);
    std::string text = line;
    char last = '\n';
    if (info.st_size == 0) {
        text = IndexHeader + line;
    } else if (::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n') {
        text = "\n" + line;  // a line someone left unfinished stays on its own
    }
    const bool written = writer_(fd, text) && ::fsync(fd) == 0;
    const int error = errno;
    if (!written) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, info.st_size);  // the half line goes
    }
    ::close(fd);
    return written ? ""
                   : "The restore point was saved, but " + path +
                         " could not be written: " + std::strerror(error);
}

std::vector<RestorePoint> RestorePoints::List(bool* readable) const {
    bool indexReadable = true, folderReadable = true;
    const std::string index = folder_ + "/" + IndexName;
    std::vector<RestorePoint> points;  // oldest first until the end
    std::set<std::string> indexed;
    if (Exists(index)) {
        for (const auto& record : ParseCsv(ReadWhole(index, indexReadable))) {
            auto point = FromRecord(record, folder_);
            if (point && Exists(point->path) && indexed.insert(point->fileName).second) {
                points.push_back(std::move(*point));
            }
        }
    }
    std::vector<RestorePoint> unindexed;
    for (const std::string& name : DataFileNames(folder_, folderReadable)) {
        auto point = FromName(name, folder_);
        if (point && !indexed.count(name) && Exists(point->path)) {
            unindexed.push_back(std::move(*point));
        }
    }
    std::sort(unindexed.begin(), unindexed.end(),
              [](const RestorePoint& a, const RestorePoint& b) { return a.fileName < b.fileName; });
    // Newest first: by time, and within a second in the order the points were made.
    std::vector<std::pair<size_t, RestorePoint>> all;
    for (RestorePoint& p : unindexed) {
        all.emplace_back(all.size(), std::move(p));
    }
    for (RestorePoint& p : points) {
        all.emplace_back(all.size(), std::move(p));
    }
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return a.second.time != b.second.time ? a.second.time > b.second.time : a.first > b.first;
    });
    std::vector<RestorePoint> newestFirst;
    for (auto& entry : all) {
        newestFirst.push_back(std::move(entry.second));
    }
    if (readable != nullptr) {
        *readable = indexReadable && folderReadable;
    }
    return newestFirst;
}

bool LoadRestorePoint(const std::string& path, CalibrationImage& image) {
    CalibrationImage read = image;
    if (!ReadDataFile(path, read).complete()) {
        return false;
    }
    image = read;
    return true;
}

int CountDifferences(const CalibrationImage& a, const CalibrationImage& b) {
    int n = 0;
    for (int i = 0; i < ImageSize; ++i) {
        n += a[i] != b[i] ? 1 : 0;
    }
    return n;
}

std::string CsvField(const std::string& text) {
    const bool plain = text.find_first_of(",\"\r\n") == std::string::npos &&
                       (text.empty() || (text.front() != ' ' && text.back() != ' '));
    if (plain) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::exchange(field, {}));
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            record.push_back(std::exchange(field, {}));
            records.push_back(std::exchange(record, {}));
            any = false;
        } else {
            field += c;
        }
    }
    if (any || quoted) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

}  // namespace korvel
