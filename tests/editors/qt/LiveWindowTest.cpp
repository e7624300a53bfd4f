// The editor windows with the engine running: the live point and its trail
// on the tables, the live x on the curves, the heat colours, and the cost of
// following the passes. The ECU is the in-process one over a scripted port
// on a fake clock; its monitored variables hold what each step sets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPaintEvent>
#include <QTest>
#include <algorithm>

#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"
#include "tests/support/SessionRig.h"
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {
namespace {

constexpr uint8_t MapAddress = 26, RpmAddress = 40, FuelAddress = 35, CoolantAddress = 31,
                  AirAddress = 30;

QImage Shot(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int Count(const QImage& shot, QRect area, QColor colour) {
    int n = 0;
    area &= shot.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += shot.pixel(x, y) == colour.rgb() ? 1 : 0;
        }
    }
    return n;
}

// Records the areas a window paints.
struct PaintRecorder : QObject {
    QRegion painted;
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            ++paints;
        }
        return false;
    }
};

struct LiveWindows : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(session.Open(KORVEL_SOURCE_DIR "/data/demo.dat").valuesStored, ImageSize);
        ParseMonitorFile("MAP,26,1\nRPM,40,1\nFuel,35,1\nTcoo,31,1\nTair,30,1\n", rig.monitor);
        rig.ecu.memory[FuelAddress] = 0x01;  // gasoline
        rig.scheduler.AddPassObserver([this](const Sample&) { ++passes; });
    }
    // Lets `ms` pass and the next pass be read; each run ends just after a
    // pass, so the values set before it are all the next pass reads. Without
    // `events` no timer can run meanwhile.
    void Run(int64_t ms, bool events = true) {
        rig.clock.Advance(ms);
        const int until = passes + 1;
        rig.scheduler.RunUntil(rig.clock.MonotonicMs() + 60'000, [&] { return passes >= until; });
        if (events) {
            QCoreApplication::processEvents();
        }
    }
    void Pass(uint8_t rpm, uint8_t map, int64_t ms = 100, bool events = true) {
        rig.ecu.memory[RpmAddress] = rpm;
        rig.ecu.memory[MapAddress] = map;
        Run(ms, events);
    }
    template <typename Window>
    void Open(Window& window) {
        window.FollowEngine(rig.scheduler, rig.monitor);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // The pixels of a cell of `window`'s grid.
    static QRect CellPixels(const EditorWindow& window, GridPos cell) {
        const CellGrid grid = window.Grid().Grid();
        const QSize c = window.CharCell();
        const int column = grid.columns[static_cast<size_t>(cell.column)].textColumn;
        return {column * c.width(), (window.BottomLine() - cell.line) * c.height(),
                GridModel::CellChars * c.width(), c.height()};
    }

    ScriptedPrompter prompter;
    SessionRig rig;
    CalibrationSession& session = rig.session;
    int passes = 0;
};

// The demonstration VE table: rows 40, 70, 100, 130, 160 (columns 0..4),
// MAP lines 0, 20, 30, ..., 130, 255 (lines 0..13). The engine opens the
// throttle over four seconds: the point moves up and right, the cells it
// passed stay behind it, fading. The VE (LP) window shows nothing on
// gasoline; Spark always marks. Off line, the marks go. Writes
// editor-ve-live.png.
TEST_F(LiveWindows, TableShowsThePointAndItsTrail) {
    ASSERT_TRUE(rig.ReachEcu());
    VeTableWindow ve(session, prompter, nullptr);
    VeLpTableWindow lp(session, prompter, nullptr);
    SparkTableWindow spark(session, prompter, nullptr);
    for (EditorWindow* w : std::initializer_list<EditorWindow*>{&ve, &lp, &spark}) {
        Open(*w);
    }
    const std::pair<uint8_t, uint8_t> path[] = {{42, 22}, {50, 30},  {62, 41}, {75, 52},
                                                {88, 63}, {100, 74}, {112, 86}};
    for (const auto& [rpm, map] : path) {
        Pass(rpm, map, 600);
    }
    const LiveView view = ve.Live();
    ASSERT_EQ(view.marks.size(), 1u);
    // RPM 112 between rows 100 and 130, MAP 86 between the lines of 80 and
    // 90 (7, 8); in row 100 between its MAP 70 and 110, in row 130 between
    // 80 and 120.
    EXPECT_DOUBLE_EQ(view.marks[0].column, 2.4);
    EXPECT_DOUBLE_EQ(view.marks[0].line, 7.6);
    EXPECT_EQ(view.marks[0].cells, (std::vector<GridPos>{{2, 6}, {2, 10}, {3, 7}, {3, 11}}));
    EXPECT_EQ(view.marks[0].nearest, (GridPos{2, 6}));
    // The cells it was nearest: row 40 MAP 20 until 3 s ago, row 70 MAP 60
    // until 1.8 s ago, and now row 100 MAP 70.
    EXPECT_EQ(view.trail, (std::vector<LiveTrail::Cell>{{{0, 1}, 3}, {{1, 5}, 1}, {{2, 6}, 0}}));
    EXPECT_TRUE(lp.Live().marks.empty());
    EXPECT_EQ(spark.Live().marks.size(), 1u);

    ve.repaint();
    const QImage shot = Shot(ve);
    EXPECT_GT(Count(shot, CellPixels(ve, {3, 7}), LiveColour), 10);
    EXPECT_EQ(Count(shot, CellPixels(ve, {0, 0}), LiveColour), 0);
    EXPECT_TRUE(shot.save(KORVEL_BINARY_DIR "/editor-ve-live.png"));

    rig.ecu.faults.silent = true;
    rig.scheduler.RunUntil(rig.clock.MonotonicMs() + 60'000,
                           [&] { return !rig.scheduler.statusFlags.Test(EcuOnLine); });
    EXPECT_EQ(ve.Live(), LiveView{});
    EXPECT_EQ(spark.Live(), LiveView{});
}

// A 2-byte RPM above 255 has no marker; beyond the keys the marker pins to
// the edge. The Fuel variable moves the marks from VE to VE (LP).
TEST_F(LiveWindows, FuelAndTheEdges) {
    rig.monitor = {};
    ParseMonitorFile("MAP,26,1\nRPM,40,2\nFuel,35,1\n", rig.monitor);
    ASSERT_TRUE(rig.ReachEcu());
    VeTableWindow ve(session, prompter, nullptr);
    VeLpTableWindow lp(session, prompter, nullptr);
    Open(ve);
    Open(lp);
    const auto engine = [&](uint32_t rpm, uint8_t map, uint8_t fuel) {
        rig.ecu.memory[RpmAddress] = static_cast<uint8_t>(rpm >> 8);  // high byte first
        rig.ecu.memory[RpmAddress + 1] = static_cast<uint8_t>(rpm);
        rig.ecu.memory[MapAddress] = map;
        rig.ecu.memory[FuelAddress] = fuel;
        Run(100);
    };
    engine(250, 255, 0x01);  // beyond the last row (160) and the top MAP line
    ASSERT_EQ(ve.Live().marks.size(), 1u);
    EXPECT_EQ(ve.Live().marks[0].cells, (std::vector<GridPos>{{4, 13}}));
    EXPECT_TRUE(lp.Live().marks.empty());
    engine(256, 100, 0x01);
    EXPECT_TRUE(ve.Live().marks.empty());
    engine(70, 100, 0x05);  // LP
    EXPECT_TRUE(ve.Live().marks.empty());
    ASSERT_EQ(lp.Live().marks.size(), 1u);
    EXPECT_EQ(lp.Live().marks[0].cells, (std::vector<GridPos>{{1, 9}}));
}

// A moving point repaints only the cells it left and entered, at most once
// in 50 ms; a pass that moves nothing repaints nothing.
TEST_F(LiveWindows, RepaintsOnlyWhatMovedAtMostTwentyTimesASecond) {
    ASSERT_TRUE(rig.ReachEcu());
    VeTableWindow ve(session, prompter, nullptr);
    Open(ve);
    Pass(40, 20);
    PaintRecorder recorder;
    ve.installEventFilter(&recorder);
    Pass(40, 20);
    EXPECT_EQ(recorder.paints, 0);

    Pass(70, 30);  // row 70 between MAP 20 and 60: lines 1 and 5
    ASSERT_GT(recorder.paints, 0);
    const QRect column(CellPixels(ve, {1, 5}).topLeft(), CellPixels(ve, {1, 1}).bottomRight());
    const QRegion allowed =
        QRegion(CellPixels(ve, {0, 1}).adjusted(-6, -6, 6, 6)) + column.adjusted(-6, -6, 6, 6);
    EXPECT_TRUE((recorder.painted - allowed).isEmpty()) << recorder.painted.boundingRect().width();

    const LiveView shown = ve.Live();
    Pass(100, 60, 10, false);  // 10 ms later: waits for the rest of the 50 ms
    EXPECT_EQ(ve.Live(), shown);
    Pass(100, 60, 40, false);
    EXPECT_EQ(ve.Live().marks[0].cells, (std::vector<GridPos>{{2, 2}, {2, 6}}));
}

// The context menu turns the colours off and on again.
TEST_F(LiveWindows, HeatMapColoursTurnOffInTheContextMenu) {
    VeTableWindow ve(session, prompter, nullptr);
    ve.show();
    ve.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ve));
    const QRect cell = CellPixels(ve, {0, 1});  // row 40, MAP 20: 62, the table's lowest
    const QColor coolest(160, 190, 255);
    EXPECT_GT(Count(Shot(ve), cell, coolest), 20);
    const QPoint empty(ve.width() - 20, ve.height() / 2);  // no cell: nothing gets selected
    for (bool on : {false, true}) {
        QTest::mousePress(ve.windowHandle(), Qt::RightButton, {}, empty);
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        auto* item = popup->findChild<QAction*>("heatMap");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), "Heat Map Colours");
        EXPECT_EQ(item->isChecked(), !on);
        item->trigger();
        popup->close();
        QTest::mouseRelease(ve.windowHandle(), Qt::RightButton, {}, empty);
        EXPECT_EQ(ve.HeatMap(), on);
        EXPECT_EQ(Count(Shot(ve), cell, coolest) > 20, on);
    }
}

