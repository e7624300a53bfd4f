#pragma once
// The program as a whole: the start-up sequence that builds the ProgramState
// around the main window. Built from a context, so tests run it against an in-process ECU
// and a scripted prompter.

#include <QIODevice>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "app/qt/PortKeeper.h"
#include "app/qt/ProgramState.h"
#include "link/Clock.h"
#include "ui/Prompter.h"

namespace korvel {

class MainWindow;
class RecoveryKeeper;

struct AppContext {
    Clock& clock;
    Prompter& prompter;
    PortOpener openPort;
    PortLister listPorts = SystemSerialPorts;  // for File > Port... and the start-up choice
    // Where restore points and the recovery copy are kept; empty: the
    // folder the environment names.
    std::string restoreFolder = {};
};

class Application {
public:
    explicit Application(AppContext context);
    ~Application();  // closes the port

    // The start-up sequence: main window shown, command line read, port
    // opened, monitor file loaded, acquisition started. Without a port word
    // and with exactly one USB serial adapter present, that adapter is opened
    // instead of COM1. False when the program must end (the port not
    // opened); the process exits with code 1 either way.
    bool Start(const QStringList& arguments);

    MainWindow& Window() { return *window_; }
    ProgramState& State() { return *state_; }
    RecoveryKeeper& Recovery() { return *recovery_; }

private:
    AppContext context_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<RecoveryKeeper> recovery_;
};

}  // namespace korvel
