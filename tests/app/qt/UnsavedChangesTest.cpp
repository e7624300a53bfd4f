#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Answer = Prompter::Answer;

CalibrationImage FileImage(const QString& path) {
    CalibrationImage image;
    ReadDataFile(path.toStdString(), image);
    return image;
}

// On line with the ECU's calibration Pattern(1) uploaded.
struct UnsavedChanges : ::testing::Test {
    void SetUp() override {
        h.ecu.LoadCalibration(Pattern(1));
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
        ASSERT_TRUE(h.RunUntilMonitoring());
        h.Trigger(CmdUpload);
        ASSERT_EQ(h.Image().values, Pattern(1).values);
    }
    AppHarness h;
};

// Quit, Open and Upload ask before they would drop unsaved changes: Cancel
// stops the command, Discard goes on, Save writes the known file first.
TEST_F(UnsavedChanges, QuitOpenAndUploadAskToSave) {
    const QString path = h.dir.filePath("a.dat"), other = h.dir.filePath("other.dat");
    ASSERT_EQ(WriteDataFile(other.toStdString(), Pattern(3)), SaveResult::Saved);
    for (const int command : {CmdQuit, CmdOpen, CmdUpload}) {
        for (const Answer answer : {Answer::Cancel, Answer::Discard, Answer::Save}) {
            SCOPED_TRACE(testing::Message() << command << " " << static_cast<int>(answer));
            ASSERT_EQ(WriteDataFile(path.toStdString(), Pattern(2)), SaveResult::Saved);
            h.Trigger(CmdOpen, {path}, {Answer::Discard});
            h.Image()[200] = 999;
            h.State().scheduler.RestartFromProbe();  // Quit's warning about the ECU is tested below
            if (command == CmdUpload) {
                ASSERT_TRUE(h.RunUntilMonitoring());
            }
            const CalibrationImage edited = h.Image();
            h.prompter = {};
            h.Window().show();
            h.Trigger(command, {other}, {answer});

            ASSERT_EQ(h.prompter.questions.size(), 1u);
            EXPECT_EQ(h.prompter.questions[0].text, "Save changes to a.dat?");
            EXPECT_EQ(FileImage(path).values,
                      (answer == Answer::Save ? edited : Pattern(2)).values);
            const bool goesOn = answer != Answer::Cancel;
            EXPECT_EQ(h.prompter.fileDialogs.size(), command == CmdOpen && goesOn ? 1u : 0u);
            EXPECT_EQ(h.Window().isVisible(), !(command == CmdQuit && goesOn));
            const CalibrationImage after = !goesOn || command == CmdQuit ? edited
                                           : command == CmdOpen          ? Pattern(3)
                                                                         : Pattern(1);
            EXPECT_EQ(h.Image().values, after.values);
        }
    }
}

// Quit warns when the ECU on line does not hold the image in memory, also
// after it was saved; a Download settles it.
TEST_F(UnsavedChanges, QuitWarnsWhenTheEcuDoesNotHoldTheImage) {
    h.Image()[9] = 3;
    h.Trigger(CmdSave, {h.dir.filePath("b.dat")});
    const struct {
        bool download, onLine;
        Answer answer;  // Discard: the box's "Quit"
        bool asked, closes;
    } cases[] = {{false, true, Answer::Cancel, true, false},
                 {false, false, Answer::Cancel, false, true},
                 {false, true, Answer::Discard, true, true},
                 {true, true, Answer::Cancel, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        h.Window().show();
        ASSERT_TRUE(h.RunUntilMonitoring());
        if (c.download) {
            h.Trigger(CmdDownload);
        }
        if (!c.onLine) {
            h.State().scheduler.RestartFromProbe();
        }
        h.prompter = {};
        h.Trigger(CmdQuit, {}, {c.answer});
        ASSERT_EQ(h.prompter.questions.size(), c.asked ? 1u : 0u);
        for (const auto& asked : h.prompter.questions) {
            EXPECT_EQ(asked.text + " / " + asked.accept,
                      "The ECU does not hold the calibration in memory.\nQuit without a "
                      "Download? / Quit");
        }
        EXPECT_EQ(h.Window().isVisible(), !c.closes);
    }
    EXPECT_EQ(h.ecu.Calibration()[9], 3u);
}

// A constants dialog's OK is one step (none when it changes nothing), named
// in the Edit menu and marked in the title. With no file known, Save asks
// for one: cancelling that dialog stops the command, a file chosen is saved
// and named in the title. Open starts a new history.
TEST_F(UnsavedChanges, ConstantsDialogOkIsOneStepUntilOpen) {
    QAction* undo = h.Window().findChild<QAction*>("undo");
    QAction* redo = h.Window().findChild<QAction*>("redo");
    ASSERT_TRUE(undo && redo);
    for (int i = 0; i < 2; ++i) {  // a new KP, then the same again
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            dialog->findChild<QLineEdit*>("1011")->setText("77");
            dialog->findChild<QPushButton*>("1033")->click();
        });
        h.Trigger(CmdGovernor);
    }
    EXPECT_EQ(h.Image()[62], 77u);
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - Untitled *");
    EXPECT_EQ(undo->text(), "Undo Governor");
    undo->trigger();
    EXPECT_EQ(h.Image().values, Pattern(1).values);
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), "Redo Governor");

    redo->trigger();
    for (const QString& chosen : {QString(), h.dir.filePath("new.dat")}) {
        h.prompter = {};
        h.Trigger(CmdOpen, {chosen}, {Answer::Save});
        ASSERT_EQ(h.prompter.questions.size(), 1u);
        EXPECT_EQ(h.prompter.questions[0].text, "Save changes to Untitled?");
        ASSERT_EQ(h.prompter.fileDialogs.size(), chosen.isNull() ? 1u : 2u);  // then Open's own
        EXPECT_EQ(h.prompter.fileDialogs[0].title, "Save ECU Data File To Disk");
    }
    EXPECT_EQ(FileImage(h.dir.filePath("new.dat")).values, h.Image().values);
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - new.dat");
    EXPECT_EQ(h.Image()[62], 77u);

    h.Trigger(CmdOpen, {h.WriteFile("c.dat", "9\r\n")});
    EXPECT_FALSE(undo->isEnabled() || redo->isEnabled());
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - c.dat *");  // a short file
}

}  // namespace
}  // namespace korvel
