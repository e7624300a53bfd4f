// File > Start Log... / Stop Log and the rate pane, driven through the menu
// against the in-process virtual ECU; each pass moves the fake clock on by 50 ms.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

#include "app/qt/DataLogControl.h"
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
    DataLogControl& Log() { return h.Window().LogControl(); }

    AppHarness h;
    long passes = 0;
};

TEST_F(DataLogging, ANewVariableListGoesOnInTheNextFreeFileAndQuitClosesIt) {
    // A data file is open: the log is proposed beside it.
    h.Trigger(CmdOpen, {h.WriteFile("engine.dat", "1\r\n")});
    const std::string proposed = DefaultLogName(h.clock.WallMs());
    h.WriteFile("run.csv", "an older log\n");
    h.WriteFile("run-2.csv", "another\n");
    EXPECT_EQ(LogMenu(), "Start Log...");
    // run.csv is there: asked, not replaced; asked again, replaced.
    h.Trigger(CmdLog, {h.dir.filePath("run.csv"), h.dir.filePath("run.csv")},
              {Prompter::Answer::Cancel, Prompter::Answer::Save});
    EXPECT_EQ(h.prompter.fileDialogs.at(1).initialName,
              h.dir.filePath(QString::fromStdString(proposed)));
    EXPECT_EQ(h.prompter.fileDialogs.at(2).initialName, h.dir.filePath("run.csv"));
    ASSERT_EQ(h.prompter.questions.size(), 2u);
    EXPECT_EQ(h.prompter.questions[0].text, "run.csv already exists.\nDo you want to replace it?");
    EXPECT_EQ(h.prompter.questions[0].accept, "Replace");
    EXPECT_EQ(LogMenu(), "Stop Log");
    ASSERT_TRUE(RunPasses(2));
    h.Trigger(CmdMonitor, {h.WriteFile("next.cfg", "RPM,40,1\n")});
    ASSERT_TRUE(h.RunUntilMonitoring());
    ASSERT_TRUE(RunPasses(2));
    EXPECT_TRUE(h.Pane().startsWith("Logging to run-3.csv: ")) << h.Pane().toStdString();
    EXPECT_EQ(Lines(h.dir.filePath("run-2.csv")), QStringList{"another"});  // never replaced
    h.Trigger(CmdQuit, {}, {Prompter::Answer::Discard});  // quit without a Download
    EXPECT_FALSE(Log().Running());
    EXPECT_TRUE(h.Pane().startsWith("Log closed: ")) << h.Pane().toStdString();
    EXPECT_TRUE(h.Pane().endsWith(" samples in run-3.csv")) << h.Pane().toStdString();
    // Each file whole: its list's header and units, every line with as many columns.
    for (const auto& [name, header, units] :
         {std::tuple<QString, QString, QString>{"run.csv", "Time,Val,MAP", "s,,inHg"},
          {"run-3.csv", "Time,RPM", "s,"}}) {
        const QStringList lines = Lines(h.dir.filePath(name));
        ASSERT_GE(lines.size(), 4) << name.toStdString();
        EXPECT_EQ(lines.mid(0, 2), QStringList({header, units}));
        for (const QString& line : lines) {
            EXPECT_EQ(line.count(','), header.count(',')) << name.toStdString();
        }
    }
}

// Acquisition, and with it the log, goes on while a menu and then a message
// box run their own loops: the log has no gap longer than three pass times.
TEST_F(DataLogging, AMenuAndAMessageBoxLeaveNoHoleInTheLog) {
    h.Trigger(CmdLog, {h.dir.filePath("pull.csv")});
    ASSERT_TRUE(RunPasses(20));
    // A second of the clock passes in the loop, in small steps, the way time goes.
    const auto aSecondGoesBy = [&] {
        for (int i = 0; i < 100; ++i) {
            h.clock.Advance(10);
            QCoreApplication::processEvents();
        }
    };
    QMenu* file = h.Window().menuBar()->actions().at(0)->menu();
    long inMenu = 0, inBox = 0;
    QTimer::singleShot(0, [&] {
        const long before = passes;
        aSecondGoesBy();
        inMenu = passes - before;
        file->hide();
    });
    file->exec(h.Window().geometry().center());
    QTimer::singleShot(0, [&] {
        const long before = passes;
        aSecondGoesBy();
        inBox = passes - before;
        QApplication::activeModalWidget()->close();
    });
    QMessageBox::information(&h.Window(), "Korvel", "A message");
    EXPECT_GT(inMenu, 5);
    EXPECT_GT(inBox, 5);
    ASSERT_TRUE(RunPasses(20));
    h.Trigger(CmdLog);  // Stop Log

    std::vector<double> times;
    for (const QString& line : Lines(h.dir.filePath("pull.csv")).mid(2)) {
        times.push_back(line.section(',', 0, 0).toDouble());
    }
    ASSERT_GT(times.size(), 50u);
    std::vector<double> steps;
    for (size_t i = 1; i < times.size(); ++i) {
        steps.push_back(times[i] - times[i - 1]);
    }
    std::vector<double> sorted = steps;
    std::ranges::sort(sorted);
    const double passTime = sorted[sorted.size() / 2];
    EXPECT_LE(*std::ranges::max_element(steps), 3 * passTime) << "a pass takes " << passTime;
}

