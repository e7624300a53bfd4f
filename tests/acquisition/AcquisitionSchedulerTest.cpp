#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

#include "acquisition/TransferCommands.h"
#include "sim/VirtualEcu.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedTransport.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;
using Variables = std::vector<std::pair<uint8_t, uint8_t>>;  // (address, byteCount)
const Variables kThree{{0x10, 1}, {0x20, 2}, {0x30, 1}};

// An AcquisitionScheduler over a scripted, well-behaved ECU and a fake clock.
struct Rig {
    FakeClock clock;
    VirtualEcu ecu;
    std::function<Bytes(uint8_t, Bytes)> twist;  // changes the ECU's reply to one byte
    ScriptedTransport port{clock, [this](uint8_t b, Bytes& reply) {
                               ecu.Receive(b, reply);
                               reply = twist ? twist(b, reply) : reply;
                           }};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
    MonitorFile monitor;
    int updates = 0;
    AcquisitionScheduler scheduler{link, monitor};

    explicit Rig(const Variables& list = kThree) {
        scheduler.AddPassObserver([this](const Sample&) { ++updates; });
        SetVariables(list);
    }
    void SetVariables(const Variables& list) {
        monitor.variableCount = static_cast<int>(list.size());
        for (size_t i = 0; i < list.size(); ++i)
            monitor.variables[i] = {list[i].first, list[i].second};
    }
    bool Flag(uint32_t bit) const { return scheduler.statusFlags.Test(bit); }
    // One OnIdle; returns the bytes it sent.
    Bytes Idle() {
        const size_t mark = port.sent.size();
        scheduler.OnIdle();
        return Bytes(port.sent.begin() + mark, port.sent.end());
    }
    // The command-line tool's loop until `done` holds; false when it never does.
    bool DriveUntil(const std::function<bool()>& done) {
        int steps = 0;
        scheduler.RunUntil(clock.MonotonicMs() + 3'600'000,
                           [&] { return done() || ++steps > 10000; });
        return done();
    }
    bool DriveToReading() {
        return DriveUntil([this] { return Flag(SlotsLoaded); });
    }
    // Drives until `last` is sent; returns the bytes sent meanwhile.
    Bytes DriveUntilSent(uint8_t last) {
        const size_t mark = port.sent.size();
        DriveUntil([&] { return port.sent.size() > mark && port.sent.back() == last; });
        return Bytes(port.sent.begin() + mark, port.sent.end());
    }
};

TEST(Scheduler, StartUpProbesBindsEachSlotThenReadsCyclically) {
    Rig f;
    f.ecu.memory[0x20] = 0x12;
    f.ecu.memory[0x21] = 0x34;
    // Bytes sent by each OnIdle call of an ECU that answers at once: the probe a step a call,
    // a slot a call, a variable a call; the pass is complete after the third variable.
    // clang-format off
    const std::vector<Bytes> perCall{{0x02}, {}, {0x2B}, {},
        {0x04, 0x10, 0x90}, {0x04, 0x20, 0x91}, {0x04, 0x30, 0x92},
        {0x80}, {0x81, 0xC1}, {0x82}, {0x80}};
    // clang-format on
    for (size_t call = 0; call < perCall.size(); ++call) {
        EXPECT_EQ(f.Idle(), perCall[call]) << "call " << call;
        EXPECT_EQ(f.updates, call >= 9 ? 1 : 0) << "call " << call;
    }
    EXPECT_EQ(f.reporter.PaneTexts(EcuStatePane).front(), "ECU On Line");
    EXPECT_EQ(f.monitor.liveValues[1], 4660u);  // the first byte is the high byte
}

TEST(Scheduler, LateRepliesLeaveTheWireTraceUnchanged) {
    Rig prompt;
    ASSERT_TRUE(prompt.DriveUntil([&] { return prompt.updates == 2; }));
    for (int64_t delay : {1, 700, 4999}) {
        Rig late;
        late.port.replyDelayMs = delay;
        ASSERT_TRUE(late.DriveUntil([&] { return late.updates == 2; })) << delay;
        EXPECT_EQ(late.port.sent, prompt.port.sent) << delay;
        EXPECT_TRUE(late.Flag(EcuOnLine)) << delay;
    }
}

