// The QSerialPort transport on the slave side of a pseudo-terminal whose
// master the test holds: bytes both ways, and a line that hangs up.

#include "link/qt/SerialPortTransport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <string>
#include <vector>

#include "tests/support/RecordingReporter.h"

namespace korvel {
namespace {

class SerialPortTransportTest : public testing::Test {
protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
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

}  // namespace
}  // namespace korvel
