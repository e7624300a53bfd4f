#include "app/CommandLine.h"

#include "link/Transport.h"

namespace korvel {

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
