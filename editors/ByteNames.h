#pragma once
// What an image index is, in the words and units of the editors and dialogs:
// "VE Table, MAP 9.6, RPM 70", "RPM curve (position), point 3 y",
// "RPM Presets, PWM Hi Limit (high byte)", "pointer table, slot 15",
// "free space". Found from the pointer table and the bounded walks; where the
// image is damaged, the bytes no walk reached are "unknown".

#include <array>
#include <string>

#include "calib/CalibrationImage.h"

namespace korvel {

using ImageByteNames = std::array<std::string, ImageSize>;

// The name of every index of the image at once (one set of walks).
ImageByteNames NameImageBytes(const CalibrationImage& image);

// The name of one index; "unknown" outside 0..511.
std::string NameImageByte(const CalibrationImage& image, int index);

}  // namespace korvel
