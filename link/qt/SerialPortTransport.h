#pragma once
// The byte transport over a real serial port (or a pseudo-terminal), through
// QSerialPort: 9600 baud, 8 data bits, no parity, one stop bit, no flow
// control, DTR and RTS held off. It works with or without a running event
// loop: reads take pending bytes without blocking, sends push the byte out at
// once, and waits sleep on the port.

#include <QSerialPort>
#include <cstdint>
#include <string>

#include "link/Reporter.h"
#include "link/Transport.h"

namespace korvel {

// The system calls the transport makes beside QSerialPort's own, so tests can
// script what a USB adapter's driver would answer.
class SerialSystem {
public:
    virtual ~SerialSystem() = default;
    virtual int Ioctl(int fd, unsigned long request, void* argument);
    // True when opening `path` for reading and writing is refused for lack of permission.
    virtual bool AccessDenied(const std::string& path);
    // The contents of a (sysfs) text file; empty when it cannot be read.
    virtual std::string ReadText(const std::string& path);
};

// An FTDI adapter's latency timer above this many milliseconds slows every exchange.
constexpr int SlowLatencyTimerMs = 2;

class SerialPortTransport : public ByteTransport {
public:
    explicit SerialPortTransport(SerialSystem* system = nullptr);
    ~SerialPortTransport() override;
    SerialPortTransport(const SerialPortTransport&) = delete;
    SerialPortTransport& operator=(const SerialPortTransport&) = delete;

    // Opens and configures the port named on the command line ("1", "COM2",
    // "/dev/ttyUSB0", a pseudo-terminal path), takes it for this program
    // alone and discards what arrived before. On failure the reporter shows
    // "Error Opening Serial Port" (with a hint when permission was denied or
    // another program has the line),
    // "Error Getting Comm DCB", "Error Setting Comm State" or "Error Setting
    // Communications Timeouts" and false is returned. The reporter is kept
    // for read failures.
    bool Open(const std::string& portName, Reporter& reporter);

    int ReadByte() override;
    int SendByte(int byte) override;
    bool WaitReadable(int64_t maxWaitMs) override;
    void WaitWritable(int64_t maxWaitMs) override;
    bool HasFailed() const override { return failed_; }

    // For an event loop that wants to wake when bytes arrive (readyRead) and
    // to know when the port closes (aboutToClose).
    QSerialPort* Port() { return &port_; }

    // Set by a program that reopens a port that went away (the desktop
    // program's port keeper): the hang-up is then its to tell, and the
    // transport shows no message box for it. Read errors of a device that is
    // still there are shown as ever.
    bool hangUpIsReopened = false;

    // Set by Open when the adapter's latency timer slows transfers: what to
    // tell the user once. Empty otherwise.
    const std::string& LatencyNotice() const { return latencyNotice_; }

private:
    void WatchForHangUp();
    void CheckHangUp();
    bool Configure();
    bool ApplyNonBlockingReads();
    void RequestLowLatency();
    void CheckLatencyTimer(const std::string& path);
    bool PullPending(int64_t waitMs);
    void Fail(bool deviceGone);

    SerialSystem ownSystem_;
    SerialSystem& system_;
    QSerialPort port_;
    Reporter* reporter_ = nullptr;
    std::string latencyNotice_;
    bool failed_ = false;
    bool hangUpCheckQueued_ = false;
};

}  // namespace korvel
