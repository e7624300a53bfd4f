// The QSerialPort transport on the slave side of a pseudo-terminal whose
// master the test holds: bytes both ways, a line that hangs up, and what the
// transport asks of a USB adapter's driver (through a scripted SerialSystem).

#include "link/qt/SerialPortTransport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <string>
#include <vector>

#include "tests/support/RecordingReporter.h"

namespace korvel {
namespace {

// What a USB serial adapter's driver would answer.
class ScriptedSystem : public SerialSystem {
public:
    bool serialIoctls = true;   // false: TIOCGSERIAL fails, as on a pseudo-terminal
    int initialFlags = 0;       // the driver's serial flags
    std::string latencyTimer;   // the sysfs file's text ("": no such file)
    bool accessDenied = false;  // the device belongs to a group the user is not in
    std::vector<int> setFlags;  // the flags of every TIOCSSERIAL
    std::vector<std::string> textsRead;

    int Ioctl(int fd, unsigned long request, void* argument) override {
        auto* serial = static_cast<serial_struct*>(argument);
        if (request == TIOCGSERIAL && serialIoctls) {
            serial->flags = initialFlags;
            return 0;
        }
        if (request == TIOCSSERIAL && serialIoctls) {
            setFlags.push_back(serial->flags);
            return 0;
        }
        return request == TIOCGSERIAL || request == TIOCSSERIAL
                   ? -1
                   : SerialSystem::Ioctl(fd, request, argument);
    }
    bool AccessDenied(const std::string&) override { return accessDenied; }
    std::string ReadText(const std::string& path) override {
        textsRead.push_back(path);
        return latencyTimer;
    }
};

int OpenPseudoTerminal() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
        close(master);
        return -1;
    }
    return master;
}

class SerialPortTransportTest : public testing::Test {
protected:
    void SetUp() override {
        master = OpenPseudoTerminal();
        ASSERT_GE(master, 0);
        ASSERT_TRUE(transport.Open(ptsname(master), reporter)) << reporter.Messages().at(0);
    }
    void TearDown() override {
        if (master >= 0) {
            close(master);
        }
    }
    void HangUp() {
        close(master);
        master = -1;
    }

    int master = -1;
    RecordingReporter reporter;
    SerialPortTransport transport;
};

TEST_F(SerialPortTransportTest, ReadsEveryByteInOrderWithoutWaiting) {
    EXPECT_EQ(transport.ReadByte(), NoByte);
    const unsigned char bytes[] = {0x00, 0x7F, 0xFF};
    ASSERT_EQ(write(master, bytes, sizeof bytes), 3);
    ASSERT_TRUE(transport.WaitReadable(5000));  // returns as soon as the bytes are there
    std::vector<int> read;
    while (read.size() < 3 && transport.WaitReadable(5000)) {
        read.push_back(transport.ReadByte());
    }
    EXPECT_EQ(read, (std::vector<int>{0x00, 0x7F, 0xFF}));
    EXPECT_EQ(transport.ReadByte(), NoByte);
    EXPECT_FALSE(transport.HasFailed());
}

// A step that reads from inside a notification must not make the waiting
// caller take the empty buffer for a dead port.
TEST_F(SerialPortTransportTest, ReplyTakenByANotificationIsNoHangUp) {
    std::vector<int> taken;
    QObject::connect(transport.Port(), &QIODevice::readyRead, [&] {
        for (int b; (b = transport.ReadByte()) != NoByte;) {
            taken.push_back(b);
        }
    });
    const unsigned char reply = 0x2B;
    ASSERT_EQ(write(master, &reply, 1), 1);
    ASSERT_TRUE(transport.WaitReadable(5000));
    EXPECT_TRUE(transport.WaitReadable(0));  // a peek reads nothing and notifies nobody
    taken.push_back(transport.ReadByte());
    EXPECT_EQ(taken, std::vector<int>{0x2B});
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_TRUE(transport.Port()->isOpen());
    EXPECT_FALSE(transport.HasFailed());
}

TEST_F(SerialPortTransportTest, SendsTheLowEightBits) {
    EXPECT_EQ(transport.SendByte(0x1A5), 0);
    unsigned char byte = 0;
    ASSERT_EQ(read(master, &byte, 1), 1);
    EXPECT_EQ(byte, 0xA5);
}

