#include "bench/SimProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace korvel {

namespace {

constexpr int StartLimitMs = 5000;

}  // namespace

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start(const std::string& program, const std::vector<std::string>& args,
                       std::string& error) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    stdout_ = pipeFds[0];
    if (rc != 0) {
        pid_ = -1;
        error = "cannot start " + program;
        return false;
    }
    // The first line is the terminal's path.
    char c = 0;
    pollfd p{stdout_, POLLIN, 0};
    while (poll(&p, 1, StartLimitMs) == 1 && read(stdout_, &c, 1) == 1 && c != '\n') {
        path_ += c;
    }
    if (c != '\n' || path_.empty()) {
        error = program + " printed no terminal path";
        return false;
    }
    return true;
}

void SimProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (stdout_ >= 0) {
        close(stdout_);
        stdout_ = -1;
    }
}

}  // namespace korvel
