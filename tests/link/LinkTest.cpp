#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "link/PeekPoke.h"
#include "link/Transfers.h"
#include "sim/VirtualEcu.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedTransport.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;
using Primitive = std::function<LinkResult(EcuLink&)>;
using Action = std::function<LinkResult()>;

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}
Bytes AddressBytes(uint32_t a) {
    return {0x02, uint8_t(a >> 8), 0x03, uint8_t(a)};
}
// LOAD_DATA, arm, commit, then the read-back with SEND.
Bytes ProgramBytes(uint32_t v) {
    return {0x04, uint8_t(v), 0x05, 0x2B, 0x05, 0xB2, 0x00};
}

struct LinkTest : ::testing::Test {
    FakeClock clock;
    VirtualEcu ecu;
    ScriptedTransport port{clock, [this](uint8_t b, Bytes& reply) { ecu.Receive(b, reply); }};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
    CalibrationImage image;

    LinkTest() {
        for (int i = 0; i < ImageSize; ++i)
            ecu.memory[ImageBaseAddress + i] = static_cast<uint8_t>(i * 7 + 3);
    }
    LinkResult Upload() { return UploadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}); }
    LinkResult Download() { return DownloadRange(link, image.values.data(), 0x0E00, 0x0FFF, {}); }
    // From now on the ECU answers `answered` more bytes (-1: all), then falls silent.
    void Answer(long answered, bool stores = true) {
        ecu.ClearRecords();
        ecu.faults = {.silentAfterBytes = answered, .unstoredWrites = !stores};
    }
    bool EcuHoldsTheImage() const {
        return std::equal(image.values.begin(), image.values.end(),
                          ecu.memory.begin() + ImageBaseAddress);
    }
};

TEST_F(LinkTest, StrayBytesBeforeAnEchoAreSkippedButADataStepTakesTheFirstByte) {
    port.responder = [this](uint8_t b, Bytes& reply) {
        reply = {0x55, static_cast<uint8_t>(b ^ 0xFF)};
        ecu.Receive(b, reply);
    };
    EXPECT_TRUE(SendAddress(link, 0x0E10).ok());
    EXPECT_EQ(port.sent, AddressBytes(0x0E10));
    EXPECT_EQ(port.ReadByte(), NoByte);
    // 0x00 and bytes equal to SEND / SEND_INC are data, not absence or echo;
    // a later byte is left for the next reader.
    for (uint8_t data : {0x00, 0x01, 0xFF}) {
        port.responder = [data](uint8_t, Bytes& reply) { reply = {data, 0x77}; };
        uint32_t next = 999;
        uint8_t at = 99;
        EXPECT_TRUE(ReadNextByte(link, next).ok());
        EXPECT_EQ(port.ReadByte(), 0x77);
        EXPECT_TRUE(ReadByteAtAddress(link, at).ok());
        EXPECT_EQ(port.ReadByte(), 0x77);
        EXPECT_EQ(next, data);
        EXPECT_EQ(at, data);
    }
}

TEST_F(LinkTest, EachPhaseHasItsOwnTimeLimitAndAFailedPortSleepsUntilIt) {
    port.replyDelayMs = 1900;  // four late echoes: 7.6 s in all, yet no step fails
    const int64_t start = clock.MonotonicMs();
    EXPECT_TRUE(SendAddress(link, 0x0E00).ok());
    EXPECT_EQ(clock.MonotonicMs() - start, 4 * 1900);
    port.failed = true;
    port.responder = {};
    const LinkResult result = SendAddress(link, 0x0E00);
    EXPECT_EQ(result.step, LinkStep::Address);
    EXPECT_EQ(result.address, 0x0E00u);
    EXPECT_LE(port.readableWaits, 4 + 2);  // no spinning
}

