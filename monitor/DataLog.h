#pragma once
// The desktop program's data log around a CsvLogWriter: its file names, the
// status text, the message for a failed write, and a new file (with a new
// header) beside the first when the variable list changes.

#include <cstdint>
#include <string>

#include "monitor/CsvLogWriter.h"

namespace korvel {

// "korvel-YYYYMMDD-HHMMSS.csv" for a wall-clock time (ms since 1970), local time.
std::string DefaultLogName(int64_t wallMs);

// The n-th file of a log (n >= 2): "run.csv" gives "run-2.csv".
std::string NumberedLogName(const std::string& path, int n);

class DataLog {
public:
    explicit DataLog(LogFile& file) : writer_(file) {}

    // Starts logging the list's variables into `path`. False (with
    // FailureText) when the file cannot be written.
    bool Start(const std::string& path, const MonitorFile& monitor, int64_t nowMs);
    // Closes the file cleanly; false (with FailureText) when its last lines
    // could not be written. Nothing when not logging.
    bool Stop();
    // A new variable list while logging: closes this file and starts the
    // next one beside the first (-2, -3, ...). False when that failed.
    bool Restart(const MonitorFile& monitor, int64_t nowMs);

    // A pass to log; false when the write failed and the log has stopped.
    bool Record(const Sample& sample) { return writer_.Write(sample); }
    // Between passes: flushes when due; false when that failed.
    bool Tick(int64_t nowMs) { return writer_.FlushIfDue(nowMs); }

    bool Running() const { return writer_.Running(); }
    const std::string& Path() const { return writer_.Path(); }
    // "Logging to NAME: N samples".
    std::string StatusText() const;
    // The one message for a failure: the file and the system's error.
    std::string FailureText() const;
    const std::string& Error() const { return writer_.Error(); }

private:
    CsvLogWriter writer_;
    std::string firstPath_;
    int fileNumber_ = 1;
};

}  // namespace korvel
