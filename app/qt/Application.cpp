#include "app/qt/Application.h"

#include <QCoreApplication>

#include "app/InstalledFiles.h"
#include "app/qt/CommandLine.h"
#include "app/qt/MainWindow.h"
#include "app/qt/RecoveryKeeper.h"

namespace korvel {

ProgramState::ProgramState(Clock& clock_, Prompter& prompter_)
    : prompter(prompter_),
      reporter(prompter_),
      link{port, clock_, reporter},
      scheduler(link, monitor),
      driver(scheduler, port, clock_),
      portKeeper(port, driver, scheduler, reporter) {}

Application::Application(AppContext context)
    : context_(std::move(context)),
      state_(std::make_unique<ProgramState>(context_.clock, context_.prompter)) {
    if (context_.restoreFolder.empty()) {
        context_.restoreFolder = RestoreFolder(SystemEnvironment);
    }
    Clock& clock = context_.clock;
    state_->session.KeepRestorePoints(
        RestorePoints(context_.restoreFolder, [&clock] { return clock.WallMs(); }));
    state_->session.portName = [this] { return state_->portKeeper.Name(); };
}

// A run that ends here quit cleanly: its edits were saved or discarded.
Application::~Application() {
    if (recovery_) {
        recovery_->Remove();
    }
    recovery_.reset();
    window_.reset();
    state_->port.Close();
}

bool Application::Start(const QStringList& arguments) {
    ProgramState& state = *state_;
    window_ = std::make_unique<MainWindow>(state);
    recovery_ = std::make_unique<RecoveryKeeper>(state.session, context_.clock, state.reporter,
                                                 context_.restoreFolder);
    window_->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);  // paint it at once

    const CommandLine line = ParseCommandLine(arguments);
    if (!line.error.empty()) {
        context_.prompter.Message(window_.get(), QString::fromStdString(line.error), QString(),
                                  Prompter::Icon::Stop);
        return false;
    }
    window_->SetExpertMode(line.expert);
    state.monitorFileName = line.monitorBaseName;
    state.comPortName = line.portName;
    state.portKeeper.Configure(context_.openPort, context_.listPorts);
    std::string chosen;  // what pane 0 says about the port after start-up
    if (!line.portGiven) {
        // On Linux COM1 (/dev/ttyS0) nearly always opens and would probe nothing.
        if (const auto usb = SoleUsbAdapter(state.portKeeper.ListPorts())) {
            state.comPortName = usb->location;
            chosen = "Using " + PortLabel(*usb) + ", the only USB serial adapter";
        }
    }
    if (!state.portKeeper.Open(state.comPortName)) {
        return false;
    }

    window_->SetPaneText(MessagePane, "LOADING MON DATA FILE");
    // The default name and no Mon.cfg here, as from a desktop menu: the user's or installed one.
    const std::string installed =
        StartupMonitorFile(state.monitorFileName, DataFoldersFromEnvironment());
    if (!installed.empty()) {
        state.monitorFileName = installed.substr(0, installed.size() - 4);  // without ".cfg"
        chosen = "Monitor file: " + installed + (chosen.empty() ? "" : "; " + chosen);
    }
    window_->LoadMonitorFile();
    recovery_->OfferLeftCopies(window_.get(), context_.prompter,
                               [this](const CalibrationImage& image, const std::string& dataFile) {
                                   return window_->Calibration().RecoverEdits(image, dataFile);
                               });
    window_->RefreshCommands();
    const std::string& notice = state.portKeeper.Notice();
    if (!chosen.empty() || !notice.empty()) {
        const std::string text =
            chosen.empty() || notice.empty() ? chosen + notice : chosen + "; " + notice;
        window_->SetPaneText(MessagePane, QString::fromStdString(text));
    }
    state.driver.Start();
    return true;
}

}  // namespace korvel
