#pragma once
// Small calibration images for the editor tests: regions placed one after
// another behind the fixed constants, pointers set, free bytes at the end.

#include <vector>

#include "calib/CalibrationImage.h"

namespace korvel::test {

using Bytes = std::vector<uint32_t>;

struct SampleRow {
    uint32_t key;
    std::vector<Bytes> entries;  // the last one has map key 0xFF
};

class ImageBuilder {
public:
    // A curve: the points, then the end byte 0.
    int Curve(int slot, const std::vector<Bytes>& points) {
        const int start = Point(slot);
        for (const Bytes& p : points) {
            Put(p);
        }
        Put({0});
        return start;
    }

    // A row list, rows linked in order; the last row's link stays 0.
    int RowList(int slot, const std::vector<SampleRow>& rows) {
        const int start = Point(slot);
        for (size_t r = 0; r < rows.size(); ++r) {
            const int row = cursor_;
            Put({rows[r].key, 0, 0});
            for (const Bytes& e : rows[r].entries) {
                Put(e);
            }
            if (r + 1 < rows.size()) {
                Write16(image_, row + 1, ImageBaseAddress + static_cast<uint32_t>(cursor_));
            }
        }
        return start;
    }

    CalibrationImage Build() {
        for (int i = cursor_; i < ImageSize; ++i) {
            image_[i] = FreeByte;
        }
        return image_;
    }

private:
    int Point(int slot) {
        Write16(image_, slot, ImageBaseAddress + static_cast<uint32_t>(cursor_));
        return cursor_;
    }
    void Put(const Bytes& bytes) {
        for (uint32_t b : bytes) {
            image_[cursor_++] = b;
        }
    }

    CalibrationImage image_{};
    int cursor_ = 104;  // behind the last fixed constant
};

// Every region of a full image, in pointer-slot order.
inline CalibrationImage SampleImage() {
    ImageBuilder b;
    b.RowList(VeTableSlot, {{20, {{0, 50, 60}, {40, 55, 65}, {0xFF, 70, 80}}},
                            {40, {{0, 51, 61}, {100, 57, 67}, {0xFF, 71, 81}}},
                            {60, {{0, 52, 62}, {40, 58, 68}, {0xFF, 72, 82}}}});
    b.Curve(PositionRpmCurveSlot, {{0, 40}, {100, 60}, {255, 75}});
    b.Curve(TempRpmCurveSlot, {{0, 90}, {40, 80}, {50, 75}, {60, 70}, {255, 50}});
    b.Curve(AirCorCurveSlot, {{0, 100}, {50, 110}, {255, 120}});
    b.Curve(BCurveSlot, {{0, 10, 20}, {100, 30, 40}, {255, 50, 60}});
    b.Curve(ACurveSlot, {{0, 10}, {50, 20}, {255, 30}});
    b.RowList(SparkTableSlot, {{20, {{0, 10}, {80, 20}, {0xFF, 30}}}, {40, {{0, 11}, {0xFF, 31}}}});
    b.Curve(UnnamedRegionSlot, {{7, 7}});
    b.RowList(SecondRowListSlot, {{5, {{0xFF, 1}}}});
    return b.Build();
}

}  // namespace korvel::test
