#include "calib/RestorePoints.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "tests/support/ScratchFolder.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// 2023-11-14 22:13:20 UTC: already the 15th in the test's zone, two hours east.
constexpr int64_t Wall = 1'700'000'000'000;

CalibrationImage Filled(uint32_t value) {
    CalibrationImage image;
    image.values.fill(value);
    return image;
}

std::string Slurp(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

struct RestorePointsTest : ScratchFolder {
    RestorePointsTest() : points(folder + "/points", [this] { return wallMs; }) {}
    PointResult Save(uint32_t fill, RestoreReason reason, std::string port = "/dev/ttyUSB0",
                     std::string dataFile = "", std::optional<int> programmed = {}) {
        return points.Save(Filled(fill),
                           {reason, std::move(port), std::move(dataFile), programmed});
    }
    int64_t wallMs = Wall;
    RestorePoints points;
};

TEST(RestoreFolder, FromTheEnvironment) {
    using Env = std::map<std::string, std::string>;
    const std::pair<Env, std::string> cases[] = {
        {{{"KORVEL_RESTORE_DIR", "/s"}, {"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}}, "/s"},
        {{{"KORVEL_RESTORE_DIR", ""}, {"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}},
         "/x/korvel/restore-points"},
        {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/h"}}, "/h/.local/share/korvel/restore-points"},
        {{{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/korvel/restore-points"},
        {{}, ""},
    };
    for (const auto& [env, folder] : cases) {
        const auto lookup = [&env](const std::string& name) -> std::optional<std::string> {
            const auto found = env.find(name);
            return found == env.end() ? std::nullopt : std::optional(found->second);
        };
        EXPECT_EQ(RestoreFolder(lookup), folder);
    }
}

// Each reason makes its point: the image's bytes as a data file named in local
// time, and a line in the index; a clash takes -2, -3...
TEST_F(RestorePointsTest, EachReasonMakesItsPointAndItsIndexLine) {
    const std::pair<RestoreReason, const char*> reasons[] = {
        {RestoreReason::Upload, "upload"},
        {RestoreReason::Read, "read"},
        {RestoreReason::BeforeDownload, "before-download"},
        {RestoreReason::BeforePoke, "before-poke"},
        {RestoreReason::AfterDownload, "after-download"},
        {RestoreReason::AfterPoke, "after-poke"},
        {RestoreReason::Rollback, "rollback"},
    };
    std::string index = "time,reason,port,data file,bytes programmed,point\n";
    uint32_t fill = 0;
    for (const auto& [reason, name] : reasons) {
        for (const char* suffix : {"", "-2", "-3"}) {  // three in the same second
            const std::optional<int> programmed =
                std::string(name).starts_with("after") ? std::optional(int(fill)) : std::nullopt;
            const PointResult r = Save(++fill, reason, "/dev/ttyUSB0", "/cal/a.dat", programmed);
            const std::string file = std::string("20231115-001320-") + name + suffix + ".dat";
            ASSERT_EQ(r.status, PointStatus::Saved) << r.message;
            EXPECT_EQ(r.path, folder + "/points/" + file);
            EXPECT_EQ(r.message, "");
            EXPECT_EQ(Slurp(r.path), FormatDataFile(Filled(fill)));
            index += std::string("2023-11-15 00:13:20,") + name + ",/dev/ttyUSB0,/cal/a.dat," +
                     (programmed ? std::to_string(*programmed) : "") + "," + file + "\n";
        }
    }
    EXPECT_EQ(Slurp(folder + "/points/index.csv"), index);
}

// Fields that need it are quoted, and read back as they were written.
TEST_F(RestorePointsTest, IndexFieldsAreQuotedWhereNeeded) {
    const std::string odd[] = {"COM1", "a,b", "say \"hi\"", " edge ", "two\nlines", ""};
    for (const std::string& text : odd) {
        const auto records = ParseCsv(CsvField(text) + "," + CsvField(text) + "\n");
        ASSERT_EQ(records.size(), 1u) << text;
        EXPECT_EQ(records[0], (std::vector<std::string>{text, text}));
    }
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    ASSERT_TRUE(Save(1, RestoreReason::AfterPoke, "my, \"port\"", "/cal/x\ny.dat", 1).Ok());
    const std::vector<RestorePoint> listed = points.List();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].port, "my, \"port\"");
    EXPECT_EQ(listed[0].dataFile, "/cal/x\ny.dat");
    EXPECT_EQ(listed[0].bytesProgrammed, 1);
}

// A read is skipped when the last point from the same port holds the same
// bytes; writes' points never are.
TEST_F(RestorePointsTest, AReadTheLastPointOfItsPortHoldsIsSkipped) {
    struct Step {
        uint32_t fill;
        RestoreReason reason;
        const char* port;
        PointStatus expected;
    };
    constexpr auto U = RestoreReason::Upload, R = RestoreReason::Read,
                   B = RestoreReason::BeforeDownload;
    constexpr auto Saved = PointStatus::Saved, Skipped = PointStatus::Skipped;
    const Step steps[] = {
        {1, U, "A", Saved}, {1, U, "A", Skipped}, {1, R, "A", Skipped},
        {1, R, "B", Saved}, {2, R, "A", Saved},   {1, R, "A", Saved},  // an older point is no match
        {1, B, "A", Saved}, {1, U, "B", Skipped},
    };
    int saved = 0;
    for (const Step& s : steps) {
        wallMs += 1000;
        const PointResult r = Save(s.fill, s.reason, s.port);
        EXPECT_EQ(r.status, s.expected) << &s - steps;
        saved += r.status == Saved ? 1 : 0;
        if (r.status == Skipped) {
            CalibrationImage held;
            ASSERT_TRUE(LoadRestorePoint(r.path, held));  // names the point that holds them
            EXPECT_EQ(held.values, Filled(s.fill).values);
        }
    }
    EXPECT_EQ(points.List().size(), size_t(saved));
}

// Newest first, points the index misses listed by their names; a point
// deleted by hand is no longer listed.
TEST_F(RestorePointsTest, ListsNewestFirst) {
    ASSERT_TRUE(Save(1, RestoreReason::Upload).Ok());
    wallMs += 3'600'000;
    ASSERT_TRUE(Save(2, RestoreReason::BeforePoke).Ok());
    ASSERT_TRUE(Save(3, RestoreReason::AfterPoke, "/dev/ttyUSB0", "", 1).Ok());
    ASSERT_EQ(WriteDataFile(folder + "/points/20231115-011320-rollback-2.dat", Filled(4)),
              SaveResult::Saved);
    ASSERT_EQ(WriteDataFile(folder + "/points/20231114-000000-upload.dat", Filled(5)),
              SaveResult::Saved);
    ASSERT_EQ(WriteDataFile(folder + "/points/mine.dat", Filled(6)), SaveResult::Saved);
    wallMs += 3'600'000;
    const PointResult gone = Save(7, RestoreReason::Read);
    ASSERT_TRUE(gone.Ok());
    fs::remove(gone.path);

    bool readable = false;
    std::vector<std::string> listed;
    for (const RestorePoint& p : points.List(&readable)) {
        listed.push_back(p.time + " " + p.reason + " " + p.port + " " + p.fileName);
        CalibrationImage image;
        EXPECT_TRUE(LoadRestorePoint(p.path, image)) << p.path;
    }
    EXPECT_TRUE(readable);
    EXPECT_EQ(listed,
              (std::vector<std::string>{
                  "2023-11-15 01:13:20 after-poke /dev/ttyUSB0 20231115-011320-after-poke.dat",
                  "2023-11-15 01:13:20 before-poke /dev/ttyUSB0 20231115-011320-before-poke.dat",
                  "2023-11-15 01:13:20 rollback  20231115-011320-rollback-2.dat",
                  "2023-11-15 00:13:20 upload /dev/ttyUSB0 20231115-001320-upload.dat",
                  "2023-11-14 00:00:00 upload  20231114-000000-upload.dat",
              }));
    EXPECT_TRUE(RestorePoints(folder + "/none", [] { return Wall; }).List(&readable).empty());
    EXPECT_TRUE(readable);  // a folder not yet made holds no points
}

// No space: no point, no empty file left, the index untouched, and the
// reason in the message. A point whose index line fails is kept and listed.
TEST_F(RestorePointsTest, AFullDiskSavesNoPointAndSaysWhy) {
    ASSERT_TRUE(Save(1, RestoreReason::Upload).Ok());
    const std::string index = Slurp(folder + "/points/index.csv");
    int writes = 0, failAt = 1;
    const DataFileWriter full = [&](int fd, std::string_view bytes) {
        if (++writes < failAt) {
            return write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
        }
        static_cast<void>(write(fd, bytes.data(), bytes.size() / 2) > 0);
        errno = ENOSPC;
        return false;
    };
    RestorePoints onFullDisk(
        folder + "/points", [] { return Wall + 5000; }, full);
    const PointResult r = onFullDisk.Save(Filled(2), {RestoreReason::BeforeDownload, "A", "", {}});
    EXPECT_EQ(r.status, PointStatus::Failed);
    EXPECT_EQ(r.message,
              "No restore point could be saved in " + folder + "/points: No space left on device");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/points"), {}), 2);
    EXPECT_EQ(Slurp(folder + "/points/index.csv"), index);

    writes = 0, failAt = 2;  // the point goes in, its index line does not
    const PointResult kept =
        onFullDisk.Save(Filled(3), {RestoreReason::BeforeDownload, "A", "", {}});
    EXPECT_EQ(kept.status, PointStatus::Saved);
    EXPECT_NE(kept.message.find("index.csv could not be written: No space left"), std::string::npos)
        << kept.message;
    EXPECT_EQ(Slurp(folder + "/points/index.csv"), index);  // no half line
    EXPECT_EQ(points.List().front().path, kept.path);
}

// A folder that cannot be made or written: no point, and the reason. Run in
// a child process, as an unprivileged user when the tests run as root.
TEST_F(RestorePointsTest, AFolderThatCannotBeWrittenSavesNoPoint) {
    std::ofstream(folder + "/file") << "x";
    const PointResult notFolder =
        RestorePoints(folder + "/file/points", [] { return Wall; }).Save(Filled(1), {});
    EXPECT_EQ(notFolder.message,
              "No restore point could be saved in " + folder + "/file/points: Not a directory");
    EXPECT_EQ(RestorePoints("", [] { return Wall; }).Save(Filled(1), {}).status,
              PointStatus::Failed);
    fs::create_directories(folder + "/locked");
    const auto check = [&] {
        const std::string made = folder + "/locked/points", existing = folder + "/locked";
        return RestorePoints(made, [] { return Wall; }).Save(Filled(1), {}).message ==
                   "No restore point could be saved in " + made + ": Permission denied" &&
               RestorePoints(existing, [] { return Wall; }).Save(Filled(1), {}).message ==
                   "No restore point could be saved in " + existing + ": Permission denied";
    };
    EXPECT_TRUE(WithoutWriteAccess(folder + "/locked", check));
    EXPECT_TRUE(fs::is_empty(folder + "/locked"));
}

}  // namespace
}  // namespace korvel
