#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace korvel {

// The id of a process that has ended and been reaped: no process runs by it.
inline pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace korvel
