#pragma once
// Builds calibration images from a description of their regions, so that a
// test can state the expected image after an insertion as a second layout.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "calib/CalibrationImage.h"

namespace korvel::test {

struct LayoutRow {
    uint32_t key = 0;
    std::vector<uint32_t> entries;  // all entry bytes, the 0xFF entry included
};

// Point sizes of the curves at pointer slots 5, 7, 9, 11 and 13.
constexpr std::array<int, 5> CurvePointSizes{2, 2, 2, 3, 2};

struct ImageLayout {
    int start = 104;  // index of the first region (the VE table)
    std::vector<LayoutRow> ve, spark, second;
    std::array<std::vector<uint32_t>, 5> curves;  // point bytes, end byte not included
    std::vector<uint32_t> region17;
    uint32_t lastLinkLow = 0;  // low byte of the last nextRow of the tables at 15 and 19

    // The image, or nothing when the regions do not fit; `end` receives the
    // index behind the last region.
    std::optional<CalibrationImage> Build(int* end = nullptr) const {
        CalibrationImage image;
        for (int i = 0; i < ImageSize; ++i) {
            image[i] = static_cast<uint32_t>(i * 37 + 11) & 0x7F;  // recognisable, never 0xFF
        }
        image[21] = 0;  // the pointer table ends at slot 21
        int pos = start;
        auto put = [&](uint32_t value) {
            if (pos < ImageSize) {
                image[pos] = value;
            }
            ++pos;
        };
        auto pointTo = [&](int slot) { Write16(image, slot, ImageBaseAddress + pos); };
        auto rows = [&](int slot, const std::vector<LayoutRow>& list, uint32_t endLow) {
            pointTo(slot);
            for (size_t r = 0; r < list.size(); ++r) {
                const uint32_t next = static_cast<uint32_t>(pos + 3 + list[r].entries.size());
                put(list[r].key);
                const bool last = r + 1 == list.size();
                put(last ? 0 : (ImageBaseAddress + next) >> 8);
                put(last ? endLow : (ImageBaseAddress + next) & 0xFF);
                for (uint32_t b : list[r].entries) {
                    put(b);
                }
            }
        };
        rows(VeTableSlot, ve, 0);  // the VE table's links never move
        for (size_t c = 0; c < curves.size(); ++c) {
            pointTo(PositionRpmCurveSlot + 2 * static_cast<int>(c));
            for (uint32_t b : curves[c]) {
                put(b);
            }
            put(0);
        }
        rows(SparkTableSlot, spark, lastLinkLow);
        pointTo(UnnamedRegionSlot);
        for (uint32_t b : region17) {
            put(b);
        }
        rows(SecondRowListSlot, second, lastLinkLow);
        if (end != nullptr) {
            *end = pos;
        }
        if (pos > ImageSize) {
            return std::nullopt;
        }
        while (pos < ImageSize) {
            put(FreeByte);
        }
        return image;
    }
};

}  // namespace korvel::test
