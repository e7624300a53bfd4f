#pragma once
// A model of the ECU's side of the command protocol: a 16-bit address
// pointer, a 64 KiB memory whose 0x0E00..0x0FFF block is the calibration
// EEPROM, 16 monitor slots, and a running engine behind the monitored
// variables. It counts, and unless told otherwise records, every byte it
// received and sent.

#include <array>
#include <concepts>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "calib/CalibrationImage.h"
#include "link/Clock.h"
#include "link/Transport.h"
#include "monitor/MonitorFile.h"
#include "sim/EngineModel.h"

namespace korvel {

constexpr int EcuSlotCount = 16;

// Faults of a real line and ECU. Those that happen "one in N" are drawn from
// `seed` and the number of the exchange (one exchange per received byte), so
// a run with the same seed and the same requests meets them at the same
// exchanges, however fast the machine is.
struct VirtualEcuFaults {
    long silentAfterBytes = -1;    // stop answering after this many received bytes (-1: never)
    bool silent = false;           // answer nothing from now on (korvel-ecusim: SIGUSR1)
    bool wrongEcho = false;        // echo parameter bytes wrongly (complemented)
    long dropReplyEvery = 0;       // drop every Nth reply (0: never)
    bool strayBeforeEcho = false;  // send a stray byte before every echo
    bool unstoredWrites = false;   // echo EEPROM programming but do not store

    // A brown-out: after this many received bytes, or this long after the
    // engine started (-1: never), the ECU starts afresh once: its slot
    // bindings, address pointer and any half-sent command are forgotten, and
    // it answers nothing for resetQuietMs.
    long resetAfterBytes = -1;
    int64_t resetAtMs = -1;
    int64_t resetQuietMs = 1000;
    // One reply in lateEvery (0: none) leaves a random 0..LateMaxMs late; one
    // in lateBeyondEvery leaves later than the 2 s step time-out.
    long lateEvery = 0;
    long lateBeyondEvery = 0;
    // One echo in noiseEvery (0: none) follows a burst of 1..4 noise bytes,
    // none equal to the echo. Data replies never get noise: a data step takes
    // the first byte that arrives, so noise there could not be told from data.
    long noiseEvery = 0;
    uint64_t seed = 1;
};

constexpr int64_t LateMaxMs = 1500;
constexpr int64_t LateBeyondMs = 2500;

struct EepromWrite {
    uint16_t address = 0;
    uint8_t value = 0;
    bool operator==(const EepromWrite&) const = default;
};

class VirtualEcu {
public:
    VirtualEcu();

    VirtualEcuFaults faults;
    std::array<uint8_t, 65536> memory{};
    // Off in korvel-ecusim: a simulator left running for hours would keep
    // every byte of the line; the counts and the EEPROM writes are enough.
    bool recordBytes = true;

    // The EEPROM block; every slot's low 8 bits are stored.
    void LoadCalibration(const CalibrationImage& image);
    CalibrationImage Calibration() const;

    // Makes the engine animate the variables of `monitor` at their addresses.
    void AnimateVariables(const MonitorFile& monitor);

    // Handles one received byte and appends the ECU's replies to `out`.
    void Receive(uint8_t byte, std::vector<uint8_t>& out);

    // True when the last received byte committed an EEPROM write (the reply
    // is then due only after the programming time).
    bool LastByteProgrammed() const { return lastByteProgrammed_; }
    // How much later than usual the replies to the last received byte leave.
    int64_t LastReplyLateMs() const { return lastReplyLateMs_; }
    // How many times the ECU has started afresh after a brown-out.
    int Resets() const { return resets_; }

    // Moves the simulated engine on to `wallMs` (throttle cycle, warm-up, ...),
    // which is also the ECU's time for its faults. The first call sets the
    // engine's start time.
    void AdvanceEngine(int64_t wallMs);