// Each primitive sends its bytes, retrying refused sends within a phase; an
// ECU that falls silent, or a port that refuses for too long, fails it after
// one time-out with the step and phase it stopped in.
TEST_F(LinkTest, PrimitivesSendTheirBytesAndTimeOutWithTheirMessages) {
    using S = LinkStep;
    using P = LinkPhase;
    uint32_t value = 0;
    const Primitive next = [&](EcuLink& l) { return ReadNextByte(l, value); };
    const Primitive address = [](EcuLink& l) { return SendAddress(l, 0x0E00); };
    const Primitive wideAddress = [](EcuLink& l) { return SendAddress(l, 0x3ABCD); };
    const Primitive data = [](EcuLink& l) { return WriteDataByte(l, 0x1F7); };
    const long all = -1;
    const struct {
        Primitive run;
        long answered;  // the ECU falls silent after this many sent bytes
        int refusals;
        Bytes sent;
        S step;
        P phase;
        Texts messages = {};
    } cases[] = {
        // 50 refused sends are short pauses well inside one phase.
        {address, all, 50, AddressBytes(0x0E00), S::None, P::None},
        {wideAddress, all, 50, AddressBytes(0xABCD), S::None, P::None},
        {data, all, 50, {0x04, 0xF7}, S::None, P::None},
        {ProgramArm, all, 50, {0x05, 0x2B}, S::None, P::None},
        {ProgramCommit, all, 50, {0x05, 0xB2}, S::None, P::None},
        {next, 0, 0, {0x01}, S::ReadData, P::Wait, {"Timed out waiting for data"}},
        {next, 0, 1000, {}, S::ReadData, P::Send, {"Timed out sending SEND_INC command"}},
        {address, 3, 0, AddressBytes(0x0E00), S::Address, P::Wait},
        {ProgramArm, 0, 1000, {}, S::Arm, P::Send},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        ecu = VirtualEcu{};
        port.sent.clear();
        reporter.events.clear();
        port.refuseSends = c.refusals;
        Answer(c.answered);
        const int64_t start = clock.MonotonicMs();
        const LinkResult result = c.run(link);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(result.phase, c.phase);
        EXPECT_EQ(reporter.Messages(), c.messages);
        EXPECT_EQ(port.sent, c.sent);
        if (!result.ok()) {
            EXPECT_GE(clock.MonotonicMs() - start, ExchangeTimeoutMs);
            EXPECT_LT(clock.MonotonicMs() - start, 2 * ExchangeTimeoutMs);
        }
    }
}

TEST_F(LinkTest, UploadReadsEveryByteInOrderAndKeepsThoseReadWhenStopped) {
    int calls = 0;
    const UploadProgress inOrder = [&](int index, uint32_t) { EXPECT_EQ(index, calls++); };
    EXPECT_TRUE(UploadRange(link, image.values.data(), 0x0E00, 0x0FFF, inOrder).ok());
    Bytes expected = AddressBytes(0x0E00);
    expected.insert(expected.end(), 512, 0x01);
    EXPECT_EQ(port.sent, expected);
    EXPECT_TRUE(EcuHoldsTheImage());
    EXPECT_EQ(calls, 512);
    EXPECT_EQ(reporter.Pane(MessagePane), UploadProgressText(511, image[511]));
    EXPECT_TRUE(reporter.Messages().empty());

    image.values.fill(0xEE);
    port.sent.clear();
    Answer(4 + 256);
    const LinkResult result = Upload();
    EXPECT_EQ(result.step, LinkStep::ReadData);
    EXPECT_EQ(result.address, 0x0E00u + 256);
    for (int i = 0; i < ImageSize; ++i) {
        ASSERT_EQ(image[i], i < 256 ? ecu.memory[ImageBaseAddress + i] : 0xEEu) << i;
    }
    EXPECT_EQ(reporter.Messages(),
              (Texts{"Timed out waiting for data", "Not all addresses loaded"}));
}

// With 0x0E15 edited, every writer reads each programmed byte back with SEND;
// an ECU that falls silent after so many sent bytes (five per address before
// it in Download), or echoes the programming without storing the byte, stops
// the writer there, and the failure names its step, address and values.
TEST_F(LinkTest, WriteFailuresNameWhereTheyStopped) {
    ASSERT_TRUE(Upload().ok());
    const uint32_t held = image[0x15];
    const uint32_t written = image[0x15] ^= 0x5A;
    const Action download = [&] { return Download(); };
    const Action poke = [&] { return PokeByte(link, 0x0E15, written); };
    int programmed = -1;  // only verified bytes count
    const Action changes = [&] { return DownloadChanges(link, image, {}, &programmed); };
    const long all = -1;
    const struct {
        Action run;
        long answered;
        bool stores;
        LinkStep step;
        uint32_t address;
        int programmed = -1;
    } cases[] = {
        {download, 3 * 5 + 4, true, LinkStep::ReadData, 0x0E03},  // SEND at 0x0E03
        {download, 0x15 * 5 + 5, true, LinkStep::LoadData, 0x0E15},
        {download, 0x15 * 5 + 11, true, LinkStep::ReadData, 0x0E15},  // the read-back
        {download, all, false, LinkStep::Verify, 0x0E15},
        {changes, all, false, LinkStep::Verify, 0x0E15, 0},
        {poke, 10, true, LinkStep::ReadData, 0x0E15},
        {poke, all, false, LinkStep::Verify, 0x0E15},
        {poke, all, true, LinkStep::None, 0x0E15},
        // Last: it leaves the ECU waiting for the 0xB2 parameter.
        {download, 0x15 * 5 + 10, true, LinkStep::Commit, 0x0E15},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        ecu.memory[0x0E15] = static_cast<uint8_t>(held);
        port.sent.clear();
        Answer(c.answered, c.stores);
        programmed = -1;
        const LinkResult result = c.run();
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(programmed, c.programmed);
        if (c.answered == all) {  // the read-back is the last thing sent
            const Bytes tail = ProgramBytes(written);
            EXPECT_TRUE(std::equal(tail.rbegin(), tail.rend(), port.sent.rbegin()));
        } else {
            EXPECT_EQ(port.sent.size(), static_cast<size_t>(c.answered + 1));
        }
        if (!result.ok()) {
            EXPECT_EQ(result.address, c.address);
            EXPECT_EQ(result.written, c.address == 0x0E15 ? std::optional(written) : std::nullopt);
            EXPECT_EQ(result.read, c.step == LinkStep::Verify ? std::optional(held) : std::nullopt);
        }
    }
}

