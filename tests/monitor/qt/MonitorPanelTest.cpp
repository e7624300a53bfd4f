#include "monitor/qt/MonitorPanel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>
#include <set>

namespace korvel {
namespace {

struct MonitorPanelTest : ::testing::Test {
    void SetUp() override {
        ParseMonitorFile("MAP,1,1\nRPM,2,1\n", monitor);
        panel.SetMonitorLoaded(true);
        panel.resize(600, 400);
    }
    // A pass whose RPM read came at `ms`; `gapMs`: acquisition stopped then.
    QImage Pass(int64_t ms, uint32_t raw, int64_t gapMs = NoGap) {
        Sample sample;
        sample.variableCount = 2;
        sample.raw = {100, raw};
        sample.readMs = {ms - 10, ms};
        sample.passMs = ms;
        sample.gapMs = gapMs;
        target->UpdateMonitor(sample);
        return Shot();
    }
    // Passes every `everyMs` from `fromMs` up to `toMs`, RPM rising by one count a pass.
    QImage Passes(int64_t fromMs, int64_t toMs, int64_t everyMs, uint32_t raw = 50) {
        for (int64_t ms = fromMs; ms < toMs; ms += everyMs) {
            Pass(ms, raw++);
        }
        return Shot();
    }
    QImage Shot() { return target->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    int X(int64_t ms) const {
        return PlotPointX(ms, SweepStartMs(ms, 20), 20, panel.Frame().plotRect);
    }
    // Pixels of channel 0's colour inside the plot area, in columns fromX..toX
    // and below row fromY.
    int RedPixels(const QImage& image, int fromX = 0, int toX = 1 << 20, int fromY = 0) {
        const PlotRect r = target->Frame().plotRect;
        int count = 0;
        for (int y = std::max(fromY, r.top + 1); y < r.bottom; ++y) {
            for (int x = std::max(fromX, r.left + 1); x < std::min(toX + 1, r.right); ++x) {
                count += image.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
            }
        }
        return count;
    }
    // The columns from fromX to toX that hold no red pixel.
    int EmptyColumns(const QImage& image, int fromX, int toX) {
        int empty = 0;
        for (int x = fromX; x <= toX; ++x) {
            empty += RedPixels(image, x, x) == 0 ? 1 : 0;
        }
        return empty;
    }
    void Save(const QImage& image, const char* name) {
        ASSERT_TRUE(image.save(QString(KORVEL_BINARY_DIR "/") + name));
    }

    MonitorFile monitor;
    PlotState plot;
    MonitorPanel panel{monitor, plot};
    MonitorPanel* target = &panel;  // the panel the passes go to
};

// The chart keeps what it read: a resize draws the same lines to the new
// size, and back at the old size gives the same pixels; so does a new range
// and its undoing. korvel-chart-resized.png shows it after the resize.
TEST_F(MonitorPanelTest, AResizeRedrawsTheSameLines) {
    plot.AddChannel(1, 0.0f, 255.0f);
    const QImage before = Passes(1000, 15'000, 100);
    ASSERT_GT(RedPixels(before), 140);
    panel.resize(800, 500);
    const QImage resized = Shot();
    Save(resized, "korvel-chart-resized.png");
    MonitorFile sameList = monitor;
    PlotState samePlot;
    samePlot.AddChannel(1, 0.0f, 255.0f);
    MonitorPanel fresh{sameList, samePlot};
    fresh.SetMonitorLoaded(true);
    fresh.resize(800, 500);
    target = &fresh;
    EXPECT_EQ(resized, Passes(1000, 15'000, 100));  // as if drawn at that size from the start
    target = &panel;
    // Nothing below the line's lowest value: no flat line at 0, no ramp up to the present.
    const int lowest = *PlotPointY(50, 0.0f, 255.0f, panel.Frame().plotRect);
    EXPECT_EQ(RedPixels(resized, 0, 1 << 20, lowest + 2), 0);

    panel.resize(600, 400);
    EXPECT_EQ(Shot(), before);
    plot.plotMaximum[0] = 510.0f;
    panel.update();
    EXPECT_NE(Shot(), before);
    plot.plotMaximum[0] = 255.0f;
    panel.update();
    EXPECT_EQ(Shot(), before);
    panel.repaint();  // uncovering shows the sweep again
    EXPECT_EQ(Shot(), before);
}

// No segment joins two reads across a pause: neither when the pass says so
// nor when only its lateness does; a slow line at a steady pace is one
// unbroken line. korvel-chart-pause.png shows the break.
TEST_F(MonitorPanelTest, APauseBreaksTheLineAndASlowSteadyLineDoesNot) {
    plot.AddChannel(1, 0.0f, 255.0f);
    Passes(1000, 6000, 50);
    Pass(8000, 150, 6001);  // 2 s paused; the value moved meanwhile
    const QImage told = Passes(8050, 12'000, 50, 151);
    Save(told, "korvel-chart-pause.png");
    EXPECT_EQ(EmptyColumns(told, X(6000), X(8000) - 1), X(8000) - X(6000));
    EXPECT_GT(RedPixels(told, X(8050), X(12'000)), 100);

    panel.ClearTraces();
    Passes(21'000, 26'000, 50);
    Pass(28'000, 200);  // the same pause, which nothing told of
    const QImage late = Passes(28'050, 32'000, 50);
    EXPECT_EQ(EmptyColumns(late, X(26'000), X(28'000) - 1), X(28'000) - X(26'000));

    panel.ClearTraces();
    const QImage slow = Passes(41'000, 59'000, 500);  // ten times slower
    EXPECT_EQ(EmptyColumns(slow, X(41'000), X(58'500)), 0);
}

// A new sweep starts from a clear chart; without a monitor file nothing is drawn.
TEST_F(MonitorPanelTest, ANewSweepClearsTheChartAndNoListDrawsNothing) {
    plot.AddChannel(1, 0.0f, 255.0f);
    Pass(1000, 50);
    EXPECT_GT(RedPixels(Pass(9000, 200)), 20);
    const QImage afterRestart = Pass(22'000, 100);  // a new sweep from the left edge
    EXPECT_GT(RedPixels(afterRestart), 0);
    EXPECT_EQ(RedPixels(afterRestart, X(22'000) + 2), 0);

    panel.SetMonitorLoaded(false);
    Pass(23'000, 50);
    QImage white(panel.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(Pass(29'000, 200), white);
}

// A value far above the chart is drawn along its top edge, never over the names.
TEST_F(MonitorPanelTest, AValueFarBeyondTheRangeIsDrawnAtTheEdgeInsideThePlotArea) {
    plot.AddChannel(1, 0.0f, 30.0f);
    const QImage before = Pass(1000, 10), after = Pass(9000, 255);
    const PlotRect r = panel.Frame().plotRect;
    const int h = panel.Metrics().height, w = after.width();
    // The names' row and the band above the plot area are untouched (the value's text changed).
    for (const QRect& band : {QRect(0, 0, w, h), QRect(0, 2 * h, w, r.top - 2 * h)}) {
        EXPECT_EQ(after.copy(band), before.copy(band)) << band.y();
    }
    EXPECT_EQ(after.pixel(X(9000) - 1, r.top), qRgb(255, 0, 0));
}

// Off line the last values stand in grey, live again in red at the next
// pass; each says what it is in its tooltip.
TEST_F(MonitorPanelTest, StaleValuesAreGreyAndEveryValueExplainsItself) {
    const auto colours = [&](const QImage& image) {
        std::set<QRgb> found;
        const QRect box = panel.ValueBox(0);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                found.insert(image.pixel(x, y));
            }
        }
        found.erase(qRgb(255, 255, 255));
        return found;
    };
    QImage live = Pass(1000, 90);
    EXPECT_TRUE(colours(live).contains(qRgb(255, 0, 0)));
    EXPECT_FALSE(colours(live).contains(MonitorPanel::ValueColour(true).rgb()));
    panel.SetStale(true);
    const QImage stale = Shot();
    EXPECT_FALSE(colours(stale).contains(qRgb(255, 0, 0)));
    EXPECT_TRUE(colours(stale).contains(MonitorPanel::ValueColour(true).rgb()));
    EXPECT_EQ(panel.ValueText(0), " 14.0 ");  // the values stay
    live = Pass(1100, 90);
    EXPECT_FALSE(panel.Stale());
    EXPECT_TRUE(colours(live).contains(qRgb(255, 0, 0)));

    EXPECT_EQ(panel.ValueToolTip(0), "MAP 14.0 inHg (raw 100)");
    EXPECT_EQ(panel.ValueToolTip(1), "RPM 90 (raw 90)");
    panel.show();
    QHelpEvent help(QEvent::ToolTip, panel.ValueBox(1).center(),
                    panel.mapToGlobal(panel.ValueBox(1).center()));
    QCoreApplication::sendEvent(&panel, &help);
    EXPECT_EQ(QToolTip::text(), "RPM 90 (raw 90)");
    QToolTip::hideText();
}

}  // namespace
}  // namespace korvel
