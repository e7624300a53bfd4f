// The virtual ECU's side of the command protocol: replies, EEPROM
// programming rules, monitor slots and the fault options.

#include "sim/VirtualEcu.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Feed(VirtualEcu& ecu, const Bytes& sent) {
    Bytes replies;
    for (uint8_t b : sent) {
        ecu.Receive(b, replies);
    }
    return replies;
}

VirtualEcu PreparedEcu() {
    VirtualEcu ecu;
    ecu.memory[0x0000] = 0x42;
    ecu.memory[0x0030] = 0x12;
    ecu.memory[0x0031] = 0x34;
    ecu.memory[0x0E00] = 0x11;
    ecu.memory[0x0E01] = 0x22;
    ecu.memory[0x0E02] = 0x33;
    ecu.memory[0xFFFF] = 0x99;
    return ecu;
}

// Parameterised cases are listed by their names.
template <class Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct CommandCase {
    std::string name;
    Bytes sent;
    Bytes replies;
};

class CommandTable : public testing::TestWithParam<CommandCase> {};

TEST_P(CommandTable, RepliesAsTheProtocolSays) {
    VirtualEcu ecu = PreparedEcu();
    EXPECT_EQ(Feed(ecu, GetParam().sent), GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualEcu, CommandTable,
    testing::Values(
        CommandCase{"Probe", {0x02, 0x2B}, {0x02, 0x2B}},
        CommandCase{"SendKeepsPointer",
                    {0x02, 0x0E, 0x03, 0x00, 0x00, 0x00},
                    {0x02, 0x0E, 0x03, 0x00, 0x11, 0x11}},
        CommandCase{"SendIncAdvances",
                    {0x02, 0x0E, 0x03, 0x00, 0x01, 0x01, 0x00},
                    {0x02, 0x0E, 0x03, 0x00, 0x11, 0x22, 0x33}},
        CommandCase{"PointerWrapsAtTop",
                    {0x02, 0xFF, 0x03, 0xFF, 0x01, 0x01},
                    {0x02, 0xFF, 0x03, 0xFF, 0x99, 0x42}},
        CommandCase{
            "HighByteKeepsLowByte", {0x03, 0x01, 0x02, 0x0E, 0x00}, {0x03, 0x01, 0x02, 0x0E, 0x22}},
        CommandCase{"ParameterEqualToACommandIsAParameter", {0x04, 0x01, 0x00}, {0x04, 0x01, 0x42}},
        CommandCase{"SlotReadsBigEndianPair",
                    {0x04, 0x30, 0x93, 0x83, 0xC3},
                    {0x04, 0x30, 0x93, 0x12, 0x34}},
        CommandCase{"UnboundSlotReadsAddressZero", {0x8F}, {0x42}},
        CommandCase{"UnknownCommandsAreIgnored", {0x06, 0x7F, 0xA0, 0xB5, 0xFF}, {}}),
    [](const auto& info) { return info.param.name; });

struct ProgramCase {
    std::string name;
    Bytes sent;  // everything is echoed
    bool stored;
};

Bytes Address(uint16_t a) {
    return {0x02, static_cast<uint8_t>(a >> 8), 0x03, static_cast<uint8_t>(a)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

const Bytes Data77 = {0x04, 0x77};
const Bytes Arm = {0x05, 0x2B};
const Bytes Commit = {0x05, 0xB2};

class ProgramRules : public testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramRules, CommitsOnlyAnArmedEepromWrite) {
    VirtualEcu ecu;
    const Bytes replies = Feed(ecu, GetParam().sent);
    EXPECT_EQ(replies, GetParam().sent);  // both bytes of every step are echoed
    const uint16_t address = ecu.AddressPointer();
    EXPECT_EQ(ecu.memory[address] == 0x77, GetParam().stored);
    EXPECT_EQ(ecu.Writes().size(), GetParam().stored ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualEcu, ProgramRules,
    testing::Values(
        ProgramCase{"ArmedCommit", Concat({Address(0x0E05), Data77, Arm, Commit}), true},
        ProgramCase{"FirstEepromByte", Concat({Address(0x0E00), Data77, Arm, Commit}), true},
        ProgramCase{"LastEepromByte", Concat({Address(0x0FFF), Data77, Arm, Commit}), true},
        ProgramCase{"CommitWithoutArm", Concat({Address(0x0E05), Data77, Commit}), false},
        ProgramCase{"CommandBetweenArmAndCommit", Concat({Address(0x0E05), Arm, Data77, Commit}),
                    false},
        ProgramCase{"OtherParameterDisarms",
                    Concat({Address(0x0E05), Data77, Arm, {0x05, 0x00}, Commit}), false},
        ProgramCase{"BelowEeprom", Concat({Address(0x0DFF), Data77, Arm, Commit}), false},
        ProgramCase{"AboveEeprom", Concat({Address(0x1000), Data77, Arm, Commit}), false},
        ProgramCase{"RamIsNotProgrammed", Concat({Address(0x0030), Data77, Arm, Commit}), false}),
    [](const auto& info) { return info.param.name; });

TEST(VirtualEcu, ArmHoldsForOneCommitOnly) {
    VirtualEcu ecu;
    Feed(ecu, Concat({Address(0x0E05), Data77, Arm, Commit, {0x04, 0x55}, Commit}));
    EXPECT_EQ(ecu.memory[0x0E05], 0x77);
    EXPECT_EQ(ecu.Writes(), (std::vector<EepromWrite>{{0x0E05, 0x77}}));
}

struct FaultCase {
    std::string name;
    std::function<void(VirtualEcuFaults&)> set;
    Bytes sent;
    Bytes replies;
};

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, ChangeWhatTheEcuSends) {
    VirtualEcu ecu = PreparedEcu();
    GetParam().set(ecu.faults);
    EXPECT_EQ(Feed(ecu, GetParam().sent), GetParam().replies);
    EXPECT_EQ(ecu.Received(), GetParam().sent);  // received bytes are recorded regardless
    EXPECT_EQ(ecu.Sent(), GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualEcu, Faults,
    testing::Values(FaultCase{"SilentAfterTwoBytes",
                              [](auto& f) { f.silentAfterBytes = 2; },
                              {0x02, 0x0E, 0x03, 0x00},
                              {0x02, 0x0E}},
                    FaultCase{
                        "SilentFromNowOn", [](auto& f) { f.silent = true; }, {0x02, 0x0E}, {}},
                    FaultCase{"WrongParameterEcho",
                              [](auto& f) { f.wrongEcho = true; },
                              {0x02, 0x0E, 0x00},
                              {0x02, 0xF1, 0x11}},
                    FaultCase{"DropEverySecondReply",
                              [](auto& f) { f.dropReplyEvery = 2; },
                              {0x02, 0x0E, 0x03, 0x00},
                              {0x02, 0x03}},
                    FaultCase{"StrayBeforeEchoesOnly",
                              [](auto& f) { f.strayBeforeEcho = true; },
                              {0x02, 0x0E, 0x03, 0x55, 0x00},
                              {0x55, 0x02, 0x55, 0x0E, 0x55, 0x03, 0xAA, 0x55, 0xFF}}),
    [](const auto& info) { return info.param.name; });

TEST(VirtualEcu, SilencedEcuNeitherAnswersNorActs) {
    VirtualEcu ecu;
    ecu.faults.silentAfterBytes = 4;
    Feed(ecu, Concat({Address(0x0E05), Data77, Arm, Commit}));
    EXPECT_EQ(ecu.memory[0x0E05], 0xFF);
    EXPECT_TRUE(ecu.Writes().empty());
}

TEST(VirtualEcu, UnstoredWritesEchoButKeepTheByte) {
    VirtualEcu ecu;
    ecu.faults.unstoredWrites = true;
    const Bytes sent = Concat({Address(0x0E05), Data77, Arm, Commit});
    EXPECT_EQ(Feed(ecu, sent), sent);
    EXPECT_EQ(ecu.memory[0x0E05], 0xFF);
    EXPECT_TRUE(ecu.LastByteProgrammed());  // the programming time still passes
}

}  // namespace
}  // namespace korvel
