#include "app/qt/AcquisitionDriver.h"

#include <algorithm>
#include <climits>

namespace korvel {

namespace {

// Scheduler calls made back to back while each can send at once, before
// the event loop gets its turn (keeps the window responsive, saves wake-ups).
constexpr int StepsPerWakeUp = 4;

// A port in a failure episode is retried at this pace, not as fast as it refuses.
constexpr int64_t FailedPortPauseMs = 100;

}  // namespace

AcquisitionDriver::AcquisitionDriver(AcquisitionScheduler& scheduler, ByteTransport& transport,
                                     Clock& clock)
    : scheduler_(scheduler), transport_(transport), clock_(clock) {
    stepTimer_.setSingleShot(true);
    stepTimer_.setInterval(0);
    waitTimer_.setSingleShot(true);
    waitTimer_.setTimerType(Qt::PreciseTimer);
    connect(&stepTimer_, &QTimer::timeout, this, &AcquisitionDriver::Step);
    connect(&waitTimer_, &QTimer::timeout, this, &AcquisitionDriver::Step);
}

void AcquisitionDriver::ListenTo(QIODevice* source) {
    if (source != nullptr) {
        // Direct: a queued call would cost a posted event, a wake-up, per byte.
        connect(source, &QIODevice::readyRead, this, &AcquisitionDriver::Step,
                Qt::DirectConnection);
    }
}

void AcquisitionDriver::Start() {
    started_ = true;
    Reschedule();
}

void AcquisitionDriver::Pause() {
    if (pauses_++ == 0 && started_) {
        scheduler_.NoteGap();
    }
    stepTimer_.stop();
    waitTimer_.stop();
}

void AcquisitionDriver::Resume() {
    if (pauses_ > 0 && --pauses_ == 0) {
        Reschedule();
    }
}

void AcquisitionDriver::Step() {
    if (!started_ || Paused()) {
        return;
    }
    if (running_) {
        // From inside a step (its wait, or a message box it shows): never a
        // nested step, and no timer that would fire again and again while the
        // step is on the stack. The step chooses the next wake-up when it ends.
        return;
    }
    running_ = true;
    stepTimer_.stop();  // this step is the one it would have run
    for (int i = 0; i < StepsPerWakeUp; ++i) {
        scheduler_.OnIdle();
        if (Paused() || !scheduler_.NextWait().sendNow) {
            break;
        }
    }
    if (afterStep) {
        afterStep();
    }
    ArmWakeUp();  // still marked running: a notification meanwhile does not nest
    running_ = false;
}

int AcquisitionDriver::WakeDelayMs() const {
    if (stepTimer_.isActive()) {
        return 0;
    }
    return waitTimer_.isActive() ? waitTimer_.remainingTime() : -1;
}

void AcquisitionDriver::Reschedule() {
    if (!started_ || Paused()) {
        stepTimer_.stop();
        waitTimer_.stop();
        return;
    }
    if (!running_) {  // else the running step chooses the next wake-up when it ends
        ArmWakeUp();
    }
}

void AcquisitionDriver::ArmWakeUp() {
    if (Paused()) {
        return;
    }
    const AcquisitionScheduler::Wait wait = scheduler_.NextWait();
    // Bytes already buffered raise no new readyRead: look before sleeping.
    const bool replyWaiting =
        scheduler_.statusFlags.Test(ReplyPending) && transport_.WaitReadable(0);
    if (replyWaiting || (wait.sendNow && !transport_.HasFailed())) {
        stepTimer_.start();
        return;
    }
    const int64_t now = clock_.MonotonicMs();
    int64_t deadline = std::max(wait.deadlineMs, now);
    if (transport_.HasFailed()) {
        deadline = std::max(deadline, now + FailedPortPauseMs);
    }
    // An armed wake-up that is not later is kept: re-arming a timer for every
    // byte costs more than the rare early step, which finds nothing and re-arms.
    if (waitTimer_.isActive() && armedDeadline_ <= deadline) {
        return;
    }
    armedDeadline_ = deadline;
    waitTimer_.start(static_cast<int>(std::min<int64_t>(deadline - now, INT_MAX)));
}

}  // namespace korvel
