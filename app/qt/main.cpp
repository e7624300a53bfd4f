// The desktop program: korvel [--expert] [monitor-file-base-name [port]]
#include <QApplication>
#include <clocale>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/qt/Application.h"
#include "link/qt/SerialPortTransport.h"

namespace {

korvel::OpenedPort OpenSerialPort(const std::string& portName, korvel::Reporter& reporter) {
    auto transport = std::make_unique<korvel::SerialPortTransport>();
    transport->hangUpIsReopened = true;  // the port keeper says so in pane 0 and reopens it
    if (!transport->Open(portName, reporter)) {
        return {};  // the transport has shown its message
    }
    QIODevice* source = transport->Port();
    std::string notice = transport->LatencyNotice();
    return {std::move(transport), source, std::move(notice)};
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a window, so without a display.
    const korvel::CommandLine line =
        korvel::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.help || line.version) {
        std::fputs(line.help ? korvel::DesktopUsage : "korvel " KORVEL_VERSION "\n", stdout);
        return 0;
    }
    QApplication qtApp(argc, argv);
    QGuiApplication::setDesktopFileName("korvel");  // docks show the installed entry's icon
    QCoreApplication::setApplicationVersion(KORVEL_VERSION);
    // The framework took the user's locale: numbers in files and on screen
    // keep the decimal point whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    korvel::SystemClock clock;
    korvel::WidgetPrompter prompter;
    {
        korvel::Application app({clock, prompter, OpenSerialPort});
        if (app.Start(QApplication::arguments().mid(1))) {
            QApplication::exec();
        }
    }          // the port is closed here
    return 1;  // the program's exit code, after a normal run and a failed start alike
}
