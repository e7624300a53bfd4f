#pragma once
// What the program knows of the ECU's calibration block, byte by byte: each
// byte is a known value or unknown. A read or a verified write makes a byte
// known; a byte whose programming went out without its read-back is unknown,
// as it may hold the old value or the new one.

#include <array>
#include <cstdint>
#include <optional>

#include "calib/CalibrationImage.h"

namespace korvel {

class EcuBytes {
public:
    EcuBytes() { Forget(); }

    void Forget() { bytes_.fill(Unknown); }
    void Learn(int index, uint32_t value);
    void LearnAll(const CalibrationImage& ecu);
    void Unlearn(int index);

    std::optional<uint8_t> At(int index) const;
    bool AllKnown() const;
    bool NoneKnown() const;
    // A known byte differs from the image's slot (the whole slot is compared).
    bool DiffersFrom(const CalibrationImage& image) const;
    // The known bytes, with `fallback`'s slots where a byte is unknown.
    CalibrationImage Or(const CalibrationImage& fallback) const;

    bool operator==(const EcuBytes&) const = default;

private:
    static constexpr int16_t Unknown = -1;
    std::array<int16_t, ImageSize> bytes_{};
};

}  // namespace korvel
