#pragma once
// The program as a whole: the state every part shares for the whole run
// (the ProgramState) and the start-up sequence that builds it around the main
// window. Built from a context, so tests run it against an in-process ECU
// and a scripted prompter.

#include <QIODevice>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "app/AcquisitionScheduler.h"
#include "app/qt/AcquisitionDriver.h"
#include "app/qt/GuiReporter.h"
#include "app/qt/PortHolder.h"
#include "app/qt/Prompter.h"
#include "calib/CalibrationImage.h"
#include "link/Clock.h"
#include "monitor/MonitorFile.h"
#include "monitor/PlotState.h"

namespace korvel {

class MainWindow;

struct OpenedPort {
    std::unique_ptr<ByteTransport> transport;  // null: the port could not be opened
    QIODevice* readyReadSource = nullptr;      // emits readyRead() when bytes arrive
};

// Opens and configures the named port; on failure it reports its own
// message through `reporter` and returns no transport.
using PortOpener = std::function<OpenedPort(const std::string& portName, Reporter& reporter)>;

struct AppContext {
    Clock& clock;
    Prompter& prompter;
    PortOpener openPort;
};

// Everything that lives for the whole run.
struct ProgramState {
    ProgramState(Clock& clock, Prompter& prompter);

    Prompter& prompter;
    PortHolder port;
    GuiReporter reporter;
    EcuLink link;
    MonitorFile monitor;
    CalibrationImage image;
    PlotState plot;
    AcquisitionScheduler scheduler;
    AcquisitionDriver driver;
    std::string monitorFileName;  // base name; emptied after every monitor file load
    std::string comPortName;
    std::function<void()> onUpdateMonitor;  // the main window's panel
};

class Application {
public:
    explicit Application(AppContext context);
    ~Application();  // closes the port

    // The start-up sequence: main window shown, command line read, port
    // opened, monitor file loaded, acquisition started. False when the
    // program must end (a word too long, the port not opened); the process
    // exits with code 1 either way.
    bool Start(const QStringList& arguments);

    MainWindow& Window() { return *window_; }
    ProgramState& State() { return *state_; }

private:
    AppContext context_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace korvel
