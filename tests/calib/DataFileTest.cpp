#include "calib/DataFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace korvel {
namespace {

CalibrationImage Filled(uint32_t value) {
    CalibrationImage image;
    image.values.fill(value);
    return image;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DataFile, FormatIsOneDecimalLinePerSlot) {
    CalibrationImage image;
    image.values = {0x0E, 0x40, 0, 300, 0xFFFFFFFF};
    const std::string text = FormatDataFile(image);
    EXPECT_EQ(text.substr(0, 23), std::string("14\r\n64\r\n0\r\n300\r\n-1\r\n0\r\n"));
    EXPECT_EQ(text.size(), 11 + 5 + 4 + 3 * 507u);
}

TEST(DataFile, RandomImagesRoundTrip) {
    std::mt19937 rng(5);
    for (int run = 0; run < 20; ++run) {
        CalibrationImage image;
        for (uint32_t& v : image.values) {
            v = run % 2 ? rng() : rng() % 256;
        }
        CalibrationImage back = Filled(7);
        const DataFileReadResult result = ParseDataFile(FormatDataFile(image), back);
        EXPECT_EQ(result.valuesStored, ImageSize);
        EXPECT_EQ(back.values, image.values);
    }
}

TEST(DataFile, LinesAreReadLikePercentD) {
    struct Case {
        std::string text;
        std::vector<uint32_t> head;  // the first slots afterwards; the rest stay 7
        int stored, withoutNumber;
    };
    const Case cases[] = {
        {"  42\r\n\t-1\r\n300\r\n", {42, 0xFFFFFFFF, 300, 7}, 3, 0},
        {"1\r\nabc\r\n\r\n4\r\n", {1, 7, 7, 4, 7}, 2, 2},
        {"5\n6\n7\n8", {5, 6, 7, 8, 7}, 4, 0},
        {"5\n\n\n6\r\n\n7\n", {5, 7, 7, 6, 7, 7}, 3, 3},
        {"12345678901234567\r\n9\r\n", {3755744309u, 9, 7}, 2, 0},
        {"123456789012345678\n9\n", {3755744309u, 9, 7}, 2, 0},
        {"              42\n1", {42, 1, 7}, 2, 0},
        {"+7 junk\r\n- 5\r\n  \n3", {7, 7, 7, 3}, 2, 2},
    };
    for (const Case& c : cases) {
        CalibrationImage image = Filled(7);
        const DataFileReadResult result = ParseDataFile(c.text, image);
        EXPECT_EQ(result.valuesStored, c.stored) << c.text;
        EXPECT_EQ(result.linesWithoutNumber, c.withoutNumber) << c.text;
        for (size_t i = 0; i < c.head.size(); ++i) {
            EXPECT_EQ(image[static_cast<int>(i)], c.head[i]) << c.text << " slot " << i;
        }
        EXPECT_EQ(image[ImageSize - 1], 7u);
    }
}

TEST(DataFile, LinesAfterThe512thAreIgnored) {
    std::string text;
    for (int i = 0; i < 600; ++i) {
        text += std::to_string(i) + "\r\n";
    }
    CalibrationImage image;
    EXPECT_EQ(ParseDataFile(text, image).valuesStored, ImageSize);
    EXPECT_EQ(image[ImageSize - 1], 511u);
}

class DataFileOnDisk : public testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::TempDir() + "datafile_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name();
        path_ = folder_ + "/cal.dat";
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    // Names in the folder: a save leaves no temporary file behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }
    std::string folder_, path_;
};

TEST_F(DataFileOnDisk, SaveThenOpenGivesTheSameImage) {
    CalibrationImage image;
    image[80] = 300;
    image[5] = 0xFFFFFFFF;
    ASSERT_EQ(WriteDataFile(path_, image), SaveResult::Saved);
    EXPECT_EQ(Slurp(path_), FormatDataFile(image));
    CalibrationImage back = Filled(9);
    EXPECT_TRUE(ReadDataFile(path_, back).opened);
    EXPECT_EQ(back.values, image.values);
    EXPECT_EQ(Entries(), std::vector<std::string>{"cal.dat"});
}

TEST_F(DataFileOnDisk, FailedSaveKeepsTheOldFile) {
    const std::string old = "1\r\n2\r\nnot a number\r\n";
    std::ofstream(path_, std::ios::binary) << old;
    // Half the bytes reach the disk, then the write fails (a full disk).
    const DataFileWriter failing = [](int fd, std::string_view bytes) {
        static_cast<void>(write(fd, bytes.data(), bytes.size() / 2) > 0);
        return false;
    };
    EXPECT_EQ(WriteDataFile(path_, Filled(3), failing), SaveResult::WriteFailed);
    EXPECT_EQ(Slurp(path_), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"cal.dat"});  // no temporary left behind

    EXPECT_EQ(WriteDataFile(folder_ + "/missing/cal.dat", Filled(3)), SaveResult::OpenFailed);
    EXPECT_EQ(WriteDataFile(folder_, Filled(3)), SaveResult::OpenFailed);
    CalibrationImage image = Filled(4);
    EXPECT_FALSE(ReadDataFile(folder_ + "/missing.dat", image).opened);
    EXPECT_FALSE(ReadDataFile(folder_, image).opened);
    EXPECT_EQ(image.values, Filled(4).values);
}

}  // namespace
}  // namespace korvel
