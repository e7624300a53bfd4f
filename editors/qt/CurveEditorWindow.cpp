#include "editors/qt/CurveEditorWindow.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

namespace korvel {

namespace {

const QRect CurveFrame{200, 200, 300, 250};
constexpr int GraphWidth = 200;
constexpr int GraphGap = 10;
constexpr int Margin = 8;
constexpr int PlotInset = 4;

QString Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return QString::fromLatin1(text);
}

QRect Pixels(const PixelBox& box) {
    return {box.left, box.top, box.width, box.height};
}

// The live x of each curve, by curve index.
std::vector<std::optional<double>> LiveXs(const LiveView& view, size_t curves) {
    std::vector<std::optional<double>> xs(curves);
    for (const LiveMark& mark : view.marks) {
        if (mark.curve >= 0 && static_cast<size_t>(mark.curve) < curves) {
            xs[static_cast<size_t>(mark.curve)] = mark.x;
        }
    }
    return xs;
}

}  // namespace

CurveEditorWindow::CurveEditorWindow(CalibrationSession& session, Prompter& prompter,
                                     QWidget* owner, const QString& title,
                                     std::vector<CurveSpec> curves)
    : EditorWindow(session, prompter, owner, title, CurveFrame,
                   std::make_unique<CurveModel>(session.ModelImage(), std::move(curves))) {
    connect(CreateEditorButton(this, "Add Row", "5003", AddRowButtonRect), &QPushButton::clicked,
            this, &CurveEditorWindow::AddRow);
    // Cells and labels keep their text columns, so the grid's width is fixed.
    int chars = 0;
    for (const GridCell& cell : Model().Cells(BottomLine())) {
        chars = std::max(chars, cell.column + static_cast<int>(cell.text.size()));
    }
    gridRight_ = chars * CharCell().width();
    resize(OpeningSize(CurveFrame.size()));
}

void CurveEditorWindow::AddRow() {
    auto& model = static_cast<CurveModel&>(EditorWindow::Model());
    InsertResult result = InsertResult::NotApplicable;
    // Bytes behind the point move: every window drops its selection.
    const auto insert = [&] { return (result = model.AddRow()) == InsertResult::Inserted; };
    if (!Edit("Add Row", insert, SessionChange::Structure) && result == InsertResult::TableFull) {
        prompter_.Message(this, "Row cannot be added", "Table Full", Prompter::Icon::Stop);
    }
}

// The graphs begin right of the grid and of the buttons above it.
int CurveEditorWindow::GraphsLeft() const {
    return std::max(gridRight_, AddRowButtonRect.right()) + 2 * Margin;
}

QSize CurveEditorWindow::OpeningSize(QSize frame) const {
    const int columns = GraphColumns(static_cast<int>(Model().Curves().size()));
    const int width = GraphsLeft() + columns * GraphWidth + (columns - 1) * GraphGap + Margin;
    return {std::max(frame.width(), width), frame.height()};
}

std::vector<PixelBox> CurveEditorWindow::GraphBoxes() const {
    const PixelBox area{GraphsLeft(), Margin, std::max(1, width() - GraphsLeft() - Margin),
                        std::max(1, height() - 2 * Margin)};
    return korvel::GraphBoxes(area, static_cast<int>(Model().Curves().size()), GraphGap);
}

// A title line above, the x labels below, the y labels to the left; the
// points keep PlotInset pixels off the frame.
PixelBox CurveEditorWindow::PlotBox(const PixelBox& graph) const {
    const QFontMetrics metrics = fontMetrics();
    const int labels = metrics.horizontalAdvance("-0000") + 4 + PlotInset;
    const int line = metrics.height() + 2 + PlotInset;
    return {graph.left + labels, graph.top + line, std::max(1, graph.width - labels - 6),
            std::max(1, graph.height - 2 * line)};
}

std::vector<CurveGraph> CurveEditorWindow::Graphs() const {
    std::vector<CurveGraph> graphs = Model().Graphs();
    const std::vector<std::optional<double>> xs = LiveXs(Live(), graphs.size());
    for (size_t k = 0; k < graphs.size(); ++k) {
        graphs[k].liveX = xs[k];
    }
    return graphs;
}

