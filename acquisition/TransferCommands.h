#pragma once
// The Upload and Download commands: finish the polling exchange in progress,
// run the whole-block transfer and report its outcome in the status bar and
// the flags. Shared by the desktop program and the command-line tool.

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
// progress bar, or to let the window repaint).
TransferOutcome OnUpload(AcquisitionScheduler& scheduler, CalibrationImage& image,
                         const UploadProgress& progress = {});

// Programs the bytes of `image` that differ from the ECU's. A failure clears
// EcuOnLine but leaves DataLoaded set: the image is still the user's.
TransferOutcome OnDownload(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                           const DownloadProgress& progress = {});

}  // namespace korvel
