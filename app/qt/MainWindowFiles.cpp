// The File menu: data files, transfers with the ECU and the monitor file.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>
#include <utility>

#include "acquisition/TransferCommands.h"
#include "app/qt/DataLogControl.h"
#include "app/qt/MainWindow.h"
#include "calib/DataFile.h"

namespace korvel {

namespace {

const char* const DataFilter = "Data Files (*.dat);;All Files (*.*)";
const char* const MonitorFilter = "Monitor Files (*.cfg);;All Files (*.*)";

std::string FileSystemName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

// ---- Data files -----------------------------------------------------------

void MainWindow::OnOpen() {
    Prompter& prompter = state_.prompter;
    if (!MaySaveChanges()) {
        return;
    }
    const auto chosen =
        prompter.OpenFileName(this, "Open ECU Data File From Disk", DataFilter, "dat", QString());
    if (!chosen) {
        return;
    }
    dataFilePath_ = *chosen;
    const DataFileReadResult result = ReadDataFile(FileSystemName(*chosen), state_.image);
    if (!result.opened) {
        prompter.Message(this, "Try another file", "Error Opening File", Prompter::Icon::Stop);
        return;
    }
    state_.scheduler.statusFlags.Set(DataLoaded);
    state_.history.Clear();  // a new image, a new history
    state_.copies.FileHolds(state_.image, FileSystemName(*chosen),
                            result.valuesStored >= ImageSize);
    state_.incompleteOpen.reset();
    if (!result.complete()) {
        state_.incompleteOpen = IncompleteDataFile{chosen->toStdString(), result.valuesStored};
    }
    RefreshCommands();
    DropAllSelections();  // the editors show the new image, with no selection
    AfterImageChange();
    const DataFileWarning warning = OpenWarning(result);
    if (!warning.caption.empty()) {
        prompter.Message(this, QString::fromStdString(warning.text),
                         QString::fromStdString(warning.caption), Prompter::Icon::Exclamation);
    }
}

void MainWindow::OnSave() {
    Prompter& prompter = state_.prompter;
    const auto chosen =
        prompter.SaveFileName(this, "Save ECU Data File To Disk", DataFilter, "dat");
    if (!chosen) {
        return;
    }
    dataFilePath_ = *chosen;
    SaveTo(*chosen);
}

bool MainWindow::SaveTo(const QString& path) {
    Prompter& prompter = state_.prompter;
    switch (WriteDataFile(FileSystemName(path), state_.image)) {
        case SaveResult::Saved:
            state_.copies.FileHolds(state_.image, FileSystemName(path));
            AfterImageChange();
            return true;
        case SaveResult::OpenFailed:
            prompter.Message(this, "Try another file", "Error Opening File", Prompter::Icon::Stop);
            break;
        case SaveResult::WriteFailed:
            prompter.Message(this, "Try another file", "Error Writing File", Prompter::Icon::Stop);
            break;
    }
    return false;
}

// ---- Transfers ------------------------------------------------------------

void MainWindow::BeginTransfer(int steps) {
    transferring_ = true;
    cancelRequested_ = false;
    state_.link.cancelRequested = [this] { return cancelRequested_; };
    progress_->setRange(0, steps);
    progress_->setValue(0);
    progress_->show();
    cancel_->show();
    qApp->installEventFilter(this);
}

// After each byte: advance the bar and let the window repaint. Of the
// user's input only the Cancel button and Esc get through (eventFilter).
void MainWindow::TransferProgress() {
    progress_->setValue(progress_->value() + 1);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::EndTransfer() {
    qApp->removeEventFilter(this);
    state_.link.cancelRequested = nullptr;
    progress_->hide();
    cancel_->hide();
    transferring_ = false;
    RefreshCommands();
    if (std::exchange(closeAfterTransfer_, false)) {
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (QApplication::activeModalWidget() != nullptr) {
        return false;  // a message box shown mid-transfer takes its own input
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                cancelRequested_ = true;
            }
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return watched != cancel_;
        default:
            return false;
    }
}

void MainWindow::OnUpload() {
    if (!state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;  // off line: nothing happens
    }
    if (!MaySaveChanges()) {
        return;
    }
    TransferOutcome outcome;
    {
        AcquisitionDriver::Pauser pause(state_.driver);
        BeginTransfer();
        outcome = korvel::OnUpload(state_.scheduler, state_.image,
                                   [this](int, uint32_t) { TransferProgress(); });
        EndTransfer();
    }
    if (outcome == TransferOutcome::Succeeded) {
        state_.incompleteOpen.reset();
        state_.history.Clear();  // a new image, a new history
        state_.copies.Uploaded(state_.image);
    }
    if (outcome != TransferOutcome::NotRun) {
        DropAllSelections();  // the editors repaint, with no selection
    }
    AfterImageChange();
}

void MainWindow::OnDownload() {
    if (!state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;
    }
    const std::string refusal =
        DownloadRefusal(state_.image, state_.incompleteOpen ? &*state_.incompleteOpen : nullptr);
    if (!refusal.empty()) {
        state_.prompter.Message(this, QString::fromStdString(refusal), "Download Refused",
                                Prompter::Icon::Stop);
        return;
    }
    AcquisitionDriver::Pauser pause(state_.driver);
    BeginTransfer();
    const TransferOutcome outcome = korvel::OnDownload(
        state_.scheduler, state_.image, [this](uint32_t, uint32_t) { TransferProgress(); });
    EndTransfer();
    if (outcome == TransferOutcome::Succeeded) {
        state_.copies.EcuHolds(state_.image);
    }
}

// ---- Compare with ECU -----------------------------------------------------

void MainWindow::OnCompare() {
    if (!state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;
    }
    CalibrationImage ecu;
    TransferOutcome outcome;
    {
        AcquisitionDriver::Pauser pause(state_.driver);
        BeginTransfer();
        outcome = OnReadForCompare(state_.scheduler, ecu, [this](int, int) { TransferProgress(); });
        EndTransfer();
    }
    if (outcome != TransferOutcome::Succeeded) {
        return;
    }
    state_.copies.EcuHolds(ecu);  // what Quit compares the image with
    if (compare_) {
        compare_->close();  // one comparison at a time: the newest
    }
    compare_ = new CompareWindow(state_.image, ecu, this);
    connect(compare_, &CompareWindow::ProgramRequested, this, &MainWindow::OnProgramChanges);
    connect(compare_, &CompareWindow::TakeRequested, this, &MainWindow::OnTakeEcuValues);
    compare_->show();
}

// Programs exactly the listed bytes with the values they had when compared.
void MainWindow::OnProgramChanges() {
    if (!compare_ || !state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;
    }
    const std::vector<int> indices = compare_->ListedIndices();
    TransferOutcome outcome;
    {
        AcquisitionDriver::Pauser pause(state_.driver);
        BeginTransfer(static_cast<int>(indices.size()));
        outcome = korvel::OnProgramChanges(state_.scheduler, compare_->ComparedImage(),
                                           compare_->EcuImage(), indices,
                                           [this](int, int) { TransferProgress(); });
        EndTransfer();
    }
    if (outcome == TransferOutcome::Succeeded && compare_) {
        CalibrationImage held = compare_->EcuImage();
        for (int index : indices) {
            held[index] = compare_->ComparedImage()[index];
        }
        state_.copies.EcuHolds(held);
        compare_->Resolve(indices);
    }
}

void MainWindow::OnTakeEcuValues(const std::vector<int>& indices) {
    if (!compare_) {
        return;
    }
    const CalibrationImage before = state_.image;
    for (int index : indices) {
        state_.image[index] = compare_->EcuImage()[index];
    }
    compare_->Resolve(indices);
    DropAllSelections();  // the editors show the new values, with no selection
    if (state_.history.Record("Take ECU Values", before, state_.image)) {
        AfterImageChange();  // one undo step, and the title's unsaved mark
    }
}

// ---- Monitor file ---------------------------------------------------------

// Tries the current name, then the file dialog until a file is read into
// `into` or the user cancels. Returns false when cancelled.
bool MainWindow::ReadMonitorFileWithDialog(MonitorFile& into) {
    Prompter& prompter = state_.prompter;
    QString name = QString::fromStdString(state_.monitorFileName + ".cfg");
    if (ReadMonitorFile(FileSystemName(name), into)) {
        return true;
    }
    for (;;) {
        const auto chosen = prompter.OpenFileName(this, "Open Monitor File To Display ECU Data",
                                                  MonitorFilter, "cfg", name);
        if (!chosen) {
            return false;
        }
        name = *chosen;
        if (ReadMonitorFile(FileSystemName(name), into)) {
            return true;
        }
        prompter.Message(this, "Error Opening File", QString(), Prompter::Icon::Stop);
    }
}

void MainWindow::LoadMonitorFile() {
    ProgramState& s = state_;
    MonitorFile next = s.monitor;  // acquisition goes on with the old list meanwhile
    const bool read = ReadMonitorFileWithDialog(next);
    if (!read) {
        s.prompter.Message(this,
                           "Monitor file was not opened \nNo variables can be displayed or plotted",
                           QString(), Prompter::Icon::Exclamation);
    }
    AcquisitionDriver::Pauser pause(s.driver);
    // The variable list changes under the scheduler: let no exchange straddle it.
    s.scheduler.FinishOutstanding();
    if (read) {
        s.monitor = next;
        s.scheduler.statusFlags.Set(MonitorLoaded);
    } else {
        s.scheduler.statusFlags.Clear(MonitorLoaded);
    }
    panel_->SetMonitorLoaded(s.scheduler.statusFlags.Test(MonitorLoaded));
    panel_->ClearValues();
    panel_->ClearTraces();
    s.monitorFileName.clear();
    s.scheduler.RestartFromProbe();  // the new list is bound from slot 0
    dataLog_->RestartForNewList(s.scheduler.statusFlags.Test(MonitorLoaded));
}

}  // namespace korvel