TEST_F(SerialPortTransportTest, HangUpIsReportedOnceAndClosesThePort) {
    HangUp();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(transport.ReadByte(), NoByte);
        EXPECT_FALSE(transport.WaitReadable(0));
    }
    EXPECT_EQ(reporter.Messages(), std::vector<std::string>{"Error Reading COMM Port"});
    EXPECT_TRUE(transport.HasFailed());
    EXPECT_FALSE(transport.Port()->isOpen());
    EXPECT_EQ(transport.SendByte(0x02), NoByte);
}

// With an event loop and no read pending, the hang-up is still noticed, so
// the loop does not keep waking on a dead descriptor.
TEST_F(SerialPortTransportTest, HangUpUnderAnEventLoopClosesThePort) {
    HangUp();
    for (int i = 0; i < 3 && transport.Port()->isOpen(); ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(transport.Port()->isOpen());
    EXPECT_EQ(reporter.Messages(), std::vector<std::string>{"Error Reading COMM Port"});
}

TEST(SerialPortOpen, AsksTheDriverForLowLatencyAndWarnsOfASlowLatencyTimer) {
    const struct {
        bool serialIoctls;
        int initialFlags;
        std::string latencyTimer;
        std::vector<int> setFlags;
        bool warned;
    } cases[] = {
        {true, 0x40, "16\n", {0x40 | ASYNC_LOW_LATENCY}, true},  // FTDI before the request
        {true, ASYNC_LOW_LATENCY, "1\n", {}, false},             // already low
        {true, 0, "2\n", {ASYNC_LOW_LATENCY}, false},
        {false, 0, "", {}, false},  // a pseudo-terminal refuses: not an error
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.latencyTimer);
        const int master = OpenPseudoTerminal();
        ASSERT_GE(master, 0);
        // A long stable name, as /dev/serial/by-id/ has them, reached through its link.
        const std::string link = std::string(KORVEL_BINARY_DIR) + "/usb-FTDI_FT232R_USB_UART_" +
                                 std::to_string(getpid()) + "-if00-port0";
        unlink(link.c_str());
        ASSERT_EQ(symlink(ptsname(master), link.c_str()), 0);
        ScriptedSystem system;
        system.serialIoctls = c.serialIoctls;
        system.initialFlags = c.initialFlags;
        system.latencyTimer = c.latencyTimer;
        RecordingReporter reporter;
        SerialPortTransport transport(&system);
        EXPECT_TRUE(transport.Open(link, reporter));
        EXPECT_EQ(system.setFlags, c.setFlags);
        const std::string pts = ptsname(master);
        EXPECT_EQ(system.textsRead,
                  std::vector<std::string>{"/sys/bus/usb-serial/devices/" +
                                           pts.substr(pts.rfind('/') + 1) + "/latency_timer"});
        const std::string notice = "Latency timer of " + link +
                                   " is 16 ms: transfers will be slow; set it to 1 ms (udev "
                                   "rule in the README)";
        EXPECT_EQ(transport.LatencyNotice(), c.warned ? notice : "");
        EXPECT_EQ(reporter.PaneTexts(MessagePane),
                  c.warned ? std::vector<std::string>{notice} : std::vector<std::string>{});
        EXPECT_TRUE(reporter.Messages().empty());
        unlink(link.c_str());
        close(master);
    }
}

TEST(SerialPortOpen, PermissionDeniedAddsTheDialoutHint) {
    for (const bool denied : {false, true}) {
        ScriptedSystem system;
        system.accessDenied = denied;
        RecordingReporter reporter;
        SerialPortTransport transport(&system);
        EXPECT_FALSE(transport.Open("/dev/ttyUSB-absent", reporter));
        EXPECT_EQ(reporter.Messages(),
                  std::vector<std::string>{
                      denied ? "Error Opening Serial Port\nPermission denied opening "
                               "/dev/ttyUSB-absent: add your user to the dialout group"
                             : "Error Opening Serial Port"});
    }
}

}  // namespace
}  // namespace korvel
