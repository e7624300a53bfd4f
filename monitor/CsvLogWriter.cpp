#include "monitor/CsvLogWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <utility>

#include "monitor/ValueText.h"

namespace korvel {

namespace {

std::string SystemError() {
    return std::strerror(errno);
}

}  // namespace

void AppendNumber(std::string& out, double value, int decimals) {
    char text[64];
    // to_chars ignores the locale, unlike printf in a program that set one.
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    out.append(text, ec == std::errc() ? end : text);
}

// ---- DiskLogFile ----------------------------------------------------------

DiskLogFile::~DiskLogFile() {
    Close();
}

std::string DiskLogFile::Open(const std::string& path, bool mustBeNew) {
    // A file size limit (ulimit -f) then fails a write, which the log reports
    // and cuts back to a whole line, instead of killing the program mid-line.
    static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ignored;
    Close();
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : O_TRUNC);
    fd_ = ::open(path.c_str(), flags, 0666);
    lineEnd_ = 0;
    return fd_ < 0 ? SystemError() : std::string();
}

std::string DiskLogFile::Write(std::string_view bytes) {
    if (fd_ < 0) {
        return std::strerror(EBADF);
    }
    buffer_.append(bytes);
    return buffer_.size() < BufferLimit ? std::string() : Flush();
}

// Hands the buffer on in pieces that end on a line end and, as far as a
// line allows, fit a pipe's atomic size: a pipe's reader that goes away, or
// a program killed between two pieces, leaves only whole lines behind.
std::string DiskLogFile::Flush() {
    size_t done = 0;
    while (fd_ >= 0 && done < buffer_.size()) {
        size_t piece = std::min<size_t>(buffer_.size() - done, PIPE_BUF);
        if (done + piece < buffer_.size()) {
            const size_t lineEnd = buffer_.rfind('\n', done + piece - 1);
            if (lineEnd != std::string::npos && lineEnd >= done) {
                piece = lineEnd + 1 - done;
            }
        }
        const ssize_t n = ::write(fd_, buffer_.data() + done, piece);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string error = n < 0 ? SystemError() : std::strerror(EIO);
            // Cut off a line the system took only in part. A device (/dev/full)
            // or a pipe cannot be cut and needs no cutting.
            const size_t lastLine = done == 0 ? std::string::npos : buffer_.rfind('\n', done - 1);
            const int64_t whole = lastLine == std::string::npos ? 0 : int64_t(lastLine) + 1;
            lineEnd_ += whole;
            [[maybe_unused]] const int cut = ::ftruncate(fd_, lineEnd_);
            buffer_.clear();
            return error;
        }
        done += static_cast<size_t>(n);
    }
    lineEnd_ += static_cast<int64_t>(done);
    buffer_.clear();
    return {};
}

std::string DiskLogFile::Close() {
    if (fd_ < 0) {
        return {};
    }
    std::string error = Flush();
    if (::close(std::exchange(fd_, -1)) != 0 && error.empty()) {
        error = SystemError();
    }
    return error;
}

bool DiskLogFile::Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
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

bool CsvLogWriter::Start(const std::string& path, const MonitorFile& monitor, int64_t startMs,
                         bool mustBeNew) {
    Stop();
    path_ = path;
    error_.clear();
    lines_ = 0;
    startMs_ = flushedMs_ = startMs;
    columns_ = std::clamp(monitor.variableCount, 0, MaxMonitorVariables);
    names_ = monitor.variableNames;
    std::string names = "Time";
    std::string units = "s";
    for (int i = 0; i < columns_; ++i) {
        names.append(",").append(ShownName(monitor.name(i)));
        units.append(",").append(MonitorValueUnit(monitor.name(i)));
    }
    if (!Check(file_.Open(path, mustBeNew))) {
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
        const LoggedValue value = MonitorValueLogged(
            std::string_view(names_[at].data(), VariableNameLength), sample.raw[at]);
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
