#include <gtest/gtest.h>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(AcquisitionDriver, SleepsUntilTheReplyIsDueThenDeclaresTheEcuOffLine) {
    AppHarness h;
    h.ecu.faults.silent = true;
    ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
    AcquisitionDriver& driver = h.State().driver;
    driver.Step();
    EXPECT_EQ(h.ecu.Received(), Bytes{0x02});
    EXPECT_GT(driver.WakeDelayMs(), OffLineTimeoutMs - 100);  // asleep, not spinning

    h.clock.Advance(OffLineTimeoutMs + 1);
    driver.Step();
    EXPECT_EQ(h.Window().PaneText(EcuStatePane), "ECU Off Line");
    EXPECT_EQ(h.ecu.Received(), (Bytes{0x02, 0x02}));  // the probe starts again
}

TEST(AcquisitionDriver, PausedDriverLeavesTheLineAlone) {
    AppHarness h;
    ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
    AcquisitionDriver& driver = h.State().driver;
    {
        AcquisitionDriver::Pauser pause(driver);
        driver.Step();
        EXPECT_EQ(driver.WakeDelayMs(), -1);
        EXPECT_TRUE(h.ecu.Received().empty());
    }
    EXPECT_EQ(driver.WakeDelayMs(), 0);
    ASSERT_TRUE(h.RunUntilMonitoring());
}

}  // namespace
}  // namespace korvel
