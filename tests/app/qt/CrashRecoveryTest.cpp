// A real crash: the korvel binary on a virtual X display (Xvfb), against
// korvel-ecusim, opens a data file and changes RPM A through the menus and
// the RPM Presets dialog, driven by xdotool's clicks and keys as a
// technician's hands would; it is killed with SIGKILL, started again, and
// its unsaved edits are recovered. Every wait sleeps on a descriptor (a
// pipe, a pidfd, inotify) or in xdotool's search for a window, within a
// safety limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "calib/DataFile.h"
#include "calib/RecoveryCopy.h"
#include "link/Transfers.h"
#include "tests/support/ScratchFolder.h"

extern char** environ;

namespace korvel {
namespace {

constexpr int LimitMs = 30'000;  // for each step; generous for the sanitizer build

std::string OnPath(const std::string& program) {
    std::istringstream path(getenv("PATH") ? getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');) {
        if (access((dir + "/" + program).c_str(), X_OK) == 0) {
            return dir + "/" + program;
        }
    }
    return {};
}

// A child process, killed and reaped when it goes out of scope.
struct Child {
    Child() = default;
    Child(const std::string& program, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& env, int outFd = -1,
          const std::string& folder = {}) {
        std::vector<std::string> words{program};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<std::string> variables;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry(*e);
            if (!env.count(entry.substr(0, entry.find('=')))) {
                variables.push_back(entry);
            }
        }
        for (const auto& [name, value] : env) {
            variables.push_back(name + "=" + value);
        }
        std::vector<char*> argv, envp;
        for (std::string& w : words) {
            argv.push_back(w.data());
        }
        for (std::string& v : variables) {
            envp.push_back(v.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, outFd >= 0 ? outFd : quiet, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, quiet, STDERR_FILENO);
        if (!folder.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        }
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(quiet);
    }
    Child(Child&& other) noexcept : pid(std::exchange(other.pid, -1)) {}
    Child& operator=(Child&& other) noexcept {
        End(SIGKILL);
        pid = std::exchange(other.pid, -1);
        return *this;
    }
    ~Child() { End(SIGKILL); }

    // Sleeps on the child's pidfd until it ends; its exit status, or -1.
    int Wait(int limitMs = LimitMs) {
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        pollfd p{pidfd, POLLIN, 0};
        const bool ended = pidfd >= 0 && poll(&p, 1, limitMs) == 1;
        if (pidfd >= 0) {
            close(pidfd);
        }
        if (!ended) {
            End(SIGKILL);
            return -1;
        }
        int status = 0;
        waitpid(std::exchange(pid, -1), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void End(int signal) {
        if (pid > 0) {
            kill(pid, signal);
            waitpid(std::exchange(pid, -1), nullptr, 0);
        }
    }
    pid_t pid = -1;
};

// The first line a child writes to `fd`, read within the limit.
std::string FirstLine(int fd) {
    std::string line;
    pollfd p{fd, POLLIN, 0};
    for (char c = 0; poll(&p, 1, LimitMs) == 1 && read(fd, &c, 1) == 1 && c != '\n';) {
        line += c;
    }
    return line;
}

// Waits on inotify until `folder` holds `name`.
bool WaitForFile(const std::string& folder, const std::string& name) {
    const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(fd, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    bool found = false;
    for (int events = 0; !found && events < 100; ++events) {
        found = std::filesystem::exists(folder + "/" + name);
        pollfd p{fd, POLLIN, 0};
        if (!found && poll(&p, 1, LimitMs) != 1) {
            break;
        }
        char buffer[4096];
        while (read(fd, buffer, sizeof buffer) > 0) {
        }
    }
    close(fd);
    return found;
}

struct CrashRecovery : ScratchFolder {
    void SetUp() override {
        xvfb = OnPath("Xvfb");
        xdotool = OnPath("xdotool");
        if (xvfb.empty() || xdotool.empty()) {
            GTEST_SKIP() << "needs Xvfb and xdotool (scripts/install-deps installs them)";
        }
        display = StartDisplay();
        ASSERT_FALSE(displayName.empty());
        ASSERT_EQ(pipe2(simOut, O_CLOEXEC), 0);
        sim = Child(KORVEL_ECUSIM,
                    {"--baud", "0", "--data", KORVEL_SOURCE_DIR "/data/demo.dat", "--monitor",
                     KORVEL_SOURCE_DIR "/data/Mon.cfg"},
                    {}, simOut[1]);
        close(simOut[1]);
        port = FirstLine(simOut[0]);
        ASSERT_FALSE(port.empty());
        std::filesystem::create_directories(recovery);
    }
    void TearDown() override {
        if (simOut[0] >= 0) {
            close(simOut[0]);
        }
    }
    // -displayfd: the server picks a free display and names it once it is ready.
    Child StartDisplay() {
        int pipe[2];
        if (pipe2(pipe, O_CLOEXEC) != 0) {
            return {};
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], 3);
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, quiet, STDERR_FILENO);
        std::vector<std::string> words{xvfb, "-displayfd",  "3",         "-screen",
                                       "0",  "1280x800x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& w : words) {
            argv.push_back(w.data());
        }
        argv.push_back(nullptr);
        Child server;
        posix_spawn(&server.pid, xvfb.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(quiet);
        close(pipe[1]);
        const std::string number = FirstLine(pipe[0]);
        close(pipe[0]);
        displayName = number.empty() ? "" : ":" + number;
        return server;
    }
    Child StartProgram() {
        std::map<std::string, std::string> env{
            {"DISPLAY", displayName}, {"QT_QPA_PLATFORM", "xcb"}, {"KORVEL_RESTORE_DIR", points}};
        // In the sanitizer build: libxkbcommon-x11, which the xcb platform
        // loads, reads its keymap names with strndup past their end, which
        // strict string checks stop at start-up. A later option overrides.
        if (const char* asan = getenv("ASAN_OPTIONS")) {
            env["ASAN_OPTIONS"] = std::string(asan) + ":strict_string_checks=0";
        }
        return Child(KORVEL_DESKTOP, {KORVEL_SOURCE_DIR "/data/Mon", port}, env, -1,
                     folder);  // the file dialog opens there
    }
    // Runs xdotool's chained commands; true when they succeeded. A window
    // that vanishes while xdotool looks at it (a menu closing as the focus
    // moves) ends it before it acts, with an X error: it is run again.
    bool Xdo(const std::vector<std::string>& args) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (Child(xdotool, args, {{"DISPLAY", displayName}}).Wait() == 0) {
                return true;
            }
        }
        return false;
    }
    // Waits for the visible window of this exact title, then focuses it.
    std::vector<std::string> Focus(const std::string& title) {
        return {"search",          "--sync",      "--onlyvisible", "--name",
                "^" + title + "$", "windowfocus", "--sync",        "%1"};
    }
    std::vector<std::string> Then(std::vector<std::string> first,
                                  const std::vector<std::string>& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    }

