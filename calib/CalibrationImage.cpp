#include "calib/CalibrationImage.h"

#include <bitset>
#include <cstdint>

namespace korvel {

namespace {

// Together the row lists of the spark table and the second table may carry at
// most this many links for InsertCurvePoint to correct.
constexpr size_t MaxNotedLinks = 99;

// A slot read that never leaves the image: indices outside read as 0.
uint32_t At(const CalibrationImage& image, int index) {
    return CalibrationImage::InRange(index) ? image[index] : 0;
}

// Index named by the big-endian ECU address at `index`, computed wide so that
// oversized slot values cannot overflow; anything unrepresentable is -1.
int AddressTarget(const CalibrationImage& image, int index) {
    if (!CalibrationImage::InRange(index) || !CalibrationImage::InRange(index + 1)) {
        return -1;
    }
    const int64_t target = static_cast<int64_t>(image[index]) * 256 + image[index + 1] -
                           static_cast<int64_t>(ImageBaseAddress);
    return (target < INT32_MIN || target > INT32_MAX) ? -1 : static_cast<int>(target);
}

// The chain of row starts of a row list, following nextRow links only.
struct RowChain {
    std::vector<int> starts;
    bool broken = false;
};

RowChain WalkRowChain(const CalibrationImage& image, int pointerSlot) {
    RowChain chain;
    std::bitset<ImageSize> visited;
    int row = PointerTarget(image, pointerSlot);
    for (;;) {
        // The row key and both nextRow bytes must lie inside the image.
        if (!CalibrationImage::InRange(row) || !CalibrationImage::InRange(row + 2) ||
            visited.test(static_cast<size_t>(row)) ||
            chain.starts.size() == static_cast<size_t>(MaxTableRows)) {
            chain.broken = true;
            return chain;
        }
        visited.set(static_cast<size_t>(row));
        chain.starts.push_back(row);
        if (image[row + 1] == 0) {
            return chain;  // a nextRow high byte of 0 marks the last row
        }
        row = AddressTarget(image, row + 1);
    }
}

// Collects the entries of the row at `start` up to and including the 0xFF
// entry; false when an entry would reach outside the image.
bool WalkEntries(const CalibrationImage& image, int start, int entrySize, TableRow& row) {
    for (int entry = start + 3;; entry += entrySize) {
        if (!CalibrationImage::InRange(entry) ||
            !CalibrationImage::InRange(entry + entrySize - 1)) {
            return false;
        }
        row.entries.push_back(entry);
        if (image[entry] == FreeByte) {
            return true;
        }
    }
}

void AddWithCarry(CalibrationImage& image, int high, uint32_t amount, bool keepHighByte) {
    image[high + 1] += amount;
    if (image[high + 1] >= 256) {
        image[high + 1] &= 0xFF;
        if (!keepHighByte) {
            image[high] += 1;
        }
    }
}

// Pointers behind the curve's own, up to the first high byte of 0. The whole
// table must lie in front of the selected point (so the shift leaves it where
// it is), and every pointer must name an index inside the image behind the
// curve's end byte, which is data the shift moves.
bool PointerTableIsSound(const CalibrationImage& image, int curvePointerSlot, int selectedIndex,
                         int curveEnd) {
    for (int k = curvePointerSlot + 2;; k += 2) {
        if (!CalibrationImage::InRange(k) || k >= selectedIndex) {
            return false;
        }
        if (image[k] == 0) {
            return true;
        }
        if (k + 1 >= selectedIndex) {
            return false;
        }
        const int target = PointerTarget(image, k);
        if (!CalibrationImage::InRange(target) || target <= curveEnd) {
            return false;
        }
    }
}

// Notes the nextRow field of every row of the linked row lists before the
// shift. Each must lie behind the curve's end byte (so the shift moves it) and
// stay inside the image once moved; a row shared by both lists would be
// corrected twice.
bool NoteRowLinks(const CalibrationImage& image, int rowListSlot, int curveEnd, int pointSize,
                  std::vector<int>& links) {
    std::bitset<ImageSize> noted;
    for (int slot : {rowListSlot, SecondRowListSlot}) {
        const RowChain chain = WalkRowChain(image, slot);
        if (chain.broken) {
            return false;
        }
        for (int start : chain.starts) {
            if (start <= curveEnd || start + 2 + pointSize >= ImageSize ||
                noted.test(static_cast<size_t>(start))) {
                return false;
            }
            noted.set(static_cast<size_t>(start));
            links.push_back(start + 1);
        }
    }
    return links.size() <= MaxNotedLinks;
}

bool CurveHasPoint(const CalibrationImage& image, int curvePointerSlot, int pointSize,
                   int selectedIndex, int& curveEnd) {
    const CurveWalk walk = WalkCurve(image, curvePointerSlot, pointSize);
    if (walk.broken) {
        return false;
    }
    curveEnd = walk.points.back() + pointSize;
    for (int point : walk.points) {
        if (point == selectedIndex) {
            return true;
        }
    }
    return false;
}

bool FreeSpaceAtEnd(const CalibrationImage& image, int pointSize) {
    for (int b = ImageSize - 1; b >= ImageSize - pointSize; --b) {
        if (image[b] != FreeByte) {
            return false;
        }
    }
    return true;
}

}  // namespace

int PointerTarget(const CalibrationImage& image, int pointerSlot) {
    return AddressTarget(image, pointerSlot);
}

uint32_t Read16(const CalibrationImage& image, int index) {
    return At(image, index) * 256 + At(image, index + 1);
}

void Write16(CalibrationImage& image, int index, uint32_t value) {
    if (CalibrationImage::InRange(index) && CalibrationImage::InRange(index + 1)) {
        image[index] = (value >> 8) & 0xFF;
        image[index + 1] = value & 0xFF;
    }
}

RowListWalk WalkRowList(const CalibrationImage& image, int pointerSlot, int entrySize) {
    RowListWalk walk;
    if (entrySize < 1) {
        walk.broken = true;
        return walk;
    }
    const RowChain chain = WalkRowChain(image, pointerSlot);
    walk.broken = chain.broken;
    for (int start : chain.starts) {
        TableRow row{start, {}};
        const bool complete = WalkEntries(image, start, entrySize, row);
        walk.rows.push_back(std::move(row));
        if (!complete) {
            walk.broken = true;  // the last row returned stops at the image's end
            break;
        }
    }
    return walk;
}

CurveWalk WalkCurve(const CalibrationImage& image, int pointerSlot, int pointSize) {
    CurveWalk walk;
    if (pointSize < 1) {
        walk.broken = true;
        return walk;
    }
    for (int point = PointerTarget(image, pointerSlot);; point += pointSize) {
        // Past the first point, an x byte of 0 is the end byte, not a point.
        if (!walk.points.empty() && CalibrationImage::InRange(point) && image[point] == 0) {
            return walk;
        }
        if (!CalibrationImage::InRange(point) ||
            !CalibrationImage::InRange(point + pointSize - 1)) {
            walk.broken = true;
            return walk;
        }
        walk.points.push_back(point);
    }
}

// Validates everything it will touch before changing a byte: the selection
// must be the x byte of a point found by the curve's own bounded walk, and the
// pointers and row links it corrects must name data that the shift moves.
InsertResult InsertCurvePoint(CalibrationImage& image, int curvePointerSlot, int pointSize,
                              int selectedIndex, int rowListSlot) {
    if (selectedIndex == 0 || pointSize <= 0 || pointSize > ImageSize ||
        !CalibrationImage::InRange(selectedIndex) || image[selectedIndex] == FreeByte) {
        return InsertResult::NotApplicable;
    }
    int curveEnd = 0;
    if (!CurveHasPoint(image, curvePointerSlot, pointSize, selectedIndex, curveEnd)) {
        return InsertResult::NotApplicable;
    }
    if (!FreeSpaceAtEnd(image, pointSize)) {
        return InsertResult::TableFull;
    }
    std::vector<int> links;
    if (!PointerTableIsSound(image, curvePointerSlot, selectedIndex, curveEnd) ||
        (rowListSlot != 0 && !NoteRowLinks(image, rowListSlot, curveEnd, pointSize, links))) {
        return InsertResult::NotApplicable;
    }

    for (int b = ImageSize - 1; b >= selectedIndex + pointSize; --b) {
        image[b] = image[b - pointSize];
    }
    image[selectedIndex + pointSize] += 1;
    const auto amount = static_cast<uint32_t>(pointSize);
    for (int k = curvePointerSlot + 2; image[k] != 0; k += 2) {
        AddWithCarry(image, k, amount, false);
    }
    for (int link : links) {
        const int p = link + pointSize;
        // A last row's high byte of 0 is its end mark: it never takes a carry.
        AddWithCarry(image, p, amount, image[p] == 0);
    }
    return InsertResult::Inserted;
}

}  // namespace korvel
