#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

#include "calib/DataFile.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

const QByteArray OneVariable = "MAP,26,1\n";

enum Rule { Always, WhenDataLoaded, Never };

struct Item {
    const char* text;  // "-" for a separator
    int command;
    Rule rule;
};

// The menu as the user sees it: every item in order, with its enabling rule.
const std::vector<std::pair<QString, std::vector<Item>>> Menus = {
    {"File",
     {{"Open", 40001, Always},
      {"Save", 40002, WhenDataLoaded},
      {"-", 0, Always},
      {"Upload", 40003, Always},
      {"Download", 40004, WhenDataLoaded},
      {"-", 0, Always},
      {"Monitor", 40020, Always},
      {"-", 0, Always},
      {"Quit", 40005, Always}}},
    {"Tables", {{"VE", 40007, Never}, {"VE (LP)", 40008, Never}, {"Spark", 40009, Never}}},
    {"Curves", {{"Fuel", 40010, Never}, {"RPM", 40011, WhenDataLoaded}}},
    {"Constants",
     {{"Governor", 40013, WhenDataLoaded},
      {"AE/MIS", 40014, Never},
      {"RPM Presets", 40015, WhenDataLoaded},
      {"Peek/Poke", 40021, Never}}},
    {"Plots", {{"Variable ...", 40016, Always}, {"Time Scale ...", 40017, Always}}},
    {"Help", {{"About this program", 40019, Always}}},
};

// Checks every item's text, identifier and enabled state after the menu opens.
void ExpectMenus(MainWindow& window, bool dataLoaded) {
    const QList<QAction*> bar = window.menuBar()->actions();
    ASSERT_EQ(bar.size(), static_cast<qsizetype>(Menus.size()));
    for (size_t m = 0; m < Menus.size(); ++m) {
        QMenu* menu = bar[static_cast<qsizetype>(m)]->menu();
        EXPECT_EQ(bar[static_cast<qsizetype>(m)]->text(), Menus[m].first);
        emit menu->aboutToShow();
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(Menus[m].second.size()));
        for (size_t i = 0; i < Menus[m].second.size(); ++i) {
            const Item& item = Menus[m].second[i];
            QAction* action = actions[static_cast<qsizetype>(i)];
            SCOPED_TRACE(item.text);
            if (item.command == 0) {
                EXPECT_TRUE(action->isSeparator());
                continue;
            }
            EXPECT_EQ(action->text(), item.text);
            EXPECT_EQ(action->objectName(), QString::number(item.command));
            const bool enabled = item.rule == Always || (item.rule == WhenDataLoaded && dataLoaded);
            EXPECT_EQ(action->isEnabled(), enabled);
        }
    }
}

CalibrationImage Pattern(int seed) {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i) {
        image[i] = static_cast<uint32_t>((i * 7 + seed) & 0xFF);
    }
    return image;
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        h.ecu.LoadCalibration(Pattern(3));
        ASSERT_TRUE(h.StartWithMonitor(OneVariable));
    }
    AppHarness h;
};

TEST_F(Commands, UploadEnablesTheDataCommandsAndAFailedDownloadDisablesThem) {
    ExpectMenus(h.Window(), false);
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Trigger(CmdUpload);
    EXPECT_EQ(h.State().image.values, Pattern(3).values);
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Data Loaded");
    ExpectMenus(h.Window(), true);

    h.ecu.faults.silent = true;
    h.Trigger(CmdDownload);  // the fake clock passes each time-out at once
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Programming FAILED");
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));
    ExpectMenus(h.Window(), false);
}

TEST_F(Commands, TransfersWhileOffLineDoNothing) {
    h.Flags().Set(DataLoaded);
    h.Window().RefreshCommands();
    for (int command : {CmdUpload, CmdDownload}) {
        h.ecu.ClearRecords();
        h.Trigger(command);
        EXPECT_TRUE(h.ecu.Received().empty());
        EXPECT_EQ(h.Window().PaneText(MessagePane), "LOADING MON DATA FILE");
        EXPECT_TRUE(h.prompter.messages.empty());
    }
}

