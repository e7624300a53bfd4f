// korvel-ecusim: the virtual ECU served on a pseudo-terminal, so the desktop
// program and korvel-cli can talk to it as to a serial port.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "app/InstalledFiles.h"
#include "calib/DataFile.h"
#include "monitor/MonitorFile.h"
#include "sim/EepromFile.h"
#include "sim/PacedEcu.h"
#include "sim/VirtualEcu.h"

namespace {

using namespace korvel;

constexpr const char* DefaultDataFile = "data/demo.dat";
constexpr const char* DefaultMonitorFile = "data/Mon.cfg";

constexpr const char* Usage = R"(Usage: korvel-ecusim [OPTIONS]
Serves a virtual ECU on a pseudo-terminal. The first line printed on stdout is
the terminal's path; open it as the serial port. Stops on SIGINT or SIGTERM.
SIGUSR1 makes the ECU fall silent, SIGUSR2 makes it answer again (also after
--silent-after); SIGKILL and a restart on the same --link (and --eeprom)
unplug the line and plug it back.

Options:
  --data FILE        calibration EEPROM (0x0E00..0x0FFF) from a data file
                     (default data/demo.dat, else the demo.dat in
                     $XDG_DATA_HOME/korvel or the installed one; erased
                     EEPROM when there is none)
  --eeprom FILE      keep the EEPROM in FILE (data file format), rewritten after
                     every programmed byte; a restart goes on from it (--data
                     is the first content when FILE does not exist yet)
  --monitor FILE     animate the variables of this monitor file by name
                     (default data/Mon.cfg, else the Mon.cfg found likewise)
  --link PATH        also make PATH a symbolic link that leads to the terminal
                     while the simulator runs (through /proc/PID/root) and
                     nowhere once it has gone
  --baud N           pace both directions like a line of N baud, 8N1
                     (default 9600; 0: unpaced)
  --latency MS       extra delay before every reply (default 0)
  --program-ms MS    EEPROM programming time before the commit's echo (default 10)

Faults (an exchange is one received byte and its reply):
  --silent-after N   answer nothing after N exchanges
  --wrong-echo       echo every parameter byte complemented
  --drop-every N     drop every Nth reply
  --stray            send a stray byte before every echo
  --unstored-writes  echo EEPROM programming but do not store the byte
  --reset-after N    a brown-out after N exchanges: the ECU forgets its slot
                     bindings and address pointer and answers nothing for
                     --reset-quiet MS (default 1000)
  --reset-at-ms MS   the same brown-out MS after the first exchange
  --late N           one reply in N leaves a random 0..1500 ms late
  --late-beyond N    one reply in N leaves 2500 ms late, after the 2 s step time-out
  --noise N          one echo in N follows a burst of 1..4 noise bytes (data
                     replies never get noise)
  --seed N           the seed of the one-in-N faults: with the same seed and the
                     same requests they hit the same exchanges (default: from
                     the clock, reported with --log)

  --log              report the seed, brown-outs, EEPROM writes and a byte
                     count on stderr
  --help             show this text
  --version          show the version
)";