TEST(Scheduler, WrongEchoInSlotLoadingOrAFailedPortGoesOffLineAtOnce) {
    for (int fault : {0x04, 0x10, 0x90, -1}) {  // the byte echoed wrongly, or -1: the port fails
        Rig f;
        f.twist = [fault](uint8_t b, Bytes r) { return b == fault ? Bytes{0x66} : r; };
        ASSERT_TRUE(f.DriveUntil([&] { return f.Flag(fault < 0 ? SlotsLoaded : EcuOnLine); }));
        if (fault < 0) {
            f.port.replyDelayMs = 100;
            f.scheduler.OnIdle();  // a read is awaited
            f.port.failed = true;
            EXPECT_TRUE(f.scheduler.NextWait().sendNow);  // no sleep on a dead port
        }
        const int64_t start = f.clock.MonotonicMs();
        f.scheduler.OnIdle();
        EXPECT_FALSE(f.Flag(EcuOnLine) || f.Flag(ReplyPending)) << fault;
        EXPECT_EQ(f.clock.MonotonicMs(), start);
        EXPECT_EQ(f.reporter.Pane(EcuStatePane), "ECU Off Line");
        EXPECT_EQ(f.Idle(), Bytes{0x02}) << fault;  // the next exchange starts afresh
    }
}

TEST(Scheduler, BackToTheProbeFromReadingBindsEverySlotAgain) {
    const Variables newList{{0x50, 1}, {0x60, 1}};
    const struct {
        const char* name;
        std::function<void(Rig&)> fault;  // run while reading; leaves the ECU off line
        const char* statePane;            // pane 1 right after the fault
        Variables bound;                  // the list bound again
    } cases[] = {
        {"ECU silent while variable 1 is read",
         [](Rig& f) {
             f.twist = [](uint8_t b, Bytes r) { return b == 0x81 ? Bytes{} : r; };
             f.DriveUntilSent(0x81);
             const int64_t waits = f.port.readableWaits;
             ASSERT_TRUE(f.DriveUntil([&] { return !f.Flag(EcuOnLine); }));
             EXPECT_EQ(f.clock.MonotonicMs() - f.scheduler.FirstReadTime(), OffLineTimeoutMs + 1);
             // slept in slices, never spun
             EXPECT_LE(f.port.readableWaits - waits,
                       OffLineTimeoutMs / AcquisitionScheduler::RunSliceMs + 2);
             f.twist = {};
         },
         "ECU Off Line", kThree},
        {"new monitor list while a read is awaited",
         [&](Rig& f) {
             f.port.replyDelayMs = 50;
             f.scheduler.OnIdle();  // sends 0x80 and returns awaiting its reply
             ASSERT_TRUE(f.Flag(ReplyPending));
             f.port.replyDelayMs = 0;
             f.SetVariables(newList);
             f.scheduler.RestartFromProbe();  // what loading a monitor file does
         },
         "ECU Off Line", newList},
        {"failed upload",
         [](Rig& f) {
             f.twist = [](uint8_t b, Bytes r) { return b == SEND_INC ? Bytes{} : r; };
             CalibrationImage image;
             EXPECT_EQ(OnUpload(f.scheduler, image), TransferOutcome::Failed);
             f.twist = {};
         },
         "ECU Offline", kThree},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig f;
        ASSERT_TRUE(f.DriveToReading());
        c.fault(f);
        EXPECT_FALSE(f.Flag(EcuOnLine));
        EXPECT_EQ(f.reporter.Pane(EcuStatePane), c.statePane);
        f.reporter.events.clear();
        Bytes rebind{0x02, 0x2B};
        for (size_t n = 0; n < c.bound.size(); ++n) {
            rebind.insert(rebind.end(), {0x04, c.bound[n].first, static_cast<uint8_t>(0x90 + n)});
        }
        rebind.push_back(0x80);
        const int64_t start = f.clock.MonotonicMs();
        EXPECT_EQ(f.DriveUntilSent(0x80), rebind);
        // A late reply to an abandoned read is skipped by the probe, not waited out.
        EXPECT_LT(f.clock.MonotonicMs() - start, 1000);
        EXPECT_EQ(f.reporter.PaneTexts(EcuStatePane), Texts(c.bound.size() + 1, "ECU On Line"));
    }
}

