// File > Monitor: the monitor file, read with the file dialog's help.
#include <QFile>

#include "app/qt/DataLogControl.h"
#include "app/qt/MainWindow.h"

namespace korvel {

namespace {

const char* const MonitorFilter = "Monitor Files (*.cfg);;All Files (*.*)";

std::string FileSystemName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

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
