#include "sim/EngineModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "calib/UnitScale.h"

namespace korvel {

namespace {

constexpr double TwoPi = 2.0 * std::numbers::pi;

double Wave(double seconds, double period) {
    return std::sin(TwoPi * seconds / period);
}

// Engine speed follows the throttle a little late, as a real engine does.
double EngineRpm(double t) {
    return 800.0 + 2200.0 * ThrottleAt(std::max(0.0, t - 0.8));
}

double PulseWidthUs(double t) {
    return 1500.0 + 6500.0 * ThrottleAt(t) + 80.0 * Wave(t, 1.3);
}

double CoolantF(double t) {
    return 190.0 - 130.0 * std::exp(-t / 150.0);
}

double AirF(double t) {
    return 68.0 + 12.0 * (1.0 - std::exp(-t / 600.0)) + 0.5 * Wave(t, 9.0);
}

double BatteryVolts(double t) {
    return 14.0 + 0.15 * Wave(t, 7.0);
}

// Throttle opening change per second, scaled to a signed count.
int32_t DerivativeCount(double t) {
    const double perSecond =
        0.5 * std::sin(TwoPi * t / ThrottleCycleSeconds) * TwoPi / ThrottleCycleSeconds;
    return static_cast<int32_t>(std::lround(perSecond * 600.0));
}

// Bit 2 set: running on LP. The engine changes over for 15 s of every 45 s.
uint32_t FuelFlags(double t) {
    const bool lp = std::fmod(t, 45.0) >= 25.0 && std::fmod(t, 45.0) < 40.0;
    return 0x01u | (lp ? 0x04u : 0x00u);
}

uint32_t Raw(VariableKind kind, double t, bool twoBytes) {
    switch (kind) {
        case VariableKind::Map:
            return static_cast<uint32_t>(
                UnitsToRaw(static_cast<float>(4.5 + 9.5 * ThrottleAt(t)), MapScale));
        case VariableKind::EngineSpeed:
            return static_cast<uint32_t>(std::lround(EngineRpm(t) / 20.0));
        case VariableKind::Throttle:  // the sensor reads 20 closed, 230 wide open
            return static_cast<uint32_t>(std::lround(20.0 + 210.0 * ThrottleAt(t)));
        case VariableKind::PulseWidth: {
            const auto counts = static_cast<uint32_t>(std::lround(PulseWidthUs(t) / 4.0));
            return twoBytes ? counts : counts / 8;
        }
        case VariableKind::AirTemp:
            return static_cast<uint32_t>(UnitsToRaw(static_cast<float>(AirF(t)), TairScale));
        case VariableKind::CoolantTemp:
            return static_cast<uint32_t>(UnitsToRaw(static_cast<float>(CoolantF(t)), TcooScale));
        case VariableKind::Battery:
            return static_cast<uint32_t>(UnitsToRaw(static_cast<float>(BatteryVolts(t)), BatScale));
        case VariableKind::Derivative:  // two's complement of the width read
            return static_cast<uint32_t>(DerivativeCount(t)) & (twoBytes ? 0xFFFFu : 0xFFu);
        case VariableKind::Fuel:
            return FuelFlags(t);
        case VariableKind::Other:
            return static_cast<uint32_t>(t * 10.0) & (twoBytes ? 0xFFFFu : 0xFFu);
    }
    return 0;
}

}  // namespace

double ThrottleAt(double seconds) {
    return 0.5 - 0.5 * std::cos(TwoPi * seconds / ThrottleCycleSeconds);
}

uint32_t EngineRaw(VariableKind kind, double seconds, bool twoBytes) {
    const uint32_t raw = Raw(kind, seconds, twoBytes);
    return twoBytes ? std::min(raw, 0xFFFFu) : std::min(raw, 0xFFu);
}

}  // namespace korvel