struct Options {
    std::string dataFile = DefaultDataFile;
    bool dataGiven = false;
    std::string monitorFile = DefaultMonitorFile;
    bool monitorGiven = false;
    std::string eepromFile;
    std::string link;
    LineTiming timing{9600, 0, 10'000};
    VirtualEcuFaults faults;
    bool seedGiven = false;
    bool log = false;
};

volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t silenceRequested = 0;
volatile sig_atomic_t answerRequested = 0;

void OnSignal(int signal) {
    if (signal == SIGUSR1) {
        silenceRequested = 1;
    } else if (signal == SIGUSR2) {
        answerRequested = 1;
    } else {
        stopRequested = 1;
    }
}

bool ParseCount(const char* text, long& value) {
    const std::string_view s(text);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size() && value >= 0;
}

bool ApplyFlag(Options& o, std::string_view arg) {
    bool* flag = arg == "--wrong-echo"        ? &o.faults.wrongEcho
                 : arg == "--stray"           ? &o.faults.strayBeforeEcho
                 : arg == "--unstored-writes" ? &o.faults.unstoredWrites
                 : arg == "--log"             ? &o.log
                                              : nullptr;
    if (flag != nullptr) {
        *flag = true;
    }
    return flag != nullptr;
}

std::string* FileOption(Options& o, std::string_view arg) {
    return arg == "--data"      ? &o.dataFile
           : arg == "--monitor" ? &o.monitorFile
           : arg == "--eeprom"  ? &o.eepromFile
           : arg == "--link"    ? &o.link
                                : nullptr;
}

// The numeric options: where each goes, and by what it is multiplied.
bool ApplyNumber(Options& o, std::string_view arg, long n) {
    VirtualEcuFaults& f = o.faults;
    const struct {
        std::string_view name;
        int64_t* wide;
        long* count;
        int64_t scale;
    } numbers[] = {
        {"--latency", &o.timing.latencyUs, nullptr, 1000},
        {"--program-ms", &o.timing.programmingUs, nullptr, 1000},
        {"--silent-after", nullptr, &f.silentAfterBytes, 1},
        {"--drop-every", nullptr, &f.dropReplyEvery, 1},
        {"--reset-after", nullptr, &f.resetAfterBytes, 1},
        {"--reset-at-ms", &f.resetAtMs, nullptr, 1},
        {"--reset-quiet", &f.resetQuietMs, nullptr, 1},
        {"--late", nullptr, &f.lateEvery, 1},
        {"--late-beyond", nullptr, &f.lateBeyondEvery, 1},
        {"--noise", nullptr, &f.noiseEvery, 1},
    };
    for (const auto& number : numbers) {
        if (arg == number.name) {
            if (number.wide != nullptr) {
                *number.wide = n * number.scale;
            } else {
                *number.count = n;
            }
            return true;
        }
    }
    if (arg == "--baud" && n <= 4'000'000) {
        o.timing.baud = static_cast<int>(n);
    } else if (arg == "--seed") {
        f.seed = static_cast<uint64_t>(n);
        o.seedGiven = true;
    } else {
        return false;
    }
    return true;
}

bool ApplyValue(Options& o, std::string_view arg, const char* value) {
    if (std::string* file = FileOption(o, arg)) {
        *file = value;
        o.dataGiven = o.dataGiven || arg == "--data";
        o.monitorGiven = o.monitorGiven || arg == "--monitor";
        return true;
    }
    long n = 0;
    return ParseCount(value, n) && ApplyNumber(o, arg, n);
}

int64_t MonotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

int64_t WallMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// The EEPROM from --eeprom where that file exists, else from --data (and
// then kept in the --eeprom file from now on).
bool LoadEeprom(const Options& o, VirtualEcu& ecu) {
    CalibrationImage image;
    image.values.fill(0xFF);
    const EepromFileRead kept =
        o.eepromFile.empty() ? EepromFileRead::Missing : ReadEepromFile(o.eepromFile, image);
    if (kept == EepromFileRead::Unusable) {
        std::fprintf(stderr, "korvel-ecusim: %s is not a complete data file\n",
                     o.eepromFile.c_str());
        return false;
    }
    if (kept == EepromFileRead::Missing && !ReadDataFile(o.dataFile, image).opened) {
        std::fprintf(stderr, "korvel-ecusim: cannot read data file %s\n", o.dataFile.c_str());
        if (o.dataGiven) {
            return false;
        }
    }
    ecu.LoadCalibration(image);
    if (!o.eepromFile.empty() && kept == EepromFileRead::Missing &&
        !WriteEepromFile(o.eepromFile, image)) {
        std::fprintf(stderr, "korvel-ecusim: cannot write %s\n", o.eepromFile.c_str());
        return false;
    }
    return true;
}

bool LoadFiles(const Options& o, VirtualEcu& ecu) {
    if (!LoadEeprom(o, ecu)) {
        return false;
    }
    MonitorFile monitor;
    if (ReadMonitorFile(o.monitorFile, monitor)) {
        ecu.AnimateVariables(monitor);
    } else {
        std::fprintf(stderr, "korvel-ecusim: cannot read monitor file %s\n", o.monitorFile.c_str());
        if (o.monitorGiven) {
            return false;
        }
    }
    return true;
}

// The master side of a new pseudo-terminal in raw mode; its slave path in `path`.
int OpenTerminal(std::string& path) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        std::perror("korvel-ecusim: pseudo-terminal");
        return -1;
    }
    termios tio{};
    if (tcgetattr(master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
    }
    path = name;
    return master;
}

