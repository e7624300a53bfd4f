// The serial line's pacing in front of the virtual ECU, on made-up times.

#include "sim/PacedEcu.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace korvel {
namespace {

constexpr int64_t Char9600 = 1042;  // 10 bits at 9600 baud, in microseconds

// Parameterised cases are listed by their names.
template <class Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct PacingCase {
    std::string name;
    LineTiming timing;
    bool stray;
    std::vector<uint8_t> sent;  // all arrive at time 0
    std::vector<int64_t> due;   // when each reply byte has left the line
};

class Pacing : public testing::TestWithParam<PacingCase> {};

TEST_P(Pacing, RepliesLeaveNoFasterThanTheLine) {
    VirtualEcu ecu;
    ecu.faults.strayBeforeEcho = GetParam().stray;
    PacedEcu paced(ecu, GetParam().timing);
    paced.Receive(GetParam().sent.data(), GetParam().sent.size(), 0, 0);
    std::vector<int64_t> due;
    for (int64_t t = paced.NextDueUs(); t >= 0; t = paced.NextDueUs()) {
        std::vector<uint8_t> out;
        paced.TakeDue(t, out);
        due.insert(due.end(), out.size(), t);
    }
    EXPECT_EQ(due, GetParam().due);
}

const std::vector<uint8_t> ArmedCommit = {0x05, 0x2B, 0x05, 0xB2};

INSTANTIATE_TEST_SUITE_P(
    PacedEcu, Pacing,
    testing::Values(
        // A request takes one character time to arrive and its reply another.
        PacingCase{"OneExchange", {9600, 0, 0}, false, {0x00}, {2 * Char9600}},
        PacingCase{"BurstIsPacedBothWays",
                   {9600, 0, 0},
                   false,
                   {0x01, 0x01, 0x01},
                   {2 * Char9600, 3 * Char9600, 4 * Char9600}},
        PacingCase{
            "StrayQueuesBehindEcho", {9600, 0, 0}, true, {0x02}, {2 * Char9600, 3 * Char9600}},
        PacingCase{"Latency", {9600, 5000, 0}, false, {0x00}, {2 * Char9600 + 5000}},
        // Pointer 0 is no EEPROM address: nothing is programmed, nothing waits.
        PacingCase{"CommitOutsideEepromIsNotDelayed",
                   {9600, 0, 20'000},
                   false,
                   ArmedCommit,
                   {2 * Char9600, 3 * Char9600, 4 * Char9600, 5 * Char9600}},
        PacingCase{"Unpaced", {0, 0, 0}, false, {0x02, 0x2B}, {0, 0}}),
    [](const auto& info) { return info.param.name; });

TEST(PacedEcu, CommittedWriteWaitsForTheProgrammingTime) {
    VirtualEcu ecu;
    PacedEcu paced(ecu, {9600, 0, 20'000});
    const std::vector<uint8_t> sent = {0x02, 0x0E, 0x03, 0x00, 0x04, 0x07, 0x05, 0x2B, 0x05, 0xB2};
    paced.Receive(sent.data(), sent.size(), 0, 0);
    std::vector<uint8_t> out;
    paced.TakeDue(11 * Char9600, out);  // every reply but the commit's echo
    EXPECT_EQ(out.size(), sent.size() - 1);
    EXPECT_EQ(paced.NextDueUs(), 11 * Char9600 + 20'000);
}

}  // namespace
}  // namespace korvel
