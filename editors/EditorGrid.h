#pragma once
// What the curve and table editors share: the cells a grid window draws,
// the edit box contents, key moves and reading a typed number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calib/CalibrationMap.h"

namespace korvel {

// A cell of the logical grid; line 0 is the bottom line (a table's MAP key 0,
// a curve's first point), higher lines are drawn above it.
struct GridPos {
    int column = 0;
    int line = 0;
    bool operator==(const GridPos&) const = default;
};

// How a piece of grid text is coloured.
enum class CellRole {
    Selected,  // red: the selected cell
    X,         // dark green: a curve's x value
    Y,         // black: a curve's y value or a table value
    Header,    // blue: a table's engine-speed header
    Label,     // blue: MAP labels and the labels under curve columns
    Mark,      // red: the "MAP" and "RPM" marks of a table
};

// One piece of text at a text position (column, line). Value cells carry the
// image index of their byte; labels, headers and marks carry -1.
struct GridCell {
    int column = 0;
    int line = 0;
    std::string text;
    CellRole role = CellRole::Label;
    int index = -1;
    bool isX = false;
};

// What the edit box shows for a selected cell. `armed`: the value may be
// changed and the whole text is selected; an end x value is shown unarmed.
struct EditBoxFill {
    std::string text;
    bool armed = false;
};

// A text position of a cell, for key moves.
struct ClickPosition {
    int column = 0;
    int line = 0;
};

// A key move of the selection; up is toward smaller line numbers.
enum class Direction { Left, Right, Up, Down };

// The nearest of `editable` from `from` in `direction`: on the same line for
// Left and Right, in the same column for Up and Down; nullopt at the grid's
// edge. With no `from`, the first editable cell: the bottom line's leftmost.
std::optional<size_t> NextEditable(const std::vector<ClickPosition>& editable,
                                   std::optional<ClickPosition> from, Direction direction);

// printf of one engineering value: `format` applied to RawToUnits(raw, scale).
std::string FormatUnits(const char* format, uint32_t raw, UnitScale scale);
// The same without the blanks around it: "1400", "30.8".
std::string TrimmedUnits(const char* format, uint32_t raw, UnitScale scale);
// Blanks (spaces, tabs, line ends) taken off both ends.
std::string Trimmed(std::string text);

// The number in an edit box: the first 9 characters read the way atof does.
// Nullopt when they hold no number (empty, blanks, letters, not-a-number):
// such an entry stores nothing. The value is held within +-1e6, far beyond
// every scale's range, so the conversion to a byte never overflows.
std::optional<float> ParseEntry(std::string_view text);

}  // namespace korvel
