// The monitor file parser on any bytes: at most 16 variables, the count it
// returns is the list's, and every name shows as panel and log text without
// a control character.
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "monitor/MonitorFile.h"
#include "monitor/ValueText.h"

using namespace korvel;

namespace {

bool HasControl(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MonitorFile file;
    const int count =
        ParseMonitorFile(std::string_view(reinterpret_cast<const char*>(data), size), file);
    FUZZ_CHECK(count >= 0 && count <= MaxMonitorVariables);
    FUZZ_CHECK(file.variableCount == count);
    for (int i = 0; i < file.variableCount; ++i) {
        FUZZ_CHECK(!HasControl(PrintableName(file.name(i))));
        FUZZ_CHECK(PrintableName(file.name(i)).size() == VariableNameLength);
        FUZZ_CHECK(!HasControl(ShownName(file.name(i))));
        for (uint32_t raw : {0u, 127u, 255u, 65535u, 0xFFFFFFFFu}) {
            FUZZ_CHECK(!MonitorValueText(file.name(i), raw).empty());
            FUZZ_CHECK(!MonitorValueCsv(file.name(i), raw).empty());
            FUZZ_CHECK(!HasControl(MonitorValueText(file.name(i), raw)));
            FUZZ_CHECK(!HasControl(MonitorValueDescription(file.name(i), raw)));
        }
    }
    return 0;
}
