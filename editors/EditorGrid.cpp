#include "editors/EditorGrid.h"

#include <algorithm>
#include <cmath>

#include "calib/Text.h"

namespace korvel {

namespace {
constexpr size_t MaxEntryChars = 9;
constexpr double EntryLimit = 1e6;
}  // namespace

std::string FormatUnits(const char* format, uint32_t raw, UnitScale scale) {
    return FormatNumber(format, RawToUnits(static_cast<float>(raw), scale));
}

std::string Trimmed(std::string text) {
    const char* const blanks = " \t\r\n";
    text.erase(0, text.find_first_not_of(blanks));
    text.erase(text.find_last_not_of(blanks) + 1);
    return text;
}

std::string TrimmedUnits(const char* format, uint32_t raw, UnitScale scale) {
    return Trimmed(FormatUnits(format, raw, scale));
}

std::optional<float> ParseEntry(std::string_view text) {
    const std::string head(text.substr(0, MaxEntryChars));
    const std::optional<double> value = LeadingDouble(head);
    if (!value || std::isnan(*value)) {
        return std::nullopt;
    }
    return static_cast<float>(std::fmax(-EntryLimit, std::fmin(EntryLimit, *value)));
}

namespace {

// How far `to` lies from `from` in `direction`; 0 when not that way.
int Distance(ClickPosition from, ClickPosition to, Direction direction) {
    switch (direction) {
        case Direction::Left:
            return to.line == from.line ? std::max(0, from.column - to.column) : 0;
        case Direction::Right:
            return to.line == from.line ? std::max(0, to.column - from.column) : 0;
        case Direction::Up:
            return to.column == from.column ? std::max(0, from.line - to.line) : 0;
        case Direction::Down:
            break;
    }
    return to.column == from.column ? std::max(0, to.line - from.line) : 0;
}

}  // namespace

std::optional<size_t> NextEditable(const std::vector<ClickPosition>& editable,
                                   std::optional<ClickPosition> from, Direction direction) {
    std::optional<size_t> best;
    for (size_t i = 0; i < editable.size(); ++i) {
        const ClickPosition p = editable[i];
        if (!from) {
            const ClickPosition b = best ? editable[*best] : p;
            if (!best || p.line > b.line || (p.line == b.line && p.column < b.column)) {
                best = i;
            }
            continue;
        }
        const int d = Distance(*from, p, direction);
        if (d > 0 && (!best || d < Distance(*from, editable[*best], direction))) {
            best = i;
        }
    }
    return best;
}

}  // namespace korvel
