// korvel-ecusim's --link and --eeprom as a technician's scripts meet them: a
// simulator killed and started again on the same path, two simulators on one
// path, an EEPROM that outlives its simulator.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "tests/cli/CliHarness.h"

namespace korvel {
namespace {

using namespace e2e;

struct LinkPath : TempFile {
    LinkPath() : TempFile("ecu-link") {}
};

// Sends the presence probe's first byte through `path`; true when the echo
// comes back (a simulator serves the path).
bool Answers(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const unsigned char probe = 0x02;
    std::string echo;
    const bool answered = write(fd, &probe, 1) == 1 &&
                          ReadUntil(fd, echo, [](const std::string& t) { return !t.empty(); }) &&
                          echo == "\x02";
    close(fd);
    return answered;
}

// The system hands out the lowest free terminal number, often to another
// program: a link left by a killed simulator must not lead there.
TEST(SimulatorLink, KilledSimulatorsLinkLeadsNowhereNotIntoTheNextTerminal) {
    const LinkPath link;
    EcuSim sim({"--baud", "0", "--link", link.path});
    ASSERT_TRUE(Answers(link.path));
    const std::string number = sim.Port();
    sim.End(SIGKILL);

    struct Held {
        std::vector<int> fds;
        ~Held() {
            for (int fd : fds) {
                close(fd);
            }
        }
    } taken;
    bool holding = false;
    for (int i = 0; i < 64 && !holding; ++i) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        taken.fds.push_back(master);
        holding = grantpt(master) == 0 && unlockpt(master) == 0 && number == ptsname(master);
    }
    if (!holding) {
        GTEST_SKIP() << "another program holds " << number;
    }
    const int fd = open(link.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_LT(fd, 0) << "the stale link leads into the terminal now numbered " << number;
    if (fd >= 0) {
        close(fd);
    }
    EcuSim again({"--baud", "0", "--link", link.path});  // started again on the same path
    EXPECT_TRUE(Answers(link.path));
}

TEST(SimulatorLink, StoppingSimulatorLeavesTheLinkOfTheOneStartedAfterIt) {
    const LinkPath link;
    EcuSim first({"--baud", "0", "--link", link.path});
    EcuSim second({"--baud", "0", "--link", link.path});
    first.Stop();
    EXPECT_TRUE(Answers(link.path));
    second.Stop();
    EXPECT_FALSE(Answers(link.path));
}

// A download, the simulator killed, a new one on the same EEPROM file: the
// file holds what was programmed, and the new simulator serves it.
TEST(SimulatorEeprom, OutlivesTheSimulatorAndIsWhereARestartGoesOn) {
    const TempFile eeprom("eeprom.dat"), edited("edited.dat"), uploaded("uploaded.dat");
    const std::string demo = ReadFile(DemoData);
    const std::string text = WithFirstValue(demo, "7");
    edited.Write(text);
    {
        EcuSim sim({"--baud", "0", "--eeprom", eeprom.path});
        EXPECT_EQ(ReadFile(eeprom.path), demo) << "--data is the first content";
        const RunResult r = sim.Cli({"download", edited.path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        sim.End(SIGKILL);
    }
    EXPECT_EQ(ReadFile(eeprom.path), text);
    EcuSim again({"--baud", "0", "--eeprom", eeprom.path});  // --data (the demo) is not used now
    EXPECT_EQ(again.Cli({"upload", uploaded.path}).exitCode, 0);
    EXPECT_EQ(ReadFile(uploaded.path), text);
    again.Stop();

    eeprom.Write("1\r\n2\r\n");  // not a whole EEPROM
    const int err = OutputFile();
    const ExitResult refused =
        WaitForExit(Spawn(KORVEL_ECUSIM, {"--eeprom", eeprom.path, "--data", DemoData}, err, err));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(ReadAndClose(err),
              "korvel-ecusim: " + eeprom.path + " is not a complete data file\n");
}

}  // namespace
}  // namespace korvel
