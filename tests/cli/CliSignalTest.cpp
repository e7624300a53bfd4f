// korvel-cli when the user's side goes away mid-command: the terminal closes
// (SIGHUP, then every write fails), the reader of a pipe stops reading (as
// `2>&1 | head -n 3` does), or SIGHUP comes while stderr can still be written.
// It must end by itself between two bytes with status 1, never die of the
// signal, and leave a data log that ends on a whole line.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>

#include "tests/cli/CliHarness.h"

namespace korvel {
namespace {

using namespace e2e;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The end of a long output, for a failure's message.
std::string Tail(const std::string& text) {
    return text.substr(text.size() - std::min<size_t>(text.size(), 300));
}

// The demo data with every fourth byte changed: a download programs 128.
std::string EveryFourthByteChanged() {
    std::string text;
    int index = 0;
    for (const std::string& line : Split(ReadFile(DemoData), '\n')) {
        const int value = std::atoi(line.c_str()) + (index++ % 4 == 0 ? 1 : 0);
        text += std::to_string(value % 256) + "\r\n";
    }
    return text;
}

enum class UserSide {
    ClosedTerminal,  // the CLI's controlling terminal, closed once `ready`
    ClosedPipe,      // stdout and stderr into a pipe, closed once `ready`
    HangUpSignal,    // SIGHUP once `ready`; stdout and stderr into a pipe read to the end
};

struct Outcome {
    ExitResult exit;
    std::string seen;  // what the user's side read
};

// Runs korvel-cli on `sim` and takes the user's side away once what it read
// makes `ready` true.
Outcome RunAndLeave(const EcuSim& sim, std::vector<std::string> args, UserSide side,
                    const std::function<bool(const std::string&)>& ready) {
    args.insert(args.begin(), {"--port", sim.Port()});
    Outcome outcome;
    int ours = -1;
    pid_t pid = -1;
    if (side == UserSide::ClosedTerminal) {
        ours = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ours < 0 || grantpt(ours) != 0 || unlockpt(ours) != 0) {
            return outcome;
        }
        pid = Spawn(KORVEL_CLI, args, -1, -1, ptsname(ours));
    } else {
        int pipe[2];
        if (pipe2(pipe, O_CLOEXEC) != 0) {
            return outcome;
        }
        pid = Spawn(KORVEL_CLI, args, pipe[1], pipe[1]);
        close(pipe[1]);
        ours = pipe[0];
    }
    EXPECT_TRUE(ReadUntil(ours, outcome.seen, ready)) << Tail(outcome.seen);
    if (side == UserSide::HangUpSignal) {
        kill(pid, SIGHUP);
        ReadUntil(ours, outcome.seen, [](const std::string&) { return false; });
    }
    close(ours);
    outcome.exit = WaitForExit(pid);
    return outcome;
}

// Each line ends with a line end and has as many fields as the header.
void ExpectWholeLines(const std::string& log) {
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    const std::vector<std::string> lines = Split(log, '\n');
    ASSERT_GE(lines.size(), 2u);
    const auto fields = [](const std::string& line) {
        return std::count(line.begin(), line.end(), ',');
    };
    for (const std::string& line : lines) {
        EXPECT_EQ(fields(line), fields(lines[0])) << line;
    }
}

TEST(CliSignals, DownloadStopsBetweenBytesWhenItsUserGoesAway) {
    const TempFile changed("changed.dat");
    changed.Write(EveryFourthByteChanged());
    // A quarter done, on the terminal's progress bar or as a line of its own.
    const auto underWay = [](const std::string& seen) {
        return Contains(seen, "25%  Programming");
    };
    const auto thirdLine = [](const std::string& seen) {
        return std::count(seen.begin(), seen.end(), '\n') >= 3;
    };
    const struct {
        const char* name;
        UserSide side;
        std::function<bool(const std::string&)> ready;
    } cases[] = {
        {"terminal closed", UserSide::ClosedTerminal, underWay},
        {"2>&1 | head -n 3", UserSide::ClosedPipe, thirdLine},
        {"SIGHUP, stderr kept", UserSide::HangUpSignal, underWay},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EcuSim sim({"--baud", "0", "--program-ms", "2"});
        const Outcome left = RunAndLeave(sim, {"download", changed.path}, c.side, c.ready);
        EXPECT_EQ(left.exit.signal, 0) << "killed by the signal";
        EXPECT_EQ(left.exit.exitCode, 1) << Tail(left.seen);
        if (c.side == UserSide::HangUpSignal) {
            const std::string report = left.seen.substr(left.seen.rfind("%  Programming"));
            EXPECT_TRUE(Contains(report, "FAILED") || Contains(report, "cancelled")) << report;
        }
        const std::string log = sim.Stop();
        const size_t programmed = Count(log, "EEPROM write");
        EXPECT_TRUE(programmed > 0 && programmed < 128) << programmed << " EEPROM writes";
    }
}

TEST(CliSignals, MonitorLogEndsOnAWholeLineWhenItsUserGoesAway) {
    const auto lines = [](size_t n) {
        return [n](const std::string& seen) {
            return static_cast<size_t>(std::count(seen.begin(), seen.end(), '\n')) >= n;
        };
    };
    const struct {
        const char* name;
        UserSide side;
    } cases[] = {
        {"terminal closed", UserSide::ClosedTerminal},
        {"| head -n 30", UserSide::ClosedPipe},
    };
    EcuSim sim({"--baud", "0"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFile log("log.csv");
        const Outcome left = RunAndLeave(sim, {"monitor", MonitorCfg, "--raw", "--log", log.path},
                                         c.side, lines(30));
        EXPECT_EQ(left.exit.signal, 0) << "killed by the signal";
        EXPECT_EQ(left.exit.exitCode, 1) << Tail(left.seen);
        ExpectWholeLines(ReadFile(log.path));
    }
}

}  // namespace
}  // namespace korvel
