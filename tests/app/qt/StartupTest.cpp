#include <gtest/gtest.h>

#include <QDir>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Startup, CommandLineNamesTheMonitorFileAndThePortOrEndsTheProgram) {
    const QString base300(300, 'm');
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const PortInfo ttyS0{"ttyS0", "/dev/ttyS0", "", "", false};
    const PortInfo ftdi{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", true};
    const PortInfo acm{"ttyACM0", "/dev/ttyACM0", "Arduino Uno", "Arduino", true};
    const QString loading = "LOADING MON DATA FILE", cannotOpen = "Error Opening Serial Port";
    const QString onlyUsb = "Using ttyUSB0: FT232R USB UART (FTDI), the only USB serial adapter";
    const struct {
        QStringList arguments;
        std::vector<PortInfo> ports;
        std::string port;     // the port tried, "" for none
        QString monitorFile;  // the file asked for, "" when the program ends
        QString shown;        // pane 0 after start-up, or the refusal
    } cases[] = {
        {{}, {}, "COM1", "Mon.cfg", loading},
        {{"engine", "--expert", "2"}, {}, "COM2", "engine.cfg", loading},  // options are no names
        {{"--port", "2"}, {}, "", "", "Unknown option --port"},
        {{"engine  COM4", "ignored"}, {}, "COM4", "engine.cfg", loading},
        {{"engine.cfg"}, {}, "COM1", "engine.cfg.cfg", loading},
        {{base300, QString::fromStdString(byId)}, {}, byId, base300 + ".cfg", loading},  // whole
        {{"engine", "3"}, {}, "3", "", cannotOpen},
        // Without a port word, the one USB adapter rather than COM1.
        {{"engine"}, {ttyS0, ftdi}, "/dev/ttyUSB0", "engine.cfg", onlyUsb},
        {{"engine"}, {ttyS0, ftdi, acm}, "COM1", "engine.cfg", loading},
        {{"engine", "2"}, {ftdi}, "COM2", "engine.cfg", loading},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').left(40).toStdString());
        AppHarness h;
        h.portOpens = c.shown != cannotOpen;
        h.ports = c.ports;
        const bool starts = !c.monitorFile.isEmpty(), expert = c.arguments.contains("--expert");
        EXPECT_EQ(h.app->Start(c.arguments), starts);
        EXPECT_EQ(h.Window().windowTitle().endsWith(" [Expert]"), expert);
        EXPECT_EQ(h.openedPorts, c.port.empty() ? std::vector<std::string>{} : std::vector{c.port});
        ASSERT_EQ(h.prompter.messages.size(), 1u);
        ASSERT_EQ(h.prompter.fileDialogs.size(), starts ? 1u : 0u);
        if (starts) {  // no such file here: the dialog, cancelled
            EXPECT_EQ(h.prompter.fileDialogs[0].initialName, c.monitorFile);
            EXPECT_EQ(h.Pane(), c.shown);
        } else {
            EXPECT_EQ(h.prompter.messages[0].text, c.shown);
            EXPECT_EQ(h.prompter.messages[0].icon, Prompter::Icon::Stop);
        }
    }
}

