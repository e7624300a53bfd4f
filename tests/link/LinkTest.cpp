#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "link/PeekPoke.h"
#include "link/Transfers.h"
#include "tests/support/EchoEcu.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedTransport.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;
using Primitive = std::function<LinkResult(EcuLink&)>;

struct LinkTest : ::testing::Test {
    FakeClock clock;
    EchoEcu ecu;
    ScriptedTransport port{clock, [this](uint8_t b) { return ecu.Receive(b); }};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
    CalibrationImage image;

    LinkTest() {
        for (int i = 0; i < ImageSize; ++i)
            ecu.memory[ImageBaseAddress + i] = static_cast<uint8_t>(i * 7 + 3);
    }
    LinkResult Upload() { return UploadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}); }
    bool EcuHoldsTheImage() const {
        return std::equal(image.values.begin(), image.values.end(),
                          ecu.memory.begin() + ImageBaseAddress);
    }
};

TEST_F(LinkTest, EchoedPrimitivesSendTheirBytesRetryingRefusals) {
    const struct {
        Primitive run;
        Bytes sent;
    } cases[] = {
        {[](EcuLink& l) { return SendAddress(l, 0x0E00); }, {0x02, 0x0E, 0x03, 0x00}},
        {[](EcuLink& l) { return SendAddress(l, 0x3ABCD); }, {0x02, 0xAB, 0x03, 0xCD}},
        {[](EcuLink& l) { return WriteDataByte(l, 0x1F7); }, {0x04, 0xF7}},
        {ProgramArm, {0x05, 0x2B}},
        {ProgramCommit, {0x05, 0xB2}},
    };
    for (const auto& c : cases) {
        port.sent.clear();
        port.refuseSends = 50;  // 50 short pauses stay well inside one phase
        EXPECT_TRUE(c.run(link).ok());
        EXPECT_EQ(port.sent, c.sent);
    }
    EXPECT_TRUE(reporter.events.empty());
}

TEST_F(LinkTest, StrayBytesBeforeAnEchoAreSkipped) {
    port.responder = [this](uint8_t b) {
        Bytes reply{0x55, static_cast<uint8_t>(b ^ 0xFF)};
        for (uint8_t r : ecu.Receive(b))
            reply.push_back(r);
        return reply;
    };
    EXPECT_TRUE(SendAddress(link, 0x0E10).ok());
    EXPECT_EQ(ecu.pointer, 0x0E10);
    EXPECT_EQ(port.ReadByte(), NoByte);
}

TEST_F(LinkTest, DataStepTakesTheFirstByteWhateverItIs) {
    // 0x00 and bytes equal to SEND / SEND_INC are data, not absence or echo.
    for (uint8_t data : {0x00, 0x01, 0xFF}) {
        port.responder = [data](uint8_t) { return Bytes{data, 0x77}; };
        uint32_t next = 999;
        uint8_t at = 99;
        EXPECT_TRUE(ReadNextByte(link, next).ok());
        EXPECT_EQ(port.ReadByte(), 0x77);  // a later byte is left for the next reader
        EXPECT_TRUE(ReadByteAtAddress(link, at).ok());
        EXPECT_EQ(port.ReadByte(), 0x77);
        EXPECT_EQ(next, data);
        EXPECT_EQ(at, data);
    }
}

TEST_F(LinkTest, EachPhaseHasItsOwnTimeLimit) {
    port.replyDelayMs = 1900;  // four late echoes: 7.6 s in all, yet no step fails
    const int64_t start = clock.MonotonicMs();
    EXPECT_TRUE(SendAddress(link, 0x0E00).ok());
    EXPECT_EQ(clock.MonotonicMs() - start, 4 * 1900);
}

