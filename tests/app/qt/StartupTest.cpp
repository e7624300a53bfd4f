#include <gtest/gtest.h>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

const QByteArray ThreeVariables = "# name,address,size\nMAP,26,1\nPW,1Ch,2 pulse\nTcoo,30,1\n";

TEST(Startup, ShowsTheWindowLoadsTheMonitorFileAndGoesOnLine) {
    AppHarness h;
    ASSERT_TRUE(h.StartWithMonitor(ThreeVariables));
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface");
    EXPECT_TRUE(h.Window().isVisible());
    EXPECT_EQ(h.Window().PaneText(MessagePane), "LOADING MON DATA FILE");
    EXPECT_EQ(h.Window().PaneText(EcuStatePane), "Checking ECU Status");
    EXPECT_TRUE(h.Flags().Test(MonitorLoaded));
    EXPECT_FALSE(h.Flags().Test(DataLoaded));
    EXPECT_TRUE(h.State().monitorFileName.empty());
    EXPECT_EQ(h.openedPorts, std::vector<std::string>{"COM1"});

    ASSERT_TRUE(h.RunUntilMonitoring());
    EXPECT_EQ(h.Window().PaneText(EcuStatePane), "ECU On Line");
    // Probe, then one slot per variable, then the reads.
    const std::vector<uint8_t> start = {0x02, 0x2B, 0x04, 26,   0x90, 0x04, 0x1C, 0x91,
                                        0x04, 30,   0x92, 0x80, 0x81, 0xC1, 0x82};
    const auto& received = h.ecu.Received();
    ASSERT_GE(received.size(), start.size());
    EXPECT_EQ(std::vector<uint8_t>(received.begin(), received.begin() + start.size()), start);
}

TEST(Startup, CommandLineNamesTheMonitorFileAndThePort) {
    struct Case {
        QStringList arguments;
        QString triedMonitorFile;
        std::string port;
    };
    const Case cases[] = {
        {{}, "Mon.cfg", "COM1"},
        {{"engine", "2"}, "engine.cfg", "COM2"},
        {{"engine"}, "engine.cfg", "COM1"},
        {{"engine", "1"}, "engine.cfg", "COM1"},
        {{"engine  COM4", "ignored"}, "engine.cfg", "COM4"},  // re-split on white space
        {{"engine", "3"}, "engine.cfg", "3"},
        {{"engine.cfg"}, "engine.cfg.cfg", "COM1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        AppHarness h;
        ASSERT_TRUE(h.app->Start(c.arguments));
        ASSERT_EQ(h.prompter.fileDialogs.size(), 1u);  // no such file here: the dialog, cancelled
        EXPECT_EQ(h.prompter.fileDialogs[0].initialName, c.triedMonitorFile);
        EXPECT_EQ(h.openedPorts, std::vector<std::string>{c.port});
    }
}

TEST(Startup, PortThatCannotBeOpenedEndsTheProgramAfterItsMessage) {
    AppHarness h;
    h.portOpens = false;
    EXPECT_FALSE(h.app->Start({"engine", "3"}));
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_EQ(h.prompter.messages[0].text, "Error Opening Serial Port");
    EXPECT_EQ(h.prompter.messages[0].icon, Prompter::Icon::Stop);
    EXPECT_TRUE(h.prompter.fileDialogs.empty());  // the monitor file is not read
}

TEST(Startup, OverLongWordsAreRefusedNotCut) {
    struct Case {
        QStringList arguments;
        bool starts;
    };
    const QString base255(255, 'm');
    const QString port19(19, 'p');
    const Case cases[] = {
        {{base255, port19}, true},
        {{base255 + "m"}, false},
        {{"engine", port19 + "p"}, false},
    };
    for (const Case& c : cases) {
        AppHarness h;
        EXPECT_EQ(h.app->Start(c.arguments), c.starts);
        EXPECT_EQ(h.openedPorts.size(), c.starts ? 1u : 0u);
        if (!c.starts) {
            ASSERT_EQ(h.prompter.messages.size(), 1u);
            EXPECT_TRUE(h.prompter.messages[0].text.contains("longer than"));
        }
    }
}

TEST(MonitorFile, CancelledDialogWarnsAndShowsNoPanel) {
    AppHarness h;
    ASSERT_TRUE(h.app->Start({h.dir.filePath("absent")}));
    ASSERT_EQ(h.prompter.fileDialogs.size(), 1u);
    const auto& asked = h.prompter.fileDialogs[0];
    EXPECT_EQ(asked.title, "Open Monitor File To Display ECU Data");
    EXPECT_EQ(asked.filter, "Monitor Files (*.cfg);;All Files (*.*)");
    EXPECT_EQ(asked.defaultSuffix, "cfg");
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_EQ(h.prompter.messages[0].text,
              "Monitor file was not opened \nNo variables can be displayed or plotted");
    EXPECT_EQ(h.prompter.messages[0].icon, Prompter::Icon::Exclamation);
    EXPECT_FALSE(h.Flags().Test(MonitorLoaded));

    // Acquisition still runs, but nothing is drawn.
    ASSERT_TRUE(h.RunUntil([&] { return h.Flags().Test(SlotsLoaded); }));
    EXPECT_TRUE(h.Window().Panel()->ValueText(0).isEmpty());
}

TEST(MonitorFile, UnreadablePathShowsAnErrorAndTheDialogAgain) {
    AppHarness h;
    const QString good = h.WriteFile("good.cfg", ThreeVariables);
    h.prompter.fileAnswers = {h.dir.filePath("missing/x.cfg"), good};
    ASSERT_TRUE(h.app->Start({h.dir.filePath("absent")}));
    ASSERT_EQ(h.prompter.fileDialogs.size(), 2u);
    EXPECT_EQ(h.prompter.fileDialogs[1].initialName, h.dir.filePath("missing/x.cfg"));
    ASSERT_EQ(h.prompter.messages.size(), 1u);
    EXPECT_EQ(h.prompter.messages[0].text, "Error Opening File");
    EXPECT_EQ(h.prompter.messages[0].icon, Prompter::Icon::Stop);
    EXPECT_TRUE(h.Flags().Test(MonitorLoaded));
    EXPECT_EQ(h.State().monitor.variableCount, 3);
}

TEST(MonitorFile, ReloadWhileMonitoringBindsTheNewListAfterTheProbe) {
    AppHarness h;
    ASSERT_TRUE(h.StartWithMonitor(ThreeVariables));
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.prompter.fileAnswers = {h.WriteFile("one.cfg", "RPM,40,1\n")};
    h.Trigger(CmdMonitor);
    h.ecu.ClearRecords();  // the exchange in progress was finished inside the command
    EXPECT_EQ(h.prompter.fileDialogs.back().initialName, ".cfg");  // the name was emptied
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));
    ASSERT_TRUE(h.RunUntilMonitoring());
    const std::vector<uint8_t> rebind = {0x02, 0x2B, 0x04, 40, 0x90, 0x80};
    const auto& received = h.ecu.Received();
    ASSERT_GE(received.size(), rebind.size());
    EXPECT_EQ(std::vector<uint8_t>(received.begin(), received.begin() + rebind.size()), rebind);
}

}  // namespace
}  // namespace korvel
