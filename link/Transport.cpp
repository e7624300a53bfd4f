#include "link/Transport.h"

#include <chrono>
#include <thread>

namespace korvel {

void ByteTransport::WaitWritable(int64_t maxWaitMs) {
    if (maxWaitMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(maxWaitMs));
    }
}

std::string CanonicalPortName(const std::string& word) {
    if (word.empty() || word == "1") {
        return "COM1";
    }
    if (word == "2") {
        return "COM2";
    }
    return word;
}

std::string DevicePathForPort(const std::string& portName) {
    // COMn names the n-th serial port, which POSIX numbers from 0.
    if (portName.size() < 4 || portName.compare(0, 3, "COM") != 0) {
        return portName;
    }
    long number = 0;
    for (size_t i = 3; i < portName.size(); ++i) {
        char c = portName[i];
        if (c < '0' || c > '9' || number > 100000) {
            return portName;
        }
        number = number * 10 + (c - '0');
    }
    if (number < 1) {
        return portName;
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace korvel
