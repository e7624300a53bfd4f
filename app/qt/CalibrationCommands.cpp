#include "app/qt/CalibrationCommands.h"

#include <QFile>
#include <QTimer>

namespace korvel {

namespace {

const char* const DataFilter = "Data Files (*.dat);;All Files (*.*)";

std::string FileSystemName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CalibrationCommands::CalibrationCommands(ProgramState& state, TransferBracket& bracket,
                                         QWidget* window, QStatusBar* statusBar)
    : QObject(window),
      state_(state),
      bracket_(bracket),
      window_(window),
      rollback_(new RollbackRunner(state, statusBar, [this](const WriteRequest& request) {
          RunWrite(request, static_cast<int>(request.indices.size()));
      })) {
    state_.session.goOnWithoutPoint = [this](const std::string& why) {
        return GoOnWithoutPoint(why);
    };
}

CalibrationCommands::~CalibrationCommands() {
    state_.session.goOnWithoutPoint = nullptr;
}

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
    Report(result, request);
    return result;
}

// Asked before a write that would go on without its before point.
bool CalibrationCommands::GoOnWithoutPoint(const std::string& why) {
    return state_.prompter.Confirm(
        window_,
        QString::fromStdString(why) +
            "\nWithout it, the calibration the ECU holds now cannot be restored later."
            "\nWrite to the ECU anyway?",
        "No Restore Point", "Write Without a Point");
}

void CalibrationCommands::Report(const WriteResult& result, const WriteRequest& request) {
    if (result.withoutPoint) {
        return;  // the user chose not to write without a point
    }
    if (!result.refusal.empty()) {
        state_.prompter.Message(window_, QString::fromStdString(result.refusal), "Download Refused",
                                Prompter::Icon::Stop);
        return;
    }
    if (result.ok() && request.rollback) {
        state_.reporter.SetPaneText(
            MessagePane,
            "ECU restored: " + std::to_string(result.verified) + " bytes programmed back");
    }
    if (result.outcome != TransferOutcome::Failed) {
        return;
    }
    emit WriteFailed();
    const QString text = QString::fromStdString(WriteFailureText(result, request.kind));
    // A failed rollback is tried again as it was: its own old values are the failed write's.
    const WriteRequest back =
        request.rollback ? request : WriteRequest::Rollback(OldValues(result));
    if (back.indices.empty()) {
        state_.prompter.Message(window_, text, QString(), Prompter::Icon::Stop);
        return;
    }
    const QString restore = "Restore the ECU";
    if (state_.prompter.Choose(window_, text, QString(), Prompter::Icon::Stop, {restore, "OK"},
                               1) == restore) {
        rollback_->Start(back);
    }
}

void CalibrationCommands::Download() {
    RunWrite(WriteRequest::Of(WriteKind::Download), ImageSize);
}

// ---- Restore points and recovered edits -----------------------------------

void CalibrationCommands::ShowRestorePoints() {
    const RestorePoints* points = state_.session.Points();
    if (points == nullptr) {
        return;
    }
    if (!points_) {
        points_ = new RestorePointsWindow(*points, &state_.session.Image(), window_);
        connect(points_, &RestorePointsWindow::OpenRequested, this,
                &CalibrationCommands::OpenPoint);
        connect(points_, &RestorePointsWindow::CompareRequested, this,
                &CalibrationCommands::ComparePoint);
        // A new point, a changed image, the ECU on line or not: the list follows.
        pointsSubscription_ = state_.session.Observe([this](const SessionEvent&) {
            if (points_) {
                points_->Refresh(&state_.session.Image());
            }
            FollowPoints();
        });
        connect(&pointsWatch_, &QTimer::timeout, this, &CalibrationCommands::FollowPoints,
                Qt::UniqueConnection);
        pointsWatch_.start(500);
    }
    FollowPoints();
    points_->show();
    points_->raise();
    points_->activateWindow();
}

void CalibrationCommands::FollowPoints() {
    if (!points_) {
        pointsWatch_.stop();
        pointsSubscription_.End();
        return;
    }
    points_->SetEcuOnLine(state_.scheduler.statusFlags.Test(EcuOnLine));
}

void CalibrationCommands::OpenPoint(const QString& path) {
    if (path.isEmpty() || !MaySaveChanges()) {
        return;
    }
    CalibrationImage image;
    if (!LoadRestorePoint(FileSystemName(path), image)) {
        state_.prompter.Message(window_, "Try another file", "Error Opening File",
                                Prompter::Icon::Stop);
        return;
    }
    state_.session.OpenRestorePoint(image);
}

// Reads the ECU (a compare's read, with its own point) and lists how the
// point differs from it; the image is not touched.
void CalibrationCommands::ComparePoint(const QString& path) {
    CalibrationImage point;
    if (path.isEmpty() || !state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;
    }
    if (!LoadRestorePoint(FileSystemName(path), point)) {
        state_.prompter.Message(window_, "Try another file", "Error Opening File",
                                Prompter::Icon::Stop);
        return;
    }
    CalibrationImage ecu;
    TransferOutcome outcome = TransferOutcome::NotRun;
    bracket_.Run(ImageSize, [&](const StepProgress& progress) {
        outcome = state_.session.ReadEcu(ecu, progress);
    });
    if (outcome == TransferOutcome::Succeeded) {
        ShowComparison(new CompareWindow(state_.session, point, path, ecu, window_));
    }
}

bool CalibrationCommands::RecoverEdits(const CalibrationImage& image, const std::string& dataFile) {
    if (!MaySaveChanges()) {
        return false;
    }
    state_.session.Recover(image, dataFile);
    return true;
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
    ShowComparison(new CompareWindow(state_.session, ecu, window_));
}

void CalibrationCommands::ShowComparison(CompareWindow* window) {
    if (compare_) {
        compare_->close();  // one comparison at a time: the newest
    }
    compare_ = window;
    bracket_.Guard(compare_);
    connect(compare_, &CompareWindow::ProgramRequested, this, &CalibrationCommands::Program);
    connect(compare_, &CompareWindow::TakeRequested, this, &CalibrationCommands::Take);
    compare_->show();
}

// Programs exactly the listed bytes, from the session's own copy of the
// image (or of the restore point compared), which the listing still matches
// (else Program is disabled).
void CalibrationCommands::Program() {
    if (!compare_ || compare_->Stale()) {
        return;
    }
    const std::vector<int> indices = compare_->ListedIndices();
    WriteRequest request = WriteRequest::Program(indices);
    if (!compare_->PointPath().isEmpty()) {
        request.source = compare_->ComparedImage();
        request.sourceFile = FileSystemName(compare_->PointPath());
    }
    const WriteResult result = RunWrite(request, static_cast<int>(indices.size()));
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
