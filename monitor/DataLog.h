#pragma once
// The desktop program's data log around a CsvLogWriter: its file names, the
// status texts, the messages for failed writes, and a new file (with a new
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
    explicit DataLog(LogFile& file) : file_(file), writer_(file) {}

    // Starts logging the list's variables into `path`, replacing a file of
    // that name (the user was asked). False when the file cannot be written.
    bool Start(const std::string& path, const MonitorFile& monitor, int64_t nowMs);
    // Closes the file cleanly; false when its last lines could not be
    // written. Nothing when not logging.
    bool Stop();
    // A new variable list while logging: closes this file and starts the
    // next one beside the first, under the first free name of -2, -3, ...;
    // an existing file is never replaced. False when the log is not running
    // afterwards.
    bool Restart(const MonitorFile& monitor, int64_t nowMs);

    // A pass to log; false when the write failed and the log has stopped.
    bool Record(const Sample& sample) { return Running() && Checked(writer_.Write(sample)); }
    // Between passes: flushes when due; false when that failed (or not logging).
    bool Tick(int64_t nowMs) { return Running() && Checked(writer_.FlushIfDue(nowMs)); }

    bool Running() const { return writer_.Running(); }
    const std::string& Path() const { return writer_.Path(); }
    // "Logging to NAME: N samples".
    std::string StatusText() const;
    // After Stop: "Log closed: N samples in NAME".
    std::string ClosedText() const;
    // Every failure not yet told, each once with its file's name and the
    // system's error, ending in what it means for the log; "" when none.
    std::string TakeFailureText();
    bool HasFailures() const { return !failures_.empty(); }
    // The system's error of the last failure.
    const std::string& Error() const { return writer_.Error(); }

private:
    bool Checked(bool ok);
    void NoteFailure();

    LogFile& file_;
    CsvLogWriter writer_;
    std::string firstPath_;
    int fileNumber_ = 1;
    std::string failures_;
};

}  // namespace korvel
