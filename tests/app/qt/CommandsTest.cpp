#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "editors/qt/CurveEditorWindow.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

// The menu bar as the user sees it: each item as text=identifier, then '+'
// always enabled, '-' never, '*' only with data loaded, '~' only with data
// loaded in expert mode, '^' only in expert mode, '%' only with data loaded
// and the ECU on line; '|' a separator.
const char* const Menus =
    "\nFile: Open=40001+ Save=40002* | Upload=40003+ Download=40004* Compare with ECU...=40022%"
    " Restore Points...=40050+ | Monitor=40020+ Port...=40040+ Start Log...=40030+ | Quit=40005+"
    "\nEdit: Undo=undo- Redo=redo-"
    "\nTables: VE=40007~ VE (LP)=40008~ Spark=40009~"
    "\nCurves: Fuel=40010~ RPM=40011*"
    "\nConstants: Governor=40013* AE/MIS=40014~ RPM Presets=40015* Peek/Poke=40021^"
    "\nPlots: Variable ...=40016+ Time Scale ...=40017+"
    "\nOptions: Expert Mode=expert+"
    "\nHelp: About this program=40019+";

// Opens and closes every menu, as the user would, and checks what it shows.
void ExpectMenus(MainWindow& window, bool dataLoaded, bool expert = false, bool onLine = true) {
    QString shown;
    for (QAction* title : window.menuBar()->actions()) {
        shown += "\n" + title->text() + ":";
        emit title->menu()->aboutToShow();
        for (QAction* a : title->menu()->actions()) {
            shown += a->isSeparator()
                         ? QString(" |")
                         : QString(" %1=%2%3")
                               .arg(a->text(), a->objectName(), a->isEnabled() ? "+" : "-");
        }
        emit title->menu()->aboutToHide();
    }
    const QString expected = QString(Menus)
                                 .replace('*', dataLoaded ? '+' : '-')
                                 .replace('~', dataLoaded && expert ? '+' : '-')
                                 .replace('^', expert ? '+' : '-')
                                 .replace('%', dataLoaded && onLine ? '+' : '-');
    EXPECT_EQ(shown.toStdString(), expected.toStdString()) << dataLoaded << expert << onLine;
}

struct Commands : ::testing::Test {
    void SetUp() override {
        h.ecu.LoadCalibration(Demo());
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
    }
    AppHarness h;
};

// Upload loads the data. One that fails half way changes no byte of the image,
// so the open editors keep their selection; the data stays loaded, so the
// edits can still be saved or downloaded, but Compare needs the ECU on line.
TEST_F(Commands, MenusFollowTheTransfers) {
    ExpectMenus(h.Window(), false);
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Trigger(CmdUpload);
    ExpectMenus(h.Window(), true);
    h.Trigger(CmdRpm);
    auto* rpm = qobject_cast<CurveEditorWindow*>(h.Window().Editor(EditorKind::Rpm));
    ASSERT_TRUE(rpm && QTest::qWaitForWindowExposed(rpm));
    const QSize cell = rpm->CharCell();
    QTest::mouseClick(rpm, Qt::LeftButton, {},
                      QPoint(10 * cell.width() + 2, rpm->BottomLine() * cell.height() + 2));
    rpm->repaint();
    ASSERT_TRUE(rpm->Model().HasSelection());

    h.ecu.LoadCalibration(Pattern(3));
    h.ecu.faults.silentAfterBytes = static_cast<long>(h.ecu.Received().size()) + 300;
    h.Trigger(CmdUpload);  // the fake clock passes each time-out at once
    EXPECT_EQ(h.Image().values, Demo().values);
    EXPECT_TRUE(rpm->Model().HasSelection());
    ExpectMenus(h.Window(), true, false, false);
}

// The file commands report what failed (the texts are the data file's own);
// a short file still counts as data loaded.
TEST_F(Commands, SaveAndOpenReportFailuresAndShortFiles) {
    const QString path = h.dir.filePath("calib.dat");
    const std::tuple<int, QString, QString, bool> cases[] = {
        // Command, the file chosen, the message's caption, data loaded after it.
        {CmdSave, path, "", false},
        {CmdOpen, h.dir.filePath("none.dat"), "Error Opening File", false},
        {CmdSave, h.dir.filePath("no/such/dir.dat"), "Error Opening File", false},
        {CmdOpen, h.WriteFile("short.dat", "1\r\n2\r\n"), "Incomplete Data File", true},
        {CmdOpen, path, "", true},
    };
    h.Image() = Pattern(9);
    for (const auto& [command, answer, caption, dataLoaded] : cases) {
        SCOPED_TRACE(answer.toStdString());
        h.Flags().Set(DataLoaded);  // Save is enabled
        h.Window().RefreshCommands();
        h.Flags().Clear(DataLoaded);
        h.prompter.messages.clear();
        h.Trigger(command, {answer}, {Prompter::Answer::Discard});  // the short file: not all saved
        const auto& shown = h.prompter.messages;
        ASSERT_LE(shown.size(), 1u);
        EXPECT_EQ(shown.empty() ? "" : shown[0].caption, caption);
        EXPECT_EQ(h.Window().DataFilePath(), answer);
        ExpectMenus(h.Window(), dataLoaded, false, false);
    }
    EXPECT_EQ(h.Image().values, Pattern(9).values);  // the saved file read back
    EXPECT_EQ(h.prompter.fileDialogs[1].title, "Open ECU Data File From Disk");
    for (const auto& asked : h.prompter.fileDialogs) {
        EXPECT_EQ(asked.filter + " " + asked.defaultSuffix,
                  "Data Files (*.dat);;All Files (*.*) dat");
    }
}

