#pragma once
// What the soak holds every run to: a download's end against the EEPROM the
// simulator kept, an upload's file against that EEPROM, the desktop
// program's data log, and the figures of the table.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calib/CalibrationImage.h"

namespace korvel::soak {

// How far korvel-cli said a failed or cancelled download got, from its stderr.
struct WriteReport {
    bool counted = false;              // a count was printed
    int programmed = 0;                // "N bytes programmed", "N of M bytes programmed"
    std::optional<uint32_t> failedAt;  // "... before the failure at ADDR"
    bool uncertain = false;            // "; the byte at ADDR may also have been programmed"
};
WriteReport ParseWriteReport(const std::string& errorText);

enum class Verdict {
    Fine,
    FalseSuccess,  // exit 0, yet the EEPROM does not hold the data file
    Miscount,      // exit 1, and the EEPROM's changed bytes are not the count reported
    Corrupted,     // a byte holds neither its old value nor the data file's
    WrongUpload,   // exit 0, yet the uploaded file does not hold the EEPROM's bytes
    Crashed,       // no exit status 0 or 1 (a signal, a usage error)
    Hung,          // still running at the limit
};
const char* VerdictName(Verdict verdict);

struct Outcome {
    Verdict verdict = Verdict::Fine;
    std::string detail;  // for a finding: what was seen
};

// A download of `target` (values 0..255) into an EEPROM that held `before`
// and holds `after` now; the CLI ended with `exitCode` (-1: a signal) and
// said `outText` on stdout ("N bytes written") and `errorText` on stderr.
Outcome CheckDownload(const CalibrationImage& before, const CalibrationImage& target,
                      const CalibrationImage& after, int exitCode, const std::string& errorText,
                      const std::string& outText);

// An upload that exited 0 must have written the EEPROM's bytes.
bool UploadMatches(const CalibrationImage& file, const CalibrationImage& eeprom);

// The desktop program's data log: two header lines, then one line per pass.
struct LogCheck {
    int lines = 0;                 // data lines
    int brokenLines = 0;           // without a newline, or another number of fields than the header
    int backwardTimes = 0;         // a time not after the one before it
    std::vector<int64_t> timesMs;  // each line's time, ms after time 0
};
LogCheck CheckLog(const std::string& text);

// For each fault that ended at `faultEndsMs` (on the log's clock), the time to
// the first pass logged after it; faults with no pass after them are left out
// and counted in `unrecovered`.
std::vector<int64_t> RecoveryTimes(const std::vector<int64_t>& passMs,
                                   const std::vector<int64_t>& faultEndsMs, int& unrecovered);

// The nearest-rank percentile (0..100) of `values`; 0 for none.
int64_t Percentile(std::vector<int64_t> values, int percent);

}  // namespace korvel::soak
