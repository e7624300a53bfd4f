#include "app/CommandLine.h"

#include "link/Transport.h"

namespace korvel {

const char* const DesktopUsage = R"(Usage: korvel [--expert] [MONITOR [PORT]]
The desktop program for the ECU of a dual-fuel engine: upload, edit and
download its calibration, and watch its live variables.

  MONITOR     the monitor file's base name, without ".cfg" (default Mon;
              without Mon.cfg here, the one in $XDG_DATA_HOME/korvel or the
              installed one)
  PORT        the serial port: 1 or nothing for COM1, 2 for COM2, COMn for
              /dev/ttyS(n-1), or a device path such as /dev/ttyUSB0; without
              it, the only USB serial adapter when there is exactly one
  --expert    start in expert mode
  --help      show this text
  --version   show the version

The program exits with code 1.
)";

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The white-space separated words of all the arguments together.
std::vector<std::string> Words(const std::vector<std::string>& arguments) {
    std::vector<std::string> words;
    for (const std::string& argument : arguments) {
        bool inWord = false;  // each argument starts a new word, as a joining space would
        for (char c : argument) {
            if (IsSpace(c)) {
                inWord = false;
            } else if (inWord) {
                words.back() += c;
            } else {
                words.emplace_back(1, c);
                inWord = true;
            }
        }
    }
    return words;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::vector<std::string> words;  // a word that starts with "--" is an option, never a name
    for (std::string& word : Words(arguments)) {
        if (!word.starts_with("--")) {
            words.push_back(std::move(word));
        } else if (word == "--expert") {
            line.expert = true;
        } else if (word == "--help") {
            line.help = true;
        } else if (word == "--version") {
            line.version = true;
        } else {
            line.error = "Unknown option " + word;
            return line;
        }
    }
    const std::string base = words.size() > 0 ? words[0] : std::string();
    const std::string port = words.size() > 1 ? words[1] : std::string();
    // Names of any length are taken whole (/dev/serial/by-id/... names are
    // long): a shortened name would open a different file or device.
    line.monitorBaseName = base.empty() ? "Mon" : base;
    line.portName = CanonicalPortName(port);
    line.portGiven = !port.empty();
    return line;
}

}  // namespace korvel
