// File > Start Log... / Stop Log, and the status bar's rate pane.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/qt/MainWindow.h"

namespace korvel {

namespace {

const char* const LogFilter = "CSV Files (*.csv);;All Files (*.*)";

std::string FileSystemPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

QString MainWindow::RateText() const {
    return ratePane_->text();
}

void MainWindow::OnLog() {
    if (state_.dataLog.Running()) {
        StopLog();
        return;
    }
    // Proposed: a time-stamped name in the data file's folder.
    const QString data = DataFilePath();
    const QString folder = data.isEmpty() ? QDir::currentPath() : QFileInfo(data).absolutePath();
    const QString proposed =
        QDir(folder).filePath(QString::fromStdString(DefaultLogName(state_.link.clock.WallMs())));
    const auto chosen =
        state_.prompter.SaveFileName(this, "Start Data Log", LogFilter, "csv", proposed);
    if (!chosen) {
        return;
    }
    if (!state_.dataLog.Start(FileSystemPath(*chosen), state_.monitor,
                              state_.scheduler.AcquisitionMs())) {
        state_.prompter.Message(this,
                                QString("The data log %1 could not be created:\n%2")
                                    .arg(*chosen, QString::fromStdString(state_.dataLog.Error())),
                                "Error Opening File", Prompter::Icon::Stop);
        return;
    }
    logFlushTimer_.setInterval(static_cast<int>(CsvLogWriter::FlushIntervalMs));
    connect(&logFlushTimer_, &QTimer::timeout, this, &MainWindow::AfterStep, Qt::UniqueConnection);
    logFlushTimer_.start();
    ShowLogState();
}

void MainWindow::StopLog() {
    if (!state_.dataLog.Running()) {
        return;
    }
    const bool closed = state_.dataLog.Stop();
    logFlushTimer_.stop();
    SetPaneText(MessagePane, QString());
    ShowLogState();
    if (!closed) {
        state_.prompter.Message(this, QString::fromStdString(state_.dataLog.FailureText()),
                                "Data Log Stopped", Prompter::Icon::Stop);
    }
}

// The menu item and pane 0 follow the log.
void MainWindow::ShowLogState() {
    const bool running = state_.dataLog.Running();
    Action(CmdLog)->setText(running ? "Stop Log" : "Start Log...");
    if (running && !failureHeld_) {
        // Not repainted at once: a pass comes many times a second.
        messagePane_->setText(QString::fromStdString(state_.dataLog.StatusText()));
    }
}

void MainWindow::OnPass(const Sample& sample) {
    if (state_.dataLog.Running()) {
        if (state_.dataLog.Record(sample)) {
            ShowLogState();
        } else {
            LogFailed();
        }
    }
    state_.rate.Record(sample.passMs);
    // Twice a second: a figure that changed with every pass could not be read.
    constexpr int64_t RateRefreshMs = 500;
    if (!ratePane_->text().isEmpty() && sample.passMs - rateShownMs_ < RateRefreshMs) {
        return;
    }
    rateShownMs_ = sample.passMs;
    const QString rate =
        QString::number(state_.rate.PerSecond(sample.passMs), 'f', 1) + " samples/s";
    if (ratePane_->text() != rate) {
        ratePane_->setText(rate);
    }
}

void MainWindow::AfterStep() {
    ProgramState& s = state_;
    if (s.scheduler.statusFlags.Test(DataLoaded) != dataLoadedShown_) {
        RefreshCommands();
    }
    if (!s.scheduler.statusFlags.Test(EcuOnLine) && !ratePane_->text().isEmpty()) {
        s.rate.Reset();
        ratePane_->clear();
    }
    if (s.dataLog.Running() && !s.dataLog.Tick(s.scheduler.AcquisitionMs())) {
        LogFailed();
    }
}

// The log has stopped itself; acquisition goes on. The message is shown once
// this pass is over, so no exchange waits behind the message box.
void MainWindow::LogFailed() {
    logFlushTimer_.stop();
    ShowLogState();
    SetPaneText(MessagePane, QString());
    const QString text = QString::fromStdString(state_.dataLog.FailureText());
    QTimer::singleShot(0, this, [this, text] {
        state_.prompter.Message(this, text, "Data Log Stopped", Prompter::Icon::Stop);
    });
}

// File > Monitor while logging: the new list goes into a new file beside the first.
void MainWindow::RestartLogForNewList() {
    ProgramState& s = state_;
    if (!s.dataLog.Running()) {
        return;
    }
    if (!s.scheduler.statusFlags.Test(MonitorLoaded)) {
        StopLog();
        return;
    }
    if (!s.dataLog.Restart(s.monitor, s.scheduler.AcquisitionMs())) {
        LogFailed();
        return;
    }
    ShowLogState();
}

}  // namespace korvel
