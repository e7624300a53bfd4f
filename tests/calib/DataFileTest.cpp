#include "calib/DataFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

namespace korvel {
namespace {

CalibrationImage Filled(uint32_t value) {
    CalibrationImage image;
    image.values.fill(value);
    return image;
}

// One decimal line per slot, CRLF ended; a slot is read like "%d" reads it.
TEST(DataFile, LinesAreReadLikePercentD) {
    struct Case {
        std::string text, head;  // head: the first slots afterwards as a file; the rest stay 7
        int stored, withoutNumber, outOfRange, firstOutOfRangeLine;
    };
    const Case cases[] = {
        {"  42\r\n\t-1\r\n300\r\n", "42\r\n-1\r\n300\r\n7\r\n", 3, 0, 2, 2},
        {"1\r\nabc\r\n\r\n4\r\n", "1\r\n7\r\n7\r\n4\r\n7\r\n", 2, 2, 0, 0},
        {"5\n6\n7\n8", "5\r\n6\r\n7\r\n8\r\n7\r\n", 4, 0, 0, 0},
        {"5\n\n\n6\r\n\n7\n", "5\r\n7\r\n7\r\n6\r\n7\r\n7\r\n", 3, 3, 0, 0},
        // A number that does not fit in 32 bits is no number, however long.
        {"12345678901234567\r\n9\r\n", "7\r\n9\r\n7\r\n", 1, 1, 0, 0},
        {"2147483647\n-2147483648\n2147483648\n-2147483649\n000000000000042\n",
         "2147483647\r\n-2147483648\r\n7\r\n7\r\n42\r\n", 3, 2, 2, 1},
        {"              42\n1  and a comment that runs on\n", "42\r\n1\r\n7\r\n", 2, 0, 0, 0},
        {"+7 junk\r\n- 5\r\n  \n3", "7\r\n7\r\n7\r\n3\r\n", 2, 2, 0, 0}};
    for (const Case& c : cases) {
        CalibrationImage image = Filled(7);
        const DataFileReadResult result = ParseDataFile(c.text, image);
        EXPECT_EQ(std::tuple(result.valuesStored, result.linesWithoutNumber,
                             result.valuesOutOfRange, result.firstOutOfRangeLine),
                  std::tuple(c.stored, c.withoutNumber, c.outOfRange, c.firstOutOfRangeLine))
            << c.text;
        EXPECT_EQ(FormatDataFile(image).substr(0, c.head.size()), c.head) << c.text;
        EXPECT_EQ(image[ImageSize - 1], 7u);
    }
}

// Open warns about a file that left slots without a number or gave a slot a
// value that is not a byte; Download refuses such an image.
TEST(DataFile, IncompleteOrOutOfRangeDataIsWarnedAboutAndNeverProgrammed) {
    struct Case {
        std::string text;
        const char *caption, *warning, *refusal;  // refusal of the image just opened
    };
    const std::string full = FormatDataFile(Filled(9));
    const Case cases[] = {
        {full, "", "", ""},
        {"1\r\n\r\n1234567890123\r\n300\r\n", "Incomplete Data File",
         "The file held 2 of the 512 calibration values.\n2 lines held no number.\n"
         "The other bytes keep their previous values.\n"
         "Download is refused until a complete file is opened or the data is uploaded.\n"
         "1 values are outside 0..255, the first on line 4.\n"
         "Download is refused while any byte is out of range.",
         "cal.dat is not a complete data file (2 of 512 values): nothing programmed"},
        {"5\n" + full.substr(3, 30) + "-1\n300\n" + full, "Values Out of Range",
         "2 values are outside 0..255, the first on line 12.\n"
         "Download is refused while any byte is out of range.",
         "The value at address 0x0E0B is -1, outside 0..255: nothing programmed"},
    };
    for (const Case& c : cases) {
        CalibrationImage image = Filled(9);
        const DataFileReadResult result = ParseDataFile(c.text, image);
        const DataFileWarning warning = OpenWarning(result);
        EXPECT_EQ(warning.caption + warning.text, std::string(c.caption) + c.warning);
        const IncompleteDataFile source{"cal.dat", result.valuesStored};
        EXPECT_EQ(DownloadRefusal(image, result.complete() ? nullptr : &source), c.refusal);
    }
}

std::string Slurp(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

struct DataFiles : ::testing::Test {
    void SetUp() override { std::filesystem::create_directories(folder); }
    void TearDown() override { std::filesystem::remove_all(folder); }
    const std::string folder = testing::TempDir() + "datafile_" + std::to_string(getpid());
};

// Random images, bytes and full 32-bit slots, survive a save and an open; a
// save replaces the file atomically, and a failed one keeps the old file.
// Only regular files are read: a pipe is refused at once rather than waited on.
TEST_F(DataFiles, SaveAndOpen) {
    const std::string path = folder + "/cal.dat", pipe = folder + "/pipe.dat";
    std::mt19937 rng(5);
    CalibrationImage image;
    for (int run = 0; run < 10; ++run) {
        for (uint32_t& v : image.values) {
            v = run % 2 ? rng() : rng() % 256;
        }
        ASSERT_EQ(WriteDataFile(path, image), SaveResult::Saved);
        CalibrationImage back = Filled(7);
        EXPECT_EQ(ReadDataFile(path, back).valuesStored, ImageSize);
        EXPECT_EQ(back.values, image.values);
        back = Filled(7);  // lines after the 512th are ignored
        EXPECT_EQ(ParseDataFile(FormatDataFile(image) + "1\r\n2\r\n", back).valuesStored,
                  ImageSize);
        EXPECT_EQ(back.values, image.values);
    }
    // Half the bytes reach the disk, then the write fails (a full disk).
    const DataFileWriter failing = [](int fd, std::string_view bytes) {
        static_cast<void>(write(fd, bytes.data(), bytes.size() / 2) > 0);
        errno = ENOSPC;
        return false;
    };
    EXPECT_EQ(WriteDataFile(path, Filled(3), failing), SaveResult::WriteFailed);
    EXPECT_EQ(errno, ENOSPC);                       // the reason survives the clean-up
    EXPECT_EQ(Slurp(path), FormatDataFile(image));  // the last image saved, byte for byte
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no temporary
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& bad : {folder + "/missing/cal.dat", folder, pipe}) {
        EXPECT_EQ(WriteDataFile(bad, image), SaveResult::OpenFailed) << bad;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    for (const std::string& bad : {folder + "/missing.dat", folder, pipe, std::string("/dev/zero"),
                                   std::string("/dev/null")}) {
        CalibrationImage unchanged = Filled(4);
        EXPECT_FALSE(ReadDataFile(bad, unchanged).opened) << bad;
        EXPECT_EQ(unchanged.values, Filled(4).values);
    }
}

// A save follows a symbolic link to its target, keeps the target's permission
// bits, refuses what the user protected, and writes in place where no
// temporary file can be made.
TEST_F(DataFiles, LinksAndProtectedFiles) {
    namespace fs = std::filesystem;
    const std::string real = folder + "/real.dat", link = folder + "/link.dat";
    ASSERT_EQ(WriteDataFile(real, Filled(1)), SaveResult::Saved);
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    fs::create_symlink("real.dat", link);
    EXPECT_EQ(WriteDataFile(link, Filled(2)), SaveResult::Saved);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(real), FormatDataFile(Filled(2)));
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));

