#include "monitor/DataLog.h"

#include <ctime>

namespace korvel {

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

bool DataLog::Start(const std::string& path, const MonitorFile& monitor, int64_t nowMs) {
    firstPath_ = path;
    fileNumber_ = 1;
    return writer_.Start(path, monitor, nowMs);
}

bool DataLog::Stop() {
    return writer_.Stop();
}

bool DataLog::Restart(const MonitorFile& monitor, int64_t nowMs) {
    writer_.Stop();
    return writer_.Start(NumberedLogName(firstPath_, ++fileNumber_), monitor, nowMs);
}

std::string DataLog::StatusText() const {
    const std::string& path = writer_.Path();
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return "Logging to " + name + ": " + std::to_string(writer_.Lines()) + " samples";
}

std::string DataLog::FailureText() const {
    return "The data log " + writer_.Path() + " could not be written:\n" + writer_.Error() +
           "\nLogging has stopped; monitoring goes on.";
}

}  // namespace korvel
