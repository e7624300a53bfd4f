#pragma once
// The command line of korvel-cli:
//   korvel-cli [--port NAME] upload FILE.dat | download [--changes] FILE.dat |
//              diff A.dat [B.dat] | peek ADDR | poke ADDR VALUE |
//              monitor FILE.cfg [--cycles N] [--raw] [--log FILE] | restore-points

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvel {

enum class CliCommandKind { Help, Version, Upload, Download, Diff, Peek, Poke, Monitor, RestorePoints };

struct CliArguments {
    CliCommandKind command = CliCommandKind::Help;
    std::string port;                // as typed; empty means COM1
    std::vector<std::string> words;  // the command's own arguments
    long cycles = 0;                 // monitor: stop after this many cycles (0: never)
    bool raw = false;                // monitor: raw values instead of units
    std::string logPath;             // monitor: also write the data log here
    bool changes = false;            // download: read the block, program only the changes
    bool noRestorePoint = false;     // go on when no restore point can be saved
};

extern const char* const CliUsage;

// The parsed command line, or nullopt with `error` set for a usage error.
std::optional<CliArguments> ParseCliArguments(int argc, char** argv, std::string& error);

// A hexadecimal ECU address ("E00", "0x0E00"); nullopt when the text is not
// hexadecimal or the number exceeds 0xFFFF.
std::optional<uint32_t> ParseEcuAddress(const std::string& text);

// A whole decimal number 0..255 (leading zeros allowed); nullopt for any
// other text, a larger number included: it is never cut to its low 8 bits.
std::optional<uint8_t> ParseDecimalByte(const std::string& text);

}  // namespace korvel
