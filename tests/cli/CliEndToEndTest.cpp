// korvel-cli against korvel-ecusim over a real pseudo-terminal, on the real
// clock. Kept few: each one costs real time. Every wait of the harness has a
// limit, so a hang fails a test instead of blocking it.

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include "calib/RestorePoints.h"
#include "tests/cli/CliHarness.h"
#include "tests/support/ScratchFolder.h"

namespace korvel {
namespace {

using namespace e2e;

// Waits, within a safety limit, until the program under test has written its
// first byte to the line (the terminal's inotify event); then kills the
// simulator, as if the line were unplugged mid-exchange.
void UnplugAtFirstRequest(EcuSim& sim, int watch) {
    pollfd p{watch, POLLIN, 0};
    poll(&p, 1, 10000);
    sim.End(SIGKILL);
}

// One line with a stray byte before every echo, shared by one upload, three
// downloads, two peeks and a poke in a row.
TEST(CliEndToEnd, TransfersPeekAndPokeSkipStrayBytes) {
    EcuSim sim({"--baud", "0", "--stray"});
    const TempFile image("image.dat");
    RunResult r = sim.Cli({"upload", image.path});
    EXPECT_EQ(r.out, "Data Loaded\n") << r.err;
    const std::string demo = ReadFile(DemoData);
    ASSERT_EQ(ReadFile(image.path), demo);

    const std::string first = demo.substr(0, demo.find('\r'));  // the value at 0E00
    image.Write(WithFirstValue(demo, "300"));                   // a value the ECU cannot hold
    r = sim.Cli({"download", image.path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nothing programmed"), std::string::npos) << r.err;
    image.Write(demo);
    r = sim.Cli({"download", image.path});
    EXPECT_EQ(r.out, "0 bytes written\nProgramming Complete\n") << r.err;
    const std::string changed = first == "7" ? "8" : "7";
    image.Write(WithFirstValue(demo, changed));
    r = sim.Cli({"download", image.path});
    EXPECT_EQ(r.out, "1 bytes written\nProgramming Complete\n") << r.err;
    EXPECT_EQ(sim.Cli({"peek", "E00"}).out, changed + "\n");

    r = sim.Cli({"poke", "0xE05", "300"});  // never cut to its low 8 bits
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("VALUE must be a whole number from 0 to 255"), std::string::npos);
    r = sim.Cli({"poke", "0xE05", "44"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sim.Cli({"peek", "e05"}).out, "44\n");
    const std::string log = sim.Stop();
    EXPECT_NE(log.find("EEPROM write 0E00 = " + changed + "\nEEPROM write 0E05 = 44\n"),
              std::string::npos)
        << log;
}

// The read-back catches an ECU that echoes programming without storing it.
// It names the poke that would put the byte back as it was (read first).
TEST(CliEndToEnd, UnstoredWriteFailsItsReadBack) {
    EcuSim sim({"--baud", "0", "--unstored-writes"});
    const RunResult r = sim.Cli({"poke", "E05", "44"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Verify failed at E05: wrote 2C, ECU holds E\n"
              "To restore the ECU as it was before this write, run:\n"
              "korvel-cli --port " +
                  sim.Port() + " poke E05 14\n");
}

// diff exits as cmp does: 0 same, 1 different (one line per byte), 2 trouble.
// download --changes programs exactly the differing bytes.
TEST(CliEndToEnd, DiffAndDownloadOfTheChangesOnly) {
    std::vector<std::string> lines = Split(ReadFile(DemoData), '\n');
    lines[87] = "151\r";  // RPM A
    lines[184] = "0\r";
    const TempFile edited("edited.dat"), shortFile("short.dat");
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    edited.Write(text);
    shortFile.Write("1\r\n2\r\n");
    const std::string differs =
        "0E57 151 90 RPM Presets, RPM A\n0EB8 0 90 RPM curve (position), point 3 y\n";
    const std::tuple<std::string, int, std::string> files[] = {
        {DemoData, 0, ""}, {edited.path, 1, differs}, {shortFile.path, 2, ""}};
    for (const auto& [file, exitCode, out] : files) {
        const RunResult r = RunProgram({"diff", file, DemoData});
        EXPECT_EQ(r.exitCode, exitCode) << file << r.err;
        EXPECT_EQ(r.out, out) << file;
        EXPECT_EQ(r.err.empty(), exitCode < 2) << r.err;
    }
    EcuSim sim({"--baud", "0"});
    RunResult r = sim.Cli({"diff", edited.path});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, differs);
    r = sim.Cli({"download", "--changes", edited.path});
    EXPECT_EQ(r.out, "2 bytes written\nProgramming Complete\n") << r.err;
    const std::string log = sim.Stop();
    EXPECT_NE(log.find("EEPROM write 0E57 = 151\nEEPROM write 0EB8 = 0\n"), std::string::npos)
        << log;
}

// An environment variable set for the programs a test starts, put back after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* kept = getenv(name)) {
            before_ = kept;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() { before_ ? setenv(name_, before_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> before_;
};

// The programs keep their restore points in the test's own folder.
struct CliRestorePoints : ScratchFolder {
    std::vector<RestorePoint> Points() const {
        return RestorePoints(folder, [] { return int64_t{0}; }).List();
    }
    CalibrationImage Bytes(const std::string& path) const {
        CalibrationImage image;
        EXPECT_TRUE(LoadRestorePoint(path, image)) << path;
        return image;
    }
    const ScopedVariable restoreDir{"KORVEL_RESTORE_DIR", folder};
};

// The demonstration file with RPM A and a curve point changed.
std::string EditedDemo() {
    std::vector<std::string> lines = Split(ReadFile(DemoData), '\n');
    lines[87] = "151\r";  // RPM A
    lines[184] = "0\r";
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// A download that the ECU stops answering says how far it got, by the bytes
// read back, and exits 1. The simulator counts every byte it received: the
// probe's two, then 5 to read an address and 7 to program it (Download), or
// the block's 516 and then 11 a byte (the changes only). It names the
// commands that put the ECU back: the download of the before point when
// there is one, else a poke per byte changed. Run once the ECU answers
// again, they leave it as it was before the download.
TEST_F(CliRestorePoints, InterruptedDownloadSaysHowFarItGotAndHowToRestoreTheEcu) {
    const TempFile edited("interrupted.dat");
    edited.Write(EditedDemo());
    const std::tuple<std::vector<std::string>, int, std::string, std::string> cases[] = {
        {{"download", edited.path},
         2 + 87 * 5 + 12 + 96 * 5 + 5 + 4,
         "1 bytes programmed before the failure at EB8; the byte at EB8 may also have been "
         "programmed",
         "poke E57 90\n"},
        {{"download", "--changes", edited.path},
         2 + 516 + 11 + 6,
         "1 of 2 bytes programmed before the failure at EB8",
         "download --changes " + folder + "/"},
    };
    for (const auto& [args, answered, count, named] : cases) {
        EcuSim sim({"--baud", "0", "--silent-after", std::to_string(answered)});
        const RunResult r = sim.Cli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Programming FAILED\n" + count + "\n"), std::string::npos) << r.err;
        const std::string intro = "To restore the ECU as it was before this write, run:\n";
        const size_t at = r.err.find(intro);
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_NE(r.err.find("korvel-cli --port " + sim.Port() + " " + named), std::string::npos)
            << r.err;
        sim.Signal(SIGUSR2);  // the ECU answers again
        for (const std::string& command : Split(r.err.substr(at + intro.size()), '\n')) {
            std::vector<std::string> words = Split(command, ' ');
            ASSERT_EQ(words.at(0), "korvel-cli");
            words.erase(words.begin());
            const RunResult back = RunProgram(words);
            EXPECT_EQ(back.exitCode, 0) << command << back.err;
        }
        EXPECT_EQ(sim.Cli({"diff", DemoData}).exitCode, 0);
        EXPECT_NE(sim.Stop().find("EEPROM write 0E57 = 151\n"), std::string::npos);
    }
}

TEST(CliEndToEnd, UploadFromAnEcuFallingSilentWritesNothing) {
    EcuSim sim({"--baud", "0", "--silent-after", "300"});  // half way through the block
    const TempFile kept("kept.dat");
    kept.Write("previous\r\n");
    EXPECT_EQ(sim.Cli({"upload", kept.path}).exitCode, 1);
    EXPECT_EQ(ReadFile(kept.path), "previous\r\n");
}

TEST(CliEndToEnd, MonitorReadsOneAndTwoByteVariablesOnAPacedLine) {
    EcuSim sim({});
    const TempFile log("log.csv");
    const RunResult raw =
        sim.Cli({"monitor", MonitorCfg, "--cycles", "2", "--raw", "--log", log.path});
    const std::vector<std::string> lines = Split(raw.out, '\n');
    ASSERT_EQ(lines.size(), 3u) << raw.err;
    EXPECT_EQ(lines[0], "time_ms,MAP,PW,Tair,Tcoo,Bat,Der,Fuel,RPM,TPS");
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = Split(lines[i], ',');
        ASSERT_EQ(f.size(), 10u) << lines[i];
        EXPECT_GT(std::stoi(f[2]), 255) << "PW is read as two bytes, high first";
        EXPECT_NEAR(std::stoi(f[5]), 181, 4) << "Bat";
    }
    // The achieved rate: 10 exchanges a pass on the paced line make at most 48
    // passes/s. (No lower bound: a machine that stalls the program for 2 s
    // between its two passes rightly reports 0.)
    const std::vector<std::string> err = Split(raw.err, '\n');
    ASSERT_FALSE(err.empty());
    const double rate = std::atof(err.back().c_str());
    EXPECT_TRUE(err.back().ends_with(" samples/s") && rate <= 48.1) << raw.err;

    EXPECT_EQ(Split(ReadFile(log.path), '\n').size(), 4u);  // two header lines, two samples
}

// A log that fails mid-run (the disk full) stops the run at once with exit 1,
// and the file ends with a whole line.
TEST(CliEndToEnd, MonitorStopsWhenItsLogFails) {
    EcuSim sim({"--baud", "0"});
    const TempFile log("full.csv");
    const RunResult r = sim.Cli({"monitor", MonitorCfg, "--log", log.path}, 6000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("The data log " + log.path + " could not be written: File too large\n"),
              std::string::npos)
        << r.err;
    const std::string written = ReadFile(log.path);
    ASSERT_GT(written.size(), 3000u);
    EXPECT_EQ(written.back(), '\n');
}

TEST(CliEndToEnd, LineUnpluggedMidExchangeIsReportedOnceAndCostsNoCpu) {
    EcuSim sim({"--latency", "1500"});
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, sim.Port().c_str(), IN_MODIFY), 0);
    std::thread unplug([&] { UnplugAtFirstRequest(sim, watch); });  // the reply is 1.5 s away
    const RunResult r = sim.Cli({"peek", "E00"});
    unplug.join();
    close(watch);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error Reading COMM Port\nCould not send the address to the ECU\n");
    EXPECT_LT(r.cpuSeconds, 0.5);
}

// None of these reaches an ECU: each fails before a port is opened, or the
// port cannot be opened.
TEST(CliEndToEnd, FailuresAreReportedWithTheirExitCode) {
    const TempFile pipe("pipe");
    ASSERT_EQ(mkfifo(pipe.path.c_str(), 0600), 0);
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"peek", "10000"}, 1, "Address out of range\n"},
        {{"peek", "E0G"}, 1, "Address out of range\n"},
        {{"poke", "DFF", "1"}, 1, "Only EEPROM addresses may be poked\n"},
        {{"poke", "E00", "x1"}, 2, "Usage:"},  // never written as 0
        {{"erase"}, 2, "Usage:"},
        {{"--port", "/nonexistent/tty", "peek", "E00"}, 1, "Error Opening Serial Port\n"},
        {{"--port", "/dev/null", "peek", "E00"}, 1, "Error Getting Comm DCB\n"},
        // A named pipe is refused at once, never waited on for a writer.
        {{"--port", "/nonexistent", "download", pipe.path}, 1, "Error Opening File\n"},
    };
    for (const auto& [args, exitCode, message] : cases) {
        const RunResult r = RunProgram(args);
        EXPECT_EQ(r.exitCode, exitCode) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << message;
    }
}

