#pragma once
// The acquisition scheduler and the non-blocking ECU exchanges it drives:
// the presence probe, monitor slot binding and variable reads. Each exchange
// call does exactly one thing (send the next request byte, or make one read
// attempt); the flags carry progress between calls. OnIdle never waits: it
// tells its driver what it waits for, and the driver sleeps on the port or the
// deadline (Qt's event loop in the desktop program; RunUntil in the
// command-line tool and the benchmark).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/StatusFlags.h"
#include "link/Protocol.h"
#include "monitor/MonitorFile.h"
#include "monitor/Sample.h"

namespace korvel {

// What happened on the line, besides a pass.
enum class LineEvent {
    OffLine,  // the ECU was on line and is not any more (a time-out, a restart)
};

class ObserverList;

// An observer's place in the list: it leaves when the token is destroyed or
// cancelled. A token may outlive the scheduler; it then does nothing.
class Subscription {
public:
    Subscription() = default;
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    ~Subscription() { Cancel(); }
    void Cancel();

private:
    friend class AcquisitionScheduler;
    Subscription(std::weak_ptr<ObserverList> list, uint64_t id) : list_(std::move(list)), id_(id) {}
    std::weak_ptr<ObserverList> list_;
    uint64_t id_ = 0;
};

class AcquisitionScheduler {
public:
    AcquisitionScheduler(EcuLink& link, MonitorFile& monitor);

    // Observers of every complete pass, called in the order they were added
    // with the pass's values as read; none can change what the next one sees.
    // An observer may cancel any subscription, its own included, meanwhile.
    using PassObserver = std::function<void(const Sample&)>;
    using LineObserver = std::function<void(LineEvent)>;
    [[nodiscard]] Subscription Subscribe(PassObserver onPass, LineObserver onLine = {});
    // An observer for the scheduler's whole life.
    void AddPassObserver(PassObserver observer);

    // Something took the line from acquisition, or acquisition stopped (a
    // transfer, the Peek/Poke dialog): the next pass tells its observers
    // that no line may join a read before now to one after. Going off line
    // and restarting from the probe note a gap themselves.
    void NoteGap();

    // Monotonic milliseconds since acquisition started (the scheduler's
    // creation): the time base of every Sample.
    int64_t AcquisitionMs() const;

    // Program-wide: DataLoaded and MonitorLoaded live here too, and only they
    // can be changed from outside the scheduler.
    StatusFlags statusFlags;

    // The index of the slot being bound or of the variable being read.
    uint8_t PollIndex() const { return pollIndex_; }

    // One idle step of the scheduler: off line, one probe step; on line, the
    // slot-loading or reading loop, which returns early (state kept in the
    // flags) instead of spinning when an awaited reply has not arrived yet.
    // With an empty variable list it keeps running the probe.
    void OnIdle();

    // Start again from the presence probe, then bind every slot anew: after a
    // failed transfer, a new monitor file or a new port. Clears EcuOnLine; a
    // probe, read or slot still in progress is abandoned, so callers should
    // rather call FinishOutstanding first when the line stays the same.
    void RestartFromProbe();

    // What the scheduler waits for now.
    struct Wait {
        bool sendNow = true;     // a request can be sent (or a step taken) at once
        int64_t deadlineMs = 0;  // otherwise: monotonic time at which to call OnIdle again
    };
    // Awaiting a reply: deadlineMs is the first moment at which a read that
    // finds nothing declares the ECU off line (request time + OffLineTimeoutMs
    // + 1); call OnIdle when a byte arrives or then. After a refused send:
    // a short retry pause. On line with a failed port: sendNow, so the next
    // OnIdle declares the ECU off line at once.
    Wait NextWait() const;

    // The blocking driver of the command-line tool and the benchmark: idle
    // steps with sleeps on the port in between, until `done` holds (true) or
    // the monotonic clock reaches `untilMs` (false). `done` is looked at after
    // every step and at least every RunSliceMs (Ctrl-C, for one).
    bool RunUntil(int64_t untilMs, const std::function<bool()>& done);
    static constexpr int64_t RunSliceMs = 200;

    // Makes the line quiet for a command that uses it (Upload, Download,
    // Compare, Peek, Poke): the slot, variable or probe in progress is
    // completed, its ECU left between two commands, each reply awaited (on
    // the transport, never spinning) for up to QuietLineMs. A reply that has
    // not come by then is dropped, with whatever input has arrived, and the
    // unit starts again from its first byte at the next step. A send refused
    // for longer than FinishLimitMs declares the ECU off line.
    void FinishOutstanding();
    static constexpr int64_t QuietLineMs = 100;
    static constexpr int64_t FinishLimitMs = 4 * OffLineTimeoutMs;

    EcuLink& Link() const { return link_; }

    // When the first byte of the variable being read was requested (monotonic ms).
    int64_t FirstReadTime() const { return firstReadTime_; }

private:
    // Outcome of one call of the common step rule.
    enum class Outcome { Nothing, Reply, TimedOut };
    struct Step {
        Outcome outcome = Outcome::Nothing;
        int byte = NoByte;
    };
    Step ExchangeStep(int request, int64_t& requestTime, bool failFast);
    // The blocking driver's sleep: on the port (awaiting a reply) or a plain
    // pause (after a refused send) until NextWait's deadline, at most
    // `maxWaitMs`; returns at once when a step can be taken now.
    void SleepUntilNextStep(int64_t maxWaitMs);
    // The exchanges, one step per call.
    void PollEcuStatus();
    void LoadSlot(int n);
    void PollVariable(int n);
    void ReadFirstByte(int n);
    void ReadSecondByte(int n);
    void DeclareOffLine();
    void DropProbe();
    bool UseProbe() const;
    bool UnitInProgress() const;
    void RunOnLine();
    void LoadingPass();
    void ReadingPass();
    int VariableCount() const;
    int64_t AwaitedRequestTime() const;
    void CompletePass();
    void LeaveOnLine();
    bool LineBusy() const;
    void DropUnit();

    EcuLink& link_;
    MonitorFile& monitor_;
    std::shared_ptr<ObserverList> observers_;
    int64_t startMs_ = 0;
    std::array<int64_t, MaxMonitorVariables> readMs_{};
    int64_t gapMs_ = NoGap;  // the first gap since the last pass
    uint64_t requestsSent_ = 0;
    uint8_t pollIndex_ = 0;
    // Request times (monotonic ms), one per exchange.
    int64_t probeTime_ = 0;
    int64_t loadTime_ = 0;
    int64_t firstReadTime_ = 0;
    int64_t secondReadTime_ = 0;
    bool stalled_ = false;      // the last step found no reply, or its send was refused
    bool sendRefused_ = false;  // the last send was refused; retried after a pause
    int64_t refusedAtMs_ = 0;
    bool probing_ = true;  // the last OnIdle ran the probe
};

}  // namespace korvel
