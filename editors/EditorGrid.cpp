#include "editors/EditorGrid.h"

#include <cmath>

#include "calib/Text.h"

namespace korvel {

namespace {
constexpr size_t MaxEntryChars = 9;
constexpr double EntryLimit = 1e6;
}  // namespace

int EntrySize(EntryKind kind) {
    return kind == EntryKind::Single ? 2 : 3;
}

int ValueOffset(EntryKind kind) {
    return kind == EntryKind::Lp ? 2 : 1;
}

std::string FormatUnits(const char* format, uint32_t raw, UnitScale scale) {
    return FormatNumber(format, RawToUnits(static_cast<float>(raw), scale));
}

float ParseEntry(std::string_view text) {
    const std::string head(text.substr(0, MaxEntryChars));
    double value = LeadingDouble(head);
    if (std::isnan(value)) {
        value = 0.0;
    }
    value = std::fmax(-EntryLimit, std::fmin(EntryLimit, value));
    return static_cast<float>(value);
}

}  // namespace korvel