TEST_F(LinkTest, TimeOutsFailWithTheirMessages) {
    using S = LinkStep;
    using P = LinkPhase;
    uint32_t value = 0;
    uint8_t byte = 0;
    const Primitive next = [&](EcuLink& l) { return ReadNextByte(l, value); };
    const Primitive at = [&](EcuLink& l) { return ReadByteAtAddress(l, byte); };
    const Primitive address = [](EcuLink& l) { return SendAddress(l, 0x0E00); };
    const Primitive data = [](EcuLink& l) { return WriteDataByte(l, 7); };
    const struct {
        size_t answered;  // the ECU falls silent after this many sent bytes
        int refusals;
        Primitive run;
        Texts messages;
        size_t sentCount;
        S step;
        P phase;
    } cases[] = {
        // clang-format off
        {0, 0, next, {"Timed out waiting for data"}, 1, S::ReadData, P::Wait},
        {0, 1000, next, {"Timed out sending SEND_INC command"}, 0, S::ReadData, P::Send},
        {3, 0, address, {}, 4, S::Address, P::Wait},
        {0, 0, at, {}, 1, S::ReadData, P::Wait},
        {1, 0, data, {}, 2, S::LoadData, P::Wait},
        {0, 1000, ProgramArm, {}, 0, S::Arm, P::Send},
        {1, 0, ProgramCommit, {}, 2, S::Commit, P::Wait},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EchoEcu fresh;
        port.sent.clear();
        reporter.events.clear();
        port.refuseSends = c.refusals;
        port.responder = [&](uint8_t b) {
            return port.sent.size() <= c.answered ? fresh.Receive(b) : Bytes{};
        };
        const int64_t start = clock.MonotonicMs();
        const LinkResult result = c.run(link);
        EXPECT_FALSE(result.ok()) << i;
        EXPECT_EQ(result.step, c.step) << i;
        EXPECT_EQ(result.phase, c.phase) << i;
        EXPECT_EQ(reporter.Messages(), c.messages) << i;
        EXPECT_EQ(port.sent.size(), c.sentCount) << i;
        EXPECT_GE(clock.MonotonicMs() - start, ExchangeTimeoutMs) << i;
        EXPECT_LT(clock.MonotonicMs() - start, 2 * ExchangeTimeoutMs) << i;
    }
}

TEST_F(LinkTest, FailedPortSleepsUntilTheDeadlineInsteadOfSpinning) {
    port.failed = true;
    port.responder = {};
    const LinkResult result = SendAddress(link, 0x0E00);
    EXPECT_EQ(result.step, LinkStep::Address);
    EXPECT_EQ(result.address, 0x0E00u);
    EXPECT_LE(port.readableWaits, 2);
}

TEST_F(LinkTest, UploadSendsTheAddressOnceAndReadsEveryByteInOrder) {
    int calls = 0;
    const UploadProgress inOrder = [&](int index, uint32_t) { EXPECT_EQ(index, calls++); };
    EXPECT_TRUE(UploadRange(link, image.values.data(), 0x0E00, 0x0FFF, inOrder).ok());
    Bytes expected{0x02, 0x0E, 0x03, 0x00};
    expected.insert(expected.end(), 512, 0x01);
    EXPECT_EQ(port.sent, expected);
    EXPECT_TRUE(EcuHoldsTheImage());
    EXPECT_EQ(calls, 512);
    EXPECT_EQ(reporter.Pane(MessagePane), UploadProgressText(511, image[511]));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(LinkTest, UploadThatStopsHalfWayKeepsTheBytesReadSoFar) {
    image.values.fill(0xEE);
    int answered = 0;
    port.responder = [&](uint8_t b) {
        return (b == SEND_INC && answered++ >= 256) ? Bytes{} : ecu.Receive(b);
    };
    const LinkResult result = Upload();
    EXPECT_EQ(result.step, LinkStep::ReadData);
    EXPECT_EQ(result.address, 0x0E00u + 256);
    for (int i = 0; i < ImageSize; ++i) {
        ASSERT_EQ(image[i], i < 256 ? ecu.memory[ImageBaseAddress + i] : 0xEEu) << i;
    }
    EXPECT_EQ(reporter.Messages(),
              (Texts{"Timed out waiting for data", "Not all addresses loaded"}));
}

TEST_F(LinkTest, DownloadWritesOnlyTheBytesThatDiffer) {
    for (const std::vector<int>& edited : {std::vector<int>{}, {0x15}, {0, 511}}) {
        ASSERT_TRUE(Upload().ok());
        Bytes expected;  // per address: the address, SEND, and a write where edited
        for (int i = 0; i < ImageSize; ++i) {
            const uint32_t a = ImageBaseAddress + i;
            expected.insert(expected.end(), {0x02, uint8_t(a >> 8), 0x03, uint8_t(a), 0x00});
            if (std::ranges::count(edited, i) > 0) {
                image[i] ^= 0x5A;
                expected.insert(expected.end(),
                                {0x04, uint8_t(image[i]), 0x05, 0x2B, 0x05, 0xB2, 0x00});
            }
        }
        port.sent.clear();
        EXPECT_TRUE(DownloadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}).ok());
        EXPECT_EQ(port.sent, expected) << edited.size();
        EXPECT_TRUE(EcuHoldsTheImage());
    }
}

