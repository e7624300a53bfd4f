#pragma once
// Restore points: a complete image of the ECU's block, saved as a data file
// after every read and around every write, so that no calibration the
// program has seen is lost. index.csv in the same folder has one line per
// point. Nothing here ever deletes a point.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/DataFile.h"

namespace korvel {

enum class RestoreReason {
    Upload,          // an Upload
    Read,            // the block read by a compare, a download of the changes or a diff
    BeforeDownload,  // before a Download, a download of the changes or a Program
    BeforePoke,
    AfterDownload,
    AfterPoke,
    Rollback,  // after programming back what a failed write changed
};

// "upload", "read", "before-download", ... as in file names and the index.
const char* ReasonName(RestoreReason reason);

// One environment variable's value; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process's environment. An unset HOME is taken from the user's entry in
// the password database.
std::optional<std::string> SystemEnvironment(const std::string& name);

// $KORVEL_RESTORE_DIR; else $XDG_DATA_HOME/korvel/restore-points; else
// $HOME/.local/share/korvel/restore-points. An empty variable counts as
// unset, and so does a relative XDG_DATA_HOME. Empty when no folder can be
// named at all (no HOME).
std::string RestoreFolder(const EnvironmentLookup& environment);

// Makes `folder` and the folders above it that are missing, as the user's
// own (0700, as for any data folder). False, with errno set, when it fails
// or is not a folder.
bool MakeFolders(const std::string& folder);

// `wallMs` (milliseconds since 1970) in local time through strftime's `format`.
std::string FormatLocalTime(int64_t wallMs, const char* format);

// What the caller knows about a point when it saves one.
struct PointDetails {
    RestoreReason reason = RestoreReason::Upload;
    std::string port;                    // the serial port the block came from or went to
    std::string dataFile;                // the data file the image belongs to, if any
    std::optional<int> bytesProgrammed;  // write points that ended: bytes verified
};

// One point as listed.
struct RestorePoint {
    std::string time;      // "YYYY-MM-DD HH:MM:SS", local time
    std::string reason;    // as written ("upload", "before-poke", ...)
    std::string port;      // empty for a point missing from the index
    std::string dataFile;  // empty when the image belonged to no file
    std::optional<int> bytesProgrammed;
    std::string fileName;  // the point's own data file in the folder
    std::string path;      // folder + "/" + fileName
};

enum class PointStatus {
    Saved,
    Skipped,  // a read that the last point from the same port already holds
    Failed,   // no point: `message` says why; a write must ask before it goes on
};

struct PointResult {
    PointStatus status = PointStatus::Failed;
    std::string path;     // the point saved, or the one that made a read's point needless
    std::string message;  // why a point could not be saved, or its line not indexed
    bool Ok() const { return status != PointStatus::Failed; }
};

class RestorePoints {
public:
    using WallClock = std::function<int64_t()>;  // milliseconds since 1970

    // `writer` writes the points' and the index's bytes (tests pass one that
    // fails as a full disk does); empty: the plain write.
    RestorePoints(std::string folder, WallClock wallMs, DataFileWriter writer = {});

    const std::string& Folder() const { return folder_; }

    // Saves `image` as a new point named YYYYMMDD-HHMMSS-REASON.dat (-2, -3...
    // on a clash) with the safe save, and appends its line to index.csv. A
    // read (Upload, Read) is skipped when the last point from the same port
    // holds the same bytes. The folder is made when missing. A point whose
    // index line cannot be written is still saved (and still listed);
    // `message` then says so.
    PointResult Save(const CalibrationImage& image, const PointDetails& details);

    // "" when a point can be saved now: the folder is made when missing and
    // a point's worth of bytes is written to a scratch file there and
    // removed again. Else why not, as Save would say it. For a write whose
    // before point is saved only once the write has read the block.
    std::string CheckWritable() const;

    // Every point whose file exists, newest first: the index's lines in the
    // order they were made, and points the index does not name, by their
    // names. Empty when the folder is missing; `readable` tells a folder or
    // index that cannot be read from an empty one.
    std::vector<RestorePoint> List(bool* readable = nullptr) const;

private:
    std::optional<PointResult> SkipRead(const CalibrationImage& image,
                                        const PointDetails& details) const;
    std::string AppendToIndex(const std::string& line) const;

    std::string folder_;
    WallClock wallMs_;
    DataFileWriter writer_;
};

// Reads a point's bytes into `image`; false unless the file gave every slot
// a number (the image is then unchanged).
bool LoadRestorePoint(const std::string& path, CalibrationImage& image);

// How many of the 512 slots differ.
int CountDifferences(const CalibrationImage& a, const CalibrationImage& b);

// One CSV field, quoted when it holds a comma, a quote, a line end or edge blanks.
std::string CsvField(const std::string& text);

// The records of CSV text; quoted fields may hold commas, quotes and line ends.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);

}  // namespace korvel
