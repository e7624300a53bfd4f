// The virtual ECU as an in-process transport under the real link: the
// transfers and the acquisition scheduler against it, on a fake clock.

#include <gtest/gtest.h>

#include "app/AcquisitionScheduler.h"
#include "link/Protocol.h"
#include "link/Transfers.h"
#include "sim/VirtualEcu.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingReporter.h"

namespace korvel {
namespace {

CalibrationImage Pattern() {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i) {
        image[i] = static_cast<uint32_t>((i * 37 + 5) & 0xFF);
    }
    return image;
}

class InProcessLink : public testing::Test {
protected:
    InProcessLink() { ecu.LoadCalibration(Pattern()); }

    VirtualEcu ecu;
    FakeClock clock;
    InProcessEcuTransport transport{ecu, clock};
    RecordingReporter reporter;
    EcuLink link{transport, clock, reporter};
};

TEST_F(InProcessLink, WaitPassesFakeTimeOnlyWhenNothingIsPending) {
    const int64_t start = clock.MonotonicMs();
    EXPECT_FALSE(transport.WaitReadable(700));
    EXPECT_EQ(clock.MonotonicMs(), start + 700);
    transport.SendByte(SEND);
    EXPECT_TRUE(transport.WaitReadable(700));
    EXPECT_EQ(clock.MonotonicMs(), start + 700);
}

TEST_F(InProcessLink, UploadReadsTheEcusCalibration) {
    CalibrationImage image;
    ASSERT_FALSE(UploadRange(link, image.values.data(), CalibrationFirstAddress,
                             CalibrationLastAddress, {}));
    EXPECT_EQ(image.values, Pattern().values);
    EXPECT_EQ(ecu.Received().size(), 4u + ImageSize);
}

TEST_F(InProcessLink, DownloadWritesOnlyTheChangedByte) {
    CalibrationImage image = Pattern();
    ASSERT_FALSE(DownloadRange(link, image.values.data(), CalibrationFirstAddress,
                               CalibrationLastAddress, {}));
    EXPECT_TRUE(ecu.Writes().empty());
    EXPECT_EQ(ecu.Received().size(), 5u * ImageSize);  // address and read, nothing else

    image[100] = 0xA5;
    ASSERT_FALSE(DownloadRange(link, image.values.data(), CalibrationFirstAddress,
                               CalibrationLastAddress, {}));
    EXPECT_EQ(ecu.Writes(), (std::vector<EepromWrite>{{0x0E00 + 100, 0xA5}}));
    EXPECT_EQ(ecu.Calibration().values, image.values);
}

TEST_F(InProcessLink, SilentEcuTimesOutOnTheFakeClock) {
    ecu.faults.silent = true;
    const int64_t start = clock.MonotonicMs();
    EXPECT_TRUE(SendAddress(link, 0x0E00));
    EXPECT_GE(clock.MonotonicMs() - start, ExchangeTimeoutMs);
}

TEST_F(InProcessLink, SchedulerReadsOneAndTwoByteVariables) {
    MonitorFile monitor;
    ASSERT_EQ(ParseMonitorFile("MAP,26,1\nPW,1Ch,2\n", monitor), 2);
    ecu.memory[26] = 0x56;
    ecu.memory[0x1C] = 0x12;
    ecu.memory[0x1D] = 0x34;
    int cycles = 0;
    AcquisitionScheduler scheduler(link, monitor, [&] { ++cycles; });
    for (int i = 0; i < 100 && cycles == 0; ++i) {
        scheduler.OnIdle();
    }
    ASSERT_EQ(cycles, 1);
    EXPECT_EQ(monitor.liveValues[0], 0x56u);
    EXPECT_EQ(monitor.liveValues[1], 0x1234u);
    const std::vector<uint8_t> expected = {0x02, 0x2B, 0x04, 26,   0x90, 0x04,
                                           0x1C, 0x91, 0x80, 0x81, 0xC1};
    EXPECT_EQ(ecu.Received(), expected);
}

}  // namespace
}  // namespace korvel
