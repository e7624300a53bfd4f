#include "editors/LiveMarks.h"

#include <algorithm>

#include "monitor/ValueText.h"

namespace korvel {

LiveValues ReadLiveValues(const MonitorFile& monitor, const Sample& sample) {
    LiveValues live;
    const int count =
        std::clamp(std::min(monitor.variableCount, sample.variableCount), 0, MaxMonitorVariables);
    const auto take = [](std::optional<uint32_t>& into, uint32_t raw) {
        if (!into) {
            into = raw;
        }
    };
    for (int k = 0; k < count; ++k) {
        const uint32_t raw = sample.raw[static_cast<size_t>(k)];
        switch (KindOfVariable(monitor.name(k))) {
            case VariableKind::EngineSpeed:
                take(live.rpm, raw);
                break;
            case VariableKind::Map:
                take(live.map, raw);
                break;
            case VariableKind::CoolantTemp:
                take(live.coolant, raw);
                break;
            case VariableKind::AirTemp:
                take(live.air, raw);
                break;
            case VariableKind::Fuel:
                if (!live.lp) {
                    live.lp = FuelReadsLp(raw);
                }
                break;
            default:
                break;
        }
    }
    return live;
}

bool FuelAllows(EntryKind kind, std::optional<bool> lp) {
    switch (kind) {
        case EntryKind::Single:
            return true;
        case EntryKind::Gasoline:
            return lp.has_value() && !*lp;
        case EntryKind::Lp:
            return lp.has_value() && *lp;
    }
    return false;
}

std::optional<uint32_t> LiveX(UnitScale xScale, const LiveValues& live) {
    if (xScale.data() == TcooScale.data()) {
        return live.coolant;
    }
    if (xScale.data() == TairScale.data()) {
        return live.air;
    }
    return std::nullopt;
}

std::optional<Bracket> BracketOf(const std::vector<uint32_t>& keys, uint32_t raw) {
    if (keys.empty()) {
        return std::nullopt;
    }
    const int n = static_cast<int>(keys.size());
    for (int i = 0; i < n; ++i) {
        const uint32_t low = keys[static_cast<size_t>(i)];
        if (raw == low) {
            return Bracket{i, i, 0.0};
        }
        if (i + 1 < n && low < raw && raw < keys[static_cast<size_t>(i) + 1]) {
            const double span = keys[static_cast<size_t>(i) + 1] - low;
            return Bracket{i, i + 1, (raw - low) / span};
        }
    }
    // Beyond the keys (or among keys out of order): the nearest key, which
    // for ascending keys is the first or the last.
    int nearest = 0;
    const auto distance = [raw](uint32_t key) { return key > raw ? key - raw : raw - key; };
    for (int i = 1; i < n; ++i) {
        if (distance(keys[static_cast<size_t>(i)]) < distance(keys[static_cast<size_t>(nearest)])) {
            nearest = i;
        }
    }
    return Bracket{nearest, nearest, 0.0};
}

void LiveTrail::Visit(GridPos cell, int64_t nowMs) {
    std::erase_if(visits_,
                  [&](const Visited& v) { return v.cell == cell || nowMs - v.ms >= TrailMs; });
    visits_.push_back({cell, nowMs});
}

std::vector<LiveTrail::Cell> LiveTrail::Cells(int64_t nowMs) const {
    std::vector<Cell> cells;
    for (const Visited& v : visits_) {
        const int64_t age = std::max<int64_t>(0, nowMs - v.ms);
        if (age < TrailMs) {
            cells.push_back({v.cell, static_cast<int>(age / StepMs)});
        }
    }
    return cells;
}

std::optional<int64_t> LiveTrail::NextChange(int64_t nowMs) const {
    std::optional<int64_t> next;
    for (const Visited& v : visits_) {
        const int64_t age = std::max<int64_t>(0, nowMs - v.ms);
        if (age < TrailMs) {
            const int64_t at = v.ms + (age / StepMs + 1) * StepMs;
            next = next ? std::min(*next, at) : at;
        }
    }
    return next;
}

namespace {

std::optional<CellSpan> SpanOf(const std::vector<GridPos>& cells) {
    if (cells.empty()) {
        return std::nullopt;
    }
    CellSpan span{cells.front(), cells.front()};
    for (const GridPos& c : cells) {
        span.first = {std::min(span.first.column, c.column), std::min(span.first.line, c.line)};
        span.last = {std::max(span.last.column, c.column), std::max(span.last.line, c.line)};
    }
    return span;
}

void AddSpan(std::vector<CellSpan>& spans, std::optional<CellSpan> span) {
    if (span && std::find(spans.begin(), spans.end(), *span) == spans.end()) {
        spans.push_back(*span);
    }
}

// A trail cell's fade step, or -1 when the cell is not in the trail.
int StepOf(const std::vector<LiveTrail::Cell>& trail, GridPos cell) {
    const auto found = std::find_if(trail.begin(), trail.end(),
                                    [&](const LiveTrail::Cell& c) { return c.cell == cell; });
    return found == trail.end() ? -1 : found->step;
}

}  // namespace

std::vector<CellSpan> ChangedSpans(const LiveView& before, const LiveView& after) {
    std::vector<CellSpan> spans;
    const size_t marks = std::max(before.marks.size(), after.marks.size());
    for (size_t i = 0; i < marks; ++i) {
        const LiveMark* b = i < before.marks.size() ? &before.marks[i] : nullptr;
        const LiveMark* a = i < after.marks.size() ? &after.marks[i] : nullptr;
        if (b && a && *b == *a) {
            continue;
        }
        if (b) {
            AddSpan(spans, SpanOf(b->cells));
        }
        if (a) {
            AddSpan(spans, SpanOf(a->cells));
        }
    }
    for (const auto* trail : {&before.trail, &after.trail}) {
        for (const LiveTrail::Cell& c : *trail) {
            if (StepOf(before.trail, c.cell) != StepOf(after.trail, c.cell)) {
                AddSpan(spans, CellSpan{c.cell, c.cell});
            }
        }
    }
    return spans;
}

int64_t RepaintPacer::Delay(int64_t nowMs) const {
    if (!last_) {
        return 0;
    }
    const int64_t elapsed = nowMs - *last_;
    return elapsed >= IntervalMs ? 0 : IntervalMs - std::max<int64_t>(elapsed, 0);
}

}  // namespace korvel
