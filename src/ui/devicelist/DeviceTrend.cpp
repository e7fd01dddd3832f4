#include "ui/devicelist/DeviceTrend.h"

#include <cmath>
#include <cstring>

#include "base/Printf.h"
#include "device/zor/ZorDevice.h"
#include "device/zor/ZorRecords.h"
#include "plot/model/Plot2dModel.h"

namespace zm {

TrendBlock ReadTrendBlock(CTavDevice& device) {
    TrendBlock block;
    auto* zor = dynamic_cast<CZorDevice*>(&device);
    if (!zor) {
        return block;
    }
    // The stamp is read on both sides of the block: a block replaced in between is read again.
    std::vector<uint8_t> bytes;
    for (int attempt = 0; attempt < 3; ++attempt) {
        uint32_t before = zor->GetRunningTotal();
        bytes = zor->GetLatestBatch();
        block.stamp = zor->GetRunningTotal();
        if (block.stamp == before) {
            break;
        }
    }
    for (size_t at = 0; at + kZorDataRecordSize <= bytes.size(); at += kZorDataRecordSize) {
        float signal = 0;
        float background = 0;
        std::memcpy(&signal, bytes.data() + at, sizeof signal);
        std::memcpy(&background, bytes.data() + at + sizeof signal, sizeof background);
        if (!std::isfinite(signal) || !std::isfinite(background)) {
            continue;
        }
        double scaled = zor->ScaleValue(signal);
        if (!std::isfinite(scaled)) {
            continue;
        }
        block.raw.push_back(signal);
        block.scaled.push_back(scaled);
    }
    return block;
}

CDeviceTrend::CDeviceTrend(CPlot2dModel& plot) : plot_(plot) {
    plot_.SetDefaultOptions(1, 0, 0, 0, 3, 0, 4, 0, 0);
    plot_.Cfg().SetDefaultText("-20,220,40,60, -20,220,40,60, 0,200,0,100");
    plot_.ApplyDefaults();
    plot_.SetLegendLayout(3, 15, false, false);
    PlotArrays& xs = *plot_.GetXArrays(0);
    xs.assign(1, PlotArray(kWindow));
    for (int i = 0; i < kWindow; ++i) {
        xs[0][size_t(i)] = i;
    }
    for (double y : {50.0, 150.0}) {
        PlotMarker line;
        line.shape = kMarkerHorizontalLine;
        line.y = y;
        line.penColor = {200, 0, 0};
        line.penStyle = kPenDotted;
        line.penWidth = 2;
        plot_.AddMarker(line);
    }
    for (double y : {60.0, 40.0}) {
        PlotMarker bound;  // no size: only keeps the band in the data range
        bound.y = y;
        bound.visible = 0;
        bound.inDataRange = 1;
        plot_.AddMarker(bound);
    }
    plot_.SetTipHook([this](std::string& text, PlotPoint&, const CPlot2dModel& view) {
        const PlotTip& tip = view.LastTip();
        if (tip.group == 0 && tip.series >= 0 && tip.index >= 0) {
            std::string own = TipText(tip.series, tip.index);
            if (!own.empty()) {
                text = own;
            }
        }
    });
}

CDeviceTrend::~CDeviceTrend() {
    plot_.SetTipHook(nullptr);
}

void CDeviceTrend::Rebuild(const std::vector<Source>& sources) {
    plot_.ClearSeries(false, 0);
    PlotArrays& ys = *plot_.GetYArrays(0);
    ys.assign(sources.size(), PlotArray());
    series_.assign(sources.size(), SeriesState());
    for (size_t i = 0; i < sources.size(); ++i) {
        plot_.AddSeries(0, int(i), sources[i].color, sources[i].name, true, -1, 0, 0);
        series_[i].name = sources[i].name;
    }
    plot_.Rescale(true);
}

int CDeviceTrend::Append(int series, const TrendBlock& block) {
    if (series < 0 || series >= int(series_.size())) {
        return -1;
    }
    SeriesState& state = series_[size_t(series)];
    if (state.any && state.lastStamp == block.stamp) {
        return 0;
    }
    state.any = true;
    state.lastStamp = block.stamp;
    int appended = 0;
    for (size_t i = 0; i < block.scaled.size(); ++i) {
        if (plot_.AppendValue(series, block.scaled[i], false, kWindow, true, 0) < 0) {
            continue;
        }
        state.raw.push_back(block.raw[i]);
        if (state.raw.size() > size_t(kWindow)) {
            state.raw.erase(state.raw.begin());
        }
        ++appended;
    }
    if (appended > 0) {
        plot_.Rescale(true);
    }
    return appended;
}

std::string CDeviceTrend::TipText(int series, int index) const {
    const PlotSeries* s = plot_.GetSeries(0, series);
    if (!s || series >= int(series_.size()) || index < 0 || index >= s->count) {
        return {};
    }
    const PlotArray& ys = plot_.Data().Group(0).yArrays[size_t(s->yArray)];
    const SeriesState& state = series_[size_t(series)];
    if (size_t(index) >= ys.size() || size_t(index) >= state.raw.size()) {
        return {};
    }
    return StrPrintf(" %s: \r\n Value[%d] = %.1lf [Norm.%.0lf]", state.name.c_str(), index,
                     ys[size_t(index)], state.raw[size_t(index)]);
}

}  // namespace zm
