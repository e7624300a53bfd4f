#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <tuple>

#include "dialogs/qt/Dialogs.h"
#include "dialogs/qt/PortDialog.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/SessionRig.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Messages = std::vector<std::string>;

// A dialog's control by its identifier; a missing one fails the test and gets a stand-in.
template <typename T = QLineEdit>
T* Field(QWidget& dialog, const char* id) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(id));
    EXPECT_NE(found, nullptr) << "no control " << id;
    return found != nullptr ? found : new T(&dialog);
}

void Click(QWidget& dialog, const char* id) {
    Field<QPushButton>(dialog, id)->click();
}

// "caption: text" of each message since the last call; all are exclamations.
Messages TakeMessages(ScriptedPrompter& prompter) {
    Messages shown;
    for (const auto& m : prompter.messages) {
        EXPECT_EQ(m.icon, Prompter::Icon::Exclamation) << m.text.toStdString();
        shown.push_back((m.caption + ": " + m.text).toStdString());
    }
    prompter.messages.clear();
    return shown;
}

enum class Kind { Byte, Rpm, Word };
using FieldSlot = std::tuple<const char*, int, Kind>;  // a Word's slot is its high byte's

struct ConstantsForm {
    const char* okId;
    std::unique_ptr<QDialog> (*open)(CalibrationImage&, Prompter&);
    std::vector<FieldSlot> fields;
};

template <typename D>
std::unique_ptr<QDialog> Open(CalibrationImage& image, Prompter& prompter) {
    auto dialog = std::make_unique<D>(image, prompter, nullptr);
    dialog->show();
    return dialog;
}

// clang-format off
const std::vector<ConstantsForm>& Dialogs() {
    constexpr Kind B = Kind::Byte, R = Kind::Rpm, W = Kind::Word;
    static const std::vector<ConstantsForm> dialogs = {
        {"1024", Open<RpmPresetsDialog>, {{"1017", 87, R}, {"1018", 88, R}, {"1019", 89, R},
          {"1020", 80, W}, {"1021", 82, W}, {"1022", 102, W}}},
        {"1032", Open<AeMisDialog>, {{"1025", 46, B}, {"1026", 47, B}, {"1027", 48, B},
          {"1028", 49, B}, {"1029", 50, B}, {"1030", 95, B}, {"1011", 96, B}, {"1012", 97, B},
          {"1014", 98, B}, {"1013", 99, B}}},
        {"1033", Open<GovernorDialog>, {{"1011", 62, B}, {"1012", 68, B}, {"1013", 74, B},
          {"1014", 63, B}, {"1015", 69, B}, {"1016", 75, B}, {"1020", 64, B}, {"1021", 70, B},
          {"1022", 76, B}, {"1034", 65, B}, {"1035", 71, B}, {"1036", 77, B}, {"1037", 66, B},
          {"1038", 72, B}, {"1039", 78, B}, {"1017", 67, B}, {"1018", 73, B}, {"1019", 79, B}}},
    };
    return dialogs;
}
// clang-format on

// OK without editing stores back what the fields show: every byte value in
// every field, then 16-bit values across their range in the word fields.
TEST(ConstantsDialogs, OkWithoutEditingKeepsEveryValue) {
    const uint32_t words[] = {0, 255, 256, 32767, 32768, 40503, 65280, 65535};
    ScriptedPrompter prompter;
    for (const ConstantsForm& form : Dialogs()) {
        for (uint32_t n = 0; n < 256 + std::size(words); ++n) {
            CalibrationImage image = Pattern(static_cast<int>(n));
            for (int slot : {80, 82, 102}) {  // the word fields
                Write16(image, slot, n < 256 ? Read16(image, slot) : words[n - 256]);
            }
            const CalibrationImage before = image;
            auto dialog = form.open(image, prompter);
            for (const auto& [id, slot, kind] : form.fields) {
                const uint32_t shown = kind == Kind::Rpm    ? before[slot] * 20
                                       : kind == Kind::Word ? Read16(before, slot)
                                                            : before[slot];
                ASSERT_EQ(Field(*dialog, id)->text(), QString::number(shown)) << id << " " << n;
            }
            Click(*dialog, form.okId);
            ASSERT_EQ(image.values, before.values) << form.okId << " " << n;
        }
    }
    EXPECT_TRUE(prompter.messages.empty());
}

