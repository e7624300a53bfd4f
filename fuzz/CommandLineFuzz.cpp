// Both command-line parsers on any words (the input split at NUL bytes): the
// desktop program's two words and korvel-cli's commands and options.
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "cli/CliArguments.h"
#include "fuzz/FuzzCheck.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    const CommandLine line = ParseCommandLine(words);
    FUZZ_CHECK(!line.error.empty() || (!line.monitorBaseName.empty() && !line.portName.empty()));

    std::vector<char*> argv{const_cast<char*>("korvel-cli")};
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::string error;
    const auto args = ParseCliArguments(static_cast<int>(argv.size() - 1), argv.data(), error);
    FUZZ_CHECK(args.has_value() == error.empty());
    for (const std::string& word : words) {
        if (const auto address = ParseEcuAddress(word)) {
            FUZZ_CHECK(*address <= 0xFFFF);
        }
        ParseDecimalByte(word);
    }
    return 0;
}
