#include "cli/EcuConnection.h"

#include <signal.h>

namespace korvel {

namespace {

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
    scheduler.RunUntil(clock.MonotonicMs() + EcuAnswerLimitMs,
                       [this] { return Interrupted() || scheduler.statusFlags.Test(EcuOnLine); });
    return scheduler.statusFlags.Test(EcuOnLine);
}

}  // namespace korvel
