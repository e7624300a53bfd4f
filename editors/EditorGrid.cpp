#include "editors/EditorGrid.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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
    char text[64];
    const double units = RawToUnits(static_cast<float>(raw), scale);
    const int n = std::snprintf(text, sizeof text, format, units);
    return n < 0 ? std::string() : std::string(text);
}

float ParseEntry(std::string_view text) {
    const std::string head(text.substr(0, MaxEntryChars));
    double value = std::strtod(head.c_str(), nullptr);
    if (std::isnan(value)) {
        value = 0.0;
    }
    value = std::fmax(-EntryLimit, std::fmin(EntryLimit, value));
    return static_cast<float>(value);
}

}  // namespace korvel
