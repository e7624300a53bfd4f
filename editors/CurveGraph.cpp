#include "editors/CurveGraph.h"

#include <algorithm>

namespace korvel {

namespace {

// The share of the way from `low` to `high`, held within 0..1.
double Share(double v, double low, double high) {
    return high > low ? std::clamp((v - low) / (high - low), 0.0, 1.0) : 0.5;
}

}  // namespace

void FitAxes(CurveGraph& graph) {
    if (graph.points.empty()) {
        graph.xLow = graph.yLow = 0.0;
        graph.xHigh = graph.yHigh = 1.0;
        return;
    }
    const auto [xMin, xMax] =
        std::minmax_element(graph.points.begin(), graph.points.end(),
                            [](const GraphPoint& a, const GraphPoint& b) { return a.x < b.x; });
    const auto [yMin, yMax] =
        std::minmax_element(graph.points.begin(), graph.points.end(),
                            [](const GraphPoint& a, const GraphPoint& b) { return a.y < b.y; });
    const auto axis = [](double low, double high, double& from, double& to) {
        from = high > low ? low : low - 1.0;
        to = high > low ? high : high + 1.0;
    };
    axis(xMin->x, xMax->x, graph.xLow, graph.xHigh);
    axis(yMin->y, yMax->y, graph.yLow, graph.yHigh);
}

int GraphColumns(int count) {
    return std::max(1, (count + 1) / 2);
}

std::vector<PixelBox> GraphBoxes(PixelBox area, int count, int gap) {
    std::vector<PixelBox> boxes;
    if (count <= 0) {
        return boxes;
    }
    const int columns = GraphColumns(count);
    const int rows = std::min(count, 2);
    const int width = (area.width - gap * (columns - 1)) / columns;
    const int height = (area.height - gap * (rows - 1)) / rows;
    for (int i = 0; i < count; ++i) {
        const int row = i / columns;
        const int column = i % columns;
        boxes.push_back(
            {area.left + column * (width + gap), area.top + row * (height + gap), width, height});
    }
    return boxes;
}

double GraphX(const CurveGraph& graph, const PixelBox& plot, double x) {
    return plot.left + Share(x, graph.xLow, graph.xHigh) * plot.width;
}

double GraphY(const CurveGraph& graph, const PixelBox& plot, double y) {
    return plot.top + plot.height - Share(y, graph.yLow, graph.yHigh) * plot.height;
}

}  // namespace korvel
