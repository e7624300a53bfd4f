#include "acquisition/TransferCommands.h"

namespace korvel {

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

namespace {

// Every programming command ends the same way. A failed one leaves the ECU
// in an unknown state, so the link goes back to the probe; DataLoaded stays,
// as the image is unchanged and Save must stay possible (a second Download
// is safe: it compares every byte).
TransferOutcome FinishProgramming(AcquisitionScheduler& scheduler, const LinkResult& result,
                                  ProgramTrace* trace) {
    if (trace != nullptr) {
        trace->ended = result;
    }
    Reporter& reporter = scheduler.Link().reporter;
    if (result.ok()) {
        reporter.SetPaneText(MessagePane, "Programming Complete");
        scheduler.statusFlags.Set(DataLoaded);
        return TransferOutcome::Succeeded;
    }
    reporter.SetPaneText(MessagePane, "Programming FAILED");
    scheduler.RestartFromProbe();
    return TransferOutcome::Failed;
}

}  // namespace

TransferOutcome OnUpload(AcquisitionScheduler& scheduler, CalibrationImage& image,
                         const UploadProgress& progress) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    EcuLink& link = scheduler.Link();
    // Read into a copy: an ECU that stops half way must not leave half its
    // bytes over half of the old calibration, which Save or Download would
    // then write as one.
    CalibrationImage received = image;
    const LinkResult uploaded = UploadRange(link, received.values.data(), CalibrationFirstAddress,
                                            CalibrationLastAddress, progress);
    // A cancel stops between two bytes on a quiet line: the ECU stays on
    // line and the image keeps what it held.
    if (uploaded.step == LinkStep::Cancelled) {
        link.reporter.SetPaneText(MessagePane, "Upload cancelled");
        return TransferOutcome::Failed;
    }
    if (!uploaded.ok()) {
        scheduler.RestartFromProbe();
        link.reporter.SetPaneText(MessagePane, "Data NOT Loaded");
        link.reporter.SetPaneText(EcuStatePane, "ECU Offline");
        return TransferOutcome::Failed;
    }
    image = received;
    link.reporter.SetPaneText(MessagePane, "Data Loaded");
    scheduler.statusFlags.Set(DataLoaded);
    return TransferOutcome::Succeeded;
}

TransferOutcome OnDownload(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                           const DownloadProgress& progress, ProgramTrace* trace) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    const LinkResult result =
        DownloadRange(scheduler.Link(), image.values.data(), CalibrationFirstAddress,
                      CalibrationLastAddress, progress, trace);
    return FinishProgramming(scheduler, result, trace);
}

TransferOutcome OnReadForCompare(AcquisitionScheduler& scheduler, CalibrationImage& ecu,
                                 const StepProgress& progress) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    EcuLink& link = scheduler.Link();
    const LinkResult read = ReadCalibration(link, ecu, [&](int index, uint32_t) {
        if (progress) {
            progress(index + 1, ImageSize);
        }
    });
    if (read.step == LinkStep::Cancelled) {
        link.reporter.SetPaneText(MessagePane, "Compare cancelled");
        return TransferOutcome::Failed;
    }
    if (!read.ok()) {
        scheduler.RestartFromProbe();
        link.reporter.SetPaneText(MessagePane, "Compare FAILED");
        link.reporter.SetPaneText(EcuStatePane, "ECU Offline");
        return TransferOutcome::Failed;
    }
    link.reporter.SetPaneText(MessagePane, "Compare Complete");
    return TransferOutcome::Succeeded;
}

TransferOutcome OnDownloadChanges(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                                  const StepProgress& progress, ProgramTrace* trace,
                                  int* toProgram) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    const LinkResult result =
        DownloadChanges(scheduler.Link(), image, progress, nullptr, trace, toProgram);
    return FinishProgramming(scheduler, result, trace);
}

TransferOutcome OnProgramChanges(AcquisitionScheduler& scheduler, const CalibrationImage& image,
                                 const CalibrationImage& ecu, const std::vector<int>& indices,
                                 const StepProgress& progress, ProgramTrace* trace) {
    if (!ReadyForTransfer(scheduler)) {
        return TransferOutcome::NotRun;
    }
    int started = 0;
    const int total = static_cast<int>(indices.size());
    const LinkResult result = ProgramIndices(
        scheduler.Link(), image, ecu, indices,
        [&](uint32_t, uint32_t) {
            if (progress) {
                progress(started, total);
            }
            ++started;
        },
        trace);
    return FinishProgramming(scheduler, result, trace);
}

}  // namespace korvel