// A field's text is stored only when it is a whole number its slots can
// hold; otherwise the dialog names the field and its range, selects the
// field, stays open and stores nothing at all, not even the valid fields.
// Only the dialog's own OK stores: Return, Enter, Escape and Cancel do not.
TEST(ConstantsDialogs, OnlyTheirOkStoresAndOnlyNumbersTheSlotsCanHold) {
    enum { Rpm, AeMis, Governor };  // index into Dialogs()
    const auto no = [](const char* field, const char* problem, int maximum) {
        return std::string("Value Not Stored: ") + field + " " + problem +
               ".\nEnter a number from 0 to " + std::to_string(maximum) + ".";
    };
    const char *range = "is out of range", *whole = "does not hold a whole number";
    const struct {
        int dialog;
        const char* id;
        QString text;
        std::vector<std::pair<int, uint32_t>> stored;  // slot and byte; none when refused
        std::string refusal;
        Qt::Key key = Qt::Key_unknown;  // pressed in the field instead of OK; Cancel: Key_Cancel
    } cases[] = {
        {Rpm, "1017", "3010", {{87, 150}}, ""},  // down to a 20 rpm step
        {Rpm, "1018", " 5100 ", {{88, 255}}, ""},
        {Rpm, "1020", "65535", {{80, 0xFF}, {81, 0xFF}}, ""},
        {Governor, "1017", "255", {{67, 255}}, ""},
        {Rpm, "1019", "5120", {}, no("RPM C", range, 5100)},
        {Rpm, "1020", "70000", {}, no("PWM Hi Limit", range, 65535)},
        {Rpm, "1022", "", {}, no("PWM Low Limit LP", "is empty", 65535)},
        {Rpm, "1017", "abc", {}, no("RPM A", whole, 5100)},
        {Rpm, "1019", "  40rpm", {}, no("RPM C", whole, 5100)},
        {AeMis, "1029", "+5", {}, no("Gasoline AE Max", whole, 255)},
        {AeMis, "1014", "256", {}, no("LP AE THS Positive", range, 255)},
        {Governor, "1039", "4294967296", {}, no("LMLR Cold KI", range, 255)},
        {Governor, "1011", "12.5", {}, no("LMLR KP", whole, 255)},
        {Rpm, "1022", "1", {}, "", Qt::Key_Return},
        {AeMis, "1013", "1", {}, "", Qt::Key_Return},
        {Governor, "1019", "1", {}, "", Qt::Key_Return},
        {Governor, "1019", "1", {}, "", Qt::Key_Enter},
        {AeMis, "1013", "1", {}, "", Qt::Key_Escape},
        {Rpm, "1022", "1", {}, "", Qt::Key_Cancel},
    };
    ScriptedPrompter prompter;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.id) + " \"" + c.text.toStdString() + "\" " +
                     std::to_string(c.key));
        const ConstantsForm& form = Dialogs()[static_cast<size_t>(c.dialog)];
        CalibrationImage image = Pattern(5), expected = image;
        for (const auto& [slot, value] : c.stored) {
            expected[slot] = value;
        }
        auto dialog = form.open(image, prompter);
        const bool refused = !c.refusal.empty();
        for (const auto& [otherId, slot, kind] : refused ? form.fields : std::vector<FieldSlot>{}) {
            Field(*dialog, otherId)->setText("1");  // valid, but not stored either
        }
        QLineEdit* field = Field(*dialog, c.id);
        field->setText(c.text);
        c.key == Qt::Key_unknown  ? Click(*dialog, form.okId)
        : c.key == Qt::Key_Cancel ? Click(*dialog, "2")
                                  : QTest::keyClick(field, c.key);
        EXPECT_EQ(image.values, expected.values);
        EXPECT_EQ(TakeMessages(prompter), refused ? Messages{c.refusal} : Messages{});
        EXPECT_EQ(dialog->isVisible(), refused);
        if (refused) {
            EXPECT_EQ(dialog->focusWidget(), field);
            EXPECT_EQ(field->selectedText(), c.text);
        }
    }
}

