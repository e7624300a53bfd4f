#pragma once
// Whole-block transfers of the calibration (0x0E00..0x0FFF) and the Upload
// and Download commands' outcome rules, shared by the desktop program and
// the command-line tool.

#include <cstdint>
#include <functional>
#include <string>

#include "calib/CalibrationImage.h"
#include "link/Protocol.h"

namespace korvel {

constexpr uint32_t CalibrationFirstAddress = ImageBaseAddress;
constexpr uint32_t CalibrationLastAddress = ImageBaseAddress + ImageSize - 1;

using UploadProgress = std::function<void(int index, uint32_t value)>;
using DownloadProgress = std::function<void(uint32_t ecuByte, uint32_t imageValue)>;

// Reads first..last into values[0 .. last - first]; the image is filled in
// place, so bytes read before a failure stay. After each byte it writes
// UploadProgressText to the MessagePane and then calls `progress` (may be
// empty). Reports "Send Address failed" / "Not all addresses loaded" itself.
// A failure names the address it stopped at.
LinkResult UploadRange(EcuLink& link, uint32_t* values, uint32_t first, uint32_t last,
                       const UploadProgress& progress);

// Programs only the bytes whose ECU value differs from values[i]. After each
// address is read back it writes DownloadProgressText to the MessagePane and
// then calls `progress` (may be empty). Shows no message. A failure names
// the address it stopped at and, once programming began, the value written.
LinkResult DownloadRange(EcuLink& link, const uint32_t* values, uint32_t first, uint32_t last,
                         const DownloadProgress& progress);

// Programs the low 8 bits of `value` at the address the ECU's pointer
// already holds: LOAD_DATA, then PROGRAM arm, then PROGRAM commit, each sent
// only once the one before was echoed. A failure names the value written.
LinkResult ProgramByte(EcuLink& link, uint32_t value);

// "Uploading Data %d  %X" and "Programming ECU:  %X  %X".
std::string UploadProgressText(int index, uint32_t value);
std::string DownloadProgressText(uint32_t ecuByte, uint32_t imageValue);

}  // namespace korvel
