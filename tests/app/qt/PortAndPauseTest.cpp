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

// Acquisition stops while a modal dialog or a menu is open. A request left
// unanswered across a one-second modal loop is dropped when it ends: the probe
// goes out at once, not after the off-line time-out, and File > Monitor does
// not wait for its reply either.
TEST(ModalPause, AcquisitionStopsWhileAModalLoopRunsAndDropsTheUnansweredRequest) {
    for (const bool menu : {false, true}) {
        SCOPED_TRACE(menu ? "menu, then probing" : "dialog, then reading");
        AppHarness h;
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\nPW,1Ch,2\n"));
        ASSERT_TRUE(h.RunUntilMonitoring());
        QMenu* file = h.Window().menuBar()->actions().at(0)->menu();
        ModalDialog dialog(&h.Window());
        menu ? file->popup(h.Window().geometry().center()) : dialog.show();
        const size_t before = h.ecu.Received().size();
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(h.ecu.Received().size(), before);
        (menu ? static_cast<QWidget*>(file) : &dialog)->hide();
        EXPECT_TRUE(h.RunUntil([&] { return h.ecu.Received().size() > before + 20; }));

        h.ecu.faults.silent = true;
        if (menu) {
            h.State().scheduler.RestartFromProbe();
        }
        ASSERT_TRUE(h.RunUntil([&] { return h.Flags().Test(ReplyPending); }));
        const int64_t start = h.clock.MonotonicMs();
        h.ecu.ClearRecords();
        dialog.show();
        h.clock.Advance(1000);
        dialog.hide();
        ASSERT_TRUE(h.RunUntil([&] { return !h.ecu.Received().empty(); }));
        EXPECT_EQ(h.ecu.Received(), std::vector<uint8_t>{0x02});
        EXPECT_LT(h.clock.MonotonicMs() - start, OffLineTimeoutMs);
        const int64_t monitor = h.clock.MonotonicMs();
        h.Trigger(CmdMonitor, {h.dir.filePath("engine.cfg")});
        EXPECT_EQ(h.clock.MonotonicMs(), monitor);
        EXPECT_TRUE(h.Flags().Test(MonitorLoaded));
    }
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
        dialog->findChild<QListWidget*>("ports")->setCurrentRow(1);
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
