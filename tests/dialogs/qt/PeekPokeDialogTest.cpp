#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "dialogs/Dialogs.h"
#include "sim/VirtualEcu.h"
#include "tests/dialogs/qt/DialogDriver.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {
namespace {

using testing::Click;
using testing::FieldText;
using testing::SetField;

using Shown = std::vector<std::pair<std::string, std::string>>;

// The dialog against the in-process virtual ECU. Its waits move the fake
// clock on, so a silent ECU fails at once.
struct Bench {
    FakeClock clock;
    VirtualEcu ecu;
    InProcessEcuTransport transport{ecu, clock};
    RecordingReporter reporter;
    EcuLink link{transport, clock, reporter};
    ScriptedPrompter prompter;
    int quietCalls = 0;
    PeekPokeDialog dialog{link, prompter, [this] { ++quietCalls; }, nullptr};

    Bench() { dialog.show(); }

    void Press(const char* button, const char* address, const char* data = "") {
        SetField(dialog, "1045", address);
        SetField(dialog, "1046", data);
        Click(dialog, button);
    }

    // Text and caption of each message since the last call.
    Shown TakeMessages() {
        Shown shown;
        for (const auto& m : prompter.messages) {
            EXPECT_EQ(m.icon, Prompter::Icon::Exclamation) << m.text.toStdString();
            shown.emplace_back(m.text.toStdString(), m.caption.toStdString());
        }
        prompter.messages.clear();
        return shown;
    }
};

class PeekPokeTest : public ::testing::Test, protected Bench {};

TEST_F(PeekPokeTest, AddressesOutsideTheirRangeAreRefusedUnsent) {
    const char* range[] = {"Address out of range", "Address Error"};
    const char* eeprom[] = {"Only EEPROM addresses may be poked", "Poke Error"};
    const std::tuple<const char*, const char*, const char**> cases[] = {
        {"1043", "10000", range}, {"1043", "", range},     {"1043", "xyz", range},
        {"1043", "-1", range},    {"1044", "DFF", eeprom}, {"1044", "1000", eeprom},
        {"1044", "0", eeprom},    {"1044", "", range},
    };
    for (const auto& [button, address, message] : cases) {
        Press(button, address, "5");
        EXPECT_EQ(TakeMessages(), (Shown{{message[0], message[1]}})) << button << " " << address;
    }
    EXPECT_TRUE(ecu.Received().empty());
    EXPECT_EQ(quietCalls, 0);
    EXPECT_EQ(FieldText(dialog, "1046"), "5");
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(PeekPokeTest, PeekShowsTheByteInDecimal) {
    ecu.memory[0x0E00] = 171;
    ecu.memory[0x1234] = 9;
    ecu.memory[0x00E0] = 224;
    const std::pair<const char*, QString> cases[] = {
        {"E00", "171"}, {" ffff", "0"}, {"0x1234", "9"}, {"00000E00", "224"}};  // 7 chars read
    for (const auto& [address, shown] : cases) {
        Press("1043", address, "99");
        EXPECT_EQ(FieldText(dialog, "1046"), shown) << address;
    }
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(quietCalls, 4);
}

TEST_F(PeekPokeTest, PokeProgramsTheLowByteOfTheData) {
    const std::tuple<const char*, const char*, uint16_t, uint8_t> cases[] = {
        {"E00", "300", 0x0E00, 44},
        {"FFF", "255", 0x0FFF, 255},
        {"e80", "", 0x0E80, 0},
        {"E81", "256", 0x0E81, 0},
    };
    for (const auto& [address, data, at, stored] : cases) {
        ecu.memory[at] = 0x5A;
        ecu.ClearRecords();
        Press("1044", address, data);
        EXPECT_EQ(ecu.memory[at], stored) << address << " " << data;
        EXPECT_EQ(ecu.Received().size(), 10u) << "address, data, arm and commit";
    }
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(quietCalls, 4);
}

TEST(PeekPokeDialog, SilentEcuIsReportedAtTheStepThatFailed) {
    struct Case {
        const char* button;
        long answeredBytes;
        const char* text;  // null: the failure is not reported
    };
    const Case cases[] = {
        {"1043", 0, "Could not send the address to the ECU"},
        {"1043", 3, "Could not send the address to the ECU"},
        {"1043", 4, "Could not get data from ECU"},
        {"1044", 0, "Could not send the address to the ECU"},
        {"1044", 5, "Could not get data from ECU"},
        {"1044", 6, nullptr},  // programming not echoed
        {"1044", 8, nullptr},
    };
    for (const Case& c : cases) {
        Bench bench;
        bench.ecu.faults.silentAfterBytes = c.answeredBytes;
        bench.Press(c.button, "E10", "7");
        const Shown expected =
            c.text == nullptr ? Shown{} : Shown{{c.text, "Communications Error"}};
        EXPECT_EQ(bench.TakeMessages(), expected) << c.button << " after " << c.answeredBytes;
        EXPECT_EQ(FieldText(bench.dialog, "1046"), "7") << c.button << " after " << c.answeredBytes;
        EXPECT_EQ(bench.quietCalls, 1);
        EXPECT_TRUE(bench.dialog.isVisible());
        EXPECT_TRUE(bench.reporter.events.empty());
    }
}

}  // namespace
}  // namespace korvel
