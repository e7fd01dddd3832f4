#pragma once

#include <cfloat>
#include <cstdint>
#include <functional>
#include <string>

namespace zm {

class CIni;

// Small geometry and colour records of the plot; pixel values are logical pixels.
struct PlotPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PlotPoint&, const PlotPoint&) = default;
};

// Edges as the platform gives them: right and bottom lie one past the last pixel.
struct PlotRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(PlotPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    friend bool operator==(const PlotRect&, const PlotRect&) = default;
};

struct PlotColor {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const PlotColor&, const PlotColor&) = default;
};

// The largest finite single-precision value: stored views and limits never leave it.
inline constexpr double kPlotFloatMax = static_cast<double>(FLT_MAX);

// The plot's rounding: the floor, or the ceiling when the fraction exceeds one half.
double PlotRound(double v);
// The same rounding to whole numbers, cut to the int range.
int PlotRoundInt(double v);
// v rounded to a number of decimals (negative values round to tens, hundreds, ...).
double PlotRoundDecimals(double v, int decimals);
double PlotClampFloat(double v);

// The short warning sound of the plot (a view widened for its scroll resolution, a refused
// key in the edit box). The widget library points it at the platform's beep; tests count.
void SetPlotBeep(std::function<void()> beep);
void PlotBeep();

// The store the plot's settings go to when the owner names no INI object: the
// application's settings file. Tests and other hosts may point it elsewhere.
void SetPlotProfilePath(const std::string& path);
std::string GetPlotProfilePath();
// The given INI object, or one bound to the profile path in `holder`.
CIni& PlotProfile(CIni* ini, CIni& holder);

}  // namespace zm
