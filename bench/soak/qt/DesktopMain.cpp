// korvel-soak-desktop: the desktop program as the soak runs it, on the
// offscreen platform with no one at the screen. It is the whole program;
// only its message boxes and file dialogs are answered by this prompter:
// File > Start Log... gets the log's path at once, and every message is
// printed on stderr (the soak counts them) instead of waiting for an OK.
//
// Usage: korvel-soak-desktop LOG.csv [monitor-file-base-name [port]]
// The first line on stdout is "log zero MS": the CLOCK_MONOTONIC time, in
// milliseconds, of the log's time 0.

#include <QApplication>
#include <clocale>
#include <cstdio>

#include "app/qt/Application.h"
#include "app/qt/DataLogControl.h"
#include "app/qt/MainWindow.h"

namespace {

using korvel::Prompter;

class UnattendedPrompter : public Prompter {
public:
    explicit UnattendedPrompter(QString logPath) : logPath_(std::move(logPath)) {}

    void Message(QWidget*, const QString& text, const QString& caption, Icon) override {
        Print("message", caption, text);
    }
    Answer AskToSave(QWidget*, const QString& text, const QString& caption) override {
        Print("asked to save", caption, text);
        return Answer::Discard;
    }
    bool Confirm(QWidget*, const QString& text, const QString& caption, const QString&) override {
        Print("asked", caption, text);
        return false;
    }
    std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&, const QString&,
                                        const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&, const QString&,
                                        const QString&) override {
        return logPath_;
    }
    QString Choose(QWidget*, const QString& text, const QString& caption, Icon,
                   const QStringList& buttons, int defaultButton) override {
        Print("asked", caption, text);
        return buttons.value(defaultButton);
    }

private:
    static void Print(const char* what, const QString& caption, const QString& text) {
        std::fprintf(stderr, "%s: %s: %s\n", what, qPrintable(caption),
                     qPrintable(QString(text).replace('\n', ' ')));
    }

    QString logPath_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: korvel-soak-desktop LOG.csv [monitor-file-base-name [port]]\n", stderr);
        return 2;
    }
    QApplication qtApp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    korvel::SystemClock clock;
    UnattendedPrompter prompter(QString::fromLocal8Bit(argv[1]));
    korvel::Application app({clock, prompter, korvel::OpenSerialPort});
    if (!app.Start(QApplication::arguments().mid(2))) {
        return 1;
    }
    korvel::ProgramState& state = app.State();
    const int64_t zero = clock.MonotonicMs() - state.scheduler.AcquisitionMs();
    const int64_t logStart = state.scheduler.AcquisitionMs();
    app.Window().LogControl().StartOrStop();
    if (!app.Window().LogControl().Log().Running()) {
        return 1;
    }
    std::printf("log zero %lld\n", static_cast<long long>(zero + logStart));
    std::fflush(stdout);
    QApplication::exec();
    return 0;
}
