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
    int linesWithoutNumber = 0;   // lines read that held no number (their slot kept its value)
    int valuesOutOfRange = 0;     // numbers stored that are not bytes 0..255
    int firstOutOfRangeLine = 0;  // counting from 1; 0 when there is none

    // Every slot received a number from the file.
    bool complete() const { return valuesStored >= ImageSize; }
};

// Reads a data file into the image slot by slot. Only regular files are
// read: a pipe, a device or a folder is refused before it is opened, so it
// cannot block. LF-only files are accepted; a line whose number does not fit
// in 32 bits holds no number; lines after the 512th are ignored; slots past
// the end of a short file keep their values.
DataFileReadResult ReadDataFile(const std::string& path, CalibrationImage& image);

// Parses data-file bytes already in memory (the same rules as ReadDataFile).
DataFileReadResult ParseDataFile(const std::string& bytes, CalibrationImage& image);

// The warning after an Open of a file that did not give every slot a number
// or gave some slot a value that is not a byte; empty captions when none.
struct DataFileWarning {
    std::string caption, text;
};
DataFileWarning OpenWarning(const DataFileReadResult& result);

// The file an image came from, when that file did not give every slot a
// number: such an image must not be programmed into the ECU.
struct IncompleteDataFile {
    std::string path;
    int valuesStored = 0;
};

// Why `image` must not be programmed into the ECU, or "" when it may be:
// it came from an incomplete data file, or a slot holds a value that is not
// a byte (the ECU would get its low 8 bits). Nothing is to be sent then.
std::string DownloadRefusal(const CalibrationImage& image, const IncompleteDataFile* source);

// The exact bytes of a data file for the image.
std::string FormatDataFile(const CalibrationImage& image);

enum class SaveResult {
    Saved,
    OpenFailed,   // "Error Opening File" / "Try another file"
    WriteFailed,  // "Error Writing File" / "Try another file"
};

// Writes the image atomically: a temporary file in the target's folder is
// written, flushed and synced, then renamed over the target. On any failure
// the previous file is left intact byte for byte. A symbolic link is
// followed: its target is replaced and the link kept. The target keeps its
// permission bits. A target that is read-only, or not a regular file, is
// refused (OpenFailed). In a folder that takes no new file, an existing
// writable file is written in place. On failure errno says why.
SaveResult WriteDataFile(const std::string& path, const CalibrationImage& image);

// Writes all of `bytes` to the open file descriptor; false on any failure.
using DataFileWriter = std::function<bool(int fd, std::string_view bytes)>;

// WriteDataFile with the temporary file's bytes written through `writer`
// (tests pass one that fails part way).
SaveResult WriteDataFile(const std::string& path, const CalibrationImage& image,
                         const DataFileWriter& writer);

// The same safe save for any bytes (files that carry more than an image).
SaveResult WriteFileSafely(const std::string& path, std::string_view bytes);
SaveResult WriteFileSafely(const std::string& path, std::string_view bytes,
                           const DataFileWriter& writer);

}  // namespace korvel