// The terminal as seen through this process: the path leads to it while the
// simulator runs and nowhere once it has gone, so a link left by a killed
// simulator can never lead a program into the terminal that the system
// hands out next under the same number (another program's, often).
std::string LinkTarget(const std::string& terminal) {
    return "/proc/" + std::to_string(getpid()) + "/root" + terminal;
}

// Replaces a link of an earlier simulator in one step (a rename), so a
// program opening the path meanwhile finds the old one or this one.
bool MakeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "korvel-ecusim: %s exists and is not a link\n", link.c_str());
        return false;
    }
    const std::string fresh = link + ".new-" + std::to_string(getpid());
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
        std::perror("korvel-ecusim: --link");
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

// Only our own link goes: a simulator started since on the same path keeps its.
void RemoveLink(const std::string& link, const std::string& target) {
    char text[PATH_MAX + 1] = {};
    const ssize_t n = readlink(link.c_str(), text, PATH_MAX);
    if (n > 0 && std::string_view(text, static_cast<size_t>(n)) == target) {
        unlink(link.c_str());
    }
}

// Blocks the signals outside the wait, so none is lost between a check and
// the wait; returns the mask to wait with.
sigset_t InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        sigaction(s, &sa, nullptr);
        sigaddset(&blocked, s);
    }
    signal(SIGPIPE, SIG_IGN);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    return waitMask;
}

class Server {
public:
    Server(int master, VirtualEcu& ecu, const Options& o, const sigset_t& waitMask)
        : master_(master),
          ecu_(ecu),
          paced_(ecu, o.timing),
          log_(o.log),
          eepromFile_(o.eepromFile),
          waitMask_(waitMask) {}

    void Run() {
        while (!stopRequested) {
            ApplySignals();
            pollfd pfd{master_, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0};
            timespec timeout{};
            const bool timed = Timeout(timeout);
            if (ppoll(&pfd, 1, timed ? &timeout : nullptr, &waitMask_) < 0) {
                continue;  // a signal: the loop looks at the flags
            }
            if ((pfd.revents & POLLIN) != 0) {
                ReadLine();
            } else if ((pfd.revents & (POLLHUP | POLLERR)) != 0) {
                HungUp();
            }
            paced_.TakeDue(MonotonicUs(), unsent_);
            WriteLine();
        }
    }

private:
    void ApplySignals() {
        if (silenceRequested) {
            silenceRequested = 0;
            ecu_.faults.silent = true;
        }
        if (answerRequested) {
            answerRequested = 0;
            ecu_.faults.silent = false;
            ecu_.faults.silentAfterBytes = -1;  // --silent-after too
        }
    }

    // Waits until the next reply is due; forever when none is queued.
    bool Timeout(timespec& timeout) const {
        const int64_t due = paced_.NextDueUs();
        if (due < 0 || !unsent_.empty()) {
            return false;
        }
        const int64_t us = std::max<int64_t>(0, due - MonotonicUs());
        timeout.tv_sec = static_cast<time_t>(us / 1'000'000);
        timeout.tv_nsec = static_cast<long>((us % 1'000'000) * 1000);
        return true;
    }

