#pragma once
// The one map of the calibration's layout: the curves and row-list tables
// that the pointer slots name, with the units and formats of their bytes,
// and the constants at fixed slots with their forms and names. The editors,
// the constants dialogs and the byte names all read it.

#include <cstdint>
#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/UnitScale.h"

namespace korvel {

// Which value byte of a point or table entry a column shows. The numeric
// codes are the ones the ECU tools have always used.
enum class EntryKind { Single = 0, Gasoline = 11, Lp = 12 };

// Bytes per point or entry: 2 for Single, else 3.
int EntrySize(EntryKind kind);
// Offset of the shown value byte from the point's or entry's first byte.
int ValueOffset(EntryKind kind);

// How a byte is shown: printf `format` of RawToUnits(byte, scale).
struct UnitsFormat {
    const char* format;
    UnitScale scale;
};

// A curve: points of an x byte and one or two y bytes from the pointer's target.
struct CurveMap {
    const char* name;    // "RPM curve (position)"
    const char* lpName;  // the second y byte of three-byte points ("B Curve (LP)"), or nullptr
    int pointerSlot;
    int pointSize;
    const char* xName;  // what x is ("Position", "Temp")
    const char* yName;  // what y is ("RPM", "B Curve")
    UnitsFormat x;
    UnitsFormat y;
    int linkedSlot;  // first row list whose links an inserted point corrects
};

// A row-list table: one row per engine speed key, entries keyed by MAP.
struct TableMap {
    const char* name;    // "VE Table"
    const char* lpName;  // the second value byte of three-byte entries, or nullptr
    int pointerSlot;
    int entrySize;
    UnitsFormat rowKey;  // across: the engine speed breakpoint byte
    UnitsFormat mapKey;  // up the side: the manifold pressure key
    UnitsFormat value;
};

// How a constant's number maps onto its slots.
enum class ConstantForm {
    Byte,       // one slot, unchanged
    RpmPreset,  // one slot in units of 20 rpm
    Word16,     // big-endian: high byte at `slot`, low byte at `slot` + 1
};

struct ConstantMap {
    const char* group;  // "RPM Presets", "AE / MIS", "Governor"
    const char* name;   // "RPM A", "Gasoline AE Decay", "LMLR KP"
    int slot;
    ConstantForm form;
};

struct CalibrationMap {
    std::vector<TableMap> tables;        // in pointer-slot order
    std::vector<CurveMap> curves;        // in pointer-slot order
    std::vector<ConstantMap> constants;  // in slot order

    // The entries at a pointer slot or constant slot; nullptr when none.
    const TableMap* Table(int pointerSlot) const;
    const CurveMap* Curve(int pointerSlot) const;
    const ConstantMap* Constant(int slot) const;
};

// The pointer table ends before the first constant (the AE constants).
constexpr int FirstConstantIndex = 46;

const CalibrationMap& Layout();

// A constant as the dialogs show it, and storing an entered number: unsigned
// 32-bit arithmetic throughout, since slots may hold numbers above 255.
uint32_t ConstantValue(const CalibrationImage& image, const ConstantMap& constant);
void StoreConstant(CalibrationImage& image, const ConstantMap& constant, uint32_t value);
// The largest number a constant's slots hold: a byte, a byte of 20 rpm
// steps, or two bytes.
uint32_t ConstantMaximum(ConstantForm form);

}  // namespace korvel
