#pragma once
// korvel-cli and korvel-ecusim as real processes, for the end-to-end tests.
// Every wait has a limit and sleeps on a descriptor (a pidfd, a pipe, a
// terminal), so a hang fails a test instead of blocking it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern char** environ;

namespace korvel::e2e {

inline const std::string DemoData = KORVEL_SOURCE_DIR "/data/demo.dat";
inline const std::string MonitorCfg = KORVEL_SOURCE_DIR "/data/Mon.cfg";

inline std::string ReadFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// A data file's text with `value` in place of its first value, the byte at
// 0E00. Streamed: GCC 12's -Wrestrict misreads the string concatenation
// at -O2 with fortified functions.
inline std::string WithFirstValue(const std::string& text, const std::string& value) {
    std::ostringstream out;
    out << value << std::string_view(text).substr(text.find('\r'));
    return out.str();
}

inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

struct TempFile {
    explicit TempFile(const std::string& name)
        : path(std::string(KORVEL_BINARY_DIR) + "/e2e-" + std::to_string(getpid()) + "-" + name) {}
    ~TempFile() { unlink(path.c_str()); }
    void Write(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string path;
};

// An unlinked temporary file: a child's output without a pipe to drain.
inline int OutputFile() {
    return open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

inline std::string ReadAndClose(int fd) {
    const std::string text = ReadFile("/proc/self/fd/" + std::to_string(fd));
    close(fd);
    return text;
}

// Starts `program` with stdout and stderr on the given descriptors; with a
// `terminal` path instead, in a session of its own whose controlling
// terminal, stdout and stderr that terminal is (as a shell in a window). In
// the folder `cwd` when one is given.
inline pid_t Spawn(const char* program, const std::vector<std::string>& args, int outFd, int errFd,
                   const char* terminal = nullptr, const std::string& cwd = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!cwd.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (terminal != nullptr) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, terminal, O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    }
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const bool spawned =
        posix_spawn(&pid, program, &actions, &attributes, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return spawned ? pid : -1;
}

struct ExitResult {
    int exitCode = -1;      // -1: did not exit by itself within the limit, or died of a signal
    int signal = 0;         // the signal it died of
    double cpuSeconds = 0;  // user + system time of the child
};

// Sleeps on the child's pidfd until it ends, or kills it after `limitMs`.
inline ExitResult WaitForExit(pid_t pid, int limitMs = 15000) {
    if (pid <= 0) {
        return {};
    }
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd p{pidfd, POLLIN, 0};
    if (pidfd >= 0 && poll(&p, 1, limitMs) != 1) {
        kill(pid, SIGKILL);
    }
    int status = -1;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (pidfd >= 0) {
        close(pidfd);
    }
    const auto seconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            WIFSIGNALED(status) ? WTERMSIG(status) : 0,
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

struct RunResult {
    int exitCode = -1;  // -1: did not exit by itself within the limit
    std::string out, err;
    double cpuSeconds = 0;
};

// `fileSizeLimit` > 0: every file the program writes stops at that size, as
// on a full disk (a write beyond it fails, SIGXFSZ ignored).
inline RunResult RunProgram(const std::vector<std::string>& args, const char* program = KORVEL_CLI,
                            rlim_t fileSizeLimit = 0) {
    const int out = OutputFile();
    const int err = OutputFile();
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    void (*handler)(int) = SIG_DFL;
    if (fileSizeLimit > 0) {
        handler = signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    const pid_t pid = Spawn(program, args, out, err);  // the child has the limit now
    if (fileSizeLimit > 0) {
        setrlimit(RLIMIT_FSIZE, &before);
        signal(SIGXFSZ, handler);
    }
    const ExitResult exit = WaitForExit(pid);
    return {exit.exitCode, ReadAndClose(out), ReadAndClose(err), exit.cpuSeconds};
}

// Reads from `fd` into `text` until `done(text)` holds, the other end closes
// or `limitMs` passes without a byte; returns done(text).
template <class Done>
bool ReadUntil(int fd, std::string& text, Done done, int limitMs = 10000) {
    pollfd p{fd, POLLIN, 0};
    char buffer[256];
    while (!done(text) && poll(&p, 1, limitMs) == 1) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return done(text);
}

// korvel-ecusim in the background on the demo files, logging its EEPROM
// writes; or, given a folder, started there with its default files.
class EcuSim {
public:
    explicit EcuSim(std::vector<std::string> args, const std::string& folder = "") {
        if (folder.empty()) {
            args.insert(args.end(), {"--data", DemoData, "--monitor", MonitorCfg});
        }
        args.push_back("--log");
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = Spawn(KORVEL_ECUSIM, args, out[1], err_, nullptr, folder);
        close(out[1]);
        out_ = out[0];
        std::string line;  // the first line is the terminal's path
        ReadUntil(
            out_, line, [](const std::string& t) { return t.find('\n') != t.npos; }, 5000);
        port_ = line.substr(0, line.find('\n'));
    }
    ~EcuSim() { Stop(); }
    EcuSim(const EcuSim&) = delete;
    EcuSim& operator=(const EcuSim&) = delete;

    const std::string& Port() const { return port_; }
    void Signal(int signal) const { kill(pid_, signal); }
    pid_t Pid() const { return pid_; }
    RunResult Cli(std::vector<std::string> args, rlim_t fileSizeLimit = 0) const {
        args.insert(args.begin(), {"--port", port_});
        return RunProgram(args, KORVEL_CLI, fileSizeLimit);
    }
    std::string Stop() {  // what the simulator reported on stderr
        End(SIGTERM);
        close(std::exchange(out_, -1));
        return err_ < 0 ? "" : ReadAndClose(std::exchange(err_, -1));
    }
    void End(int signal) {
        if (pid_ > 0) {
            kill(pid_, signal);
            WaitForExit(std::exchange(pid_, -1));
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = OutputFile();
    std::string port_;
};

}  // namespace korvel::e2e
