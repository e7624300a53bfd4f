#include "app/qt/RollbackRunner.h"

#include <QPointer>
#include <QStatusBar>
#include <QTimer>

namespace korvel {

namespace {

const char* const WaitingText = "Waiting for the ECU to come back on line to restore it";
const char* const StoppedText = "ECU not restored: it may hold a mix of calibrations";

}  // namespace

RollbackRunner::RollbackRunner(ProgramState& state, QStatusBar* statusBar, RunWrite run)
    : QObject(statusBar),
      state_(state),
      run_(std::move(run)),
      stop_(new QPushButton("Stop Waiting", statusBar)) {
    stop_->setObjectName("stopRestore");
    stop_->hide();
    statusBar->addWidget(stop_);
    connect(stop_, &QPushButton::clicked, this, &RollbackRunner::StopWaiting);
    // The ECU is back once the acquisition completes a pass again.
    state_.scheduler.AddPassObserver([runner = QPointer<RollbackRunner>(this)](const Sample&) {
        if (runner) {
            runner->OnPass();
        }
    });
}

void RollbackRunner::Start(const WriteRequest& rollback) {
    pending_ = rollback;
    if (state_.scheduler.statusFlags.Test(EcuOnLine)) {
        Run();
        return;
    }
    state_.reporter.SetPaneText(MessagePane, WaitingText);
    stop_->show();
}

void RollbackRunner::StopWaiting() {
    if (!pending_) {
        return;
    }
    pending_.reset();
    stop_->hide();
    state_.reporter.SetPaneText(MessagePane, StoppedText);
}

// Inside a step of the acquisition: the write runs once it is over.
void RollbackRunner::OnPass() {
    if (pending_ && !queued_) {
        queued_ = true;
        QTimer::singleShot(0, this, &RollbackRunner::Run);
    }
}

void RollbackRunner::Run() {
    queued_ = false;
    if (!pending_ || !state_.scheduler.statusFlags.Test(EcuOnLine)) {
        return;
    }
    const WriteRequest request = *std::exchange(pending_, std::nullopt);
    stop_->hide();
    run_(request);
}

}  // namespace korvel
