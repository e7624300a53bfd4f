#pragma once
// A fresh folder for each test, removed afterwards, and the time zone the
// tests' local times are written for.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

namespace korvel {

// Two hours east of UTC, so that a local time is told from a UTC one.
inline void UseTestTimeZone() {
    setenv("TZ", "KVL-2", 1);
    tzset();
}

struct ScratchFolder : ::testing::Test {
    ScratchFolder() {
        static int serial = 0;
        folder = testing::TempDir() + "scratch_" + std::to_string(getpid()) + "_" +
                 std::to_string(++serial);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        UseTestTimeZone();
    }
    ~ScratchFolder() override { std::filesystem::remove_all(folder); }
    std::string folder;
};

// Runs `check` where `folder` cannot be written: with its write bits cleared,
// or, as root (whom those bits do not stop), in a child process of an
// unprivileged user. The child must not use gtest's assertions.
inline bool WithoutWriteAccess(const std::string& folder, const std::function<bool()>& check) {
    if (geteuid() != 0) {
        chmod(folder.c_str(), 0555);
        const bool ok = check();
        chmod(folder.c_str(), 0755);
        return ok;
    }
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace korvel
