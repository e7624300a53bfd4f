#include "link/qt/SerialPortTransport.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

namespace korvel {

namespace {

constexpr int LineBaud = 9600;
constexpr short HangUpEvents = POLLHUP | POLLERR | POLLNVAL;

int PollTimeout(int64_t ms) {
    return static_cast<int>(std::clamp<int64_t>(ms, 0, 60'000));
}

void SleepMs(int64_t ms) {
    if (ms > 0) {
        QThread::msleep(static_cast<unsigned long>(std::min<int64_t>(ms, 60'000)));
    }
}

// Errors of a read that say the device itself is gone.
bool DeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

// The sysfs file of a USB serial adapter's latency timer: /dev/ttyUSB0 (or a
// link to it) -> /sys/bus/usb-serial/devices/ttyUSB0/latency_timer.
std::string LatencyTimerFile(const std::string& devicePath) {
    char resolved[PATH_MAX];
    const std::string real = ::realpath(devicePath.c_str(), resolved) ? resolved : devicePath;
    const std::string name = real.substr(real.find_last_of('/') + 1);
    return "/sys/bus/usb-serial/devices/" + name + "/latency_timer";
}

std::string InUse(const std::string& path) {
    return "Error Opening Serial Port\n" + path + " is in use by another program";
}

}  // namespace

int SerialSystem::Ioctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}

bool SerialSystem::AccessDenied(const std::string& path) {
    return ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}

std::string SerialSystem::ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

SerialPortTransport::SerialPortTransport(SerialSystem* system)
    : system_(system != nullptr ? *system : ownSystem_) {}

SerialPortTransport::~SerialPortTransport() {
    if (port_.isOpen()) {
        port_.close();
    }
}

bool SerialPortTransport::Open(const std::string& portName, Reporter& reporter) {
    reporter_ = &reporter;
    const std::string path = DevicePathForPort(CanonicalPortName(portName));
    port_.setPortName(QString::fromStdString(path));
    if (!port_.open(QIODevice::ReadWrite)) {
        // The device opened but is no terminal whose settings can be read.
        if (port_.error() == QSerialPort::UnsupportedOperationError) {
            reporter.ShowMessage("Error Getting Comm DCB");
        } else if (system_.AccessDenied(path)) {
            reporter.ShowMessage("Error Opening Serial Port\nPermission denied opening " + path +
                                 ": add your user to the dialout group");
        } else if (port_.error() == QSerialPort::PermissionError) {
            reporter.ShowMessage(InUse(path));  // another program holds its lock file
        } else {
            reporter.ShowMessage("Error Opening Serial Port");
        }
        return false;
    }
    // One program per line, whatever name it was opened by (a link, a by-id
    // path): two would take each other's replies and interleave writes.
    if (::flock(port_.handle(), LOCK_EX | LOCK_NB) != 0) {
        port_.close();
        reporter.ShowMessage(InUse(path));
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
    // Bytes from before the open (a late reply to the program that had the
    // line last) would be taken by the first data step as its answer.
    port_.clear(QSerialPort::Input);
    port_.clearError();
    RequestLowLatency();
    CheckLatencyTimer(path);
    WatchForHangUp();
    return true;
}

// Under an event loop QSerialPort reads by itself; on a device that hung up
// its read fails and it reports an error. The port is then looked at from
// the event loop, outside QSerialPort's own call, and closed if it is gone:
// a dead descriptor would keep the loop awake. (A second notifier on the
// descriptor would replace QSerialPort's own under Qt's UNIX dispatcher.)
void SerialPortTransport::WatchForHangUp() {
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) {
                         if (error == QSerialPort::NoError || hangUpCheckQueued_) {
                             return;
                         }
                         hangUpCheckQueued_ = true;
                         QMetaObject::invokeMethod(
                             &port_,
                             [this] {
                                 hangUpCheckQueued_ = false;
                                 CheckHangUp();
                             },
                             Qt::QueuedConnection);
                     });
}

void SerialPortTransport::CheckHangUp() {
    if (!port_.isOpen()) {
        return;
    }
    pollfd p{port_.handle(), POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & HangUpEvents) != 0) {
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

// An FTDI adapter then hands each byte on after 1 ms instead of 16 ms. A
// pseudo-terminal, or a driver that refuses, keeps its pace: not an error.
void SerialPortTransport::RequestLowLatency() {
    serial_struct serial{};
    if (system_.Ioctl(port_.handle(), TIOCGSERIAL, &serial) != 0 ||
        (serial.flags & ASYNC_LOW_LATENCY) != 0) {
        return;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    system_.Ioctl(port_.handle(), TIOCSSERIAL, &serial);
}

void SerialPortTransport::CheckLatencyTimer(const std::string& path) {
    latencyNotice_.clear();
    const std::string text = system_.ReadText(LatencyTimerFile(path));
    const int ms = std::atoi(text.c_str());
    if (text.empty() || ms <= SlowLatencyTimerMs) {
        return;
    }
    latencyNotice_ = "Latency timer of " + path + " is " + std::to_string(ms) +
                     " ms: transfers will be slow; set it to 1 ms (udev rule in the README)";
    reporter_->SetPaneText(MessagePane, latencyNotice_);
}

int SerialPortTransport::ReadByte() {
    if (!port_.isOpen()) {
        return NoByte;
    }
    char c = 0;
    if (port_.bytesAvailable() > 0 && port_.getChar(&c)) {
        failed_ = false;  // the port works again; a new failure is reported anew
        return static_cast<uint8_t>(c);
    }
    // Straight from the descriptor: QSerialPort's own read would emit
    // readyRead here, inside whatever step is reading.
    const ssize_t n = ::read(port_.handle(), &c, 1);
    if (n == 1) {
        failed_ = false;
        return static_cast<uint8_t>(c);
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
        Fail(DeviceGone(errno));
    }
    return NoByte;  // nothing has arrived (an empty buffer is no failure)
}

// Straight to the descriptor, as reads come from it: QSerialPort's write would
// switch its write notifier on and off around every byte, two more wake-ups.
int SerialPortTransport::SendByte(int byte) {
    if (!port_.isOpen()) {
        return NoByte;
    }
    const auto c = static_cast<unsigned char>(byte & 0xFF);
    const ssize_t n = ::write(port_.handle(), &c, 1);
    if (n == 1) {
        return 0;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
        Fail(DeviceGone(errno));
    }
    return NoByte;  // the driver's buffer is full: the caller retries
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
    pollfd p{port_.handle(), POLLOUT, 0};
    ::poll(&p, 1, PollTimeout(maxWaitMs));
}

// Sleeps up to `waitMs` until the descriptor has a byte; true when it has.
// Only a hang-up seen by poll starts a failure episode here. Nothing is read,
// so no signal is emitted from inside a caller's wait.
bool SerialPortTransport::PullPending(int64_t waitMs) {
    pollfd p{port_.handle(), POLLIN, 0};
    if (::poll(&p, 1, PollTimeout(waitMs)) <= 0) {
        return false;  // nothing within the wait, or a signal
    }
    if ((p.revents & HangUpEvents) != 0) {
        Fail(true);
        return false;
    }
    return (p.revents & POLLIN) != 0;
}

void SerialPortTransport::Fail(bool deviceGone) {
    if (deviceGone) {
        port_.close();  // a dead descriptor would wake every poll at once
    }
    if (!failed_) {
        failed_ = true;
        if (reporter_ != nullptr && !(deviceGone && hangUpIsReopened)) {
            reporter_->ShowMessage("Error Reading COMM Port");
        }
    }
    port_.clearError();
}

}  // namespace korvel
