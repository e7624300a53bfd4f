#include "calib/KnownCopies.h"

#include <utility>

namespace korvel {

void KnownCopies::FileHolds(const CalibrationImage& image, std::string path, bool complete) {
    path_ = std::move(path);
    saved_ = complete ? std::optional(image) : std::nullopt;
}

void KnownCopies::Uploaded(const CalibrationImage& image) {
    path_.clear();  // a later Save must not go unasked to the file of another calibration
    saved_ = image;
    ecu_.LearnAll(image);
}

bool KnownCopies::HasUnsavedChanges(const CalibrationImage& image) const {
    return !saved_ || saved_->values != image.values;
}

std::string KnownCopies::FileName() const {
    const size_t slash = path_.find_last_of("/\\");
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

}  // namespace korvel
