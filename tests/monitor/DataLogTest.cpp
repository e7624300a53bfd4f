#include <gtest/gtest.h>
#include <csignal>
#include <thread>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <clocale>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "monitor/DataLog.h"
#include "monitor/RateMeter.h"

namespace korvel {
namespace {

// Keeps what was handed to the system apart from what is still buffered, and
// fails the operation it is told to.
struct MemoryFile : LogFile {
    std::string flushed, buffered;  // flushed: what a crash would leave on disk
    int writesBeforeFailure = -1;   // -1: never fails
    bool flushFails = false;
    int closeFailures = 0;  // this many next closes fail
    bool open = false;
    std::set<std::string> existing;  // names taken; each Open adds its own
    std::vector<std::string> opened;

    std::string Open(const std::string& path, bool mustBeNew) override {
        if (mustBeNew && existing.contains(path)) {
            return "File exists";
        }
        existing.insert(path);
        opened.push_back(path);
        return open = true, flushed.clear(), "";
    }
    bool Exists(const std::string& path) override { return existing.contains(path); }
    std::string Write(std::string_view bytes) override {
        return writesBeforeFailure == 0 ? "No space left on device"
                                        : (--writesBeforeFailure, buffered += bytes, "");
    }
    std::string Flush() override {
        return flushFails ? "Input/output error" : (flushed += std::exchange(buffered, {}), "");
    }
    std::string Close() override {
        open = false;
        buffered.clear();
        return closeFailures > 0 ? (--closeFailures, "Disk quota exceeded") : "";
    }
};

MonitorFile List(const char* config) {
    MonitorFile monitor;
    ParseMonitorFile(config, monitor);
    return monitor;
}

Sample Pass(int64_t passMs, std::initializer_list<uint32_t> raw) {
    Sample sample;
    sample.passMs = passMs;
    std::copy(raw.begin(), raw.end(), sample.raw.begin());
    sample.variableCount = static_cast<int>(raw.size());
    return sample;
}

const char* const SevenKinds = "MAP,1,1\nPW,2,2\nTair,3,1\nTcoo,4,1\nBat,5,1\nFuel,6,1\nDer,7,1\n";

// Through a real file, which the system may refuse with its error; a decimal
// point whatever the locale.
TEST(CsvLogWriter, HeaderUnitsAndOneLinePerPassInPanelUnits) {
    struct Restore {
        std::string before = std::setlocale(LC_ALL, nullptr);
        ~Restore() { std::setlocale(LC_ALL, before.c_str()); }
    } restore;
    DiskLogFile file;
    CsvLogWriter log(file);
    EXPECT_FALSE(log.Start("/nonexistent-folder/run.csv", List(SevenKinds), 0));
    EXPECT_EQ(log.Error(), "No such file or directory");
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where the machine has it
    const std::string path = testing::TempDir() + "/korvel-log-test.csv";
    ASSERT_TRUE(log.Start(path, List(SevenKinds), 5000));
    log.Write(Pass(5000, {0, 250, 255, 0, 255, 4, 129}));
    log.Write(Pass(6234, {255, 1, 0, 255, 0, 3, 128}));
    ASSERT_TRUE(log.Stop());
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(),
              "Time,MAP,PW,Tair,Tcoo,Bat,Fuel,Der\n"
              "s,inHg,us,F,F,V,LP,\n"
              "0.000,3.1,1000,-40.1,266.1,19.8,1,-127\n"
              "1.234,30.8,4,266.0,-40.1,0.0,0,128\n");
}

TEST(CsvLogWriter, ReachesTheFileEachSecondAndStopsOnAFailure) {
    MemoryFile file;
    CsvLogWriter log(file);
    ASSERT_TRUE(log.Start("run.csv", List("RPM,1,1\n"), 0));
    // Pass time, then what has reached the file (lines after the header).
    const std::pair<int64_t, int> passes[] = {{400, 0}, {999, 0}, {1000, 3}, {1700, 3}, {2100, 5}};
    for (const auto& [ms, lines] : passes) {
        ASSERT_TRUE(log.Write(Pass(ms, {1})));
        EXPECT_EQ(std::count(file.flushed.begin(), file.flushed.end(), '\n') - 2, lines) << ms;
    }
    ASSERT_TRUE(log.Write(Pass(2500, {1})));
    EXPECT_TRUE(log.FlushIfDue(3099));  // no pass for a while: within the second, buffered
    EXPECT_FALSE(file.buffered.empty());
    EXPECT_TRUE(log.FlushIfDue(3100));  // a second since the last flush
    EXPECT_TRUE(file.buffered.empty());

    // A write fails: the log stops and closes its file, with the system's error.
    file.writesBeforeFailure = 0;
    EXPECT_FALSE(log.Write(Pass(3200, {1})));
    EXPECT_FALSE(log.Running());
    EXPECT_FALSE(file.open);
    EXPECT_EQ(log.Error(), "No space left on device");
}

// A blank line before a name runs into the name field ("\r\nPW"): the
// header stays clean and PW keeps its kind, so it is logged in us.
TEST(CsvLogWriter, ABlankLineInTheMonitorFileLeavesACleanHeader) {
    MemoryFile file;
    CsvLogWriter log(file);
    ASSERT_TRUE(log.Start("run.csv", List("MAP,26,1\r\n\r\nPW,1Ch,2\r\nTair,30,1\r\n"), 0));
    ASSERT_TRUE(log.Write(Pass(1000, {100, 375, 90})));
    ASSERT_TRUE(log.Stop());
    EXPECT_EQ(file.flushed,
              "Time,MAP,PW,Tair\n"
              "s,inHg,us,F\n"
              "1.000,14.0,1500,77.0\n");
}

// Through real files cut short by a file size limit, as a full disk cuts
// them: the file ends after its last whole line, never mid-line.
TEST(DiskLogFile, AFileTheSystemTakesOnlyInPartEndsWithAWholeLine) {
    const std::string path =
        testing::TempDir() + "/korvel-log-limit-" + std::to_string(getpid()) + ".csv";
    struct Limit {
        rlimit before{};
        void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);  // a write past it fails instead
        explicit Limit(rlim_t bytes) {
            getrlimit(RLIMIT_FSIZE, &before);
            rlimit limit = before;
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        ~Limit() {
            setrlimit(RLIMIT_FSIZE, &before);
            signal(SIGXFSZ, handler);
        }
    };
    for (const size_t limit : {size_t{9000}, DiskLogFile::BufferLimit + 5000}) {
        SCOPED_TRACE(limit);
        DiskLogFile file;
        CsvLogWriter log(file);
        bool failed = false;
        {
            const Limit fileSize(limit);
            ASSERT_TRUE(log.Start(path, List(SevenKinds), 0));
            for (int64_t ms = 0; ms < 100'000 && !failed; ms += 20) {
                failed = !log.Write(Pass(ms, {1, 2, 3, 4, 5, 6, 7}));
            }
        }
        EXPECT_TRUE(failed);
        EXPECT_EQ(log.Error(), "File too large");
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        ASSERT_GT(text.str().size(), limit / 2);
        EXPECT_LE(text.str().size(), limit);
        EXPECT_EQ(text.str().back(), '\n');
        unlink(path.c_str());
    }
}

// Into a pipe whose reader reads as it goes and then leaves: every piece the
// log hands the system ends on a line end and fits the pipe's atomic size,
// so what the reader got ends on a line end too.
TEST(DiskLogFile, APipesReaderGetsWholeLinesOnly) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    void (*handler)(int) = signal(SIGPIPE, SIG_IGN);  // the write after it left fails
    std::string got;
    std::thread reader([&] {
        char chunk[65536];
        for (ssize_t n; got.size() < 5000 && (n = read(ends[0], chunk, sizeof chunk)) > 0;) {
            got.append(chunk, static_cast<size_t>(n));
        }
        close(ends[0]);
    });
    DiskLogFile file;
    ASSERT_EQ(file.Open("/dev/fd/" + std::to_string(ends[1]), false), "");
    close(ends[1]);
    std::string error;
    for (int i = 0; i < 100'000 && error.empty(); ++i) {
        error = file.Write(std::to_string(i * 7919) + ",14.2,31,0,141,224\n");
    }
    reader.join();
    file.Close();
    signal(SIGPIPE, handler);
    EXPECT_EQ(error, "Broken pipe");
    ASSERT_GE(got.size(), 5000u);
    EXPECT_EQ(got.back(), '\n');
}

