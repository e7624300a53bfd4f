// Renders the main window with nine variables and three plotted channels to
// korvel-main-window.png in the build folder, for a person to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

const char* const NineVariables =
    "MAP,1,1\nPW,2,2\nTair,3,1\nTcoo,4,1\nBat,5,1\nDer,6,1\nFuel,7,1\nRPM,8,2\nSpeed,9,1\n";

TEST(Screenshot, NineVariablesThreeChannels) {
    FakeClock clock;
    ScriptedPrompter prompter;
    Session session(clock, prompter);
    MainWindow window(session);
    ParseMonitorFile(NineVariables, session.monitor);
    session.scheduler.statusFlags.Set(MonitorLoaded);
    session.plot.AddChannel(0, 0.0f, 255.0f);
    session.plot.AddChannel(7, 0.0f, 3000.0f);
    session.plot.AddChannel(8, 0.0f, 100.0f);
    window.resize(800, 600);
    window.show();

    MonitorFile& m = session.monitor;
    for (int i = 0; i <= 120; ++i) {
        const double t = i / 10.0;
        for (int k = 0; k < 9; ++k) {
            m.liveValues[static_cast<size_t>(k)] = static_cast<uint32_t>(100 + 10 * k + i % 7);
            m.sampleTimes[static_cast<size_t>(k)] = i * 100;
        }
        m.liveValues[0] = static_cast<uint32_t>(128 + 100 * std::sin(t));
        m.liveValues[7] = static_cast<uint32_t>(1500 + 1000 * std::sin(t / 2));
        m.liveValues[8] = static_cast<uint32_t>(50 + 40 * std::cos(t * 1.5));
        window.Panel()->UpdateMonitor();
    }
    const QImage shot = window.grab().toImage();
    ASSERT_TRUE(shot.save(KORVEL_BINARY_DIR "/korvel-main-window.png"));

    const TextMetrics metrics = window.Panel()->Metrics();
    const ChartFrame frame = window.Panel()->Frame();
    EXPECT_EQ(NamePosition(8, metrics).y, 3 * metrics.height);
    EXPECT_EQ(frame.band.top, 5 * metrics.height);
    // The band's top edge: white just above it, grey from it on (panel coordinates).
    const QImage panel = window.Panel()->grab().toImage();
    const int x = panel.width() - 3;
    EXPECT_EQ(panel.pixel(x, frame.band.top - 1), qRgb(255, 255, 255));
    EXPECT_EQ(panel.pixel(x, frame.band.top), qRgb(200, 200, 200));
    // Variable 8's name sits in the second row, in channel 2's green.
    bool green = false;
    for (int y = 3 * metrics.height; y < 4 * metrics.height; ++y) {
        for (int px = 0; px < 6 * metrics.averageWidth; ++px) {
            green = green || panel.pixel(px, y) == qRgb(0, 255, 0);
        }
    }
    EXPECT_TRUE(green);
}

}  // namespace
}  // namespace korvel
