#pragma once
// The data log: one CSV line per acquisition pass, in the panel's engineering
// units, readable by spreadsheets and log viewers. Line 1 is
// "Time,NAME1,NAME2,...", line 2 the units ("s,kPa,us,..."), then the time in
// seconds since the log started (three decimals) and each value. Numbers
// always use '.', whatever the locale. The lines reach the file at least
// once a second (of the samples' clock) and on Stop.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "monitor/MonitorFile.h"
#include "monitor/Sample.h"

namespace korvel {

// The file under the log, so tests can make it fail. Each operation returns
// "" on success, else the system's description of the error.
class LogFile {
public:
    virtual ~LogFile() = default;
    virtual std::string Open(const std::string& path) = 0;
    virtual std::string Write(std::string_view bytes) = 0;  // may only buffer
    virtual std::string Flush() = 0;                        // hands the buffer to the system
    virtual std::string Close() = 0;
};

// A C stdio file that hands the system only what it was given in whole
// Write calls, at most a pipe's atomic size at a time: a caller that writes
// whole lines leaves a file, or a pipe's reader, that ends on a line end,
// even when the program is killed or the reader goes away. Close drops what
// was not flushed.
class StdioLogFile : public LogFile {
public:
    ~StdioLogFile() override;
    std::string Open(const std::string& path) override;
    std::string Write(std::string_view bytes) override;
    std::string Flush() override;
    std::string Close() override;

private:
    std::string Put(std::string_view bytes);

    std::FILE* file_ = nullptr;
    std::string pending_;
};

class CsvLogWriter {
public:
    static constexpr int64_t FlushIntervalMs = 1000;

    explicit CsvLogWriter(LogFile& file) : file_(file) {}
    ~CsvLogWriter() { Stop(); }
    CsvLogWriter(const CsvLogWriter&) = delete;
    CsvLogWriter& operator=(const CsvLogWriter&) = delete;

    // Opens `path` and writes the two header lines for the variables of
    // `monitor`; `startMs` is time zero, on the samples' clock (passMs).
    // False when the file cannot be opened or written: Error() says why.
    bool Start(const std::string& path, const MonitorFile& monitor, int64_t startMs);
    // Appends the pass's line, flushing when a second has passed since the
    // last flush. False when writing failed: the log is then stopped.
    bool Write(const Sample& sample);
    // Flushes when a second has passed (while no passes come). False on failure.
    bool FlushIfDue(int64_t nowMs);
    // Flushes and closes; false when that failed. Nothing when not running.
    bool Stop();

    bool Running() const { return running_; }
    const std::string& Path() const { return path_; }
    long Lines() const { return lines_; }  // passes written since Start
    const std::string& Error() const { return error_; }

private:
    bool Check(const std::string& error);
    bool Flush(int64_t nowMs);

    LogFile& file_;
    bool running_ = false;
    std::string path_;
    std::string error_;
    std::string line_;  // reused, so a pass allocates nothing
    int columns_ = 0;
    std::array<std::string_view, MaxMonitorVariables> names_{};
    std::array<std::array<char, VariableNameLength>, MaxMonitorVariables> nameText_{};
    int64_t startMs_ = 0;
    int64_t flushedMs_ = 0;
    long lines_ = 0;
};

// Appends `value` with `decimals` fixed decimals and a '.' point.
void AppendNumber(std::string& out, double value, int decimals);

}  // namespace korvel
