// korvel-bench: the link's speed and CPU cost against korvel-ecusim on a
// pseudo-terminal paced like the real 9600-baud line. Prints a markdown
// table; it checks nothing and never fails on a figure.

#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "acquisition/AcquisitionScheduler.h"
#include "bench/SimProcess.h"
#include "calib/Text.h"
#include "link/Transfers.h"
#include "link/qt/SerialPortTransport.h"
#include "monitor/CsvLogWriter.h"
#include "sim/PacedEcu.h"

namespace korvel {
namespace {

struct BenchOptions {
    std::string ecusim = KORVEL_ECUSIM;
    std::string data = KORVEL_SOURCE_DIR "/data/demo.dat";
    std::string monitor = KORVEL_SOURCE_DIR "/data/Mon.cfg";
    int baud = 9600;
    int seconds = 10;
};

class QuietReporter : public Reporter {
public:
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    void SetPaneText(int, const std::string&) override {}
};

// Wall and CPU time (user + system, this process) of one measured stretch.
class Stopwatch {
public:
    Stopwatch() : wall_(Now()), cpu_(CpuSeconds()) {}
    double WallSeconds() const { return Now() - wall_; }
    double CpuShare() const { return (CpuSeconds() - cpu_) / std::max(1e-9, WallSeconds()); }

private:
    static double Now() {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
    static double CpuSeconds() {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        return seconds(u.ru_utime) + seconds(u.ru_stime);
    }
    double wall_;
    double cpu_;
};

struct Row {
    std::string measure;
    std::string result;
    std::string limit;
    double ratio;
    double cpuShare;
    std::string slowResult;  // the same measure at SlowLatencyMs reply latency
};

// An untuned USB adapter's default latency timer, as korvel-ecusim --latency.
constexpr int SlowLatencyMs = 16;
// korvel-ecusim's default EEPROM programming time before a commit's echo.
constexpr double ProgrammingSeconds = 0.010;

// Exchanges of each transfer: one per address byte pair (4), data byte (1),
// echoed command with its parameter (2 each), and the read-back (1).
constexpr int WriteExchanges = 7;  // LOAD_DATA, PROGRAM 0x2B, PROGRAM 0xB2, SEND
int DownloadExchanges(int changed) {
    return 512 * 5 + changed * WriteExchanges;
}
int ChangesExchanges(int changed) {
    return 516 + changed * (4 + WriteExchanges);
}

// Indices changed for the "typical edit" rows: an RPM preset, then ten bytes
// spread over the tables and curves.
const std::vector<int> OneEdit{87};
const std::vector<int> TenEdits{87, 108, 111, 114, 184, 186, 219, 257, 259, 300};

class LinkBench {
public:
    LinkBench(SerialPortTransport& transport, int baud)
        : transport_(transport),
          characterSeconds_(static_cast<double>(CharacterTimeUs(baud)) / 1e6),
          scheduler_(link_, monitor_) {
        scheduler_.AddPassObserver([this](const Sample&) { ++cycles_; });
        scheduler_.AddPassObserver([this](const Sample& sample) {
            if (log_.Running()) {
                log_.Write(sample);
            }
        });
        std::string cfg;
        for (int i = 0; i < MaxMonitorVariables; ++i) {
            // Appended piece by piece: GCC 12 at -O3 misreads `"V" + std::to_string(i)`
            // as an overlapping copy (-Wrestrict).
            cfg.append("V").append(std::to_string(i)).append(",");
            cfg.append(std::to_string(0x40 + i)).append(",1\n");
        }
        ParseMonitorFile(cfg, monitor_);
    }

