#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

#include "editors/Clipboard.h"

namespace korvel {
namespace {

using Values = std::vector<std::optional<double>>;
constexpr std::nullopt_t _ = std::nullopt;

TEST(Clipboard, CopiedBlockIsALabelledTabSeparatedTable) {
    const CopiedBlock block{"MAP/RPM", {"20", "40"}, {"30.8", "3.1"}, {{"70", "71"}, {"", "51"}}};
    EXPECT_EQ(FormatBlock(block), "MAP/RPM\t20\t40\n30.8\t70\t71\n3.1\t\t51\n");
}

// Text, then the block read from it: columns, lines and values line by line
// from the top.
TEST(Clipboard, PastedBlocksWithAndWithoutLabels) {
    const std::tuple<const char*, int, int, Values> cases[] = {
        {"MAP/RPM\t20\t40\n30.8\t70\t71\n3.1\t\t51\n", 2, 2, {70, 71, _, 51}},
        {"\t20\t40\r\n30.8\t70\t71\r\n", 2, 1, {70, 71}},  // an empty corner, CR LF
        {"1.5\t2\n3\t4\n\n\n", 2, 2, {1.5, 2, 3, 4}},      // blank lines at the end
        {"1, 2 ,3\n4,,6", 3, 2, {1, 2, 3, 4, _, 6}},
        {"  7   8\n9\n", 2, 2, {7, 8, 9, _}},               // spaces; a short line ends blank
        {"1\t\t2\t\n3\t\t\t\n", 3, 2, {1, _, 2, 3, _, _}},  // a blank column at the end
        {"+5\t-2e1\t.5", 3, 1, {5, -20, 0.5}},
        {"Temp\tRPM\n212\t1400\n158\t1200\n", 1, 2, {1400, 1200}},
    };
    for (const auto& [text, columns, lines, values] : cases) {
        const PasteReading reading = ParseBlock(text);
        ASSERT_TRUE(reading.block) << text << ": " << reading.problem;
        EXPECT_EQ(reading.block->columns, columns) << text;
        EXPECT_EQ(reading.block->lines, lines) << text;
        EXPECT_EQ(reading.block->values, values) << text;
    }
}

TEST(Clipboard, TextThatIsNotNumbersIsRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"MAP/RPM\t20\n30.8\tabc\n", "Line 2, field 2 is not a number: \"abc\"."},
        {"1\t2\n3\t12,5\n", "Line 2, field 2 is not a number: \"12,5\"."},
        {"1 nan", "Line 1, field 2 is not a number: \"nan\"."},
        {"1\t1e999", "Line 1, field 2 is not a number: \"1e999\"."},
        {"", "The clipboard holds no numbers to paste."},
        {"MAP/RPM\t20\n30.8\t\n", "The clipboard holds no numbers to paste."},
    };
    for (const auto& [text, problem] : cases) {
        const PasteReading reading = ParseBlock(text);
        EXPECT_FALSE(reading.block) << text;
        EXPECT_EQ(reading.problem, problem) << text;
    }
    EXPECT_EQ(ParseBlock(std::string(300, '\n') + "1" + std::string(300, '\n')).problem,
              "The block has 301 lines: no table has that many.");
    EXPECT_EQ(ParseBlock(std::string(300, ',')).problem,
              "Line 1 has 301 fields: no table has that many columns.");
}

}  // namespace
}  // namespace korvel
