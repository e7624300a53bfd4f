#pragma once
// How the monitor panel shows a live value: the text chosen by the variable's
// name prefix ("MAP", "PW"/"PWON", "Tair", "Tcoo", "Bat", "Der", "Fuel").

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// What a monitored variable holds, told by its name's prefix (case-sensitive).
// The panel converts the first seven kinds and shows the rest as plain
// integers; the virtual ECU animates every kind.
enum class VariableKind {
    Map,          // "MAP"
    PulseWidth,   // "PW", "PWON" included
    AirTemp,      // "Tair"
    CoolantTemp,  // "Tcoo"
    Battery,      // "Bat"
    Derivative,   // "Der": a signed byte
    Fuel,         // "Fuel": bit 2 set on LP
    EngineSpeed,  // "RPM", "Rpm", "rpm"
    Throttle,     // "TPS", "Thr"
    Other,
};

VariableKind KindOfVariable(std::string_view name);

// The exact panel text for a raw value (for example " 1000 " for "PW" 250).
std::string MonitorValueText(std::string_view name, uint32_t raw);

// The value in engineering units, as the panel converts it, for logging
// (the command-line monitor): "Fuel" gives "GSLN" or "LP", numbers carry no padding.
std::string MonitorValueCsv(std::string_view name, uint32_t raw);

// The value for a data log: the panel's number in its engineering unit, with
// the panel's decimals; "Fuel" is 0 on gasoline and 1 on LP.
struct LoggedValue {
    double value = 0.0;
    int decimals = 0;
};
LoggedValue MonitorValueLogged(std::string_view name, uint32_t raw);

// The unit of a logged value ("kPa", "us", "F", "V", "LP"); "" for plain counts.
std::string_view MonitorValueUnit(std::string_view name);

}  // namespace korvel
