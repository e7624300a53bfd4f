#include "bench/soak/DesktopSoak.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "bench/soak/Child.h"

namespace korvel::soak {

namespace {

constexpr int SettleMs = 5000;          // start-up, probe, slot binding and the first passes
constexpr int LastRecoveryMs = 15'000;  // after the last fault: a pass, and the log's flush

long ResidentKb(pid_t pid) {
    std::istringstream status(ReadWholeFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

// User and system time in clock ticks.
long CpuTicks(pid_t pid) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i) {
        ticks += i >= 14 ? std::atol(field.c_str()) : 0;  // fields 14 and 15
    }
    return ticks;
}

class DesktopSoak {
public:
    DesktopSoak(const Programs& programs, uint64_t seed)
        : p_(programs),
          dice_(seed),
          link_(programs.scratch + "/desktop-ecu"),
          log_(programs.scratch + "/desktop-log.csv"),
          errors_(programs.scratch + "/desktop.err") {}

    DesktopFigures Run(int64_t untilMs) {
        if (!StartSim() || !StartDesktop()) {
            figures_.error = "could not start the simulator or the desktop program";
            return figures_;
        }
        Pause(SettleMs);
        figures_.rssStartKb = ResidentKb(app_.Pid());
        const long ticks = CpuTicks(app_.Pid());
        const int64_t started = MonotonicMs();
        while (MonotonicMs() + LastRecoveryMs + 8000 < untilMs &&
               !app_.EndsWithin(dice_.Between(4000, 15'000))) {
            Fault();
        }
        Pause(LastRecoveryMs);
        const int64_t seconds = MonotonicMs() - started;
        figures_.crashed = app_.EndsWithin(0);
        figures_.rssEndKb = ResidentKb(app_.Pid());
        figures_.cpuPercent = 100.0 * static_cast<double>(CpuTicks(app_.Pid()) - ticks) /
                              static_cast<double>(sysconf(_SC_CLK_TCK)) /
                              (static_cast<double>(seconds) / 1000.0);
        app_.Stop();
        sim_.Stop();
        Judge();
        return figures_;
    }

private:
    bool StartSim() {
        if (!sim_.StartPiped(p_.sim, {"--data", p_.data, "--monitor", p_.monitorFile, "--link",
                                      link_, "--seed", std::to_string(dice_.Seed())})) {
            return false;
        }
        std::string path;
        return sim_.ReadLine(path, 10'000);
    }

    bool StartDesktop() {
        const std::string base = p_.monitorFile.substr(0, p_.monitorFile.size() - 4);
        if (!app_.StartPiped(p_.desktop, {log_, base, link_}, errors_)) {
            return false;
        }
        std::string line;
        if (!app_.ReadLine(line, 60'000) || !line.starts_with("log zero ")) {
            return false;
        }
        zeroMs_ = std::atoll(line.c_str() + 9);
        return true;
    }

    // One fault, held for a while; its end is noted on the log's clock.
    void Fault() {
        const int heldMs = dice_.Between(500, 8000);
        switch (dice_.Between(0, 2)) {
            case 0:
                sim_.Signal(SIGUSR1);
                Pause(heldMs);
                sim_.Signal(SIGUSR2);
                ++figures_.silences;
                break;
            case 1:
                sim_.Signal(SIGSTOP);
                Pause(heldMs);
                sim_.Signal(SIGCONT);
                ++figures_.stalls;
                break;
            default:
                sim_.Kill();
                Pause(heldMs);
                StartSim();
                ++figures_.unplugs;
                break;
        }
        faultEndsMs_.push_back(MonotonicMs() - zeroMs_);
    }

    void Judge() {
        figures_.log = CheckLog(ReadWholeFile(log_));
        figures_.recoveriesMs =
            RecoveryTimes(figures_.log.timesMs, faultEndsMs_, figures_.unrecovered);
        std::istringstream errors(ReadWholeFile(errors_));
        for (std::string line; std::getline(errors, line);) {
            figures_.messages += line.starts_with("message:") ? 1 : 0;
        }
    }

    const Programs& p_;
    Dice dice_;
    std::string link_, log_, errors_;
    Child sim_, app_;
    int64_t zeroMs_ = 0;
    std::vector<int64_t> faultEndsMs_;
    DesktopFigures figures_;
};

}  // namespace

DesktopFigures RunDesktopSoak(const Programs& programs, uint64_t seed, int64_t untilMs) {
    return DesktopSoak(programs, seed).Run(untilMs);
}

}  // namespace korvel::soak
