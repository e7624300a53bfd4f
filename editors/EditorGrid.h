#pragma once
// What the curve and table editors share: entry kinds, the cells a grid
// window draws, the edit box contents and reading a typed number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/UnitScale.h"

namespace korvel {

// Which value byte of a point or table entry a column shows. The numeric
// codes are the ones the ECU tools have always used.
enum class EntryKind { Single = 0, Gasoline = 11, Lp = 12 };

// Bytes per point or entry: 2 for Single, else 3.
int EntrySize(EntryKind kind);
// Offset of the shown value byte from the point's or entry's first byte.
int ValueOffset(EntryKind kind);

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

// The grid position of a click, kept until the next layout resolves it.
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

// Moves a model's selection to the next editable cell in `direction`;
// `positions[i]` is where `targets[i]` is shown. False at the grid's edge.
template <typename Target>
bool MoveSelection(const std::vector<ClickPosition>& positions, const std::vector<Target>& targets,
                   std::optional<ClickPosition>& click, std::optional<Target>& selection,
                   Direction direction) {
    const std::optional<size_t> next =
        NextEditable(positions, selection ? click : std::nullopt, direction);
    if (!next) {
        return false;
    }
    click = positions[*next];
    selection = targets[*next];
    return true;
}

// printf of one engineering value: `format` applied to RawToUnits(raw, scale).
std::string FormatUnits(const char* format, uint32_t raw, UnitScale scale);

// The number in an edit box: the first 9 characters read the way atof does.
// Nullopt when they hold no number (empty, blanks, letters, not-a-number):
// such an entry stores nothing. The value is held within +-1e6, far beyond
// every scale's range, so the conversion to a byte never overflows.
std::optional<float> ParseEntry(std::string_view text);

}  // namespace korvel
