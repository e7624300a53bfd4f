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

using Texts = std::vector<std::string>;

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
        if (request != TIOCGSERIAL && request != TIOCSSERIAL) {
            return SerialSystem::Ioctl(fd, request, argument);
        }
        auto* serial = static_cast<serial_struct*>(argument);
        if (serialIoctls && request == TIOCSSERIAL) {
            setFlags.push_back(serial->flags);
        } else if (serialIoctls) {
            serial->flags = initialFlags;
        }
        return serialIoctls ? 0 : -1;
    }
    bool AccessDenied(const std::string&) override { return accessDenied; }
    std::string ReadText(const std::string& path) override {
        textsRead.push_back(path);
        return latencyTimer;
    }
};

struct Terminal {
    explicit Terminal(SerialSystem* system = nullptr) : transport(system) {
        if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
            HangUp();
        }
    }
    ~Terminal() { close(master); }
    bool Open() { return master >= 0 && transport.Open(ptsname(master), reporter); }
    void HangUp() {
        close(master);
        master = -1;
    }

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    RecordingReporter reporter;
    SerialPortTransport transport;
};

// A step that reads from inside a notification must not make the waiting
// caller take the empty buffer for a dead port.
TEST(SerialPortTransport, BytesPassBothWaysAndAReplyTakenByANotificationIsNoHangUp) {
    Terminal t;
    ASSERT_TRUE(t.Open());
    EXPECT_EQ(t.transport.ReadByte(), NoByte);
    EXPECT_EQ(t.transport.SendByte(0x1A5), 0);  // the low eight bits
    unsigned char sent = 0;
    ASSERT_EQ(read(t.master, &sent, 1), 1);
    EXPECT_EQ(sent, 0xA5);
    const unsigned char bytes[] = {0x00, 0x7F, 0xFF};
    ASSERT_EQ(write(t.master, bytes, sizeof bytes), 3);
    std::vector<int> got;
    while (got.size() < 3 && t.transport.WaitReadable(5000)) {  // returns once a byte is there
        got.push_back(t.transport.ReadByte());
    }
    EXPECT_EQ(got, (std::vector<int>{0x00, 0x7F, 0xFF}));
    EXPECT_EQ(t.transport.ReadByte(), NoByte);

    QObject::connect(t.transport.Port(), &QIODevice::readyRead, [&] {
        for (int b; (b = t.transport.ReadByte()) != NoByte;) {
            got.push_back(b);
        }
    });
    const unsigned char reply = 0x2B;
    ASSERT_EQ(write(t.master, &reply, 1), 1);
    ASSERT_TRUE(t.transport.WaitReadable(5000));
    EXPECT_TRUE(t.transport.WaitReadable(0));  // a peek reads nothing and notifies nobody
    got.push_back(t.transport.ReadByte());
    EXPECT_EQ(got, (std::vector<int>{0x00, 0x7F, 0xFF, 0x2B}));
    EXPECT_TRUE(t.reporter.Messages().empty());
    EXPECT_TRUE(t.transport.Port()->isOpen());
    EXPECT_FALSE(t.transport.HasFailed());
}

// Under an event loop with no read pending, the hang-up is noticed too, so the
// loop does not keep waking on a dead descriptor.
TEST(SerialPortTransport, HangUpIsReportedOnceAndClosesThePortWithOrWithoutAnEventLoop) {
    for (const bool eventLoop : {false, true}) {
        SCOPED_TRACE(eventLoop ? "event loop" : "reads");
        Terminal t;
        ASSERT_TRUE(t.Open());
        t.HangUp();
        for (int i = 0; i < 3; ++i) {
            if (eventLoop) {
                QCoreApplication::processEvents();
            } else {
                EXPECT_EQ(t.transport.ReadByte(), NoByte);
                EXPECT_FALSE(t.transport.WaitReadable(0));
            }
        }
        EXPECT_EQ(t.reporter.Messages(), Texts{"Error Reading COMM Port"});
        EXPECT_TRUE(t.transport.HasFailed());
        EXPECT_FALSE(t.transport.Port()->isOpen());
        EXPECT_EQ(t.transport.SendByte(0x02), NoByte);
    }
}

