#include "monitor/qt/MonitorPanel.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QToolTip>
#include <algorithm>

#include "monitor/PanelLayout.h"
#include "monitor/ValueText.h"

namespace korvel {

namespace {

const QColor FrameGrey(200, 200, 200);

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

int VariableCount(const MonitorFile& monitor) {
    return std::clamp(monitor.variableCount, 0, MaxMonitorVariables);
}

QPoint At(TextPosition position) {
    return {position.x, position.y};
}

// A rectangle given by exclusive right and bottom edges, as the chart numbers are.
QRect Area(const PlotRect& rect) {
    return QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
}

// The three channel colours: red, blue, green.
QColor PlotColour(int channel) {
    static const QColor colours[MaxPlottedVariables] = {QColor(255, 0, 0), QColor(0, 0, 255),
                                                        QColor(0, 255, 0)};
    return colours[std::clamp(channel, 0, MaxPlottedVariables - 1)];
}

}  // namespace

MonitorPanel::MonitorPanel(MonitorFile& monitor, PlotState& plot, QWidget* parent)
    : QWidget(parent), monitor_(monitor), plot_(plot) {
    // A white client area; every pixel is painted from the images.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

TextMetrics MonitorPanel::Metrics() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.height(), metrics.averageCharWidth()};
}

ChartFrame MonitorPanel::Frame() const {
    const TextMetrics metrics = Metrics();
    return ComputeChartFrame(width(), height(), PanelBottom(VariableCount(monitor_), metrics),
                             metrics);
}

MonitorPanel::FrameKey MonitorPanel::CurrentKey() const {
    FrameKey key;
    key.size = size();
    key.pixelRatio = devicePixelRatioF();
    key.font = font();
    key.loaded = monitorLoaded_;
    key.variableCount = VariableCount(monitor_);
    key.names = monitor_.variableNames;
    key.channels = plot_.plottedVariable;
    key.minimum = plot_.plotMinimum;
    key.maximum = plot_.plotMaximum;
    key.assignment = plot_.assignment;
    key.timeScale = plot_.timeScale;
    return key;
}

QImage MonitorPanel::NewImage() const {
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

void MonitorPanel::EnsureImages() {
    const FrameKey key = CurrentKey();
    if (!frame_.isNull() && key == frameKey_) {
        return;
    }
    frameKey_ = key;
    for (int k = 0; k < MaxMonitorVariables; ++k) {
        const QString& text = values_[static_cast<size_t>(k)];
        valueBoxes_[static_cast<size_t>(k)] = text.isEmpty() ? QRect() : ValueRect(k, text);
    }
    // The key holds everything the chart frame depends on, so the updates'
    // plot area changes only here.
    const ChartFrame chart = Frame();
    plot_.plotRect = chart.plotRect;
    frame_ = NewImage();
    QPainter painter(&frame_);
    painter.setFont(font());
    RenderFrame(painter, chart);
    RenderTraces();  // a new size, scale or range: the lines drawn anew to it
}

void MonitorPanel::RenderTraces() {
    traces_ = NewImage();
    QPainter painter(&traces_);
    for (const ChartSegment& segment : history_.Segments(plot_)) {
        DrawSegment(painter, segment);
    }
    update();
}

void MonitorPanel::RenderFrame(QPainter& painter, const ChartFrame& frame) const {
    painter.fillRect(rect(), Qt::white);
    if (!monitorLoaded_) {
        return;
    }
    RenderNames(painter);
    painter.fillRect(Area(frame.band), FrameGrey);
    if (frame.chartDrawn) {
        RenderChartFrame(painter, frame);
    }
}

void MonitorPanel::DrawText(QPainter& painter, TextPosition at, const QString& text) const {
    // Positions name the text's top; Qt draws from the baseline.
    painter.drawText(At(at) + QPoint(0, fontMetrics().ascent()), text);
}

void MonitorPanel::RenderNames(QPainter& painter) const {
    const TextMetrics metrics = Metrics();
    for (int k = 0; k < VariableCount(monitor_); ++k) {
        const int channel = NameChannel(k, plot_);
        painter.setPen(channel < 0 ? QColor(Qt::black) : PlotColour(channel));
        DrawText(painter, NamePosition(k, metrics), Latin1(PrintableName(monitor_.name(k))));
    }
}

void MonitorPanel::RenderChartFrame(QPainter& painter, const ChartFrame& frame) const {
    const PlotRect& r = frame.plotRect;
    const TextMetrics metrics = Metrics();
    painter.fillRect(Area(r), Qt::white);
    painter.setPen(QPen(Qt::black, 0, Qt::SolidLine));
    const QPoint border[] = {{r.left, r.top},
                             {r.right, r.top},
                             {r.right, r.bottom},
                             {r.left, r.bottom},
                             {r.left, r.top}};
    painter.drawPolyline(border, 5);
    const auto ticks = TimeAxisTicks(r, plot_.timeScale, metrics);
    for (const TimeTick& tick : ticks) {
        painter.drawLine(tick.x, r.bottom - 8, tick.x, r.bottom - 1);
        DrawText(painter, tick.labelAt, QString::fromStdString(tick.label));
    }
    // The unit beside the last label.
    const TimeTick& last = ticks.back();
    const int after = fontMetrics().horizontalAdvance(QString::fromStdString(last.label + " "));
    DrawText(painter, {last.labelAt.x + after, last.labelAt.y}, QStringLiteral("s"));
    painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
    for (const int32_t y : GridLineYs(r)) {
        painter.drawLine(r.left, y, r.right - 1, y);
    }
    for (const ValueLabel& label : ValueAxisLabels(r, plot_, metrics)) {
        painter.setPen(PlotColour(label.channel));
        DrawText(painter, label.at, QString::fromStdString(label.text));
    }
}

QRect MonitorPanel::ValueRect(int k, const QString& text) const {
    const TextPosition at = ValuePosition(k, Metrics());
    return QRect(at.x, at.y, fontMetrics().horizontalAdvance(text), fontMetrics().height());
}

QColor MonitorPanel::ValueColour(bool stale) {
    return stale ? QColor(128, 128, 128) : QColor(255, 0, 0);
}

void MonitorPanel::DrawValues(QPainter& painter, const QRegion& dirty) const {
    painter.setPen(ValueColour(stale_));
    const int count = VariableCount(monitor_);
    for (int k = 0; k < count; ++k) {
        const QString& text = values_[static_cast<size_t>(k)];
        if (text.isEmpty()) {
            continue;
        }
        const QRect& box = valueBoxes_[static_cast<size_t>(k)];
        if (dirty.intersects(box)) {           // only what changed: shaping a text costs
            painter.fillRect(box, Qt::white);  // opaque: the new value covers the old
            DrawText(painter, {box.x(), box.y()}, text);
        }
    }
}

void MonitorPanel::paintEvent(QPaintEvent* event) {
    EnsureImages();
    const QRect clip = event->rect();
    QPainter painter(this);
    painter.drawImage(clip, frame_,
                      QRectF(clip.topLeft() * frame_.devicePixelRatio(),
                             clip.size() * frame_.devicePixelRatio()));
    if (!monitorLoaded_) {
        return;
    }
    painter.drawImage(clip, traces_,
                      QRectF(clip.topLeft() * traces_.devicePixelRatio(),
                             clip.size() * traces_.devicePixelRatio()));
    DrawValues(painter, event->region());
}

void MonitorPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    EnsureImages();  // a new size is a new scale: the lines go
}

