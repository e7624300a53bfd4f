#include "monitor/ValueText.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "monitor/UnitScale.h"

namespace korvel {

namespace {

enum class Shown { Units, Int, Fuel };

// How a variable's value is shown: the first row of the panel's table whose
// name prefix matches (case-sensitive) decides.
struct Conversion {
    Shown kind = Shown::Int;
    UnitScale scale{};
    int32_t number = 0;  // for Shown::Int
    bool leadingBlank = false;
};

Conversion Convert(std::string_view name, uint32_t raw) {
    const auto value = static_cast<int32_t>(raw);
    if (name.starts_with("MAP")) {
        return {Shown::Units, MapScale, 0, true};
    }
    if (name.starts_with("PW")) {  // "PWON" included
        return {Shown::Int, {}, static_cast<int32_t>(raw * 4u), true};
    }
    if (name.starts_with("Tair")) {
        return {Shown::Units, TairScale, 0, true};
    }
    if (name.starts_with("Tcoo")) {
        return {Shown::Units, TcooScale, 0, true};
    }
    if (name.starts_with("Bat")) {
        return {Shown::Units, BatScale, 0, true};
    }
    if (name.starts_with("Der") && raw > 128) {
        // A signed byte; computed unsigned, so no raw value can overflow.
        return {Shown::Int, {}, static_cast<int32_t>(raw - 256u), true};
    }
    if (name.starts_with("Fuel")) {
        return {Shown::Fuel, {}, 0, false};
    }
    return {Shown::Int, {}, value, false};
}

bool OnLp(uint32_t raw) {
    return (raw & 4u) != 0;
}

// `value` is a double or an int32_t, matching the conversion in `format`.
template <typename Number>
std::string Format(const char* format, Number value) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, value);
    return {text, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1))};
}

}  // namespace

std::string MonitorValueText(std::string_view name, uint32_t raw) {
    const Conversion c = Convert(name, raw);
    switch (c.kind) {
        case Shown::Units:
            return Format(" %4.1f ", RawToUnits(static_cast<float>(raw), c.scale));
        case Shown::Fuel:
            return OnLp(raw) ? "  LP " : " GSLN";
        case Shown::Int:
            break;
    }
    // "%4.1d": an int at least 4 wide with at least one digit.
    return Format(c.leadingBlank ? " %4.1d " : "%4.1d ", c.number);
}

std::string MonitorValueCsv(std::string_view name, uint32_t raw) {
    const Conversion c = Convert(name, raw);
    switch (c.kind) {
        case Shown::Units:
            return Format("%.1f", RawToUnits(static_cast<float>(raw), c.scale));
        case Shown::Fuel:
            return OnLp(raw) ? "LP" : "GSLN";
        case Shown::Int:
            break;
    }
    return Format("%d", c.number);
}

LoggedValue MonitorValueLogged(std::string_view name, uint32_t raw) {
    const Conversion c = Convert(name, raw);
    switch (c.kind) {
        case Shown::Units:
            return {RawToUnits(static_cast<float>(raw), c.scale), 1};
        case Shown::Fuel:
            return {OnLp(raw) ? 1.0 : 0.0, 0};
        case Shown::Int:
            break;
    }
    return {static_cast<double>(c.number), 0};
}

std::string_view MonitorValueUnit(std::string_view name) {
    // The same name prefixes as the panel's conversions, in the same order.
    static constexpr std::pair<std::string_view, std::string_view> units[] = {
        {"MAP", "kPa"}, {"PW", "us"}, {"Tair", "F"}, {"Tcoo", "F"}, {"Bat", "V"}, {"Fuel", "LP"}};
    for (const auto& [prefix, unit] : units) {
        if (name.starts_with(prefix)) {
            return unit;
        }
    }
    return {};
}

}  // namespace korvel
