#pragma once
// The calibration data file: 512 lines, each "%d" of one image slot then CR LF.

#include <functional>
#include <string>
#include <string_view>

#include "calib/CalibrationImage.h"

namespace korvel {

struct DataFileReadResult {
    bool opened = false;   // false: "Error Opening File" / "Try another file"; image unchanged
    int valuesStored = 0;  // slots that received a number
    int linesWithoutNumber = 0;  // lines read that held no number (their slot kept its value)
};

// Reads a data file into the image slot by slot. LF-only files are accepted;
// over-long lines are bounded; lines after the 512th are ignored; slots past
// the end of a short file keep their values.
DataFileReadResult ReadDataFile(const std::string& path, CalibrationImage& image);

// Parses data-file bytes already in memory (the same rules as ReadDataFile).
DataFileReadResult ParseDataFile(const std::string& bytes, CalibrationImage& image);

// The exact bytes of a data file for the image.
std::string FormatDataFile(const CalibrationImage& image);

enum class SaveResult {
    Saved,
    OpenFailed,   // "Error Opening File" / "Try another file"
    WriteFailed,  // "Error Writing File" / "Try another file"
};

// Writes the image atomically: a temporary file in the same folder is
// written, flushed and synced, then renamed over the target. On any failure
// the previous file is left intact byte for byte.
SaveResult WriteDataFile(const std::string& path, const CalibrationImage& image);

// Writes all of `bytes` to the open file descriptor; false on any failure.
using DataFileWriter = std::function<bool(int fd, std::string_view bytes)>;

// WriteDataFile with the temporary file's bytes written through `writer`
// (tests pass one that fails part way).
SaveResult WriteDataFile(const std::string& path, const CalibrationImage& image,
                         const DataFileWriter& writer);

}  // namespace korvel
