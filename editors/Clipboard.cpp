#include "editors/Clipboard.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "editors/EditorGrid.h"

namespace korvel {

namespace {

constexpr size_t QuotedChars = 20;

// A whole field as a number ('.' decimals, an optional sign, an exponent);
// nullopt for anything else, infinities and not-a-number included.
std::optional<double> FieldNumber(const std::string& field) {
    std::string_view text = field;
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    while (!lines.empty() && Trimmed(lines.back()).empty()) {
        lines.pop_back();
    }
    return lines;
}

// Fields between `separator`s, blanks around each taken off; a separator of
// ' ' splits at runs of blanks instead.
std::vector<std::string> SplitFields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    if (separator == ' ') {
        size_t at = line.find_first_not_of(" \t");
        while (at != std::string::npos) {
            const size_t end = line.find_first_of(" \t", at);
            fields.push_back(line.substr(at, end == std::string::npos ? end : end - at));
            at = end == std::string::npos ? end : line.find_first_not_of(" \t", end);
        }
        return fields;
    }
    size_t start = 0;
    for (;;) {
        const size_t end = line.find(separator, start);
        fields.push_back(Trimmed(line.substr(start, end == std::string::npos ? end : end - start)));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

char Separator(std::string_view text) {
    if (text.find('\t') != std::string_view::npos) {
        return '\t';
    }
    return text.find(',') != std::string_view::npos ? ',' : ' ';
}

PasteReading Problem(std::string text) {
    return {std::nullopt, std::move(text)};
}

}  // namespace

std::string FormatBlock(const CopiedBlock& block) {
    std::string text = block.corner;
    for (const std::string& key : block.columnKeys) {
        text += "\t" + key;
    }
    text += "\n";
    for (size_t l = 0; l < block.cells.size(); ++l) {
        text += l < block.lineKeys.size() ? block.lineKeys[l] : std::string();
        for (const std::string& cell : block.cells[l]) {
            text += "\t" + cell;
        }
        text += "\n";
    }
    return text;
}

std::optional<double> PastedBlock::At(int column, int line) const {
    if (column < 0 || column >= columns || line < 0 || line >= lines) {
        return std::nullopt;
    }
    return values[static_cast<size_t>(line * columns + column)];
}

PasteReading ParseBlock(std::string_view text) {
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.size() > static_cast<size_t>(MaxPastedLines)) {
        return Problem("The block has " + std::to_string(lines.size()) +
                       " lines: no table has that many.");
    }
    const char separator = Separator(text);
    std::vector<std::vector<std::string>> fields;
    for (const std::string& line : lines) {
        fields.push_back(SplitFields(line, separator));
        if (fields.back().size() > static_cast<size_t>(MaxPastedFields)) {
            return Problem("Line " + std::to_string(fields.size()) + " has " +
                           std::to_string(fields.back().size()) +
                           " fields: no table has that many columns.");
        }
    }
    const bool labelled =
        !fields.empty() && (fields[0].empty() || !FieldNumber(fields[0][0]).has_value());
    const size_t skip = labelled ? 1 : 0;
    PastedBlock block;
    block.lines = static_cast<int>(fields.size() - std::min(fields.size(), skip));
    // Columns that are blank to the end of every line are not part of it.
    for (size_t l = skip; l < fields.size(); ++l) {
        for (size_t f = skip; f < fields[l].size(); ++f) {
            if (!fields[l][f].empty()) {
                block.columns = std::max(block.columns, static_cast<int>(f - skip + 1));
            }
        }
    }
    block.values.resize(static_cast<size_t>(block.columns * block.lines));
    bool any = false;
    for (size_t l = skip; l < fields.size(); ++l) {
        for (size_t f = skip; f < fields[l].size(); ++f) {
            const std::string& field = fields[l][f];
            if (field.empty()) {
                continue;
            }
            const std::optional<double> value = FieldNumber(field);
            if (!value) {
                const std::string quoted = field.substr(0, QuotedChars);
                return Problem("Line " + std::to_string(l + 1) + ", field " +
                               std::to_string(f + 1) + " is not a number: \"" + quoted + "\".");
            }
            block.values[(l - skip) * static_cast<size_t>(block.columns) + (f - skip)] = value;
            any = true;
        }
    }
    if (!any) {
        return Problem("The clipboard holds no numbers to paste.");
    }
    return {block, {}};
}

}  // namespace korvel
