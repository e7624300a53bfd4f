// korvel-cli: upload, download, diff, peek, poke, monitor and the list of
// restore points from a terminal or a script, with the desktop program's
// link, transfers and acquisition.

#include <QCoreApplication>
#include <cstdio>

#include "cli/CliArguments.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"

int main(int argc, char** argv) {
    using namespace korvel;
    // From the start, so that no signal or closed pipe ends a command mid-sequence.
    InstallInterruptHandler();
    std::string error;
    const std::optional<CliArguments> args = ParseCliArguments(argc, argv, error);
    if (!args) {
        std::fprintf(stderr, "korvel-cli: %s\n\n%s", error.c_str(), CliUsage);
        return ExitUsage;
    }
    if (args->command == CliCommandKind::Help) {
        std::fputs(CliUsage, stdout);
        return ExitSuccess;
    }
    if (args->command == CliCommandKind::Version) {
        std::puts("korvel-cli " KORVEL_VERSION);
        return ExitSuccess;
    }
    QCoreApplication app(argc, argv);  // QSerialPort wants an application object
    switch (args->command) {
        case CliCommandKind::Upload:
            return RunUpload(*args);
        case CliCommandKind::Download:
            return RunDownload(*args);
        case CliCommandKind::Diff:
            return RunDiff(*args);
        case CliCommandKind::Peek:
            return RunPeek(*args);
        case CliCommandKind::Poke:
            return RunPoke(*args);
        case CliCommandKind::Monitor:
            return RunMonitor(*args);
        case CliCommandKind::RestorePoints:
            return RunRestorePoints(*args);
        case CliCommandKind::Help:
        case CliCommandKind::Version:
            break;
    }
    return ExitUsage;
}
