// Modal loops pause acquisition; the port keeper reopens an unplugged port
// and File > Port... switches ports, leaving the image alone.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "dialogs/qt/PortDialog.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

// Application-modal, as exec() shows a dialog, but without a nested loop.
struct ModalDialog : QDialog {
    explicit ModalDialog(QWidget* parent) : QDialog(parent) {
        setWindowModality(Qt::ApplicationModal);
    }
};

// Acquisition goes on while a menu or a modal dialog is open, and stops only
// while something else uses the line (here the Peek/Poke dialog's pause).
TEST(Acquisition, GoesOnUnderMenusAndDialogsAndPausesForTheLine) {
    AppHarness h;
    ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\nPW,1Ch,2\n"));
    ASSERT_TRUE(h.RunUntilMonitoring());
    QMenu* file = h.Window().menuBar()->actions().at(0)->menu();
    ModalDialog dialog(&h.Window());
    for (QWidget* open : {static_cast<QWidget*>(file), static_cast<QWidget*>(&dialog)}) {
        open == file ? file->popup(h.Window().geometry().center()) : dialog.show();
        const size_t before = h.ecu.Received().size();
        EXPECT_TRUE(h.RunUntil([&] { return h.ecu.Received().size() > before + 20; }));
        open->hide();
    }
    const size_t before = h.ecu.Received().size();
    {
        AcquisitionDriver::Pauser pause(h.State().driver);
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(h.ecu.Received().size(), before);
    }
    EXPECT_TRUE(h.RunUntil([&] { return h.ecu.Received().size() > before + 20; }));
}

// A step that shows a message box runs no other step meanwhile, and arms no
// timer that would fire again and again while it is on the stack.
TEST(Acquisition, AMessageBoxFromAStepBurnsNoCpu) {
    AppHarness h;
    ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
    ASSERT_TRUE(h.RunUntilMonitoring());
    AcquisitionDriver& driver = h.State().driver;
    int shown = 0;
    std::vector<int> wakeDelays;
    size_t sentInBox = 0;
    h.prompter.whileShown = [&] {
        const size_t before = h.ecu.Received().size();
        for (int i = 0; i < 20; ++i) {
            driver.Step();  // the port's readyRead, from inside the box's loop
            QCoreApplication::processEvents();
            wakeDelays.push_back(driver.WakeDelayMs());
        }
        sentInBox = h.ecu.Received().size() - before;
    };
    Subscription once = h.State().scheduler.Subscribe([&](const Sample&) {
        if (shown++ == 0) {
            h.prompter.Message(&h.Window(), "From a step", QString(), Prompter::Icon::Stop);
        }
    });
    ASSERT_TRUE(h.RunUntil([&] { return shown > 0; }));
    EXPECT_EQ(sentInBox, 0u);
    EXPECT_EQ(std::ranges::count(wakeDelays, 0), 0);  // no zero timer: no busy loop
    const size_t after = h.ecu.Received().size();
    EXPECT_TRUE(h.RunUntil([&] { return h.ecu.Received().size() > after + 10; }));
}

TEST(PortKeeper, UnpluggedPortIsReopenedSilentlyAndFilePortSwitchesPorts) {
    AppHarness h;
    h.ports = {{"ttyS0", "/dev/ttyS0", "", "", false},
               {"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", true}};
    h.WriteFile("engine.cfg", "MAP,26,1\n");
    ASSERT_TRUE(h.app->Start({h.dir.filePath("engine"), "COM3"}));
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Image()[7] = 0x55;
    h.Flags().Set(DataLoaded);
    PortKeeper& keeper = h.State().portKeeper;

    h.devices.back()->close();  // the adapter is pulled out
    EXPECT_EQ(h.Pane(), "Error Reading COMM Port: waiting for COM3");
    h.portOpens = false;
    EXPECT_FALSE(keeper.TryReopen());
    h.portOpens = true;
    EXPECT_TRUE(keeper.TryReopen());
    EXPECT_EQ(h.Pane(), "COM3 is open again");
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));  // the probe first
    ASSERT_TRUE(h.RunUntilMonitoring());

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<PortDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // COM3, in use, is listed first though the system lists it not.
        dialog->findChild<QListWidget*>("ports")->setCurrentRow(2);
        dialog->findChild<QPushButton*>("ok")->click();
    });
    h.Trigger(CmdPort);
    EXPECT_EQ(h.openedPorts, (std::vector<std::string>{"COM3", "COM3", "COM3", "/dev/ttyUSB0"}));
    EXPECT_EQ(h.Pane(), "Using /dev/ttyUSB0");
    EXPECT_TRUE(h.prompter.messages.empty());  // reopening is silent
    EXPECT_TRUE(h.Image()[7] == 0x55u && h.Flags().Test(DataLoaded));
    EXPECT_TRUE(h.RunUntilMonitoring());
}

}  // namespace
}  // namespace korvel
