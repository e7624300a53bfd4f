#include "tests/cli/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

namespace korvel::e2e {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Spawns with stdout and stderr on the given descriptors (-1: inherited).
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int outFd,
            int errFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    }
    if (errFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reads both pipes until both close or the deadline passes.
void Drain(int outFd, int errFd, std::string& out, std::string& err, int64_t deadline) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = 2;
    while (open > 0 && NowMs() < deadline) {
        if (poll(fds, 2, static_cast<int>(deadline - NowMs())) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

RunResult Run(const std::string& program, const std::vector<std::string>& args, int limitMs) {
    RunResult result;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return result;
    }
    const int64_t deadline = NowMs() + limitMs;
    const pid_t pid = Spawn(program, args, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    Drain(out[0], err[0], result.out, result.err, deadline);
    close(out[0]);
    close(err[0]);
    if (pid < 0) {
        return result;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (NowMs() >= deadline) {  // still running at the limit
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return result;
        }
        usleep(5000);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                        usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    return result;
}

RunResult RunCli(const std::vector<std::string>& args, int limitMs) {
    return Run(KORVEL_CLI, args, limitMs);
}

EcuSim::~EcuSim() {
    Stop();
}

bool EcuSim::Start(const std::vector<std::string>& args) {
    int out[2];
    char errPath[] = "/tmp/korvel-ecusim-err.XXXXXX";
    err_ = mkostemp(errPath, O_CLOEXEC);
    if (err_ < 0 || pipe2(out, O_CLOEXEC) != 0) {
        return false;
    }
    unlink(errPath);  // the open descriptor keeps the file
    port_.clear();
    pid_ = Spawn(KORVEL_ECUSIM, args, out[1], err_);
    close(out[1]);
    out_ = out[0];
    char c = 0;
    pollfd p{out_, POLLIN, 0};
    while (poll(&p, 1, 5000) == 1 && read(out_, &c, 1) == 1 && c != '\n') {
        port_ += c;
    }
    return pid_ > 0 && c == '\n';
}

void EcuSim::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

std::string EcuSim::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    std::string err;
    if (err_ >= 0) {
        char buffer[4096];
        ssize_t n = 0;
        lseek(err_, 0, SEEK_SET);
        while ((n = read(err_, buffer, sizeof buffer)) > 0) {
            err.append(buffer, static_cast<size_t>(n));
        }
        close(err_);
        err_ = -1;
    }
    if (out_ >= 0) {
        close(out_);
        out_ = -1;
    }
    return err;
}

}  // namespace korvel::e2e
