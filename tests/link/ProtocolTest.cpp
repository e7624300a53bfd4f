#include <gtest/gtest.h>

#include <functional>

#include "link/Protocol.h"
#include "tests/support/EchoEcu.h"
#include "tests/support/RecordingReporter.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using Primitive = std::function<bool(EcuLink&)>;

struct ProtocolTest : ::testing::Test {
    FakeClock clock;
    EchoEcu ecu;
    ScriptedTransport port{clock, ecu.Responder()};
    RecordingReporter reporter;
    EcuLink link{port, clock, reporter};
};

TEST_F(ProtocolTest, EchoedPrimitivesSendTheirBytesRetryingRefusals) {
    const struct {
        Primitive run;
        Bytes sent;
    } cases[] = {
        {[](EcuLink& l) { return SendAddress(l, 0x0E00); }, {0x02, 0x0E, 0x03, 0x00}},
        {[](EcuLink& l) { return SendAddress(l, 0x3ABCD); }, {0x02, 0xAB, 0x03, 0xCD}},
        {[](EcuLink& l) { return WriteDataByte(l, 0x1F7); }, {0x04, 0xF7}},
        {[](EcuLink& l) { return ProgramArm(l); }, {0x05, 0x2B}},
        {[](EcuLink& l) { return ProgramCommit(l); }, {0x05, 0xB2}},
    };
    for (const auto& c : cases) {
        port.sent.clear();
        port.refuseSends = 50;  // 50 short pauses stay well inside one phase
        EXPECT_FALSE(c.run(link));
        EXPECT_EQ(port.sent, c.sent);
    }
    EXPECT_TRUE(reporter.events.empty());
}

TEST_F(ProtocolTest, StrayBytesBeforeAnEchoAreSkipped) {
    port.responder = [this](uint8_t b) {
        Bytes reply{0x55, static_cast<uint8_t>(b ^ 0xFF)};
        for (uint8_t r : ecu.Receive(b))
            reply.push_back(r);
        return reply;
    };
    EXPECT_FALSE(SendAddress(link, 0x0E10));
    EXPECT_EQ(ecu.pointer, 0x0E10);
    EXPECT_EQ(port.PendingCount(), 0u);
}

TEST_F(ProtocolTest, DataStepTakesTheFirstByteWhateverItIs) {
    // 0x00 and bytes equal to SEND / SEND_INC are data, not absence or echo.
    for (uint8_t data : {0x00, 0x01, 0xFF}) {
        port.responder = [data](uint8_t) { return Bytes{data, 0x77}; };
        uint32_t next = 999;
        uint8_t at = 99;
        EXPECT_FALSE(ReadNextByte(link, next));
        EXPECT_EQ(port.ReadByte(), 0x77);  // a later byte is left for the next reader
        EXPECT_FALSE(ReadByteAtAddress(link, at));
        EXPECT_EQ(port.ReadByte(), 0x77);
        EXPECT_EQ(next, data);
        EXPECT_EQ(at, data);
    }
}

TEST_F(ProtocolTest, EachPhaseHasItsOwnTimeLimit) {
    port.replyDelayMs = 1900;  // four late echoes: 7.6 s in all, yet no step fails
    const int64_t start = clock.MonotonicMs();
    EXPECT_FALSE(SendAddress(link, 0x0E00));
    EXPECT_EQ(clock.MonotonicMs() - start, 4 * 1900);
}

TEST_F(ProtocolTest, TimeOutsFailWithTheirMessages) {
    uint32_t value = 0;
    const struct {
        size_t answered;  // the ECU falls silent after this many sent bytes
        int refusals;
        Primitive run;
        std::vector<std::string> messages;
        size_t sentCount;
    } cases[] = {
        {0,
         0,
         [&](EcuLink& l) { return ReadNextByte(l, value); },
         {"Timed out waiting for data"},
         1},
        {0,
         1000,
         [&](EcuLink& l) { return ReadNextByte(l, value); },
         {"Timed out sending SEND_INC command"},
         0},
        {3, 0, [](EcuLink& l) { return SendAddress(l, 0x0E00); }, {}, 4},
        {0,
         0,
         [](EcuLink& l) {
             uint8_t b;
             return ReadByteAtAddress(l, b);
         },
         {},
         1},
        {1, 0, [](EcuLink& l) { return WriteDataByte(l, 7); }, {}, 2},
        {0, 1000, [](EcuLink& l) { return ProgramArm(l); }, {}, 0},
        {1, 0, [](EcuLink& l) { return ProgramCommit(l); }, {}, 2},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EchoEcu fresh;
        port.sent.clear();
        reporter.Clear();
        port.refuseSends = c.refusals;
        port.responder = [&](uint8_t b) {
            return port.sent.size() <= c.answered ? fresh.Receive(b) : Bytes{};
        };
        const int64_t start = clock.MonotonicMs();
        EXPECT_TRUE(c.run(link)) << i;
        EXPECT_EQ(reporter.Messages(), c.messages) << i;
        EXPECT_EQ(port.sent.size(), c.sentCount) << i;
        EXPECT_GE(clock.MonotonicMs() - start, ExchangeTimeoutMs) << i;
        EXPECT_LT(clock.MonotonicMs() - start, 2 * ExchangeTimeoutMs) << i;
    }
}

TEST_F(ProtocolTest, FailedPortSleepsUntilTheDeadlineInsteadOfSpinning) {
    port.failed = true;
    port.responder = {};
    EXPECT_TRUE(SendAddress(link, 0x0E00));
    EXPECT_LE(port.readableWaits, 2);
}

TEST(PortNames, CanonicalNamesAndDevicePaths) {
    const char* cases[][3] = {
        {"", "COM1", "/dev/ttyS0"},
        {"2", "COM2", "/dev/ttyS1"},
        {"3", "3", "3"},
        {"COM4", "COM4", "/dev/ttyS3"},
        {"COM0", "COM0", "COM0"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CanonicalPortName(c[0]), c[1]) << c[0];
        EXPECT_EQ(DevicePathForPort(c[1]), c[2]) << c[0];
    }
}

}  // namespace
}  // namespace korvel
