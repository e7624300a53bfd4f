#include "cli/CliArguments.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace korvel {

const char* const CliUsage = R"(Usage: korvel-cli [--port NAME] COMMAND ...
Talks to the ECU over a serial port, like the desktop program.

Commands:
  upload FILE.dat          read the calibration (0x0E00..0x0FFF) into a data file
  download FILE.dat        program the bytes of a data file that differ in the ECU
  download --changes FILE.dat
                           read the ECU's block at once and program only the
                           bytes that differ (about 4 times faster)
  diff A.dat B.dat         list the bytes that differ between two data files
  diff FILE.dat            list the bytes that differ between a data file and
                           the ECU (nothing is written); one line per byte:
                           address, first value, second value, name
  peek ADDR                print the byte at a hexadecimal address 0..FFFF
  poke ADDR VALUE          write a decimal VALUE 0..255 into the EEPROM
                           (addresses E00..FFF only), read back
  monitor FILE.cfg [--cycles N] [--raw] [--log FILE]
                           read the monitor file's variables over and over and
                           print one CSV line per cycle (engineering units, or
                           raw values with --raw); stops after N cycles or on
                           Ctrl-C and prints the achieved rate on stderr;
                           --log also writes the desktop program's data log
  restore-points           list the restore points, newest first, one line
                           each: time, reason, port, data file, the point

Options:
  --port NAME   serial port: 1 or 2 for COM1/COM2 (/dev/ttyS0, /dev/ttyS1),
                COMn, or a device path such as /dev/ttyUSB0 (default COM1)
  --no-restore-point
                go on when no restore point can be saved (upload, download,
                diff, poke); without it such a command refuses
  --help        show this text
  --version     show the version

Restore points: every read of the whole block and every write keeps the
ECU's 512 bytes as a data file in $KORVEL_RESTORE_DIR, else
$XDG_DATA_HOME/korvel/restore-points, else ~/.local/share/korvel/restore-points.

Exit status: 0 success, 1 failure (the ECU's or the file's messages are on
stderr), 2 usage error. diff, as cmp and diff do: 0 nothing differs, 1
something differs, 2 trouble. Ctrl-C, SIGTERM, SIGHUP (a closed terminal) and
a closed stdout or stderr pipe stop a transfer between two bytes, never inside
a programming sequence, with status 1; they end monitor with a whole last
line, with status 0 for Ctrl-C and SIGTERM and 1 for the others.
)";

namespace {

struct CommandShape {
    std::string_view name;
    CliCommandKind kind;
    size_t words;
    size_t maxWords;
};

constexpr CommandShape Shapes[] = {
    {"upload", CliCommandKind::Upload, 1, 1},
    {"download", CliCommandKind::Download, 1, 1},
    {"diff", CliCommandKind::Diff, 1, 2},
    {"peek", CliCommandKind::Peek, 1, 1},
    {"poke", CliCommandKind::Poke, 2, 2},
    {"monitor", CliCommandKind::Monitor, 1, 1},
    {"restore-points", CliCommandKind::RestorePoints, 0, 0},
};

// The commands that read or write the ECU's block, and so save restore points.
bool SavesRestorePoints(CliCommandKind kind) {
    return kind == CliCommandKind::Upload || kind == CliCommandKind::Download ||
           kind == CliCommandKind::Diff || kind == CliCommandKind::Poke;
}

bool ParseCycles(std::string_view text, long& cycles) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), cycles);
    return ec == std::errc() && end == text.data() + text.size() && cycles > 0;
}

// Moves the options out of the arguments; the rest are the positional words.
bool TakeOptions(int argc, char** argv, CliArguments& args, std::vector<std::string>& words,
                 std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "--version") {
            words.assign(1, std::string(arg));
            return true;
        }
        if (arg == "--port" && hasValue) {
            args.port = argv[++i];
        } else if (arg == "--cycles" && hasValue && ParseCycles(argv[i + 1], args.cycles)) {
            ++i;
        } else if (arg == "--log" && hasValue) {
            args.logPath = argv[++i];
        } else if (arg == "--raw") {
            args.raw = true;
        } else if (arg == "--changes") {
            args.changes = true;
        } else if (arg == "--no-restore-point") {
            args.noRestorePoint = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "bad option " + std::string(arg);
            return false;
        } else {
            words.emplace_back(arg);
        }
    }
    return true;
}

}  // namespace

std::optional<CliArguments> ParseCliArguments(int argc, char** argv, std::string& error) {
    CliArguments args;
    std::vector<std::string> words;
    if (!TakeOptions(argc, argv, args, words, error)) {
        return std::nullopt;
    }
    if (words.empty()) {
        error = "no command";
        return std::nullopt;
    }
    if (words.front() == "--help" || words.front() == "--version") {
        args.command = words.front() == "--help" ? CliCommandKind::Help : CliCommandKind::Version;
        return args;
    }
    for (const CommandShape& shape : Shapes) {
        if (words.front() != shape.name) {
            continue;
        }
        if (words.size() < shape.words + 1 || words.size() > shape.maxWords + 1) {
            error = "wrong number of arguments for " + words.front();
            return std::nullopt;
        }
        if (shape.kind != CliCommandKind::Monitor &&
            (args.raw || args.cycles != 0 || !args.logPath.empty())) {
            error = "--cycles, --raw and --log belong to monitor";
            return std::nullopt;
        }
        if (shape.kind != CliCommandKind::Download && args.changes) {
            error = "--changes belongs to download";
            return std::nullopt;
        }
        if (!SavesRestorePoints(shape.kind) && args.noRestorePoint) {
            error = "--no-restore-point belongs to upload, download, diff and poke";
            return std::nullopt;
        }
        args.command = shape.kind;
        args.words.assign(words.begin() + 1, words.end());
        return args;
    }
    error = "unknown command " + words.front();
    return std::nullopt;
}

std::optional<uint32_t> ParseEcuAddress(const std::string& text) {
    std::string_view digits(text);
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint8_t> ParseDecimalByte(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;  // capped just past 255, so any length is fine
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 256u);
    }
    return value <= 255 ? std::optional(static_cast<uint8_t>(value)) : std::nullopt;
}

}  // namespace korvel
