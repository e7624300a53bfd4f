// The paste parser over any text, and pasting it into a table: a block's
// shape matches its values, its numbers are finite, writing a block out and
// reading it back gives it again, and a paste either says why it refused or
// changes only value bytes of the table, to bytes 0..255.
#include <cmath>
#include <string>
#include <string_view>

#include "calib/Text.h"
#include "editors/Clipboard.h"
#include "editors/TableModel.h"
#include "fuzz/FuzzCheck.h"
#include "tests/editors/SampleImage.h"

using namespace korvel;

namespace {

void CheckBlock(const PastedBlock& block) {
    FUZZ_CHECK(block.columns >= 1 && block.columns <= MaxPastedFields);
    FUZZ_CHECK(block.lines >= 1 && block.lines <= MaxPastedLines);
    FUZZ_CHECK(block.values.size() == static_cast<size_t>(block.columns * block.lines));
    CopiedBlock copy{"MAP/RPM",
                     std::vector<std::string>(static_cast<size_t>(block.columns), "k"),
                     std::vector<std::string>(static_cast<size_t>(block.lines), "k"),
                     {}};
    for (int l = 0; l < block.lines; ++l) {
        std::vector<std::string>& line = copy.cells.emplace_back();
        for (int c = 0; c < block.columns; ++c) {
            const std::optional<double> value = block.At(c, l);
            FUZZ_CHECK(!value || std::isfinite(*value));
            line.push_back(value ? FormatNumber("%.17g", *value) : std::string());
        }
    }
    const PasteReading again = ParseBlock(FormatBlock(copy));
    FUZZ_CHECK(again.block && again.block->columns == block.columns &&
               again.block->lines == block.lines && again.block->values == block.values);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const PasteReading reading = ParseBlock(text);
    FUZZ_CHECK(reading.block.has_value() == reading.problem.empty());
    if (reading.block) {
        CheckBlock(*reading.block);
    }

    CalibrationImage image = test::SampleImage();
    const CalibrationImage before = image;
    TableModel table(image, VeTableLayout());
    const uint8_t at = size > 0 ? data[0] : 0;
    table.ClickAt(12 + 6 * (at % 3), 20 - (at / 3) % 4, 20);
    std::string problem;
    const bool pasted = table.Paste(text, problem);
    FUZZ_CHECK(pasted == problem.empty());
    std::vector<bool> value(ImageSize, false);
    for (const TableRow& row : WalkRowList(before, VeTableSlot, 3).rows) {
        for (int entry : row.entries) {
            value[static_cast<size_t>(entry + 1)] = true;
        }
    }
    for (int i = 0; i < ImageSize; ++i) {
        FUZZ_CHECK(image[i] == before[i] || (pasted && value[static_cast<size_t>(i)]));
        FUZZ_CHECK(image[i] <= 255);
    }
    return 0;
}