    std::string xvfb, xdotool, displayName, port;
    std::string points = folder + "/points";
    std::string recovery = points + "/recovery";
    Child display, sim;
    int simOut[2] = {-1, -1};
};

TEST_F(CrashRecovery, EditsOfAKilledProgramAreRecoveredAtTheNextStart) {
    const std::string data = folder + "/crash.dat";
    std::filesystem::copy_file(KORVEL_SOURCE_DIR "/data/demo.dat", data);
    CalibrationImage demo;
    ASSERT_TRUE(ReadDataFile(data, demo).complete());

    Child first = StartProgram();
    // File > Open, the file typed into the dialog's name field. A key that
    // closes a window goes apart from the search that found it: chained, it
    // would end in an X error on the window it just closed.
    ASSERT_TRUE(Xdo(Then(Focus("Korvel ECU Interface"),
                         {"mousemove", "--window", "%1", "20", "8", "click", "1"})));
    ASSERT_TRUE(Xdo({"key", "Down", "Return"}));
    ASSERT_TRUE(
        Xdo(Then(Focus("Open ECU Data File From Disk"), {"key", "ctrl+a", "type", "crash.dat"})));
    ASSERT_TRUE(Xdo({"key", "Return"}));
    // Constants > RPM Presets: RPM A from 1800 to 2000, then Tab to OK and press it.
    ASSERT_TRUE(Xdo(Then(Focus("Korvel ECU Interface - crash.dat"),
                         {"mousemove", "--window", "%1", "20", "8", "click", "1"})));
    ASSERT_TRUE(Xdo({"key", "Right", "Right", "Right", "Right", "Down", "Return"}));
    ASSERT_TRUE(Xdo(Then(Focus("RPM Presets"), {"key", "ctrl+a", "type", "2000"})));
    ASSERT_TRUE(Xdo({"key", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "space"}));
    const std::string firstCopy = "korvel-" + std::to_string(first.pid) + ".dat";
    ASSERT_TRUE(WaitForFile(recovery, firstCopy));
    CalibrationImage edited;
    std::string dataFile;
    ASSERT_TRUE(LoadRecoveryCopy(recovery + "/" + firstCopy, edited, dataFile));
    EXPECT_EQ(dataFile, data);
    EXPECT_EQ(DifferingIndices(edited, demo), std::vector<int>{87});  // RPM A
    EXPECT_EQ(edited[87], 100u);                                      // 2000 rpm
    first.End(SIGKILL);

    Child second = StartProgram();
    ASSERT_TRUE(Xdo(Focus("Recover Unsaved Changes")));
    ASSERT_TRUE(Xdo({"key", "Return"}));
    const std::string secondCopy = "korvel-" + std::to_string(second.pid) + ".dat";
    ASSERT_TRUE(WaitForFile(recovery, secondCopy));
    CalibrationImage recovered;
    ASSERT_TRUE(LoadRecoveryCopy(recovery + "/" + secondCopy, recovered, dataFile));
    EXPECT_EQ(recovered.values, edited.values);
    EXPECT_EQ(dataFile, data);
    EXPECT_FALSE(std::filesystem::exists(recovery + "/" + firstCopy));
    EXPECT_TRUE(
        Xdo({"search", "--onlyvisible", "--name", "^Korvel ECU Interface - crash.dat \\*$"}));
}

}  // namespace
}  // namespace korvel
