// korvel-cli against korvel-ecusim over a real pseudo-terminal, on the real
// clock. Kept few: each one costs real time.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/ChildProcess.h"

namespace korvel::e2e {
namespace {

const std::string DemoData = KORVEL_SOURCE_DIR "/data/demo.dat";
const std::string MonitorCfg = KORVEL_SOURCE_DIR "/data/Mon.cfg";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The value of line `index` of the demo data file, without its CR.
std::string DemoValue(size_t index) {
    std::string line = Lines(ReadFile(DemoData)).at(index);
    line.pop_back();
    return line;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');) {
        fields.push_back(f);
    }
    return fields;
}

class CliEndToEnd : public testing::Test {
protected:
    void StartSim(std::vector<std::string> args) {
        args.insert(args.end(), {"--data", DemoData, "--monitor", MonitorCfg, "--log"});
        ASSERT_TRUE(sim.Start(args));
    }
    RunResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", sim.Port()});
        return RunCli(args);
    }
    std::string TempPath(const std::string& name) {
        const std::string path =
            std::string(KORVEL_BINARY_DIR) + "/e2e-" + std::to_string(getpid()) + "-" + name;
        temporary.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string& p : temporary) {
            unlink(p.c_str());
        }
    }

    EcuSim sim;
    std::vector<std::string> temporary;
};

TEST_F(CliEndToEnd, UploadWritesTheEcusCalibration) {
    for (const bool stray : {false, true}) {  // stray bytes before every echo are skipped
        StartSim(stray ? std::vector<std::string>{"--baud", "0", "--stray"}
                       : std::vector<std::string>{"--baud", "0"});
        const std::string file = TempPath("upload.dat");
        const RunResult r = Cli({"upload", file});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadFile(file), ReadFile(DemoData)) << "stray " << stray;
        sim.Stop();
    }
}

