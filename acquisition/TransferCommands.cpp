#include "acquisition/TransferCommands.h"

namespace korvel {

namespace {

// An off-line ECU is never waited for: the command does nothing at once.
// On line, the polling exchange in progress is finished first, and it may
// itself find the ECU gone.
bool ReadyForTransfer(AcquisitionScheduler& scheduler) {
    if (!scheduler.statusFlags.Test(EcuOnLine)) {
        return false;
    }
    scheduler.FinishOutstanding();
    return scheduler.statusFlags.Test(EcuOnLine);
}

}  // namespace

TransferOutcome OnUpload(AcquisitionScheduler& scheduler, CalibrationImage& image,
                         const UploadProgress& progress) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    EcuLink& link = scheduler.Link();
    const LinkResult uploaded = UploadRange(link, image.values.data(), CalibrationFirstAddress,
                                            CalibrationLastAddress, progress);
    if (!uploaded.ok()) {
        scheduler.RestartFromProbe();
        link.reporter.SetPaneText(MessagePane, "Data NOT Loaded");
        link.reporter.SetPaneText(EcuStatePane, "ECU Offline");
        return TransferOutcome::Failed;
    }
    link.reporter.SetPaneText(MessagePane, "Data Loaded");
    scheduler.statusFlags.Set(DataLoaded);
    return TransferOutcome::Succeeded;
}

TransferOutcome OnDownload(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                           const DownloadProgress& progress) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    EcuLink& link = scheduler.Link();
    const LinkResult programmed = DownloadRange(link, image.values.data(), CalibrationFirstAddress,
                                                CalibrationLastAddress, progress);
    if (!programmed.ok()) {
        link.reporter.SetPaneText(MessagePane, "Programming FAILED");
        scheduler.statusFlags.Clear(DataLoaded);
        scheduler.RestartFromProbe();
        if (const std::string verify = VerifyFailureText(programmed); !verify.empty()) {
            link.reporter.ShowMessage(verify);
        }
        return TransferOutcome::Failed;
    }
    link.reporter.SetPaneText(MessagePane, "Programming Complete");
    scheduler.statusFlags.Set(DataLoaded);
    return TransferOutcome::Succeeded;
}

}  // namespace korvel
