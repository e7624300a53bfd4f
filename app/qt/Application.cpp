#include "app/qt/Application.h"

#include <QCoreApplication>

#include "app/qt/CommandLine.h"
#include "app/qt/MainWindow.h"

namespace korvel {

Session::Session(Clock& clock_, Prompter& prompter_)
    : prompter(prompter_),
      reporter(prompter_),
      link{port, clock_, reporter},
      scheduler(link, monitor,
                [this] {
                    if (onUpdateMonitor) {
                        onUpdateMonitor();
                    }
                }),
      driver(scheduler, port, clock_) {
    scheduler.SetTimeScale(plot.timeScale);
}

Application::Application(AppContext context)
    : context_(std::move(context)),
      session_(std::make_unique<Session>(context_.clock, context_.prompter)) {}

Application::~Application() {
    window_.reset();
    session_->port.Close();
}

bool Application::Start(const QStringList& arguments) {
    Session& session = *session_;
    window_ = std::make_unique<MainWindow>(session);
    window_->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);  // paint it at once

    const CommandLine line = ParseCommandLine(arguments);
    if (!line.error.empty()) {
        context_.prompter.Message(window_.get(), QString::fromStdString(line.error), QString(),
                                  Prompter::Icon::Stop);
        return false;
    }
    session.monitorFileName = line.monitorBaseName;
    session.comPortName = line.portName;
    OpenedPort opened = context_.openPort(session.comPortName, session.reporter);
    if (!opened.transport) {
        return false;
    }
    session.port.Attach(std::move(opened.transport));
    session.driver.ListenTo(opened.readyReadSource);

    window_->SetPaneText(MessagePane, "LOADING MON DATA FILE");
    window_->LoadMonitorFile();
    session.scheduler.statusFlags.Clear(DataLoaded);
    window_->RefreshCommands();
    session.driver.Start();
    return true;
}

}  // namespace korvel
