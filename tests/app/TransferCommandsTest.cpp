#include <gtest/gtest.h>

#include "app/TransferCommands.h"
#include "tests/app/SchedulerFixture.h"

namespace korvel {
namespace {

using TransferCommandsTest = SchedulerFixture;

TEST_F(TransferCommandsTest, OutcomesSetPanesAndFlags) {
    using Texts = std::vector<std::string>;
    using Outcome = TransferOutcome;
    constexpr uint32_t Both = EcuOnLine | DataLoaded;
    const struct {
        bool download;
        bool onLine;
        long answeredSends;  // the ECU falls silent after this many (-1: never)
        Outcome outcome;
        const char* pane0;
        const char* pane1;
        uint32_t flagsAfter;  // of EcuOnLine | DataLoaded, starting from DataLoaded
        Texts messages;
    } cases[] = {
        // clang-format off
        {false, false, -1, Outcome::NotRun, "", "", DataLoaded, {}},
        {true, false, -1, Outcome::NotRun, "", "", DataLoaded, {}},
        {false, true, -1, Outcome::Succeeded, "Data Loaded", "", Both, {}},
        {false, true, 0, Outcome::Failed, "Data NOT Loaded", "ECU Offline", DataLoaded,
         {"Send Address failed"}},
        {false, true, 100, Outcome::Failed, "Data NOT Loaded", "ECU Offline", DataLoaded,
         {"Timed out waiting for data", "Not all addresses loaded"}},
        {true, true, -1, Outcome::Succeeded, "Programming Complete", "", Both, {}},
        {true, true, 100, Outcome::Failed, "Programming FAILED", "", 0, {}},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SchedulerRig f;
        f.ecu.memory[0x0E00] = 0x5A;
        f.scheduler.statusFlags.bits = DataLoaded | (c.onLine ? uint32_t{EcuOnLine} : 0u);
        long sends = 0;
        f.twist = [&](uint8_t, Bytes r) {
            return c.answeredSends < 0 || sends++ < c.answeredSends ? r : Bytes{};
        };
        CalibrationImage image;
        const auto outcome =
            c.download ? OnDownload(f.scheduler, image) : OnUpload(f.scheduler, image);
        EXPECT_EQ(outcome, c.outcome) << i;
        EXPECT_EQ(f.reporter.Pane(MessagePane), c.pane0) << i;
        EXPECT_EQ(f.reporter.Pane(EcuStatePane), c.pane1) << i;
        EXPECT_EQ(f.scheduler.statusFlags.bits & (EcuOnLine | DataLoaded), c.flagsAfter) << i;
        EXPECT_EQ(f.reporter.Messages(), c.messages) << i;
        if (!c.onLine) {
            EXPECT_TRUE(f.port.sent.empty()) << i;
            EXPECT_TRUE(f.reporter.events.empty()) << i;
        }
        if (c.outcome == TransferOutcome::Succeeded) {
            EXPECT_EQ(f.ecu.memory[0x0E00], image[0]) << i;
        }
    }
}

TEST_F(TransferCommandsTest, UploadFirstFinishesTheAwaitedRead) {
    SetVariables({{0x10, 1}});
    ecu.memory[0x10] = 0x99;
    for (int i = 0; i < ImageSize; ++i)
        ecu.memory[0x0E00 + i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(DriveToReading());
    port.replyDelayMs = 100;
    scheduler.OnIdle();  // READ_SLOT 0 sent, its reply still on the way
    ASSERT_TRUE(Flag(ReplyPending));
    CalibrationImage image;
    int progress = 0;
    EXPECT_EQ(OnUpload(scheduler, image, [&](int, uint32_t) { ++progress; }),
              TransferOutcome::Succeeded);
    EXPECT_EQ(monitor.liveValues[0], 0x99u);
    for (int i = 0; i < ImageSize; ++i)
        ASSERT_EQ(image[i], static_cast<uint32_t>(i & 0xFF)) << i;
    EXPECT_EQ(progress, ImageSize);
}

}  // namespace
}  // namespace korvel
