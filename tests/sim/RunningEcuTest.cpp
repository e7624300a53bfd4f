// The virtual ECU running: its simulated engine, and the ECU as an in-process
// transport under the real link and acquisition scheduler, on a fake clock.

#include <gtest/gtest.h>

#include <set>

#include "acquisition/AcquisitionScheduler.h"
#include "link/Transfers.h"
#include "calib/UnitScale.h"
#include "sim/EngineModel.h"
#include "sim/VirtualEcu.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingReporter.h"

namespace korvel {
namespace {

// Two-byte values must carry across the low byte, or a torn read never shows.
TEST(EngineModel, BatteryHoldsFuelSwitchesBitTwoPulseWidthCarries) {
    std::set<uint32_t> fuel, pulseWidthHighBytes;
    for (double t = 0; t < 90; t += 0.05) {
        const float battery = static_cast<float>(EngineRaw(VariableKind::Battery, t, false));
        ASSERT_NEAR(RawToUnits(battery, BatScale), 14.0, 0.3) << t;
        fuel.insert(EngineRaw(VariableKind::Fuel, t, false));
        const uint32_t pulseWidth = EngineRaw(VariableKind::PulseWidth, t, true);
        ASSERT_LE(pulseWidth, 0xFFFFu);
        pulseWidthHighBytes.insert(pulseWidth >> 8);
    }
    ASSERT_EQ(fuel.size(), 2u);
    EXPECT_EQ(*fuel.begin() ^ *fuel.rbegin(), 0x04u);
    EXPECT_GE(pulseWidthHighBytes.size(), 4u);
}

// The engine stores a two-byte variable high byte first, as the scheduler
// reads it; the in-process ECU answers at once, so no time passes.
TEST(InProcessLink, SchedulerReadsTheEnginesOneAndTwoByteVariables) {
    VirtualEcu ecu;
    FakeClock clock;
    InProcessEcuTransport transport{ecu, clock};
    RecordingReporter reporter;
    EcuLink link{transport, clock, reporter};
    MonitorFile monitor;
    ASSERT_EQ(ParseMonitorFile("Bat,40,1\nPW,1Ch,2\n", monitor), 2);
    ecu.AnimateVariables(monitor);
    ecu.AdvanceEngine(clock.WallMs());  // the engine starts...
    clock.Advance(4000);                // ...and runs 4 s before the first request
    const int64_t start = clock.MonotonicMs();
    int cycles = 0;
    AcquisitionScheduler scheduler(link, monitor);
    scheduler.AddPassObserver([&](const Sample&) { ++cycles; });
    for (int i = 0; i < 100 && cycles == 0; ++i) {
        scheduler.OnIdle();
    }
    ASSERT_EQ(cycles, 1);
    EXPECT_EQ(clock.MonotonicMs(), start);
    EXPECT_EQ(monitor.liveValues[0], EngineRaw(VariableKind::Battery, 4.0, false));
    EXPECT_EQ(monitor.liveValues[1], EngineRaw(VariableKind::PulseWidth, 4.0, true));
    EXPECT_GT(monitor.liveValues[1], 0xFFu);
}

}  // namespace
}  // namespace korvel
