#include "bench/soak/CliSoak.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>

#include "bench/soak/Checks.h"
#include "bench/soak/Child.h"
#include "calib/DataFile.h"

namespace korvel::soak {

namespace {

std::string LastLine(const std::string& text) {
    const size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) {
        return {};
    }
    const size_t start = text.find_last_of("\r\n", end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

enum class Kind { Download, DownloadChanges, Upload };
enum class Event { None, Unplug, Interrupt };

struct Plan {
    Kind kind = Kind::Upload;
    std::vector<std::string> faults;  // the simulator's options
    Event event = Event::None;
    int eventAfter = 0;  // ms after the start, or EEPROM writes by exchange count
    int unpluggedMs = 0;
    int signal = 0;
    int edits = 0;
    uint64_t simSeed = 0;  // the seed of its faults (and, plus one, of the one plugged back in)
};

struct FaultKind {
    const char* option;
    int low, high;  // its number's range; 0, 0: a flag
    bool
        timed;  // its delays, or the 10 s the CLI gives an ECU that never answers, run on the clock
};

// Each line as likely as the next; "none" three times.
constexpr std::array<FaultKind, 12> Faults{{
    {nullptr, 0, 0, false},
    {nullptr, 0, 0, false},
    {nullptr, 0, 0, false},
    {"--reset-after", 20, 3000, false},
    {"--silent-after", 20, 3000, false},
    {"--drop-every", 30, 600, false},
    {"--noise", 3, 80, false},
    {"--late", 100, 400, true},
    {"--late-beyond", 300, 2000, true},
    {"--stray", 0, 0, false},
    {"--wrong-echo", 0, 0, true},
    {"--unstored-writes", 0, 0, false},
}};

constexpr int Signals[] = {SIGHUP, SIGINT, SIGTERM};

class CliSoak {
public:
    CliSoak(const Programs& programs, const CliSoakOptions& options)
        : p_(programs),
          o_(options),
          dice_(options.seed),
          link_(programs.scratch + "/cli-ecu"),
          eeprom_(programs.scratch + "/cli-eeprom.dat"),
          target_(programs.scratch + "/cli-target.dat"),
          uploaded_(programs.scratch + "/cli-upload.dat") {}

    CliFigures Run() {
        CalibrationImage demo;
        ReadDataFile(p_.data, demo);
        WriteDataFile(eeprom_, demo);  // the EEPROM every run starts from and leaves
        for (int run = 0; o_.runs > 0 ? run < o_.runs : MonotonicMs() < o_.untilMs; ++run) {
            RunOne(NextPlan(), run);
        }
        sim_.Stop();
        return figures_;
    }

private:
    Plan NextPlan() {
        Plan plan;
        plan.kind = static_cast<Kind>(dice_.Between(0, 2));
        FaultKind fault;
        do {
            fault = Faults[static_cast<size_t>(dice_.Between(0, Faults.size() - 1))];
        } while (fault.timed && o_.byExchangeCount);
        if (fault.option != nullptr) {
            plan.faults.push_back(fault.option);
            if (fault.high > 0) {
                plan.faults.push_back(std::to_string(dice_.Between(fault.low, fault.high)));
            }
        }
        plan.edits = dice_.Between(1, o_.byExchangeCount ? 12 : 60);
        // The short run is few: there three runs in ten are unplugged and three interrupted.
        const int event = dice_.Between(0, 9);
        const int unplugs = o_.byExchangeCount ? 3 : 2, interrupts = o_.byExchangeCount ? 3 : 1;
        plan.event = event < unplugs                ? Event::Unplug
                     : event < unplugs + interrupts ? Event::Interrupt
                                                    : Event::None;
        if (o_.byExchangeCount && plan.kind == Kind::Upload) {
            plan.event = Event::None;  // an upload programs nothing to count by
        }
        // Within the transfer: a whole Download takes about 6 s at 9600 baud, the others 1 to 2 s.
        plan.eventAfter = o_.byExchangeCount
                              ? dice_.Between(1, std::max(1, plan.edits / 2))
                              : dice_.Between(50, plan.kind == Kind::Download ? 6000 : 1500);
        plan.unpluggedMs = o_.byExchangeCount ? 0 : dice_.Between(200, 3000);  // no clock waits
        plan.signal = Signals[dice_.Between(0, 2)];
        plan.simSeed = dice_.Seed();
        return plan;
    }

    std::vector<std::string> SimArgs(const std::vector<std::string>& faults, uint64_t seed) {
        std::vector<std::string> args{"--data",       p_.data,
                                      "--monitor",    p_.monitorFile,
                                      "--eeprom",     eeprom_,
                                      "--link",       link_,
                                      "--baud",       std::to_string(o_.baud),
                                      "--program-ms", std::to_string(o_.programMs),
                                      "--seed",       std::to_string(seed)};
        if (o_.byExchangeCount) {
            args.push_back("--log");  // its EEPROM writes, counted
        }
        args.insert(args.end(), faults.begin(), faults.end());
        return args;
    }

    // In place of the one before, if it still runs; ready once it has printed
    // its terminal's path (the link is made then).
    bool StartSim(const std::vector<std::string>& faults, uint64_t seed) {
        sim_.Stop();
        if (!sim_.StartPiped(p_.sim, SimArgs(faults, seed), p_.scratch + "/cli-ecusim.err",
                             o_.byExchangeCount)) {
            return false;
        }
        simSaid_.clear();
        for (std::string line; sim_.ReadLine(line, 10'000);) {
            if (line.starts_with("/")) {
                return true;
            }
            simSaid_ += line + " ";
        }
        return false;
    }

    bool ReadEeprom(CalibrationImage& image) {
        const DataFileReadResult read = ReadDataFile(eeprom_, image);
        return read.opened && read.complete();
    }

    CalibrationImage Edited(const CalibrationImage& before, int edits) {
        CalibrationImage target = before;
        for (int i = 0; i < edits; ++i) {
            target[dice_.Between(0, ImageSize - 1)] = static_cast<uint32_t>(dice_.Between(0, 255));
        }
        return target;
    }

    std::vector<std::string> CliArgs(Kind kind) const {
        std::vector<std::string> args{"--port", link_};
        if (kind == Kind::Upload) {
            args.insert(args.end(), {"upload", uploaded_});
        } else if (kind == Kind::DownloadChanges) {
            args.insert(args.end(), {"download", "--changes", target_});
        } else {
            args.insert(args.end(), {"download", target_});
        }
        return args;
    }

    // Waits for the moment of the run's event: a time, or the k-th EEPROM
    // write the simulator reports. False when the CLI ended first.
    bool AwaitEvent(const Plan& plan, const Child& cli) {
        if (!o_.byExchangeCount) {
            return !cli.EndsWithin(plan.eventAfter);
        }
        const int64_t deadline = MonotonicMs() + RunLimitMs();
        int writes = 0;
        std::string line;
        while (writes < plan.eventAfter && MonotonicMs() < deadline) {
            if (sim_.ReadLine(line, 200)) {
                writes += line.starts_with("EEPROM write") ? 1 : 0;
            } else if (cli.EndsWithin(200)) {  // also the wait when the simulator has gone
                return false;
            }
        }
        return writes == plan.eventAfter;
    }

    int RunLimitMs() const { return o_.byExchangeCount ? 60'000 : 300'000; }

    void Unplug(const Plan& plan) {
        sim_.Kill();
        ++figures_.unplugs;
        Pause(plan.unpluggedMs);
        StartSim({}, plan.simSeed + 1);  // plugged back in, the line sound again
    }

    void RunOne(const Plan& plan, int run) {
        CalibrationImage before;
        if (!ReadEeprom(before)) {
            figures_.findings.push_back("run " + std::to_string(run) +
                                        ": the simulator's EEPROM file is unreadable");
            return;
        }
        CalibrationImage target;
        if (plan.kind != Kind::Upload) {
            target = Edited(before, plan.edits);
            WriteDataFile(target_, target);
        }
        if (!StartSim(plan.faults, plan.simSeed)) {
            figures_.findings.push_back("run " + std::to_string(run) +
                                        ": the simulator did not start: " + Describe(plan, run) +
                                        " " + simSaid_);
            return;
        }
        unlink(uploaded_.c_str());
        Child cli;
        const std::string outPath = p_.scratch + "/cli.out", errPath = p_.scratch + "/cli.err";
        if (!cli.Start(p_.cli, CliArgs(plan.kind), outPath, errPath)) {
            figures_.findings.push_back(Describe(plan, run) + ": korvel-cli did not start");
            return;
        }
        if (plan.event != Event::None && AwaitEvent(plan, cli)) {
            if (plan.event == Event::Unplug) {
                Unplug(plan);
            } else {
                cli.Signal(plan.signal);
                ++figures_.interrupts;
            }
        }
        const Exit exit = cli.Wait(RunLimitMs());
        // Stopped before its EEPROM is read: a byte it took late cannot land afterwards.
        sim_.Stop();
        Judge(plan, run, exit, before, target, ReadWholeFile(outPath), ReadWholeFile(errPath));
    }

    void Judge(const Plan& plan, int run, const Exit& exit, const CalibrationImage& before,
               const CalibrationImage& target, const std::string& outText,
               const std::string& errorText) {
        CalibrationImage after;
        Outcome outcome;
        if (!ReadEeprom(after)) {
            outcome = {Verdict::Corrupted, "the simulator's EEPROM file is unreadable"};
        } else if (!exit.ended) {
            outcome = {Verdict::Hung, "korvel-cli still running at the limit"};
        } else if (exit.code != 0 && exit.code != 1) {
            outcome = {Verdict::Crashed,
                       exit.signal != 0 ? "korvel-cli died of signal " + std::to_string(exit.signal)
                                        : "korvel-cli exit status " + std::to_string(exit.code)};
        } else if (plan.kind == Kind::Upload) {
            outcome = JudgeUpload(exit, after);
        } else {
            ++figures_.downloads;
            ++(exit.code == 0 ? figures_.downloadsOk : figures_.downloadsFailed);
            outcome = CheckDownload(before, target, after, exit.code, errorText, outText);
        }
        Count(outcome);
        if (o_.verbose) {
            std::fprintf(stderr, "%s: exit %d: %s\n", Describe(plan, run).c_str(), exit.code,
                         LastLine(errorText).c_str());
        }
        if (outcome.verdict != Verdict::Fine) {
            figures_.findings.push_back(Describe(plan, run) + ": " + VerdictName(outcome.verdict) +
                                        ": " + outcome.detail + " | " + errorText);
        }
    }

    // Noise comes only before echoes, never before the data a read takes:
    // every upload that succeeded is held to the EEPROM.
    Outcome JudgeUpload(const Exit& exit, const CalibrationImage& eeprom) {
        ++figures_.uploads;
        if (exit.code != 0) {
            return {};
        }
        ++figures_.uploadsOk;
        CalibrationImage file;
        const DataFileReadResult read = ReadDataFile(uploaded_, file);
        if (!read.opened || !read.complete() || !UploadMatches(file, eeprom)) {
            return {Verdict::WrongUpload, "the uploaded file differs from the EEPROM"};
        }
        return {};
    }

    void Count(const Outcome& outcome) {
        switch (outcome.verdict) {
            case Verdict::FalseSuccess:
                figures_.falseSuccesses += 1;
                break;
            case Verdict::Miscount:
                figures_.miscounts += 1;
                break;
            case Verdict::Corrupted:
                figures_.corrupted += 1;
                break;
            case Verdict::WrongUpload:
                figures_.wrongUploads += 1;
                break;
            case Verdict::Crashed:
                figures_.crashes += 1;
                break;
            case Verdict::Hung:
                figures_.hangs += 1;
                break;
            case Verdict::Fine:
                break;
        }
    }

    static std::string Describe(const Plan& plan, int run) {
        std::string text = "run " + std::to_string(run) + " (" +
                           (plan.kind == Kind::Upload            ? "upload"
                            : plan.kind == Kind::DownloadChanges ? "download --changes"
                                                                 : "download");
        for (const std::string& f : plan.faults) {
            text += " " + f;
        }
        if (plan.event == Event::Unplug) {
            text += ", unplugged after " + std::to_string(plan.eventAfter);
        } else if (plan.event == Event::Interrupt) {
            text += ", signal " + std::to_string(plan.signal) + " after " +
                    std::to_string(plan.eventAfter);
        }
        return text + ")";
    }

    const Programs& p_;
    const CliSoakOptions& o_;
    Dice dice_;
    std::string link_, eeprom_, target_, uploaded_;
    Child sim_;
    std::string simSaid_;  // what it printed before its terminal's path
    CliFigures figures_;
};

}  // namespace

CliFigures RunCliSoak(const Programs& programs, const CliSoakOptions& options) {
    return CliSoak(programs, options).Run();
}

}  // namespace korvel::soak
