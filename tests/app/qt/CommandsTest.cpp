#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

#include "calib/DataFile.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

// The menu bar as the user sees it: each item as text=identifier, then '+'
// always enabled, '-' never, '*' only with data loaded, '~' only with data
// loaded and the ECU on line; '|' a separator.
const char* const Menus =
    "\nFile: Open=40001+ Save=40002* | Upload=40003+ Download=40004* Compare with ECU...=40022~"
    " | Monitor=40020+ | Quit=40005+"
    "\nTables: VE=40007- VE (LP)=40008- Spark=40009-"
    "\nCurves: Fuel=40010- RPM=40011*"
    "\nConstants: Governor=40013* AE/MIS=40014- RPM Presets=40015* Peek/Poke=40021-"
    "\nPlots: Variable ...=40016+ Time Scale ...=40017+"
    "\nHelp: About this program=40019+";

// Opens every menu, as the user would, and checks what it shows.
void ExpectMenus(MainWindow& window, bool dataLoaded, bool onLine = true) {
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
    }
    EXPECT_EQ(shown.toStdString(), QString(Menus)
                                       .replace('*', dataLoaded ? '+' : '-')
                                       .replace('~', dataLoaded && onLine ? '+' : '-')
                                       .toStdString());
}

CalibrationImage Pattern(int seed) {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i)
        image[i] = static_cast<uint32_t>((i * 7 + seed) & 0xFF);
    return image;
}

struct Commands : ::testing::Test {
    void SetUp() override {
        h.ecu.LoadCalibration(Pattern(3));
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
    }
    AppHarness h;
};

TEST_F(Commands, TransfersSetTheMenusAndDownloadProgramsOnlyTheChangedByte) {
    ExpectMenus(h.Window(), false);
    h.ecu.ClearRecords();
    h.Trigger(CmdUpload);  // off line: nothing happens
    EXPECT_TRUE(h.ecu.Received().empty());
    EXPECT_EQ(h.Window().PaneText(MessagePane), "LOADING MON DATA FILE");

    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Trigger(CmdUpload);
    EXPECT_EQ(h.State().image.values, Pattern(3).values);
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Data Loaded");
    ExpectMenus(h.Window(), true);

    h.State().image[5] = 0x42;
    h.Trigger(CmdDownload);
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Programming Complete");
    EXPECT_EQ(h.ecu.Writes(), (std::vector<EepromWrite>{{0x0E05, 0x42}}));

    h.ecu.faults.silent = true;
    h.Trigger(CmdDownload);  // the fake clock passes each time-out at once
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Programming FAILED");
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));
    ExpectMenus(h.Window(), false);
}

TEST_F(Commands, SaveAndOpenReportFailuresAndShortFiles) {
    const QString path = h.dir.filePath("calib.dat");
    const struct {
        int command;
        QString answer;
        QString shown;  // message / caption
        bool dataLoaded;
    } cases[] = {
        {CmdSave, path, "", false},
        {CmdOpen, h.dir.filePath("none.dat"), "Try another file / Error Opening File", false},
        {CmdSave, h.dir.filePath("no/such/dir.dat"), "Try another file / Error Opening File",
         false},
        {CmdOpen, h.WriteFile("short.dat", "1\r\n2\r\nx\r\n3\r\n"),
         "The file held 3 of the 512 calibration values.\n1 lines held no number."
         "\nThe other bytes keep their previous values. / Incomplete Data File",
         true},
        {CmdOpen, path, "", true},
    };
    h.State().image = Pattern(9);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        h.Flags().Set(DataLoaded);  // Save is enabled
        h.Window().RefreshCommands();
        h.Flags().Clear(DataLoaded);
        h.prompter.messages.clear();
        h.prompter.fileAnswers = {c.answer};
        h.Trigger(c.command);
        const auto& shown = h.prompter.messages;
        ASSERT_LE(shown.size(), 1u);
        EXPECT_EQ(shown.empty() ? "" : shown[0].text + " / " + shown[0].caption, c.shown);
        EXPECT_EQ(h.Window().DataFilePath(), c.answer);
        ExpectMenus(h.Window(), c.dataLoaded, false);
    }
    EXPECT_EQ(h.State().image.values, Pattern(9).values);  // the saved file read back
    EXPECT_EQ(h.prompter.fileDialogs[0].title, "Save ECU Data File To Disk");
    EXPECT_EQ(h.prompter.fileDialogs[1].title, "Open ECU Data File From Disk");
    for (const auto& asked : h.prompter.fileDialogs) {
        EXPECT_EQ(asked.filter, "Data Files (*.dat);;All Files (*.*)");
        EXPECT_EQ(asked.defaultSuffix, "dat");
    }
}

TEST_F(Commands, RpmAfterAnUploadOpensOneWindowUntilItIsClosed) {
    CalibrationImage demo;
    ASSERT_TRUE(ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", demo).opened);
    h.ecu.LoadCalibration(demo);
    EXPECT_FALSE(h.Window().Action(CmdRpm)->isEnabled());
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Trigger(CmdUpload);
    ASSERT_EQ(h.State().image.values, demo.values);
    ASSERT_TRUE(h.Window().Action(CmdRpm)->isEnabled());
    for (int round = 0; round < 2; ++round) {  // the second time after a close
        h.Trigger(CmdRpm);
        QPointer<EditorWindow> rpm = h.Window().Editor(EditorKind::Rpm);
        ASSERT_TRUE(rpm && rpm->isVisible()) << round;
        h.Trigger(CmdRpm);
        EXPECT_EQ(h.Window().Editor(EditorKind::Rpm), rpm.data());
        EXPECT_EQ(h.Window().findChildren<EditorWindow*>().size(), 1);
        rpm->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(h.Window().Editor(EditorKind::Rpm), nullptr);
    }
}

}  // namespace
}  // namespace korvel
