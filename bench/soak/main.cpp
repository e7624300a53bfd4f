// korvel-soak: korvel-cli and the desktop program against korvel-ecusim
// under random faults for a number of minutes, then a table of what held.
// A measurement that prints figures; its exit status is 1 when a rule broke
// (a false success, a miscount, a wrong upload, a crash, a hang, a broken
// log line), so the short run serves as a test.
//
// Usage: korvel-soak [--minutes N | --seconds N] [--seed N] [--short RUNS]
//                    [--no-desktop] [--keep] [--verbose]
//   --short RUNS  RUNS korvel-cli runs with faults by exchange count, an
//                 unpaced line and no desktop program: the test's run

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "bench/soak/Child.h"
#include "bench/soak/CliSoak.h"
#include "bench/soak/DesktopSoak.h"
#include "bench/soak/Report.h"

namespace {

using namespace korvel::soak;

struct Options {
    int64_t seconds = 30 * 60;
    uint64_t seed = static_cast<uint64_t>(std::time(nullptr));
    int shortRuns = 0;
    bool desktop = true;
    bool keep = false;
    bool verbose = false;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == "--minutes" && valued) {
            o.seconds = 60 * std::atoll(argv[++i]);
        } else if (arg == "--seconds" && valued) {
            o.seconds = std::atoll(argv[++i]);
        } else if (arg == "--seed" && valued) {
            o.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--short" && valued) {
            o.shortRuns = std::atoi(argv[++i]);
            o.desktop = false;
        } else if (arg == "--no-desktop") {
            o.desktop = false;
        } else if (arg == "--keep") {
            o.keep = true;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else {
            return false;
        }
    }
    return o.seconds > 0 && o.shortRuns >= 0;
}

std::string ScratchFolder() {
    std::string folder = (std::filesystem::temp_directory_path() / "korvel-soak.XXXXXX").string();
    return mkdtemp(folder.data()) != nullptr ? folder : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(
            "Usage: korvel-soak [--minutes N | --seconds N] [--seed N] [--short RUNS]\n"
            "                   [--no-desktop] [--keep] [--verbose]\n",
            stderr);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    Programs programs{KORVEL_CLI,
                      KORVEL_ECUSIM,
                      KORVEL_SOAK_DESKTOP,
                      KORVEL_SOURCE_DIR "/data/demo.dat",
                      KORVEL_SOURCE_DIR "/data/Mon.cfg",
                      ScratchFolder()};
    if (programs.scratch.empty()) {
        std::perror("korvel-soak: scratch folder");
        return 1;
    }
    // Restore points land in the scratch folder, never in a home folder.
    setenv("KORVEL_RESTORE_DIR", (programs.scratch + "/restore-points").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const int64_t until = MonotonicMs() + options.seconds * 1000;
    CliSoakOptions cli;
    cli.seed = options.seed;
    cli.untilMs = until;
    if (options.shortRuns > 0) {
        cli = {options.seed, 0, options.shortRuns, true, 0, 1};
    }
    cli.verbose = options.verbose;
    DesktopFigures desktop;
    std::thread desktopRun;
    if (options.desktop) {
        desktopRun =
            std::thread([&] { desktop = RunDesktopSoak(programs, options.seed ^ 0x5eed, until); });
    }
    const int64_t started = MonotonicMs();
    const CliFigures figures = RunCliSoak(programs, cli);
    if (desktopRun.joinable()) {
        desktopRun.join();
    }
    const Report report{options.seed, (MonotonicMs() - started) / 1000, figures,
                        options.desktop ? &desktop : nullptr};
    PrintReport(report, stdout);
    if (!options.keep) {
        std::filesystem::remove_all(programs.scratch);
    } else {
        std::printf("files kept in %s\n", programs.scratch.c_str());
    }
    return Passed(report) ? 0 : 1;
}
