#pragma once
// File > Start Log... / Stop Log and the status bar's rate pane: the data log
// of every acquisition pass, its sample count in pane 0, and the achieved
// rate beside the ECU state. It follows the scheduler's passes itself.

#include <QLabel>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "acquisition/AcquisitionScheduler.h"
#include "monitor/DataLog.h"
#include "monitor/RateMeter.h"

class QAction;

namespace korvel {

class MainWindow;
struct ProgramState;

class DataLogControl : public QObject {
    Q_OBJECT
public:
    // Adds the rate pane to the window's status bar; `menuItem` is File's
    // Start Log... item, whose text follows the log.
    DataLogControl(MainWindow& window, ProgramState& state, QAction* menuItem);

    // File > Start Log... / Stop Log.
    void StartOrStop();
    // Closes the log with a whole last line ("Log closed: ..." in pane 0); a
    // failure to write it is told at once. Nothing when not logging.
    void Stop();
    // After File > Monitor: the new list goes on in a new file beside the
    // first; without a list the log stops.
    void RestartForNewList(bool monitorLoaded);

    bool Running() const { return log_.Running(); }
    const DataLog& Log() const { return log_; }
    // "N.N samples/s" ("" off line).
    QString RateText() const { return ratePane_->text(); }

    // The rate pane's figure and pane 0's sample count change this often.
    static constexpr int64_t RefreshMs = 500;

private:
    std::optional<QString> ChooseFile();
    void OnPass(const Sample& sample);
    void OnLine(LineEvent event);
    void Tick();
    void Failed();
    void TellFailures();
    void ShowState();

    MainWindow& window_;
    ProgramState& state_;
    QAction* menuItem_;
    DiskLogFile file_;
    DataLog log_{file_};
    RateMeter rate_;
    QLabel* ratePane_ = nullptr;
    int64_t rateShownMs_ = 0;  // the pass time of the figures on show
    QTimer flushTimer_;        // a log reaches the file each second, also without passes
    Subscription subscription_;
};

}  // namespace korvel
