#pragma once
// The program-wide flags word that carries state between idle steps and
// between subsystems. Bits 2 and 12..31 are never used.

#include <cstdint>

namespace korvel {

enum StatusBit : uint32_t {
    EcuOnLine = 0x001,          // the ECU answered the probe and has not failed since
    ReplyPending = 0x002,       // a non-blocking request was sent; its reply is awaited
    ProbeEchoed = 0x008,        // the probe's 0x02 was echoed; 0x2B is next
    StepDone = 0x010,           // a slot bound, or a variable completely read
    DataEchoed = 0x020,         // slot loading: LOAD_DATA echoed; the address is next
    AddressEchoed = 0x040,      // slot loading: the address echoed; SET_SLOT is next
    SecondBytePending = 0x080,  // a two-byte variable has its high byte
    DataLoaded = 0x100,         // the image holds uploaded, downloaded or opened data
    MonitorLoaded = 0x200,      // a monitor file has been read
    SlotsLoaded = 0x400,        // every slot of the current list is bound
    IdleStepTaken = 0x800,      // one unit of idle work finished in this call
};

// A bit that code outside the AcquisitionScheduler may change: only
// DataLoaded and MonitorLoaded. Naming any other bit does not compile.
struct ProgramBit {
    consteval ProgramBit(StatusBit bit) : mask(bit) {
        if (bit != DataLoaded && bit != MonitorLoaded) {
            throw "the ECU exchange bits change only in the AcquisitionScheduler";
        }
    }
    uint32_t mask;
};

// Everyone reads the flags; the bits that describe the ECU exchange (EcuOnLine
// included: see AcquisitionScheduler::RestartFromProbe) change only in the
// scheduler, so they always agree with its own state.
class StatusFlags {
public:
    StatusFlags() = default;
    StatusFlags(const StatusFlags&) = default;  // a snapshot, e.g. for command enabling
    StatusFlags& operator=(const StatusFlags&) = delete;

    constexpr bool Test(uint32_t mask) const { return (bits_ & mask) != 0; }
    constexpr uint32_t Bits() const { return bits_; }
    void Set(ProgramBit bit) { bits_ |= bit.mask; }
    void Clear(ProgramBit bit) { bits_ &= ~bit.mask; }

private:
    friend class AcquisitionScheduler;
    void SetBits(uint32_t mask) { bits_ |= mask; }
    void ClearBits(uint32_t mask) { bits_ &= ~mask; }

    uint32_t bits_ = 0;
};

}  // namespace korvel
