#include "app/qt/DataLogControl.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

#include "app/qt/MainWindow.h"

namespace korvel {

namespace {

const char* const LogFilter = "CSV Files (*.csv);;All Files (*.*)";
const char* const LogTitle = "Start Data Log";

std::string FileSystemPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

DataLogControl::DataLogControl(MainWindow& window, ProgramState& state, QAction* menuItem)
    : QObject(&window), window_(window), state_(state), menuItem_(menuItem) {
    ratePane_ = new QLabel(&window);
    const int margins = ratePane_->contentsMargins().left() + ratePane_->contentsMargins().right() +
                        2 * ratePane_->margin();
    // A fixed size: a new figure then repaints only this pane, where a size
    // hint that may change would lay out the whole status bar again.
    ratePane_->setFixedSize(ratePane_->fontMetrics().horizontalAdvance("999.9 samples/s") + margins,
                            ratePane_->sizeHint().height());
    window.statusBar()->addPermanentWidget(ratePane_);
    flushTimer_.setInterval(static_cast<int>(CsvLogWriter::FlushIntervalMs));
    connect(&flushTimer_, &QTimer::timeout, this, &DataLogControl::Tick);
    subscription_ = state.scheduler.Subscribe([this](const Sample& s) { OnPass(s); },
                                              [this](LineEvent e) { OnLine(e); });
}

// Proposed: a time-stamped name in the data file's folder. A file that is
// there already is replaced only when the user says so.
std::optional<QString> DataLogControl::ChooseFile() {
    const QString data = window_.DataFilePath();
    const QString folder = data.isEmpty() ? QDir::currentPath() : QFileInfo(data).absolutePath();
    QString proposed =
        QDir(folder).filePath(QString::fromStdString(DefaultLogName(state_.link.clock.WallMs())));
    for (;;) {
        const auto chosen =
            state_.prompter.SaveFileName(&window_, LogTitle, LogFilter, "csv", proposed);
        if (!chosen || !file_.Exists(FileSystemPath(*chosen))) {
            return chosen;
        }
        const QString question = QString("%1 already exists.\nDo you want to replace it?")
                                     .arg(QFileInfo(*chosen).fileName());
        if (state_.prompter.Confirm(&window_, question, LogTitle, "Replace")) {
            return chosen;
        }
        proposed = *chosen;
    }
}

void DataLogControl::StartOrStop() {
    if (log_.Running()) {
        Stop();
        return;
    }
    const auto chosen = ChooseFile();
    if (!chosen) {
        return;
    }
    if (!log_.Start(FileSystemPath(*chosen), state_.monitor, state_.scheduler.AcquisitionMs())) {
        log_.TakeFailureText();  // said as the file that could not be created
        state_.prompter.Message(&window_,
                                QString("The data log %1 could not be created:\n%2")
                                    .arg(*chosen, QString::fromStdString(log_.Error())),
                                "Error Opening File", Prompter::Icon::Stop);
        return;
    }
    flushTimer_.start();
    ShowState();
}

void DataLogControl::Stop() {
    if (!log_.Running()) {
        return;
    }
    log_.Stop();
    flushTimer_.stop();
    window_.SetPaneText(MessagePane, QString::fromStdString(log_.ClosedText()));
    ShowState();
    TellFailures();
}

void DataLogControl::RestartForNewList(bool monitorLoaded) {
    if (!log_.Running()) {
        return;
    }
    if (!monitorLoaded) {
        Stop();
        return;
    }
    if (!log_.Restart(state_.monitor, state_.scheduler.AcquisitionMs())) {
        Failed();
        return;
    }
    ShowState();
    if (log_.HasFailures()) {
        Failed();  // the first file's last lines were lost; the log goes on
    }
}

// The menu item and pane 0 follow the log.
void DataLogControl::ShowState() {
    menuItem_->setText(log_.Running() ? "Stop Log" : "Start Log...");
    if (log_.Running()) {  // news no command asked for: it leaves a failed write's text
        window_.ShowNotice(QString::fromStdString(log_.StatusText()));
    }
}

void DataLogControl::OnPass(const Sample& sample) {
    if (log_.Running() && !log_.Record(sample)) {
        Failed();
    }
    rate_.Record(sample.passMs);
    // Twice a second: a figure that changed with every pass could not be read.
    if (!ratePane_->text().isEmpty() && sample.passMs - rateShownMs_ < RefreshMs) {
        return;
    }
    rateShownMs_ = sample.passMs;
    ratePane_->setText(QString::number(rate_.PerSecond(sample.passMs), 'f', 1) + " samples/s");
    if (log_.Running()) {
        ShowState();
    }
}

void DataLogControl::OnLine(LineEvent event) {
    if (event == LineEvent::OffLine) {
        rate_.Reset();
        ratePane_->clear();
    }
}

void DataLogControl::Tick() {
    if (log_.Running() && !log_.Tick(state_.scheduler.AcquisitionMs())) {
        Failed();
    }
}

// A write failed: the log may have stopped, acquisition goes on. The message
// waits until the pass in progress is over, so no exchange waits behind it.
void DataLogControl::Failed() {
    if (!log_.Running()) {
        flushTimer_.stop();
        window_.ShowNotice(QString());
    }
    ShowState();
    QTimer::singleShot(0, this, &DataLogControl::TellFailures);
}

void DataLogControl::TellFailures() {
    const std::string text = log_.TakeFailureText();
    if (!text.empty()) {
        state_.prompter.Message(&window_, QString::fromStdString(text),
                                log_.Running() ? "Data Log Error" : "Data Log Stopped",
                                Prompter::Icon::Stop);
    }
}

}  // namespace korvel