// With 0x0E15 edited, the ECU falls silent after so many sent bytes (five per
// address before it): the failure names its step, address and written value.
TEST_F(LinkTest, DownloadFailureNamesWhereItStopped) {
    ASSERT_TRUE(Upload().ok());
    const uint8_t held = ecu.memory[0x0E15];
    image[0x15] ^= 0x5A;
    const uint32_t written = image[0x15];
    const struct {
        size_t answered;
        LinkStep step;
        uint32_t address;
        std::optional<uint32_t> written;
    } cases[] = {
        {3 * 5 + 4, LinkStep::ReadData, 0x0E03, std::nullopt},  // SEND at 0x0E03
        {0x15 * 5 + 5, LinkStep::LoadData, 0x0E15, written},
        {0x15 * 5 + 11, LinkStep::ReadData, 0x0E15, written},  // the read-back
        {0x15 * 5 + 10, LinkStep::Commit, 0x0E15, written},    // the 0xB2 parameter
    };
    for (const auto& c : cases) {
        port.sent.clear();
        ecu.memory[0x0E15] = held;  // a case that got as far as the read-back stored it
        port.responder = [&](uint8_t b) {
            return port.sent.size() <= c.answered ? ecu.Receive(b) : Bytes{};
        };
        const LinkResult result = DownloadRange(link, image.values.data(), 0x0E00, 0x0FFF, {});
        EXPECT_EQ(result.step, c.step) << c.answered;
        EXPECT_EQ(result.phase, LinkPhase::Wait) << c.answered;
        EXPECT_EQ(result.address, c.address) << c.answered;
        EXPECT_EQ(result.written, c.written) << c.answered;
        EXPECT_EQ(port.sent.size(), c.answered + 1) << c.answered;
    }
}

