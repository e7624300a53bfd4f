#include "calib/EcuBytes.h"

#include <algorithm>

namespace korvel {

void EcuBytes::Learn(int index, uint32_t value) {
    if (CalibrationImage::InRange(index)) {
        bytes_[static_cast<size_t>(index)] = static_cast<int16_t>(value & 0xFF);
    }
}

void EcuBytes::LearnAll(const CalibrationImage& ecu) {
    for (int i = 0; i < ImageSize; ++i) {
        Learn(i, ecu[i]);
    }
}

void EcuBytes::Unlearn(int index) {
    if (CalibrationImage::InRange(index)) {
        bytes_[static_cast<size_t>(index)] = Unknown;
    }
}

std::optional<uint8_t> EcuBytes::At(int index) const {
    if (!CalibrationImage::InRange(index) || bytes_[static_cast<size_t>(index)] == Unknown) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(bytes_[static_cast<size_t>(index)]);
}

bool EcuBytes::AllKnown() const {
    return std::none_of(bytes_.begin(), bytes_.end(), [](int16_t b) { return b == Unknown; });
}

bool EcuBytes::NoneKnown() const {
    return std::all_of(bytes_.begin(), bytes_.end(), [](int16_t b) { return b == Unknown; });
}

bool EcuBytes::DiffersFrom(const CalibrationImage& image) const {
    for (int i = 0; i < ImageSize; ++i) {
        const int16_t b = bytes_[static_cast<size_t>(i)];
        if (b != Unknown && static_cast<uint32_t>(b) != image[i]) {
            return true;
        }
    }
    return false;
}

CalibrationImage EcuBytes::Or(const CalibrationImage& fallback) const {
    CalibrationImage out = fallback;
    for (int i = 0; i < ImageSize; ++i) {
        if (const auto b = At(i)) {
            out[i] = *b;
        }
    }
    return out;
}

}  // namespace korvel
