#pragma once
// Where the engine runs, on an editor's grid: the live values a pass brings,
// the cells around the live point, the fading trail of the cells it passed,
// and which cells a window repaints when the marks move.
//
// Live raw values compare directly with the grid's raw keys: a table's row
// key is the engine-speed byte and its MAP key the MAP byte; a curve's x
// byte is the raw temperature the ECU reads.

#include <cstdint>
#include <optional>
#include <vector>

#include "calib/CalibrationMap.h"
#include "editors/EditorGrid.h"
#include "monitor/MonitorFile.h"
#include "monitor/Sample.h"

namespace korvel {

// The live values a marker reads from one pass, each from the first
// variable whose name begins as the panel's rule says ("MAP", "RPM",
// "Tcoo", "Tair", "Fuel"); nullopt where the list has none.
struct LiveValues {
    std::optional<uint32_t> rpm;
    std::optional<uint32_t> map;
    std::optional<uint32_t> coolant;
    std::optional<uint32_t> air;
    std::optional<bool> lp;  // Fuel reads LP (bit 2 set)
};
LiveValues ReadLiveValues(const MonitorFile& monitor, const Sample& sample);

// Whether values of a kind are the ones the engine uses now: Single (Spark,
// most curves) always; Gasoline only while Fuel reads gasoline, Lp only
// while it reads LP, and neither without a Fuel variable.
bool FuelAllows(EntryKind kind, std::optional<bool> lp);

// The live value of a curve's x, told by the x column's scale: the coolant
// temperature for TcooScale, the air temperature for TairScale.
std::optional<uint32_t> LiveX(UnitScale xScale, const LiveValues& live);

// A raw value among ascending keys: the positions of the keys on either side
// and how far it lies from `low` toward `high` (0..1). On a key, and beyond
// the first or the last key (pinned to that edge), low == high. Keys out of
// order are searched for the first pair around the value, else the nearest
// key. Nullopt without keys.
struct Bracket {
    int low = 0;
    int high = 0;
    double fraction = 0.0;
    bool operator==(const Bracket&) const = default;
};
std::optional<Bracket> BracketOf(const std::vector<uint32_t>& keys, uint32_t raw);

// A rectangle of grid cells, columns and lines inclusive.
struct CellSpan {
    GridPos first;  // the smallest column and line
    GridPos last;   // the largest
    bool operator==(const CellSpan&) const = default;
};

// The live point on a grid.
struct LiveMark {
    std::vector<GridPos> cells;  // the cells around it
    GridPos nearest;             // the one it lies closest to: the trail's
    // Where it lies in grid coordinates, fractional: column 1.5 is halfway
    // between columns 1 and 2, line likewise.
    double column = 0.0;
    double line = 0.0;
    int curve = -1;  // on a curve window: which curve, and its live x in units
    double x = 0.0;
    bool operator==(const LiveMark&) const = default;
};

// The cells the live point was nearest in the last TrailMs, fading a step
// each second: step 0 is the newest, FadeSteps - 1 the oldest.
class LiveTrail {
public:
    static constexpr int64_t TrailMs = 5000;
    static constexpr int FadeSteps = 5;
    static constexpr int64_t StepMs = TrailMs / FadeSteps;

    struct Cell {
        GridPos cell;
        int step = 0;
        bool operator==(const Cell&) const = default;
    };

    void Visit(GridPos cell, int64_t nowMs);
    void Clear() { visits_.clear(); }
    bool Empty() const { return visits_.empty(); }
    // The cells visited in the last TrailMs before `nowMs`, oldest first.
    std::vector<Cell> Cells(int64_t nowMs) const;
    // The first moment after `nowMs` at which a cell fades a step or goes;
    // nullopt without cells.
    std::optional<int64_t> NextChange(int64_t nowMs) const;

private:
    struct Visited {
        GridPos cell;
        int64_t ms = 0;
    };
    std::vector<Visited> visits_;  // one per cell, its last visit, oldest first
};

// What a window shows of the running engine at one moment.
struct LiveView {
    std::vector<LiveMark> marks;
    std::vector<LiveTrail::Cell> trail;
    bool operator==(const LiveView&) const = default;
};

// The areas whose look differs between two views: each mark that moved
// (cells or point) over the cells it left and those it entered, and each
// trail cell that came, faded a step or went.
std::vector<CellSpan> ChangedSpans(const LiveView& before, const LiveView& after);

// At most one repaint per IntervalMs (20 a second): a change that comes
// sooner waits for the rest of the interval.
class RepaintPacer {
public:
    static constexpr int64_t IntervalMs = 50;
    // How long a change seen at `nowMs` waits before it is painted (0: now).
    int64_t Delay(int64_t nowMs) const;
    void Painted(int64_t nowMs) { last_ = nowMs; }

private:
    std::optional<int64_t> last_;
};

}  // namespace korvel