// Peek (1043) shows the byte at the address; Poke (1044) reads the byte as
// it was (5 bytes sent: it is not known yet), programs the data byte and
// reads it back (11 more). A refused address or data field is
// never sent; a silent ECU is reported at the step that failed, the
// exchange stopped at the first byte left unanswered. What was read or read
// back is known of the ECU afterwards; a commit without its echo is not.
TEST(PeekPokeDialog, ReachesTheEcuOrReportsTheFailureOnce) {
    const QString range = "Address Error: Address out of range";
    const QString eeprom = "Poke Error: Only EEPROM addresses may be poked";
    const QString address = "Communications Error: Could not send the address to the ECU";
    const QString data = "Communications Error: Could not get data from ECU";
    const QString sequence =
        "Communications Error: Poke failed: the ECU did not echo the programming sequence";
    const QString verify = "Verify Error: Verify failed at E05: wrote 7, ECU holds 5A";
    const QString value = "Value Not Stored: The Data field must be a whole number from 0 to 255";
    const struct {
        const char *button, *address, *data;
        long silentAfter;  // bytes the ECU answers (-1: all; -2: all, but it stores no write)
        uint16_t at;       // holds 5A before a Poke
        uint8_t value;     // read or stored at `at`
        size_t sent;
        QString message;
        bool known = true;  // the byte at `at` is known afterwards
    } cases[] = {
        {"1043", " ffff", "99", -1, 0xFFFF, 33, 5, ""},
        {"1043", "0x1234", "99", -1, 0x1234, 9, 5, ""},
        {"1043", "00000E00", "99", -1, 0x00E0, 224, 5, ""},  // 7 characters are read
        {"1043", "E07", "99", -1, 0x0E07, 224, 5, ""},
        {"1044", "E00", " 44 ", -1, 0x0E00, 44, 16, ""},
        {"1044", "FFF", "255", -1, 0x0FFF, 255, 16, ""},
        {"1044", "E05", "7", -2, 0x0E05, 0x5A, 16, verify},
        {"1044", "e80", "", -1, 0x0E80, 0x5A, 0, value, false},
        {"1044", "E81", "256", -1, 0x0E81, 0x5A, 0, value, false},
        {"1044", "E82", "12x", -1, 0x0E82, 0x5A, 0, value, false},
        {"1044", "E83", "1.5", -1, 0x0E83, 0x5A, 0, value, false},
        {"1044", "E84", "99999999999", -1, 0x0E84, 0x5A, 0, value, false},
        {"1043", "10000", "7", -1, 0, 0, 0, range, false},
        {"1043", "xyz", "7", -1, 0, 0, 0, range, false},
        {"1043", "-1", "7", -1, 0, 0, 0, range, false},
        {"1044", "", "7", -1, 0, 0, 0, range, false},
        {"1044", "DFF", "7", -1, 0, 0, 0, eeprom, false},
        {"1044", "1000", "7", -1, 0, 0, 0, eeprom, false},
        {"1043", "E10", "7", 3, 0, 0, 4, address, false},
        {"1043", "E10", "7", 4, 0, 0, 5, data, false},
        {"1044", "E10", "7", 0, 0, 0, 1, address, false},
        {"1044", "E10", "7", 3, 0, 0, 4, address, false},  // the read first
        {"1044", "E10", "7", 15, 0, 0, 16, data, false},
        {"1044", "E10", "7", 11, 0, 0, 12, sequence, false},
        {"1044", "E10", "7", 13, 0, 0, 14, sequence, false},
        {"1044", "E10", "7", 10, 0, 0, 11, data, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + c.address + " " + std::to_string(c.silentAfter));
        SessionRig rig;
        ScriptedPrompter prompter;
        PeekPokeDialog dialog{rig.session, prompter, nullptr};
        dialog.show();
        const bool peek = c.button == std::string("1043");
        rig.ecu.faults.silentAfterBytes = std::max(c.silentAfter, -1L);
        rig.ecu.faults.unstoredWrites = c.silentAfter == -2;
        rig.ecu.memory[c.at] = peek || c.at == 0 ? c.value : 0x5A;
        Field(dialog, "1045")->setText(c.address);
        Field(dialog, "1046")->setText(c.data);
        Click(dialog, c.button);
        EXPECT_EQ(TakeMessages(prompter),
                  c.message.isEmpty() ? Messages{} : Messages{c.message.toStdString()});
        EXPECT_EQ(Field(dialog, "1046")->text(), peek && c.at ? QString::number(c.value) : c.data);
        EXPECT_EQ(rig.ecu.memory[c.at], c.value);
        EXPECT_EQ(rig.ecu.Received().size(), c.sent);
        const int index = c.at - static_cast<int>(ImageBaseAddress);
        EXPECT_EQ(rig.session.Ecu().At(index), c.known && CalibrationImage::InRange(index)
                                                   ? std::optional(c.value)
                                                   : std::nullopt);
        EXPECT_TRUE(rig.reporter.events.empty());
    }
}