// Download sends each address with SEND and programs where the byte differs;
// the changes-only download reads the block as Upload does, then programs
// just the differing bytes. Each programmed byte is read back.
TEST_F(LinkTest, DownloadsProgramOnlyTheDifferingBytes) {
    Bytes read = AddressBytes(0x0E00);
    read.insert(read.end(), 512, 0x01);
    const std::vector<int> some{0, 3, 7, 0x15, 0x57, 100, 200, 300, 400, 511};
    for (const bool changesOnly : {false, true}) {
        for (const std::vector<int>& edited : {std::vector<int>{}, some}) {
            SCOPED_TRACE(testing::Message() << changesOnly << " " << edited.size());
            ASSERT_TRUE(Upload().ok());
            Bytes expected = changesOnly ? read : Bytes{};
            for (int i = 0; i < ImageSize; ++i) {
                const bool edit = std::ranges::count(edited, i) > 0;
                image[i] ^= edit ? 0x5A : 0;
                if (!changesOnly || edit) {
                    Append(expected, AddressBytes(ImageBaseAddress + i));
                }
                if (!changesOnly) {
                    expected.push_back(SEND);
                }
                if (edit) {
                    Append(expected, ProgramBytes(image[i]));
                }
            }
            port.sent.clear();
            int programmed = -1;
            std::vector<int> steps;  // the total is 512 while reading, then 512 + changes
            const int all = 512 + static_cast<int>(edited.size());
            const StepProgress progress = [&](int done, int total) {
                EXPECT_EQ(total, steps.size() < 512 ? 512 : all);
                steps.push_back(done);
            };
            EXPECT_TRUE(changesOnly ? DownloadChanges(link, image, progress, &programmed).ok()
                                    : Download().ok());
            EXPECT_EQ(port.sent, expected);
            EXPECT_TRUE(EcuHoldsTheImage());
            if (changesOnly) {
                EXPECT_EQ(programmed, static_cast<int>(edited.size()));
                EXPECT_EQ(steps.size(), static_cast<size_t>(all));
                EXPECT_EQ(steps.back(), all);
            }
        }
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
        Action run;
        int cancelAt;
        size_t sent;
        uint32_t address;
    } cases[] = {
        {[&] { return UploadRange(link, before.values.data(), 0x0E00, 0x0FFF, {}); }, 100, 104,
         0x0E00 + 100},
        {[&] { return Download(); }, 0x11, 0x11 * 5 + 7, 0x0E11},
        {[&] { return DownloadChanges(link, image, {}); }, 512 + 1, 516 + 11, 0x0E11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cancelAt);
        ecu.memory[0x0E10] = static_cast<uint8_t>(before[0x10]);
        port.sent.clear();
        asked = 0;
        cancelAt = c.cancelAt;
        const LinkResult result = c.run();
        EXPECT_EQ(result.step, LinkStep::Cancelled);
        EXPECT_EQ(result.address, c.address);
        EXPECT_EQ(port.sent.size(), c.sent);
        EXPECT_EQ(port.sent.back(), c.sent == 104 ? SEND_INC : SEND);
    }
    EXPECT_EQ(ecu.memory[0x0E10], image[0x10]);
    EXPECT_NE(ecu.memory[0x0E11], image[0x11]);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST(LinkTexts, ProgressTextsAndPortNames) {
    EXPECT_EQ(UploadProgressText(0, 0x0A), "Uploading Data 0  A");
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