// The curves as graphs beside the grid, which keeps its place: the live
// coolant and air temperatures mark the matching curves' cells and graphs,
// and the selected point is red on its graph. Writes editor-fuel-graphs.png
// and editor-rpm-graphs.png.
TEST_F(LiveWindows, CurveWindowsDrawGraphsWithTheLiveX) {
    ASSERT_TRUE(rig.ReachEcu());
    FuelCurvesWindow fuel(session, prompter, nullptr);
    RpmCurvesWindow rpm(session, prompter, nullptr);
    fuel.resize(fuel.OpeningSize({650, 250}));
    Open(fuel);
    Open(rpm);
    EXPECT_GT(fuel.width(), 650);
    EXPECT_GT(rpm.width(), 300);
    rig.ecu.memory[CoolantAddress] = 60;  // 140 F
    rig.ecu.memory[AirAddress] = 90;      // 77 F
    Pass(60, 60);
    const LiveView live = fuel.Live();
    ASSERT_EQ(live.marks.size(), 3u);  // B (gasoline), A, Air Cor; not B (LP) on gasoline
    EXPECT_EQ(live.marks[2].curve, 2);
    EXPECT_DOUBLE_EQ(live.marks[2].x, 77.0);
    EXPECT_EQ(rpm.Live().marks.size(), 1u);  // the temperature curve, not the position one

    const QSize c = fuel.CharCell();
    QTest::mouseClick(fuel.windowHandle(), Qt::LeftButton, {},
                      QPoint(10 * c.width() + 2, (fuel.BottomLine() - 2) * c.height() + 2));
    fuel.repaint();
    const std::vector<PixelBox> boxes = fuel.GraphBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_GE(boxes[0].left, 69 * c.width());  // right of "B Curve (LP)"
    const QImage shot = Shot(fuel);
    const auto area = [](const PixelBox& b) { return QRect(b.left, b.top, b.width, b.height); };
    EXPECT_GT(Count(shot, area(boxes[0]), QColor(255, 0, 0)), 10);  // the selected point
    EXPECT_GT(Count(shot, area(boxes[2]), LiveColour), 10);         // the live air temperature
    EXPECT_EQ(Count(shot, area(boxes[3]), LiveColour), 0);          // B (LP) on gasoline
    EXPECT_TRUE(shot.save(KORVEL_BINARY_DIR "/editor-fuel-graphs.png"));
    rpm.repaint();
    EXPECT_TRUE(Shot(rpm).save(KORVEL_BINARY_DIR "/editor-rpm-graphs.png"));
}

}  // namespace
}  // namespace korvel
