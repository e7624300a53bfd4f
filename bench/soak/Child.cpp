#include "bench/soak/Child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <utility>

extern char** environ;

namespace korvel::soak {

int64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

void Pause(int ms) {
    poll(nullptr, 0, ms);
}

std::string ReadWholeFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

namespace {

int OpenOutput(const std::string& path) {
    return open(path.empty() ? "/dev/null" : path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                0644);
}

}  // namespace

Child::~Child() {
    Kill();
}

bool Child::Spawn(const std::string& program, const std::vector<std::string>& args, int outFd,
                  int errFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const bool spawned =
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) {
        pid_ = -1;
        return false;
    }
    // Every wait sleeps on it: without one the child is not kept.
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return false;
    }
    return true;
}

bool Child::Start(const std::string& program, const std::vector<std::string>& args,
                  const std::string& outPath, const std::string& errPath) {
    const int out = OpenOutput(outPath);
    const int err = OpenOutput(errPath);
    const bool started = out >= 0 && err >= 0 && Spawn(program, args, out, err);
    close(out);
    close(err);
    return started;
}

bool Child::StartPiped(const std::string& program, const std::vector<std::string>& args,
                       const std::string& errPath, bool errorsToo) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    const int err = errorsToo ? fcntl(fds[1], F_DUPFD_CLOEXEC, 0) : OpenOutput(errPath);
    const bool started = err >= 0 && Spawn(program, args, fds[1], err);
    close(fds[1]);
    close(err);
    if (!started) {
        close(fds[0]);
        return false;
    }
    pipe_ = fds[0];
    buffered_.clear();
    return true;
}

bool Child::ReadLine(std::string& line, int limitMs) {
    const int64_t deadline = MonotonicMs() + limitMs;
    for (;;) {
        if (const size_t end = buffered_.find('\n'); end != std::string::npos) {
            line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        const int64_t left = deadline - MonotonicMs();
        pollfd p{pipe_, POLLIN, 0};
        if (pipe_ < 0 || left <= 0 || poll(&p, 1, static_cast<int>(left)) != 1) {
            return false;
        }
        char chunk[512];
        const ssize_t n = read(pipe_, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        buffered_.append(chunk, static_cast<size_t>(n));
    }
}

void Child::Signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

bool Child::EndsWithin(int limitMs) const {
    pollfd p{pidfd_, POLLIN, 0};
    return pid_ <= 0 || poll(&p, 1, limitMs) == 1;
}

Exit Child::Wait(int limitMs) {
    Exit exit;
    if (pid_ <= 0) {
        return exit;
    }
    pollfd p{pidfd_, POLLIN, 0};
    exit.ended = poll(&p, 1, limitMs) == 1;
    if (!exit.ended) {
        kill(pid_, SIGKILL);
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) {
        exit.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        exit.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    pid_ = -1;
    if (pidfd_ >= 0) {
        close(std::exchange(pidfd_, -1));
    }
    if (pipe_ >= 0) {
        close(std::exchange(pipe_, -1));
    }
    return exit;
}

void Child::Stop() {
    Signal(SIGTERM);
    Wait(10'000);
}

void Child::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait(10'000);
    }
}

}  // namespace korvel::soak