// Download never programs an image that a short file left partly unset, nor
// a slot that is not a byte (the data file tests check the refusals' texts);
// Save stays allowed. Upload or a complete Open lifts the first refusal.
TEST_F(Commands, DownloadRefusesIncompleteFilesAndValuesThatAreNotBytes) {
    ASSERT_TRUE(h.RunUntilMonitoring());
    const QString shortFile = h.WriteFile("short.dat", "1\r\n2\r\n");
    const QString complete =
        h.WriteFile("complete.dat", QByteArray::fromStdString(FormatDataFile(Pattern(3))));
    // Command, the file chosen, a slot set to 300 before (or -1), whether it programs.
    const std::tuple<int, QString, int, bool> steps[] = {
        {CmdOpen, shortFile, -1, false},
        {CmdDownload, {}, -1, false},
        {CmdSave, h.dir.filePath("kept.dat"), -1, false},
        {CmdDownload, {}, -1, false},
        {CmdUpload, {}, -1, false},
        {CmdDownload, {}, -1, true},
        {CmdDownload, {}, 87, false},
        {CmdOpen, shortFile, -1, false},
        {CmdOpen, complete, -1, false},
        {CmdDownload, {}, -1, true}};
    for (const auto& [command, answer, slot300, programmed] : steps) {
        SCOPED_TRACE(std::to_string(command) + " " + answer.toStdString());
        h.prompter.messages.clear();
        if (slot300 >= 0) {
            h.Image()[slot300] = 300;
        }
        h.ecu.ClearRecords();
        h.Trigger(command, {answer}, {Prompter::Answer::Discard});  // edits before Open or Upload
        if (command == CmdDownload) {  // a refusal is told, and nothing is sent
            EXPECT_EQ(h.ecu.Received().empty(), !programmed);
            EXPECT_EQ(h.prompter.messages.empty(), programmed);
            EXPECT_TRUE(!programmed || h.Pane() == "Programming Complete");
        }
        EXPECT_TRUE(h.Flags().Test(DataLoaded));
    }
    EXPECT_EQ(ReadDataFile(h.dir.filePath("kept.dat").toStdString(), h.Image()).valuesStored,
              ImageSize);
}

// Expert mode, switched from the Options menu, makes the editors, AE/MIS and
// Peek/Poke reachable. Each editor opens once, the Fuel window at its place;
// a closed one opens again.
TEST_F(Commands, ExpertModeEnablesTheHiddenCommandsAndEachEditorOpensOnce) {
    QAction* expert = h.Window().findChild<QAction*>("expert");
    ASSERT_TRUE(expert && expert->isCheckable() && !expert->isChecked());
    for (bool on : {true, false, true}) {
        expert->trigger();
        EXPECT_EQ(h.Window().windowTitle(),
                  on ? "Korvel ECU Interface [Expert]" : "Korvel ECU Interface");
        for (bool loaded : {false, true}) {
            loaded ? h.Flags().Set(DataLoaded) : h.Flags().Clear(DataLoaded);
            ExpectMenus(h.Window(), loaded, on, false);
        }
    }
    const std::tuple<int, EditorKind, QString> kinds[] = {
        {CmdRpm, EditorKind::Rpm, "Driver RPM Data"},
        {CmdVe, EditorKind::Ve, "VE Table"},
        {CmdVeLp, EditorKind::VeLp, "VE Table (LP)"},
        {CmdSpark, EditorKind::Spark, "Spark Table"},
        {CmdFuel, EditorKind::Fuel, "Fuel Correction Data"}};
    for (const auto& [command, kind, title] : kinds) {
        h.Trigger(command);
        QPointer<EditorWindow> window = h.Window().Editor(kind);
        ASSERT_TRUE(window && window->isVisible());
        EXPECT_EQ(window->windowTitle(), title);
        h.Trigger(command);
        EXPECT_EQ(h.Window().Editor(kind), window.data());
    }
    EXPECT_EQ(h.Window().findChildren<EditorWindow*>().size(), 5);
    const EditorWindow* fuel = h.Window().Editor(EditorKind::Fuel);
    // 650 x 250 at (200, 200), wider by the room its graphs take.
    EXPECT_EQ(QRect(fuel->pos(), fuel->size()),
              QRect(200, 200, fuel->OpeningSize({650, 250}).width(), 250));
    EXPECT_GT(fuel->width(), 650);
    h.Window().Editor(EditorKind::Rpm)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(h.Window().Editor(EditorKind::Rpm), nullptr);
    h.Trigger(CmdRpm);
    EXPECT_TRUE(h.Window().Editor(EditorKind::Rpm) &&
                h.Window().Editor(EditorKind::Rpm)->isVisible());
}

}  // namespace
}  // namespace korvel
