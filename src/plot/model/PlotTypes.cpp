#include "plot/model/PlotTypes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "base/Folders.h"
#include "base/Ini.h"

namespace zm {

namespace {

std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void()>& BeepHook() {
    static std::function<void()> beep;
    return beep;
}

std::string& ProfilePath() {
    static std::string path;
    return path;
}

}  // namespace

double PlotRound(double v) {
    double f = std::floor(v);
    return (v - f > 0.5) ? f + 1.0 : f;
}

int PlotRoundInt(double v) {
    if (!std::isfinite(v)) {
        return v > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    }
    double r = PlotRound(v);
    if (r >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (r <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(r);
}

double PlotRoundDecimals(double v, int decimals) {
    double scale = std::pow(10.0, decimals);
    double scaled = v * scale;
    if (!std::isfinite(scaled)) {
        return v;
    }
    return PlotRound(scaled) / scale;
}

double PlotClampFloat(double v) {
    if (std::isnan(v)) {
        return 0.0;
    }
    return std::clamp(v, -kPlotFloatMax, kPlotFloatMax);
}

void SetPlotBeep(std::function<void()> beep) {
    std::lock_guard lock(HookMutex());
    BeepHook() = std::move(beep);
}

void PlotBeep() {
    std::function<void()> beep;
    {
        std::lock_guard lock(HookMutex());
        beep = BeepHook();
    }
    if (beep) {
        beep();
    }
}

void SetPlotProfilePath(const std::string& path) {
    std::lock_guard lock(HookMutex());
    ProfilePath() = path;
}

std::string GetPlotProfilePath() {
    {
        std::lock_guard lock(HookMutex());
        if (!ProfilePath().empty()) {
            return ProfilePath();
        }
    }
    return GetSettingsFilePath();
}

CIni& PlotProfile(CIni* ini, CIni& holder) {
    if (ini) {
        return *ini;
    }
    holder.SetPathName(GetPlotProfilePath());
    return holder;
}

}  // namespace zm
