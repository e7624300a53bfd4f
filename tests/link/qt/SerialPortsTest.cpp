#include "link/qt/SerialPorts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <fstream>

namespace korvel {
namespace {

// /dev/serial/by-id's links are offered as ports of their own, naming the
// device they point at; anything else in the folder is not a port.
TEST(SerialPorts, ByIdLinksAreListedWithTheirDevice) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    ASSERT_EQ(symlink("../../ttyUSB1", (folder + "/usb-FTDI_FT232R_A1-if00-port0").c_str()), 0);
    ASSERT_EQ(symlink("../../ttyACM0", (folder + "/usb-Arduino_Uno-if00").c_str()), 0);
    std::ofstream(folder + "/README") << "not a port\n";
    const std::vector<PortInfo> links = PortLinks(folder);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(PortLabel(links[0]), "usb-Arduino_Uno-if00: -> ttyACM0");
    EXPECT_EQ(links[1].location, folder + "/usb-FTDI_FT232R_A1-if00-port0");
    EXPECT_FALSE(links[0].usb || links[1].usb);  // the adapter itself is listed once
    EXPECT_TRUE(PortLinks(folder + "/missing").empty());
}

}  // namespace
}  // namespace korvel
