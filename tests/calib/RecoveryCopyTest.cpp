#include "calib/RecoveryCopy.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "calib/RollbackPlan.h"
#include "tests/support/EndedProcess.h"
#include "tests/support/ScratchFolder.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

CalibrationImage Counting(uint32_t start) {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i) {
        image[i] = (start + static_cast<uint32_t>(i)) % 256;
    }
    return image;
}

void SetModified(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

using RecoveryCopyTest = ScratchFolder;

// A copy falls due 2 s after the first change not yet written, however many
// follow; a write or a removal leaves nothing pending.
TEST(RecoveryCopy, FallsDueTwoSecondsAfterTheFirstUnwrittenChange) {
    RecoveryCopy copy("/dev/null/points", 42);
    EXPECT_EQ(copy.Path(), "/dev/null/points/recovery/korvel-42.dat");
    EXPECT_FALSE(copy.DueAtMs());
    copy.Changed(1000);
    copy.Changed(2500);  // does not put it off
    const std::pair<int64_t, bool> checks[] = {{1000, false}, {2999, false}, {3000, true}};
    for (const auto& [now, due] : checks) {
        EXPECT_EQ(copy.Due(now), due) << now;
    }
    EXPECT_EQ(copy.DueAtMs(), 3000);
    EXPECT_NE(copy.Write(Counting(0), ""), "");  // no folder can be made there
    EXPECT_FALSE(copy.Due(10'000));
    copy.Changed(10'000);
    EXPECT_EQ(copy.DueAtMs(), 12'000);
    copy.Remove();
    EXPECT_FALSE(copy.DueAtMs());
}

// What a copy holds comes back; Remove deletes it. Copies of ended processes
// are found, those of running ones (our own above all) and broken ones not.
TEST_F(RecoveryCopyTest, CopiesOfEndedProcessesAreFoundAndLoaded) {
    const pid_t ended = EndedProcess(), other = EndedProcess();
    RecoveryCopy mine(folder, getpid()), stale(folder, ended), older(folder, other),
        parent(folder, getppid());
    const std::string name = "/cal/odd, name\nwith a line end.dat";
    ASSERT_EQ(mine.Write(Counting(1), "/cal/mine.dat"), "");
    ASSERT_EQ(stale.Write(Counting(2), name), "");
    ASSERT_EQ(older.Write(Counting(3), ""), "");
    ASSERT_EQ(parent.Write(Counting(4), "/cal/p.dat"), "");
    SetModified(stale.Path(), 1'700'000'000);  // 2023-11-15 00:13 in the tests' zone
    SetModified(older.Path(), 1'600'000'000);
    std::ofstream(folder + "/recovery/korvel-99999999.dat") << "1\r\n2\r\n";  // broken
    std::ofstream(folder + "/recovery/notes.dat") << "x";

    const std::vector<FoundRecoveryCopy> found = FindStaleRecoveryCopies(folder, getpid());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, older.Path());  // oldest first
    EXPECT_EQ(found[0].dataFile, "");
    EXPECT_EQ(found[1].pid, ended);
    EXPECT_EQ(found[1].wallMs, 1'700'000'000'000);
    EXPECT_EQ(found[1].dataFile, name);
    EXPECT_EQ(RecoveryQuestion(found[1]),
              "Recover the unsaved changes of 2023-11-15 00:13 (odd, name\nwith a line end.dat)?");
    EXPECT_EQ(RecoveryQuestion(found[0]),
              "Recover the unsaved changes of 2020-09-13 14:26 (no data file)?");
    CalibrationImage image;
    std::string dataFile;
    ASSERT_TRUE(LoadRecoveryCopy(found[1].path, image, dataFile));
    EXPECT_EQ(image.values, Counting(2).values);
    EXPECT_EQ(dataFile, name);
    image = Counting(9);
    EXPECT_FALSE(LoadRecoveryCopy(folder + "/recovery/korvel-99999999.dat", image, dataFile));
    EXPECT_EQ(image.values, Counting(9).values);

    // Another program's view: our copy is the stale one then, unless we run.
    EXPECT_EQ(FindStaleRecoveryCopies(folder, ended, [](pid_t) { return false; }).size(), 3u);
    EXPECT_TRUE(stale.Remove());
    EXPECT_FALSE(fs::exists(stale.Path()));
    EXPECT_TRUE(stale.Remove());  // nothing left to remove
    EXPECT_EQ(FindStaleRecoveryCopies(folder, getpid()).size(), 1u);
}

TEST(RecoveryCopy, ProcessRunningTellsOnlyAnEndedProcessApart) {
    EXPECT_TRUE(ProcessRunning(getpid()));
    EXPECT_TRUE(ProcessRunning(1));  // running, even where we may not signal it
    EXPECT_FALSE(ProcessRunning(EndedProcess()));
    EXPECT_FALSE(ProcessRunning(0));
}

TEST_F(RecoveryCopyTest, AWriteThatFailsSaysWhyAndKeepsTheLastCopy) {
    RecoveryCopy copy(folder, 7, [](int, std::string_view) {
        errno = ENOSPC;
        return false;
    });
    RecoveryCopy good(folder, 7);
    ASSERT_EQ(good.Write(Counting(1), "a.dat"), "");
    EXPECT_EQ(copy.Write(Counting(2), "b.dat"), "No recovery copy could be saved in " + folder +
                                                    "/recovery: No space left on device");
    CalibrationImage image;
    std::string dataFile;
    ASSERT_TRUE(LoadRecoveryCopy(good.Path(), image, dataFile));
    EXPECT_EQ(image.values, Counting(1).values);
    EXPECT_EQ(dataFile, "a.dat");
    fs::create_directories(folder + "/locked");
    EXPECT_TRUE(WithoutWriteAccess(folder + "/locked", [&] {
        return RecoveryCopy(folder + "/locked", 7).Write(Counting(1), "") ==
               "No recovery copy could be saved in " + folder +
                   "/locked/recovery: Permission denied";
    }));
}

TEST(RollbackPlan, ADownloadOfTheBeforePointElseOnePokePerByte) {
    const std::map<int, uint32_t> old = {{0x57, 90}, {0, 14}, {0x1FF, 255}};
    struct Case {
        std::map<int, uint32_t> old;
        std::string point, port;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {old,
         "/r/20231115-001320-before-download.dat",
         "",
         {"korvel-cli download --changes /r/20231115-001320-before-download.dat"}},
        {old,
         "/my points/it's.dat",
         "/dev/ttyUSB0",
         {"korvel-cli --port /dev/ttyUSB0 download --changes '/my points/it'\\''s.dat'"}},
        {old,
         "",
         "COM 2",
         {"korvel-cli --port 'COM 2' poke E00 14", "korvel-cli --port 'COM 2' poke E57 90",
          "korvel-cli --port 'COM 2' poke FFF 255"}},
        {{}, "/r/p.dat", "", {}},  // nothing was changed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RollbackCommands(c.old, c.point, c.port), c.lines) << c.point;
    }
}

}  // namespace
}  // namespace korvel
