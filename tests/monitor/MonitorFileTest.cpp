#include "monitor/MonitorFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include <unistd.h>

namespace korvel {
namespace {

TEST(MonitorFile, ExampleWithEitherLineEnd) {
    for (const std::string eol : {"\n", "\r\n"}) {
        MonitorFile file;
        const std::string text = "# name,address,size" + eol + "MAP,26,1" + eol +
                                 "PW,1Ch,2 any text" + eol + "Tcoo,30,1" + eol;
        ASSERT_EQ(ParseMonitorFile(text, file), 3);
        EXPECT_EQ(file.lastVariable(), 2);
        EXPECT_EQ(file.name(0), "MAP  ");
        EXPECT_EQ(file.name(1), "PW   ");
        EXPECT_EQ(file.name(2), "Tcoo ");
        EXPECT_EQ(file.variables[0].address, 26);
        EXPECT_EQ(file.variables[1].address, 0x1C);
        EXPECT_EQ(file.variables[2].address, 30);
        EXPECT_EQ(file.variables[0].byteCount, 1);
        EXPECT_EQ(file.variables[1].byteCount, 2);
    }
}

TEST(MonitorFile, FieldsOfOneLine) {
    struct Case {
        std::string text;
        int count;
        std::string name;
        int address, byteCount;
    };
    const Case cases[] = {
        {"ABCDEFG,26,1\n", 1, "ABCDE", 26, 1},
        {",26,1\n", 1, "     ", 26, 1},
        {"X,300,1\n", 1, "X    ", 44, 1},
        {"X,1A3h,1\n", 1, "X    ", 0xA3, 1},
        {"X,1aH,1\n", 1, "X    ", 0x1A, 1},
        {"X,26,2 pulse width\n", 1, "X    ", 26, 2},
        {"X,26,3\n", 1, "X    ", 26, 3},
        {"X,26,1", 1, "X    ", 26, 1},           // no LF after SIZE: counted
        {"X,2 6,1\n", 1, "X    ", 26, 1},        // a stray blank is skipped
        {"X,123456789,1\n", 1, "X    ", 78, 1},  // only 12345678 is read
        {"X,,1\n", 1, "X    ", 0, 1},
        {"X,26,\nY,27,1\n", 2, "X    ", 26, '\n' - '0' + 256},  // the next line survives
        {"X,26,", 0, "", 0, 0},                                 // cut off after the 2nd comma
        {"X,26", 0, "", 0, 0},
        {"# only a comment\n", 0, "", 0, 0},
    };
    for (const Case& c : cases) {
        MonitorFile file;
        EXPECT_EQ(ParseMonitorFile(c.text, file), c.count) << c.text;
        EXPECT_EQ(file.variableCount, c.count);
        if (c.count > 0) {
            EXPECT_EQ(file.name(0), c.name) << c.text;
            EXPECT_EQ(file.variables[0].address, c.address) << c.text;
            EXPECT_EQ(file.variables[0].byteCount, c.byteCount) << c.text;
        }
    }
}

TEST(MonitorFile, StopsAfterSixteenVariables) {
    std::string text = "V0,0,1\n# a comment takes no index\n";
    for (int i = 1; i < 20; ++i) {
        text += "V" + std::to_string(i) + "," + std::to_string(i) + ",1\n";
        if (i == 15) {
            text += "# after the 16th\n";
        }
    }
    MonitorFile file;
    ASSERT_EQ(ParseMonitorFile(text, file), MaxMonitorVariables);
    EXPECT_EQ(file.name(15), "V15  ");
    EXPECT_EQ(file.variables[15].address, 15);
}

TEST(MonitorFile, EntriesBeyondTheNewCountKeepTheirValues) {
    MonitorFile file;
    ParseMonitorFile("A,1,1\nB,2,2\nC,3,1\n", file);
    ASSERT_EQ(ParseMonitorFile("D,4,1", file), 1);
    EXPECT_EQ(file.name(0), "D    ");
    EXPECT_EQ(file.name(2), "C    ");
    EXPECT_EQ(file.variables[1].byteCount, 2);

    ASSERT_EQ(ParseMonitorFile("", file), 0);
    EXPECT_TRUE(file.empty());
    EXPECT_EQ(file.name(0), "D    ");
}

TEST(MonitorFile, ReadsAFileFromDisk) {
    MonitorFile file;
    EXPECT_FALSE(ReadMonitorFile("/nonexistent/Mon.cfg", file));
    EXPECT_EQ(file.variableCount, 1);
    EXPECT_FALSE(ReadMonitorFile("/", file));

    const std::string path = testing::TempDir() + "monitor_" + std::to_string(getpid()) + ".cfg";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("#\r\nRPM,40,1\r\nPW,1Ch,2", out);
    std::fclose(out);
    ASSERT_TRUE(ReadMonitorFile(path, file));
    EXPECT_EQ(file.variableCount, 2);
    EXPECT_EQ(file.variables[1].address, 0x1C);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// The demo list: nine variables at distinct addresses the virtual ECU animates.
TEST(MonitorFile, DemoListHasDistinctLowAddresses) {
    MonitorFile file;
    ASSERT_TRUE(ReadMonitorFile(KORVEL_SOURCE_DIR "/data/Mon.cfg", file));
    ASSERT_EQ(file.variableCount, 9);
    std::set<int> used;
    for (int i = 0; i < file.variableCount; ++i) {
        const MonitorVariable v = file.variables[static_cast<size_t>(i)];
        for (int b = 0; b < (v.byteCount == 2 ? 2 : 1); ++b) {
            EXPECT_TRUE(used.insert(v.address + b).second) << file.name(i);
            EXPECT_LT(v.address + b, 0x80);
        }
    }
    EXPECT_EQ(file.name(1), "PW   ");
    EXPECT_EQ(file.variables[1].byteCount, 2);
}

}  // namespace
}  // namespace korvel
