#include "monitor/MonitorFile.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel {
namespace {

// "name@address/size " for each variable of the list.
std::string Summary(const MonitorFile& file) {
    std::string text;
    for (int i = 0; i < file.variableCount; ++i) {
        const MonitorVariable v = file.variables[static_cast<size_t>(i)];
        text += std::string(file.name(i)) + "@" + std::to_string(v.address) + "/" +
                std::to_string(v.byteCount) + " ";
    }
    return text;
}

TEST(MonitorFile, VariableLines) {
    const std::string example = "MAP  @26/1 PW   @28/2 Tcoo @30/1 ";
    const std::pair<std::string, std::string> cases[] = {
        {"# name,address,size\nMAP,26,1\nPW,1Ch,2 any text\nTcoo,30,1\n", example},
        {"# name,address,size\r\nMAP,26,1\r\nPW,1Ch,2 any text\r\nTcoo,30,1\r\n", example},
        {"ABCDEFG,26,1\n", "ABCDE@26/1 "},
        {",26,1\n", "     @26/1 "},
        {"X,300,1\n", "X    @44/1 "},
        {"X,1aH,3\n", "X    @26/3 "},
        {"X,26,1", "X    @26/1 "},           // no LF after SIZE: counted
        {"X,2 a6,1\n", "X    @26/1 "},       // a blank or hex digit in a decimal is skipped
        {"X,123456789,1\n", "X    @78/1 "},  // only 12345678 is read
        {"X,,1\n", "X    @0/1 "},
        {"X,26,\nY,27,1\n", "X    @26/218 Y    @27/1 "},  // the LF is SIZE; Y survives
        {"X,26,", ""},                                    // cut off after the 2nd comma
        {"# only a comment\n", ""}};
    for (const auto& [text, summary] : cases) {
        MonitorFile file;
        EXPECT_EQ(ParseMonitorFile(text, file), file.variableCount) << text;
        EXPECT_EQ(Summary(file), summary) << text;
    }
}

TEST(MonitorFile, StopsAfterSixteenVariablesAndKeepsEntriesBeyondTheCountOrARefusedFile) {
    std::string text = "V0,0,1\n# a comment takes no index\n";
    for (int i = 1; i < 20; ++i) {
        const std::string n = std::to_string(i);  // appended in pieces: GCC 12 -O3 -Wrestrict
        text.append("V").append(n).append(",").append(n).append(",1\n");
        text.append(i == 15 ? "# after the 16th\n" : "");
    }
    MonitorFile file;
    ASSERT_EQ(ParseMonitorFile(text, file), MaxMonitorVariables);
    EXPECT_EQ(file.name(15), "V15  ");
    ASSERT_EQ(ParseMonitorFile("D,4,2", file), 1);
    EXPECT_EQ(file.name(2), "V2   ");  // entries beyond the count keep their values
    // Only a regular file is read (a pipe or device is refused before it is
    // opened); a refused file leaves the list as it was.
    EXPECT_FALSE(ReadMonitorFile("/dev/zero", file));
    EXPECT_EQ(Summary(file), "D    @4/2 ");
    ASSERT_EQ(ParseMonitorFile("", file), 0);
    EXPECT_EQ(file.lastVariable(), 255);  // the stored form of an empty list
}

}  // namespace
}  // namespace korvel
