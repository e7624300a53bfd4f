#pragma once
// Blocks of cells as text, to and from a spreadsheet: tab-separated, with a
// label row and a label column, blank cells as empty fields.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// A copied block: `cells` holds one text per cell, line by line from the
// top, each line `columnKeys.size()` long; an empty text is a blank cell.
struct CopiedBlock {
    std::string corner;  // the field above the line keys ("MAP/RPM", "Temp")
    std::vector<std::string> columnKeys;
    std::vector<std::string> lineKeys;  // from the top line down
    std::vector<std::vector<std::string>> cells;
};

// The block as text: the corner and column keys on the first line, then one
// line per grid line, its key first; fields separated by tabs, lines ended
// by a line feed.
std::string FormatBlock(const CopiedBlock& block);

// A block of numbers read back: `lines` lines of `columns` values, from the
// top line down; nullopt where the field was empty.
struct PastedBlock {
    int columns = 0;
    int lines = 0;
    std::vector<std::optional<double>> values;  // line * columns + column

    std::optional<double> At(int column, int line) const;
};

struct PasteReading {
    std::optional<PastedBlock> block;
    std::string problem;  // why there is no block
};

// The most lines and fields per line a block may have (a table has at most
// 256 lines and 100 columns; one more for the labels).
constexpr int MaxPastedLines = 257;
constexpr int MaxPastedFields = 257;

// Reads pasted text. Fields are separated by tabs when the text has any,
// else by commas when it has any, else by runs of spaces; numbers use '.'
// for decimals. A first field that is empty or not a number marks the label
// row and column, which are skipped. Lines shorter than the longest are
// blank at their end; blank lines and columns at the end are dropped. Anything else that
// is not a number, or a block without a value, is a problem.
PasteReading ParseBlock(std::string_view text);

}  // namespace korvel
