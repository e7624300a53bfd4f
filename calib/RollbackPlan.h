#pragma once
// The korvel-cli commands that put back what a failed or cancelled write
// changed, for a technician to run once the ECU answers again.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvel {

// `oldValues`: image index -> the value the ECU held there before the write,
// for every byte the write changed. With a before point (its path), one line
// "korvel-cli download --changes POINT"; without one, one line
// "korvel-cli poke ADDR VALUE" per changed byte in address order (ADDR in
// hexadecimal as "E57", VALUE in decimal). `port`, when given, is named with
// --port. Nothing when no byte changed. Words that a shell would split or
// expand are quoted.
std::vector<std::string> RollbackCommands(const std::map<int, uint32_t>& oldValues,
                                          const std::string& beforePoint, const std::string& port);

// `word` as one shell word: unchanged when it is safe, else in single quotes.
std::string ShellWord(const std::string& word);

}  // namespace korvel
