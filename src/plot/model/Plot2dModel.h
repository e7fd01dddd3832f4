#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "plot/model/Plot2dBufSettings.h"
#include "plot/model/Plot2dCfg.h"
#include "plot/model/Plot2dData.h"
#include "plot/model/Plot2dOptions.h"
#include "plot/model/Plot2dRuler.h"

namespace zm {

class CIni;

// The view's commands; PlotCommandName gives the registered command name.
enum class PlotCommand {
    kZoomInX,
    kZoomOutX,
    kZoomInY,
    kZoomOutY,
    kZoom1To1,
    kZoomFull,
    kAutoScale,
    kAScaleAll,
    kAScaleCur,
    kAScaleHyb,
    kLockCursor,
    kShowCursor,
    kShowPoints,
    kXScaleOff,
    kXScale100,
    kXScale105,
    kYScaleOff,
    kYScale100,
    kYScale105,
    kShowCtrls,
};
const char* PlotCommandName(PlotCommand command);

// The four bound labels around the plot.
enum class PlotBound { kXLeft, kXRight, kYBottom, kYTop };

// Data bounds found by the last rescale (or the limits when nothing was found).
struct PlotDataBounds {
    bool found = false;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
};

// The current series' points inside the plotting rectangle, recorded while painting.
struct PlotVisibleRange {
    int first = -1;
    int last = -1;
    double xMin = 0;
    double xMax = 0;
    bool Any() const { return first >= 0; }
};

// The tip at a cursor point: text (empty: nothing shown), where the pointer goes and,
// when the pointer is locked onto a point, which one.
struct PlotTip {
    std::string text;
    PlotPoint point;
    double x = 0;
    double y = 0;
    int group = -1;
    int series = -1;
    int index = -1;
};

struct PlotLegendBox {
    int group = 0;
    int series = 0;
    PlotRect box;
    bool circle = false;
    PlotRect nameRect;  // empty unless names are shown
};

// The range and start value the numeric edit box gets for a bound.
struct PlotBoundEdit {
    double minimum = 0;
    double maximum = 0;
    int decimals = 0;
    double value = 0;
    double step = 100;
};

class CPlot2dModel;
// Called on every tip update; may rewrite the text and the point.
using PlotTipHook =
    std::function<void(std::string& text, PlotPoint& point, const CPlot2dModel& view)>;

// The plot view without its widgets: series, markers, options, automatic scaling, commands,
// bound editing, tips, legend and persistence. The widgets paint what it says and forward
// input to it. Everything runs on the window's thread.
class CPlot2dModel {
  public:
    static constexpr const char* kKey = "CPlot2dView";
    static constexpr int kDrawnPointsLimit = 3000;
    static constexpr double kZoomFactor = 0.8;

    CPlot2dModel();
    CPlot2dModel(const CPlot2dModel&) = delete;
    CPlot2dModel& operator=(const CPlot2dModel&) = delete;

    CPlot2dCfg& Cfg() { return cfg_; }
    const CPlot2dCfg& Cfg() const { return cfg_; }
    CPlot2dBufSettings& PlotBuf() { return plotBuf_; }
    const CPlot2dBufSettings& PlotBuf() const { return plotBuf_; }
    CPlot2dRuler& Ruler() { return ruler_; }
    const CPlot2dRuler& Ruler() const { return ruler_; }
    CPlot2dData& Data() { return data_; }
    const CPlot2dData& Data() const { return data_; }
    PlotOptions& Options() { return options_; }
    const PlotOptions& Options() const { return options_; }
    // Held while a group is painted and while the tip text is built.
    std::recursive_mutex& DataLock() const { return dataLock_; }

    // Owner operations.
    PlotArrays* GetXArrays(int group) { return data_.GetXArrays(group); }
    PlotArrays* GetYArrays(int group) { return data_.GetYArrays(group); }
    int AddSeries(int xArray, int yArray, PlotColor color, const std::string& name, bool visible,
                  int slot, int flags, int group);
    int AppendPoint(int series, double x, double y, bool redraw, int group);
    int AppendValue(int series, double value, bool redraw, int window, bool keepBounds, int group);
    int ClearSeries(bool redraw, int group);
    int GetSeriesCount(int group) const { return data_.GetSeriesCount(group); }
    const PlotSeries* GetSeries(int group, int series) const {
        return data_.GetSeries(group, series);
    }
    void Rescale(bool redraw);
    int AddMarker(const PlotMarker& marker, int slot = -1);
    void SetXLimits(double minimum, double maximum, bool force);
    void SetYLimits(double minimum, double maximum, bool force);
    void SetLegendLayout(int spacing, int boxSize, bool horizontal, bool names);
    void SetIncludedYValues(double first, double second, bool firstOn, bool secondOn);
    void SetDefaultOptions(int showInfo, int zeroLine, int drawPoints, int lockPointer,
                           int autoMode, int xScaling, int yScaling, int currentSeries,
                           int showControls);
    const std::string& GetDefaultOptionsText() const { return defaultOptions_; }
    // Parses the view's, the configuration's and the buffer's default texts.
    void ApplyDefaults();
    void SetTipHook(PlotTipHook hook) { tipHook_ = std::move(hook); }
    // -1 for none. Returns false for an invalid group.
    bool SelectSeries(int series, bool redraw, int group);
    bool Save(std::string_view section, CIni* ini = nullptr) const;
    bool Load(std::string_view section, CIni* ini = nullptr);

