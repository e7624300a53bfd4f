// The virtual ECU's replies, EEPROM programming rules and fault options, and
// the serial line's pacing in front of it, on made-up times.

#include "sim/VirtualEcu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "sim/PacedEcu.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
    const char* name;
    Bytes sent;
    Bytes replies;
    std::vector<EepromWrite> writes = {};
    VirtualEcuFaults faults = {};
};

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes At(uint16_t a) {
    return {0x02, static_cast<uint8_t>(a >> 8), 0x03, static_cast<uint8_t>(a)};
}

// LOAD_DATA 0x77, PROGRAM arm, PROGRAM commit.
const Bytes Write77 = {0x04, 0x77, 0x05, 0x2B, 0x05, 0xB2};

// Programming steps at `address`, all echoed; `stored`: one write of 0x77 there.
Case Program(const char* name, uint16_t address, const Bytes& steps, bool stored,
             VirtualEcuFaults faults = {}) {
    const Bytes sent = Cat(At(address), steps);
    return {name, sent, sent, std::vector<EepromWrite>(stored ? 1 : 0, {address, 0x77}), faults};
}

const Case Cases[] = {
    {"SendKeepsAndSendIncAdvances", Cat(At(0x0E00), {0x00, 0x00, 0x01, 0x01, 0x00}),
     Cat(At(0x0E00), {0x11, 0x11, 0x11, 0x22, 0x33})},
    {"PointerWrapsAtTop", Cat(At(0xFFFF), {0x01, 0x01}), Cat(At(0xFFFF), {0x99, 0x42})},
    {"HighByteKeepsLowByte", {0x03, 0x01, 0x02, 0x0E, 0x00}, {0x03, 0x01, 0x02, 0x0E, 0x22}},
    {"ParameterEqualToACommand", {0x04, 0x01, 0x00}, {0x04, 0x01, 0x42}},
    {"UnboundSlotReadsAddressZero", {0x8F}, {0x42}},
    {"UnknownCommandsAreIgnored", {0x06, 0x7F, 0xA0, 0xB5, 0xFF}, {}},
    Program("FirstEepromByte", 0x0E00, Write77, true),
    Program("LastEepromByte", 0x0FFF, Write77, true),
    Program("BelowEeprom", 0x0DFF, Write77, false),
    Program("AboveEeprom", 0x1000, Write77, false),
    Program("CommitWithoutArm", 0x0E05, {0x04, 0x77, 0x05, 0xB2}, false),
    Program("CommandBetweenArmAndCommit", 0x0E05, {0x05, 0x2B, 0x04, 0x77, 0x05, 0xB2}, false),
    Program("OtherParamDisarms", 0x0E05, {0x04, 0x77, 0x05, 0x2B, 0x05, 0x00, 0x05, 0xB2}, false),
    Program("ArmHoldsForOneCommit", 0x0E05, Cat(Write77, {0x04, 0x55, 0x05, 0xB2}), true),
    {"WrongParameterEcho", {0x02, 0x0E, 0x00}, {0x02, 0xF1, 0x11}, {}, {.wrongEcho = true}},
    {"DropEverySecondReply", At(0x0E00), {0x02, 0x03}, {}, {.dropReplyEvery = 2}},
};

TEST(VirtualEcu, AnswersActsAndRecordsAsTheProtocolSays) {
    const std::pair<uint16_t, uint8_t> preset[] = {
        {0x0000, 0x42}, {0x0E00, 0x11}, {0x0E01, 0x22}, {0x0E02, 0x33}, {0xFFFF, 0x99}};
    VirtualEcu prepared;
    for (auto [address, value] : preset) {
        prepared.memory[address] = value;
    }
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        VirtualEcu ecu = prepared;
        ecu.faults = c.faults;
        Bytes replies;
        for (uint8_t b : c.sent) {
            ecu.Receive(b, replies);
        }
        EXPECT_EQ(replies, c.replies);
        EXPECT_EQ(ecu.Received(), c.sent);
        EXPECT_EQ(ecu.Writes(), c.writes);
        auto expected = prepared.memory;  // nothing but the recorded writes changes memory
        for (const EepromWrite& w : c.writes) {
            expected[w.address] = w.value;
        }
        EXPECT_TRUE(ecu.memory == expected);
    }
}

constexpr int64_t C = 1042;  // a character time at 9600 baud (10 bits), in microseconds

