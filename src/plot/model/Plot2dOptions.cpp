#include "plot/model/Plot2dOptions.h"

#include <cstdio>
#include <cstdlib>

#include "base/Printf.h"

namespace zm {

namespace {

bool IsScaling(int v) {
    return v == kScalingOff || v == kScalingFit100 || v == kScalingFit105;
}

}  // namespace

std::string PlotOptions::GetText() const {
    return StrPrintf("%d;%d;%d;%d;%d;%d;%d;%d;%d", showInfo, zeroLine, drawPoints, lockPointer,
                     autoMode, xScaling, yScaling, currentSeries, showControls);
}

bool PlotOptions::SetText(std::string_view text) {
    std::string copy(text);
    int v[9] = {};
    int n = std::sscanf(copy.c_str(), "%d;%d;%d;%d;%d;%d;%d;%d;%d", &v[0], &v[1], &v[2], &v[3],
                        &v[4], &v[5], &v[6], &v[7], &v[8]);
    if (n != 9 || v[4] < -kAutoHybrid || v[4] > kAutoHybrid || !IsScaling(v[5]) ||
        !IsScaling(v[6]) || v[7] < 0) {
        return false;
    }
    showInfo = v[0] != 0;
    zeroLine = v[1] != 0;
    drawPoints = v[2] != 0;
    lockPointer = v[3] != 0;
    autoMode = v[4];
    xScaling = v[5];
    yScaling = v[6];
    currentSeries = v[7];
    showControls = v[8] != 0;
    return true;
}

}  // namespace zm