    void ReadLine() {
        uint8_t buffer[256];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) {
            const size_t before = ecu_.Writes().size();
            const int resets = ecu_.Resets();
            paced_.Receive(buffer, static_cast<size_t>(n), MonotonicUs(), WallMs());
            if (log_ && ecu_.Resets() != resets) {
                std::fprintf(stderr, "brown-out after %ld bytes\n", ecu_.ReceivedCount() - 1);
            }
            if (ecu_.Writes().size() != before) {
                KeepEeprom();  // before the commit's echo leaves
                LogWrites(before);
            }
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            HungUp();
        }
    }

    void WriteLine() {
        if (unsent_.empty()) {
            return;
        }
        const ssize_t n = write(master_, unsent_.data(), unsent_.size());
        if (n > 0) {
            unsent_.erase(unsent_.begin(), unsent_.begin() + n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            unsent_.clear();
        }
    }

    // No one has the terminal open: forget replies for the one who left and
    // look again a little later (the master reports a hang-up until then).
    void HungUp() {
        paced_.DropQueued();
        unsent_.clear();
        const timespec pause{0, 50'000'000};
        ppoll(nullptr, 0, &pause, &waitMask_);
    }

    void KeepEeprom() {
        if (!eepromFile_.empty() && !WriteEepromFile(eepromFile_, ecu_.Calibration())) {
            std::fprintf(stderr, "korvel-ecusim: cannot write %s\n", eepromFile_.c_str());
        }
    }

    void LogWrites(size_t before) {
        if (!log_) {
            return;
        }
        for (size_t i = before; i < ecu_.Writes().size(); ++i) {
            const EepromWrite& w = ecu_.Writes()[i];
            std::fprintf(stderr, "EEPROM write %04X = %u\n", w.address, w.value);
        }
    }

    int master_;
    VirtualEcu& ecu_;
    PacedEcu paced_;
    bool log_;
    std::string eepromFile_;
    sigset_t waitMask_;
    std::vector<uint8_t> unsent_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::string_view(argv[i]) == "--version") {
            std::puts("korvel-ecusim " KORVEL_VERSION);
            return 0;
        }
        if (ApplyFlag(options, argv[i])) {
            continue;
        }
        if (i + 1 >= argc || !ApplyValue(options, argv[i], argv[i + 1])) {
            std::fprintf(stderr, "korvel-ecusim: bad option %s\n\n%s", argv[i], Usage);
            return 2;
        }
        ++i;
    }
    // Without the demo files in the current folder, the user's or the installed ones.
    const DataFolders folders = DataFoldersFromEnvironment();
    if (!options.dataGiven) {
        options.dataFile = LocalOrInstalled(DefaultDataFile, "demo.dat", folders);
    }
    if (!options.monitorGiven) {
        options.monitorFile = LocalOrInstalled(DefaultMonitorFile, "Mon.cfg", folders);
    }
    if (!options.seedGiven) {
        options.faults.seed =
            static_cast<uint64_t>(WallMs()) ^ (static_cast<uint64_t>(getpid()) << 40);
    }
    if (options.log) {
        std::fprintf(stderr, "seed %llu\n", static_cast<unsigned long long>(options.faults.seed));
    }
    VirtualEcu ecu;
    ecu.faults = options.faults;
    ecu.recordBytes = false;
    if (!LoadFiles(options, ecu)) {
        return 1;
    }
    // Replies are timed to the microsecond; the default 50 us timer slack
    // would stretch every exchange.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const sigset_t waitMask = InstallSignals();
    std::string path;
    const int master = OpenTerminal(path);
    const std::string linkTarget = LinkTarget(path);
    if (master < 0 || (!options.link.empty() && !MakeLink(options.link, linkTarget))) {
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    Server(master, ecu, options, waitMask).Run();

    if (!options.link.empty()) {
        RemoveLink(options.link, linkTarget);
    }
    close(master);
    if (options.log) {
        std::fprintf(stderr, "received %ld bytes, sent %ld bytes, programmed %zu EEPROM bytes\n",
                     ecu.ReceivedCount(), ecu.SentCount(), ecu.Writes().size());
    }
    return 0;
}
