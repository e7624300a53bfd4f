#include <gtest/gtest.h>

#include "tests/app/SchedulerFixture.h"

namespace korvel {
namespace {

using SchedulerTest = SchedulerFixture;

const std::vector<std::pair<uint8_t, uint8_t>> kThree{{0x10, 1}, {0x20, 1}, {0x30, 1}};

TEST_F(SchedulerTest, StartUpProbesBindsEachSlotThenReadsCyclically) {
    SetVariables(kThree);
    // Bytes sent by each OnIdle call of an ECU that answers at once.
    // clang-format off
    const std::vector<Bytes> perCall{
        {0x02}, {}, {0x2B}, {},                                      // the probe, a step a call
        {0x04, 0x10, 0x90}, {0x04, 0x20, 0x91}, {0x04, 0x30, 0x92},  // a slot a call
        {0x80}, {0x81}, {0x82}, {0x80}};                             // a variable a call
    // clang-format on
    const std::vector<int> updatesAfter{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
    for (size_t call = 0; call < perCall.size(); ++call) {
        const size_t mark = port.sent.size();
        scheduler.OnIdle();
        EXPECT_EQ(SentSince(mark), perCall[call]) << "call " << call;
        EXPECT_EQ(updates, updatesAfter[call]) << "call " << call;
    }
    EXPECT_EQ(reporter.PaneTexts(EcuStatePane).front(), "ECU On Line");
}

TEST_F(SchedulerTest, LateRepliesLeaveTheWireTraceUnchanged) {
    // OnIdle returns while a reply is awaited; the flags resume the exchange.
    SetVariables({{0x10, 1}, {0x20, 2}});
    ASSERT_TRUE(DriveUntil([this] { return updates == 2; }));
    const Bytes prompt = port.sent;
    for (int64_t delay : {1, 700, 4999}) {
        SchedulerRig late;
        late.SetVariables({{0x10, 1}, {0x20, 2}});
        late.port.replyDelayMs = delay;
        ASSERT_TRUE(late.DriveUntil([&] { return late.updates == 2; })) << delay;
        EXPECT_EQ(late.port.sent, prompt) << delay;
        EXPECT_TRUE(late.Flag(EcuOnLine)) << delay;
    }
}

TEST_F(SchedulerTest, WrongEchoInSlotLoadingGoesOffLineAtOnce) {
    for (uint8_t wrongAfter : {0x04, 0x10, 0x90}) {
        SchedulerRig f;
        f.SetVariables(kThree);
        f.twist = [wrongAfter](uint8_t b, Bytes r) { return b == wrongAfter ? Bytes{0x66} : r; };
        ASSERT_TRUE(f.DriveUntil([&] { return f.Flag(EcuOnLine); }));
        const int64_t start = f.clock.MonotonicMs();
        f.scheduler.OnIdle();
        EXPECT_FALSE(f.Flag(EcuOnLine)) << int{wrongAfter};
        EXPECT_EQ(f.clock.MonotonicMs(), start);
        EXPECT_EQ(f.reporter.Pane(EcuStatePane), "ECU Off Line");
        // The next exchange starts from its first byte.
        const size_t mark = f.port.sent.size();
        f.scheduler.OnIdle();
        EXPECT_EQ(f.SentSince(mark), Bytes{0x02}) << int{wrongAfter};
    }
}

TEST_F(SchedulerTest, SilentEcuDuringAReadGoesOffLineThenEverySlotIsBoundAgain) {
    SetVariables(kThree);
    ASSERT_TRUE(DriveToReading());
    twist = [this](uint8_t b, Bytes r) {
        silent = silent || b == 0x81;
        return silent ? Bytes{} : r;
    };
    ASSERT_TRUE(DriveUntil([this] { return !port.sent.empty() && port.sent.back() == 0x81; }));
    const int64_t waits = port.readableWaits;
    ASSERT_TRUE(DriveUntil([this] { return !Flag(EcuOnLine); }));
    EXPECT_EQ(clock.MonotonicMs() - scheduler.firstReadTime, OffLineTimeoutMs + 1);
    EXPECT_LE(port.readableWaits - waits, 3);  // slept, never spun
    EXPECT_EQ(reporter.Pane(EcuStatePane), "ECU Off Line");

    twist = {};
    silent = false;
    const size_t mark = port.sent.size();
    ASSERT_TRUE(DriveUntil([&] { return port.sent.size() > mark && port.sent.back() == 0x80; }));
    EXPECT_EQ(SentSince(mark),
              (Bytes{0x02, 0x2B, 0x04, 0x10, 0x90, 0x04, 0x20, 0x91, 0x04, 0x30, 0x92, 0x80}));
}

TEST_F(SchedulerTest, NewMonitorListWhileAReadIsAwaitedRebindsFromSlotZero) {
    SetVariables(kThree);
    ecu.memory[0x10] = 0x77;
    ASSERT_TRUE(DriveToReading());
    port.replyDelayMs = 50;
    scheduler.OnIdle();  // sends 0x80 and returns awaiting its reply
    ASSERT_TRUE(Flag(ReplyPending));
    port.replyDelayMs = 0;
    SetVariables({{0x50, 1}, {0x60, 1}});
    scheduler.statusFlags.Clear(EcuOnLine);  // what loading a monitor file does
    reporter.Clear();
    const int64_t start = clock.MonotonicMs();
    const size_t mark = port.sent.size();
    ASSERT_TRUE(DriveUntil([&] { return port.sent.size() > mark && port.sent.back() == 0x80; }));
    EXPECT_EQ(SentSince(mark), (Bytes{0x02, 0x2B, 0x04, 0x50, 0x90, 0x04, 0x60, 0x91, 0x80}));
    // The abandoned read's late reply is skipped by the probe, not waited out.
    EXPECT_LT(clock.MonotonicMs() - start, 1000);
    EXPECT_EQ(reporter.Pane(EcuStatePane), "ECU On Line");
    for (const auto& text : reporter.PaneTexts(EcuStatePane))
        EXPECT_NE(text, "ECU Off Line");
}

TEST_F(SchedulerTest, OneVariableUpdatesAfterEveryRead) {
    SetVariables({{0x10, 1}});
    ASSERT_TRUE(DriveUntil([this] { return updates == 5; }));
    EXPECT_EQ(std::count(port.sent.begin(), port.sent.end(), 0x80), 5);
}

TEST_F(SchedulerTest, OffLineEachCallMakesOneProbeStep) {
    silent = true;
    const struct {
        int64_t advanceMs;  // before the call
        Bytes sent;
        bool offLineShown;
    } calls[] = {{0, {0x02}, false}, {0, {}, false},     {OffLineTimeoutMs, {}, false},
                 {1, {}, true},      {0, {0x02}, false}, {0, {}, false}};
    for (const auto& c : calls) {
        clock.Advance(c.advanceMs);
        reporter.Clear();
        const size_t mark = port.sent.size();
        scheduler.OnIdle();
        EXPECT_EQ(SentSince(mark), c.sent);
        EXPECT_EQ(reporter.Pane(EcuStatePane), c.offLineShown ? "ECU Off Line" : "");
        EXPECT_FALSE(Flag(EcuOnLine));
    }
}

TEST_F(SchedulerTest, RefusedSendIsRetriedWithTheSameByte) {
    SetVariables(kThree);
    ASSERT_TRUE(DriveUntil([this] { return scheduler.pollIndex == 1 && Flag(SlotsLoaded); }));
    port.refuseSends = 1;
    const size_t mark = port.sent.size();
    scheduler.OnIdle();
    EXPECT_TRUE(SentSince(mark).empty());
    EXPECT_FALSE(scheduler.NextWait().sendNow);  // a short pause, not a spin
    clock.Advance(1000);
    scheduler.OnIdle();
    EXPECT_EQ(SentSince(mark), Bytes{0x81});
    EXPECT_EQ(scheduler.firstReadTime, clock.MonotonicMs());  // noted again
}

TEST_F(SchedulerTest, SampleTimeIsThePositionInTheSweep) {
    SetVariables({{0x10, 1}});
    const struct {
        int timeScale;
        int64_t wallMs;
        int32_t sample;
    } cases[] = {{20, 20000LL * 85'000'000 + 7250, 7250},
                 {60, 60000LL * 28'000'000 + 59'999, 59'999}};
    ASSERT_TRUE(DriveToReading());
    for (const auto& c : cases) {
        scheduler.SetTimeScale(c.timeScale);
        clock.SetWallMs(c.wallMs);
        const int before = updates;
        ASSERT_TRUE(DriveUntil([&] { return updates > before; }));
        EXPECT_EQ(monitor.sampleTimes[0], c.sample) << c.timeScale;
    }
}

TEST_F(SchedulerTest, EmptyListStaysWithTheProbe) {
    SetVariables({});
    for (int i = 0; i < 100; ++i)
        Drive();
    EXPECT_TRUE(Flag(EcuOnLine));
    EXPECT_EQ(updates, 0);
    ASSERT_GE(port.sent.size(), 20u);
    for (size_t i = 0; i < port.sent.size(); ++i) {
        ASSERT_EQ(port.sent[i], i % 2 ? 0x2B : 0x02) << i;
    }
}

TEST_F(SchedulerTest, FailedPortGoesOffLineAtOnce) {
    SetVariables(kThree);
    ASSERT_TRUE(DriveToReading());
    port.replyDelayMs = 100;
    scheduler.OnIdle();  // a read is awaited
    port.failed = true;
    EXPECT_TRUE(scheduler.NextWait().sendNow);
    const int64_t start = clock.MonotonicMs();
    scheduler.OnIdle();
    EXPECT_FALSE(Flag(EcuOnLine));
    EXPECT_FALSE(Flag(ReplyPending));
    EXPECT_EQ(clock.MonotonicMs(), start);
    EXPECT_EQ(reporter.Pane(EcuStatePane), "ECU Off Line");
}

TEST_F(SchedulerTest, FinishOutstandingLeavesAQuietLine) {
    const struct {
        const char* name;
        bool silentEcu;
        bool onLineAfter;
    } cases[] = {{"answering", false, true}, {"silent", true, false}};
    for (const auto& c : cases) {
        SchedulerRig f;
        f.SetVariables({{0x40, 2}});
        f.ecu.memory[0x40] = 0x12;
        f.ecu.memory[0x41] = 0x34;
        ASSERT_TRUE(f.DriveToReading());
        f.port.replyDelayMs = 300;
        f.Drive();  // the high byte arrives
        f.silent = c.silentEcu;
        f.scheduler.OnIdle();  // the low byte is asked for
        ASSERT_TRUE(f.Flag(SecondBytePending) && f.Flag(ReplyPending)) << c.name;
        const int64_t start = f.clock.MonotonicMs();
        f.scheduler.FinishOutstanding();
        EXPECT_FALSE(f.Flag(ReplyPending | SecondBytePending)) << c.name;
        EXPECT_EQ(f.Flag(EcuOnLine), c.onLineAfter) << c.name;
        EXPECT_LE(f.clock.MonotonicMs() - start, OffLineTimeoutMs + 1) << c.name;
        if (c.onLineAfter) {
            EXPECT_EQ(f.monitor.liveValues[0], 4660u);  // high byte first
            EXPECT_EQ(f.updates, 1);
        }
        const size_t mark = f.port.sent.size();
        f.scheduler.FinishOutstanding();  // nothing left to finish
        EXPECT_TRUE(f.SentSince(mark).empty()) << c.name;
    }
}

}  // namespace
}  // namespace korvel
