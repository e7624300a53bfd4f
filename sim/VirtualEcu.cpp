#include "sim/VirtualEcu.h"

#include <chrono>
#include <thread>

#include "link/Protocol.h"
#include "link/Transfers.h"

namespace korvel {

namespace {

bool InEeprom(uint32_t address) {
    return address >= CalibrationFirstAddress && address <= CalibrationLastAddress;
}

void Record(std::vector<uint8_t>& record, long& count, uint8_t byte, bool keep) {
    ++count;
    if (keep) {
        record.push_back(byte);
    }
}

// A byte that can never be mistaken for the echo it precedes.
uint8_t StrayFor(uint8_t echo) {
    return echo == 0x55 ? 0xAA : 0x55;
}

// SplitMix64: the same numbers on every platform and standard library.
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// What a draw decides; each has numbers of its own at every exchange.
enum Purpose : uint64_t { LateDraw, LateAmount, LateBeyondDraw, NoiseDraw, NoiseCount, NoiseByte };

}  // namespace

VirtualEcu::VirtualEcu() {
    // An erased EEPROM until a calibration is loaded.
    for (uint32_t a = CalibrationFirstAddress; a <= CalibrationLastAddress; ++a) {
        memory[a] = 0xFF;
    }
}

void VirtualEcu::LoadCalibration(const CalibrationImage& image) {
    for (int i = 0; i < ImageSize; ++i) {
        memory[CalibrationFirstAddress + static_cast<uint32_t>(i)] = static_cast<uint8_t>(image[i]);
    }
}

CalibrationImage VirtualEcu::Calibration() const {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i) {
        image[i] = memory[CalibrationFirstAddress + static_cast<uint32_t>(i)];
    }
    return image;
}

void VirtualEcu::AnimateVariables(const MonitorFile& monitor) {
    animated_.clear();
    for (int i = 0; i < monitor.variableCount; ++i) {
        const MonitorVariable& v = monitor.variables[static_cast<size_t>(i)];
        animated_.push_back({KindOfVariable(monitor.name(i)), v.address, v.byteCount == 2});
    }
}

void VirtualEcu::AdvanceEngine(int64_t wallMs) {
    nowMs_ = wallMs;
    if (engineStartMs_ < 0) {
        engineStartMs_ = wallMs;
    }
    const double seconds = static_cast<double>(wallMs - engineStartMs_) / 1000.0;
    for (const Animated& a : animated_) {
        Store(a.address, a.twoBytes, EngineRaw(a.kind, seconds, a.twoBytes));
    }
}

void VirtualEcu::Store(uint8_t address, bool twoBytes, uint32_t raw) {
    if (twoBytes) {  // big-endian: high byte at the lower address
        memory[address] = static_cast<uint8_t>(raw >> 8);
        memory[address + 1u] = static_cast<uint8_t>(raw);
    } else {
        memory[address] = static_cast<uint8_t>(raw);
    }
}

void VirtualEcu::ClearRecords() {
    received_.clear();
    sent_.clear();
    writes_.clear();
    receivedCount_ = sentCount_ = 0;
}

bool VirtualEcu::Silent() const {
    return faults.silent ||
           (faults.silentAfterBytes >= 0 && receivedCount_ > faults.silentAfterBytes) ||
           nowMs_ < quietUntilMs_;
}

uint64_t VirtualEcu::Draw(uint64_t purpose) const {
    return Mix(faults.seed ^ Mix(static_cast<uint64_t>(receivedCount_) * 8 + purpose));
}

bool VirtualEcu::OneIn(long n, uint64_t purpose) const {
    return n > 0 && Draw(purpose) % static_cast<uint64_t>(n) == 0;
}

bool VirtualEcu::ResetDue() const {
    if (resets_ > 0) {
        return false;
    }
    const bool byCount = faults.resetAfterBytes >= 0 && receivedCount_ > faults.resetAfterBytes;
    const bool byTime =
        faults.resetAtMs >= 0 && engineStartMs_ >= 0 && nowMs_ - engineStartMs_ >= faults.resetAtMs;
    return byCount || byTime;
}

// The quiet time runs from the brown-out, also when it is noticed only at
// the next byte.
void VirtualEcu::Reset() {
    const bool byCount = faults.resetAfterBytes >= 0 && receivedCount_ > faults.resetAfterBytes;
    const int64_t at = byCount ? nowMs_ : engineStartMs_ + faults.resetAtMs;
    ++resets_;
    quietUntilMs_ = at + faults.resetQuietMs;
    pointer_ = 0;
    dataByte_ = 0;
    pendingCommand_ = -1;
    armed_ = false;
    slotAddress_.fill(0);
}

void VirtualEcu::Receive(uint8_t byte, std::vector<uint8_t>& out) {
    Record(received_, receivedCount_, byte, recordBytes);
    lastByteProgrammed_ = false;
    lastReplyLateMs_ = 0;
    if (ResetDue()) {
        Reset();
    }
    if (Silent()) {
        return;  // a dead ECU neither answers nor acts
    }
    Emit(Handle(byte), out);
    if (OneIn(faults.lateBeyondEvery, LateBeyondDraw)) {
        lastReplyLateMs_ = LateBeyondMs;
    } else if (OneIn(faults.lateEvery, LateDraw)) {
        lastReplyLateMs_ = static_cast<int64_t>(Draw(LateAmount) % (LateMaxMs + 1));
    }
}

