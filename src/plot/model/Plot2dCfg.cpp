#include "plot/model/Plot2dCfg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "base/Ini.h"
#include "base/Printf.h"

namespace zm {

namespace {

constexpr double kSmallestSpan = 0.01;
constexpr double kLargestSpan = 2.0 * kPlotFloatMax;

}  // namespace

CPlot2dCfg::CPlot2dCfg() {
    ApplyDefaultText();
}

void CPlot2dCfg::SetRect(int left, int top, int right, int bottom) {
    left_ = left;
    top_ = top;
    right_ = right - 1;
    bottom_ = bottom - 1;
}

PlotRect CPlot2dCfg::GetRect() const {
    return {left_, top_, right_ + 1, bottom_ + 1};
}

double CPlot2dCfg::PixelToX(int column) const {
    const AxisRange& a = axes_[kX];
    if (right_ == left_) {
        return a.viewMin;
    }
    return a.viewMin + (a.viewMax - a.viewMin) * (column - left_) / double(right_ - left_);
}

double CPlot2dCfg::PixelToY(int line) const {
    const AxisRange& a = axes_[kY];
    if (bottom_ == top_) {
        return a.viewMin;
    }
    return a.viewMin + (a.viewMax - a.viewMin) * (bottom_ - line) / double(bottom_ - top_);
}

int CPlot2dCfg::XToPixel(double x) const {
    const AxisRange& a = axes_[kX];
    double span = a.viewMax - a.viewMin;
    if (span <= 0) {
        return left_;
    }
    // Far-away values are cut so that the pixel stays a sane integer.
    double offset = std::clamp((right_ - left_) * (x - a.viewMin) / span, -1e7, 1e7);
    return left_ + PlotRoundInt(offset);
}

int CPlot2dCfg::YToPixel(double y) const {
    const AxisRange& a = axes_[kY];
    double span = a.viewMax - a.viewMin;
    if (span <= 0) {
        return top_;
    }
    double offset = std::clamp((bottom_ - top_) * (a.viewMax - y) / span, -1e7, 1e7);
    return top_ + PlotRoundInt(offset);
}

bool CPlot2dCfg::SetSpanLimits(Axis axis, double minimum, double maximum) {
    bool exact = true;
    if (std::isnan(minimum) || minimum < kSmallestSpan) {
        minimum = kSmallestSpan;
        exact = false;
    }
    if (std::isnan(maximum) || maximum > kLargestSpan) {
        maximum = kLargestSpan;
        exact = false;
    }
    if (minimum > maximum) {
        std::swap(minimum, maximum);
    }
    axes_[axis].spanMin = minimum;
    axes_[axis].spanMax = maximum;
    return exact;
}

void CPlot2dCfg::SetView(Axis a, double minimum, double maximum) {
    axes_[a].viewMin = minimum;
    axes_[a].viewMax = maximum;
}

void CPlot2dCfg::SetLimits(Axis a, double minimum, double maximum) {
    axes_[a].limitMin = minimum;
    axes_[a].limitMax = maximum;
}

void CPlot2dCfg::NormalizeAxis(Axis axis, int depth) {
    AxisRange& a = axes_[axis];
    if (std::isnan(a.limitMin) || std::isnan(a.limitMax)) {
        a.limitMin = std::isnan(a.limitMin) ? 0.0 : a.limitMin;
        a.limitMax = std::isnan(a.limitMax) ? a.limitMin + 1.0 : a.limitMax;
    }
    if (a.limitMin > a.limitMax) {
        std::swap(a.limitMin, a.limitMax);
    }
    if (a.limitMax - a.limitMin < 1.0) {
        a.limitMin = (a.limitMin + a.limitMax - 1.0) / 2.0;
    }
    a.limitMin = PlotClampFloat(a.limitMin);
    a.limitMax = PlotClampFloat(a.limitMax);
    if (a.limitMax - a.limitMin < 1.0) {
        a.limitMax = a.limitMin + 1.0;
    }

    if (std::isnan(a.viewMin) || std::isnan(a.viewMax)) {
        a.viewMin = a.limitMin;
        a.viewMax = a.limitMax;
    }
    if (a.viewMin > a.viewMax) {
        std::swap(a.viewMin, a.viewMax);
    }
    a.viewMin = PlotClampFloat(a.viewMin);
    a.viewMax = PlotClampFloat(a.viewMax);

    double limitSpan = a.limitMax - a.limitMin;
    double unresolved = std::min(std::fabs(a.limitMax - a.viewMax) / 2147483647.0,
                                 (a.viewMax - a.viewMin) / 4294967294.0);
    if (unresolved > limitSpan / 32767.0 && depth < 4) {
        // A view that the scroll bar cannot resolve against its limits: keep its middle,
        // make it as wide as the bar can still step through.
        double middle = a.viewMin / 2.0 + a.viewMax / 2.0;
        double half = limitSpan * 32767.0;
        a.viewMin = middle - half;
        a.viewMax = middle + half;
        PlotBeep();
        NormalizeAxis(axis, depth + 1);
        return;
    }
    a.limitMin = std::min(a.limitMin, a.viewMin);
    a.limitMax = std::max(a.limitMax, a.viewMax);
}

void CPlot2dCfg::Normalize() {
    NormalizeAxis(kX);
    NormalizeAxis(kY);
    UpdateScrollBars(kX);
    UpdateScrollBars(kY);
}

double CPlot2dCfg::ScrollUnit(Axis axis) const {
    const AxisRange& a = axes_[axis];
    return (a.limitMax - a.limitMin) / kScrollRange;
}

int CPlot2dCfg::ScrollPage(Axis axis) const {
    const AxisRange& a = axes_[axis];
    double unit = ScrollUnit(axis);
    if (!(unit > 0)) {
        return 1;
    }
    return std::clamp(PlotRoundInt((a.viewMax - a.viewMin) / unit + 1.0), 1, kScrollRange + 1);
}

PlotScrollState CPlot2dCfg::GetScrollState(Axis axis) const {
    const AxisRange& a = axes_[axis];
    PlotScrollState state;
    state.page = ScrollPage(axis);
    double unit = ScrollUnit(axis);
    int fromTop = unit > 0 ? PlotRoundInt((a.limitMax - a.viewMax) / unit) : 0;
    state.pos = axis == kX ? kScrollRange - fromTop - state.page + 1 : fromTop;
    state.pos = std::clamp(state.pos, 0, std::max(0, kScrollRange - state.page + 1));
    return state;
}

void CPlot2dCfg::UpdateScrollBars(Axis axis) {
    PlotScrollState state = GetScrollState(axis);
    for (IPlotScrollBar* bar : bars_[axis]) {
        bar->SetScrollState(state);
    }
}

void CPlot2dCfg::AttachScrollBar(Axis axis, IPlotScrollBar* bar) {
    if (!bar) {
        return;
    }
    auto& list = bars_[axis];
    if (std::find(list.begin(), list.end(), bar) == list.end()) {
        list.push_back(bar);
    }
    bar->SetScrollState(GetScrollState(axis));
}

void CPlot2dCfg::DetachScrollBar(IPlotScrollBar* bar) {
    for (auto& list : bars_) {
        list.erase(std::remove(list.begin(), list.end(), bar), list.end());
    }
}

void CPlot2dCfg::Scroll(Axis axis, int code, int thumb) {
    AxisRange& a = axes_[axis];
    double limitSpan = a.limitMax - a.limitMin;
    double width = a.viewMax - a.viewMin;
    double line = std::min(limitSpan / 40.0, width / 4.0);
    double page = ScrollPage(axis) * ScrollUnit(axis);
    // X moves toward smaller values on "back" (left), Y toward larger ones (up).
    double back = axis == kX ? -1.0 : 1.0;
    double shift = 0;
    bool place = false;
    double newMax = a.viewMax;
    switch (code) {
        case kScrollLineBack:
            shift = back * line;
            break;
        case kScrollLineForward:
            shift = -back * line;
            break;
        case kScrollPageBack:
            shift = back * page;
            break;
        case kScrollPageForward:
            shift = -back * page;
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack: {
            int fromTop = axis == kX ? kScrollRange - thumb - ScrollPage(axis) + 1 : thumb;
            newMax = a.limitMax - fromTop * ScrollUnit(axis);
            place = true;
            break;
        }
        default:
            break;
    }
    if (place) {
        a.viewMax = newMax;
        a.viewMin = newMax - width;
    } else {
        a.viewMin += shift;
        a.viewMax += shift;
    }
    if (a.viewMin < a.limitMin) {
        a.viewMin = a.limitMin;
        a.viewMax = a.limitMin + width;
    }
    if (a.viewMax > a.limitMax) {
        a.viewMax = a.limitMax;
        a.viewMin = a.limitMax - width;
    }
    NormalizeAxis(axis);
    UpdateScrollBars(axis);
}

void CPlot2dCfg::Zoom(Axis axis, bool in, double factor, bool clamp, bool round) {
    AxisRange& a = axes_[axis];
    if (!(factor > 0) || !std::isfinite(factor)) {
        return;
    }
    double width = a.viewMax - a.viewMin;
    double newWidth = in ? width * factor : width / factor;
    double widest = clamp ? a.limitMax - a.limitMin : a.spanMax;
    newWidth = std::clamp(newWidth, kSmallestSpan, std::max(widest, kSmallestSpan));
    double middle = a.viewMin / 2.0 + a.viewMax / 2.0;
    double newMin = middle - newWidth / 2.0;
    if (round) {
        newMin = PlotRound(newMin);
        // Rounding must not undo the smallest width.
        newWidth = std::max(PlotRound(newWidth), kSmallestSpan);
    }
    double newMax = newMin + newWidth;
    if (clamp) {
        if (newMin < a.limitMin) {
            newMin = a.limitMin;
            newMax = newMin + newWidth;
        }
        if (newMax > a.limitMax) {
            newMax = a.limitMax;
            newMin = newMax - newWidth;
        }
    }
    a.viewMin = newMin;
    a.viewMax = newMax;
    NormalizeAxis(axis);
    UpdateScrollBars(axis);
}

std::string CPlot2dCfg::GetText() const {
    const AxisRange& x = axes_[kX];
    const AxisRange& y = axes_[kY];
    return StrPrintf("%lf,%lf,%lf,%lf, %lf,%lf,%lf,%lf, %d,%d,%d,%d", x.limitMin, x.limitMax,
                     y.limitMin, y.limitMax, x.viewMin, x.viewMax, y.viewMin, y.viewMax, left_,
                     right_, bottom_, top_);
}

bool CPlot2dCfg::SetText(std::string_view text) {
    std::string copy(text);
    double v[8] = {};
    int r[4] = {};
    int n = std::sscanf(copy.c_str(), "%lf,%lf,%lf,%lf, %lf,%lf,%lf,%lf, %d,%d,%d,%d", &v[0], &v[1],
                        &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &r[0], &r[1], &r[2], &r[3]);
    if (n != 12) {
        return false;
    }
    for (double d : v) {
        if (std::isnan(d)) {
            return false;
        }
    }
    axes_[kX].limitMin = v[0];
    axes_[kX].limitMax = v[1];
    axes_[kY].limitMin = v[2];
    axes_[kY].limitMax = v[3];
    axes_[kX].viewMin = v[4];
    axes_[kX].viewMax = v[5];
    axes_[kY].viewMin = v[6];
    axes_[kY].viewMax = v[7];
    left_ = r[0];
    right_ = r[1];
    bottom_ = r[2];
    top_ = r[3];
    Normalize();
    return true;
}

bool CPlot2dCfg::Save(std::string_view section, CIni* ini) const {
    CIni holder;
    return PlotProfile(ini, holder).WriteString(section, kKey, GetText());
}

bool CPlot2dCfg::Load(std::string_view section, CIni* ini) {
    CIni holder;
    std::string current = GetText();
    std::string text = PlotProfile(ini, holder).GetString(section, kKey, current);
    return SetText(text);
}

}  // namespace zm
