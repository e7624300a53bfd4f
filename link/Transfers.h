#pragma once
// Whole-block transfers of the calibration (0x0E00..0x0FFF) and the Upload
// and Download commands' outcome rules, shared by the desktop program and
// the command-line tool.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/EcuBytes.h"
#include "link/Protocol.h"

namespace korvel {

constexpr uint32_t CalibrationFirstAddress = ImageBaseAddress;
constexpr uint32_t CalibrationLastAddress = ImageBaseAddress + ImageSize - 1;

using UploadProgress = std::function<void(int index, uint32_t value)>;
using DownloadProgress = std::function<void(uint32_t ecuByte, uint32_t imageValue)>;
// `done` of `total` steps of a transfer are finished (one step per byte read
// or programmed).
using StepProgress = std::function<void(int done, int total)>;

// What a programming transfer learns of the ECU as it goes, for whoever keeps
// track of it: each byte read or read back is known; a byte whose commit went
// out without a matching read-back is unknown. `changed` keeps the old value
// of every byte the transfer changed or may have changed (nullopt where it
// was not known), so the change can be undone.
struct ProgramTrace {
    EcuBytes* ecu = nullptr;  // updated as the transfer goes, when given
    int verified = 0;         // bytes programmed whose read-back matched
    bool uncertain = false;   // the failing byte's commit went out unverified
    std::vector<std::pair<int, std::optional<uint8_t>>> changed;
    LinkResult ended;  // how the whole transfer ended
    // DownloadChanges: told the block it read, before the first byte is
    // programmed; false stops the transfer there, as a cancel does.
    std::function<bool(const CalibrationImage& ecu)> blockRead;

    // Records one ProgramByte at `index`, with the byte's value before it.
    void Programmed(int index, std::optional<uint8_t> old, uint32_t value,
                    const LinkResult& result);
    void Read(int index, uint32_t value) const;
};

// Reads first..last into values[0 .. last - first]; the image is filled in
// place, so bytes read before a failure stay. After each byte it writes
// UploadProgressText to the MessagePane and then calls `progress` (may be
// empty). Reports "Send Address failed" / "Not all addresses loaded" itself.
// A failure names the address it stopped at. Every transfer here asks the
// link's cancelRequested before each byte (before each address for the
// downloads) and stops there with LinkStep::Cancelled, without a message.
LinkResult UploadRange(EcuLink& link, uint32_t* values, uint32_t first, uint32_t last,
                       const UploadProgress& progress);

// Programs only the bytes whose ECU value differs from values[i], each one
// read back after its commit (ProgramByte). After each address is read it
// writes DownloadProgressText to the MessagePane and then calls `progress`
// (may be empty). Shows no message. A failure names the address it stopped
// at and, once programming began, the value written.
LinkResult DownloadRange(EcuLink& link, const uint32_t* values, uint32_t first, uint32_t last,
                         const DownloadProgress& progress, ProgramTrace* trace = nullptr);

// Programs the low 8 bits of `value` at the address the ECU's pointer
// already holds: LOAD_DATA, then PROGRAM arm, then PROGRAM commit, each sent
// only once the one before was echoed; then reads the byte back with SEND
// (the pointer still holds the address), since an echoed sequence does not
// prove that a worn or write-protected cell took the byte. A failure names
// the value written; a read-back that differs fails with LinkStep::Verify
// and names the value read.
LinkResult ProgramByte(EcuLink& link, uint32_t value);

// "Verify failed at E57: wrote 2C, ECU holds 2B" for a Verify failure that
// names its address; empty for any other result.
std::string VerifyFailureText(const LinkResult& result);

// Reads the whole block into `ecu`, a scratch copy, with the Upload's exact
// sequence (the address once, then 512 SEND_INC) and its progress texts,
// but without its two messages of its own. Nothing is written.
LinkResult ReadCalibration(EcuLink& link, CalibrationImage& ecu, const UploadProgress& progress);

// The indices whose slot in `image` differs from the one in `ecu`, ascending
// (the whole slot is compared, as Download does).
std::vector<int> DifferingIndices(const CalibrationImage& image, const CalibrationImage& ecu);

// Programs image[i] at 0x0E00 + i for each listed index: the address, then
// ProgramByte with its read-back. Before each write DownloadProgressText
// (ECU byte as `ecu` gives it, new value) goes to the MessagePane and then
// `progress` is called. Stops at the first failure, or between two bytes on
// a cancel request.
LinkResult ProgramIndices(EcuLink& link, const CalibrationImage& image, const CalibrationImage& ecu,
                          const std::vector<int>& indices, const DownloadProgress& progress,
                          ProgramTrace* trace = nullptr);

// Download of the changes only: ReadCalibration into a scratch copy, then
// ProgramIndices over the bytes that differ. `progress` counts 512 reads
// and then each byte programmed. `programmed`, when given, receives how many
// bytes were programmed and verified, and `toProgram` how many differed.
LinkResult DownloadChanges(EcuLink& link, const CalibrationImage& image,
                           const StepProgress& progress, int* programmed = nullptr,
                           ProgramTrace* trace = nullptr, int* toProgram = nullptr);

// "Uploading Data %d  %X" and "Programming ECU:  %X  %X".
std::string UploadProgressText(int index, uint32_t value);
std::string DownloadProgressText(uint32_t ecuByte, uint32_t imageValue);

}  // namespace korvel