TEST(SerialPortOpen, AsksTheDriverForLowLatencyAndWarnsOfASlowLatencyTimer) {
    const struct {
        int initialFlags;
        std::string latencyTimer;  // "": a pseudo-terminal, whose refusal is no error
        std::vector<int> setFlags;
        bool warned;
    } cases[] = {
        {0x40, "16\n", {0x40 | ASYNC_LOW_LATENCY}, true},  // FTDI before the request
        {ASYNC_LOW_LATENCY, "1\n", {}, false},             // already low
        {0, "2\n", {ASYNC_LOW_LATENCY}, false},
        {0, "", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.latencyTimer);
        ScriptedSystem system;
        system.serialIoctls = !c.latencyTimer.empty();
        system.initialFlags = c.initialFlags;
        system.latencyTimer = c.latencyTimer;
        Terminal t(&system);
        ASSERT_GE(t.master, 0);
        // A long stable name, as /dev/serial/by-id/ has them, reached through its link.
        const std::string pts = ptsname(t.master);
        const std::string link = std::string(KORVEL_BINARY_DIR) + "/usb-FTDI_FT232R_USB_UART_" +
                                 std::to_string(getpid()) + "-if00-port0";
        unlink(link.c_str());
        ASSERT_EQ(symlink(pts.c_str(), link.c_str()), 0);
        EXPECT_TRUE(t.transport.Open(link, t.reporter));
        unlink(link.c_str());
        EXPECT_EQ(system.setFlags, c.setFlags);
        EXPECT_EQ(system.textsRead, Texts{"/sys/bus/usb-serial/devices/" +
                                          pts.substr(pts.rfind('/') + 1) + "/latency_timer"});
        const std::string notice = "Latency timer of " + link +
                                   " is 16 ms: transfers will be slow; set it to 1 ms (udev "
                                   "rule in the README)";
        EXPECT_EQ(t.transport.LatencyNotice(), c.warned ? notice : "");
        EXPECT_EQ(t.reporter.PaneTexts(MessagePane), c.warned ? Texts{notice} : Texts{});
        EXPECT_TRUE(t.reporter.Messages().empty());
    }
}

// What waited in the terminal before the open (a late reply meant for the
// program that had the line last) is dropped, else a data step would take it
// as its answer; and a second program is refused the line, by whatever name.
TEST(SerialPortOpen, DropsWhatCameBeforeAndKeepsTheLineForOneProgram) {
    Terminal t;
    ASSERT_GE(t.master, 0);
    const unsigned char late[] = {0x02, 0x2B, 0x77};
    ASSERT_EQ(write(t.master, late, sizeof late), 3);
    ASSERT_TRUE(t.Open());
    EXPECT_FALSE(t.transport.WaitReadable(0));
    EXPECT_EQ(t.transport.ReadByte(), NoByte);
    const unsigned char reply = 0x42;
    ASSERT_EQ(write(t.master, &reply, 1), 1);
    ASSERT_TRUE(t.transport.WaitReadable(5000));
    EXPECT_EQ(t.transport.ReadByte(), 0x42);

    const std::string link = std::string(KORVEL_BINARY_DIR) + "/second-" + std::to_string(getpid());
    unlink(link.c_str());
    ASSERT_EQ(symlink(ptsname(t.master), link.c_str()), 0);
    for (const std::string& name : {std::string(ptsname(t.master)), link}) {
        RecordingReporter reporter;
        SerialPortTransport second;
        EXPECT_FALSE(second.Open(name, reporter));
        EXPECT_EQ(reporter.Messages(),
                  Texts{"Error Opening Serial Port\n" + name + " is in use by another program"});
    }
    t.transport.Port()->close();
    RecordingReporter reporter;
    SerialPortTransport after;
    EXPECT_TRUE(after.Open(link, reporter)) << "the line is free once the first has closed it";
    unlink(link.c_str());
}

TEST(SerialPortOpen, PermissionDeniedAddsTheDialoutHint) {
    const std::string hint =
        "\nPermission denied opening /dev/ttyUSB-absent: add your user to the dialout group";
    for (const bool denied : {false, true}) {
        ScriptedSystem system;
        system.accessDenied = denied;
        Terminal t(&system);
        EXPECT_FALSE(t.transport.Open("/dev/ttyUSB-absent", t.reporter));
        EXPECT_EQ(t.reporter.Messages(), Texts{"Error Opening Serial Port" + (denied ? hint : "")});
    }
}

}  // namespace
}  // namespace korvel
