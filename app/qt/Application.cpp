#include "app/qt/Application.h"

#include <QCoreApplication>

#include "app/qt/CommandLine.h"
#include "app/qt/MainWindow.h"

namespace korvel {

ProgramState::ProgramState(Clock& clock_, Prompter& prompter_)
    : prompter(prompter_),
      reporter(prompter_),
      link{port, clock_, reporter},
      scheduler(link, monitor),
      driver(scheduler, port, clock_) {
    scheduler.SetTimeScale(plot.timeScale);
    scheduler.AddPassObserver([this](const Sample& sample) {
        if (onUpdateMonitor) {
            onUpdateMonitor(sample);
        }
    });
    scheduler.AddPassObserver([this](const Sample& sample) {
        if (onPass) {
            onPass(sample);
        }
    });
}

Application::Application(AppContext context)
    : context_(std::move(context)),
      state_(std::make_unique<ProgramState>(context_.clock, context_.prompter)) {}

Application::~Application() {
    window_.reset();
    state_->port.Close();
}

bool Application::Start(const QStringList& arguments) {
    ProgramState& state = *state_;
    window_ = std::make_unique<MainWindow>(state);
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
    OpenedPort opened = context_.openPort(state.comPortName, state.reporter);
    if (!opened.transport) {
        return false;
    }
    state.port.Attach(std::move(opened.transport));
    state.driver.ListenTo(opened.readyReadSource);

    window_->SetPaneText(MessagePane, "LOADING MON DATA FILE");
    window_->LoadMonitorFile();
    state.scheduler.statusFlags.Clear(DataLoaded);
    window_->RefreshCommands();
    state.driver.Start();
    return true;
}

}  // namespace korvel
