#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zm {

class CIni;

// Ticks of a ruler band n pixels long, as offsets from the band's start.
struct RulerTicks {
    int majorSpacing = 0;  // 0: the band is too short for ticks
    int minorSteps = 1;    // minor steps per major interval (1: no minors)
    std::vector<int> majors;
    std::vector<int> minors;
};
RulerTicks LayoutRulerTicks(int length);

// One label of a ruler: its text and the span it covers along the band.
struct RulerLabel {
    std::string text;
    int start = 0;
    int end = 0;
};

// Labels at the majors: the first shows the view minimum, the last the view maximum,
// both pulled inside the band; labels closer than 3 pixels to a kept neighbour are dropped
// (the last one always stays). valueAt gives the value at an offset, width a text's extent.
std::vector<RulerLabel> LayoutRulerLabels(const RulerTicks& ticks, int length, double viewMin,
                                          double viewMax, int decimals,
                                          const std::function<double(int)>& valueAt,
                                          const std::function<int(const std::string&)>& width);

// The rulers' on/off setting with its persistent text.
class CPlot2dRuler {
  public:
    static constexpr const char* kKey = "CPlot2dRuler";
    static constexpr int kBandWidth = 22;

    bool IsOn() const { return on_; }
    void SetOn(bool on) { on_ = on; }
    int BandWidth() const { return on_ ? kBandWidth : 0; }

    std::string GetText() const;
    bool SetText(std::string_view text);
    bool Save(std::string_view section, CIni* ini = nullptr) const;
    bool Load(std::string_view section, CIni* ini = nullptr);

  private:
    bool on_ = false;
};

}  // namespace zm