TEST(Scheduler, OneVariableUpdatesAfterEveryRead) {
    Rig f({{0x10, 1}});
    ASSERT_TRUE(f.DriveUntil([&] { return f.updates == 5; }));
    EXPECT_EQ(std::ranges::count(f.port.sent, 0x80), 5);
}

// A refused send is retried with the same byte after a short pause. Its time
// counts from the first try, so a port that refuses every byte, the probe's
// included, goes off line after the usual time-out.
TEST(Scheduler, RefusedSendIsRetriedWithTheSameByteUntilItsTimeOut) {
    Rig f;
    ASSERT_TRUE(f.DriveUntil([&] { return f.scheduler.PollIndex() == 2 && f.Flag(SlotsLoaded); }));
    const int64_t firstTry = f.clock.MonotonicMs();
    f.port.refuseSends = 1;
    EXPECT_TRUE(f.Idle().empty());
    EXPECT_FALSE(f.scheduler.NextWait().sendNow);  // a short pause, not a spin
    f.clock.Advance(1000);
    EXPECT_EQ(f.Idle(), Bytes{0x82});
    EXPECT_EQ(f.scheduler.FirstReadTime(), firstTry);

    for (const bool onLine : {true, false}) {
        SCOPED_TRACE(onLine);
        Rig g;
        ASSERT_TRUE(!onLine || g.DriveToReading());
        g.reporter.events.clear();
        g.port.refuseSends = 1'000'000;
        const int64_t start = g.clock.MonotonicMs();
        ASSERT_TRUE(g.DriveUntil([&] { return g.reporter.Pane(EcuStatePane) == "ECU Off Line"; }));
        EXPECT_FALSE(g.Flag(EcuOnLine));
        EXPECT_LE(g.clock.MonotonicMs() - start, OffLineTimeoutMs + 2 * SendRetryPauseMs);
        // Then once a time-out, not at every retry.
        g.reporter.events.clear();
        g.DriveUntil([&] { return g.clock.MonotonicMs() > start + 2 * OffLineTimeoutMs + 500; });
        EXPECT_EQ(g.reporter.PaneTexts(EcuStatePane), Texts{"ECU Off Line"});
    }
}

TEST(Scheduler, EmptyListStaysWithTheProbe) {
    Rig f(Variables{});
    f.DriveUntil([&] { return f.port.sent.size() >= 40; });
    EXPECT_TRUE(f.Flag(EcuOnLine));
    EXPECT_EQ(f.updates, 0);
    for (size_t i = 0; i < f.port.sent.size(); ++i) {
        ASSERT_EQ(f.port.sent[i], i % 2 ? 0x2B : 0x02) << i;
    }
}