// Every programmed byte is read back with SEND, in Download and in Poke alike:
// an ECU that echoes the sequence without storing the byte, or whose
// read-back reply is lost, stops the transfer at that byte.
TEST_F(LinkTest, ProgrammedBytesAreReadBack) {
    ASSERT_TRUE(Upload().ok());
    const uint32_t held = image[0x15];
    image[0x15] = held ^ 0x5A;
    const uint32_t written = image[0x15];
    const Bytes writeAndReadBack{0x04, uint8_t(written), 0x05, 0x2B, 0x05, 0xB2, 0x00};
    const std::function<LinkResult()> download = [&] {
        return DownloadRange(link, image.values.data(), 0x0E00, 0x0FFF, {});
    };
    const std::function<LinkResult()> poke = [&] { return PokeByte(link, 0x0E15, written); };
    const struct {
        std::function<LinkResult()> run;
        bool stores;
        bool readBackAnswered;
        LinkStep step;
        std::optional<uint32_t> read;
    } cases[] = {
        {download, false, true, LinkStep::Verify, held},
        {download, true, false, LinkStep::ReadData, std::nullopt},
        {poke, false, true, LinkStep::Verify, held},
        {poke, true, false, LinkStep::ReadData, std::nullopt},
        {poke, true, true, LinkStep::None, std::nullopt},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        ecu.memory[0x0E15] = static_cast<uint8_t>(held);
        port.sent.clear();
        port.responder = [&](uint8_t b) {
            const bool readBack = b == SEND && port.sent.size() >= 2 &&
                                  port.sent[port.sent.size() - 2] == PROGRAM_COMMIT;
            Bytes reply = ecu.Receive(b);
            if (!c.stores) {
                ecu.memory[0x0E15] = static_cast<uint8_t>(held);
            }
            return readBack && !c.readBackAnswered ? Bytes{} : reply;
        };
        const LinkResult result = c.run();
        EXPECT_EQ(result.step, c.step) << i;
        EXPECT_EQ(result.read, c.read) << i;
        EXPECT_TRUE(
            std::equal(writeAndReadBack.rbegin(), writeAndReadBack.rend(), port.sent.rbegin()))
            << i << ": the read-back is the last byte sent";
        if (!result.ok()) {
            EXPECT_EQ(result.address, 0x0E15u) << i;
            EXPECT_EQ(result.written, written) << i;
        }
        const std::string verify = VerifyFailureText(result);
        EXPECT_EQ(verify.empty(), c.step != LinkStep::Verify) << i;
    }
    LinkResult mismatch = LinkResult::Failed(LinkStep::Verify, LinkPhase::None).At(0x0E57);
    mismatch.written = 0x2C;
    mismatch.read = 0x2B;
    EXPECT_EQ(VerifyFailureText(mismatch), "Verify failed at E57: wrote 2C, ECU holds 2B");
}

// The block is read as Upload reads it; then only the differing bytes are
// programmed, each read back. With nothing changed, the trace is the read.
TEST_F(LinkTest, DownloadChangesProgramsOnlyTheDifferingBytes) {
    Bytes read{0x02, 0x0E, 0x03, 0x00};
    read.insert(read.end(), 512, 0x01);
    const std::vector<int> ten{0, 3, 7, 0x15, 0x57, 100, 200, 300, 400, 511};
    for (const std::vector<int>& edited : {std::vector<int>{}, {0x15}, ten}) {
        ASSERT_TRUE(Upload().ok());
        Bytes expected = read;
        for (int i : edited) {
            const uint32_t a = ImageBaseAddress + i;
            image[i] ^= 0x5A;
            expected.insert(expected.end(), {0x02, uint8_t(a >> 8), 0x03, uint8_t(a), 0x04,
                                             uint8_t(image[i]), 0x05, 0x2B, 0x05, 0xB2, 0x00});
        }
        port.sent.clear();
        int programmed = -1;
        std::vector<int> steps;  // the total is 512 while reading, then 512 + changes
        const StepProgress progress = [&](int done, int total) {
            EXPECT_EQ(total, steps.size() < 512 ? 512 : 512 + static_cast<int>(edited.size()));
            steps.push_back(done);
        };
        EXPECT_TRUE(DownloadChanges(link, image, progress, &programmed).ok());
        EXPECT_EQ(port.sent, expected) << edited.size();
        EXPECT_EQ(programmed, static_cast<int>(edited.size()));
        EXPECT_EQ(steps.size(), 512 + edited.size());
        EXPECT_EQ(steps.back(), static_cast<int>(512 + edited.size()));
        EXPECT_TRUE(EcuHoldsTheImage());
    }
    CalibrationImage ecuCopy;  // Compare's read: the same trace, no message
    port.sent.clear();
    EXPECT_TRUE(ReadCalibration(link, ecuCopy, {}).ok());
    EXPECT_EQ(port.sent, read);
    EXPECT_EQ(ecuCopy.values, image.values);
    EXPECT_TRUE(reporter.Messages().empty());
}