    ASSERT_EQ(chmod(real.c_str(), 0444), 0);  // protected: neither name replaces it
    EXPECT_EQ(WriteDataFile(real, Filled(3)), SaveResult::OpenFailed);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(WriteDataFile(link, Filled(3)), SaveResult::OpenFailed);
    EXPECT_EQ(Slurp(real), FormatDataFile(Filled(2)));

    // No temporary file fits beside a name of 250 characters: the existing
    // file is written in place, and a new one cannot be made.
    const std::string longName = folder + "/" + std::string(246, 'c') + ".dat";
    std::ofstream(longName) << "old";
    EXPECT_EQ(WriteDataFile(longName, Filled(5)), SaveResult::Saved);
    EXPECT_EQ(Slurp(longName), FormatDataFile(Filled(5)));
    EXPECT_EQ(WriteDataFile(folder + "/" + std::string(247, 'd') + ".dat", Filled(5)),
              SaveResult::OpenFailed);
}

// The shipped demo calibration satisfies every layout rule the ECU relies on:
// regions in pointer order, walks that end inside the image, ascending MAP
// keys and x values, curves from x 0 to 255, a sparse VE table (its rows differ
// in MAP keys); and it has room for ten more points.
TEST(DemoData, SatisfiesTheLayoutAndTakesTenMorePoints) {
    CalibrationImage image;
    ASSERT_EQ(ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", image).valuesStored, ImageSize);
    EXPECT_LE(*std::max_element(image.values.begin(), image.values.end()), 255u);
    const int sizes[] = {-3, 2, 2, 2, 3, 2, -2, 0, -2};  // at slots 3, 5, .., 19; < 0: a table
    std::set<std::vector<uint32_t>> veKeySets;
    for (int r = 0, start = 104; r < 9; start = PointerTarget(image, VeTableSlot + 2 * r++)) {
        const int slot = VeTableSlot + 2 * r, size = std::abs(sizes[r]);
        ASSERT_GE(PointerTarget(image, slot), start) << "regions out of order at " << slot;
        const RowListWalk rows = WalkRowList(image, slot, size);
        const CurveWalk curve = WalkCurve(image, slot, size);
        ASSERT_FALSE(size > 0 && (sizes[r] < 0 ? rows.broken : curve.broken)) << slot;
        std::vector<std::vector<int>> lists{curve.points};  // a curve's points, a row's entries
        if (sizes[r] <= 0) {  // slot 17's region (size 0) walks no rows
            lists.clear();
            std::ranges::transform(rows.rows, std::back_inserter(lists), &TableRow::entries);
        }
        for (const std::vector<int>& list : lists) {
            std::vector<uint32_t> keys;  // MAP keys of a row, x of a curve's points
            std::ranges::transform(list, std::back_inserter(keys), [&](int i) { return image[i]; });
            EXPECT_EQ(std::ranges::adjacent_find(keys, std::greater_equal<>()), keys.end()) << slot;
            EXPECT_TRUE(sizes[r] < 0 || (keys.front() == 0 && keys.back() == 255)) << slot;
            if (r == 0) {
                veKeySets.insert(keys);
            }
        }
    }
    EXPECT_GE(WalkRowList(image, VeTableSlot, 3).rows.size(), 4u);
    EXPECT_GE(veKeySets.size(), 2u);
    for (int i = 0; i < 10; ++i) {
        const int selected = WalkCurve(image, BCurveSlot, 3).points.at(1);
        ASSERT_EQ(InsertCurvePoint(image, BCurveSlot, 3, selected, SparkTableSlot),
                  InsertResult::Inserted);
    }
}

}  // namespace
}  // namespace korvel