// Add (1003) takes a free channel with the range typed (digits only), Delete
// (1004) frees one; the line under the range shows it in the variable's unit.
TEST(PlotVariableDialog, AddsAndDeletesChannelsAndShowsTheRangeInItsUnit) {
    MonitorFile monitor;
    ParseMonitorFile("RPM,1,1\nMAP,2,1\nTair,3,1\nPW,4,2\n", monitor);
    PlotState plot;
    ScriptedPrompter prompter;
    PlotVariableDialog dialog(monitor, plot, prompter, nullptr);
    auto* list = Field<QListWidget>(dialog, "1000");
    auto* units = Field<QLabel>(dialog, "units");
    const auto range = [&](int row, const char* low, const char* high) {
        list->setCurrentRow(row);
        Field(dialog, "1013")->setText(low);
        Field(dialog, "1014")->setText(high);
    };
    dialog.show();
    EXPECT_EQ(units->text(), "0..3000 counts");  // RPM, selected at the start
    // The focus starts on Add: Enter adds the first variable.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_EQ(QApplication::focusWidget(), Field<QPushButton>(dialog, "1003"));
    Field(dialog, "1014")->clear();
    QTest::keyClicks(Field(dialog, "1014"), "-1a2.5 e3");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(plot.plotMaximum[0], 1253.0f);

    const std::tuple<int, const char*, const char*, const char*> lines[] = {
        {1, "0", "255", "0..255 = 3.1..30.8 inHg"},
        {2, "57", "255", "57..255 = 104.0..-40.1 °F"},
        {3, "", "250", "0..250 = 0..1000 µs"}};
    for (const auto& [row, low, high, text] : lines) {
        range(row, low, high);
        EXPECT_EQ(units->text(), text);
    }
    // Button, row (-1: none selected), range, every channel's variable afterwards.
    const std::tuple<const char*, int, const char*, const char*, std::array<int32_t, 3>> steps[] = {
        {"1003", -1, "0", "3000", {0, -1, -1}}, {"1004", -1, "0", "3000", {0, -1, -1}},
        {"1003", 2, "", "3000", {0, 2, -1}},    {"1003", 0, "500", "5", {0, 2, 0}},
        {"1003", 1, "7", "8", {0, 2, 0}},       {"1004", 0, "0", "3000", {-1, 2, 0}},
        {"1004", 1, "0", "3000", {-1, 2, 0}},   {"1003", 1, "0", "3000", {1, 2, 0}},
    };
    for (const auto& [button, row, low, high, channels] : steps) {
        range(row, low, high);
        Click(dialog, button);
        EXPECT_EQ(plot.plottedVariable, channels) << button << " " << row;
    }
    EXPECT_EQ(TakeMessages(prompter),
              (Messages{"Please delete a variable: No more variables can be plotted",
                        "Variable cannot be deleted: This variable is not being plotted"}));
    EXPECT_EQ(plot.plotMinimum, (std::array<float, 3>{0, 0, 500}));
    EXPECT_EQ(plot.plotMaximum, (std::array<float, 3>{3000, 3000, 5}));
    // OK stores nothing more; a reopened dialog shows the start range.
    Field(dialog, "1013")->setText("1");
    Click(dialog, "1");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(plot.plotMinimum[0], 0.0f);
    PlotVariableDialog again(monitor, plot, prompter, nullptr);
    EXPECT_EQ(Field(again, "1013")->text() + "-" + Field(again, "1014")->text(), "0-3000");
}

