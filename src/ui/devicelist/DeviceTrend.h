#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot/model/PlotTypes.h"

namespace zm {

class CPlot2dModel;
class CTavDevice;

// A device's latest data block as the trend needs it, read once per list update: the
// finite signal values, raw and through the device's value scaling, and the block's stamp
// (the device's running record count), so that a block is plotted only once.
struct TrendBlock {
    uint64_t stamp = 0;
    std::vector<double> raw;
    std::vector<double> scaled;
};
TrendBlock ReadTrendBlock(CTavDevice& device);

// The device list's trend plot: one series per device (series index = row index) in the
// device's colour and named by it, 200 points each, two dotted red threshold lines and
// a tip that names the device and its point.
class CDeviceTrend {
  public:
    static constexpr int kWindow = 200;
    struct Source {
        std::string name;
        PlotColor color;
    };

    // Sets the plot up: options, limits, legend, the shared X array and the markers.
    explicit CDeviceTrend(CPlot2dModel& plot);
    ~CDeviceTrend();
    CDeviceTrend(const CDeviceTrend&) = delete;
    CDeviceTrend& operator=(const CDeviceTrend&) = delete;

    // One series per source, emptied (after devices were added, removed or recoloured).
    void Rebuild(const std::vector<Source>& sources);
    // Appends a block's values to a series unless that block was appended already; the
    // number of points appended.
    int Append(int series, const TrendBlock& block);
    // " %s: \r\n Value[%d] = %.1lf [Norm.%.0lf]" for a point of a series.
    std::string TipText(int series, int index) const;

  private:
    struct SeriesState {
        std::string name;
        std::vector<double> raw;  // beside the plotted (scaled) values, same window
        uint64_t lastStamp = 0;
        bool any = false;
    };

    CPlot2dModel& plot_;
    std::vector<SeriesState> series_;
};

}  // namespace zm
