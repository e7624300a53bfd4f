#include "monitor/CsvLogWriter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>

#include "monitor/ValueText.h"

namespace korvel {

namespace {

std::string SystemError() {
    return std::strerror(errno);
}

std::string_view Trimmed(std::string_view name) {
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

}  // namespace

void AppendNumber(std::string& out, double value, int decimals) {
    char text[64];
    // to_chars ignores the locale, unlike printf in a program that set one.
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    out.append(text, ec == std::errc() ? end : text);
}

// ---- StdioLogFile ---------------------------------------------------------

StdioLogFile::~StdioLogFile() {
    Close();
}

std::string StdioLogFile::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return SystemError();
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);  // the buffer is pending_
    pending_.reserve(PIPE_BUF);
    return {};
}

std::string StdioLogFile::Write(std::string_view bytes) {
    if (file_ == nullptr) {
        return std::strerror(EBADF);
    }
    if (pending_.size() + bytes.size() > PIPE_BUF) {
        if (std::string error = Flush(); !error.empty()) {
            return error;
        }
    }
    if (bytes.size() >= PIPE_BUF) {
        return Put(bytes);
    }
    pending_.append(bytes);
    return {};
}

std::string StdioLogFile::Flush() {
    if (file_ == nullptr || pending_.empty()) {
        return {};
    }
    std::string error = Put(pending_);
    pending_.clear();
    return error;
}

std::string StdioLogFile::Put(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        return SystemError();
    }
    return {};
}

std::string StdioLogFile::Close() {
    pending_.clear();
    if (file_ == nullptr) {
        return {};
    }
    const int result = std::fclose(file_);
    file_ = nullptr;
    return result != 0 ? SystemError() : std::string();
}

// ---- CsvLogWriter ---------------------------------------------------------

bool CsvLogWriter::Check(const std::string& error) {
    if (error.empty()) {
        return true;
    }
    error_ = error;
    running_ = false;
    file_.Close();  // its own error adds nothing to the first one
    return false;
}

bool CsvLogWriter::Start(const std::string& path, const MonitorFile& monitor, int64_t startMs) {
    Stop();
    path_ = path;
    error_.clear();
    lines_ = 0;
    startMs_ = flushedMs_ = startMs;
    columns_ = std::clamp(monitor.variableCount, 0, MaxMonitorVariables);
    nameText_ = monitor.variableNames;
    std::string names = "Time";
    std::string units = "s";
    for (int i = 0; i < columns_; ++i) {
        const auto at = static_cast<size_t>(i);
        names_[at] = std::string_view(nameText_[at].data(), VariableNameLength);
        names.append(",").append(Trimmed(names_[at]));
        units.append(",").append(MonitorValueUnit(names_[at]));
    }
    if (!Check(file_.Open(path))) {
        return false;
    }
    running_ = true;
    return Check(file_.Write(names + "\n" + units + "\n")) && Flush(startMs);
}

bool CsvLogWriter::Write(const Sample& sample) {
    if (!running_) {
        return false;
    }
    line_.clear();
    AppendNumber(line_,
                 static_cast<double>(std::max<int64_t>(sample.passMs - startMs_, 0)) / 1000.0, 3);
    for (int i = 0; i < columns_; ++i) {
        const auto at = static_cast<size_t>(i);
        const LoggedValue value = MonitorValueLogged(names_[at], sample.raw[at]);
        line_ += ',';
        AppendNumber(line_, value.value, value.decimals);
    }
    line_ += '\n';
    if (!Check(file_.Write(line_))) {
        return false;
    }
    ++lines_;
    return FlushIfDue(sample.passMs);
}

bool CsvLogWriter::FlushIfDue(int64_t nowMs) {
    if (!running_) {
        return false;
    }
    return nowMs - flushedMs_ < FlushIntervalMs || Flush(nowMs);
}

bool CsvLogWriter::Flush(int64_t nowMs) {
    flushedMs_ = nowMs;
    return Check(file_.Flush());
}

bool CsvLogWriter::Stop() {
    if (!running_) {
        return true;
    }
    running_ = false;
    const std::string flushed = file_.Flush();
    const std::string closed = file_.Close();
    error_ = flushed.empty() ? closed : flushed;
    return error_.empty();
}

}  // namespace korvel
