#include "app/qt/PortKeeper.h"

#include "link/qt/SerialPortTransport.h"

namespace korvel {

namespace {

// Reopening is silent: a port that is still away says nothing each second.
class SilentReporter : public Reporter {
public:
    void ShowMessage(const std::string&) override {}
    void SetPaneText(int, const std::string&) override {}
    void ShowNotice(const std::string&) override {}
};

}  // namespace

OpenedPort OpenSerialPort(const std::string& portName, Reporter& reporter) {
    auto transport = std::make_unique<SerialPortTransport>();
    transport->hangUpIsReopened = true;
    if (!transport->Open(portName, reporter)) {
        return {};  // the transport has shown its message
    }
    QIODevice* source = transport->Port();
    std::string notice = transport->LatencyNotice();
    return {std::move(transport), source, std::move(notice)};
}

PortKeeper::PortKeeper(PortHolder& port, AcquisitionDriver& driver, AcquisitionScheduler& scheduler,
                       Reporter& reporter)
    : port_(port), driver_(driver), scheduler_(scheduler), reporter_(reporter) {
    reopenTimer_.setInterval(ReopenIntervalMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &PortKeeper::TryReopen);
}

void PortKeeper::Configure(PortOpener opener, PortLister lister) {
    opener_ = std::move(opener);
    lister_ = std::move(lister);
}

bool PortKeeper::Open(const std::string& name) {
    name_ = name;
    return Attach(opener_(name, reporter_));
}

void PortKeeper::SwitchTo(const std::string& name) {
    if (source_) {
        disconnect(source_, nullptr, this, nullptr);  // closing on purpose is no unplug
    }
    port_.Close();
    open_ = false;
    if (Open(name)) {
        reporter_.SetPaneText(MessagePane, notice_.empty() ? "Using " + name_ : notice_);
    } else {
        OnClosed("Waiting for " + name_);
    }
}

bool PortKeeper::TryReopen() {
    if (open_ || driver_.Paused() || driver_.Running()) {
        return false;
    }
    SilentReporter silent;
    if (!Attach(opener_(name_, silent))) {
        return false;
    }
    // All it knows is that the port opened; whether the ECU answers is pane 1's.
    reporter_.ShowNotice(notice_.empty() ? name_ + " is open again" : notice_);
    return true;
}

bool PortKeeper::Attach(OpenedPort opened) {
    if (!opened.transport) {
        return false;
    }
    notice_ = opened.notice;
    port_.Attach(std::move(opened.transport));
    source_ = opened.readyReadSource;
    driver_.ListenTo(source_);
    if (source_) {
        connect(source_, &QIODevice::aboutToClose, this,
                [this] { OnClosed("Error Reading COMM Port: waiting for " + name_); });
    }
    open_ = true;
    reopenTimer_.stop();
    scheduler_.RestartFromProbe();  // whatever was in progress went with the old port
    driver_.Wake();
    return true;
}

void PortKeeper::OnClosed(const std::string& paneText) {
    open_ = false;
    reporter_.ShowNotice(paneText);
    reopenTimer_.start();
}

}  // namespace korvel