void CurveEditorWindow::paintEvent(QPaintEvent* event) {
    EditorWindow::paintEvent(event);
    const std::vector<PixelBox> boxes = GraphBoxes();
    const std::vector<CurveGraph> graphs = Graphs();
    QPainter painter(this);
    for (size_t k = 0; k < boxes.size() && k < graphs.size(); ++k) {
        if (event->rect().intersects(Pixels(boxes[k]))) {
            PaintGraph(painter, graphs[k], boxes[k]);
        }
    }
}

void CurveEditorWindow::PaintGraph(QPainter& painter, const CurveGraph& graph,
                                   const PixelBox& box) const {
    const PixelBox plot = PlotBox(box);
    const QRect area = Pixels(plot).adjusted(-PlotInset, -PlotInset, PlotInset, PlotInset);
    const QFontMetrics metrics = fontMetrics();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, Qt::white);
    painter.setPen(QColor(128, 128, 128));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(QColor(0, 0, 255));
    painter.drawText(box.left, box.top + metrics.ascent(), QString::fromStdString(graph.title));
    painter.setPen(Qt::black);
    const QRect yLabels(box.left, area.top(), area.left() - box.left - 4, area.height());
    painter.drawText(yLabels, Qt::AlignRight | Qt::AlignTop, Number(graph.yHigh));
    painter.drawText(yLabels, Qt::AlignRight | Qt::AlignBottom, Number(graph.yLow));
    const QRect xLabels(area.left(), area.bottom() + 2, area.width(), metrics.height());
    painter.drawText(xLabels, Qt::AlignLeft, Number(graph.xLow));
    painter.drawText(xLabels, Qt::AlignRight, Number(graph.xHigh));
    painter.drawText(xLabels, Qt::AlignHCenter, QString::fromStdString(graph.xName));

    if (graph.liveX) {
        const int x = static_cast<int>(GraphX(graph, plot, *graph.liveX));
        painter.setPen(QPen(LiveColour, 2));
        painter.drawLine(x, area.top() + 1, x, area.bottom() - 1);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    QPolygonF line;
    for (const GraphPoint& p : graph.points) {
        line << QPointF(GraphX(graph, plot, p.x), GraphY(graph, plot, p.y));
    }
    painter.setPen(QPen(QColor(18, 105, 61), 1.5));
    painter.drawPolyline(line);
    for (size_t i = 0; i < graph.points.size(); ++i) {
        const bool selected = graph.points[i].selected;
        painter.setPen(selected ? QPen(QColor(255, 0, 0), 1) : QPen(Qt::black, 1));
        painter.setBrush(selected ? QColor(255, 0, 0) : QColor(0, 0, 0));
        const double r = selected ? 3.5 : 2.0;
        painter.drawEllipse(line[static_cast<qsizetype>(i)], r, r);
    }
}

// A graph repaints the strips its live x left and entered.
void CurveEditorWindow::LiveChanged(const LiveView& before, const LiveView& after) {
    EditorWindow::LiveChanged(before, after);
    const std::vector<CurveGraph> graphs = Model().Graphs();
    const std::vector<PixelBox> boxes = GraphBoxes();
    const auto was = LiveXs(before, graphs.size());
    const auto is = LiveXs(after, graphs.size());
    for (size_t k = 0; k < graphs.size() && k < boxes.size(); ++k) {
        if (was[k] == is[k]) {
            continue;
        }
        const PixelBox plot = PlotBox(boxes[k]);
        for (const std::optional<double>& x : {was[k], is[k]}) {
            if (x) {
                const int at = static_cast<int>(GraphX(graphs[k], plot, *x));
                update(QRect(at - 3, plot.top - PlotInset, 7, plot.height + 2 * PlotInset));
            }
        }
    }
}

RpmCurvesWindow::RpmCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(session, prompter, owner, "Driver RPM Data", RpmCurveSpecs()) {}

FuelCurvesWindow::FuelCurvesWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : CurveEditorWindow(session, prompter, owner, "Fuel Correction Data", FuelCurveSpecs()) {}

}  // namespace korvel