// A transfer starts on a quiet line: a reply outstanding is awaited up to
// 100 ms (both bytes of a two-byte read), else dropped with whatever input
// has come, and the variable is read again after the transfer.
TEST(TransferCommands, UploadFirstQuietsTheLine) {
    for (const int64_t delay : {int64_t{100}, int64_t{150}}) {
        SCOPED_TRACE(delay);
        Rig f({{0x40, 2}});
        f.ecu.memory[0x40] = 0x12;
        f.ecu.memory[0x41] = 0x34;
        std::iota(f.ecu.memory.begin() + 0x0E00, f.ecu.memory.begin() + 0x1000, uint8_t{0});
        ASSERT_TRUE(f.DriveToReading());
        int gaps = 0;
        f.scheduler.AddPassObserver([&](const Sample& s) { gaps += s.gapMs != NoGap ? 1 : 0; });
        f.port.replyDelayMs = delay;
        f.scheduler.OnIdle();  // READ_SLOT 0 sent, its reply still on the way
        ASSERT_TRUE(f.Flag(ReplyPending));
        const int64_t start = f.clock.MonotonicMs();
        CalibrationImage image;
        f.port.replyDelayMs = 0;
        EXPECT_EQ(OnUpload(f.scheduler, image), TransferOutcome::Succeeded);
        // In time, both bytes are read before the upload; else the late byte
        // comes during the upload, which skips it, and no more is waited for.
        const auto before = f.port.sent.end() - ImageSize - 4;
        const Bytes expected =
            delay == 100 ? Bytes{READ_SLOT, READ_SLOT_NEXT} : Bytes{SET_SLOT, READ_SLOT};
        EXPECT_EQ(Bytes(before - 2, before), expected);
        EXPECT_EQ(*before, LOAD_ADDR_HI);
        EXPECT_LT(f.clock.MonotonicMs() - start, 1000);
        EXPECT_TRUE(
            std::equal(image.values.begin(), image.values.end(), f.ecu.memory.begin() + 0x0E00));
        const size_t mark = f.port.sent.size();
        ASSERT_TRUE(f.DriveUntil([&] { return f.updates > 0 && f.port.sent.size() > mark; }));
        EXPECT_EQ(f.port.sent[mark], READ_SLOT);  // the dropped read is made again
        EXPECT_EQ(f.monitor.liveValues[0], 4660u);
        EXPECT_EQ(gaps, delay == 100 ? 0 : 1);
    }
}

// Each transfer command from DataLoaded, against an ECU holding 5A at E00 and an
// erased (FF) EEPROM elsewhere, with an image of nines: its outcome, panes, flags and messages.
TEST(TransferCommands, OutcomesSetPanesAndFlags) {
    using Outcome = TransferOutcome;
    enum Command { Upload, Download, Compare, Changes };
    constexpr uint32_t Both = EcuOnLine | DataLoaded;
    const struct {
        Command command;
        bool onLine;
        long answeredSends;  // the ECU falls silent after this many (-1: never)
        int cancelAfter;     // the user cancels after this many questions (-1: never)
        Outcome outcome;
        const char* panes;    // message pane | ECU state pane
        uint32_t flagsAfter;  // of EcuOnLine | DataLoaded
        Texts messages;
        bool unstoredWrites = false;  // the ECU echoes programming but does not store
    } cases[] = {
        // clang-format off
        {Upload, false, -1, -1, Outcome::NotRun, "|", DataLoaded, {}},
        {Download, false, -1, -1, Outcome::NotRun, "|", DataLoaded, {}},
        {Upload, true, -1, -1, Outcome::Succeeded, "Data Loaded|", Both, {}},
        {Upload, true, 0, -1, Outcome::Failed, "Data NOT Loaded|ECU Offline", DataLoaded,
         {"Send Address failed"}},
        {Upload, true, 100, -1, Outcome::Failed, "Data NOT Loaded|ECU Offline", DataLoaded,
         {"Timed out waiting for data", "Not all addresses loaded"}},
        {Upload, true, -1, 10, Outcome::Failed, "Upload cancelled|", Both, {}},
        {Compare, true, -1, -1, Outcome::Succeeded, "Compare Complete|", Both, {}},
        {Download, true, -1, -1, Outcome::Succeeded, "Programming Complete|", Both, {}},
        {Changes, true, -1, -1, Outcome::Succeeded, "Programming Complete|", Both, {}},
        // The image is unchanged, so it may still be saved or downloaded again.
        // How far a failed write got is the session's to say.
        {Download, true, 100, -1, Outcome::Failed, "Programming FAILED|ECU Off Line", DataLoaded,
         {}},
        {Download, true, -1, -1, Outcome::Failed, "Programming FAILED|ECU Off Line", DataLoaded,
         {}, true},
        {Download, true, -1, 3, Outcome::Failed, "Programming FAILED|ECU Off Line", DataLoaded,
         {}},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        Rig f(Variables{});
        f.ecu.memory[0x0E00] = 0x5A;
        f.scheduler.statusFlags.Set(DataLoaded);
        ASSERT_TRUE(!c.onLine || f.DriveUntil([&] { return f.Flag(EcuOnLine); })) << i;
        f.reporter.events.clear();
        const size_t probeBytes = f.port.sent.size();
        f.ecu.ClearRecords();
        f.ecu.faults = {.silentAfterBytes = c.answeredSends, .unstoredWrites = c.unstoredWrites};
        int asked = 0;
        f.link.cancelRequested = [&] { return c.cancelAfter >= 0 && ++asked > c.cancelAfter; };
        CalibrationImage image;
        image.values.fill(9);
        const Outcome outcome = c.command == Upload    ? OnUpload(f.scheduler, image)
                                : c.command == Compare ? OnReadForCompare(f.scheduler, image)
                                : c.command == Changes ? OnDownloadChanges(f.scheduler, image)
                                                       : OnDownload(f.scheduler, image);
        EXPECT_EQ(outcome, c.outcome) << i;
        // A failed upload leaves no mix of new and old bytes: the image is as it was.
        const bool read =
            c.outcome == Outcome::Succeeded && (c.command == Upload || c.command == Compare);
        EXPECT_EQ((std::array{image[0], image[ImageSize - 1]}),
                  (read ? std::array{0x5Au, 0xFFu} : std::array{9u, 9u}))
            << i;
        EXPECT_EQ(f.reporter.Pane(MessagePane) + "|" + f.reporter.Pane(EcuStatePane), c.panes) << i;
        EXPECT_EQ(f.scheduler.statusFlags.Bits() & Both, c.flagsAfter) << i;
        EXPECT_EQ(f.reporter.Messages(), c.messages) << i;
        EXPECT_EQ(f.port.sent.size() == probeBytes, !c.onLine) << i;  // off line nothing happens
        if (c.outcome == Outcome::Succeeded) {
            EXPECT_EQ(f.ecu.memory[0x0E00], image[0]) << i;
            EXPECT_EQ(f.ecu.memory[0x0FFF], image[ImageSize - 1]) << i;
        }
        if (c.command == Download && c.cancelAfter >= 0) {  // stopped between two bytes
            EXPECT_EQ(std::count(f.ecu.memory.begin() + 0x0E00, f.ecu.memory.begin() + 0x1000, 9),
                      c.cancelAfter);
        }
        if (read) {  // the address once, then every byte with SEND_INC; nothing written
            Bytes expected(4 + ImageSize, SEND_INC);
            std::ranges::copy(Bytes{LOAD_ADDR_HI, 0x0E, LOAD_ADDR_LO, 0x00}, expected.begin());
            EXPECT_EQ(Bytes(f.port.sent.begin() + static_cast<long>(probeBytes), f.port.sent.end()),
                      expected)
                << i;
        }
    }
}

