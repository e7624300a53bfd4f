// File > Start Log... / Stop Log and the rate pane, driven through the menu
// against the in-process virtual ECU; each pass moves the fake clock on by 50 ms.
#include <gtest/gtest.h>

#include <QImage>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

QStringList Lines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

struct DataLogging : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(h.StartWithMonitor("Val,40h,1\nMAP,26,1\n"));
        h.State().scheduler.AddPassObserver([this](const Sample&) {
            ++passes;
            h.clock.Advance(50);
        });
        ASSERT_TRUE(h.RunUntilMonitoring());
    }
    bool RunPasses(long count) {
        const long until = passes + count;
        return h.RunUntil([&] { return passes >= until; });
    }
    QString LogMenu() { return h.Window().Action(CmdLog)->text(); }

    AppHarness h;
    long passes = 0;
};

TEST_F(DataLogging, ANewVariableListGoesIntoANewFileAndQuitClosesIt) {
    // A data file is open: the log is proposed beside it.
    h.Trigger(CmdOpen, {h.WriteFile("engine.dat", "1\r\n"), h.dir.filePath("run.csv")});
    const std::string proposed = DefaultLogName(h.clock.WallMs());
    EXPECT_EQ(LogMenu(), "Start Log...");
    h.Trigger(CmdLog);
    EXPECT_EQ(h.prompter.fileDialogs.back().initialName,
              h.dir.filePath(QString::fromStdString(proposed)));
    EXPECT_EQ(LogMenu(), "Stop Log");
    ASSERT_TRUE(RunPasses(2));
    h.Trigger(CmdMonitor, {h.WriteFile("next.cfg", "RPM,40,1\n")});
    ASSERT_TRUE(h.RunUntilMonitoring());
    ASSERT_TRUE(RunPasses(2));
    EXPECT_TRUE(h.Pane().startsWith("Logging to run-2.csv: ")) << h.Pane().toStdString();
    h.Trigger(CmdQuit, {}, {Prompter::Answer::Discard});  // quit without a Download
    EXPECT_FALSE(h.State().dataLog.Running());
    // Each file whole: its list's header and units, every line with as many columns.
    for (const auto& [name, header, units] :
         {std::tuple<QString, QString, QString>{"run.csv", "Time,Val,MAP", "s,,kPa"},
          {"run-2.csv", "Time,RPM", "s,"}}) {
        const QStringList lines = Lines(h.dir.filePath(name));
        ASSERT_GE(lines.size(), 4) << name.toStdString();
        EXPECT_EQ(lines.mid(0, 2), QStringList({header, units}));
        for (const QString& line : lines) {
            EXPECT_EQ(line.count(','), header.count(',')) << name.toStdString();
        }
    }
}

// korvel-data-log.png in the build folder, for a person to look at; then the
// rate pane, which shows nothing off line.
TEST_F(DataLogging, ScreenshotDuringALogThenStopLogAndTheRatePane) {
    h.Trigger(CmdMonitor, {KORVEL_SOURCE_DIR "/data/Mon.cfg", h.dir.filePath("demo.csv")});
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.ecu.AnimateVariables(h.State().monitor);
    h.State().plot.AddChannel(0, 0.0f, 30.0f);  // MAP in counts: mostly beyond the range
    h.State().plot.AddChannel(7, 0.0f, 255.0f);
    h.State().plot.AddChannel(1, 0.0f, 3000.0f);
    h.Window().resize(900, 600);
    h.Trigger(CmdLog);
    ASSERT_TRUE(RunPasses(300));  // 15 s of the engine
    ASSERT_TRUE(h.Window().grab().toImage().save(KORVEL_BINARY_DIR "/korvel-data-log.png"));
    EXPECT_TRUE(h.Pane().startsWith("Logging to demo.csv: "));
    EXPECT_EQ(h.Window().RateText(), "20.0 samples/s");

    h.Trigger(CmdLog);  // Stop Log
    EXPECT_EQ(LogMenu(), "Start Log...");
    EXPECT_GE(Lines(h.dir.filePath("demo.csv")).size(), 300);
    // Silent: the time-out passes on the fake clock, so the steps are taken by hand.
    h.ecu.faults.silent = true;
    for (int i = 0; i < 5 && h.Flags().Test(EcuOnLine); ++i) {
        h.clock.Advance(OffLineTimeoutMs + 1);
        h.State().driver.Step();
    }
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));
    EXPECT_EQ(h.Window().RateText(), "");
}

}  // namespace
}  // namespace korvel
