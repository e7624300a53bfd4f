// Renders the main window with nine variables and three plotted channels to
// korvel-main-window.png in the build folder, for a person to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

TEST(Screenshot, NineVariablesThreeChannels) {
    FakeClock clock;
    ScriptedPrompter prompter;
    ProgramState state(clock, prompter);
    MainWindow window(state);
    MonitorFile& m = state.monitor;
    ParseMonitorFile(
        "MAP,1,1\nPW,2,2\nTair,3,1\nTcoo,4,1\nBat,5,1\nDer,6,1\nFuel,7,1\nRPM,8,2\nSpeed,9,1\n", m);
    state.scheduler.statusFlags.Set(MonitorLoaded);
    window.Panel()->SetMonitorLoaded(true);
    state.plot.AddChannel(0, 0.0f, 255.0f);
    state.plot.AddChannel(7, 0.0f, 3000.0f);
    state.plot.AddChannel(8, 0.0f, 100.0f);
    window.resize(800, 600);
    window.show();
    for (int i = 0; i <= 120; ++i) {  // 12 s of values swinging inside their channels
        Sample pass;
        pass.variableCount = 9;
        for (size_t k = 0; k < 9; ++k) {
            const double middle = k == 7 ? 1500 : k == 8 ? 50 : 128;
            pass.raw[k] = static_cast<uint32_t>(middle * (1 + std::sin(i / (8.0 + k)) / 2));
            pass.readMs[k] = i * 100;
        }
        pass.passMs = i * 100;
        window.Panel()->UpdateMonitor(pass);
    }
    ASSERT_TRUE(window.grab().toImage().save(KORVEL_BINARY_DIR "/korvel-main-window.png"));

    const int h = window.Panel()->Metrics().height;
    const int top = window.Panel()->Frame().band.top;
    // The band's top edge: white just above it, grey from it on (panel coordinates).
    const QImage panel = window.Panel()->grab().toImage();
    EXPECT_EQ(panel.pixel(panel.width() - 3, top - 1), qRgb(255, 255, 255));
    EXPECT_EQ(panel.pixel(panel.width() - 3, top), qRgb(200, 200, 200));
    // Variable 8's name sits in the second row, in channel 2's green.
    bool green = false;
    for (int y = 3 * h; y < 4 * h; ++y) {
        for (int x = 0; x < 6 * window.Panel()->Metrics().averageWidth; ++x)
            green = green || panel.pixel(x, y) == qRgb(0, 255, 0);
    }
    EXPECT_TRUE(green);
}

}  // namespace
}  // namespace korvel
