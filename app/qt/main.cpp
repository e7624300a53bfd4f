// The desktop program: korvel [--expert] [monitor-file-base-name [port]]
#include <QApplication>
#include <clocale>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/qt/Application.h"

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
        korvel::Application app({clock, prompter, korvel::OpenSerialPort});
        if (app.Start(QApplication::arguments().mid(1))) {
            QApplication::exec();
        }
    }          // the port is closed here
    return 1;  // the program's exit code, after a normal run and a failed start alike
}
