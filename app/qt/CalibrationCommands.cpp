#include "app/qt/CalibrationCommands.h"

#include <QFile>

namespace korvel {

namespace {

const char* const DataFilter = "Data Files (*.dat);;All Files (*.*)";

std::string FileSystemName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CalibrationCommands::CalibrationCommands(ProgramState& state, TransferBracket& bracket,
                                         QWidget* window)
    : QObject(window), state_(state), bracket_(bracket), window_(window) {}

// ---- Data files -----------------------------------------------------------

void CalibrationCommands::Open() {
    if (!MaySaveChanges()) {
        return;
    }
    const auto chosen = state_.prompter.OpenFileName(window_, "Open ECU Data File From Disk",
                                                     DataFilter, "dat", QString());
    if (!chosen) {
        return;
    }
    const DataFileReadResult result = state_.session.Open(FileSystemName(*chosen));
    if (!result.opened) {
        state_.prompter.Message(window_, "Try another file", "Error Opening File",
                                Prompter::Icon::Stop);
        return;
    }
    const DataFileWarning warning = OpenWarning(result);
    if (!warning.caption.empty()) {
        state_.prompter.Message(window_, QString::fromStdString(warning.text),
                                QString::fromStdString(warning.caption),
                                Prompter::Icon::Exclamation);
    }
}

void CalibrationCommands::Save() {
    const auto chosen =
        state_.prompter.SaveFileName(window_, "Save ECU Data File To Disk", DataFilter, "dat");
    if (chosen) {
        SaveTo(*chosen);
    }
}

bool CalibrationCommands::SaveTo(const QString& path) {
    switch (state_.session.Save(FileSystemName(path))) {
        case SaveResult::Saved:
            return true;
        case SaveResult::OpenFailed:
            state_.prompter.Message(window_, "Try another file", "Error Opening File",
                                    Prompter::Icon::Stop);
            break;
        case SaveResult::WriteFailed:
            state_.prompter.Message(window_, "Try another file", "Error Writing File",
                                    Prompter::Icon::Stop);
            break;
    }
    return false;
}

bool CalibrationCommands::MaySaveChanges() {
    CalibrationSession& session = state_.session;
    if (!session.HasUnsavedChanges()) {
        return true;
    }
    const QString name = QString::fromStdString(session.FileName());
    const QString text = QString("Save changes to %1?").arg(name.isEmpty() ? "Untitled" : name);
    switch (state_.prompter.AskToSave(window_, text, QString())) {
        case Prompter::Answer::Save:
            break;
        case Prompter::Answer::Discard:
            return true;
        case Prompter::Answer::Cancel:
            return false;
    }
    if (!session.FilePath().empty()) {
        return SaveTo(QFile::decodeName(QByteArray::fromStdString(session.FilePath())));
    }
    Save();
    return !session.HasUnsavedChanges();  // cancelled or failed: stay
}

bool CalibrationCommands::MayQuit() {
    if (!MaySaveChanges()) {
        return false;
    }
    const CalibrationSession& session = state_.session;
    // After a write that stopped part way the ECU holds neither calibration,
    // whether it answers now or not.
    if (session.EcuMayHoldMix()) {
        return state_.prompter.Confirm(window_,
                                       "The ECU may hold a mix of calibrations: a write to it "
                                       "did not finish.\nQuit without a Download?",
                                       QString(), "Quit");
    }
    if (!state_.scheduler.statusFlags.Test(EcuOnLine) || !session.EcuDiffers()) {
        return true;
    }
    return state_.prompter.Confirm(
        window_, "The ECU does not hold the calibration in memory.\nQuit without a Download?",
        QString(), "Quit");
}

void CalibrationCommands::EditWithDialog(const char* name,
                                         const std::function<void(CalibrationImage&)>& run) {
    CalibrationImage edited = state_.session.Image();
    run(edited);
    state_.session.Edit(name, [&edited](CalibrationImage& image) {
        image = edited;
        return true;
    });
}

// ---- Transfers ------------------------------------------------------------

void CalibrationCommands::Upload() {
    if (!state_.scheduler.statusFlags.Test(EcuOnLine) || !MaySaveChanges()) {
        return;  // off line: nothing happens
    }
    bracket_.Run(ImageSize,
                 [this](const StepProgress& progress) { state_.session.Upload(progress); });
}

WriteResult CalibrationCommands::RunWrite(const WriteRequest& request, int steps) {
    WriteResult result;
    bracket_.Run(steps, [&](const StepProgress& progress) {
        result = state_.session.Write(request, progress);
    });
    Report(result, request.kind);
    return result;
}

void CalibrationCommands::Report(const WriteResult& result, WriteKind kind) {
    if (!result.refusal.empty()) {
        state_.prompter.Message(window_, QString::fromStdString(result.refusal), "Download Refused",
                                Prompter::Icon::Stop);
        return;
    }
    if (result.outcome == TransferOutcome::Failed) {
        emit WriteFailed();
        state_.prompter.Message(window_, QString::fromStdString(WriteFailureText(result, kind)),
                                QString(), Prompter::Icon::Stop);
    }
}

void CalibrationCommands::Download() {
    RunWrite(WriteRequest::Of(WriteKind::Download), ImageSize);
}

// ---- Compare with ECU -----------------------------------------------------

void CalibrationCommands::Compare() {
    if (!state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;
    }
    CalibrationImage ecu;
    TransferOutcome outcome = TransferOutcome::NotRun;
    bracket_.Run(ImageSize, [&](const StepProgress& progress) {
        outcome = state_.session.ReadEcu(ecu, progress);
    });
    if (outcome != TransferOutcome::Succeeded) {
        return;
    }
    if (compare_) {
        compare_->close();  // one comparison at a time: the newest
    }
    compare_ = new CompareWindow(state_.session, ecu, window_);
    bracket_.Guard(compare_);
    connect(compare_, &CompareWindow::ProgramRequested, this, &CalibrationCommands::Program);
    connect(compare_, &CompareWindow::TakeRequested, this, &CalibrationCommands::Take);
    compare_->show();
}

// Programs exactly the listed bytes, from the session's own copy of the
// image, which the listing still matches (else Program is disabled).
void CalibrationCommands::Program() {
    if (!compare_ || compare_->Stale()) {
        return;
    }
    const std::vector<int> indices = compare_->ListedIndices();
    const WriteResult result =
        RunWrite(WriteRequest::Program(indices), static_cast<int>(indices.size()));
    if (result.ok() && compare_) {
        compare_->Programmed(indices);
    }
}

void CalibrationCommands::Take(const std::vector<int>& indices) {
    if (!compare_ || compare_->Stale()) {
        return;
    }
    const CalibrationImage ecu = compare_->EcuImage();
    compare_->Took(indices);  // before the session tells it of the change
    state_.session.Edit("Take ECU Values", [&](CalibrationImage& image) {
        for (int index : indices) {
            image[index] = ecu[index];
        }
        return true;
    });
}

}  // namespace korvel
