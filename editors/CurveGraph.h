#pragma once
// A curve window's curves as graphs: each curve's points in its columns'
// units, the axes' ranges, the selected points, the live x, and where the
// graphs and their points go in pixels.

#include <optional>
#include <string>
#include <vector>

namespace korvel {

struct GraphPoint {
    double x = 0.0;
    double y = 0.0;
    bool selected = false;
    bool operator==(const GraphPoint&) const = default;
};

struct CurveGraph {
    std::string title;               // the y column's name: "B Curve (LP)"
    std::string xName;               // what x is: "Temp"
    std::vector<GraphPoint> points;  // in point order
    // The axes: from the lowest to the highest x and y of the points; never
    // empty.
    double xLow = 0.0;
    double xHigh = 1.0;
    double yLow = 0.0;
    double yHigh = 1.0;
    std::optional<double> liveX;  // in x units
};

// The axes of a graph from its points.
void FitAxes(CurveGraph& graph);

// A rectangle in pixels.
struct PixelBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelBox&) const = default;
};

// Room for `count` graphs in `area`, in reading order: at most two rows,
// as many columns as that needs, a gap of `gap` pixels between them.
std::vector<PixelBox> GraphBoxes(PixelBox area, int count, int gap);
// The columns of graphs that `count` graphs take.
int GraphColumns(int count);

// A value's pixel in a graph's plot box: x grows to the right, y upward;
// a value beyond the axis stays on the box's edge.
double GraphX(const CurveGraph& graph, const PixelBox& plot, double x);
double GraphY(const CurveGraph& graph, const PixelBox& plot, double y);

}  // namespace korvel
