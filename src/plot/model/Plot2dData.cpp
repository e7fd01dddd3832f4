#include "plot/model/Plot2dData.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zm {

namespace {

// Bounds over the finite values of an array; false when there is none.
bool ArrayBounds(const PlotArray& values, double& lo, double& hi) {
    bool found = false;
    for (double v : values) {
        if (!std::isfinite(v)) {
            continue;
        }
        if (!found) {
            lo = hi = v;
            found = true;
        } else {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    return found;
}

// Writes v at index `at`, growing the array by one when `at` is its end.
void PutAt(PlotArray& values, int at, double v) {
    if (at < static_cast<int>(values.size())) {
        values[at] = v;
    } else {
        values.push_back(v);
    }
}

}  // namespace

int CPlot2dData::AddSeries(int xArray, int yArray, PlotColor color, const std::string& name,
                           bool visible, int slot, int flags, int group) {
    if (!IsGroup(group)) {
        return -1;
    }
    PlotGroup& g = groups_[group];
    int count = static_cast<int>(g.series.size());
    if (g.xArrays.empty() || g.yArrays.empty() || xArray < 0 || yArray < 0 ||
        xArray >= static_cast<int>(g.xArrays.size()) ||
        yArray >= static_cast<int>(g.yArrays.size()) || slot < -1 || slot > count) {
        return -1;
    }
    PlotSeries s;
    s.xArray = xArray;
    s.yArray = yArray;
    s.color = color;
    s.name = name;
    s.visible = visible ? 1 : 0;
    s.flags = flags;
    const PlotArray& xs = g.xArrays[xArray];
    const PlotArray& ys = g.yArrays[yArray];
    ArrayBounds(xs, s.xMin, s.xMax);
    ArrayBounds(ys, s.yMin, s.yMax);
    s.count = static_cast<int>(std::min(xs.size(), ys.size()));
    if (slot == -1 || slot == count) {
        g.series.push_back(std::move(s));
    } else {
        g.series[slot] = std::move(s);
    }
    return static_cast<int>(g.series.size());
}

int CPlot2dData::AppendPoint(int series, double x, double y, int group) {
    PlotSeries* s = GetSeries(group, series);
    if (!s || !std::isfinite(x) || !std::isfinite(y)) {
        return -1;
    }
    PlotGroup& g = groups_[group];
    PlotArray& xs = g.xArrays[s->xArray];
    PlotArray& ys = g.yArrays[s->yArray];
    if (s->count > static_cast<int>(xs.size()) || s->count > static_cast<int>(ys.size())) {
        return -1;  // the owner shortened the arrays under the series
    }
    PutAt(xs, s->count, x);
    // The point's y belongs at the same index as its x, also when the owner left
    // values beyond the series' end.
    PutAt(ys, s->count, y);
    if (s->count == 0) {
        s->xMin = s->xMax = x;
        s->yMin = s->yMax = y;
    } else {
        s->xMin = std::min(s->xMin, x);
        s->xMax = std::max(s->xMax, x);
        s->yMin = std::min(s->yMin, y);
        s->yMax = std::max(s->yMax, y);
    }
    return ++s->count;
}

int CPlot2dData::AppendValue(int series, double value, int window, bool keepBounds, int group) {
    PlotSeries* s = GetSeries(group, series);
    if (!s || !std::isfinite(value)) {
        return -1;
    }
    if (window <= 0 || s->count < window) {
        return AppendPoint(series, s->count, value, group);
    }
    PlotArray& ys = groups_[group].yArrays[s->yArray];
    if (s->count < 1 || ys.empty() || s->count > static_cast<int>(ys.size())) {
        return -1;
    }
    double dropped = ys.front();
    ys.erase(ys.begin());
    if (!keepBounds && (dropped <= s->yMin || dropped >= s->yMax)) {
        PlotArray rest(ys.begin(), ys.begin() + (s->count - 1));
        if (!ArrayBounds(rest, s->yMin, s->yMax)) {
            s->yMin = s->yMax = value;
        }
    }
    ys.insert(ys.begin() + (s->count - 1), value);
    s->yMin = std::min(s->yMin, value);
    s->yMax = std::max(s->yMax, value);
    return s->count;
}

int CPlot2dData::ClearSeries(int group) {
    if (!IsGroup(group)) {
        return -1;
    }
    groups_[group].series.clear();
    return 0;
}

int CPlot2dData::GetSeriesCount(int group) const {
    return IsGroup(group) ? static_cast<int>(groups_[group].series.size()) : -1;
}

const PlotSeries* CPlot2dData::GetSeries(int group, int series) const {
    if (!IsGroup(group) || series < 0 || series >= static_cast<int>(groups_[group].series.size())) {
        return nullptr;
    }
    return &groups_[group].series[series];
}

PlotSeries* CPlot2dData::GetSeries(int group, int series) {
    return const_cast<PlotSeries*>(std::as_const(*this).GetSeries(group, series));
}

int CPlot2dData::AddMarker(const PlotMarker& marker, int slot) {
    int count = static_cast<int>(markers_.size());
    if (slot < -1 || slot > count) {
        return -1;
    }
    if (slot == -1 || slot == count) {
        markers_.push_back(marker);
    } else {
        markers_[slot] = marker;
    }
    return static_cast<int>(markers_.size());
}

int PlotPointStep(int count, int limit) {
    if (limit < 2 || count <= limit) {
        return 1;
    }
    return std::max(1, count / (limit - 1));
}

std::vector<int> PlotDrawnIndexes(int count, int limit) {
    std::vector<int> indexes;
    if (count <= 0) {
        return indexes;
    }
    int step = PlotPointStep(count, limit);
    indexes.reserve(count / step + 2);
    for (int i = 0; i < count; i += step) {
        indexes.push_back(i);
    }
    if (indexes.back() != count - 1) {
        indexes.push_back(count - 1);
    }
    return indexes;
}

}  // namespace zm