TEST(Scheduler, EachPassGoesToEveryObserverInOrderAsRead) {
    Rig f;
    f.ecu.memory[0x10] = 0xFF;
    f.ecu.memory[0x20] = 0x12;
    f.ecu.memory[0x21] = 0x34;
    f.port.replyDelayMs = 5;  // each reply takes 5 ms of the fake clock
    const int64_t startWall = f.clock.WallMs();
    // A first observer scribbles on the live values, as the chart's carry
    // correction does: the others still see what was read.
    AcquisitionScheduler scheduler(f.link, f.monitor);
    scheduler.AddPassObserver([&f](const Sample&) { f.monitor.liveValues.fill(7); });
    std::vector<std::pair<int, Sample>> seen;  // (observer, its sample)
    for (int observer = 0; observer < 3; ++observer) {
        scheduler.AddPassObserver(
            [&seen, observer](const Sample& s) { seen.emplace_back(observer, s); });
    }
    ASSERT_TRUE(
        scheduler.RunUntil(f.clock.MonotonicMs() + 60'000, [&seen] { return seen.size() >= 6; }));
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].first, static_cast<int>(i % 3));
        EXPECT_EQ(seen[i].second.passMs, seen[i - i % 3].second.passMs);  // one pass, one sample
    }
    const Sample& first = seen[0].second;
    EXPECT_EQ((std::array{first.raw[0], first.raw[1], first.raw[2]}),
              (std::array{255u, 0x1234u, 0u}));
    // Read times rise through the pass; the second byte of variable 1 costs a reply.
    EXPECT_EQ(first.readMs[1] - first.readMs[0], 5);
    EXPECT_EQ(first.readMs[2] - first.readMs[1], 10);
    EXPECT_EQ(seen[3].second.passMs - first.passMs, 20);  // four replies a pass
    EXPECT_EQ(first.wallMs - startWall, first.passMs);    // both clocks since the start
}