    bool ReachEcu() {
        return Run(10'000, [this] { return scheduler_.statusFlags.Test(EcuOnLine); });
    }

    Row Upload() {
        Stopwatch watch;
        const LinkResult result = UploadRange(link_, image_.values.data(), CalibrationFirstAddress,
                                              CalibrationLastAddress, {});
        return Transfer("Upload 0x0E00..0x0FFF (516 exchanges)", !result.ok(), watch, 516, 0);
    }

    Row DownloadUnchanged() { return Download(image_, 0, "Download, no byte differs"); }

    // Download of an edit, then the changes-only download that puts the
    // original back: both program the same bytes.
    std::pair<Row, Row> EditBothWays(const std::vector<int>& edits) {
        CalibrationImage edited = image_;
        for (int i : edits) {
            edited[i] ^= 0x01;
        }
        const int n = static_cast<int>(edits.size());
        const std::string what = std::to_string(n) + (n == 1 ? " byte differs" : " bytes differ");
        Row download = Download(edited, n, "Download, " + what);
        Stopwatch watch;
        const LinkResult result = DownloadChanges(link_, image_, {});
        Row changes =
            Transfer("Download changes, " + what, !result.ok(), watch, ChangesExchanges(n), n);
        changes.measure += " (" + std::to_string(ChangesExchanges(n)) + " exchanges)";
        return {download, changes};
    }

    Row Acquire(int seconds) {
        // Slots are bound and one pass is read before the stopwatch starts.
        Run(10'000, [this] { return cycles_ > 0; });
        const long before = cycles_;
        Stopwatch watch;
        Run(int64_t{seconds} * 1000, [] { return false; });
        const double rate = (cycles_ - before) * double{MaxMonitorVariables} / watch.WallSeconds();
        const double limit = 1.0 / (2 * characterSeconds_);  // one exchange per variable
        return {"Acquisition, 16 one-byte variables",
                FormatNumber("%.0f variables/s", rate),
                FormatNumber("%.0f variables/s", limit),
                limit / rate,
                watch.CpuShare(),
                ""};
    }

    // The demo monitor file's variables, with or without the data log: what
    // logging costs. Both runs bind the slots and read one pass first.
    Row AcquireDemo(int seconds, const std::string& monitorPath, const std::string& logPath) {
        std::ifstream in(monitorPath);
        const std::string cfg((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        scheduler_.FinishOutstanding();
        monitor_ = MonitorFile();
        ParseMonitorFile(cfg, monitor_);
        scheduler_.RestartFromProbe();  // the new list is bound afresh
        const long start = cycles_;
        Run(10'000, [&] { return cycles_ > start; });
        if (!logPath.empty() && !log_.Start(logPath, monitor_, scheduler_.AcquisitionMs())) {
            std::fprintf(stderr, "korvel-bench: %s: %s\n", logPath.c_str(), log_.Error().c_str());
        }
        const long before = cycles_;
        Stopwatch watch;
        Run(int64_t{seconds} * 1000, [] { return false; });
        log_.Stop();
        const double rate = (cycles_ - before) / watch.WallSeconds();
        int exchanges = 0;
        for (int i = 0; i < monitor_.variableCount; ++i) {
            exchanges += monitor_.variables[static_cast<size_t>(i)].byteCount == 2 ? 2 : 1;
        }
        const double limit = 1.0 / (exchanges * 2 * characterSeconds_);
        const std::string name = std::to_string(monitor_.variableCount) + " variables of " +
                                 "data/Mon.cfg, " +
                                 (logPath.empty() ? "no log" : "with the data log");
        return {name,
                FormatNumber("%.1f passes/s", rate),
                FormatNumber("%.1f passes/s", limit),
                limit / rate,
                watch.CpuShare(),
                ""};
    }

private:
    Row Download(const CalibrationImage& image, int changed, const std::string& name) {
        Stopwatch watch;
        const LinkResult result = DownloadRange(link_, image.values.data(), CalibrationFirstAddress,
                                                CalibrationLastAddress, {});
        const int exchanges = DownloadExchanges(changed);
        return Transfer(name + " (" + std::to_string(exchanges) + " exchanges)", !result.ok(),
                        watch, exchanges, changed);
    }

    Row Transfer(const std::string& name, bool failed, const Stopwatch& watch, int exchanges,
                 int programmed) {
        const double seconds = watch.WallSeconds();
        const double limit = exchanges * 2 * characterSeconds_ + programmed * ProgrammingSeconds;
        return {name,
                failed ? "FAILED" : FormatNumber("%.3f s", seconds),
                FormatNumber("%.3f s", limit),
                seconds / limit,
                watch.CpuShare(),
                ""};
    }

    // The command-line tool's loop, for at most `ms`.
    bool Run(int64_t ms, const std::function<bool()>& done) {
        return scheduler_.RunUntil(clock_.MonotonicMs() + ms, done);
    }

    SerialPortTransport& transport_;
    double characterSeconds_;
    SystemClock clock_;
    QuietReporter reporter_;
    EcuLink link_{transport_, clock_, reporter_};
    MonitorFile monitor_;
    long cycles_ = 0;
    DiskLogFile logFile_;
    CsvLogWriter log_{logFile_};
    AcquisitionScheduler scheduler_;
    CalibrationImage image_;
};

// The data log's own cost, free of the line's and the machine's noise: CPU
// time of one logged pass of the demo variables, written to a real file.
double LogMicrosPerPass(const std::string& monitorPath, const std::string& logPath) {
    std::ifstream in(monitorPath);
    const std::string cfg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    MonitorFile monitor;
    ParseMonitorFile(cfg, monitor);
    DiskLogFile file;
    CsvLogWriter log(file);
    log.Start(logPath, monitor, 0);
    Sample sample;
    sample.variableCount = monitor.variableCount;
    constexpr int Passes = 200'000;
    Stopwatch watch;
    for (int i = 0; i < Passes; ++i) {
        sample.passMs = i * 21;  // about the wire's pace, so it flushes once a second
        for (size_t k = 0; k < MaxMonitorVariables; ++k) {
            sample.raw[k] = static_cast<uint32_t>((i + 37 * k) % 256);
        }
        log.Write(sample);
    }
    log.Stop();
    return watch.CpuShare() * watch.WallSeconds() / Passes * 1e6;
}

// Every row of the table against one simulator, at one reply latency.
// The data log's rows only at no extra latency, where the wire is the limit.
bool MeasureAll(const BenchOptions& o, int latencyMs, std::vector<Row>& rows,
                const std::string& logPath) {
    SimProcess sim;
    std::string error;
    if (!sim.Start(o.ecusim,
                   {"--data", o.data, "--monitor", o.monitor, "--baud", std::to_string(o.baud),
                    "--latency", std::to_string(latencyMs)},
                   error)) {
        std::fprintf(stderr, "korvel-bench: %s\n", error.c_str());
        return false;
    }
    QuietReporter reporter;
    SerialPortTransport transport;
    if (!transport.Open(sim.TerminalPath(), reporter)) {
        return false;
    }
    LinkBench bench(transport, o.baud);
    if (!bench.ReachEcu()) {
        std::fprintf(stderr, "korvel-bench: the virtual ECU did not answer\n");
        return false;
    }
    rows.push_back(bench.Upload());
    rows.push_back(bench.DownloadUnchanged());
    for (const std::vector<int>* edits : {&OneEdit, &TenEdits}) {
        auto [download, changes] = bench.EditBothWays(*edits);
        rows.push_back(download);
        rows.push_back(changes);
    }
    rows.push_back(bench.Acquire(o.seconds));
    for (int round = 0; latencyMs == 0 && round < 2; ++round) {  // alternated: the load drifts
        rows.push_back(bench.AcquireDemo(o.seconds, o.monitor, {}));
        rows.push_back(bench.AcquireDemo(o.seconds, o.monitor, logPath));
    }
    return true;
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown";
}

// The wall time of a result cell ("1.234 s"), or 0.
double Seconds(const std::string& result) {
    return std::atof(result.c_str());
}

// "Download changes" rows follow the Download of the same edit: the share
// of its time is the figure that matters.
std::string WithShare(const Row& row, const Row* download) {
    if (download == nullptr || Seconds(download->result) <= 0) {
        return row.result;
    }
    return row.result + FormatNumber(" (%.0f%% of Download)",
                                     100 * Seconds(row.result) / Seconds(download->result));
}

void PrintTable(const std::vector<Row>& rows, const std::vector<Row>& slow, const BenchOptions& o) {
    utsname machine{};
    uname(&machine);
    std::printf("Machine: %s, %u logical CPUs, Linux %s, Qt %s\n", CpuModel().c_str(),
                std::thread::hardware_concurrency(), machine.release, qVersion());
    std::printf("Line: korvel-ecusim paced at %d baud, 8N1, on a pseudo-terminal\n\n", o.baud);
    std::printf(
        "| Measure | Result | Wire limit | Time vs wire | CPU (share of one core) "
        "| At %d ms reply latency |\n",
        SlowLatencyMs);
    std::printf("|---|---|---|---|---|---|\n");
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const bool changes = r.measure.rfind("Download changes", 0) == 0;
        const Row* download = changes && i > 0 ? &rows[i - 1] : nullptr;
        const Row* slowDownload = changes && i > 0 && i - 1 < slow.size() ? &slow[i - 1] : nullptr;
        const std::string slowResult = i < slow.size() ? WithShare(slow[i], slowDownload) : "";
        std::printf("| %s | %s | %s | %.1f%% | %.2f%% | %s |\n", r.measure.c_str(),
                    WithShare(r, download).c_str(), r.limit.c_str(), r.ratio * 100,
                    r.cpuShare * 100, slowResult.c_str());
    }
    std::printf(
        "\nTargets: time within 110%% of the wire limit; CPU below 5%% while acquiring;"
        " a download of the changes at most 30%% of Download's time, and at most 1.3 s"
        " for one byte.\n");
}

bool ParseOptions(int argc, char** argv, BenchOptions& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const std::string value = argv[i + 1];
        int n = 0;
        const bool number =
            std::from_chars(value.data(), value.data() + value.size(), n).ec == std::errc();
        if (arg == "--ecusim") {
            o.ecusim = value;
        } else if (arg == "--data") {
            o.data = value;
        } else if (arg == "--seconds" && number && n > 0) {
            o.seconds = n;
        } else if (arg == "--baud" && number && n > 0) {
            o.baud = n;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

}  // namespace
}  // namespace korvel

int main(int argc, char** argv) {
    using namespace korvel;
    BenchOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: korvel-bench [--seconds N] [--baud N] [--data FILE] "
                     "[--ecusim PATH]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    std::vector<Row> rows;
    std::vector<Row> slow;
    const std::string logPath = "/tmp/korvel-bench-" + std::to_string(getpid()) + ".csv";
    if (!MeasureAll(options, 0, rows, logPath) ||
        !MeasureAll(options, SlowLatencyMs, slow, logPath)) {
        return 1;
    }
    const double micros = LogMicrosPerPass(options.monitor, logPath);
    std::remove(logPath.c_str());
    PrintTable(rows, slow, options);
    const double passes = std::stod(rows.back().limit);
    std::printf(
        "Data log, %s: %.2f us of CPU per pass, %.3f%% of one core at the wire's %.1f "
        "passes/s.\n",
        "9 variables of data/Mon.cfg", micros, micros * passes / 1e4, passes);
    return 0;
}