TEST_F(CliEndToEnd, UploadFromAnEcuFallingSilentWritesNothing) {
    StartSim({"--baud", "0", "--silent-after", "300"});  // half way through the block
    const std::string file = TempPath("kept.dat");
    WriteFile(file, "previous\r\n");
    const RunResult r = Cli({"upload", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Timed out waiting for data\nNot all addresses loaded\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFile(file), "previous\r\n");
}

TEST_F(CliEndToEnd, DownloadProgramsOnlyTheDifferingByte) {
    StartSim({"--baud", "0"});
    RunResult r = Cli({"download", DemoData});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0 bytes written\nProgramming Complete\n");

    std::vector<std::string> lines = Lines(ReadFile(DemoData));
    ASSERT_EQ(lines.size(), 512u);
    lines[100] = lines[100] == "77\r" ? "78\r" : "77\r";
    std::string edited;
    for (const std::string& l : lines) {
        edited += l + "\n";
    }
    const std::string file = TempPath("edited.dat");
    WriteFile(file, edited);
    r = Cli({"download", file});
    EXPECT_EQ(r.out, "1 bytes written\nProgramming Complete\n") << r.err;
    const std::string value = lines[100].substr(0, lines[100].size() - 1);
    EXPECT_EQ(Cli({"peek", "E64"}).out, value + "\n");
    const std::string log = sim.Stop();
    EXPECT_NE(log.find("EEPROM write 0E64 = " + value + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("EEPROM write"), log.rfind("EEPROM write")) << "one write only";
}

TEST_F(CliEndToEnd, DownloadRefusesAnIncompleteFile) {
    const std::string file = TempPath("short.dat");
    WriteFile(file, "1\r\n2\r\n");
    const RunResult r = RunCli({"--port", "/nonexistent", "download", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nothing programmed"), std::string::npos) << r.err;
}

TEST_F(CliEndToEnd, PeekAndPokeAtNineThousandSixHundredBaud) {
    StartSim({});
    RunResult r = Cli({"peek", "E00"});
    EXPECT_EQ(r.out, DemoValue(0) + "\n") << r.err;
    r = Cli({"poke", "0xE05", "300"});  // the low 8 bits are written
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Cli({"peek", "e05"}).out, "44\n");
}

// Parameterised cases are listed by their names.
template <class Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct MessageCase {
    std::string name;
    std::vector<std::string> args;
    int exitCode;
    std::string message;
};

class Messages : public testing::TestWithParam<MessageCase> {};

// None of these reaches a port: they fail before one is opened, or the
// port cannot be opened.
TEST_P(Messages, AreReportedWithTheirExitCode) {
    const RunResult r = RunCli(GetParam().args);
    EXPECT_EQ(r.exitCode, GetParam().exitCode);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    CliEndToEnd, Messages,
    testing::Values(
        MessageCase{"PeekAboveFFFF", {"peek", "10000"}, 1, "Address out of range\n"},
        MessageCase{"PeekNotHex", {"peek", "E0G"}, 1, "Address out of range\n"},
        MessageCase{"PokeAboveFFFF", {"poke", "10000", "1"}, 1, "Address out of range\n"},
        MessageCase{
            "PokeBelowEeprom", {"poke", "DFF", "1"}, 1, "Only EEPROM addresses may be poked\n"},
        MessageCase{
            "PokeAboveEeprom", {"poke", "1000", "1"}, 1, "Only EEPROM addresses may be poked\n"},
        MessageCase{"PokeValueNotANumber", {"poke", "E00", "x1"}, 2, "Usage:"},
        MessageCase{"NoCommand", {}, 2, "Usage:"},
        MessageCase{"UnknownCommand", {"erase"}, 2, "Usage:"},
        MessageCase{"MissingPort",
                    {"--port", "/nonexistent/tty", "peek", "E00"},
                    1,
                    "Error Opening Serial Port\n"},
        MessageCase{"PathThroughAFile",
                    {"--port", "/dev/null/tty", "peek", "E00"},
                    1,
                    "Error Opening Serial Port\n"},
        MessageCase{"NotASerialDevice",
                    {"--port", "/dev/null", "peek", "E00"},
                    1,
                    "Error Getting Comm DCB\n"}),
    [](const auto& info) { return info.param.name; });

struct SilenceCase {
    std::string name;
    std::string silentAfter;
    std::string message;
};

class SilentEcu : public CliEndToEnd, public testing::WithParamInterface<SilenceCase> {};

TEST_P(SilentEcu, PeekReportsTheFailedStep) {
    StartSim({"--baud", "0", "--silent-after", GetParam().silentAfter});
    const RunResult r = Cli({"peek", "E00"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(CliEndToEnd, SilentEcu,
                         testing::Values(SilenceCase{"NoEcho", "0",
                                                     "Could not send the address to the ECU"},
                                         SilenceCase{"NoData", "4", "Could not get data from ECU"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(CliEndToEnd, LineUnpluggedMidExchangeIsReportedOnceAndCostsNoCpu) {
    StartSim({"--latency", "1500"});
    EcuSim* line = &sim;
    std::thread unplug([line] {
        usleep(300'000);
        line->Kill();
    });
    const RunResult r = Cli({"peek", "E00"});
    unplug.join();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error Reading COMM Port\nCould not send the address to the ECU\n");
    EXPECT_LT(r.cpuSeconds, 0.5);
}

TEST_F(CliEndToEnd, MonitorPrintsOneLinePerCycle) {
    StartSim({});
    const RunResult raw = Cli({"monitor", MonitorCfg, "--cycles", "3", "--raw"});
    EXPECT_EQ(raw.exitCode, 0) << raw.err;
    const std::vector<std::string> lines = Lines(raw.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "time_ms,MAP,PW,Tair,Tcoo,Bat,Der,Fuel,RPM,TPS");
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 10u) << lines[i];
        EXPECT_GT(std::stoi(f[2]), 255) << "PW is read as two bytes, high first";
        EXPECT_NEAR(std::stoi(f[5]), 181, 4) << "Bat";
    }
    const RunResult units = Cli({"monitor", MonitorCfg, "--cycles", "1"});
    const std::vector<std::string> f = Fields(Lines(units.out).at(1));
    ASSERT_EQ(f.size(), 10u);
    EXPECT_NEAR(std::stod(f[5]), 14.0, 0.4) << "Bat in volts";
    EXPECT_TRUE(f[7] == "GSLN" || f[7] == "LP") << f[7];
}

}  // namespace
}  // namespace korvel::e2e
