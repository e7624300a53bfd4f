#pragma once
// The byte transport over a real serial port (or a pseudo-terminal), through
// QSerialPort: 9600 baud, 8 data bits, no parity, one stop bit, no flow
// control, DTR and RTS held off. It works with or without a running event
// loop: reads pull pending bytes without blocking, sends push the byte out at
// once, and waits sleep on the port.

#include <QSerialPort>
#include <QSocketNotifier>
#include <cstdint>
#include <memory>
#include <string>

#include "link/Reporter.h"
#include "link/Transport.h"

namespace korvel {

class SerialPortTransport : public ByteTransport {
public:
    SerialPortTransport();
    ~SerialPortTransport() override;
    SerialPortTransport(const SerialPortTransport&) = delete;
    SerialPortTransport& operator=(const SerialPortTransport&) = delete;

    // Opens and configures the port named on the command line ("1", "COM2",
    // "/dev/ttyUSB0", a pseudo-terminal path). On failure the reporter shows
    // "Error Opening Serial Port", "Error Getting Comm DCB", "Error Setting
    // Comm State" or "Error Setting Communications Timeouts" and false is
    // returned. The reporter is kept for read failures.
    bool Open(const std::string& portName, Reporter& reporter);

    int ReadByte() override;
    int SendByte(int byte) override;
    bool WaitReadable(int64_t maxWaitMs) override;
    void WaitWritable(int64_t maxWaitMs) override;
    bool HasFailed() const override { return failed_; }

    // For an event loop that wants to wake when bytes arrive (readyRead).
    QSerialPort* Port() { return &port_; }

private:
    void WatchForHangUp();
    void CheckHangUp();
    bool Configure();
    bool ApplyNonBlockingReads();
    bool PullPending(int64_t waitMs);
    void Fail(bool deviceGone);

    QSerialPort port_;
    std::unique_ptr<QSocketNotifier> hangUpWatch_;
    Reporter* reporter_ = nullptr;
    bool failed_ = false;
};

}  // namespace korvel
