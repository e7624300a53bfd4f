#pragma once
// A calibration session over the in-process virtual ECU, a scripted port and
// a fake clock: what the desktop program and korvel-cli build around the
// session, without either.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "calib/DataFile.h"
#include "session/CalibrationSession.h"
#include "sim/VirtualEcu.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedTransport.h"

namespace korvel {

// Every byte a different value, moved on by `seed`.
inline CalibrationImage Pattern(int seed) {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i) {
        image[i] = static_cast<uint32_t>((i * 7 + seed) & 0xFF);
    }
    return image;
}

struct SessionRig {
    FakeClock clock;
    VirtualEcu ecu;
    ScriptedTransport port{
        clock, [this](uint8_t b, std::vector<uint8_t>& reply) { ecu.Receive(b, reply); }};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
    MonitorFile monitor;
    AcquisitionScheduler scheduler{link, monitor};
    CalibrationSession session{scheduler};

    // Opens `image` from a data file, as a user would: a new history.
    void Load(const CalibrationImage& image) {
        const std::string path =
            std::string(KORVEL_BINARY_DIR) + "/session-rig-" + std::to_string(getpid()) + ".dat";
        WriteDataFile(path, image);
        session.Open(path);
        std::remove(path.c_str());
    }
    // Runs the presence probe until the ECU is on line.
    bool ReachEcu() {
        scheduler.RunUntil(clock.MonotonicMs() + 60'000,
                           [this] { return scheduler.statusFlags.Test(EcuOnLine); });
        return scheduler.statusFlags.Test(EcuOnLine);
    }
};

}  // namespace korvel
