#include "monitor/qt/MonitorPanel.h"

#include <gtest/gtest.h>

#include <QImage>

namespace korvel {
namespace {

struct MonitorPanelTest : ::testing::Test {
    void SetUp() override {
        ParseMonitorFile("MAP,1,1\nRPM,2,1\n", monitor);
        panel.SetMonitorLoaded(true);
        panel.resize(600, 400);
    }
    QImage Sample(int32_t ms, uint32_t raw) {
        monitor.sampleTimes[1] = ms;
        monitor.liveValues[1] = raw;
        panel.UpdateMonitor();
        return Shot();
    }
    QImage Shot() { return panel.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Pixels of channel 0's colour inside the plot area, right of column `fromX`.
    int RedPixels(const QImage& image, int fromX = 0) {
        const PlotRect r = panel.Frame().plotRect;
        int count = 0;
        for (int y = r.top + 1; y < r.bottom; ++y) {
            for (int x = std::max(fromX, r.left + 1); x < r.right; ++x) {
                count += image.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
            }
        }
        return count;
    }

    MonitorFile monitor;
    PlotState plot;
    MonitorPanel panel{monitor, plot};
};

// A repaint (uncovering, a closing dialog) shows the sweep again; a new sweep
// or a resize starts from a clear chart; without a monitor file nothing is drawn.
TEST_F(MonitorPanelTest, RepaintKeepsTheSweepRestartResizeAndNoListClearIt) {
    plot.AddChannel(1, 0.0f, 255.0f);
    Sample(1000, 50);
    const QImage before = Sample(9000, 200);
    EXPECT_GT(RedPixels(before), 20);
    panel.repaint();
    EXPECT_EQ(Shot(), before);

    const QImage afterRestart = Sample(2000, 100);  // wrapped: a new sweep from the left edge
    EXPECT_GT(RedPixels(afterRestart), 0);
    EXPECT_EQ(RedPixels(afterRestart, PlotPointX(2000, 20, panel.Frame().plotRect) + 2), 0);
    panel.resize(640, 420);
    EXPECT_EQ(RedPixels(Shot()), 0);

    panel.SetMonitorLoaded(false);
    Sample(3000, 50);
    QImage white(panel.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(Sample(9000, 200), white);
}

// A value far above the chart is drawn along its top edge, never over the names.
TEST_F(MonitorPanelTest, AValueFarBeyondTheRangeIsDrawnAtTheEdgeInsideThePlotArea) {
    plot.AddChannel(1, 0.0f, 30.0f);
    const QImage before = Sample(1000, 10), after = Sample(9000, 255);
    const PlotRect r = panel.Frame().plotRect;
    const int h = panel.Metrics().height, w = after.width();
    // The names' row and the band above the plot area are untouched (the value's text changed).
    for (const QRect& band : {QRect(0, 0, w, h), QRect(0, 2 * h, w, r.top - 2 * h)}) {
        EXPECT_EQ(after.copy(band), before.copy(band)) << band.y();
    }
    EXPECT_EQ(after.pixel(PlotPointX(9000, 20, r) - 1, r.top), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace korvel
