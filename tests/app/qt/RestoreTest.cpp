// Never losing a calibration, tried as a technician would: a failed Download
// put back with "Restore the ECU", a folder that takes no point, the Restore
// Points window's Open and Compare with ECU, and the crash-recovery copy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/qt/RecoveryKeeper.h"
#include "dialogs/qt/Dialogs.h"
#include "tests/support/EndedProcess.h"
#include "tests/support/SessionRig.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Answer = Prompter::Answer;

// A left click at `widget`'s centre (or `local`), delivered to its window.
void Click(QWidget* widget, std::optional<QPoint> local = {}) {
    QWidget* window = widget->window();
    const QPoint at = widget->mapTo(window, local.value_or(widget->rect().center()));
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
}

// On line with the demo calibration uploaded (the whole block known) and,
// in memory, a file's copy of it with 50 bytes changed.
struct Restore : ::testing::Test {
    void SetUp() override {
        h.ecu.LoadCalibration(demo);
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
        ASSERT_TRUE(h.RunUntilMonitoring());
        h.Trigger(CmdUpload);
        for (int i = 100; i < 150; ++i) {
            edited[i] = (demo[i] + 1) & 0xFF;
        }
        h.Load(edited);
        h.prompter = {};
    }
    std::vector<RestorePoint> Points() { return h.Session().Points()->List(); }
    CalibrationImage Bytes(const RestorePoint& point) {
        CalibrationImage image;
        EXPECT_TRUE(LoadRestorePoint(point.path, image)) << point.path;
        return image;
    }
    AppHarness h;
    const CalibrationImage demo = Demo();
    CalibrationImage edited = Demo();
};

// A Download that an ECU ends part way (falling silent at byte 102, or
// storing no write) offers "Restore the ECU" beside its failure text. The
// restore waits for the ECU to be on line again, saying so in pane 0, then
// programs back every byte the Download changed, and leaves a rollback point.
TEST_F(Restore, AFailedDownloadIsPutBackOnceTheEcuAnswersAgain) {
    const struct {
        const char* name;
        long silentAfter;
        bool unstored;
        QString text;
    } cases[] = {
        {"a silenced ECU", 100 * 5 + 2 * 12 + 5 + 6, false,
         "2 bytes programmed before the failure at E66; the byte at E66 may also have been "
         "programmed"},
        {"unstored writes", -1, true,
         QString::asprintf("Verify failed at E64: wrote %X, ECU holds %X\n0 bytes programmed "
                           "before the failure at E64",
                           edited[100], demo[100])},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        h.ecu.LoadCalibration(demo);
        h.ecu.ClearRecords();
        h.ecu.faults.silentAfterBytes = c.silentAfter;
        h.ecu.faults.unstoredWrites = c.unstored;
        h.prompter = {};
        h.prompter.choices = {"Restore the ECU"};
        h.Trigger(CmdDownload);
        ASSERT_EQ(h.prompter.messages.size(), 1u);
        EXPECT_EQ(h.prompter.messages[0].text, c.text);
        EXPECT_EQ(h.prompter.messages[0].buttons, QStringList({"Restore the ECU", "OK"}));
        EXPECT_EQ(h.Pane(), "Waiting for the ECU to come back on line to restore it");
        EXPECT_TRUE(h.Window().Calibration().Rollback()->StopButton()->isVisible());

        h.ecu.faults.silentAfterBytes = -1;  // the ECU answers again
        ASSERT_TRUE(h.RunUntil([&] { return h.Pane().startsWith("ECU restored"); }));
        EXPECT_EQ(h.ecu.Calibration().values, demo.values);
        EXPECT_FALSE(h.Session().EcuMayHoldMix());
        EXPECT_EQ(h.prompter.messages.size(), 1u);
        const std::vector<RestorePoint> points = Points();
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(points[0].reason, "rollback");
        EXPECT_EQ(Bytes(points[0]).values, demo.values);
        ASSERT_TRUE(h.RunUntilMonitoring());
    }
}

