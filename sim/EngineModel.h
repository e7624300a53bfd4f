#pragma once
// The running engine behind the virtual ECU's monitored variables: a throttle
// cycle that drives manifold pressure, engine speed and injector pulse width,
// a coolant warm-up, a charging battery and a fuel switch that changes over
// now and then. Every value is a pure function of the time since start, so a
// run can be replayed.

#include <cstdint>

#include "monitor/ValueText.h"

namespace korvel {

constexpr double ThrottleCycleSeconds = 20.0;

// Throttle opening 0..1 at `seconds` since start.
double ThrottleAt(double seconds);

// The raw ECU value of a variable of `kind` at `seconds` since start (Other:
// a free-running count); two-byte variables get the full 16-bit value,
// one-byte variables 0..255.
uint32_t EngineRaw(VariableKind kind, double seconds, bool twoBytes);

}  // namespace korvel
