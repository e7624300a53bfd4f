#include "monitor/ValueText.h"

#include "calib/Text.h"
#include "calib/UnitScale.h"

namespace korvel {

namespace {

enum class Shown { Units, Int, Fuel };

// How a variable's value is shown, chosen by its kind.
struct Conversion {
    Shown kind = Shown::Int;
    UnitScale scale{};
    int32_t number = 0;  // for Shown::Int
    bool leadingBlank = false;
};

Conversion Convert(std::string_view name, uint32_t raw) {
    switch (KindOfVariable(name)) {
        case VariableKind::Map:
            return {Shown::Units, MapScale, 0, true};
        case VariableKind::PulseWidth:
            return {Shown::Int, {}, static_cast<int32_t>(raw * 4u), true};
        case VariableKind::AirTemp:
            return {Shown::Units, TairScale, 0, true};
        case VariableKind::CoolantTemp:
            return {Shown::Units, TcooScale, 0, true};
        case VariableKind::Battery:
            return {Shown::Units, BatScale, 0, true};
        case VariableKind::Derivative:
            if (raw > 128) {
                // A signed byte; computed unsigned, so no raw value can overflow.
                return {Shown::Int, {}, static_cast<int32_t>(raw - 256u), true};
            }
            break;
        case VariableKind::Fuel:
            return {Shown::Fuel, {}, 0, false};
        case VariableKind::EngineSpeed:  // the panel shows these as they come
        case VariableKind::Throttle:
        case VariableKind::Other:
            break;
    }
    return {Shown::Int, {}, static_cast<int32_t>(raw), false};
}

}  // namespace

bool FuelReadsLp(uint32_t raw) {
    return (raw & 4u) != 0;
}

VariableKind KindOfVariable(std::string_view name) {
    while (!name.empty() && static_cast<unsigned char>(name.front()) <= ' ') {
        name.remove_prefix(1);
    }
    struct Prefix {
        std::string_view text;
        VariableKind kind;
    };
    static constexpr Prefix prefixes[] = {
        {"MAP", VariableKind::Map},         {"PW", VariableKind::PulseWidth},
        {"Tair", VariableKind::AirTemp},    {"Tcoo", VariableKind::CoolantTemp},
        {"Bat", VariableKind::Battery},     {"Der", VariableKind::Derivative},
        {"Fuel", VariableKind::Fuel},       {"RPM", VariableKind::EngineSpeed},
        {"Rpm", VariableKind::EngineSpeed}, {"rpm", VariableKind::EngineSpeed},
        {"TPS", VariableKind::Throttle},    {"Thr", VariableKind::Throttle},
    };
    for (const Prefix& p : prefixes) {
        if (name.starts_with(p.text)) {
            return p.kind;
        }
    }
    return VariableKind::Other;
}

std::string MonitorValueText(std::string_view name, uint32_t raw) {
    const Conversion c = Convert(name, raw);
    switch (c.kind) {
        case Shown::Units:
            return FormatNumber(" %4.1f ", RawToUnits(static_cast<float>(raw), c.scale));
        case Shown::Fuel:
            return FuelReadsLp(raw) ? "  LP " : " GSLN";
        case Shown::Int:
            break;
    }
    // "%4.1d": an int at least 4 wide with at least one digit.
    return FormatNumber(c.leadingBlank ? " %4.1d " : "%4.1d ", c.number);
}

std::string MonitorValueCsv(std::string_view name, uint32_t raw) {
    const Conversion c = Convert(name, raw);
    switch (c.kind) {
        case Shown::Units:
            return FormatNumber("%.1f", RawToUnits(static_cast<float>(raw), c.scale));
        case Shown::Fuel:
            return FuelReadsLp(raw) ? "LP" : "GSLN";
        case Shown::Int:
            break;
    }
    return FormatNumber("%d", c.number);
}

LoggedValue MonitorValueLogged(std::string_view name, uint32_t raw) {
    const Conversion c = Convert(name, raw);
    switch (c.kind) {
        case Shown::Units:
            return {RawToUnits(static_cast<float>(raw), c.scale), 1};
        case Shown::Fuel:
            return {FuelReadsLp(raw) ? 1.0 : 0.0, 0};
        case Shown::Int:
            break;
    }
    return {static_cast<double>(c.number), 0};
}

std::string_view MonitorValueUnit(std::string_view name) {
    switch (KindOfVariable(name)) {
        case VariableKind::Map:
            return "inHg";  // the scale runs 3.05..30.85; sea-level air is 29.92 inHg
        case VariableKind::PulseWidth:
            return "us";
        case VariableKind::AirTemp:
        case VariableKind::CoolantTemp:
            return "F";
        case VariableKind::Battery:
            return "V";
        case VariableKind::Fuel:
            return "LP";
        case VariableKind::Derivative:
        case VariableKind::EngineSpeed:
        case VariableKind::Throttle:
        case VariableKind::Other:
            break;
    }
    return {};
}

std::string_view MonitorValueUnitShown(std::string_view name) {
    switch (KindOfVariable(name)) {
        case VariableKind::PulseWidth:
            return "\u00B5s";
        case VariableKind::AirTemp:
        case VariableKind::CoolantTemp:
            return "\u00B0F";
        case VariableKind::Fuel:
            return {};
        default:
            return MonitorValueUnit(name);
    }
}

std::string MonitorValueDescription(std::string_view name, uint32_t raw) {
    std::string text = MonitorValueCsv(name, raw);
    if (const std::string_view unit = MonitorValueUnitShown(name); !unit.empty()) {
        text.append(" ").append(unit);
    }
    return text + " (raw " + std::to_string(raw) + ")";
}

}  // namespace korvel