// Views come and go: a token's observer leaves when the token goes, also
// from inside a pass, and a token outliving its scheduler does nothing.
TEST(Scheduler, SubscriptionsLeaveWithTheirToken) {
    Rig f;
    std::vector<int> calls;
    Subscription first = f.scheduler.Subscribe([&](const Sample&) { calls.push_back(1); });
    Subscription second;
    second = f.scheduler.Subscribe([&](const Sample&) {
        calls.push_back(2);
        second.Cancel();  // leaves during the pass
        first.Cancel();   // and takes the first, already called, along
    });
    std::vector<Subscription> joined;  // come during a pass, called from the next on
    Subscription third = f.scheduler.Subscribe([&](const Sample&) {
        calls.push_back(3);
        for (int i = 0; i < 20 && joined.size() < 20; ++i) {
            joined.push_back(f.scheduler.Subscribe([&](const Sample&) { calls.push_back(4); }));
        }
    });
    ASSERT_TRUE(f.DriveUntil([&] { return f.updates == 2; }));
    std::vector<int> expected{1, 2, 3, 3};
    expected.insert(expected.end(), 20, 4);
    EXPECT_EQ(calls, expected);
    joined.clear();
    { Subscription gone = std::move(third); }
    ASSERT_TRUE(f.DriveUntil([&] { return f.updates == 3; }));
    EXPECT_EQ(calls.size(), expected.size());  // nobody left

    Subscription outliving;
    {
        Rig other;
        outliving = other.scheduler.Subscribe([](const Sample&) {});
    }
    outliving.Cancel();
}

// Every interruption reaches the next pass as a gap at its time; leaving on
// line is told at once, once.
TEST(Scheduler, GapsAndGoingOffLineAreTold) {
    Rig f;
    std::vector<int64_t> gaps;
    int offLine = 0;
    Subscription watch =
        f.scheduler.Subscribe([&](const Sample& s) { gaps.push_back(s.gapMs); },
                              [&](LineEvent e) { offLine += e == LineEvent::OffLine ? 1 : 0; });
    f.port.replyDelayMs = 5;
    ASSERT_TRUE(f.DriveUntil([&] { return gaps.size() == 2; }));
    f.clock.Advance(1000);
    const int64_t paused = f.scheduler.AcquisitionMs();
    f.scheduler.NoteGap();  // a pause
    f.clock.Advance(1000);
    f.scheduler.NoteGap();  // only the first counts
    ASSERT_TRUE(f.DriveUntil([&] { return gaps.size() == 4; }));
    EXPECT_EQ(gaps, (std::vector<int64_t>{NoGap, NoGap, paused, NoGap}));
    EXPECT_EQ(offLine, 0);

    const int64_t restarted = f.scheduler.AcquisitionMs();
    f.scheduler.RestartFromProbe();  // a new monitor file, a reconnect
    EXPECT_EQ(offLine, 1);
    f.scheduler.RestartFromProbe();  // already off line: nothing more to tell
    EXPECT_EQ(offLine, 1);
    ASSERT_TRUE(f.DriveUntil([&] { return gaps.size() == 5; }));
    EXPECT_EQ(gaps.back(), restarted);

    f.ecu.faults.silent = true;  // off line by the time-out
    ASSERT_TRUE(f.DriveUntil([&] { return !f.Flag(EcuOnLine); }));
    EXPECT_EQ(offLine, 2);
    const int64_t silent = f.scheduler.AcquisitionMs();
    f.ecu.faults.silent = false;
    ASSERT_TRUE(f.DriveUntil([&] { return gaps.size() == 6; }));
    EXPECT_EQ(gaps.back(), silent);
}

}  // namespace
}  // namespace korvel
