#pragma once
// The monitored-variable list and the parser of the monitor definition file
// (".cfg": comment lines and NAME,ADDRESS,SIZE lines, at most 16 variables).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

constexpr int MaxMonitorVariables = 16;
constexpr int VariableNameLength = 5;

struct MonitorVariable {
    uint8_t address = 0;    // the ECU's one-byte variable address
    uint8_t byteCount = 0;  // 2: a 16-bit variable (high byte first); anything else: one byte
};

// The parallel per-variable arrays, indexed by variable index 0..15: the ECU
// monitor slot, the acquisition order, the panel column and the plot list
// entry are all this index.
struct MonitorFile {
    // Number of variables in the list. 0 is an explicit empty list, so no loop
    // ever runs over variables that do not exist. Starts at 1: before any file
    // is read the list is one zero-filled variable (address 0, one byte).
    int variableCount = 1;
    std::array<MonitorVariable, MaxMonitorVariables> variables{};
    std::array<uint32_t, MaxMonitorVariables> liveValues{};
    std::array<std::array<char, VariableNameLength>, MaxMonitorVariables> variableNames{};

    // The stored form: variable count minus 1 (255 for an empty list).
    uint8_t lastVariable() const { return static_cast<uint8_t>(variableCount - 1); }
    bool empty() const { return variableCount == 0; }
    std::string_view name(int index) const {
        return {variableNames[static_cast<size_t>(index)].data(), VariableNameLength};
    }
};

// A name as text to show: each control character (a line end the name
// field ran across, a zero byte of an unread list) becomes a space, so no
// control character reaches the panel, a log or a terminal. The five
// characters stay five.
std::string PrintableName(std::string_view name);
// PrintableName without its leading and trailing blanks: for headers and lists.
std::string ShownName(std::string_view name);

// Parses the bytes of a monitor definition file into `file`. Entries beyond
// the new count keep what they held. Returns the number of variables read.
int ParseMonitorFile(std::string_view bytes, MonitorFile& file);

// Reads and parses a file; false when it cannot be opened (nothing changes).
bool ReadMonitorFile(const std::string& path, MonitorFile& file);

}  // namespace korvel