// --version and --help print and exit 0 without starting a program (the
// desktop one needs no display for them).
TEST(CliEndToEnd, EveryProgramAnswersVersionAndHelp) {
    const std::tuple<const char*, std::string, std::string> programs[] = {
        {KORVEL_CLI, "korvel-cli", "Usage: korvel-cli "},
        {KORVEL_ECUSIM, "korvel-ecusim", "Usage: korvel-ecusim "},
        {KORVEL_DESKTOP, "korvel", "Usage: korvel "},
    };
    for (const auto& [program, name, usage] : programs) {
        const RunResult version = RunProgram({"--version"}, program);
        EXPECT_EQ(version.exitCode, 0) << name;
        EXPECT_EQ(version.out, name + " " KORVEL_VERSION "\n");
        EXPECT_EQ(version.err, "") << name;
        const RunResult help = RunProgram({"--help"}, program);
        EXPECT_EQ(help.exitCode, 0) << name;
        EXPECT_TRUE(help.out.starts_with(usage)) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << name;
    }
}

// Started in a folder without data/, the simulator serves the user's own
// demo files from $XDG_DATA_HOME/korvel.
TEST(CliEndToEnd, SimulatorWithoutDataHereServesTheUsersDemoFiles) {
    const TempFile folder("folder");
    ASSERT_EQ(mkdir(folder.path.c_str(), 0700), 0);
    const std::string korvel = folder.path + "/korvel";
    ASSERT_EQ(mkdir(korvel.c_str(), 0700), 0);
    std::string demo = ReadFile(DemoData);
    demo = WithFirstValue(demo, "123");
    std::ofstream(korvel + "/demo.dat", std::ios::binary) << demo;
    std::ofstream(korvel + "/Mon.cfg", std::ios::binary) << ReadFile(MonitorCfg);

    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_DATA_HOME", folder.path.c_str(), 1);
    EcuSim sim({"--baud", "0"}, folder.path);
    if (saved != nullptr) {
        setenv("XDG_DATA_HOME", previous.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }

    const RunResult r = sim.Cli({"peek", "E00"});
    EXPECT_EQ(r.out, "123\n") << r.err;
    const std::string log = sim.Stop();
    EXPECT_EQ(log.find("cannot read"), std::string::npos) << log;
    unlink((korvel + "/demo.dat").c_str());
    unlink((korvel + "/Mon.cfg").c_str());
    rmdir(korvel.c_str());
    rmdir(folder.path.c_str());
}

TEST_F(CliRestorePoints, UploadLeavesAPointOfTheFileWithItsIndexLine) {
    EcuSim sim({"--baud", "0"});
    const TempFile image("uploaded.dat");
    const RunResult r = sim.Cli({"upload", image.path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<RestorePoint> points = Points();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].reason, "upload");
    EXPECT_EQ(ReadFile(points[0].path), ReadFile(image.path));
    const std::vector<std::string> index = Split(ReadFile(folder + "/index.csv"), '\n');
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(index[1], points[0].time + ",upload," + sim.Port() + ",,," + points[0].fileName);
    const RunResult listed = RunProgram({"restore-points"});
    EXPECT_NE(listed.out.find("upload"), std::string::npos);
    EXPECT_NE(listed.out.find(points[0].path + "\n"), std::string::npos) << listed.out;
}

TEST_F(CliRestorePoints, DownloadOfTheChangesLeavesTheOldAndTheNewBytes) {
    EcuSim sim({"--baud", "0"});
    const TempFile edited("changes.dat");
    edited.Write(EditedDemo());
    const RunResult r = sim.Cli({"download", "--changes", edited.path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<RestorePoint> points = Points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].reason, "before-download");
    EXPECT_EQ(points[1].dataFile, edited.path);
    EXPECT_EQ(Bytes(points[1].path).values, Bytes(DemoData).values);
    EXPECT_EQ(points[0].reason, "after-download");
    EXPECT_EQ(points[0].bytesProgrammed, 2);
    EXPECT_EQ(Bytes(points[0].path).values, Bytes(edited.path).values);
}

// A folder that takes no point: the commands that save points refuse before
// they reach the ECU, unless told to go on without.
TEST_F(CliRestorePoints, AFolderThatTakesNoPointRefusesUnlessToldToGoOn) {
    const TempFile notAFolder("not-a-folder");
    notAFolder.Write("x");
    const ScopedVariable unwritable("KORVEL_RESTORE_DIR", notAFolder.path + "/points");
    EcuSim sim({"--baud", "0"});
    const TempFile image("refused.dat");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"upload", image.path}, {"download", DemoData}}) {
        RunResult r = sim.Cli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "No restore point could be saved in " + notAFolder.path +
                             "/points: Not a directory\nNothing was done: give "
                             "--no-restore-point to go on without a restore point\n");
        std::vector<std::string> told = args;
        told.insert(told.begin(), "--no-restore-point");
        r = sim.Cli(told);
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    EXPECT_EQ(ReadFile(image.path), ReadFile(DemoData));
}

