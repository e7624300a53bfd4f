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

struct StatusFlags {
    uint32_t bits = 0;

    bool Test(uint32_t mask) const { return (bits & mask) != 0; }
    void Set(uint32_t mask) { bits |= mask; }
    void Clear(uint32_t mask) { bits &= ~mask; }
};

}  // namespace korvel