// korvel-data-log.png and, after a resize, korvel-data-log-resized.png in the
// build folder, for a person to look at; then Stop Log, and off line the
// values stand in grey and the rate pane shows nothing.
TEST_F(DataLogging, ScreenshotsDuringALogThenStopLogAndOffLine) {
    h.Trigger(CmdMonitor, {KORVEL_SOURCE_DIR "/data/Mon.cfg", h.dir.filePath("demo.csv")});
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.ecu.AnimateVariables(h.State().monitor);
    h.State().plot.AddChannel(0, 0.0f, 255.0f);
    h.State().plot.AddChannel(7, 0.0f, 255.0f);
    h.State().plot.AddChannel(1, 0.0f, 3000.0f);
    h.Window().resize(900, 600);
    h.Trigger(CmdLog);
    ASSERT_TRUE(RunPasses(300));  // 15 s of the engine
    ASSERT_TRUE(h.Window().grab().toImage().save(KORVEL_BINARY_DIR "/korvel-data-log.png"));
    EXPECT_TRUE(h.Pane().startsWith("Logging to demo.csv: "));
    EXPECT_EQ(Log().RateText(), "20.0 samples/s");
    MonitorPanel& panel = *h.Window().Panel();
    const auto redPixels = [&] {
        const QImage image = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const PlotRect r = panel.Frame().plotRect;
        int count = 0;
        for (int y = r.top + 1; y < r.bottom; ++y) {
            for (int x = r.left + 1; x < r.right; ++x) {
                count += image.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
            }
        }
        return count;
    };
    const int before = redPixels();
    EXPECT_GT(before, 200);
    h.Window().resize(1100, 700);
    ASSERT_TRUE(h.Window().grab().toImage().save(KORVEL_BINARY_DIR "/korvel-data-log-resized.png"));
    EXPECT_GT(redPixels(), before);  // the same line, drawn wider

    h.Trigger(CmdLog);  // Stop Log
    EXPECT_EQ(LogMenu(), "Start Log...");
    EXPECT_TRUE(h.Pane().startsWith("Log closed: ") && h.Pane().endsWith(" samples in demo.csv"))
        << h.Pane().toStdString();
    EXPECT_GE(Lines(h.dir.filePath("demo.csv")).size(), 300);

    // Silent: the time-out passes on the fake clock, so the steps are taken by hand.
    // Whether variable 0's value shows pixels of this colour.
    const auto valueIn = [&](const QColor& colour) {
        const QImage image = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect box = panel.ValueBox(0);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                if (image.pixel(x, y) == colour.rgb()) {
                    return true;
                }
            }
        }
        return false;
    };
    const QColor red(255, 0, 0), grey = MonitorPanel::ValueColour(true);
    EXPECT_TRUE(valueIn(red) && !valueIn(grey));
    const QString value = panel.ValueText(0);
    h.ecu.faults.silent = true;
    for (int i = 0; i < 5 && h.Flags().Test(EcuOnLine); ++i) {
        h.clock.Advance(OffLineTimeoutMs + 1);
        h.State().driver.Step();
    }
    EXPECT_FALSE(h.Flags().Test(EcuOnLine));
    EXPECT_EQ(Log().RateText(), "");
    EXPECT_TRUE(valueIn(grey) && !valueIn(red));  // the last value, in grey
    EXPECT_EQ(panel.ValueText(0), value);
    h.ecu.faults.silent = false;
    h.clock.Advance(OffLineTimeoutMs + 1);  // the probe sent into the silence times out
    h.State().driver.Step();
    ASSERT_TRUE(RunPasses(1));
    EXPECT_TRUE(valueIn(red) && !valueIn(grey));
}

}  // namespace
}  // namespace korvel
