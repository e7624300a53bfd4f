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

// Leading blanks and control characters are not part of the prefix, so a
// name that a blank line ran into ("\r\nPW") is still a pulse width.
VariableKind KindOfVariable(std::string_view name);

// A "Fuel" variable's raw value: bit 2 (value 4) set means the engine runs on
// LP, clear on gasoline.
bool FuelReadsLp(uint32_t raw);

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

// The unit of a logged value in plain ASCII, for any CSV reader ("inHg",
// "us", "F", "V", "LP" for the fuel column's 1); "" for plain counts.
std::string_view MonitorValueUnit(std::string_view name);

// The unit as the screen shows it, in UTF-8 ("inHg", "µs", "°F", "V"); ""
// for plain counts and for Fuel, whose text says it.
std::string_view MonitorValueUnitShown(std::string_view name);

// What a value is, in full, for a tooltip after the name: "14.0 inHg (raw 100)".
std::string MonitorValueDescription(std::string_view name, uint32_t raw);

}  // namespace korvel
