#pragma once
// An AcquisitionScheduler over a scripted, well-behaved ECU, with a fake
// clock and a driver loop that sleeps on the port the way the programs do.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "app/AcquisitionScheduler.h"
#include "tests/support/EchoEcu.h"
#include "tests/support/RecordingReporter.h"

namespace korvel {

using Bytes = std::vector<uint8_t>;

struct SchedulerRig {
    FakeClock clock;
    EchoEcu ecu;
    bool silent = false;
    // Lets a test change the ECU's reply to one received byte.
    std::function<Bytes(uint8_t, Bytes)> twist;
    ScriptedTransport port{clock, [this](uint8_t b) {
                               if (silent)
                                   return Bytes{};
                               Bytes reply = ecu.Receive(b);
                               return twist ? twist(b, reply) : reply;
                           }};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
    MonitorFile monitor;
    int updates = 0;
    AcquisitionScheduler scheduler{link, monitor, [this] { ++updates; }};

    // (address, byteCount) per variable.
    void SetVariables(const std::vector<std::pair<uint8_t, uint8_t>>& list) {
        monitor.variableCount = static_cast<int>(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            monitor.variables[i] = {list[i].first, list[i].second};
        }
    }
    bool Flag(uint32_t bit) const { return scheduler.statusFlags.Test(bit); }

    // One OnIdle, then a sleep on the port until a byte or the next deadline.
    void Drive() {
        scheduler.OnIdle();
        const auto wait = scheduler.NextWait();
        if (!wait.sendNow) {
            port.WaitReadable(std::max<int64_t>(0, wait.deadlineMs - clock.MonotonicMs()));
        }
    }
    // Drives until `done` holds; false when it never does.
    bool DriveUntil(const std::function<bool()>& done, int maxCalls = 10000) {
        for (int i = 0; i < maxCalls && !done(); ++i) {
            Drive();
        }
        return done();
    }
    bool DriveToReading() {
        return DriveUntil([this] { return Flag(SlotsLoaded); });
    }
    Bytes SentSince(size_t mark) const { return Bytes(port.sent.begin() + mark, port.sent.end()); }
};

struct SchedulerFixture : ::testing::Test, SchedulerRig {};

}  // namespace korvel
