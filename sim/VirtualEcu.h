#pragma once
// A model of the ECU's side of the command protocol: a 16-bit address
// pointer, a 64 KiB memory whose 0x0E00..0x0FFF block is the calibration
// EEPROM, 16 monitor slots, and a running engine behind the monitored
// variables. It records every byte it received and sent.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "calib/CalibrationImage.h"
#include "link/Clock.h"
#include "link/Transport.h"

namespace korvel {

struct VirtualEcuFaults {
    long silentAfterBytes = -1;    // stop answering after this many received bytes (-1: never)
    bool wrongEcho = false;        // echo parameter bytes wrongly
    long dropReplyEvery = 0;       // drop every Nth reply (0: never)
    bool strayBeforeEcho = false;  // send a stray byte before every echo
    bool unstoredWrites = false;   // echo EEPROM programming but do not store
};

class VirtualEcu {
public:
    VirtualEcu();

    VirtualEcuFaults faults;
    std::array<uint8_t, 65536> memory{};

    void LoadCalibration(const CalibrationImage& image);
    CalibrationImage Calibration() const;

    // Handles one received byte and appends the ECU's replies to `out`.
    void Receive(uint8_t byte, std::vector<uint8_t>& out);

    // Moves the simulated engine on to `wallMs` (throttle cycle, warm-up, ...).
    void AdvanceEngine(int64_t wallMs);

    const std::vector<uint8_t>& Received() const { return received_; }
    const std::vector<uint8_t>& Sent() const { return sent_; }
    void ClearRecords();

private:
    std::vector<uint8_t> received_;
    std::vector<uint8_t> sent_;
    // Protocol state is the implementation's own.
    struct State;
    std::shared_ptr<State> state_;
};

// The virtual ECU as an in-process byte transport: replies are available as
// soon as the request is sent.
class InProcessEcuTransport : public ByteTransport {
public:
    InProcessEcuTransport(VirtualEcu& ecu, Clock& clock);
    int ReadByte() override;
    int SendByte(int byte) override;
    bool WaitReadable(int64_t maxWaitMs) override;

private:
    VirtualEcu& ecu_;
    Clock& clock_;
    std::vector<uint8_t> pending_;
    size_t readPos_ = 0;
};

}  // namespace korvel
