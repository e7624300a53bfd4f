#pragma once
// What an image index is, in the words and units of the editors and dialogs:
// "VE Table, MAP 9.6, RPM 70", "RPM curve (position), point 3 y",
// "RPM Presets, PWM Hi Limit (high byte)", "pointer table, slot 15",
// "free space". Found from the pointer table and the bounded walks; where the
// image is damaged, the bytes no walk reached are "unknown".

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "calib/CalibrationImage.h"

namespace korvel {

using ImageByteNames = std::array<std::string, ImageSize>;

// The name of every index of the image at once (one set of walks).
ImageByteNames NameImageBytes(const CalibrationImage& image);

// The name of one index; "unknown" outside 0..511.
std::string NameImageByte(const CalibrationImage& image, int index);

// `value` as the editors and dialogs show the byte at `index` of `image`:
// through the unit scale of its column ("-22" for a coolant temperature,
// "1400" for a curve's engine speed, "25.1" for a MAP key), an engine speed
// preset times 20, anything else as a plain decimal number.
std::string ShowImageValue(const CalibrationImage& image, int index, uint32_t value);

// One byte that differs between two images: its index, the value in each,
// and its name.
struct ByteDifference {
    int index = 0;
    uint32_t first = 0;
    uint32_t second = 0;
    std::string name;
    bool operator==(const ByteDifference&) const = default;
};

// Every index whose slots differ, ascending, named from `first` (a file's
// image when the other one is the ECU's).
std::vector<ByteDifference> CompareImages(const CalibrationImage& first,
                                          const CalibrationImage& second);

// "0E57 44 45 RPM Presets, RPM A": the ECU address as four hex digits, the
// two values in decimal, the name.
std::string DifferenceLine(const ByteDifference& difference);

}  // namespace korvel
