// The soak's judgements: a wrong one would pass a false success or a
// miscount as fine, or fail a correct run; and its log and figure checks.

#include <gtest/gtest.h>

#include "bench/soak/Checks.h"

namespace korvel::soak {
namespace {

TEST(SoakReport, ReadsHowFarAFailedDownloadGot) {
    struct Case {
        const char* text;
        bool counted;
        int programmed;
        int failedAt;  // -1: none named
        bool uncertain;
    } cases[] = {
        {"Programming FAILED\n17 bytes programmed before the failure at E57\n", true, 17, 0xE57,
         false},
        {"Programming FAILED\n3 of 50 bytes programmed before the failure at F00; the byte at "
         "F00 may also have been programmed\n",
         true, 3, 0xF00, true},
        {"Verify failed at E05: wrote 0E, read 14\n0 of 9 bytes programmed before the failure at "
         "E05\n",
         true, 0, 0xE05, false},
        {"Download cancelled: 12 bytes programmed\n", true, 12, -1, false},
        {"2 bytes programmed before the failure at ?\n", true, 2, -1, false},
        {"The ECU did not answer within 10 seconds\n", false, 0, -1, false},
        {"  0%  Programming ECU:  1  1\r 25%  Programming ECU:  46  46\r"
         "Programming FAILED\n5 of 8 bytes programmed before the failure at E10\n",
         true, 5, 0xE10, false},
    };
    for (const Case& c : cases) {
        const WriteReport r = ParseWriteReport(c.text);
        EXPECT_EQ(r.counted, c.counted) << c.text;
        EXPECT_EQ(r.programmed, c.programmed) << c.text;
        EXPECT_EQ(r.failedAt.has_value(), c.failedAt >= 0) << c.text;
        if (r.failedAt && c.failedAt >= 0) {
            EXPECT_EQ(*r.failedAt, static_cast<uint32_t>(c.failedAt)) << c.text;
        }
        EXPECT_EQ(r.uncertain, c.uncertain) << c.text;
    }
}

// Before: every byte 1. The data file asks for 2 at indices 0..3 (E00..E03),
// which a download programs in that order.
TEST(SoakDownload, HoldsTheEepromAgainstWhatTheCliSaid) {
    CalibrationImage before;
    before.values.fill(1);
    CalibrationImage target = before;
    for (int i = 0; i < 4; ++i) {
        target[i] = 2;
    }
    const char* const named =
        "2 of 4 bytes programmed before the failure at E02; the byte at E02 may also have been "
        "programmed";
    struct Case {
        const char* name;
        std::vector<int> stored;  // the indices holding 2 afterwards
        uint32_t other;           // the value at index 5 afterwards (1: untouched)
        int exitCode;
        const char* err;
        const char* out;
        Verdict verdict;
    } cases[] = {
        {"all stored, success", {0, 1, 2, 3}, 1, 0, "", "4 bytes written\n", Verdict::Fine},
        {"success miscounted", {0, 1, 2, 3}, 1, 0, "", "3 bytes written\n", Verdict::Miscount},
        {"two stored, success", {0, 1}, 1, 0, "", "4 bytes written\n", Verdict::FalseSuccess},
        {"two stored, two counted",
         {0, 1},
         1,
         1,
         "2 of 4 bytes programmed before the failure at E02",
         "",
         Verdict::Fine},
        {"three stored, two counted",
         {0, 1, 2},
         1,
         1,
         "2 of 4 bytes programmed before the failure at E02",
         "",
         Verdict::Miscount},
        {"the named byte stored too", {0, 1, 2}, 1, 1, named, "", Verdict::Fine},
        {"the named byte not stored", {0, 1}, 1, 1, named, "", Verdict::Fine},
        {"a counted byte missing, the named one stored",
         {0, 2},
         1,
         1,
         named,
         "",
         Verdict::Miscount},
        {"another byte than the named one", {0, 1, 3}, 1, 1, named, "", Verdict::Miscount},
        {"stored, no count",
         {0},
         1,
         1,
         "The ECU did not answer within 10 seconds",
         "",
         Verdict::Miscount},
        {"nothing stored, no count",
         {},
         1,
         1,
         "The ECU did not answer within 10 seconds",
         "",
         Verdict::Fine},
        {"cancelled", {0}, 1, 1, "Download cancelled: 1 bytes programmed", "", Verdict::Fine},
        {"more counted than asked for",
         {0, 1, 2, 3},
         1,
         1,
         "5 of 4 bytes programmed before the failure at E04",
         "",
         Verdict::Miscount},
        {"a byte neither old nor new",
         {0, 1, 2, 3},
         7,
         0,
         "",
         "4 bytes written\n",
         Verdict::Corrupted},
        {"killed by a signal", {}, 1, -1, "", "", Verdict::Crashed},
    };
    for (const Case& c : cases) {
        CalibrationImage after = before;
        for (int i : c.stored) {
            after[i] = 2;
        }
        after[5] = c.other;
        EXPECT_EQ(CheckDownload(before, target, after, c.exitCode, c.err, c.out).verdict, c.verdict)
            << c.name;
    }
}

TEST(SoakLog, FindsBrokenLinesAndTimesThatGoBack) {
    const std::string header = "Time,MAP,RPM\ns,inHg,\n";
    struct Case {
        const char* name;
        std::string body;
        int lines, broken, backward;
    } cases[] = {
        {"whole", "0.010,4.5,40\n0.035,4.5,41\n", 2, 0, 0},
        {"cut off", "0.010,4.5,40\n0.035,4.", 2, 1, 0},
        {"a field short", "0.010,4.5\n0.035,4.5,41\n", 2, 1, 0},
        {"time goes back", "0.035,4.5,40\n0.010,4.5,41\n", 2, 0, 1},
        {"time stands", "0.035,4.5,40\n0.035,4.5,41\n", 2, 0, 1},
        {"headers only", "", 0, 0, 0},
    };
    for (const Case& c : cases) {
        const LogCheck check = CheckLog(header + c.body);
        EXPECT_EQ(check.lines, c.lines) << c.name;
        EXPECT_EQ(check.brokenLines, c.broken) << c.name;
        EXPECT_EQ(check.backwardTimes, c.backward) << c.name;
    }
    EXPECT_EQ(CheckLog(header + "1.250,4.5,40\n").timesMs, std::vector<int64_t>{1250});
}

TEST(SoakFigures, RecoveryIsTheFirstPassAfterTheFaultEnded) {
    int unrecovered = -1;
    const std::vector<int64_t> passes{100, 200, 1500, 1520, 4000};
    EXPECT_EQ(RecoveryTimes(passes, {200, 1000, 3900, 5000}, unrecovered),
              (std::vector<int64_t>{1300, 500, 100}));
    EXPECT_EQ(unrecovered, 1);

    const std::vector<int64_t> ten{10, 1, 9, 2, 8, 3, 7, 4, 6, 5};
    EXPECT_EQ(Percentile(ten, 50), 5);
    EXPECT_EQ(Percentile(ten, 95), 10);
    EXPECT_EQ(Percentile(ten, 100), 10);
    EXPECT_EQ(Percentile({}, 50), 0);
    EXPECT_EQ(Percentile({42}, 95), 42);
}

}  // namespace
}  // namespace korvel::soak
