// The simulated engine: plausible values that move the way the monitor
// panel and the strip chart expect.

#include "sim/EngineModel.h"

#include <gtest/gtest.h>

#include <set>

#include "monitor/UnitScale.h"
#include "sim/VirtualEcu.h"

namespace korvel {
namespace {

TEST(EngineModel, SignalsAreChosenByNamePrefix) {
    const std::pair<const char*, EngineSignal> cases[] = {
        {"MAP  ", EngineSignal::Map},      {"PWON ", EngineSignal::PulseWidth},
        {"Tair ", EngineSignal::AirTemp},  {"Tcoo ", EngineSignal::CoolantTemp},
        {"Bat  ", EngineSignal::Battery},  {"Der  ", EngineSignal::Derivative},
        {"Fuel ", EngineSignal::Fuel},     {"RPM  ", EngineSignal::EngineSpeed},
        {"TPS  ", EngineSignal::Throttle}, {"map  ", EngineSignal::Counter},
        {"     ", EngineSignal::Counter},
    };
    for (const auto& [name, signal] : cases) {
        EXPECT_EQ(SignalForName(name), signal) << name;
    }
}

TEST(EngineModel, BatteryChargesAtAboutFourteenVolts) {
    for (double t : {0.0, 1.7, 3.5, 60.0}) {
        const uint32_t raw = EngineRaw(EngineSignal::Battery, t, false);
        EXPECT_NEAR(raw, 181, 3) << t;
        EXPECT_NEAR(RawToUnits(static_cast<float>(raw), BatScale), 14.0, 0.3);
    }
}

TEST(EngineModel, CoolantWarmsUpSoItsRawValueFalls) {
    const uint32_t cold = EngineRaw(EngineSignal::CoolantTemp, 0.0, false);
    const uint32_t warm = EngineRaw(EngineSignal::CoolantTemp, 900.0, false);
    EXPECT_GT(cold, warm + 100);
    EXPECT_NEAR(RawToUnits(static_cast<float>(warm), TcooScale), 190.0, 5.0);
}

TEST(EngineModel, PressureAndSpeedFollowTheThrottleCycle) {
    const double half = ThrottleCycleSeconds / 2;
    for (EngineSignal s : {EngineSignal::Map, EngineSignal::EngineSpeed, EngineSignal::Throttle}) {
        const uint32_t closed = EngineRaw(s, 0.0, false);
        EXPECT_GT(EngineRaw(s, half + 1.0, false), closed + 50);                // rises...
        EXPECT_NEAR(EngineRaw(s, 2 * ThrottleCycleSeconds, false), closed, 3);  // ...and falls
    }
}

TEST(EngineModel, FuelSwitchesToLpNowAndThen) {
    std::set<uint32_t> seen;
    for (int t = 0; t < 90; ++t) {
        seen.insert(EngineRaw(EngineSignal::Fuel, t, false));
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(*seen.begin() ^ *seen.rbegin(), 0x04u);  // only bit 2 changes
}

TEST(EngineModel, TwoBytePulseWidthCrossesLowByteCarries) {
    std::set<uint32_t> highBytes;
    for (double t = 0; t < ThrottleCycleSeconds; t += 0.05) {
        const uint32_t raw = EngineRaw(EngineSignal::PulseWidth, t, true);
        ASSERT_LE(raw, 0xFFFFu);
        highBytes.insert(raw >> 8);
    }
    EXPECT_GE(highBytes.size(), 4u);
}

TEST(EngineModel, EcuStoresAnimatedVariablesBigEndian) {
    MonitorFile monitor;
    ASSERT_EQ(ParseMonitorFile("PW,1Ch,2\nBat,40,1\n", monitor), 2);
    VirtualEcu ecu;
    ecu.AnimateVariables(monitor);
    ecu.AdvanceEngine(1'000'000);  // start
    ecu.AdvanceEngine(1'004'000);  // 4 s later
    const uint32_t pw = EngineRaw(EngineSignal::PulseWidth, 4.0, true);
    EXPECT_EQ(ecu.memory[0x1C], pw >> 8);
    EXPECT_EQ(ecu.memory[0x1D], pw & 0xFF);
    EXPECT_EQ(ecu.memory[40], EngineRaw(EngineSignal::Battery, 4.0, false));
}

}  // namespace
}  // namespace korvel
