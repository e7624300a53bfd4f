#pragma once
// Undo and redo over the calibration image: every change is one step, kept
// as a snapshot of the image before it (the image is 2 KiB), with a short
// name for the menu ("Undo Change").

#include <cstddef>
#include <deque>
#include <string>

#include "calib/CalibrationImage.h"

namespace korvel {

class ImageHistory {
public:
    static constexpr size_t MaxSteps = 200;

    // Records one step that turned `before` into `after`. A change that left
    // every slot as it was records nothing. A new step cuts off the redo
    // steps; beyond MaxSteps the oldest step is forgotten. Returns whether a
    // step was recorded.
    bool Record(std::string name, const CalibrationImage& before, const CalibrationImage& after);

    // Puts `image` back as it was before the last step (after the next
    // redone step); false, with `image` unchanged, when there is none.
    bool Undo(CalibrationImage& image);
    bool Redo(CalibrationImage& image);

    // A new image (Open, Upload) starts a new history.
    void Clear();

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Name of the step Undo or Redo would take; empty when there is none.
    std::string UndoName() const;
    std::string RedoName() const;
    size_t UndoCount() const { return undo_.size(); }

private:
    struct Step {
        std::string name;
        CalibrationImage image;  // the image on the other side of the step
    };

    std::deque<Step> undo_;
    std::deque<Step> redo_;
};

}  // namespace korvel
