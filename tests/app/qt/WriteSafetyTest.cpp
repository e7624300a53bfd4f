// The desktop program's writes to the ECU, tried as a technician would: the
// compare window closed mid-transfer, an image edited after a comparison, a
// refused value, an interrupted Download, the Cancel button clicked.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Answer = Prompter::Answer;

// On line with the demo calibration in the ECU and, in memory, a copy of it
// with 50 bytes changed.
struct WriteSafety : ::testing::Test {
    void SetUp() override {
        h.ecu.LoadCalibration(demo);
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
        ASSERT_TRUE(h.RunUntilMonitoring());
        for (int i = 100; i < 150; ++i) {
            edited[i] = (demo[i] + 1) & 0xFF;
        }
        h.Load(edited);
    }
    CompareWindow* Compare() {
        h.Trigger(CmdCompare);
        return h.Window().Comparison();
    }
    QPushButton* ProgramButton(CompareWindow* window) {
        return window->findChild<QPushButton*>("program");
    }
    AppHarness h;
    const CalibrationImage demo = Demo();
    CalibrationImage edited = Demo();
};

// Closing the compare window while its Program runs asks first, as the main
// window's close does. Kept, the transfer goes on; agreed, it stops at the
// next byte and the window closes after it. Either way every byte on the
// wire is the one compared: the window's own copies are not what is written.
TEST_F(WriteSafety, ClosingTheCompareWindowDuringProgramAsksAndWritesTheComparedBytes) {
    for (const Answer answer : {Answer::Cancel, Answer::Save}) {
        SCOPED_TRACE(static_cast<int>(answer));
        h.ecu.LoadCalibration(demo);
        QPointer<CompareWindow> window = Compare();
        ASSERT_TRUE(window);
        h.ecu.ClearRecords();
        h.prompter = {};
        h.prompter.answers = {answer};
        QTimer::singleShot(0, window,
                           [&] { QCoreApplication::postEvent(window, new QCloseEvent); });
        ProgramButton(window)->click();
        ASSERT_EQ(h.prompter.questions.size(), 1u);
        EXPECT_EQ(h.prompter.questions[0].accept, "Cancel Transfer");
        for (const EepromWrite& w : h.ecu.Writes()) {
            EXPECT_EQ(w.value, edited[w.address - 0x0E00]) << w.address;
        }
        const bool cancelled = answer != Answer::Cancel;
        // The close arrives with the second byte's progress, which is then finished.
        EXPECT_EQ(h.ecu.Writes().size(), cancelled ? 2u : 50u);
        EXPECT_EQ(h.Pane(), cancelled ? "Programming FAILED" : "Programming Complete");
        QCoreApplication::sendPostedEvents(nullptr, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window.isNull(), cancelled);
        ASSERT_TRUE(h.RunUntilMonitoring());
    }
}

// An image changed after the comparison voids its list: the window says so
// and Program is disabled until an undo brings the compared image back.
// Taking ECU values is the window's own change and keeps the list.
TEST_F(WriteSafety, AnImageChangedAfterTheComparisonDisablesProgram) {
    CompareWindow* window = Compare();
    ASSERT_TRUE(window && ProgramButton(window)->isEnabled());
    h.Session().Edit("Change", [](CalibrationImage& image) { return (image[200] = 1); });
    EXPECT_TRUE(window->Stale());
    EXPECT_FALSE(ProgramButton(window)->isEnabled());
    EXPECT_TRUE(window->findChild<QLabel*>()->text().contains("changed since this comparison"));
    h.ecu.ClearRecords();
    emit window->ProgramRequested();  // as a stale click would
    EXPECT_TRUE(h.ecu.Received().empty());
    h.Session().Undo();
    EXPECT_TRUE(ProgramButton(window)->isEnabled());
    emit window->TakeRequested({100, 101});
    EXPECT_FALSE(window->Stale());
    EXPECT_EQ(ProgramButton(window)->text(), "Program 48 changes");
}

// "Program N changes" refuses what Download refuses, with its texts.
TEST_F(WriteSafety, ProgramRefusesAValueTheEcuCannotHold) {
    edited[87] = 300;  // RPM A
    h.Load(edited, "300.dat");
    CompareWindow* window = Compare();
    ASSERT_TRUE(window);
    h.ecu.ClearRecords();
    h.prompter = {};
    ProgramButton(window)->click();
    EXPECT_TRUE(h.ecu.Received().empty());
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_EQ(h.prompter.messages[0].caption, "Download Refused");
    EXPECT_NE(h.prompter.messages[0].text.indexOf("0x0E57 is 300"), -1);
    EXPECT_EQ(h.Session().Ecu().At(87), std::optional<uint8_t>(static_cast<uint8_t>(demo[87])));
}

// An interrupted Download says how far it got in a message box after
// "Programming FAILED", which no notice then covers until the next command;
// pane 1 says the ECU is off line. Undone back to the uploaded image, Quit
// still warns: the ECU holds a mix of the two calibrations.
TEST_F(WriteSafety, InterruptedDownloadSaysHowFarItGotAndQuitWarns) {
    h.ecu.ClearRecords();
    // The first changed byte is 100: 100 reads of 5 bytes, then 12 a byte.
    h.ecu.faults.silentAfterBytes = 100 * 5 + 3 * 12 + 5;
    h.prompter = {};
    h.Trigger(CmdDownload);
    EXPECT_EQ(h.Pane(), "Programming FAILED");
    EXPECT_EQ(h.Pane(EcuStatePane), "ECU Off Line");
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_EQ(h.prompter.messages[0].text, "3 bytes programmed before the failure at E67");
    h.State().reporter.ShowNotice("COM1 is open again");
    EXPECT_EQ(h.Pane(), "Programming FAILED");
    h.Trigger(CmdUpload);  // off line: does nothing, but it is the user's next command
    h.State().reporter.ShowNotice("COM1 is open again");
    EXPECT_EQ(h.Pane(), "COM1 is open again");

    h.prompter = {};
    h.Trigger(CmdQuit, {}, {Answer::Cancel});
    ASSERT_EQ(h.prompter.questions.size(), 1u);
    EXPECT_TRUE(h.prompter.questions[0].text.startsWith("The ECU may hold a mix of calibrations"));
    EXPECT_TRUE(h.Window().isVisible());
}

// A real click on Cancel arrives at the window first, at the button's place.
TEST_F(WriteSafety, ClickOnCancelThroughTheWindowCancels) {
    QPushButton* cancel = h.Window().CancelButton();
    QTimer::singleShot(0, &h.Window(), [&] {
        ASSERT_TRUE(cancel->isVisible());
        const QPoint at = cancel->mapTo(&h.Window(), cancel->rect().center());
        QTest::mouseClick(h.Window().windowHandle(), Qt::LeftButton, {}, at);
    });
    h.prompter = {};
    h.Trigger(CmdDownload);
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_TRUE(h.prompter.messages[0].text.startsWith("Download cancelled: "));
    EXPECT_LT(h.ecu.Writes().size(), 50u);
}

}  // namespace
}  // namespace korvel