VirtualEcu::Reply VirtualEcu::Handle(uint8_t byte) {
    if (pendingCommand_ >= 0) {
        return HandleParameter(byte);
    }
    return HandleCommand(byte);
}

VirtualEcu::Reply VirtualEcu::HandleParameter(uint8_t byte) {
    const int command = pendingCommand_;
    pendingCommand_ = -1;
    switch (command) {
        case LOAD_ADDR_HI:
            pointer_ = static_cast<uint16_t>((byte << 8) | (pointer_ & 0x00FF));
            break;
        case LOAD_ADDR_LO:
            pointer_ = static_cast<uint16_t>((pointer_ & 0xFF00) | byte);
            break;
        case LOAD_DATA:
            dataByte_ = byte;
            break;
        case PROGRAM:
            Program(byte);
            break;
        default:
            break;
    }
    return {ReplyKind::ParameterEcho, byte};
}

// 0x2B arms; 0xB2 right after an arm commits the data byte at the pointer.
// Anything else disarms, so a stray commit can never write.
void VirtualEcu::Program(uint8_t parameter) {
    const bool commit = parameter == PROGRAM_COMMIT && armed_;
    armed_ = parameter == PROGRAM_ARM;
    if (!commit || !InEeprom(pointer_)) {
        return;
    }
    lastByteProgrammed_ = true;
    if (!faults.unstoredWrites) {
        memory[pointer_] = dataByte_;
        writes_.push_back({pointer_, dataByte_});
    }
}

VirtualEcu::Reply VirtualEcu::HandleCommand(uint8_t byte) {
    if (byte != PROGRAM) {
        armed_ = false;  // the arm holds only for the PROGRAM that follows it
    }
    const size_t slot = byte & 0x0F;
    switch (byte & 0xF0) {
        case READ_SLOT:
            return {ReplyKind::Data, memory[slotAddress_[slot]]};
        case SET_SLOT:
            slotAddress_[slot] = dataByte_;
            return {ReplyKind::Echo, byte};
        case READ_SLOT_NEXT:
            return {ReplyKind::Data, memory[slotAddress_[slot] + 1u]};
        default:
            break;
    }
    switch (byte) {
        case SEND:
            return {ReplyKind::Data, memory[pointer_]};
        case SEND_INC:
            return {ReplyKind::Data, memory[pointer_++]};  // the pointer wraps at 0xFFFF
        case LOAD_ADDR_HI:
        case LOAD_ADDR_LO:
        case LOAD_DATA:
        case PROGRAM:
            pendingCommand_ = byte;
            return {ReplyKind::Echo, byte};
        default:
            return {};  // unknown commands are ignored
    }
}

void VirtualEcu::Emit(const Reply& reply, std::vector<uint8_t>& out) {
    if (reply.kind == ReplyKind::None) {
        return;
    }
    ++replies_;
    if (faults.dropReplyEvery > 0 && replies_ % faults.dropReplyEvery == 0) {
        return;
    }
    uint8_t value = reply.value;
    if (reply.kind == ReplyKind::ParameterEcho && faults.wrongEcho) {
        value = static_cast<uint8_t>(~value);
    }
    if (reply.kind != ReplyKind::Data && OneIn(faults.noiseEvery, NoiseDraw)) {
        EmitNoise(value, out);
    }
    if (reply.kind != ReplyKind::Data && faults.strayBeforeEcho) {
        Send(StrayFor(value), out);
    }
    Send(value, out);
}

void VirtualEcu::EmitNoise(uint8_t echo, std::vector<uint8_t>& out) {
    const uint64_t count = 1 + Draw(NoiseCount) % 4;
    for (uint64_t i = 0; i < count; ++i) {
        auto noise = static_cast<uint8_t>(Mix(Draw(NoiseByte) + i));
        Send(noise == echo ? static_cast<uint8_t>(noise ^ 0x80) : noise, out);
    }
}

void VirtualEcu::Send(uint8_t byte, std::vector<uint8_t>& out) {
    out.push_back(byte);
    Record(sent_, sentCount_, byte, recordBytes);
}

InProcessEcuTransport::InProcessEcuTransport(VirtualEcu& ecu, Clock& clock, AdvanceFunction advance)
    : ecu_(ecu), clock_(clock), advance_(std::move(advance)) {}

int InProcessEcuTransport::ReadByte() {
    if (readPos_ >= pending_.size()) {
        return NoByte;
    }
    const int byte = pending_[readPos_++];
    if (readPos_ == pending_.size()) {
        pending_.clear();
        readPos_ = 0;
    }
    return byte;
}

int InProcessEcuTransport::SendByte(int byte) {
    ecu_.AdvanceEngine(clock_.WallMs());
    ecu_.Receive(static_cast<uint8_t>(byte & 0xFF), pending_);
    return 0;
}

bool InProcessEcuTransport::WaitReadable(int64_t maxWaitMs) {
    if (PendingCount() > 0) {
        return true;
    }
    PassTime(maxWaitMs);
    return false;
}

void InProcessEcuTransport::PassTime(int64_t ms) {
    if (ms <= 0) {
        return;
    }
    if (advance_) {
        advance_(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

}  // namespace korvel
