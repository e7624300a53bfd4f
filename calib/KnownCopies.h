#pragma once
// Where the image's bytes are kept besides memory: the data file it was last
// read from or written to, and what the ECU was last known to hold. From
// them follow the two facts that guard against lost edits: unsaved changes,
// and an image that the ECU does not hold.

#include <optional>
#include <string>

#include "calib/CalibrationImage.h"

namespace korvel {

class KnownCopies {
public:
    // Open and Save: the file at `path` holds `image`. An Open that did not
    // fill every slot leaves bytes the file does not hold: `complete` false
    // counts the image as unsaved until it is saved.
    void FileHolds(const CalibrationImage& image, std::string path, bool complete = true);
    // A successful Upload: the image is the ECU's own, belongs to no file,
    // and nothing in it is lost on Quit.
    void Uploaded(const CalibrationImage& image);
    // A successful Download.
    void EcuHolds(const CalibrationImage& image);

    // The image holds changes that no data file holds (nor the ECU, right
    // after an Upload).
    bool HasUnsavedChanges(const CalibrationImage& image) const;
    // The ECU's copy is known and differs from the image.
    bool DiffersFromEcu(const CalibrationImage& image) const;

    // The data file's path and its last component; empty when no file is known.
    const std::string& FilePath() const { return path_; }
    std::string FileName() const;

private:
    std::string path_;
    std::optional<CalibrationImage> saved_ = CalibrationImage{};  // nullopt: nothing saved it
    std::optional<CalibrationImage> ecu_;
};

}  // namespace korvel