TEST_F(Commands, DownloadProgramsOnlyTheChangedByteAndMonitoringGoesOn) {
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Trigger(CmdUpload);
    h.State().image[5] = 0x42;
    h.Trigger(CmdDownload);
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Programming Complete");
    EXPECT_EQ(h.ecu.Writes(), (std::vector<EepromWrite>{{0x0E05, 0x42}}));
    h.ecu.ClearRecords();
    ASSERT_TRUE(h.RunUntil([&] { return h.ecu.Received().size() > 4; }));
    EXPECT_EQ(h.ecu.Received()[0], 0x80);  // reading resumed where it was
}

TEST_F(Commands, SaveThenOpenGivesTheImageBack) {
    h.State().image = Pattern(9);
    const QString path = h.dir.filePath("calib.dat");
    h.prompter.fileAnswers = {path};
    h.Flags().Set(DataLoaded);
    h.Window().RefreshCommands();
    h.Trigger(CmdSave);
    const auto& asked = h.prompter.fileDialogs.back();
    EXPECT_EQ(asked.title, "Save ECU Data File To Disk");
    EXPECT_EQ(asked.filter, "Data Files (*.dat);;All Files (*.*)");
    EXPECT_EQ(asked.defaultSuffix, "dat");

    h.State().image = Pattern(0);
    h.Flags().Clear(DataLoaded);
    h.Window().RefreshCommands();
    h.prompter.fileAnswers = {path};
    h.Trigger(CmdOpen);
    EXPECT_EQ(h.prompter.fileDialogs.back().title, "Open ECU Data File From Disk");
    EXPECT_EQ(h.State().image.values, Pattern(9).values);
    EXPECT_TRUE(h.Flags().Test(DataLoaded));
    EXPECT_EQ(h.Window().DataFilePath(), path);
    EXPECT_TRUE(h.prompter.messages.empty());
    ExpectMenus(h.Window(), true);
}

TEST_F(Commands, FileFailuresAndShortFilesAreReported) {
    struct Case {
        int command;
        QString answer;
        QString text;
        QString caption;
        bool dataLoaded;
    };
    const QString shortFile = h.WriteFile("short.dat", "1\r\n2\r\nx\r\n3\r\n");
    const Case cases[] = {
        {CmdOpen, h.dir.filePath("none.dat"), "Try another file", "Error Opening File", false},
        {CmdSave, h.dir.filePath("no/such/dir.dat"), "Try another file", "Error Opening File",
         false},
        {CmdOpen, shortFile,
         "The file held 3 of the 512 calibration values.\n1 lines held no number."
         "\nThe other bytes keep their previous values.",
         "Incomplete Data File", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        h.Flags().Set(DataLoaded);  // Save is enabled
        h.Window().RefreshCommands();
        h.Flags().Clear(DataLoaded);
        h.prompter.messages.clear();
        h.prompter.fileAnswers = {c.answer};
        h.Trigger(c.command);
        ASSERT_EQ(h.prompter.messages.size(), 1u);
        EXPECT_EQ(h.prompter.messages[0].text, c.text);
        EXPECT_EQ(h.prompter.messages[0].caption, c.caption);
        EXPECT_EQ(h.Flags().Test(DataLoaded), c.dataLoaded);
        EXPECT_EQ(h.Window().DataFilePath(), c.answer);
    }
}

TEST_F(Commands, RpmOpensOneWindowUntilItIsClosed) {
    h.Flags().Set(DataLoaded);
    h.Window().RefreshCommands();
    h.Trigger(CmdRpm);
    QPointer<EditorWindow> first = h.Window().Editor(EditorKind::Rpm);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    h.Trigger(CmdRpm);
    EXPECT_EQ(h.Window().Editor(EditorKind::Rpm), first.data());
    EXPECT_EQ(h.Window().findChildren<EditorWindow*>().size(), 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(h.Window().Editor(EditorKind::Rpm), nullptr);
    h.Trigger(CmdRpm);
    ASSERT_NE(h.Window().Editor(EditorKind::Rpm), nullptr);
    EXPECT_TRUE(h.Window().Editor(EditorKind::Rpm)->isVisible());
    EXPECT_EQ(h.Window().findChildren<EditorWindow*>().size(), 1);
}

}  // namespace
}  // namespace korvel
