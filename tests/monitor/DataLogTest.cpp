#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
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
    bool open = false;

    std::string Open(const std::string&) override { return open = true, flushed.clear(), ""; }
    std::string Write(std::string_view bytes) override {
        return writesBeforeFailure == 0 ? "No space left on device"
                                        : (--writesBeforeFailure, buffered += bytes, "");
    }
    std::string Flush() override {
        return flushFails ? "Input/output error" : (flushed += std::exchange(buffered, {}), "");
    }
    std::string Close() override { return open = false, buffered.clear(), ""; }
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
    StdioLogFile file;
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
              "s,kPa,us,F,F,V,LP,\n"
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

// What has reached the system, read back while the log is still open, ends
// on a line end however many lines are pending: a killed program or a pipe's
// reader that goes away never leaves half a line.
TEST(StdioLogFile, HandsTheSystemWholeLinesOnly) {
    const std::string path = testing::TempDir() + "/korvel-whole-lines.csv";
    StdioLogFile file;
    ASSERT_EQ(file.Open(path), "");
    std::string all;
    for (int i = 0; i < 400; ++i) {  // about 16 KB, four pipe buffers
        const std::string line = std::to_string(i * 7919) + ",14.2,31,0,141,224\n";
        ASSERT_EQ(file.Write(line), "");
        all += line;
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        const std::string reached = text.str();
        ASSERT_TRUE(reached.empty() || reached.back() == '\n') << i;
        ASSERT_EQ(all.compare(0, reached.size(), reached), 0) << i;
    }
    ASSERT_EQ(file.Flush(), "");
    ASSERT_EQ(file.Close(), "");
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), all);
    std::remove(path.c_str());
}

TEST(DataLog, NamesStatusAndFailure) {
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
    EXPECT_EQ(log.FailureText(),
              "The data log /tmp/x/run.csv could not be written:\nInput/output error\n"
              "Logging has stopped; monitoring goes on.");
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
