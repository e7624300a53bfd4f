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

TEST(ModalPause, AcquisitionStopsWhileAModalDialogOrAMenuIsOpen) {
    for (const bool menu : {false, true}) {
        SCOPED_TRACE(menu ? "menu" : "dialog");
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
    }
}

// A request left unanswered across a one-second modal loop is dropped when
// it ends: the probe goes out at once, not after the off-line time-out.
TEST(ModalPause, AnExchangeLeftUnansweredIsDroppedWhenTheLoopEnds) {
    for (const bool onLine : {false, true}) {
        SCOPED_TRACE(onLine ? "reading" : "probing");
        AppHarness h;
        h.ecu.faults.silent = !onLine;
        ASSERT_TRUE(h.StartWithMonitor("MAP,26,1\n"));
        if (onLine) {
            ASSERT_TRUE(h.RunUntilMonitoring());
            h.ecu.faults.silent = true;
        }
        ASSERT_TRUE(h.RunUntil([&] { return h.Flags().Test(ReplyPending); }));
        const int64_t start = h.clock.MonotonicMs();
        h.ecu.ClearRecords();
        ModalDialog modal(&h.Window());
        modal.show();
        h.clock.Advance(1000);
        modal.hide();
        ASSERT_TRUE(h.RunUntil([&] { return !h.ecu.Received().empty(); }));
        EXPECT_EQ(h.ecu.Received(), std::vector<uint8_t>{0x02});
        EXPECT_LT(h.clock.MonotonicMs() - start, OffLineTimeoutMs);
        // Nor does File > Monitor wait for the probe's reply.
        const int64_t before = h.clock.MonotonicMs();
        h.prompter.fileAnswers = {h.dir.filePath("engine.cfg")};
        h.Trigger(CmdMonitor);
        EXPECT_EQ(h.clock.MonotonicMs(), before);
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
    h.State().image[7] = 0x55;
    h.Flags().Set(DataLoaded);
    PortKeeper& keeper = h.State().portKeeper;

    h.devices.back()->close();  // the adapter is pulled out
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Error Reading COMM Port: waiting for COM3");
    h.portOpens = false;
    EXPECT_FALSE(keeper.TryReopen());
    h.portOpens = true;
    EXPECT_TRUE(keeper.TryReopen());
    EXPECT_EQ(h.Window().PaneText(MessagePane), "COM3 is back");
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
    EXPECT_EQ(h.Window().PaneText(MessagePane), "Using /dev/ttyUSB0");
    EXPECT_TRUE(h.prompter.messages.empty());  // reopening is silent
    EXPECT_TRUE(h.State().image[7] == 0x55u && h.Flags().Test(DataLoaded));
    EXPECT_TRUE(h.RunUntilMonitoring());
}

}  // namespace
}  // namespace korvel
