#include <gtest/gtest.h>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

// The first `count` bytes the ECU received (fewer if it has not had them).
Bytes FirstReceived(const AppHarness& h, size_t count) {
    const Bytes& all = h.ecu.Received();
    return Bytes(all.begin(), all.begin() + static_cast<long>(std::min(count, all.size())));
}

TEST(Startup, ShowsTheWindowLoadsTheMonitorFileAndGoesOnLine) {
    AppHarness h;
    ASSERT_TRUE(h.StartWithMonitor("# name,address,size\nMAP,26,1\nPW,1Ch,2 pulse\nTcoo,30,1\n"));
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
    EXPECT_EQ(FirstReceived(h, 15), (Bytes{0x02, 0x2B, 0x04, 26, 0x90, 0x04, 0x1C, 0x91, 0x04, 30,
                                           0x92, 0x80, 0x81, 0xC1, 0x82}));
}

TEST(Startup, CommandLineNamesTheMonitorFileAndThePortOrEndsTheProgram) {
    const QString base300(300, 'm');
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const PortInfo ttyS0{"ttyS0", "/dev/ttyS0", "", "", false};
    const PortInfo ftdi{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", true};
    const PortInfo acm{"ttyACM0", "/dev/ttyACM0", "Arduino Uno", "Arduino", true};
    const struct {
        QStringList arguments;
        std::vector<PortInfo> ports;
        bool portOpens;
        std::string port;          // the port tried
        QString triedMonitorFile;  // "": the program ends after `refusal`
        QString refusal;
        QString pane0;  // after start-up
        bool expert = false;
    } cases[] = {
        {{}, {}, true, "COM1", "Mon.cfg", "", "LOADING MON DATA FILE"},
        // Options are no names.
        {{"--expert", "engine"}, {}, true, "COM1", "engine.cfg", "", "LOADING MON DATA FILE", true},
        {{"engine", "--expert", "2"}, {}, true, "COM2", "engine.cfg", "", "LOADING MON DATA FILE",
         true},
        {{"--port", "2"}, {}, true, "", "", "Unknown option --port", ""},
        {{"engine", "2"}, {}, true, "COM2", "engine.cfg", "", "LOADING MON DATA FILE"},
        {{"engine  COM4", "ignored"}, {}, true, "COM4", "engine.cfg", "", "LOADING MON DATA FILE"},
        {{"engine.cfg"}, {}, true, "COM1", "engine.cfg.cfg", "", "LOADING MON DATA FILE"},
        // Long names are taken whole.
        {{base300, QString::fromStdString(byId)},
         {},
         true,
         byId,
         base300 + ".cfg",
         "",
         "LOADING MON DATA FILE"},
        {{"engine", "3"}, {}, false, "3", "", "Error Opening Serial Port", ""},
        // Without a port word, the one USB adapter rather than COM1.
        {{"engine"},
         {ttyS0, ftdi},
         true,
         "/dev/ttyUSB0",
         "engine.cfg",
         "",
         "Using ttyUSB0: FT232R USB UART (FTDI), the only USB serial adapter"},
        {{"engine"}, {ttyS0, ftdi, acm}, true, "COM1", "engine.cfg", "", "LOADING MON DATA FILE"},
        {{"engine", "2"}, {ftdi}, true, "COM2", "engine.cfg", "", "LOADING MON DATA FILE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').left(40).toStdString());
        AppHarness h;
        h.portOpens = c.portOpens;
        h.ports = c.ports;
        EXPECT_EQ(h.app->Start(c.arguments), c.refusal.isEmpty());
        EXPECT_EQ(h.Window().ExpertMode(), c.expert);
        EXPECT_EQ(h.Window().windowTitle().endsWith(" [Expert]"), c.expert);
        EXPECT_EQ(h.openedPorts, c.port.empty() ? std::vector<std::string>{} : std::vector{c.port});
        ASSERT_EQ(h.prompter.messages.size(), 1u);
        if (c.refusal.isEmpty()) {  // no such file here: the dialog, cancelled
            ASSERT_EQ(h.prompter.fileDialogs.size(), 1u);
            EXPECT_EQ(h.prompter.fileDialogs[0].initialName, c.triedMonitorFile);
            EXPECT_EQ(h.Window().PaneText(MessagePane), c.pane0);
        } else {
            EXPECT_TRUE(h.prompter.fileDialogs.empty());
            EXPECT_EQ(h.prompter.messages[0].text, c.refusal);
            EXPECT_EQ(h.prompter.messages[0].icon, Prompter::Icon::Stop);
        }
    }
}

TEST(Startup, UnreadableMonitorFileAsksAgainAndCancelWarnsAndShowsNoPanel) {
    AppHarness h;
    const QString missing = h.dir.filePath("missing/x.cfg");
    h.prompter.fileAnswers = {missing, std::nullopt};
    ASSERT_TRUE(h.app->Start({h.dir.filePath("absent")}));
    ASSERT_EQ(h.prompter.fileDialogs.size(), 2u);
    const auto& asked = h.prompter.fileDialogs[0];
    EXPECT_EQ(asked.title, "Open Monitor File To Display ECU Data");
    EXPECT_EQ(asked.filter, "Monitor Files (*.cfg);;All Files (*.*)");
    EXPECT_EQ(asked.defaultSuffix, "cfg");
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
    AcquisitionDriver& driver = h.State().driver;
    {
        AcquisitionDriver::Pauser pause(driver);
        driver.Step();
        EXPECT_EQ(driver.WakeDelayMs(), -1);
        EXPECT_TRUE(h.ecu.Received().empty());
    }
    EXPECT_EQ(driver.WakeDelayMs(), 0);
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
