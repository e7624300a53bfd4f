#pragma once
// Where the image's bytes are kept besides memory: the data file it was last
// read from or written to, and what the ECU was last known to hold. From
// them follow the two facts that guard against lost edits: unsaved changes,
// and an image that the ECU does not hold.

#include <optional>
#include <string>

#include "calib/CalibrationImage.h"
#include "calib/EcuBytes.h"

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
    // The ECU was read whole, or programmed whole.
    void EcuHolds(const CalibrationImage& image) { ecu_.LearnAll(image); }
    // What the ECU holds, byte by byte; the transfers keep it up to date.
    EcuBytes& Ecu() { return ecu_; }
    const EcuBytes& Ecu() const { return ecu_; }

    // The image holds changes that no data file holds (nor the ECU, right
    // after an Upload).
    bool HasUnsavedChanges(const CalibrationImage& image) const;
    // A byte the ECU is known to hold differs from the image.
    bool DiffersFromEcu(const CalibrationImage& image) const { return ecu_.DiffersFrom(image); }

    // The data file's path and its last component; empty when no file is known.
    const std::string& FilePath() const { return path_; }
    std::string FileName() const;

private:
    std::string path_;
    std::optional<CalibrationImage> saved_ = CalibrationImage{};  // nullopt: nothing saved it
    EcuBytes ecu_;
};

}  // namespace korvel