TEST(PacedEcu, RepliesLeaveNoFasterThanTheLine) {
    struct PacingCase {
        const char* name;
        LineTiming timing;
        VirtualEcuFaults faults;
        Bytes sent;                // all arrive at time 0
        std::vector<int64_t> due;  // when each reply byte has left the line
    };
    const LineTiming slow{9600, 0, 20'000};  // 20 ms programming time
    const Bytes write = Cat(At(0x0E00), Write77);
    const std::vector<int64_t> committed = {2 * C, 3 * C, 4 * C, 5 * C,  6 * C,
                                            7 * C, 8 * C, 9 * C, 10 * C, 11 * C + 20'000};
    const PacingCase cases[] = {
        // A request takes one character time to arrive and its reply another.
        {"BurstIsPacedBothWays", {9600, 0, 0}, {}, {0x01, 0x01, 0x01}, {2 * C, 3 * C, 4 * C}},
        {"StrayQueuesBehindEcho", {9600, 0, 0}, {.strayBeforeEcho = true}, {0x02}, {2 * C, 3 * C}},
        {"Latency", {9600, 5000, 0}, {}, {0x00}, {2 * C + 5000}},
        {"Unpaced", {0, 0, 0}, {}, {0x02, 0x2B}, {0, 0}},
        // Only the echo of a commit into the EEPROM waits.
        {"CommittedWriteWaits", slow, {}, write, committed},
        {"CommitAtZero", slow, {}, {0x05, 0x2B, 0x05, 0xB2}, {2 * C, 3 * C, 4 * C, 5 * C}},
        // A late reply holds back the one behind it.
        {"LateReplies",
         {9600, 0, 0},
         {.lateBeyondEvery = 1},
         {0x00, 0x00},
         {2 * C + LateBeyondMs * 1000, 3 * C + LateBeyondMs * 1000}},
    };
    for (const PacingCase& c : cases) {
        VirtualEcu ecu;
        ecu.faults = c.faults;
        PacedEcu paced(ecu, c.timing);
        paced.Receive(c.sent.data(), c.sent.size(), 0, 0);
        std::vector<int64_t> due;
        for (int64_t t = paced.NextDueUs(); t >= 0; t = paced.NextDueUs()) {
            Bytes out;
            paced.TakeDue(t, out);
            due.insert(due.end(), out.size(), t);
        }
        EXPECT_EQ(due, c.due) << c.name;
    }
}

// A brown-out by count or by time: slot 0, bound to 0x30, reads address 0
// again once the ECU has answered nothing for the quiet time.
TEST(VirtualEcu, BrownOutForgetsTheSlotsAndIsQuietForAWhile) {
    struct Step {
        int64_t ms;
        uint8_t sent;
        Bytes replies;
    };
    const Bytes bind = {0x04, 0x30, 0x90};  // LOAD_DATA 0x30, SET_SLOT 0
    const std::vector<Step> steps = {
        {0, 0x04, {0x04}}, {0, 0x30, {0x30}}, {0, 0x90, {0x90}},    {10, 0x80, {0x77}},
        {20, 0x80, {}},    {1019, 0x80, {}},  {1020, 0x80, {0x42}}, {1030, 0x02, {0x02}},
    };
    const struct {
        const char* name;
        VirtualEcuFaults faults;
    } cases[] = {
        {"after 4 bytes", {.resetAfterBytes = 4, .resetQuietMs = 1000}},
        {"at 20 ms", {.resetAtMs = 20, .resetQuietMs = 1000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualEcu ecu;
        ecu.faults = c.faults;
        ecu.memory[0x00] = 0x42;
        ecu.memory[0x30] = 0x77;
        for (const Step& step : steps) {
            ecu.AdvanceEngine(step.ms);
            Bytes replies;
            ecu.Receive(step.sent, replies);
            EXPECT_EQ(replies, step.replies) << step.ms << " ms";
        }
        EXPECT_EQ(ecu.Resets(), 1);
    }
}

// Noise comes before echoes only, never equal to the echo; lateness and
// noise follow the seed and the exchange, not the clock.
TEST(VirtualEcu, NoiseAndLatenessFollowTheSeed) {
    const auto run = [](VirtualEcuFaults faults) {
        VirtualEcu ecu;
        ecu.faults = faults;
        std::vector<Bytes> replies;
        std::vector<int64_t> late;
        for (int i = 0; i < 300; ++i) {  // LOAD_ADDR_HI 0x0E (two echoes), then SEND (data)
            for (uint8_t b : {uint8_t{0x02}, uint8_t{0x0E}, uint8_t{0x00}}) {
                replies.emplace_back();
                ecu.Receive(b, replies.back());
                late.push_back(ecu.LastReplyLateMs());
            }
        }
        return std::pair{replies, late};
    };
    const auto [noisy, notLate] = run({.noiseEvery = 2, .seed = 7});
    int bursts = 0;
    for (size_t i = 0; i < noisy.size(); ++i) {
        const Bytes& r = noisy[i];
        ASSERT_FALSE(r.empty());
        const bool echo = i % 3 != 2;
        ASSERT_LE(r.size(), 5u);
        for (size_t k = 0; k + 1 < r.size(); ++k) {
            EXPECT_NE(r[k], r.back()) << "noise equal to its echo";
        }
        EXPECT_TRUE(echo || r.size() == 1) << "noise before a data reply";
        bursts += r.size() > 1 ? 1 : 0;
    }
    EXPECT_NEAR(bursts, 600 / 2, 45);  // one echo in two
    EXPECT_EQ(run({.noiseEvery = 2, .seed = 7}).first, noisy);
    EXPECT_NE(run({.noiseEvery = 2, .seed = 8}).first, noisy);
    EXPECT_EQ(notLate, std::vector<int64_t>(900, 0));

    const auto [plain, late] = run({.lateEvery = 3, .seed = 7});
    const long lateCount =
        std::count_if(late.begin(), late.end(), [](int64_t ms) { return ms > 0; });
    EXPECT_NEAR(lateCount, 300, 60);
    EXPECT_LE(*std::max_element(late.begin(), late.end()), LateMaxMs);
    const auto beyond = run({.lateBeyondEvery = 1}).second;
    EXPECT_EQ(beyond, std::vector<int64_t>(900, LateBeyondMs));
}

}  // namespace
}  // namespace korvel
