#pragma once
// "Restore the ECU": programs back the old value of every byte a failed or
// cancelled write changed, through the session's one write operation, as
// soon as the ECU is on line. Until then pane 0 says that it waits, and a
// button in the status bar stops the wait.

#include <QObject>
#include <QPushButton>
#include <functional>
#include <optional>

#include "app/qt/ProgramState.h"
#include "session/WriteOperation.h"

class QStatusBar;

namespace korvel {

class RollbackRunner : public QObject {
    Q_OBJECT
public:
    // `run` runs a write in the transfer bracket and tells the user what came of it.
    using RunWrite = std::function<void(const WriteRequest&)>;
    RollbackRunner(ProgramState& state, QStatusBar* statusBar, RunWrite run);

    // Runs `rollback` now when the ECU is on line, else once it is again.
    void Start(const WriteRequest& rollback);
    bool Waiting() const { return pending_.has_value(); }
    void StopWaiting();
    QPushButton* StopButton() const { return stop_; }

private:
    void OnPass();
    void Run();

    ProgramState& state_;
    RunWrite run_;
    QPushButton* stop_;
    std::optional<WriteRequest> pending_;
    bool queued_ = false;
};

}  // namespace korvel
