#pragma once
// The virtual ECU's calibration EEPROM kept in a file, in the data file's
// format, so that it outlives the simulator: a killed simulator's EEPROM can
// be read (and compared with a data file byte for byte), and a restarted one
// goes on from it. The file is replaced whole after every programmed byte,
// by a rename, so that it is never seen half written.

#include <string>

#include "calib/CalibrationImage.h"

namespace korvel {

enum class EepromFileRead {
    Read,     // `image` holds the file's 512 bytes
    Missing,  // no such file: `image` is unchanged
    Unusable  // not a complete data file of bytes 0..255
};

EepromFileRead ReadEepromFile(const std::string& path, CalibrationImage& image);

// False when the file could not be written; the previous one is then kept.
bool WriteEepromFile(const std::string& path, const CalibrationImage& image);

}  // namespace korvel
