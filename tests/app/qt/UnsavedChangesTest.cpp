#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "calib/DataFile.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Answer = Prompter::Answer;

CalibrationImage Pattern(int seed) {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i)
        image[i] = static_cast<uint32_t>((i * 5 + seed) & 0xFF);
    return image;
}

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
        ASSERT_EQ(h.State().image.values, Pattern(1).values);
    }
    // Opens a file holding `image`, discarding any changes.
    QString OpenFile(const QString& name, const CalibrationImage& image) {
        const QString path = h.dir.filePath(name);
        EXPECT_EQ(WriteDataFile(path.toStdString(), image), SaveResult::Saved);
        h.prompter.fileAnswers = {path};
        h.prompter.answers = {Answer::Discard};
        h.Trigger(CmdOpen);
        h.prompter.questions.clear();
        return path;
    }
    AppHarness h;
};

// Quit, Open and Upload ask before they would drop unsaved changes: Cancel
// stops the command, Discard goes on, Save writes the known file first.
TEST_F(UnsavedChanges, QuitOpenAndUploadAskToSave) {
    const struct {
        int command;
        Answer answer;
        bool goesOn;
    } cases[] = {
        {CmdQuit, Answer::Cancel, false},   {CmdQuit, Answer::Discard, true},
        {CmdQuit, Answer::Save, true},      {CmdOpen, Answer::Cancel, false},
        {CmdOpen, Answer::Discard, true},   {CmdOpen, Answer::Save, true},
        {CmdUpload, Answer::Cancel, false}, {CmdUpload, Answer::Discard, true},
        {CmdUpload, Answer::Save, true},
    };
    const QString other = h.dir.filePath("other.dat");
    ASSERT_EQ(WriteDataFile(other.toStdString(), Pattern(3)), SaveResult::Saved);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.command << " " << static_cast<int>(c.answer));
        const QString path = OpenFile("a.dat", Pattern(2));
        EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - a.dat");
        h.State().image[200] = 999;
        h.State().scheduler.RestartFromProbe();  // Quit's warning about the ECU is tested below
        if (c.command == CmdUpload) {
            ASSERT_TRUE(h.RunUntilMonitoring());
        }
        const CalibrationImage edited = h.State().image;
        h.prompter.answers = {c.answer};
        h.prompter.fileAnswers = {other};
        h.prompter.fileDialogs.clear();
        h.Window().show();
        h.Trigger(c.command);

        ASSERT_EQ(h.prompter.questions.size(), 1u);
        EXPECT_EQ(h.prompter.questions[0].text, "Save changes to a.dat?");
        h.prompter.questions.clear();
        const bool saved = c.answer == Answer::Save;
        EXPECT_EQ(FileImage(path).values, (saved ? edited : Pattern(2)).values);
        EXPECT_TRUE(h.prompter.fileDialogs.size() == (c.command == CmdOpen && c.goesOn ? 1u : 0u));
        const CalibrationImage& now = h.State().image;
        switch (c.command) {
            case CmdQuit:
                EXPECT_EQ(h.Window().isVisible(), !c.goesOn);
                EXPECT_EQ(now.values, edited.values);
                break;
            case CmdOpen:
                EXPECT_EQ(now.values, (c.goesOn ? Pattern(3) : edited).values);
                break;
            case CmdUpload:
                EXPECT_EQ(now.values, (c.goesOn ? Pattern(1) : edited).values);
                break;
        }
    }
}

// With no file known, Save asks for one; cancelling that dialog stops the command.
TEST_F(UnsavedChanges, SaveWithoutAFileNameShowsTheDialog) {
    h.State().image[7] = 1;
    for (const bool choose : {false, true}) {
        h.prompter.answers = {Answer::Save};
        h.prompter.fileAnswers = {choose ? std::optional(h.dir.filePath("new.dat")) : std::nullopt};
        h.Trigger(CmdOpen);
        ASSERT_EQ(h.prompter.questions.size(), 1u);
        EXPECT_EQ(h.prompter.questions[0].text, "Save changes to Untitled?");
        h.prompter.questions.clear();
        // Saved, the Open goes on to its own dialog (here cancelled).
        ASSERT_EQ(h.prompter.fileDialogs.size(), choose ? 2u : 1u);
        EXPECT_EQ(h.prompter.fileDialogs[0].title, "Save ECU Data File To Disk");
        h.prompter.fileDialogs.clear();
    }
    EXPECT_EQ(FileImage(h.dir.filePath("new.dat")).values, h.State().image.values);
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - new.dat");
}

// Quit warns when the ECU on line does not hold the image in memory, also
// after it was saved; a Download settles it.
TEST_F(UnsavedChanges, QuitWarnsWhenTheEcuDoesNotHoldTheImage) {
    h.State().image[9] = 3;
    h.prompter.fileAnswers = {h.dir.filePath("b.dat")};
    h.Trigger(CmdSave);
    const struct {
        bool download, onLine;
        Answer answer;
        bool asked, closes;
    } cases[] = {
        {false, true, Answer::Cancel, true, false},
        {false, false, Answer::Cancel, false, true},
        {false, true, Answer::Discard, true, true},  // the box's "Quit"
        {true, true, Answer::Cancel, false, true},
    };
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
        h.prompter.answers = {c.answer};
        h.Trigger(CmdQuit);
        ASSERT_EQ(h.prompter.questions.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(h.prompter.questions[0].text,
                      "The ECU does not hold the calibration in memory.\nQuit without a Download?");
            EXPECT_EQ(h.prompter.questions[0].accept, "Quit");
        }
        h.prompter.questions.clear();
        EXPECT_EQ(h.Window().isVisible(), !c.closes);
    }
    EXPECT_EQ(h.ecu.Calibration()[9], 3u);
}

// A constants dialog's OK is one step, named in the Edit menu and the
// title; undo and redo walk it; Open starts a new history.
TEST_F(UnsavedChanges, ConstantsDialogOkIsOneStepUntilOpen) {
    QAction* undo = h.Window().findChild<QAction*>("undo");
    QAction* redo = h.Window().findChild<QAction*>("redo");
    ASSERT_TRUE(undo && redo);
    EXPECT_EQ(h.Window().menuBar()->actions()[1]->text(), "Edit");
    EXPECT_FALSE(undo->isEnabled());
    ProgramState& s = h.State();
    const CalibrationImage before = s.image;
    const char* const kps[] = {"77", nullptr};  // OK with a new KP, then OK unchanged
    for (const char* kp : kps) {
        QTimer::singleShot(0, [kp] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            if (kp) {
                dialog->findChild<QLineEdit*>("1011")->setText(kp);
            }
            dialog->findChild<QPushButton*>("1033")->click();
        });
        h.Trigger(CmdGovernor);
    }
    EXPECT_EQ(s.image[62], 77u);
    EXPECT_EQ(undo->text(), "Undo Governor");
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - Untitled *");
    undo->trigger();
    EXPECT_EQ(s.image.values, before.values);
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface");
    EXPECT_EQ(undo->text(), "Undo");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), "Redo Governor");
    redo->trigger();
    EXPECT_EQ(s.image[62], 77u);

    h.prompter.answers = {Answer::Discard};
    h.prompter.fileAnswers = {h.WriteFile("c.dat", "9\r\n")};
    h.Trigger(CmdOpen);
    EXPECT_EQ(h.prompter.questions.size(), 1u);
    EXPECT_FALSE(undo->isEnabled() || redo->isEnabled());
    EXPECT_EQ(s.image[0], 9u);
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - c.dat *");  // a short file
}

}  // namespace
}  // namespace korvel