TEST(DataLog, NamesStatusAndFailuresEachToldOnce) {
    EXPECT_EQ(NumberedLogName("/data.v1/run", 3), "/data.v1/run-3");  // a dot, no extension
    const std::string name = DefaultLogName(1'700'000'000'000);
    EXPECT_EQ(name.size(), std::string("korvel-YYYYMMDD-HHMMSS.csv").size());
    EXPECT_EQ(name.substr(0, 11), "korvel-2023");

    MemoryFile file;
    DataLog log(file);
    ASSERT_TRUE(log.Start("/tmp/x/run.csv", List("MAP,1,1\n"), 0));
    log.Record(Pass(10, {1}));
    EXPECT_EQ(log.StatusText(), "Logging to run.csv: 1 samples");

    file.flushFails = true;  // a flush fails as a write does
    EXPECT_FALSE(log.Tick(1100));
    EXPECT_FALSE(log.Running());
    EXPECT_FALSE(log.Tick(2200));  // stopped: nothing more to tell
    EXPECT_EQ(log.TakeFailureText(),
              "The data log /tmp/x/run.csv could not be written:\nInput/output error\n"
              "Logging has stopped; monitoring goes on.");
    EXPECT_EQ(log.TakeFailureText(), "");
}

// A new list while logging: the next free name, never an existing file; the
// first file's failed last flush is told with its name, and logging goes on.
TEST(DataLog, ANewListContinuesUnderTheNextFreeName) {
    MemoryFile file;
    file.existing = {"/logs/run-2.csv", "/logs/run-4.csv"};
    DataLog log(file);
    ASSERT_TRUE(log.Start("/logs/run.csv", List("MAP,1,1\n"), 0));
    log.Record(Pass(10, {1}));
    ASSERT_TRUE(log.Restart(List("RPM,2,1\n"), 20));
    ASSERT_TRUE(log.Restart(List("MAP,1,1\n"), 30));
    EXPECT_EQ(file.opened,
              (std::vector<std::string>{"/logs/run.csv", "/logs/run-3.csv", "/logs/run-5.csv"}));
    EXPECT_FALSE(log.HasFailures());

    log.Record(Pass(40, {1}));
    file.closeFailures = 1;
    ASSERT_TRUE(log.Restart(List("RPM,2,1\n"), 50));
    EXPECT_EQ(log.TakeFailureText(),
              "The data log /logs/run-5.csv could not be written:\nDisk quota exceeded\n"
              "Logging goes on in run-6.csv.");
    log.Record(Pass(60, {1}));
    EXPECT_TRUE(log.Stop());
    EXPECT_EQ(log.ClosedText(), "Log closed: 1 samples in run-6.csv");
}

TEST(RateMeter, PassesPerSecondOverTheLastTwoSeconds) {
    // Passes every `period` ms up to `until`, then the figure at `now`.
    const std::tuple<int64_t, int64_t, int64_t, double> cases[] = {
        {100, 5000, 5000, 10.0},   // steady
        {100, 300, 300, 10.0},     // shortly after the start
        {100, 5000, 6000, 5.0},    // a second without a pass halves it
        {100, 5000, 7001, 0.0},    // none in the window
        {5000, 5000, 5000, 0.0}};  // one pass in the window
    for (const auto& [period, until, now, expected] : cases) {
        RateMeter meter;
        for (int64_t ms = 0; ms <= until; ms += period) {
            meter.Record(ms);
        }
        EXPECT_NEAR(meter.PerSecond(now), expected, 0.06) << period << " " << until << " " << now;
    }
}

}  // namespace
}  // namespace korvel
