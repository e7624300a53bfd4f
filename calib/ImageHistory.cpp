#include "calib/ImageHistory.h"

#include <utility>

namespace korvel {

bool ImageHistory::Record(std::string name, const CalibrationImage& before,
                          const CalibrationImage& after) {
    if (before.values == after.values) {
        return false;
    }
    redo_.clear();
    undo_.push_back({std::move(name), before});
    if (undo_.size() > MaxSteps) {
        undo_.pop_front();
    }
    return true;
}

bool ImageHistory::Undo(CalibrationImage& image) {
    if (undo_.empty()) {
        return false;
    }
    Step step = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back({step.name, image});
    image = step.image;
    return true;
}

bool ImageHistory::Redo(CalibrationImage& image) {
    if (redo_.empty()) {
        return false;
    }
    Step step = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back({step.name, image});
    image = step.image;
    return true;
}

void ImageHistory::Clear() {
    undo_.clear();
    redo_.clear();
}

std::string ImageHistory::UndoName() const {
    return undo_.empty() ? std::string() : undo_.back().name;
}

std::string ImageHistory::RedoName() const {
    return redo_.empty() ? std::string() : redo_.back().name;
}

}  // namespace korvel