    const std::vector<uint8_t>& Received() const { return received_; }
    const std::vector<uint8_t>& Sent() const { return sent_; }
    const std::vector<EepromWrite>& Writes() const { return writes_; }
    // Bytes received and sent, recorded or not.
    long ReceivedCount() const { return receivedCount_; }
    long SentCount() const { return sentCount_; }
    // Forgets the records and restarts the counts (and so --silent-after).
    void ClearRecords();

private:
    enum class ReplyKind { None, Data, Echo, ParameterEcho };
    struct Reply {
        ReplyKind kind = ReplyKind::None;
        uint8_t value = 0;
    };
    struct Animated {
        VariableKind kind;
        uint8_t address;
        bool twoBytes;
    };

    bool ResetDue() const;
    void Reset();
    uint64_t Draw(uint64_t purpose) const;
    bool OneIn(long n, uint64_t purpose) const;
    void EmitNoise(uint8_t echo, std::vector<uint8_t>& out);
    Reply Handle(uint8_t byte);
    Reply HandleParameter(uint8_t byte);
    Reply HandleCommand(uint8_t byte);
    void Program(uint8_t parameter);
    void Emit(const Reply& reply, std::vector<uint8_t>& out);
    void Send(uint8_t byte, std::vector<uint8_t>& out);
    bool Silent() const;
    void Store(uint8_t address, bool twoBytes, uint32_t raw);

    std::vector<uint8_t> received_;
    std::vector<uint8_t> sent_;
    std::vector<EepromWrite> writes_;
    long receivedCount_ = 0;
    long sentCount_ = 0;

    uint16_t pointer_ = 0;
    uint8_t dataByte_ = 0;
    int pendingCommand_ = -1;  // a command whose parameter byte comes next
    bool armed_ = false;       // PROGRAM 0x2B seen; 0xB2 commits
    bool lastByteProgrammed_ = false;
    int64_t lastReplyLateMs_ = 0;
    long replies_ = 0;
    int resets_ = 0;
    int64_t nowMs_ = 0;
    int64_t quietUntilMs_ = -1;
    std::array<uint8_t, EcuSlotCount> slotAddress_{};

    std::vector<Animated> animated_;
    int64_t engineStartMs_ = -1;
};

// Clocks a test moves on by hand (a FakeClock): a Clock with Advance(ms).
template <class C>
concept AdvanceableClock = std::derived_from<C, Clock> && requires(C& c, int64_t ms) {
    c.Advance(ms);
};

// The virtual ECU as an in-process byte transport: every reply is available
// as soon as its request is sent (lateness is the paced line's business), and the engine moves on
// to the clock's wall time at each request. Since nothing ever arrives unasked, WaitReadable with
// nothing pending returns false after the wait has passed: with a clock that
// can be advanced by hand it advances the clock by the whole wait (so a
// time-out passes at once in tests); with a real clock it sleeps the wait.
class InProcessEcuTransport : public ByteTransport {
public:
    using AdvanceFunction = std::function<void(int64_t ms)>;

    InProcessEcuTransport(VirtualEcu& ecu, Clock& clock, AdvanceFunction advance = {});
    template <AdvanceableClock C>
    InProcessEcuTransport(VirtualEcu& ecu, C& clock)
        : InProcessEcuTransport(ecu, clock, [&clock](int64_t ms) { clock.Advance(ms); }) {}

    int ReadByte() override;
    int SendByte(int byte) override;
    bool WaitReadable(int64_t maxWaitMs) override;
    // Sends are never refused; a caller that waits anyway lets the time pass.
    void WaitWritable(int64_t maxWaitMs) override { PassTime(maxWaitMs); }

    // Bytes sent but not yet read, for tests.
    size_t PendingCount() const { return pending_.size() - readPos_; }

private:
    void PassTime(int64_t ms);

    VirtualEcu& ecu_;
    Clock& clock_;
    AdvanceFunction advance_;
    std::vector<uint8_t> pending_;
    size_t readPos_ = 0;
};

}  // namespace korvel
