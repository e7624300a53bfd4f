#pragma once
// Small calibration images for the editor tests: regions placed one after
// another behind the fixed constants, pointers set, free bytes at the end.

#include <algorithm>
#include <vector>

#include "calib/CalibrationImage.h"

namespace korvel::test {

using Bytes = std::vector<uint32_t>;

class ImageBuilder {
public:
    ImageBuilder() { std::fill(image.values.begin() + cursor_, image.values.end(), FreeByte); }

    // Bytes that `slot` points to (a curve: its points, then the end byte 0).
    int Region(int slot, const Bytes& bytes) {
        Write16(image, slot, ImageBaseAddress + static_cast<uint32_t>(cursor_));
        const int start = cursor_;
        for (uint32_t b : bytes) {
            image[cursor_++] = b;
        }
        return start;
    }

    // A row list: each row is its key, then its entries (the last with map
    // key 0xFF); rows are linked in order, the last row's link stays 0.
    int RowList(int slot, const std::vector<Bytes>& rows) {
        const int start = cursor_;
        for (Bytes row : rows) {
            row.insert(row.begin() + 1, 2, 0);  // the link, set by the next row
            slot = Region(slot, row) + 1;
        }
        return start;
    }

    CalibrationImage image{};  // bytes behind the last region are free

private:
    int cursor_ = 104;  // behind the last fixed constant
};

// Every region of a full image, in pointer-slot order.
inline CalibrationImage SampleImage() {
    ImageBuilder b;
    b.RowList(VeTableSlot, {{20, 0, 50, 60, 40, 55, 65, 0xFF, 70, 80},
                            {40, 0, 51, 61, 100, 57, 67, 0xFF, 71, 81},
                            {60, 0, 52, 62, 40, 58, 68, 0xFF, 72, 82}});
    b.Region(PositionRpmCurveSlot, {0, 40, 100, 60, 255, 75, 0});
    b.Region(TempRpmCurveSlot, {0, 90, 40, 80, 50, 75, 60, 70, 255, 50, 0});
    b.Region(AirCorCurveSlot, {0, 100, 50, 110, 255, 120, 0});
    b.Region(BCurveSlot, {0, 10, 20, 100, 30, 40, 255, 50, 60, 0});
    b.Region(ACurveSlot, {0, 10, 50, 20, 255, 30, 0});
    b.RowList(SparkTableSlot, {{20, 0, 10, 80, 20, 0xFF, 30}, {40, 0, 11, 0xFF, 31}});
    b.Region(UnnamedRegionSlot, {7, 7, 0});
    b.RowList(SecondRowListSlot, {{5, 0xFF, 1}});
    return b.image;
}

}  // namespace korvel::test
