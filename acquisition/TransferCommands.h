#pragma once
// The Upload and Download commands: finish the polling exchange in progress,
// run the whole-block transfer and report its outcome in the status bar and
// the flags. Shared by the desktop program and the command-line tool.

#include <vector>

#include "acquisition/AcquisitionScheduler.h"
#include "calib/CalibrationImage.h"
#include "link/Transfers.h"

namespace korvel {

enum class TransferOutcome {
    NotRun,     // the ECU was off line: nothing was sent or shown
    Succeeded,  // "Data Loaded" / "Programming Complete"
    Failed,     // "Data NOT Loaded" / "Programming FAILED"
};

// Reads 0x0E00..0x0FFF into `image`, which changes only once all 512 bytes
// have arrived: a failed upload leaves it as it was. The progress texts go to the
// MessagePane; `progress`, when given, is called after each of them (for a
// progress bar, or to let the window repaint). A cancelled upload ("Upload
// cancelled") leaves the image as it was and the ECU on line.
TransferOutcome OnUpload(AcquisitionScheduler& scheduler, CalibrationImage& image,
                         const UploadProgress& progress = {});

// A transfer runs only on line, on a quiet line: false when the ECU is off
// line, or the polling exchange in progress found it gone.
bool ReadyForTransfer(AcquisitionScheduler& scheduler);

// Programs the bytes of `image` that differ from the ECU's, each read back.
// A failure, a read-back that differs or a cancel: "Programming FAILED" and
// EcuOnLine cleared, but DataLoaded stays set: the image is still the user's.
// The messages that say how far it got are the caller's; `trace`, when given,
// learns what the transfer found out about the ECU.
TransferOutcome OnDownload(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                           const DownloadProgress& progress = {}, ProgramTrace* trace = nullptr);

// Compare: reads the ECU's block into `ecu` (a scratch copy) with the
// Upload's sequence; nothing is written and the image is not touched. A
// failure sends the link back to the probe: "Compare FAILED", "ECU Offline";
// a cancel only says "Compare cancelled".
TransferOutcome OnReadForCompare(AcquisitionScheduler& scheduler, CalibrationImage& ecu,
                                 const StepProgress& progress = {});

// Download of the changes only (the block read with SEND_INC, then each
// differing byte programmed and read back). Outcome, texts and flags as
// OnDownload's. `toProgram`, when given, receives the count of bytes that
// differed (once the block is read).
TransferOutcome OnDownloadChanges(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                                  const StepProgress& progress = {}, ProgramTrace* trace = nullptr,
                                  int* toProgram = nullptr);

// Programs exactly the listed indices of `image` (the compare window's
// "Program N changes"), `ecu` giving what the ECU held; as OnDownload
// otherwise.
TransferOutcome OnProgramChanges(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                                 const CalibrationImage& ecu, const std::vector<int>& indices,
                                 const StepProgress& progress = {}, ProgramTrace* trace = nullptr);

}  // namespace korvel
