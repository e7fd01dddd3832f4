#pragma once

#include <string>
#include <vector>

#include "plot/model/PlotTypes.h"

namespace zm {

// One plotted series: which X and Y array of its group it draws, how many points, and the
// bounds of those points as the add and append operations keep them.
struct PlotSeries {
    int count = 0;
    int xArray = 0;
    int yArray = 0;
    std::string name;
    PlotColor color;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
    int visible = 1;
    int flags = 0;
};

enum PlotMarkerShape {
    kMarkerFilledEllipse = 0,
    kMarkerHorizontalLine = 1,
    kMarkerVerticalLine = 2,
    kMarkerEllipse = 3,
    kMarkerRectangle = 4,
};

enum PlotPenStyle { kPenSolid = 0, kPenDotted = 2 };

// A fixed mark drawn over the series.
struct PlotMarker {
    int shape = kMarkerFilledEllipse;
    double x = 0;
    double y = 0;
    PlotColor fill;
    int visible = 1;
    int penStyle = kPenSolid;
    PlotColor penColor;
    double penWidth = 1;
    double width = 0;
    double height = 0;
    int spare = 0;
    int sizeInData = 0;
    int inDataRange = 0;
};

using PlotArray = std::vector<double>;
using PlotArrays = std::vector<PlotArray>;

struct PlotGroup {
    PlotArrays xArrays;
    PlotArrays yArrays;
    std::vector<PlotSeries> series;
};

// The three series groups and the markers, with the owner's add and append operations.
// Invalid groups, series, array indexes and slots give -1 and change nothing.
class CPlot2dData {
  public:
    static constexpr int kGroups = 3;

    static bool IsGroup(int group) { return group >= 0 && group < kGroups; }

    PlotArrays* GetXArrays(int group) { return IsGroup(group) ? &groups_[group].xArrays : nullptr; }
    PlotArrays* GetYArrays(int group) { return IsGroup(group) ? &groups_[group].yArrays : nullptr; }
    const PlotGroup& Group(int group) const { return groups_[group]; }

    int AddSeries(int xArray, int yArray, PlotColor color, const std::string& name, bool visible,
                  int slot, int flags, int group);
    int AppendPoint(int series, double x, double y, int group);
    // With window > 0 and a full series the oldest value makes room (sliding window).
    int AppendValue(int series, double value, int window, bool keepBounds, int group);
    int ClearSeries(int group);
    int GetSeriesCount(int group) const;
    const PlotSeries* GetSeries(int group, int series) const;
    PlotSeries* GetSeries(int group, int series);

    int AddMarker(const PlotMarker& marker, int slot);
    const std::vector<PlotMarker>& Markers() const { return markers_; }
    std::vector<PlotMarker>& Markers() { return markers_; }

  private:
    PlotGroup groups_[kGroups];
    std::vector<PlotMarker> markers_;
};

// Every how many points a series of `count` points is drawn when at most `limit` are drawn.
int PlotPointStep(int count, int limit);
// The indexes drawn: 0, step, 2 step, ..., and always the last point.
std::vector<int> PlotDrawnIndexes(int count, int limit);

}  // namespace zm
