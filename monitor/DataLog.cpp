#include "monitor/DataLog.h"

#include <ctime>
#include <utility>

namespace korvel {

namespace {

// Continuation names tried before the log gives up.
constexpr int MaxLogFiles = 1000;

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string DefaultLogName(int64_t wallMs) {
    const auto seconds = static_cast<std::time_t>(wallMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char name[64];
    std::strftime(name, sizeof name, "korvel-%Y%m%d-%H%M%S.csv", &local);
    return name;
}

std::string NumberedLogName(const std::string& path, int n) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const size_t at = hasExtension ? dot : path.size();
    return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
}

void DataLog::NoteFailure() {
    failures_ +=
        "The data log " + writer_.Path() + " could not be written:\n" + writer_.Error() + "\n";
}

bool DataLog::Checked(bool ok) {
    if (!ok && !writer_.Error().empty()) {
        NoteFailure();
    }
    return ok;
}

bool DataLog::Start(const std::string& path, const MonitorFile& monitor, int64_t nowMs) {
    firstPath_ = path;
    fileNumber_ = 1;
    return Checked(writer_.Start(path, monitor, nowMs));
}

bool DataLog::Stop() {
    return !writer_.Running() || Checked(writer_.Stop());
}

bool DataLog::Restart(const MonitorFile& monitor, int64_t nowMs) {
    Stop();
    std::string next;
    do {
        next = NumberedLogName(firstPath_, ++fileNumber_);
    } while (file_.Exists(next) && fileNumber_ < MaxLogFiles);
    return Checked(writer_.Start(next, monitor, nowMs, true));
}

std::string DataLog::StatusText() const {
    return "Logging to " + FileName(writer_.Path()) + ": " + std::to_string(writer_.Lines()) +
           " samples";
}

std::string DataLog::ClosedText() const {
    return "Log closed: " + std::to_string(writer_.Lines()) + " samples in " +
           FileName(writer_.Path());
}

std::string DataLog::TakeFailureText() {
    if (failures_.empty()) {
        return {};
    }
    std::string text = std::exchange(failures_, {});
    return text + (Running() ? "Logging goes on in " + FileName(writer_.Path()) + "."
                             : "Logging has stopped; monitoring goes on.");
}

}  // namespace korvel
