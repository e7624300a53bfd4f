#include <gtest/gtest.h>

#include <algorithm>

#include "link/Transfers.h"
#include "tests/support/EchoEcu.h"
#include "tests/support/RecordingReporter.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

struct TransfersTest : ::testing::Test {
    FakeClock clock;
    EchoEcu ecu;
    ScriptedTransport port{clock, ecu.Responder()};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
    CalibrationImage image;

    void SetUp() override {
        for (int i = 0; i < ImageSize; ++i) {
            ecu.memory[ImageBaseAddress + i] = static_cast<uint8_t>(i * 7 + 3);
        }
    }
    bool Upload() { return UploadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}); }
    bool Download() { return DownloadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}); }
    void FillFromEcu() {
        for (int i = 0; i < ImageSize; ++i)
            image[i] = ecu.memory[ImageBaseAddress + i];
    }
};

TEST_F(TransfersTest, UploadSendsTheAddressOnceAndReadsEveryByteInOrder) {
    int calls = 0;
    EXPECT_FALSE(UploadRange(link, image.values.data(), 0x0E00, 0x0FFF,
                             [&](int index, uint32_t) { EXPECT_EQ(index, calls++); }));
    Bytes expected{0x02, 0x0E, 0x03, 0x00};
    expected.insert(expected.end(), 512, 0x01);
    EXPECT_EQ(port.sent, expected);
    for (int i = 0; i < ImageSize; ++i) {
        ASSERT_EQ(image[i], ecu.memory[ImageBaseAddress + i]) << i;
    }
    EXPECT_EQ(calls, 512);
    EXPECT_EQ(reporter.Pane(MessagePane), UploadProgressText(511, image[511]));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(TransfersTest, UploadThatStopsHalfWayKeepsTheBytesReadSoFar) {
    image.values.fill(0xEE);
    int answered = 0;
    port.responder = [&](uint8_t b) {
        return (b == SEND_INC && answered++ >= 256) ? Bytes{} : ecu.Receive(b);
    };
    EXPECT_TRUE(UploadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}));
    for (int i = 0; i < ImageSize; ++i) {
        ASSERT_EQ(image[i], i < 256 ? ecu.memory[ImageBaseAddress + i] : 0xEEu) << i;
    }
    EXPECT_EQ(reporter.Messages(),
              (std::vector<std::string>{"Timed out waiting for data", "Not all addresses loaded"}));
}

TEST_F(TransfersTest, DownloadWritesOnlyTheBytesThatDiffer) {
    const struct {
        const char* name;
        std::vector<int> edited;  // image indexes changed before the download
    } cases[] = {{"identical", {}}, {"one edit", {0x15}}, {"first and last", {0, 511}}};
    for (const auto& c : cases) {
        FillFromEcu();
        for (int i : c.edited)
            image[i] = (image[i] + 1) & 0xFF;
        port.sent.clear();
        ecu.programmed.clear();
        EXPECT_FALSE(Download()) << c.name;
        std::vector<uint16_t> addresses;
        for (int i : c.edited)
            addresses.push_back(static_cast<uint16_t>(ImageBaseAddress + i));
        EXPECT_EQ(ecu.programmed, addresses) << c.name;
        // Per address: 4 address bytes and SEND; per write 6 more bytes.
        EXPECT_EQ(port.sent.size(), 512 * 5 + 6 * c.edited.size()) << c.name;
        for (int i = 0; i < ImageSize; ++i) {
            ASSERT_EQ(ecu.memory[ImageBaseAddress + i], image[i]) << c.name << i;
        }
    }
}

TEST(TransferTexts, HexUpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(UploadProgressText(0, 0x0A), "Uploading Data 0  A");
    EXPECT_EQ(UploadProgressText(511, 0xFF), "Uploading Data 511  FF");
    EXPECT_EQ(DownloadProgressText(0x00, 0x1AB), "Programming ECU:  0  1AB");
}

}  // namespace
}  // namespace korvel
