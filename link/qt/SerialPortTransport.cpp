#include "link/qt/SerialPortTransport.h"

#include <poll.h>
#include <termios.h>

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

namespace korvel {

namespace {

constexpr int LineBaud = 9600;

int PollTimeout(int64_t ms) {
    return static_cast<int>(std::clamp<int64_t>(ms, 0, 60'000));
}

void SleepMs(int64_t ms) {
    if (ms > 0) {
        QThread::msleep(static_cast<unsigned long>(std::min<int64_t>(ms, 60'000)));
    }
}

}  // namespace

SerialPortTransport::SerialPortTransport() = default;

SerialPortTransport::~SerialPortTransport() {
    hangUpWatch_.reset();
    if (port_.isOpen()) {
        port_.close();
    }
}

bool SerialPortTransport::Open(const std::string& portName, Reporter& reporter) {
    reporter_ = &reporter;
    port_.setPortName(QString::fromStdString(DevicePathForPort(CanonicalPortName(portName))));
    if (!port_.open(QIODevice::ReadWrite)) {
        // The device opened but is no terminal whose settings can be read.
        const bool notSerial = port_.error() == QSerialPort::UnsupportedOperationError;
        reporter.ShowMessage(notSerial ? "Error Getting Comm DCB" : "Error Opening Serial Port");
        return false;
    }
    termios settings{};
    if (::tcgetattr(port_.handle(), &settings) != 0) {
        reporter.ShowMessage("Error Getting Comm DCB");
        return false;
    }
    if (!Configure()) {
        reporter.ShowMessage("Error Setting Comm State");
        return false;
    }
    if (!ApplyNonBlockingReads()) {
        reporter.ShowMessage("Error Setting Communications Timeouts");
        return false;
    }
    port_.clearError();
    WatchForHangUp();
    return true;
}

// Under an event loop QSerialPort reads by itself, and a device that hung up
// keeps its descriptor readable with nothing to read: the loop would spin.
// This watch notices the hang-up and closes the port.
void SerialPortTransport::WatchForHangUp() {
    hangUpWatch_ = std::make_unique<QSocketNotifier>(port_.handle(), QSocketNotifier::Read);
    QObject::connect(hangUpWatch_.get(), &QSocketNotifier::activated, hangUpWatch_.get(),
                     [this] { CheckHangUp(); });
}

void SerialPortTransport::CheckHangUp() {
    pollfd p{port_.handle(), POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        Fail(true);
    }
}

bool SerialPortTransport::Configure() {
    const bool lineSet = port_.setBaudRate(LineBaud) && port_.setDataBits(QSerialPort::Data8) &&
                         port_.setParity(QSerialPort::NoParity) &&
                         port_.setStopBits(QSerialPort::OneStop) &&
                         port_.setFlowControl(QSerialPort::NoFlowControl);
    // A pseudo-terminal or a three-wire adapter has no DTR or RTS line: not an error.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.clearError();
    return lineSet;
}

// A read returns at once with what has arrived, possibly nothing.
bool SerialPortTransport::ApplyNonBlockingReads() {
    termios settings{};
    if (::tcgetattr(port_.handle(), &settings) != 0) {
        return false;
    }
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return ::tcsetattr(port_.handle(), TCSANOW, &settings) == 0;
}

int SerialPortTransport::ReadByte() {
    if (!port_.isOpen()) {
        return NoByte;
    }
    if (port_.bytesAvailable() == 0 && !PullPending(0)) {
        return NoByte;
    }
    char c = 0;
    if (!port_.getChar(&c)) {
        return NoByte;
    }
    failed_ = false;  // the port works again; a new failure is reported anew
    return static_cast<uint8_t>(c);
}

int SerialPortTransport::SendByte(int byte) {
    if (!port_.isOpen()) {
        return NoByte;
    }
    if (port_.bytesToWrite() > 0) {  // an earlier byte is still queued
        port_.flush();
        if (port_.bytesToWrite() > 0) {
            return NoByte;
        }
    }
    const char c = static_cast<char>(byte & 0xFF);
    if (port_.write(&c, 1) != 1) {
        return NoByte;
    }
    port_.flush();
    return 0;
}

bool SerialPortTransport::WaitReadable(int64_t maxWaitMs) {
    if (port_.isOpen() && port_.bytesAvailable() > 0) {
        return true;
    }
    QElapsedTimer timer;
    timer.start();
    if (port_.isOpen() && PullPending(maxWaitMs)) {
        return true;
    }
    if (failed_ || !port_.isOpen()) {
        SleepMs(maxWaitMs - timer.elapsed());  // a failed port never lets a caller spin
    }
    return false;
}

void SerialPortTransport::WaitWritable(int64_t maxWaitMs) {
    if (!port_.isOpen() || failed_) {
        SleepMs(maxWaitMs);
        return;
    }
    if (port_.bytesToWrite() == 0) {
        return;
    }
    pollfd p{port_.handle(), POLLOUT, 0};
    ::poll(&p, 1, PollTimeout(maxWaitMs));
    port_.flush();
}

// Waits up to `waitMs` for bytes and moves them into the port's buffer.
// False when none came; a hang-up or read error starts a failure episode.
bool SerialPortTransport::PullPending(int64_t waitMs) {
    pollfd p{port_.handle(), POLLIN, 0};
    if (::poll(&p, 1, PollTimeout(waitMs)) <= 0) {
        return false;  // nothing within the wait, or a signal
    }
    if ((p.revents & POLLIN) != 0) {
        port_.waitForReadyRead(0);
        if (port_.bytesAvailable() > 0) {
            port_.clearError();
            return true;
        }
    }
    // Readable without a byte is end of file: the device is gone.
    const bool transient = (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0 &&
                           port_.error() == QSerialPort::ReadError;
    Fail(!transient);
    return false;
}

void SerialPortTransport::Fail(bool deviceGone) {
    if (!failed_) {
        failed_ = true;
        if (reporter_ != nullptr) {
            reporter_->ShowMessage("Error Reading COMM Port");
        }
    }
    port_.clearError();
    if (deviceGone) {
        // A dead descriptor would wake every poll at once.
        if (hangUpWatch_) {
            hangUpWatch_->setEnabled(false);
        }
        port_.close();
    }
}

}  // namespace korvel
