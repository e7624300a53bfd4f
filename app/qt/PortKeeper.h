#pragma once
// Keeps the program's serial port open: opens it at start-up, switches to
// another port chosen in File > Port..., and while the port is closed (the
// adapter was unplugged) tries to reopen the same name about once a second,
// silently. The unplug is told in pane 0, not in a message box that would
// hold acquisition until someone dismisses it. The calibration image, the edits, the plots and the
// editors are not touched; the scheduler starts again from the presence probe.

#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/AcquisitionScheduler.h"
#include "app/qt/AcquisitionDriver.h"
#include "app/qt/PortHolder.h"
#include "link/Reporter.h"
#include "link/qt/SerialPorts.h"

namespace korvel {

struct OpenedPort {
    std::unique_ptr<ByteTransport> transport;  // null: the port could not be opened
    QIODevice* readyReadSource = nullptr;      // emits readyRead() and aboutToClose()
    std::string notice;                        // something to tell once in pane 0, or ""
};

// Opens and configures the named port; on failure it reports its own
// message through `reporter` and returns no transport.
using PortOpener = std::function<OpenedPort(const std::string& portName, Reporter& reporter)>;

// The real serial port (QSerialPort), as the desktop program opens it: a
// hang-up is left to the port keeper, which says so in pane 0 and reopens it.
OpenedPort OpenSerialPort(const std::string& portName, Reporter& reporter);

class PortKeeper : public QObject {
    Q_OBJECT
public:
    PortKeeper(PortHolder& port, AcquisitionDriver& driver, AcquisitionScheduler& scheduler,
               Reporter& reporter);

    void Configure(PortOpener opener, PortLister lister);
    std::vector<PortInfo> ListPorts() const { return lister_ ? lister_() : SystemSerialPorts(); }

    // Opens `name`, reporting a failure with the opener's message. True when open.
    bool Open(const std::string& name);
    // Closes the current port and opens `name`; when that fails, its message
    // is shown and the name is tried again as after an unplug.
    void SwitchTo(const std::string& name);
    // One silent attempt to reopen the closed port (the timer's work). Not
    // while acquisition is paused or stepping: a closed transport may still
    // be on the stack under a message box.
    bool TryReopen();

    bool IsOpen() const { return open_; }
    const std::string& Name() const { return name_; }
    // What the last opening had to say (a slow latency timer), or "".
    const std::string& Notice() const { return notice_; }

    static constexpr int ReopenIntervalMs = 1000;

private:
    bool Attach(OpenedPort opened);
    void OnClosed(const std::string& paneText);

    PortHolder& port_;
    AcquisitionDriver& driver_;
    AcquisitionScheduler& scheduler_;
    Reporter& reporter_;
    PortOpener opener_;
    PortLister lister_;
    QPointer<QIODevice> source_;
    QTimer reopenTimer_;
    std::string name_;
    std::string notice_;
    bool open_ = false;
};

}  // namespace korvel
