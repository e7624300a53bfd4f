#pragma once
// Runs the acquisition scheduler from Qt's event loop, nested ones included
// (an open menu, a message box, a file dialog): a step runs when the port has
// data (readyRead), when a request can be sent (a zero timer) and when an
// awaited reply's time-out falls due (a single-shot timer); in between the
// thread sleeps in the event loop. Steps never nest, and commands that use
// the line (transfers, Peek/Poke) pause the driver while they own it.

#include <QIODevice>
#include <QObject>
#include <QTimer>
#include <functional>

#include "acquisition/AcquisitionScheduler.h"
#include "link/Clock.h"
#include "link/Transport.h"

namespace korvel {

class AcquisitionDriver : public QObject {
    Q_OBJECT
public:
    AcquisitionDriver(AcquisitionScheduler& scheduler, ByteTransport& transport, Clock& clock);

    // Steps whenever `source` emits readyRead(). A port may emit it from inside
    // a wait, or from a modal loop a step opened; Step() then returns at once
    // (it never nests, and a paused driver does nothing), and the running step
    // or the wake-up it chooses when it ends reads the byte.
    void ListenTo(QIODevice* source);

    void Start();
    // Stops stepping until as many Resume calls; the charts break their lines there.
    void Pause();
    void Resume();
    bool Paused() const { return pauses_ > 0; }
    bool Running() const { return running_; }
    // Chooses the next wake-up anew (a new port was attached).
    void Wake() { Reschedule(); }

    // Runs the scheduler now (unless paused or already running) and chooses
    // the next wake-up. Called by the event loop; tests call it directly.
    void Step();

    // When the driver runs next, in milliseconds: 0 at once, -1 not at all
    // (paused, or waiting only for the port's readyRead).
    int WakeDelayMs() const;

    // Called after every step (to follow flag changes in the menus).
    std::function<void()> afterStep;

    // Pauses the driver for a scope.
    class Pauser {
    public:
        explicit Pauser(AcquisitionDriver& driver) : driver_(driver) { driver_.Pause(); }
        ~Pauser() { driver_.Resume(); }
        Pauser(const Pauser&) = delete;
        Pauser& operator=(const Pauser&) = delete;

    private:
        AcquisitionDriver& driver_;
    };

private:
    void Reschedule();
    void ArmWakeUp();

    AcquisitionScheduler& scheduler_;
    ByteTransport& transport_;
    Clock& clock_;
    QTimer stepTimer_;           // zero: a request can go out now
    QTimer waitTimer_;           // an awaited reply's time-out, or a refused send's retry
    int64_t armedDeadline_ = 0;  // monotonic time the wait timer is set for
    bool started_ = false;
    bool running_ = false;
    int pauses_ = 0;
};

}  // namespace korvel
