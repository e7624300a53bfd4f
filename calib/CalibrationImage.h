#pragma once
// The working copy of the ECU's calibration block (EEPROM 0x0E00..0x0FFF),
// its pointer table, the bounded row-list and curve walks, and the one
// operation that moves data inside it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel {

constexpr uint32_t ImageBaseAddress = 0x0E00;
constexpr int ImageSize = 512;
constexpr uint32_t FreeByte = 0xFF;

// Fixed pointer slots of the pointer table.
constexpr int VeTableSlot = 3;
constexpr int PositionRpmCurveSlot = 5;
constexpr int TempRpmCurveSlot = 7;
constexpr int AirCorCurveSlot = 9;
constexpr int BCurveSlot = 11;
constexpr int ACurveSlot = 13;
constexpr int SparkTableSlot = 15;
constexpr int UnnamedRegionSlot = 17;
constexpr int SecondRowListSlot = 19;

// A row list never has more rows than this (the editors' grid limit).
constexpr int MaxTableRows = 100;

// 512 unsigned 32-bit slots; slot i holds the byte at ECU address 0x0E00 + i.
// Slots normally hold 0..255, but the constants dialogs and data files may
// store larger numbers, and every transfer keeps the whole slot value.
struct CalibrationImage {
    std::array<uint32_t, ImageSize> values{};  // not "slots": that is a Qt keyword

    uint32_t& operator[](int index) { return values[static_cast<size_t>(index)]; }
    uint32_t operator[](int index) const { return values[static_cast<size_t>(index)]; }
    static bool InRange(int index) { return index >= 0 && index < ImageSize; }
};

// Image index named by the 16-bit big-endian pointer at `pointerSlot`:
// image[s] * 256 + image[s + 1] - 0x0E00. May lie outside 0..511 (for example
// -3584 before anything is loaded); callers check with InRange.
int PointerTarget(const CalibrationImage& image, int pointerSlot);

// 16-bit big-endian number at index (high) and index + 1 (low).
uint32_t Read16(const CalibrationImage& image, int index);
void Write16(CalibrationImage& image, int index, uint32_t value);

// One row of a row-list table: the row starts at `start` (rowKey), its
// nextRow link is at start + 1, and `entries` holds the index of each entry's
// mapKey, the closing 0xFF entry included.
struct TableRow {
    int start = 0;
    std::vector<int> entries;
};

// Result of a bounded walk. `broken` is set when the structure leaves the
// image, misses a terminator, has more than MaxTableRows rows or links back
// on itself; the rows or points found inside the image up to that point are
// still returned.
struct RowListWalk {
    std::vector<TableRow> rows;
    bool broken = false;
};

struct CurveWalk {
    std::vector<int> points;  // image index of each point's x byte
    bool broken = false;
};

// Walks the row list whose first row is the PointerTarget of `pointerSlot`.
RowListWalk WalkRowList(const CalibrationImage& image, int pointerSlot, int entrySize);

// Walks the curve whose first point is the PointerTarget of `pointerSlot`.
// The curve ends before the first point other than the first whose x is 0.
CurveWalk WalkCurve(const CalibrationImage& image, int pointerSlot, int pointSize);

enum class InsertResult {
    Inserted,
    NotApplicable,  // nothing changed, nothing to report
    TableFull,      // nothing changed; the caller shows "Row cannot be added" / "Table Full"
};

// Duplicates the point whose x byte is at `selectedIndex` directly behind it
// with x + 1, moves the rest of the image up by `pointSize` (taking the room
// from the free bytes at the end), and corrects the pointers behind the
// curve's own pointer and the row links of the tables at `rowListSlot` and
// SecondRowListSlot (no links when `rowListSlot` is 0).
InsertResult InsertCurvePoint(CalibrationImage& image, int curvePointerSlot, int pointSize,
                              int selectedIndex, int rowListSlot);

}  // namespace korvel
