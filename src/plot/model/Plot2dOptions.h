#pragma once

#include <string>
#include <string_view>

namespace zm {

// The plot view's nine persistent options, in the order of their text.
struct PlotOptions {
    int showInfo = 1;     // tips and pointer while the mouse is over the plot
    int zeroLine = 1;     // a black line at Y = 0
    int drawPoints = 0;   // dots instead of connected lines
    int lockPointer = 0;  // tips and pointer follow the current series
    int autoMode = 1;     // sign: on/off; magnitude 1 all series, 2 current, 3 hybrid
    int xScaling = 4;     // 0 off, 3 fit 100 %, 4 fit 105 %
    int yScaling = 4;
    int currentSeries = 0;
    int showControls = 1;  // toolbar, scroll bars and bound labels

    static constexpr const char* kClassDefault = "1;1;0;0;1;4;4;0;1";

    std::string GetText() const;
    // True when all nine numbers were read and each is one the view knows; otherwise
    // nothing changes.
    bool SetText(std::string_view text);

    friend bool operator==(const PlotOptions&, const PlotOptions&) = default;
};

enum PlotScaling { kScalingOff = 0, kScalingFit100 = 3, kScalingFit105 = 4 };
enum PlotAutoMode { kAutoAll = 1, kAutoCurrent = 2, kAutoHybrid = 3 };

}  // namespace zm