TEST(TimeScaleDialog, StoresOnlyUsableSweepLengths) {
    // The text typed and the length stored; 0: refused, the old value kept.
    const std::pair<QString, int32_t> cases[] = {{"  15 s", 15}, {"2147483", MaxTimeScaleSeconds},
                                                 {"0", 0},       {"abc", 0},
                                                 {"2147484", 0}, {"4294967296", 0}};
    const Messages refusal{"Time Scale Error: Enter a time scale from 1 to 2147483 seconds"};
    for (const auto& [text, stored] : cases) {
        SCOPED_TRACE(text.toStdString());
        PlotState plot;
        plot.timeScale = 33;
        ScriptedPrompter prompter;
        TimeScaleDialog dialog(plot, prompter, nullptr);
        dialog.show();
        QLineEdit* field = Field(dialog, "1042");
        EXPECT_EQ(field->text(), "33");
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Return);  // Enter is OK here
        EXPECT_EQ(plot.timeScale, stored != 0 ? stored : 33);
        EXPECT_EQ(dialog.isVisible(), stored == 0);
        EXPECT_EQ(TakeMessages(prompter), stored == 0 ? refusal : Messages{});
        field->setText("77");
        Click(dialog, "2");  // Cancel never stores
        EXPECT_EQ(plot.timeScale, stored != 0 ? stored : 33);
    }
}

// The port in use is marked and chosen at the start; a typed name wins, and
// a blank one opens nothing. (Choosing from the list: File > Port... tests.)
TEST(PortDialog, MarksThePortInUseAndTakesATypedName) {
    PortDialog dialog({{"ttyS0", "/dev/ttyS0", "", "", false},
                       {"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", true}},
                      "/dev/ttyUSB0", nullptr);
    const QListWidgetItem* inUse = Field<QListWidget>(dialog, "ports")->item(1);
    ASSERT_NE(inUse, nullptr);
    EXPECT_EQ(inUse->text(), "ttyUSB0: FT232R USB UART (FTDI)  (in use)");
    EXPECT_TRUE(inUse->font().bold());
    EXPECT_EQ(dialog.ChosenName(), "/dev/ttyUSB0");
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    for (const std::string& typed : {std::string("  "), byId}) {
        Field(dialog, "name")->setText(QString::fromStdString(typed));
        Click(dialog, "ok");
        EXPECT_EQ(dialog.result(), typed == byId ? QDialog::Accepted : QDialog::Rejected);
    }
    EXPECT_EQ(dialog.ChosenName(), byId);
}

// The port in use, a pseudo-terminal the system does not list, is listed,
// marked and kept in the name field when the list takes the focus; OK on it
// changes nothing. A row the user picks sets the name.
TEST(PortDialog, KeepsAPseudoTerminalsName) {
    const std::vector<PortInfo> system{{"ttyS0", "/dev/ttyS0", "", "", false},
                                       {"ttyUSB0", "/dev/ttyUSB0", "", "", true}};
    PortDialog dialog(system, "/dev/pts/7", nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = Field<QListWidget>(dialog, "ports");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "/dev/pts/7  (in use)");
    EXPECT_TRUE(list->item(0)->font().bold());
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);  // the first row is the one in use
    EXPECT_EQ(dialog.ChosenName(), "/dev/pts/7");
    QTest::keyClick(list, Qt::Key_Return);  // Enter: OK on the name in use
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    PortDialog again(system, "/dev/pts/7", nullptr);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    auto* rows = Field<QListWidget>(again, "ports");
    const QRect usb = rows->visualItemRect(rows->item(2));
    QTest::mouseClick(again.windowHandle(), Qt::LeftButton, {},
                      rows->viewport()->mapTo(&again, usb.center()));
    EXPECT_EQ(again.ChosenName(), "/dev/ttyUSB0");
    QTest::keyClick(rows, Qt::Key_Up);
    QTest::keyClick(rows, Qt::Key_Up);
    EXPECT_EQ(again.ChosenName(), "/dev/pts/7");
    // "COM1" is /dev/ttyS0: the same port, marked.
    PortDialog com1(system, "COM1", nullptr);
    EXPECT_EQ(Field<QListWidget>(com1, "ports")->count(), 2);
    EXPECT_TRUE(Field<QListWidget>(com1, "ports")->item(0)->font().bold());
}

}  // namespace
}  // namespace korvel
