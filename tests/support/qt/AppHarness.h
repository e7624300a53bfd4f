#pragma once
// The desktop program built around an in-process virtual ECU, a fake clock
// and a scripted prompter, for GUI tests on the offscreen platform.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "app/qt/Application.h"
#include "app/qt/MainWindow.h"
#include "calib/DataFile.h"
#include "sim/VirtualEcu.h"
#include "tests/support/FakeClock.h"
#include "tests/support/SessionRig.h"  // Pattern
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {

// The demonstration calibration, data/demo.dat.
inline CalibrationImage Demo() {
    CalibrationImage demo;
    EXPECT_EQ(ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", demo).valuesStored, ImageSize);
    return demo;
}

class AppHarness {
public:
    FakeClock clock;
    VirtualEcu ecu;
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    bool portOpens = true;
    std::vector<std::string> openedPorts;  // every port name the program tried to open
    std::vector<PortInfo> ports;           // what the system's port list shows
    // Each opened port gets a stand-in device here, open until a test closes
    // it (an unplug); the last is the one in use.
    std::vector<std::unique_ptr<QBuffer>> devices;
    PortOpener openWith;  // when set, opens the ports instead (a real serial port)
    // The user's data folder ($XDG_DATA_HOME/korvel) lies in the temporary
    // folder, so start-up never finds a Mon.cfg of the developer's own.
    const bool userDataHere = qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    std::unique_ptr<Application> app = std::make_unique<Application>(
        AppContext{clock, prompter,
                   [this](const std::string& name, Reporter& reporter) {
                       openedPorts.push_back(name);
                       if (openWith) {
                           return openWith(name, reporter);
                       }
                       if (!portOpens) {
                           reporter.ShowMessage("Error Opening Serial Port");
                           return OpenedPort{};
                       }
                       devices.push_back(std::make_unique<QBuffer>());
                       devices.back()->open(QIODevice::ReadWrite);
                       return OpenedPort{std::make_unique<InProcessEcuTransport>(
                                             ecu, clock, [this](int64_t ms) { clock.Advance(ms); }),
                                         devices.back().get(),
                                         {}};
                   },
                   [this] { return ports; }, PointsFolder()});

    // The restore points and the recovery copy of this run's program.
    std::string PointsFolder() const { return dir.filePath("points").toStdString(); }
    // A file in the temporary folder; returns its path.
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }
    // Starts with the monitor file `config` as the command line's "engine".
    bool StartWithMonitor(const QByteArray& config) {
        WriteFile("engine.cfg", config);
        return app->Start({dir.filePath("engine")});
    }

    MainWindow& Window() { return app->Window(); }
    ProgramState& State() { return app->State(); }
    CalibrationSession& Session() { return app->State().session; }
    // The session's image, for a test to look at or to set up behind its back.
    CalibrationImage& Image() { return app->State().session.ModelImage(); }
    // Opens `image` from a data file in the temporary folder, as File > Open does.
    void Load(const CalibrationImage& image, const QString& name = "loaded.dat") {
        Session().Open(
            WriteFile(name, QByteArray::fromStdString(FormatDataFile(image))).toStdString());
        Window().RefreshCommands();
    }
    StatusFlags& Flags() { return app->State().scheduler.statusFlags; }
    QString Pane(int pane = MessagePane) { return Window().PaneText(pane); }
    void Trigger(int command) { Window().Action(command)->trigger(); }
    // Runs a command with the file dialogs and questions it meets answered.
    void Trigger(int command, std::deque<QString> files,
                 std::deque<Prompter::Answer> answers = {}) {
        prompter.fileAnswers = std::move(files);
        prompter.answers = std::move(answers);
        Trigger(command);
    }

    // Lets the event loop run until `done` holds (false after a generous
    // safety limit). The fake clock does not move meanwhile.
    bool RunUntil(const std::function<bool()>& done) {
        QElapsedTimer safety;
        safety.start();
        while (!done() && safety.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        return done();
    }
    // On line with every slot bound and at least one full pass shown.
    bool RunUntilMonitoring() {
        return RunUntil([this] {
            return Flags().Test(EcuOnLine) && Flags().Test(SlotsLoaded) &&
                   !Window().Panel()->ValueText(0).isEmpty();
        });
    }
};

}  // namespace korvel
