// File > Start Log... / Stop Log and the rate pane, driven through the menu
// against the in-process virtual ECU. Each pass moves the fake clock on by
// 50 ms, so the program samples at exactly 20 passes a second.
#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>

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
        h.State().scheduler.AddPassObserver([this](const Sample& sample) {
            ++passes;
            h.clock.Advance(50);
            chart.emplace_back(sample.raw[0], h.State().plot.previousRaw);
        });
        ASSERT_TRUE(h.RunUntilMonitoring());
    }
    bool RunPasses(long count) {
        const long until = passes + count;
        return h.RunUntil([&] { return passes >= until; });
    }
    QString LogPane() const { return h.app->Window().PaneText(MessagePane); }

    AppHarness h;
    long passes = 0;
    // Variable 0 as read and the chart's carry state after each pass.
    std::vector<std::pair<uint32_t, std::array<int32_t, 3>>> chart;
};

TEST_F(DataLogging, TheLogGetsTheValuesAsReadWhateverTheChartCorrects) {
    // A data file in the harness's folder: the log is proposed beside it.
    h.prompter.fileAnswers = {h.WriteFile("engine.dat", "1\r\n"), h.dir.filePath("run.csv")};
    h.Trigger(CmdOpen);
    const std::string proposed = DefaultLogName(h.clock.WallMs());
    h.Trigger(CmdLog);
    EXPECT_EQ(h.prompter.fileDialogs.back().initialName,
              h.dir.filePath(QString::fromStdString(proposed)));
    EXPECT_EQ(h.Window().Action(CmdLog)->text(), "Stop Log");

    // Variable 0 on two channels steps from 0 to 255: the chart undoes a
    // "carry" (the second channel sees the corrected value), the log does not.
    h.State().plot.AddChannel(0, 0.0f, 255.0f);
    h.State().plot.AddChannel(0, 0.0f, 255.0f);
    h.ecu.memory[0x40] = 0;
    ASSERT_TRUE(RunPasses(3));
    h.ecu.memory[0x40] = 255;
    ASSERT_TRUE(RunPasses(3));
    const auto step = std::find_if(chart.begin(), chart.end(),
                                   [](const auto& pass) { return pass.first == 255; });
    ASSERT_NE(step, chart.end());
    EXPECT_EQ(step->second, (std::array<int32_t, 3>{255, -1, 0}));
    const QString status = LogPane();

    h.Trigger(CmdLog);  // Stop Log
    EXPECT_EQ(h.Window().Action(CmdLog)->text(), "Start Log...");
    const QStringList lines = Lines(h.dir.filePath("run.csv"));
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines.mid(0, 2), QStringList({"Time,Val,MAP", "s,,kPa"}));
    EXPECT_EQ(status, QString("Logging to run.csv: %1 samples").arg(lines.size() - 2));
    EXPECT_EQ(lines.last().section(',', 1, 1), "255");
    for (const QString& line : lines.mid(2)) {
        EXPECT_TRUE(line.contains(QRegularExpression(R"(^\d+\.\d{3},(0|255),\d+\.\d$)")))
            << line.toStdString();
    }
}

TEST_F(DataLogging, ANewVariableListGoesIntoANewFileAndQuitClosesIt) {
    h.prompter.fileAnswers = {h.dir.filePath("run.csv")};
    h.Trigger(CmdLog);
    ASSERT_TRUE(RunPasses(2));
    h.prompter.fileAnswers = {h.WriteFile("next.cfg", "RPM,40,1\n")};
    h.Trigger(CmdMonitor);
    ASSERT_TRUE(h.RunUntilMonitoring());
    ASSERT_TRUE(RunPasses(2));
    EXPECT_TRUE(LogPane().startsWith("Logging to run-2.csv: ")) << LogPane().toStdString();
    h.Trigger(CmdQuit);
    EXPECT_FALSE(h.State().dataLog.Running());
    // Each file whole: its list's header, and every line with as many columns.
    for (const auto& [name, header] :
         {std::pair<QString, QString>{"run.csv", "Time,Val,MAP"}, {"run-2.csv", "Time,RPM"}}) {
        const QStringList lines = Lines(h.dir.filePath(name));
        ASSERT_GE(lines.size(), 4) << name.toStdString();
        EXPECT_EQ(lines[0], header);
        for (const QString& line : lines) {
            EXPECT_EQ(line.count(','), header.count(',')) << name.toStdString();
        }
    }
}

TEST_F(DataLogging, TheRatePaneShowsPassesPerSecondOrNothingOffLine) {
    ASSERT_TRUE(RunPasses(45));  // more than the 2 s window
    EXPECT_EQ(h.Window().RateText(), "20.0 samples/s");
    // Silent: the time-out passes on the fake clock, so the steps are taken by hand.
    h.ecu.faults.silent = true;
    for (int i = 0; i < 5 && h.Flags().Test(EcuOnLine); ++i) {
        h.clock.Advance(OffLineTimeoutMs + 1);
        h.State().driver.Step();
    }
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));
    EXPECT_EQ(h.Window().RateText(), "");
}

// korvel-data-log.png in the build folder, for a person to look at.
TEST_F(DataLogging, ScreenshotOfTheMainWindowDuringALog) {
    h.prompter.fileAnswers = {KORVEL_SOURCE_DIR "/data/Mon.cfg", h.dir.filePath("demo.csv")};
    h.Trigger(CmdMonitor);
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.ecu.AnimateVariables(h.State().monitor);
    h.State().plot.AddChannel(0, 0.0f, 30.0f);  // MAP in counts: mostly beyond the range
    h.State().plot.AddChannel(7, 0.0f, 255.0f);
    h.State().plot.AddChannel(1, 0.0f, 3000.0f);
    h.Window().resize(900, 600);
    h.Trigger(CmdLog);
    ASSERT_TRUE(RunPasses(300));  // 15 s of the engine
    ASSERT_TRUE(h.Window().grab().toImage().save(KORVEL_BINARY_DIR "/korvel-data-log.png"));
    EXPECT_TRUE(LogPane().startsWith("Logging to demo.csv: "));
}

}  // namespace
}  // namespace korvel
