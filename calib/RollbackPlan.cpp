#include "calib/RollbackPlan.h"

#include <algorithm>
#include <cstdio>

#include "calib/CalibrationImage.h"

namespace korvel {

std::string ShellWord(const std::string& word) {
    const bool safe = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_./:=@%+,-").find(c) != std::string_view::npos;
    });
    if (safe) {
        return word;
    }
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::vector<std::string> RollbackCommands(const std::map<int, uint32_t>& oldValues,
                                          const std::string& beforePoint, const std::string& port) {
    std::vector<std::string> lines;
    if (oldValues.empty()) {
        return lines;
    }
    const std::string cli = port.empty() ? "korvel-cli" : "korvel-cli --port " + ShellWord(port);
    if (!beforePoint.empty()) {
        lines.push_back(cli + " download --changes " + ShellWord(beforePoint));
        return lines;
    }
    for (const auto& [index, value] : oldValues) {
        char address[16];
        std::snprintf(address, sizeof address, "%X",
                      ImageBaseAddress + static_cast<uint32_t>(index));
        lines.push_back(cli + " poke " + address + " " + std::to_string(value & 0xFF));
    }
    return lines;
}

}  // namespace korvel
