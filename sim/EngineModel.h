#pragma once
// The running engine behind the virtual ECU's monitored variables: a throttle
// cycle that drives manifold pressure, engine speed and injector pulse width,
// a coolant warm-up, a charging battery and a fuel switch that changes over
// now and then. Every value is a pure function of the time since start, so a
// run can be replayed.

#include <cstdint>
#include <string_view>

namespace korvel {

// What the engine model drives at a monitored variable's address, chosen by
// the variable's name the way the monitor panel chooses its conversion.
enum class EngineSignal {
    Map,
    EngineSpeed,
    Throttle,
    PulseWidth,
    AirTemp,
    CoolantTemp,
    Battery,
    Derivative,  // "Der": the governor's signed speed error while the throttle moves
    Fuel,
    Counter  // any other name: a free-running count
};

EngineSignal SignalForName(std::string_view name);

constexpr double ThrottleCycleSeconds = 20.0;

// Throttle opening 0..1 at `seconds` since start.
double ThrottleAt(double seconds);

// The raw ECU value of `signal` at `seconds` since start; two-byte variables
// get the full 16-bit value, one-byte variables 0..255.
uint32_t EngineRaw(EngineSignal signal, double seconds, bool twoBytes);

}  // namespace korvel