// restore-points lists the points of $KORVEL_RESTORE_DIR newest first, in
// aligned columns, the point's own file last.
TEST_F(CliRestorePoints, ListsThePointsNewestFirst) {
    RunResult r = RunProgram({"restore-points"});
    EXPECT_EQ(std::tie(r.exitCode, r.out, r.err),
              std::make_tuple(0, std::string(), "No restore points in " + folder + "\n"));

    int64_t wallMs = 1'700'000'000'000;
    RestorePoints points(folder, [&wallMs] { return wallMs; });
    const CalibrationImage image;
    ASSERT_TRUE(points.Save(image, {RestoreReason::Upload, "/dev/ttyUSB0", "/cal/a.dat", {}}).Ok());
    wallMs += 61'000;
    ASSERT_TRUE(points.Save(image, {RestoreReason::BeforePoke, "COM1", "", {}}).Ok());
    ASSERT_TRUE(points.Save(image, {RestoreReason::AfterPoke, "COM1", "", 1}).Ok());
    r = RunProgram({"restore-points"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2023-11-15 00:14:21  after-poke   COM1          -           " + folder +
                         "/20231115-001421-after-poke.dat\n"
                         "2023-11-15 00:14:21  before-poke  COM1          -           " +
                         folder +
                         "/20231115-001421-before-poke.dat\n"
                         "2023-11-15 00:13:20  upload       /dev/ttyUSB0  /cal/a.dat  " +
                         folder + "/20231115-001320-upload.dat\n");
}

}  // namespace
}  // namespace korvel