// Only the default name with no Mon.cfg in the current folder looks further:
// the user's own copy ($XDG_DATA_HOME/korvel, the harness's folder here), and
// pane 0 names the file read.
TEST(Startup, DefaultMonitorFileMissingHereIsTheUsersAndPaneZeroSaysSo) {
    const PortInfo ftdi{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", true};
    const struct {
        QStringList arguments;
        bool here;  // the current folder holds a Mon.cfg (variable MAP) beside the user's (TPS)
        std::vector<PortInfo> ports;
        QString name0;  // the first variable read, "" when the dialog opens
        QString shown;  // pane 0 after start-up, %1 standing for the user's file
    } cases[] = {
        {{}, false, {}, "TPS  ", "Monitor file: %1"},
        {{"Mon", "2"}, false, {}, "TPS  ", "Monitor file: %1"},
        {{},
         false,
         {ftdi},
         "TPS  ",
         "Monitor file: %1; Using ttyUSB0: FT232R USB UART (FTDI), the only USB serial adapter"},
        {{}, true, {}, "MAP  ", "LOADING MON DATA FILE"},
        {{"engine"}, false, {}, "", "LOADING MON DATA FILE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString() + (c.here ? " here" : ""));
        AppHarness h;
        const QString previous = QDir::currentPath();
        ASSERT_TRUE(QDir(h.dir.path()).mkpath("here") && QDir(h.dir.path()).mkpath("korvel"));
        const QString user = h.WriteFile("korvel/Mon.cfg", "TPS,5,1\n");
        if (c.here) {
            h.WriteFile("here/Mon.cfg", "MAP,26,1\n");
        }
        h.ports = c.ports;
        QDir::setCurrent(h.dir.filePath("here"));
        const bool started = h.app->Start(c.arguments);
        QDir::setCurrent(previous);
        ASSERT_TRUE(started);
        EXPECT_EQ(h.prompter.fileDialogs.size(), c.name0.isEmpty() ? 1u : 0u);
        EXPECT_EQ(h.Flags().Test(MonitorLoaded), !c.name0.isEmpty());
        if (!c.name0.isEmpty()) {
            EXPECT_EQ(QString::fromStdString(std::string(h.State().monitor.name(0))), c.name0);
        }
        EXPECT_EQ(h.Pane(), QString(c.shown).replace("%1", user));
    }
}

TEST(Startup, UnreadableMonitorFileAsksAgainAndCancelWarnsAndShowsNoPanel) {
    AppHarness h;
    const QString missing = h.dir.filePath("missing/x.cfg");
    h.prompter.fileAnswers = {missing, QString()};  // then cancelled
    ASSERT_TRUE(h.app->Start({h.dir.filePath("absent")}));
    ASSERT_EQ(h.prompter.fileDialogs.size(), 2u);
    const auto& asked = h.prompter.fileDialogs[0];
    EXPECT_EQ(
        asked.title + " | " + asked.filter + " | " + asked.defaultSuffix,
        "Open Monitor File To Display ECU Data | Monitor Files (*.cfg);;All Files (*.*) | cfg");
    EXPECT_EQ(h.prompter.fileDialogs[1].initialName, missing);
    ASSERT_EQ(h.prompter.messages.size(), 2u);
    EXPECT_EQ(h.prompter.messages[0].text, "Error Opening File");
    EXPECT_EQ(h.prompter.messages[0].icon, Prompter::Icon::Stop);
    EXPECT_EQ(h.prompter.messages[1].text,
              "Monitor file was not opened \nNo variables can be displayed or plotted");
    EXPECT_EQ(h.prompter.messages[1].icon, Prompter::Icon::Exclamation);
    EXPECT_FALSE(h.Flags().Test(MonitorLoaded));
    // Acquisition still runs, but nothing is drawn.
    ASSERT_TRUE(h.RunUntil([&] { return h.Flags().Test(SlotsLoaded); }));
    EXPECT_TRUE(h.Window().Panel()->ValueText(0).isEmpty());
}

TEST(Startup, PausedDriverLeavesTheLineAloneThenSleepsUntilTheReplyIsDue) {
    AppHarness h;
    h.ecu.faults.silent = true;
    ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
    EXPECT_EQ(h.Window().PaneText(EcuStatePane), "Checking ECU Status");
    AcquisitionDriver& driver = h.State().driver;
    {
        AcquisitionDriver::Pauser pause(driver);
        driver.Step();
        EXPECT_EQ(driver.WakeDelayMs(), -1);
        EXPECT_TRUE(h.ecu.Received().empty());
    }
    driver.Step();
    EXPECT_EQ(h.ecu.Received(), Bytes{0x02});
    EXPECT_GT(driver.WakeDelayMs(), OffLineTimeoutMs - 100);  // asleep, not spinning
    h.clock.Advance(OffLineTimeoutMs + 1);
    driver.Step();
    EXPECT_EQ(h.Window().PaneText(EcuStatePane), "ECU Off Line");
    EXPECT_EQ(h.ecu.Received(), (Bytes{0x02, 0x02}));  // the probe starts again
}

}  // namespace
}  // namespace korvel
