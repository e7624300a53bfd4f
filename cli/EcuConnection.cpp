#include "cli/EcuConnection.h"

#include <signal.h>

#include <algorithm>

namespace korvel {

namespace {

// A wait is cut into slices this long, so Ctrl-C is noticed quickly.
constexpr int64_t WaitSliceMs = 200;

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

}  // namespace

bool Interrupted() {
    return interrupted != 0;
}

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: a wait on the port ends at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

EcuConnection::EcuConnection(std::function<void()> updateMonitor)
    : scheduler(link, monitor, std::move(updateMonitor)) {}

bool EcuConnection::ReachEcu() {
    const int64_t giveUp = clock.MonotonicMs() + EcuAnswerLimitMs;
    while (!scheduler.statusFlags.Test(EcuOnLine)) {
        if (Interrupted() || clock.MonotonicMs() >= giveUp) {
            return false;
        }
        Step(giveUp);
    }
    return true;
}

void EcuConnection::Step(int64_t untilMs) {
    scheduler.OnIdle();
    scheduler.SleepUntilNextStep(std::min(untilMs - clock.MonotonicMs(), WaitSliceMs));
}

}  // namespace korvel
