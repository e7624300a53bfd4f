#include "cli/Interrupt.h"

#include <signal.h>

#include <cerrno>
#include <initializer_list>

namespace korvel {

namespace {

volatile sig_atomic_t stopAsked = 0;
volatile sig_atomic_t userLost = 0;

void OnSignal(int signal) {
    if (signal == SIGHUP) {
        userLost = 1;
    } else {
        stopAsked = 1;
    }
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: a wait on the port ends at once
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(s, &sa, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() {
    return stopAsked != 0 || userLost != 0;
}

bool LostTheUser() {
    return userLost != 0;
}

bool FlushOutput(std::FILE* stream) {
    const bool failed = std::fflush(stream) != 0 || std::ferror(stream) != 0;
    // EPIPE: the pipe's reader has gone; EIO: the terminal has hung up.
    if (failed && (errno == EPIPE || errno == EIO)) {
        userLost = 1;
    }
    std::clearerr(stream);  // the next failure is judged by its own errno
    return !failed;
}

}  // namespace korvel
