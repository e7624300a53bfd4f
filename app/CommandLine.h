#pragma once
// The program's two optional command-line words: the monitor file's base
// name and the serial port. Free of Qt, so that any text can be tried on it.

#include <string>
#include <vector>

namespace korvel {

struct CommandLine {
    std::string monitorBaseName;  // "Mon" when absent
    std::string portName;         // canonical: "COM1" when absent, empty or "1"; "COM2" for "2"
    bool portGiven = false;       // the second word was there
    bool expert = false;          // --expert: start in expert mode
    bool help = false;            // --help: print the usage and end, the program not started
    bool version = false;         // --version: print the version and end likewise
    std::string error;            // non-empty: an unknown option; the program refuses to start
};

// What --help prints.
extern const char* const DesktopUsage;

// The arguments after the program name (UTF-8) are joined with spaces and
// split on white space again. A word that starts with "--" is an option; of
// the other words, those after the second are ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace korvel
