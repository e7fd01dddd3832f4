#include "plot/model/Plot2dModel.h"

#include <algorithm>
#include <cmath>

#include "base/Ini.h"
#include "base/Printf.h"

namespace zm {

namespace {

constexpr int kActionEnter = 13;
constexpr int kActionEscape = 27;
constexpr int kActionFocusLost = 8;

void Widen(PlotDataBounds& b, double x, double y) {
    if (!b.found) {
        b = {true, x, x, y, y};
        return;
    }
    b.xMin = std::min(b.xMin, x);
    b.xMax = std::max(b.xMax, x);
    b.yMin = std::min(b.yMin, y);
    b.yMax = std::max(b.yMax, y);
}

void Widen(PlotDataBounds& b, const PlotSeries& s) {
    Widen(b, s.xMin, s.yMin);
    Widen(b, s.xMax, s.yMax);
}

// Window of one axis for automatic scaling: span at least the axis' smallest span, 5 %
// more with the 105 % fit.
void ScaledWindow(double lo, double hi, double spanMin, int scaling, double& from, double& to) {
    double span = std::max(hi - lo, spanMin);
    double centre = (lo + hi) / 2.0;
    if (spanMin > std::fabs(lo + hi)) {
        centre = spanMin / 2.0;
    }
    double half = scaling == kScalingFit105 ? span * 1.05 / 2.0 : span / 2.0;
    from = centre - half;
    to = centre + half;
}

}  // namespace

const char* PlotCommandName(PlotCommand command) {
    switch (command) {
        case PlotCommand::kZoomInX:
            return "SPECFRM_ZOOMINX";
        case PlotCommand::kZoomOutX:
            return "SPECFRM_ZOOMOUTX";
        case PlotCommand::kZoomInY:
            return "SPECFRM_ZOOMINY";
        case PlotCommand::kZoomOutY:
            return "SPECFRM_ZOOMOUTY";
        case PlotCommand::kZoom1To1:
            return "SPECFRM_ZOOM1TO1";
        case PlotCommand::kZoomFull:
            return "SPECFRM_ZOOMFULL";
        case PlotCommand::kAutoScale:
            return "SPECFRM_AUTO_SCALE";
        case PlotCommand::kAScaleAll:
            return "SPECFRM_ASCALE_ALL";
        case PlotCommand::kAScaleCur:
            return "SPECFRM_ASCALE_CUR";
        case PlotCommand::kAScaleHyb:
            return "SPECFRM_ASCALE_HYB";
        case PlotCommand::kLockCursor:
            return "SPECFRM_LOCKCURSOR";
        case PlotCommand::kShowCursor:
            return "SPECFRM_SHOWCURSOR";
        case PlotCommand::kShowPoints:
            return "SPECFRM_SHOWPOINTS";
        case PlotCommand::kXScaleOff:
            return "SPECFRM_XSCALE_OFF";
        case PlotCommand::kXScale100:
            return "SPECFRM_XSCALE_100";
        case PlotCommand::kXScale105:
            return "SPECFRM_XSCALE_105";
        case PlotCommand::kYScaleOff:
            return "SPECFRM_YSCALE_OFF";
        case PlotCommand::kYScale100:
            return "SPECFRM_YSCALE_100";
        case PlotCommand::kYScale105:
            return "SPECFRM_YSCALE_105";
        case PlotCommand::kShowCtrls:
            return "SPECFRM_SHOWCTRLS";
    }
    return "";
}

CPlot2dModel::CPlot2dModel() {
    cfg_.SetXSpanLimits(10, 20000);
    cfg_.SetYSpanLimits(1, 80000);
    ApplyDefaults();
}

void CPlot2dModel::Changed(bool redraw) {
    if (onChanged) {
        onChanged(redraw);
    }
}

int CPlot2dModel::AddSeries(int xArray, int yArray, PlotColor color, const std::string& name,
                            bool visible, int slot, int flags, int group) {
    return data_.AddSeries(xArray, yArray, color, name, visible, slot, flags, group);
}

int CPlot2dModel::AppendPoint(int series, double x, double y, bool redraw, int group) {
    int count = data_.AppendPoint(series, x, y, group);
    if (count >= 0 && redraw) {
        Rescale(redraw);
    }
    return count;
}

int CPlot2dModel::AppendValue(int series, double value, bool redraw, int window, bool keepBounds,
                              int group) {
    int count = data_.AppendValue(series, value, window, keepBounds, group);
    if (count >= 0 && redraw) {
        Rescale(redraw);
    }
    return count;
}

int CPlot2dModel::ClearSeries(bool redraw, int group) {
    if (data_.ClearSeries(group) < 0) {
        return -1;
    }
    Rescale(redraw);
    return 0;
}

void CPlot2dModel::Rescale(bool redraw) {
    PlotDataBounds b;
    const PlotSeries* current = data_.GetSeries(currentGroup_, options_.currentSeries);
    if (current && options_.autoMode > kAutoAll && options_.lockPointer && current->visible &&
        current->count >= 1) {
        Widen(b, *current);
    } else {
        for (int g = 0; g < CPlot2dData::kGroups; ++g) {
            for (const PlotSeries& s : data_.Group(g).series) {
                if (s.visible && s.count >= 1) {
                    Widen(b, s);
                }
            }
        }
    }
    for (const PlotMarker& m : data_.Markers()) {
        if (m.inDataRange) {
            Widen(b, m.x, m.y);
        }
    }
    if (b.found) {
        b.xMin = PlotRoundDecimals(b.xMin, xDecimals_);
        b.xMax = PlotRoundDecimals(b.xMax, xDecimals_);
        b.yMin = PlotRoundDecimals(b.yMin, yDecimals_);
        b.yMax = PlotRoundDecimals(b.yMax, yDecimals_);
    } else {
        b.xMin = cfg_.LimitMin(CPlot2dCfg::kX);
        b.xMax = cfg_.LimitMax(CPlot2dCfg::kX);
        b.yMin = cfg_.LimitMin(CPlot2dCfg::kY);
        b.yMax = cfg_.LimitMax(CPlot2dCfg::kY);
    }
    for (int i = 0; i < 2; ++i) {
        if (includedOn_[i]) {
            b.yMin = std::min(b.yMin, included_[i]);
            b.yMax = std::max(b.yMax, included_[i]);
        }
    }
    bounds_ = b;
    if (b.found && options_.autoMode > 0) {
        double from = 0;
        double to = 0;
        if (options_.xScaling != kScalingOff) {
            ScaledWindow(b.xMin, b.xMax, cfg_.SpanMin(CPlot2dCfg::kX), options_.xScaling, from, to);
            SetLimits(CPlot2dCfg::kX, from, to, true);
        }
        if (options_.yScaling != kScalingOff) {
            ScaledWindow(b.yMin, b.yMax, cfg_.SpanMin(CPlot2dCfg::kY), options_.yScaling, from, to);
            SetLimits(CPlot2dCfg::kY, from, to, true);
        }
    }
    Changed(redraw);
}

int CPlot2dModel::AddMarker(const PlotMarker& marker, int slot) {
    return data_.AddMarker(marker, slot);
}

void CPlot2dModel::SetLimits(CPlot2dCfg::Axis axis, double minimum, double maximum, bool force) {
    if (std::isnan(minimum) || std::isnan(maximum)) {
        return;
    }
    if (minimum > maximum) {
        std::swap(minimum, maximum);
    }
    cfg_.SetLimits(axis, minimum, maximum);
    double viewMin = cfg_.ViewMin(axis);
    double viewMax = cfg_.ViewMax(axis);
    if (force || viewMin < minimum || viewMin > maximum) {
        viewMin = minimum;
    }
    if (force || viewMax < minimum || viewMax > maximum) {
        viewMax = maximum;
    }
    cfg_.SetView(axis, viewMin, viewMax);
    cfg_.Normalize();
}

void CPlot2dModel::SetXLimits(double minimum, double maximum, bool force) {
    SetLimits(CPlot2dCfg::kX, minimum, maximum, force);
    Changed(false);
}

void CPlot2dModel::SetYLimits(double minimum, double maximum, bool force) {
    SetLimits(CPlot2dCfg::kY, minimum, maximum, force);
    Changed(false);
}

void CPlot2dModel::SetLegendLayout(int spacing, int boxSize, bool horizontal, bool names) {
    legendSpacing_ = std::max(0, spacing);
    legendBox_ = std::max(1, boxSize);
    legendHorizontal_ = horizontal;
    legendNames_ = names;
}

void CPlot2dModel::SetIncludedYValues(double first, double second, bool firstOn, bool secondOn) {
    included_ = {PlotClampFloat(first), PlotClampFloat(second)};
    includedOn_ = {firstOn, secondOn};
}

void CPlot2dModel::SetDefaultOptions(int showInfo, int zeroLine, int drawPoints, int lockPointer,
                                     int autoMode, int xScaling, int yScaling, int currentSeries,
                                     int showControls) {
    defaultOptions_ =
        StrPrintf("%d;%d;%d;%d;%d;%d;%d;%d;%d", showInfo, zeroLine, drawPoints, lockPointer,
                  autoMode, xScaling, yScaling, currentSeries, showControls);
}

void CPlot2dModel::ApplyDefaults() {
    if (!options_.SetText(defaultOptions_)) {
        options_ = PlotOptions{};
    }
    cfg_.ApplyDefaultText();
    plotBuf_.ApplyDefaultText();
}

void CPlot2dModel::SetLabelDecimals(int xDecimals, int yDecimals) {
    xDecimals_ = std::clamp(xDecimals, 0, 10);
    yDecimals_ = std::clamp(yDecimals, 0, 10);
}

bool CPlot2dModel::SelectSeries(int series, bool redraw, int group) {
    if (!CPlot2dData::IsGroup(group)) {
        return false;
    }
    const PlotSeries* s = data_.GetSeries(group, series);
    bool exists = s && s->visible;
    if (exists) {
        bool already =
            series == options_.currentSeries && group == currentGroup_ && options_.lockPointer;
        if (!already) {
            visible_ = {};
            currentGroup_ = group;
            options_.currentSeries = series;
            options_.lockPointer = 1;
            if (onPointerLock) {
                onPointerLock();
            }
            if (options_.autoMode > kAutoAll) {
                Rescale(redraw);
            } else {
                Changed(redraw);
            }
        }
    } else if (options_.lockPointer) {
        options_.lockPointer = 0;
        if (onPointerLock) {
            onPointerLock();
        }
        if (options_.autoMode == kAutoHybrid) {
            Rescale(redraw);
        } else {
            Changed(redraw);
        }
    }
    lastTip_ = {};
    return true;
}

bool CPlot2dModel::Save(std::string_view section, CIni* ini) const {
    CIni holder;
    CIni& store = PlotProfile(ini, holder);
    bool ok = store.WriteString(section, kKey, options_.GetText());
    ok = cfg_.Save(section, &store) && ok;
    ok = plotBuf_.Save(section, &store) && ok;
    ok = ruler_.Save(section, &store) && ok;
    return ok;
}

bool CPlot2dModel::Load(std::string_view section, CIni* ini) {
    CIni holder;
    CIni& store = PlotProfile(ini, holder);
    std::string text = store.GetString(section, kKey, defaultOptions_);
    if (!options_.SetText(text)) {
        ApplyDefaults();
        return false;
    }
    bool ok = cfg_.Load(section, &store);
    ok = ok && plotBuf_.Load(section, &store);
    ok = ok && ruler_.Load(section, &store);
    return ok;
}

int CPlot2dModel::NegativeMode() const {
    return -std::abs(options_.autoMode);
}

void CPlot2dModel::Execute(PlotCommand command) {
    switch (command) {
        case PlotCommand::kZoomInX:
        case PlotCommand::kZoomOutX:
        case PlotCommand::kZoomInY:
        case PlotCommand::kZoomOutY: {
            bool in = command == PlotCommand::kZoomInX || command == PlotCommand::kZoomInY;
            auto axis = (command == PlotCommand::kZoomInX || command == PlotCommand::kZoomOutX)
                            ? CPlot2dCfg::kX
                            : CPlot2dCfg::kY;
            cfg_.Zoom(axis, in, kZoomFactor, true, true);
            SetMode(NegativeMode());
            Rescale(true);
            break;
        }
        case PlotCommand::kZoom1To1:
            cfg_.SetView(CPlot2dCfg::kX, bounds_.xMin, bounds_.xMax);
            cfg_.SetView(CPlot2dCfg::kY, bounds_.yMin, bounds_.yMax);
            cfg_.Normalize();
            SetMode(NegativeMode());
            Rescale(true);
            break;
        case PlotCommand::kZoomFull:
            for (auto axis : {CPlot2dCfg::kX, CPlot2dCfg::kY}) {
                cfg_.SetView(axis, cfg_.LimitMin(axis), cfg_.LimitMax(axis));
            }
            cfg_.Normalize();
            SetMode(NegativeMode());
            Rescale(true);
            break;
        case PlotCommand::kAutoScale:
            SetMode(options_.autoMode == 0 ? kAutoAll : -options_.autoMode);
            if (options_.autoMode > 0) {
                Rescale(true);
            } else {
                Changed(true);
            }
            break;
        case PlotCommand::kAScaleAll:
        case PlotCommand::kAScaleCur:
        case PlotCommand::kAScaleHyb:
            SetMode(command == PlotCommand::kAScaleAll   ? kAutoAll
                    : command == PlotCommand::kAScaleCur ? kAutoCurrent
                                                         : kAutoHybrid);
            Rescale(true);
            break;
        case PlotCommand::kLockCursor:
            options_.lockPointer = !options_.lockPointer;
            Changed(true);
            break;
        case PlotCommand::kShowCursor:
            options_.showInfo = !options_.showInfo;
            Changed(true);
            break;
        case PlotCommand::kShowPoints:
            options_.drawPoints = !options_.drawPoints;
            Changed(true);
            break;
        case PlotCommand::kXScaleOff:
            options_.xScaling = kScalingOff;
            Changed(false);
            break;
        case PlotCommand::kYScaleOff:
            options_.yScaling = kScalingOff;
            Changed(false);
            break;
        case PlotCommand::kXScale100:
        case PlotCommand::kXScale105:
        case PlotCommand::kYScale100:
        case PlotCommand::kYScale105: {
            int scaling = (command == PlotCommand::kXScale100 || command == PlotCommand::kYScale100)
                              ? kScalingFit100
                              : kScalingFit105;
            if (command == PlotCommand::kXScale100 || command == PlotCommand::kXScale105) {
                options_.xScaling = scaling;
            } else {
                options_.yScaling = scaling;
            }
            if (options_.autoMode > 0) {
                Rescale(true);
            } else {
                Changed(false);
            }
            break;
        }
        case PlotCommand::kShowCtrls:
            options_.showControls = !options_.showControls;
            Changed(true);
            break;
    }
}

bool CPlot2dModel::IsEnabled(PlotCommand command) const {
    using A = CPlot2dCfg::Axis;
    auto width = [&](A a) { return cfg_.ViewMax(a) - cfg_.ViewMin(a); };
    auto beyond = [&](A a) {
        return cfg_.LimitMin(a) < cfg_.ViewMin(a) || cfg_.LimitMax(a) > cfg_.ViewMax(a);
    };
    switch (command) {
        case PlotCommand::kZoomInX:
            return width(A::kX) > cfg_.SpanMin(A::kX);
        case PlotCommand::kZoomInY:
            return width(A::kY) > cfg_.SpanMin(A::kY);
        case PlotCommand::kZoomOutX:
            return beyond(A::kX);
        case PlotCommand::kZoomOutY:
            return beyond(A::kY);
        case PlotCommand::kZoom1To1:
            return data_.GetSeriesCount(0) > 0 &&
                   (cfg_.ViewMin(A::kX) != bounds_.xMin || cfg_.ViewMax(A::kX) != bounds_.xMax ||
                    cfg_.ViewMin(A::kY) != bounds_.yMin || cfg_.ViewMax(A::kY) != bounds_.yMax);
        case PlotCommand::kZoomFull:
            return beyond(A::kX) || beyond(A::kY);
        default:
            return true;
    }
}

bool CPlot2dModel::IsChecked(PlotCommand command) const {
    int mode = std::abs(options_.autoMode);
    switch (command) {
        case PlotCommand::kAutoScale:
            return options_.autoMode > 0;
        case PlotCommand::kAScaleAll:
            return mode == kAutoAll;
        case PlotCommand::kAScaleCur:
            return mode == kAutoCurrent;
        case PlotCommand::kAScaleHyb:
            return mode == kAutoHybrid;
        case PlotCommand::kLockCursor:
            return options_.lockPointer != 0;
        case PlotCommand::kShowCursor:
            return options_.showInfo != 0;
        case PlotCommand::kShowPoints:
            return options_.drawPoints != 0;
        case PlotCommand::kXScaleOff:
            return options_.xScaling == kScalingOff;
        case PlotCommand::kXScale100:
            return options_.xScaling == kScalingFit100;
        case PlotCommand::kXScale105:
            return options_.xScaling == kScalingFit105;
        case PlotCommand::kYScaleOff:
            return options_.yScaling == kScalingOff;
        case PlotCommand::kYScale100:
            return options_.yScaling == kScalingFit100;
        case PlotCommand::kYScale105:
            return options_.yScaling == kScalingFit105;
        case PlotCommand::kShowCtrls:
            return options_.showControls != 0;
        default:
            return false;
    }
}

double CPlot2dModel::BoundValue(PlotBound bound) const {
    switch (bound) {
        case PlotBound::kXLeft:
            return cfg_.ViewMin(CPlot2dCfg::kX);
        case PlotBound::kXRight:
            return cfg_.ViewMax(CPlot2dCfg::kX);
        case PlotBound::kYBottom:
            return cfg_.ViewMin(CPlot2dCfg::kY);
        case PlotBound::kYTop:
            return cfg_.ViewMax(CPlot2dCfg::kY);
    }
    return 0;
}

std::string CPlot2dModel::BoundText(PlotBound bound) const {
    bool x = bound == PlotBound::kXLeft || bound == PlotBound::kXRight;
    return StrPrintf("%.*f", x ? xDecimals_ : yDecimals_, BoundValue(bound));
}

PlotBoundEdit CPlot2dModel::BeginBoundEdit(PlotBound bound) {
    if (options_.autoMode > 0) {
        Execute(PlotCommand::kAutoScale);
    }
    PlotBoundEdit edit;
    edit.value = BoundValue(bound);
    using A = CPlot2dCfg::Axis;
    switch (bound) {
        case PlotBound::kXLeft:
            edit = {-kPlotFloatMax, cfg_.ViewMax(A::kX) - cfg_.SpanMin(A::kX), xDecimals_,
                    edit.value, 100};
            break;
        case PlotBound::kXRight:
            edit = {cfg_.ViewMin(A::kX) + cfg_.SpanMin(A::kX), kPlotFloatMax, xDecimals_,
                    edit.value, 100};
            break;
        case PlotBound::kYBottom:
            edit = {-kPlotFloatMax, cfg_.ViewMax(A::kY) - cfg_.SpanMin(A::kY), yDecimals_,
                    edit.value, 100};
            break;
        case PlotBound::kYTop:
            edit = {cfg_.ViewMin(A::kY) + cfg_.SpanMin(A::kY), kPlotFloatMax, yDecimals_,
                    edit.value, 100};
            break;
    }
    return edit;
}

bool CPlot2dModel::BoundEditChanged(PlotBound bound, int lastAction, double value) {
    if (std::isfinite(value) && (lastAction == kActionEnter || value != BoundValue(bound))) {
        using A = CPlot2dCfg::Axis;
        A axis = (bound == PlotBound::kXLeft || bound == PlotBound::kXRight) ? A::kX : A::kY;
        bool isMin = bound == PlotBound::kXLeft || bound == PlotBound::kYBottom;
        double viewMin = isMin ? value : cfg_.ViewMin(axis);
        double viewMax = isMin ? cfg_.ViewMax(axis) : value;
        cfg_.SetView(axis, viewMin, viewMax);
        if (lastAction == kActionEnter) {
            double limitMin = isMin ? value : cfg_.LimitMin(axis);
            double limitMax = isMin ? cfg_.LimitMax(axis) : value;
            cfg_.SetLimits(axis, limitMin, limitMax);
        }
        cfg_.Normalize();
        Rescale(true);
    }
    return lastAction == kActionEnter || lastAction == kActionEscape ||
           lastAction == kActionFocusLost;
}

void CPlot2dModel::FixCurrentSeries(int group) {
    if (group == currentGroup_ && options_.currentSeries >= data_.GetSeriesCount(group)) {
        options_.currentSeries = 0;
    }
}

bool CPlot2dModel::IsOnTop(int group, int series) const {
    return options_.lockPointer && group == currentGroup_ && series == options_.currentSeries;
}

std::vector<PlotLegendBox> CPlot2dModel::LegendBoxes(PlotRect rect) const {
    std::vector<PlotLegendBox> boxes;
    int c = 0;
    for (int g = 0; g < CPlot2dData::kGroups; ++g) {
        int j = 0;
        const auto& series = data_.Group(g).series;
        for (int i = 0; i < static_cast<int>(series.size()); ++i) {
            if (!series[i].visible) {
                continue;
            }
            int along = legendSpacing_ + j * (legendBox_ + legendSpacing_);
            int across = c * legendBox_ + (2 * c + 1) * legendSpacing_;
            PlotLegendBox box;
            box.group = g;
            box.series = i;
            int x = rect.left + (legendHorizontal_ ? along : across);
            int y = rect.top + (legendHorizontal_ ? across : along);
            box.box = {x, y, x + legendBox_, y + legendBox_};
            box.circle = IsOnTop(g, i);
            if (!legendHorizontal_ && legendNames_) {
                int nameLeft = box.box.right + legendSpacing_;
                box.nameRect = {nameLeft, y, nameLeft + 200, y + legendBox_};
            }
            boxes.push_back(box);
            ++j;
        }
        if (j > 0) {
            ++c;
        }
    }
    return boxes;
}

std::pair<int, int> CPlot2dModel::LegendHit(PlotRect rect, PlotPoint point) const {
    for (const PlotLegendBox& b : LegendBoxes(rect)) {
        if (b.box.Contains(point)) {
            return {b.group, b.series};
        }
    }
    return {-1, -1};
}

PlotTip CPlot2dModel::ComputeTip(PlotPoint cursor) {
    std::lock_guard lock(dataLock_);
    PlotTip tip;
    PlotPoint p{cursor.x - 1, cursor.y - 1};
    tip.point = p;
    if (options_.showInfo && cfg_.GetRect().Contains(p)) {
        tip.x = cfg_.PixelToX(p.x);
        tip.y = cfg_.PixelToY(p.y);
        const PlotSeries* s = data_.GetSeries(currentGroup_, options_.currentSeries);
        if (options_.lockPointer && data_.GetSeriesCount(currentGroup_) > 0 && s && s->count > 0) {
            if (visible_.Any()) {
                double spread = visible_.xMax - visible_.xMin;
                double share = spread != 0 ? (tip.x - visible_.xMin) / spread : 0.0;
                int index = visible_.first + PlotRoundInt((visible_.last - visible_.first) * share);
                index = std::clamp(index, visible_.first, visible_.last);
                const PlotGroup& g = data_.Group(currentGroup_);
                const PlotArray& xs = g.xArrays[s->xArray];
                const PlotArray& ys = g.yArrays[s->yArray];
                if (index < static_cast<int>(xs.size()) && index < static_cast<int>(ys.size())) {
                    tip.x = xs[index];
                    tip.y = ys[index];
                    tip.point = {cfg_.XToPixel(tip.x), cfg_.YToPixel(tip.y)};
                    tip.group = currentGroup_;
                    tip.series = options_.currentSeries;
                    tip.index = index;
                    tip.text = StrPrintf(" Sp.%d (%s) \n %.1f : %.1f\n Max = %.1f",
                                         options_.currentSeries + 1, s->name.c_str(), tip.x, tip.y,
                                         s->yMax);
                }
            }
        } else {
            tip.text = StrPrintf(" %.0f : %.1f", tip.x, tip.y);
        }
    }
    lastTip_ = tip;
    if (tipHook_) {
        tipHook_(tip.text, tip.point, *this);
    }
    lastTip_.text = tip.text;
    lastTip_.point = tip.point;
    return tip;
}

void BuildSeriesPixels(const CPlot2dCfg& cfg, const PlotArray& xs, const PlotArray& ys, int count,
                       int limit, PlotVisibleRange* record, std::vector<PlotPoint>& out) {
    out.clear();
    if (record) {
        *record = {};
    }
    count = std::min({count, static_cast<int>(xs.size()), static_cast<int>(ys.size())});
    if (count <= 0) {
        return;
    }
    PlotRect rect = cfg.GetRect();
    int step = PlotPointStep(count, limit);
    out.reserve(count / step + 2);
    auto take = [&](int i) {
        double x = xs[i];
        double y = ys[i];
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        PlotPoint p{cfg.XToPixel(x), cfg.YToPixel(y)};
        if (record && rect.Contains(p)) {
            if (!record->Any()) {
                *record = {i, i, x, x};
            } else {
                record->last = i;
                record->xMin = std::min(record->xMin, x);
                record->xMax = std::max(record->xMax, x);
            }
        }
        if (!out.empty() && out.back() == p) {
            return;
        }
        out.push_back(p);
    };
    int i = 0;
    for (; i < count; i += step) {
        take(i);
    }
    if (i - step != count - 1) {
        take(count - 1);
    }
}

}  // namespace zm
