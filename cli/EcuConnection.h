#pragma once
// Everything a korvel-cli command talks to the ECU with: the serial port, the
// clock, the console reporter and the acquisition scheduler the desktop
// program uses, driven here by its blocking loop (RunUntil), which sleeps on
// the port.

#include <cstdint>
#include <functional>
#include <string>

#include "acquisition/AcquisitionScheduler.h"
#include "cli/ConsoleReporter.h"
#include "cli/Interrupt.h"
#include "link/Clock.h"
#include "link/qt/SerialPortTransport.h"
#include "monitor/MonitorFile.h"

namespace korvel {

// How long a command waits for the ECU to answer at all.
constexpr int64_t EcuAnswerLimitMs = 10'000;

class EcuConnection {
public:
    EcuConnection();

    bool Open(const std::string& portName) { return transport.Open(portName, reporter); }

    // Runs the presence probe until the ECU is on line; false when it has not
    // answered within EcuAnswerLimitMs (or on Ctrl-C).
    bool ReachEcu();

    SystemClock clock;
    ConsoleReporter reporter;
    SerialPortTransport transport;
    EcuLink link{transport, clock, reporter};
    MonitorFile monitor;
    AcquisitionScheduler scheduler;
};

}  // namespace korvel
