#pragma once
// The program's two optional command-line words: the monitor file's base
// name and the serial port.

#include <QStringList>
#include <string>

namespace korvel {

struct CommandLine {
    std::string monitorBaseName;  // "Mon" when absent
    std::string portName;         // canonical: "COM1" when absent, empty or "1"; "COM2" for "2"
    bool portGiven = false;       // the second word was there
};

// The arguments after the program name are joined with spaces and split on
// white space again; words after the second are ignored. Names of any
// length are taken whole (/dev/serial/by-id/... names are long); none is cut.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace korvel
