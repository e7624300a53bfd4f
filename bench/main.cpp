// korvel-bench: the link's speed and CPU cost against korvel-ecusim on a
// pseudo-terminal paced like the real 9600-baud line. Prints a markdown
// table; it checks nothing and never fails on a figure.

#include <sys/resource.h>
#include <sys/utsname.h>

#include <QCoreApplication>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "acquisition/AcquisitionScheduler.h"
#include "bench/SimProcess.h"
#include "calib/Text.h"
#include "link/Transfers.h"
#include "link/qt/SerialPortTransport.h"
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
};

class LinkBench {
public:
    LinkBench(SerialPortTransport& transport, int baud)
        : transport_(transport),
          characterSeconds_(static_cast<double>(CharacterTimeUs(baud)) / 1e6),
          scheduler_(link_, monitor_, [this] { ++cycles_; }) {
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
        return Transfer("Upload 0x0E00..0x0FFF (516 exchanges)", !result.ok(), watch, 516);
    }

    Row DownloadUnchanged() {
        Stopwatch watch;
        const LinkResult result = DownloadRange(
            link_, image_.values.data(), CalibrationFirstAddress, CalibrationLastAddress, {});
        return Transfer("Download, no byte differs (2,560 exchanges)", !result.ok(), watch, 2560);
    }

    Row Acquire(int seconds) {
        // Slots are bound and one pass is read before the stopwatch starts.
        Run(10'000, [this] { return cycles_ > 0; });
        const long before = cycles_;
        Stopwatch watch;
        Run(int64_t{seconds} * 1000, [] { return false; });
        const double rate = (cycles_ - before) * double{MaxMonitorVariables} / watch.WallSeconds();
        const double limit = 1.0 / (2 * characterSeconds_);  // one exchange per variable
        return {"Acquisition, 16 one-byte variables", FormatNumber("%.0f variables/s", rate),
                FormatNumber("%.0f variables/s", limit), limit / rate, watch.CpuShare()};
    }

private:
    Row Transfer(const char* name, bool failed, const Stopwatch& watch, int exchanges) {
        const double seconds = watch.WallSeconds();
        const double limit = exchanges * 2 * characterSeconds_;
        return {name, failed ? "FAILED" : FormatNumber("%.3f s", seconds),
                FormatNumber("%.3f s", limit), seconds / limit, watch.CpuShare()};
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
    AcquisitionScheduler scheduler_;
    CalibrationImage image_;
};

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown";
}

void PrintTable(const std::vector<Row>& rows, const BenchOptions& o) {
    utsname machine{};
    uname(&machine);
    std::printf("Machine: %s, %u logical CPUs, Linux %s, Qt %s\n", CpuModel().c_str(),
                std::thread::hardware_concurrency(), machine.release, qVersion());
    std::printf("Line: korvel-ecusim paced at %d baud, 8N1, on a pseudo-terminal\n\n", o.baud);
    std::printf("| Measure | Result | Wire limit | Time vs wire | CPU (share of one core) |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::printf("| %s | %s | %s | %.1f%% | %.2f%% |\n", r.measure.c_str(), r.result.c_str(),
                    r.limit.c_str(), r.ratio * 100, r.cpuShare * 100);
    }
    std::printf("\nTargets: time within 110%% of the wire limit; CPU below 5%% while acquiring.\n");
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
    SimProcess sim;
    std::string error;
    if (!sim.Start(options.ecusim,
                   {"--data", options.data, "--monitor", options.monitor, "--baud",
                    std::to_string(options.baud)},
                   error)) {
        std::fprintf(stderr, "korvel-bench: %s\n", error.c_str());
        return 1;
    }
    QuietReporter reporter;
    SerialPortTransport transport;
    if (!transport.Open(sim.TerminalPath(), reporter)) {
        return 1;
    }
    LinkBench bench(transport, options.baud);
    if (!bench.ReachEcu()) {
        std::fprintf(stderr, "korvel-bench: the virtual ECU did not answer\n");
        return 1;
    }
    std::vector<Row> rows;
    rows.push_back(bench.Upload());
    rows.push_back(bench.DownloadUnchanged());
    rows.push_back(bench.Acquire(options.seconds));
    PrintTable(rows, options);
    return 0;
}
