#pragma once
// The one result of every ECU exchange, from a single primitive to a whole
// transfer: ok(), or which step failed, in which phase, at which address.

#include <cstdint>
#include <optional>

namespace korvel {

// The exchange that did not complete, named after what it carries.
enum class LinkStep : uint8_t {
    None,          // nothing failed
    AddressRange,  // refused before sending: no address, or beyond 0xFFFF
    EepromRange,   // refused before sending: outside the calibration EEPROM
    Address,       // LOAD_ADDR_HI / LOAD_ADDR_LO and their parameters
    ReadData,      // SEND or SEND_INC and the data byte it answers with
    LoadData,      // LOAD_DATA and its parameter
    Arm,           // PROGRAM 0x2B
    Commit,        // PROGRAM 0xB2
    Verify,        // the byte read back after programming is not the one written
    Cancelled,     // the user stopped the transfer between two bytes
};

// Where within the step the time ran out.
enum class LinkPhase : uint8_t {
    None,  // no time-out: an ok result, a refused address, a read-back
           // that differs or a cancelled transfer
    Send,  // the port did not take the byte
    Wait,  // its echo or the data byte did not arrive
};

struct [[nodiscard]] LinkResult {
    LinkStep step = LinkStep::None;
    LinkPhase phase = LinkPhase::None;
    // What the failing step worked on, as far as the one reporting it knew.
    std::optional<uint32_t> address;
    std::optional<uint32_t> written;  // the value being programmed
    std::optional<uint32_t> read;     // the value the ECU answered with

    static LinkResult Ok() { return {}; }
    static LinkResult Failed(LinkStep step, LinkPhase phase) {
        LinkResult failed;
        failed.step = step;
        failed.phase = phase;
        return failed;
    }

    bool ok() const { return step == LinkStep::None; }

    // Names the address of a failure that does not carry one yet; an ok
    // result stays ok and empty.
    LinkResult& At(uint32_t ecuAddress) {
        if (!ok() && !address) {
            address = ecuAddress;
        }
        return *this;
    }
};

}  // namespace korvel
