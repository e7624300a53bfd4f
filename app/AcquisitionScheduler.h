#pragma once
// The acquisition scheduler and the non-blocking ECU exchanges it drives:
// the presence probe, monitor slot binding and variable reads. Each exchange
// call does exactly one thing (send the next request byte, or make one read
// attempt); the flags carry progress between calls. The scheduler never
// waits: it tells its driver what it waits for, and the driver sleeps on the
// port or the deadline (Qt's event loop in the desktop program, a blocking
// wait in the command-line tool).

#include <cstdint>
#include <functional>

#include "app/StatusFlags.h"
#include "link/Protocol.h"
#include "monitor/MonitorFile.h"

namespace korvel {

class AcquisitionScheduler {
public:
    // `updateMonitor` is called after every complete pass over the variables.
    AcquisitionScheduler(EcuLink& link, MonitorFile& monitor, std::function<void()> updateMonitor);

    StatusFlags statusFlags;  // program-wide: DataLoaded and MonitorLoaded live here too
    uint8_t pollIndex = 0;

    // The plot sweep length in seconds (>= 1); sample times are the wall
    // clock's milliseconds modulo timeScale * 1000.
    void SetTimeScale(int seconds);
    int TimeScale() const { return timeScale_; }

    // One idle step of the scheduler: off line, one probe step; on line, the
    // slot-loading or reading loop, which returns early (state kept in the
    // flags) instead of spinning when an awaited reply has not arrived yet.
    void OnIdle();

    // What the scheduler waits for now.
    struct Wait {
        bool sendNow = true;     // a request can be sent (or a step taken) at once
        int64_t deadlineMs = 0;  // when awaiting a reply: monotonic time of its time-out
    };
    Wait NextWait() const;

    // Finishes the outstanding exchange, waiting (on the transport, never
    // spinning) for its reply or its time-out and handling it as the step
    // would. Upload, Download, Peek and Poke call it first, so they start on
    // a quiet line.
    void FinishOutstanding();

    // The exchanges, one step per call.
    void PollEcuStatus();
    void LoadSlot(int n);
    void PollVariable(int n);
    void ReadFirstByte(int n);
    void ReadSecondByte(int n);

    // Request times (monotonic ms), one per exchange.
    int64_t probeTime = 0;
    int64_t loadTime = 0;
    int64_t firstReadTime = 0;
    int64_t secondReadTime = 0;

private:
    EcuLink& link_;
    MonitorFile& monitor_;
    std::function<void()> updateMonitor_;
    int timeScale_ = 20;
};

}  // namespace korvel
