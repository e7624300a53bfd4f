// File > Compare with ECU and the Cancel of a long transfer, against the
// in-process virtual ECU holding the demo calibration. The compare window is
// rendered to korvel-compare-window.png in the build folder.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

struct Compare : ::testing::Test {
    void SetUp() override {
        h.ecu.LoadCalibration(demo);
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
        ASSERT_TRUE(h.RunUntilMonitoring());
        h.Image() = demo;
        h.Flags().Set(DataLoaded);
        h.Window().RefreshCommands();
    }
    AppHarness h;
    CalibrationImage demo = Demo();
};

TEST_F(Compare, ListsTakesAndProgramsTheDifferences) {
    CalibrationImage& image = h.Image();
    image[87] = 100;   // RPM A, 1800 in the ECU
    image[108] = 70;   // a VE value
    image[184] = 120;  // a position curve engine speed
    h.ecu.ClearRecords();
    h.Trigger(CmdCompare);
    CompareWindow* window = h.Window().Comparison();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(h.ecu.Writes().empty());
    EXPECT_EQ(h.ecu.Received().size(), 4u + 512u);  // the address, then SEND_INC only
    EXPECT_EQ(window->ListedIndices(), (std::vector<int>{87, 108, 184}));
    const QTreeWidgetItem* first = window->findChild<QTreeWidget*>()->topLevelItem(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ((QStringList{first->text(0), first->text(1), first->text(2), first->text(3)}),
              (QStringList{"0E57", "RPM Presets, RPM A", "1800", "2000"}));
    EXPECT_EQ(window->findChild<QPushButton*>("program")->text(), "Program 3 changes");
    ASSERT_TRUE(window->grab().toImage().save(KORVEL_BINARY_DIR "/korvel-compare-window.png"));

    window->findChild<QTreeWidget*>()->topLevelItem(1)->setSelected(true);
    window->findChild<QPushButton*>("take")->click();
    EXPECT_EQ(image[108], demo[108]);
    EXPECT_EQ(window->ListedIndices(), (std::vector<int>{87, 184}));
    EXPECT_EQ(h.Session().History().UndoName(), "Take ECU Values");  // one step, undoable

    window->findChild<QPushButton*>("program")->click();
    EXPECT_EQ(h.ecu.Writes(), (std::vector<EepromWrite>{{0x0E57, 100}, {0x0EB8, 120}}));
    EXPECT_EQ(h.ecu.Calibration().values, image.values);
    EXPECT_TRUE(window->ListedIndices().empty());
    EXPECT_EQ(h.Pane(), "Programming Complete");

    h.Trigger(CmdCompare);  // a second comparison replaces the first window
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(h.Window().Comparison(), nullptr);
    EXPECT_TRUE(h.Window().Comparison()->findChild<QLabel*>()->text().contains(
        "The ECU holds this calibration"));
}

// Esc, or closing the window and agreeing to cancel, stops a transfer at the
// next byte: a cancelled Upload leaves the image, a cancelled Download says
// how many bytes it programmed, and the window closes once it has stopped,
// after a warning that the ECU now holds a mix of calibrations.
TEST_F(Compare, EscAndCloseCancelATransferBetweenTwoBytes) {
    CalibrationImage& image = h.Image();
    image.values.fill(0xEE);
    const CalibrationImage before = image;
    QCoreApplication::postEvent(&h.Window(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    h.Trigger(CmdUpload, {}, {Prompter::Answer::Discard});  // the unsaved image may go
    EXPECT_EQ(h.Pane(), "Upload cancelled");
    EXPECT_EQ(image.values, before.values);
    EXPECT_TRUE(h.Flags().Test(EcuOnLine));
    EXPECT_FALSE(h.Window().CancelButton()->isVisible());

    h.prompter.questions.clear();
    QCoreApplication::postEvent(&h.Window(), new QCloseEvent);
    // "Cancel Transfer", then the unsaved image is discarded on the way out,
    // and "Quit" despite the mix. The message comes while the transfer holds
    // the window's input: its box must still take the user's keys.
    h.prompter.answers = {Prompter::Answer::Save, Prompter::Answer::Discard,
                          Prompter::Answer::Save};
    bool boxTookEsc = false;
    h.prompter.whileShown = [&] {
        QMessageBox box(QMessageBox::Critical, "", "", QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QTest::keyClick(&box, Qt::Key_Escape);
        boxTookEsc = !box.isVisible();
    };
    h.Trigger(CmdDownload);
    EXPECT_TRUE(boxTookEsc);
    ASSERT_EQ(h.prompter.questions.size(), 1u);
    EXPECT_EQ(h.prompter.questions[0].accept, "Cancel Transfer");
    EXPECT_EQ(h.Pane(), "Programming FAILED");
    ASSERT_FALSE(h.prompter.messages.empty());
    // The close comes with the first byte's progress: that byte is finished.
    EXPECT_EQ(h.prompter.messages.back().text, "Download cancelled: 1 bytes programmed");
    EXPECT_EQ(h.ecu.Writes(), (std::vector<EepromWrite>{{0x0E00, 0xEE}}));
    EXPECT_TRUE(h.RunUntil([&] { return !h.Window().isVisible(); }));
    ASSERT_EQ(h.prompter.questions.size(), 3u);
    EXPECT_TRUE(h.prompter.questions[2].text.startsWith("The ECU may hold a mix of calibrations"));
}

}  // namespace
}  // namespace korvel
