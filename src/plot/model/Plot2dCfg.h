#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "plot/model/PlotTypes.h"

namespace zm {

class CIni;

// What a scroll bar shows: the range 0..max, the page and the position of the page's start.
struct PlotScrollState {
    int min = 0;
    int max = 0x7FFF;
    int page = 1;
    int pos = 0;
    friend bool operator==(const PlotScrollState&, const PlotScrollState&) = default;
};

// A scroll bar kept in step with one axis of the plot.
class IPlotScrollBar {
  public:
    virtual ~IPlotScrollBar() = default;
    virtual void SetScrollState(const PlotScrollState& state) = 0;
};

// Scroll codes of the platform, as the scroll handlers receive them.
enum PlotScrollCode {
    kScrollLineBack = 0,  // left (X) or up (Y)
    kScrollLineForward = 1,
    kScrollPageBack = 2,
    kScrollPageForward = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
};

// The plot's coordinate model: the pixel rectangle of the plotting area, the visible window
// of values and the full range it scrolls over, with zooming, scrolling and the scroll bars.
class CPlot2dCfg {
  public:
    enum Axis { kX = 0, kY = 1 };

    static constexpr const char* kKey = "CPlot2dCfg";
    static constexpr const char* kDefaultText = "-10,210,-5,105, -100,3000,-100,27000, 0,200,0,100";
    static constexpr int kScrollRange = 0x7FFF;

    CPlot2dCfg();
    CPlot2dCfg(const CPlot2dCfg&) = delete;
    CPlot2dCfg& operator=(const CPlot2dCfg&) = delete;

    // right and bottom are one past the area; they are stored as the last pixel.
    void SetRect(int left, int top, int right, int bottom);
    PlotRect GetRect() const;
    int Left() const { return left_; }
    int Right() const { return right_; }
    int Top() const { return top_; }
    int Bottom() const { return bottom_; }

    double PixelToX(int column) const;
    double PixelToY(int line) const;
    int XToPixel(double x) const;
    int YToPixel(double y) const;

    // False when a value had to be corrected (minimum below 0.01, maximum above twice
    // the largest finite single-precision value).
    bool SetXSpanLimits(double minimum, double maximum) {
        return SetSpanLimits(kX, minimum, maximum);
    }
    bool SetYSpanLimits(double minimum, double maximum) {
        return SetSpanLimits(kY, minimum, maximum);
    }
    bool SetSpanLimits(Axis axis, double minimum, double maximum);

    void ZoomX(bool in, double factor, bool clamp, bool round) {
        Zoom(kX, in, factor, clamp, round);
    }
    void ZoomY(bool in, double factor, bool clamp, bool round) {
        Zoom(kY, in, factor, clamp, round);
    }
    void Zoom(Axis axis, bool in, double factor, bool clamp, bool round);

    void ScrollX(int code, int thumb) { Scroll(kX, code, thumb); }
    void ScrollY(int code, int thumb) { Scroll(kY, code, thumb); }
    void Scroll(Axis axis, int code, int thumb);

    // Adds a bar once (the owner keeps it alive while attached) and sets its range.
    void AttachXScrollBar(IPlotScrollBar* bar) { AttachScrollBar(kX, bar); }
    void AttachYScrollBar(IPlotScrollBar* bar) { AttachScrollBar(kY, bar); }
    void AttachScrollBar(Axis axis, IPlotScrollBar* bar);
    void DetachScrollBar(IPlotScrollBar* bar);
    PlotScrollState GetScrollState(Axis axis) const;

    // Normalises X, then Y, and updates every attached scroll bar.
    void Normalize();

    double ViewMin(Axis a) const { return axes_[a].viewMin; }
    double ViewMax(Axis a) const { return axes_[a].viewMax; }
    double LimitMin(Axis a) const { return axes_[a].limitMin; }
    double LimitMax(Axis a) const { return axes_[a].limitMax; }
    double SpanMin(Axis a) const { return axes_[a].spanMin; }
    double SpanMax(Axis a) const { return axes_[a].spanMax; }
    // Plain setters; the caller normalises afterwards.
    void SetView(Axis a, double minimum, double maximum);
    void SetLimits(Axis a, double minimum, double maximum);

    // The persistent text of the current values, and its parser: true only when all twelve
    // fields were read (otherwise nothing changes). A complete text is normalised.
    std::string GetText() const;
    bool SetText(std::string_view text);
    const std::string& GetDefaultText() const { return defaultText_; }
    void SetDefaultText(std::string_view text) { defaultText_ = std::string(text); }
    bool ApplyDefaultText() { return SetText(defaultText_); }

    // Without an INI object the application's profile store is used.
    bool Save(std::string_view section, CIni* ini = nullptr) const;
    bool Load(std::string_view section, CIni* ini = nullptr);

  private:
    struct AxisRange {
        double viewMin = 0;
        double viewMax = 0;
        double limitMin = 0;
        double limitMax = 0;
        double spanMin = 0.1;
        double spanMax = 1000000;
    };

    void NormalizeAxis(Axis axis, int depth = 0);
    void UpdateScrollBars(Axis axis);
    double ScrollUnit(Axis axis) const;
    int ScrollPage(Axis axis) const;

    int left_ = 0;
    int right_ = 0;
    int bottom_ = 0;
    int top_ = 0;
    AxisRange axes_[2];
    std::vector<IPlotScrollBar*> bars_[2];
    std::string defaultText_ = kDefaultText;
};

}  // namespace zm