    int CurrentGroup() const { return currentGroup_; }
    void SetLabelDecimals(int xDecimals, int yDecimals);
    int XDecimals() const { return xDecimals_; }
    int YDecimals() const { return yDecimals_; }
    const PlotDataBounds& LastDataBounds() const { return bounds_; }
    PlotColor Background() const { return background_; }
    int LegendSpacing() const { return legendSpacing_; }
    int LegendBox() const { return legendBox_; }
    bool LegendHorizontal() const { return legendHorizontal_; }
    bool LegendNames() const { return legendNames_; }

    // Commands of the toolbar and its drop-downs, with their toolbar states.
    void Execute(PlotCommand command);
    bool IsEnabled(PlotCommand command) const;
    bool IsChecked(PlotCommand command) const;

    // Bound labels and their editing.
    std::string BoundText(PlotBound bound) const;
    double BoundValue(PlotBound bound) const;
    // Switches auto-scaling off and gives the edit box's range and value.
    PlotBoundEdit BeginBoundEdit(PlotBound bound);
    // One change reported by the edit box; true when the edit ends with it.
    bool BoundEditChanged(PlotBound bound, int lastAction, double value);

    // Painting support. The current series index is brought back to 0 when it no longer
    // names a series of the current group.
    void FixCurrentSeries(int group);
    bool IsOnTop(int group, int series) const;
    PlotVisibleRange& RecordedVisible() { return visible_; }
    const PlotVisibleRange& RecordedVisible() const { return visible_; }
    std::vector<PlotLegendBox> LegendBoxes(PlotRect rect) const;
    // The series whose legend box holds the point: {group, series}, or {-1, -1}.
    std::pair<int, int> LegendHit(PlotRect rect, PlotPoint point) const;
    // Tip for a cursor point in plot-area coordinates; runs the owner's hook.
    PlotTip ComputeTip(PlotPoint cursor);
    const PlotTip& LastTip() const { return lastTip_; }

    // Told after every change that needs the controls refreshed (redraw: the plot too).
    std::function<void(bool redraw)> onChanged;
    // Told when SelectSeries locks or unlocks the pointer.
    std::function<void()> onPointerLock;

  private:
    void SetLimits(CPlot2dCfg::Axis axis, double minimum, double maximum, bool force);
    void Changed(bool redraw);
    void SetMode(int mode) { options_.autoMode = mode; }
    int NegativeMode() const;

    CPlot2dCfg cfg_;
    CPlot2dBufSettings plotBuf_;
    CPlot2dRuler ruler_;
    CPlot2dData data_;
    PlotOptions options_;
    std::string defaultOptions_ = PlotOptions::kClassDefault;
    int currentGroup_ = 0;
    int xDecimals_ = 1;
    int yDecimals_ = 1;
    int legendSpacing_ = 3;
    int legendBox_ = 10;
    bool legendHorizontal_ = true;
    bool legendNames_ = false;
    std::array<double, 2> included_{-10000, 70000};
    std::array<bool, 2> includedOn_{false, false};
    PlotColor background_{250, 255, 250};
    PlotDataBounds bounds_;
    PlotVisibleRange visible_;
    PlotTip lastTip_;
    PlotTipHook tipHook_;
    mutable std::recursive_mutex dataLock_;
};

// The drawn pixels of a series (at most the drawn-points limit, the last point always,
// no two neighbours on one pixel). With `record` the indexes and X of the points inside
// the plotting rectangle are noted in it.
void BuildSeriesPixels(const CPlot2dCfg& cfg, const PlotArray& xs, const PlotArray& ys, int count,
                       int limit, PlotVisibleRange* record, std::vector<PlotPoint>& out);

}  // namespace zm
