// korvel-cli monitor: the desktop program's acquisition, printed as CSV.

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "cli/EcuConnection.h"
#include "monitor/CsvLogWriter.h"
#include "monitor/RateMeter.h"
#include "monitor/ValueText.h"

namespace korvel {

namespace {

class CsvMonitor {
public:
    explicit CsvMonitor(const CliArguments& args) : args_(args) {
        ecu_.scheduler.AddPassObserver([this](const Sample& sample) { PrintCycle(sample); });
        ecu_.scheduler.AddPassObserver([this](const Sample& sample) { LogCycle(sample); });
    }

    int Run() {
        if (!ReadMonitorFile(args_.words[0], ecu_.monitor)) {
            std::fprintf(stderr, "Error Opening File\n");
            return ExitFailure;
        }
        if (ecu_.monitor.empty()) {
            std::fprintf(stderr, "%s names no variables\n", args_.words[0].c_str());
            return ExitFailure;
        }
        if (!ecu_.Open(args_.port)) {
            return ExitFailure;
        }
        PrintHeader();
        if (!args_.logPath.empty() &&
            !log_.Start(args_.logPath, ecu_.monitor, ecu_.scheduler.AcquisitionMs())) {
            std::fprintf(stderr, "Cannot write the data log %s: %s\n", args_.logPath.c_str(),
                         log_.Error().c_str());
            return ExitFailure;
        }
        // Ctrl-C ends the loop between steps, so the run stops with a whole
        // last line and status 0; a closed terminal or pipe ends it the same
        // way, with status 1 (what was printed did not all arrive).
        startMs_ = lastCycleMs_ = ecu_.clock.MonotonicMs();
        while (!Interrupted() && !logFailed_ && (args_.cycles == 0 || cycles_ < args_.cycles)) {
            const long before = cycles_;
            if (!ecu_.scheduler.RunUntil(lastCycleMs_ + EcuAnswerLimitMs + 1, [&] {
                    return Interrupted() || logFailed_ || cycles_ != before;
                })) {
                ecu_.reporter.ShowMessage("The ECU did not answer within 10 seconds");
                return Finish(ExitFailure);
            }
            if (log_.Running() && !log_.FlushIfDue(ecu_.scheduler.AcquisitionMs())) {
                ReportLogFailure();
            }
        }
        return Finish(logFailed_ || LostTheUser() ? ExitFailure : ExitSuccess);
    }

private:
    void PrintHeader() {
        std::string line = "time_ms";
        for (int i = 0; i < ecu_.monitor.variableCount; ++i) {
            line += ',';
            line += ShownName(ecu_.monitor.name(i));
        }
        std::printf("%s\n", line.c_str());
        FlushOutput(stdout);
    }

    // Closes the log and reports the achieved rate; a log whose last lines
    // could not be written fails the run.
    int Finish(int status) {
        if (log_.Running() && !log_.Stop()) {
            ReportLogFailure();
        }
        if (logFailed_) {
            status = ExitFailure;
        }
        std::fprintf(stderr, "%.1f samples/s\n", rate_.PerSecond(ecu_.scheduler.AcquisitionMs()));
        return status;
    }

    // A failed write stops the log, and the run with it: a log with a hole
    // must not pass for a whole one.
    void ReportLogFailure() {
        std::fprintf(stderr, "The data log %s could not be written: %s\n", args_.logPath.c_str(),
                     log_.Error().c_str());
        logFailed_ = true;
    }

    void LogCycle(const Sample& sample) {
        rate_.Record(sample.passMs);
        if (log_.Running() && !log_.Write(sample)) {
            ReportLogFailure();
        }
    }

    // Called by the scheduler after each complete pass over the variables.
    void PrintCycle(const Sample& sample) {
        lastCycleMs_ = ecu_.clock.MonotonicMs();
        std::string line = std::to_string(lastCycleMs_ - startMs_);
        const MonitorFile& m = ecu_.monitor;
        for (int i = 0; i < m.variableCount; ++i) {
            const uint32_t raw = sample.raw[static_cast<size_t>(i)];
            line += ',';
            line += args_.raw ? std::to_string(raw) : MonitorValueCsv(m.name(i), raw);
        }
        std::printf("%s\n", line.c_str());
        FlushOutput(stdout);
        ++cycles_;
    }

    const CliArguments& args_;
    EcuConnection ecu_;
    DiskLogFile logFile_;
    CsvLogWriter log_{logFile_};
    RateMeter rate_;
    int64_t startMs_ = 0;
    int64_t lastCycleMs_ = 0;
    long cycles_ = 0;
    bool logFailed_ = false;
};

}  // namespace

int RunMonitor(const CliArguments& args) {
    return CsvMonitor(args).Run();
}

}  // namespace korvel