// Unstored writes, a lost read-back and a lost data byte of the read each
// stop the download; only verified bytes count as programmed.
TEST_F(LinkTest, DownloadChangesStopsAtTheFirstFailure) {
    const struct {
        std::function<Bytes(uint8_t, Bytes)> twist;
        LinkStep step;
        uint32_t address;
        int programmed;
    } cases[] = {
        {[&](uint8_t, Bytes r) {  // the second change is never stored
             ecu.memory[0x0E20] = 0x11;
             return r;
         },
         LinkStep::Verify, 0x0E20, 1},
        {[&](uint8_t b, Bytes r) {  // the read-back of the second change is lost
             const bool second = port.sent.size() > 520 + 11;
             return b == SEND && second ? Bytes{} : r;
         },
         LinkStep::ReadData, 0x0E20, 1},
        {[&](uint8_t b, Bytes r) { return b == SEND_INC && port.sent.size() == 104 ? Bytes{} : r; },
         LinkStep::ReadData, 0x0E00 + 99, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Upload().ok());
        ecu.memory[0x0E10] = 0x22;
        ecu.memory[0x0E20] = 0x11;
        image[0x10] = 0x33;
        image[0x20] = 0x44;
        port.sent.clear();
        port.responder = [&](uint8_t b) { return c.twist(b, ecu.Receive(b)); };
        int programmed = -1;
        const LinkResult result = DownloadChanges(link, image, {}, &programmed);
        EXPECT_EQ(result.step, c.step) << c.address;
        EXPECT_EQ(result.address, c.address);
        EXPECT_EQ(programmed, c.programmed) << c.address;
        port.responder = [&](uint8_t b) { return ecu.Receive(b); };
    }
}

// A cancel request is looked at only between two bytes: a programming
// sequence that has begun is always finished and read back.
TEST_F(LinkTest, CancelStopsAtTheNextByteBoundary) {
    ASSERT_TRUE(Upload().ok());
    CalibrationImage before = image;
    image[0x10] ^= 1;
    image[0x11] ^= 1;
    int asked = 0;
    int cancelAt = 0;
    link.cancelRequested = [&] { return ++asked > cancelAt; };
    const struct {
        std::function<LinkResult()> run;
        int cancelAt;
        size_t sent;
        uint32_t address;
    } cases[] = {
        {[&] { return UploadRange(link, before.values.data(), 0x0E00, 0x0FFF, {}); }, 100, 104,
         0x0E00 + 100},
        {[&] { return DownloadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}); }, 0x11,
         0x11 * 5 + 7, 0x0E11},
        {[&] { return DownloadChanges(link, image, {}); }, 512 + 1, 516 + 11, 0x0E11},
    };
    for (const auto& c : cases) {
        ecu.memory[0x0E10] = static_cast<uint8_t>(before[0x10]);
        port.sent.clear();
        asked = 0;
        cancelAt = c.cancelAt;
        const LinkResult result = c.run();
        EXPECT_EQ(result.step, LinkStep::Cancelled) << c.cancelAt;
        EXPECT_EQ(result.address, c.address) << c.cancelAt;
        EXPECT_EQ(port.sent.size(), c.sent) << c.cancelAt;
        EXPECT_EQ(port.sent.back(), c.sent == 104 ? SEND_INC : SEND) << c.cancelAt;
    }
    EXPECT_EQ(ecu.memory[0x0E10], image[0x10]);
    EXPECT_NE(ecu.memory[0x0E11], image[0x11]);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST(LinkTexts, ProgressTextsAndPortNames) {
    EXPECT_EQ(UploadProgressText(0, 0x0A), "Uploading Data 0  A");
    EXPECT_EQ(UploadProgressText(511, 0xFF), "Uploading Data 511  FF");
    EXPECT_EQ(DownloadProgressText(0x00, 0x1AB), "Programming ECU:  0  1AB");
    const char* ports[][3] = {{"", "COM1", "/dev/ttyS0"},
                              {"2", "COM2", "/dev/ttyS1"},
                              {"3", "3", "3"},
                              {"COM4", "COM4", "/dev/ttyS3"},
                              {"COM0", "COM0", "COM0"},
                              {"/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0"}};
    for (const auto& c : ports) {
        EXPECT_EQ(CanonicalPortName(c[0]), c[1]) << c[0];
        EXPECT_EQ(DevicePathForPort(c[1]), c[2]) << c[0];
    }
}

}  // namespace
}  // namespace korvel
