#include "dialogs/qt/PortDialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace korvel {
namespace {

TEST(PortDialog, ListsThePortsMarksTheOneInUseAndTakesAChoiceOrATypedName) {
    const std::vector<PortInfo> ports = {
        {"ttyS0", "/dev/ttyS0", "", "", false},
        {"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", true},
    };
    PortDialog dialog(ports, "/dev/ttyUSB0", nullptr);
    auto* list = dialog.findChild<QListWidget*>("ports");
    auto* name = dialog.findChild<QLineEdit*>("name");
    auto* ok = dialog.findChild<QPushButton*>("ok");
    ASSERT_TRUE(list && name && ok);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text().toStdString(), "ttyUSB0: FT232R USB UART (FTDI)  (in use)");
    EXPECT_TRUE(list->item(1)->font().bold());
    EXPECT_EQ(dialog.ChosenName(), "/dev/ttyUSB0");

    list->setCurrentRow(0);
    EXPECT_EQ(dialog.ChosenName(), "/dev/ttyS0");
    name->setText("  ");
    ok->click();  // no name: nothing to open
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    name->setText(QString::fromStdString(byId));
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenName(), byId);
}

}  // namespace
}  // namespace korvel
