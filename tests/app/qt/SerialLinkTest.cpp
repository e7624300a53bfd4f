// The real QSerialPort transport and its readyRead wiring on a pseudo-terminal,
// served by the virtual ECU in this process, or by korvel-ecusim.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QSocketNotifier>

#include "link/qt/SerialPortTransport.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

// The virtual ECU on the master side of a pseudo-terminal.
struct PtyEcu {
    PtyEcu() {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            slavePath = ptsname(master);
        }
    }
    ~PtyEcu() { close(master); }
    // Answers every byte the program has sent so far.
    void Serve() {
        pollfd p{master, POLLIN, 0};
        poll(&p, 1, 1000);
        std::vector<uint8_t> replies;
        uint8_t buffer[64];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) {
            for (ssize_t i = 0; i < n; ++i) {
                ecu.Receive(buffer[i], replies);
            }
        }
        EXPECT_EQ(write(master, replies.data(), replies.size()),
                  static_cast<ssize_t>(replies.size()));
    }

    VirtualEcu ecu;
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::string slavePath;
};

// With `answerAtOnce`, the ECU answers inside the send and the reply waits in
// the port's buffer before the driver looks at the line again: a GUI thread
// that stalled between a read and the next wake-up, made to happen every time.
struct ServedPort : SerialPortTransport {
    PtyEcu* answerAtOnce = nullptr;
    int SendByte(int byte) override {
        const int sent = SerialPortTransport::SendByte(byte);
        if (answerAtOnce) {
            answerAtOnce->Serve();
            pollfd p{Port()->handle(), POLLIN, 0};
            poll(&p, 1, 1000);
        }
        return sent;
    }
};

TEST(SerialLink, AcquiresThroughReadyReadWithoutTakingAWaitingReplyForADeadPort) {
    for (const bool answerAtOnce : {true, false}) {
        SCOPED_TRACE(answerAtOnce ? "reply already buffered" : "reply by readyRead");
        PtyEcu pty;
        FakeClock clock;  // never moves: no time-out can rescue a lost wake-up
        RecordingReporter reporter;
        ServedPort serial;
        serial.answerAtOnce = answerAtOnce ? &pty : nullptr;
        ASSERT_TRUE(serial.Open(pty.slavePath, reporter));
        QSocketNotifier ecuSide(pty.master, QSocketNotifier::Read);
        ecuSide.setEnabled(!answerAtOnce);
        QObject::connect(&ecuSide, &QSocketNotifier::activated, [&] { pty.Serve(); });

        MonitorFile monitor;
        ASSERT_EQ(ParseMonitorFile("MAP,26,1\nPW,1Ch,2\nTcoo,30,1\n", monitor), 3);
        EcuLink link{serial, clock, reporter};
        int cycles = 0;
        AcquisitionScheduler scheduler(link, monitor);
        scheduler.AddPassObserver([&](const Sample&) { ++cycles; });
        AcquisitionDriver driver(scheduler, serial, clock);
        driver.ListenTo(serial.Port());
        driver.Start();
        QElapsedTimer safety;
        safety.start();
        while (cycles < 50 && safety.elapsed() < 10000 && serial.Port()->isOpen()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        EXPECT_GE(cycles, 50);
        EXPECT_TRUE(reporter.Messages().empty());
    }
}

TEST(SerialLink, SimulatorStartedAgainOnTheSameLinkIsReopenedAndMonitored) {
    const std::string link =
        std::string(KORVEL_BINARY_DIR) + "/reconnect-" + std::to_string(getpid());
    QProcess sim;
    const auto startSim = [&] {
        sim.start(KORVEL_ECUSIM, {"--baud", "0", "--link", QString::fromStdString(link), "--data",
                                  KORVEL_SOURCE_DIR "/data/demo.dat", "--monitor",
                                  KORVEL_SOURCE_DIR "/data/Mon.cfg"});
        return sim.waitForReadyRead(10000);  // it prints the terminal's path once the link is made
    };
    ASSERT_TRUE(startSim());
    AppHarness h;
    h.openWith = [](const std::string& name, Reporter& reporter) {
        auto transport = std::make_unique<SerialPortTransport>();
        transport->hangUpIsReopened = true;  // as the program opens it
        if (!transport->Open(name, reporter)) {
            return OpenedPort{};
        }
        QIODevice* source = transport->Port();
        return OpenedPort{std::move(transport), source, {}};
    };
    h.WriteFile("engine.cfg", "MAP,26,1\nRPM,1Ch,2\n");
    ASSERT_TRUE(h.app->Start({h.dir.filePath("engine"), QString::fromStdString(link)}));
    ASSERT_TRUE(h.RunUntilMonitoring());
    PortKeeper& keeper = h.State().portKeeper;

    sim.kill();
    sim.waitForFinished(10000);
    ASSERT_TRUE(h.RunUntil([&] { return !keeper.IsOpen(); }));
    EXPECT_EQ(h.Window().PaneText(MessagePane),
              QString::fromStdString("Error Reading COMM Port: waiting for " + link));
    EXPECT_FALSE(keeper.TryReopen());  // nobody there yet

    ASSERT_TRUE(startSim());
    ASSERT_TRUE(h.RunUntil([&] { return keeper.TryReopen() || keeper.IsOpen(); }));
    ASSERT_TRUE(h.RunUntilMonitoring());
    EXPECT_EQ(h.Window().PaneText(MessagePane), QString::fromStdString(link + " is open again"));
    EXPECT_TRUE(h.prompter.messages.empty());  // no box holds acquisition up
    sim.terminate();                           // lets it remove its link
    sim.waitForFinished(10000);
}

}  // namespace
}  // namespace korvel