// The wait can be stopped with its button; the ECU then keeps what the
// Download left, and says so.
TEST_F(Restore, TheWaitForTheEcuStopsAtItsButton) {
    h.ecu.ClearRecords();
    h.ecu.faults.silentAfterBytes = 100 * 5 + 2 * 12 + 4;  // byte 102's read unanswered
    h.prompter.choices = {"Restore the ECU"};
    h.Trigger(CmdDownload);
    QPushButton* stop = h.Window().Calibration().Rollback()->StopButton();
    ASSERT_TRUE(stop->isVisible());
    Click(stop);
    EXPECT_FALSE(stop->isVisible());
    EXPECT_EQ(h.Pane(), "ECU not restored: it may hold a mix of calibrations");
    h.ecu.faults.silentAfterBytes = -1;
    h.clock.Advance(OffLineTimeoutMs + 1);  // a probe sent meanwhile went unanswered
    ASSERT_TRUE(h.RunUntilMonitoring());
    EXPECT_EQ(h.ecu.Calibration()[101], edited[101]);
    EXPECT_TRUE(h.Session().EcuMayHoldMix());
}

// A folder that takes no point: a read says so, and a Download asks before
// it goes on without its before point; declined, nothing is sent.
TEST_F(Restore, AFolderThatTakesNoPointAsksBeforeAWrite) {
    QDir(QString::fromStdString(h.PointsFolder())).removeRecursively();
    h.WriteFile("points", "not a folder");
    const QString why = QString::fromStdString("No restore point could be saved in " +
                                               h.PointsFolder() + ": Not a directory");
    h.ecu.ClearRecords();
    h.Trigger(CmdDownload, {}, {Answer::Cancel});
    ASSERT_EQ(h.prompter.questions.size(), 1u);
    EXPECT_EQ(h.prompter.questions[0].accept, "Write Without a Point");
    EXPECT_TRUE(h.prompter.questions[0].text.startsWith(why));
    EXPECT_TRUE(h.ecu.Received().empty());
    EXPECT_TRUE(h.prompter.messages.empty());

    h.Trigger(CmdDownload, {}, {Answer::Save});
    EXPECT_EQ(h.Pane(), "Programming Complete");
    EXPECT_EQ(h.ecu.Calibration().values, edited.values);
    EXPECT_TRUE(h.prompter.messages.empty());  // not told again after the question

    h.Trigger(CmdCompare);
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_EQ(h.prompter.messages[0].text, why);
}

struct PointsWindow : Restore {
    RestorePointsWindow* Show() {
        h.Trigger(CmdRestorePoints);
        RestorePointsWindow* window = h.Window().Calibration().PointsWindow();
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        return window;
    }
    // Chooses the newest point and clicks `button`.
    void Choose(RestorePointsWindow* window, const char* button) {
        auto* list = window->findChild<QTreeWidget*>();
        Click(list->viewport(), list->visualItemRect(list->topLevelItem(0)).center());
        Click(window->findChild<QPushButton*>(button));
    }
};

// Open loads the point as Open loads a file, behind the unsaved-changes
// question; the image then belongs to no file, so Save asks where to.
TEST_F(PointsWindow, OpenLoadsThePointAsAnImageOfNoFile) {
    RestorePointsWindow* window = Show();
    ASSERT_TRUE(window);
    h.Session().Edit("Change", [](CalibrationImage& image) { return (image[3] = 1); });
    h.prompter.answers = {Answer::Cancel};
    Choose(window, "open");
    ASSERT_EQ(h.prompter.questions.size(), 1u);
    EXPECT_EQ(h.prompter.questions[0].text, "Save changes to loaded.dat?");
    EXPECT_EQ(h.Session().Image()[3], 1u);

    h.prompter.answers = {Answer::Discard};
    Choose(window, "open");
    EXPECT_EQ(h.Session().Image().values, demo.values);
    EXPECT_EQ(h.Session().FileName(), "");
    EXPECT_FALSE(h.Session().HasUnsavedChanges());
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface");
}

// Compare with ECU lists how the point differs from what the ECU holds now
// and programs the point; the image is not touched.
TEST_F(PointsWindow, CompareWithEcuProgramsThePointAndLeavesTheImage) {
    h.Trigger(CmdDownload);  // the ECU now holds the edited image
    ASSERT_EQ(h.ecu.Calibration().values, edited.values);
    RestorePointsWindow* window = Show();
    ASSERT_TRUE(window);
    auto* list = window->findChild<QTreeWidget*>();
    const int oldest = list->topLevelItemCount() - 1;  // the Upload's
    Click(list->viewport(), list->visualItemRect(list->topLevelItem(oldest)).center());
    Click(window->findChild<QPushButton*>("compare"));
    CompareWindow* compare = h.Window().Comparison();
    ASSERT_TRUE(compare && QTest::qWaitForWindowExposed(compare));
    EXPECT_EQ(compare->ListedIndices().size(), 50u);
    EXPECT_FALSE(compare->findChild<QPushButton*>("take")->isVisible());
    h.Session().Edit("Change", [](CalibrationImage& image) { return (image[3] = 1); });
    EXPECT_FALSE(compare->Stale());  // the image is not what is compared
    Click(compare->findChild<QPushButton*>("program"));
    EXPECT_EQ(h.Pane(), "Programming Complete");
    EXPECT_EQ(h.ecu.Calibration().values, demo.values);
    EXPECT_EQ(h.Session().Image()[3], 1u);
    EXPECT_EQ(h.Session().Image()[100], edited[100]);
    EXPECT_EQ(Points()[0].reason, "after-download");
}