bool MonitorPanel::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QWidget::event(event);
    }
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    for (int k = 0; k < VariableCount(monitor_); ++k) {
        if (valueBoxes_[static_cast<size_t>(k)].contains(at)) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), ValueToolTip(k), this,
                               valueBoxes_[static_cast<size_t>(k)]);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

QString MonitorPanel::ValueToolTip(int k) const {
    const auto i = static_cast<size_t>(k);
    if (values_[i].isEmpty()) {
        return {};
    }
    // The name's bytes are Latin-1, the unit's UTF-8.
    return Latin1(ShownName(monitor_.name(k))) + ' ' +
           QString::fromStdString(MonitorValueDescription(monitor_.name(k), raw_[i]));
}

void MonitorPanel::Follow(AcquisitionScheduler& scheduler) {
    subscription_ = scheduler.Subscribe([this](const Sample& sample) { UpdateMonitor(sample); },
                                        [this](LineEvent event) {
                                            if (event == LineEvent::OffLine) {
                                                SetStale(true);
                                            }
                                        });
}

void MonitorPanel::SetStale(bool stale) {
    if (stale_ != stale) {
        stale_ = stale;
        UpdateAllValues();
    }
}

void MonitorPanel::UpdateAllValues() {
    for (const QRect& box : valueBoxes_) {
        if (!box.isEmpty()) {
            update(box);
        }
    }
}

void MonitorPanel::ClearTraces() {
    history_.Clear();
    if (!traces_.isNull()) {
        traces_.fill(Qt::transparent);
    }
    update();
}

void MonitorPanel::SetMonitorLoaded(bool loaded) {
    monitorLoaded_ = loaded;
    update();
}

void MonitorPanel::ClearValues() {
    values_.fill(QString());
    valueBoxes_.fill(QRect());
    update();
}

QRect MonitorPanel::DrawSegment(QPainter& painter, const ChartSegment& segment) const {
    std::array<ChartPoint, 4> points;
    const int count = ClampSegment(segment, plot_.plotRect, points);
    if (count == 0) {
        return {};
    }
    QPolygon line;
    for (int i = 0; i < count; ++i) {
        line << QPoint(points[static_cast<size_t>(i)].x, points[static_cast<size_t>(i)].y);
    }
    painter.setPen(QPen(PlotColour(segment.channel), 0));
    painter.drawPolyline(line);
    return line.boundingRect().adjusted(-1, -1, 1, 1) & rect();
}

void MonitorPanel::UpdateMonitor(const Sample& sample) {
    if (!monitorLoaded_) {
        return;
    }
    EnsureImages();
    SetStale(false);
    for (int k = 0; k < VariableCount(monitor_); ++k) {
        const auto i = static_cast<size_t>(k);
        raw_[i] = sample.raw[i];
        const QString text =
            QString::fromStdString(MonitorValueText(monitor_.name(k), sample.raw[i]));
        if (text != values_[i]) {
            const QRect old = valueBoxes_[i];
            valueBoxes_[i] = ValueRect(k, text);
            values_[i] = text;
            update(old | valueBoxes_[i]);
        }
    }
    const ChartHistory::Added added = history_.AddPass(plot_, sample);
    if (added.newSweep) {
        RenderTraces();
        return;
    }
    if (added.count == 0) {
        return;
    }
    QPainter painter(&traces_);
    for (int s = 0; s < added.count; ++s) {
        update(DrawSegment(painter, added.segments[static_cast<size_t>(s)]));
    }
}

}  // namespace korvel
