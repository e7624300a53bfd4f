#pragma once
// The main window's client area: the monitored variables' names with their
// latest values at the top, and the sweeping strip chart below.
//
// The frame (names and chart frame) is rendered once into an image and kept
// until something it shows changes; the chart's lines go into a second,
// transparent image, drawn again from the chart's history when the size, the
// time scale or a range changes. So any repaint (uncovering, a dialog
// closing) shows the current sweep's lines and the latest values again, and
// an update repaints only the value texts that changed and the new segments'
// bounding boxes. While the ECU is off line the last values stand in grey.

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <array>

#include "acquisition/AcquisitionScheduler.h"
#include "monitor/ChartHistory.h"
#include "monitor/MonitorFile.h"
#include "monitor/PlotState.h"
#include "monitor/Sample.h"
#include "monitor/StripChart.h"

namespace korvel {

class MonitorPanel : public QWidget {
    Q_OBJECT
public:
    MonitorPanel(MonitorFile& monitor, PlotState& plot, QWidget* parent = nullptr);

    // Without a monitor file the panel draws nothing but its white background.
    void SetMonitorLoaded(bool loaded);

    // Shows every pass of `scheduler`, and the values as stale while the ECU
    // is off line, until the panel is destroyed.
    void Follow(AcquisitionScheduler& scheduler);

    // After each complete acquisition pass: draws every variable's value and
    // one segment per plot channel, each held inside the plot area. Draws
    // nothing while no monitor file is loaded. The pass is only read: the
    // carry correction works on the chart's own copy.
    void UpdateMonitor(const Sample& sample);

    // The ECU went off line: the values shown stay, in grey, until the next pass.
    void SetStale(bool stale);
    bool Stale() const { return stale_; }
    static QColor ValueColour(bool stale);

    // Forgets the lines (a new variable list).
    void ClearTraces();
    // Forgets the values shown (a new variable list: values come with the next pass).
    void ClearValues();

    TextMetrics Metrics() const;
    // The chart frame for the current size; also what plot.plotRect is set to.
    ChartFrame Frame() const;
    // The value text shown for variable k ("" before its first update).
    QString ValueText(int k) const { return values_[static_cast<size_t>(k)]; }
    // Where variable k's value is drawn (empty before its first update).
    QRect ValueBox(int k) const { return valueBoxes_[static_cast<size_t>(k)]; }
    // Its tooltip: "MAP 14.0 inHg (raw 100)" ("" before its first update).
    QString ValueToolTip(int k) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Everything the frame image shows; the image is rendered again when it differs.
    struct FrameKey {
        QSize size;
        qreal pixelRatio = 1.0;
        QFont font;
        bool loaded = false;
        int variableCount = 0;
        decltype(MonitorFile::variableNames) names{};
        decltype(PlotState::plottedVariable) channels{};
        decltype(PlotState::plotMinimum) minimum{};
        decltype(PlotState::plotMaximum) maximum{};
        decltype(PlotState::assignment) assignment{};
        int32_t timeScale = 0;
        bool operator==(const FrameKey&) const = default;
    };

    FrameKey CurrentKey() const;
    QImage NewImage() const;
    void EnsureImages();
    void RenderFrame(QPainter& painter, const ChartFrame& frame) const;
    void RenderNames(QPainter& painter) const;
    void RenderChartFrame(QPainter& painter, const ChartFrame& frame) const;
    void DrawText(QPainter& painter, TextPosition at, const QString& text) const;
    void DrawValues(QPainter& painter, const QRegion& dirty) const;
    QRect ValueRect(int k, const QString& text) const;
    // Draws a segment into the lines' image; returns the area it touched.
    QRect DrawSegment(QPainter& painter, const ChartSegment& segment) const;
    void RenderTraces();
    void UpdateAllValues();

    MonitorFile& monitor_;
    PlotState& plot_;
    bool monitorLoaded_ = false;
    FrameKey frameKey_;
    QImage frame_;
    QImage traces_;
    std::array<QString, MaxMonitorVariables> values_;
    // Where each value was last drawn: measuring a text shapes it, so it is
    // done once per new value (and per new layout), not on every paint.
    std::array<QRect, MaxMonitorVariables> valueBoxes_;
    std::array<uint32_t, MaxMonitorVariables> raw_{};  // the values shown, as read
    bool stale_ = false;
    ChartHistory history_;
    Subscription subscription_;
};

}  // namespace korvel