// A poke whose read-back went unanswered may have changed the byte: its
// message offers to put the byte back, which a second poke does.
TEST(PokeRestore, APokeThatMayHaveChangedTheByteIsPutBack) {
    SessionRig rig;
    ScriptedPrompter prompter;
    PeekPokeDialog dialog{rig.session, prompter, nullptr};
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    rig.ecu.memory[0x0E10] = 0x5A;
    rig.ecu.faults.silentAfterBytes = 5 + 10;  // the byte read, then all but the read-back
    prompter.choices = {"Restore the ECU"};
    prompter.whileShown = [&] { rig.ecu.faults.silentAfterBytes = -1; };
    dialog.findChild<QLineEdit*>("1045")->setText("E10");
    dialog.findChild<QLineEdit*>("1046")->setText("7");
    Click(dialog.findChild<QPushButton*>("1044"));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Could not get data from ECU");
    EXPECT_EQ(prompter.messages[0].buttons, QStringList({"Restore the ECU", "OK"}));
    EXPECT_EQ(rig.ecu.memory[0x0E10], 0x5A);
    EXPECT_EQ(rig.ecu.Writes().size(), 2u);
    EXPECT_EQ(rig.session.Ecu().At(0x10), std::optional<uint8_t>(0x5A));
}

// While the image holds unsaved changes a copy of it is kept, 2 s after the
// first change not yet written; a Save removes it.
TEST_F(Restore, UnsavedChangesAreCopiedWithinTwoSecondsAndASaveRemovesTheCopy) {
    RecoveryKeeper& keeper = h.app->Recovery();
    h.Session().Edit("Change", [](CalibrationImage& image) { return (image[3] = 1); });
    h.clock.Advance(1999);
    keeper.Tick();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(keeper.Path())));
    h.clock.Advance(1);
    keeper.Tick();
    CalibrationImage copied;
    std::string dataFile;
    ASSERT_TRUE(LoadRecoveryCopy(keeper.Path(), copied, dataFile));
    EXPECT_EQ(copied.values, h.Session().Image().values);
    EXPECT_EQ(dataFile, h.Session().FilePath());
    h.Trigger(CmdSave, {h.dir.filePath("saved.dat")});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(keeper.Path())));
}

// At start-up each copy a program that did not quit left is offered back;
// Recover loads it as unsaved changes to its file, Discard drops it, and a
// question closed keeps it for the next start.
TEST(RecoveredEdits, AreOfferedAtStartUp) {
    const struct {
        QString choice;
        bool recovered, kept;
    } cases[] = {{"Recover", true, false}, {"Discard", false, false}, {"", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice.toStdString());
        AppHarness h;
        const CalibrationImage edits = Pattern(5);
        RecoveryCopy left(h.PointsFolder(), EndedProcess());
        ASSERT_EQ(left.Write(edits, "/cal/edits.dat"), "");
        const auto found = FindStaleRecoveryCopies(h.PointsFolder());
        ASSERT_EQ(found.size(), 1u);
        h.prompter.choices = {c.choice};
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
        ASSERT_EQ(h.prompter.messages.size(), 1u);
        EXPECT_EQ(h.prompter.messages[0].text, QString::fromStdString(RecoveryQuestion(found[0])));
        EXPECT_EQ(h.prompter.messages[0].buttons, QStringList({"Recover", "Discard"}));
        EXPECT_EQ(h.Session().Image().values == edits.values, c.recovered);
        EXPECT_EQ(h.Session().HasUnsavedChanges(), c.recovered);
        EXPECT_EQ(h.Session().FileName(), c.recovered ? "edits.dat" : "");
        EXPECT_EQ(QFile::exists(QString::fromStdString(left.Path())), c.kept);
    }
}

}  // namespace
}  // namespace korvel
