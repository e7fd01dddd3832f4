#include "ui/devicelist/DeviceListUpdater.h"

#include "device/TavDevice.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/DeviceRow.h"
#include "ui/devicelist/DeviceTextSnapshots.h"
#include "ui/devicelist/Suppression.h"

namespace zm {

namespace {

PlotColor FromColorRef(uint32_t color) {
    return {uint8_t(color & 0xFF), uint8_t((color >> 8) & 0xFF), uint8_t((color >> 16) & 0xFF)};
}

bool SameSources(const std::vector<CDeviceTrend::Source>& a,
                 const std::vector<CDeviceTrend::Source>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || !(a[i].color == b[i].color)) {
            return false;
        }
    }
    return true;
}

}  // namespace

CDeviceListUpdater::CDeviceListUpdater(CDeviceListModel& model, CDeviceTextSnapshots& snapshots,
                                       CDeviceTrend* trend)
    : model_(model), snapshots_(snapshots), trend_(trend) {}

DeviceListUpdateResult CDeviceListUpdater::Update(
    const std::vector<std::shared_ptr<CTavDevice>>& devices, bool advanced,
    const DeviceListGuards& guards) {
    DeviceListUpdateResult result;
    if (!guards.listExists || guards.rebuilding || guards.editingName) {
        return result;
    }
    result.ran = true;
    std::vector<DeviceRow> rows;
    rows.reserve(devices.size());
    std::vector<CDeviceTrend::Source> sources;
    sources.reserve(devices.size());
    for (const auto& device : devices) {
        if (!device) {
            continue;
        }
        rows.push_back(ReadDeviceRow(*device, advanced, &snapshots_));
        if (suppressionOf_) {
            DeviceRow& row = rows.back();
            const alarms::DeviceSuppression suppression = suppressionOf_(row.name);
            row.suppression = int(suppression.kind);
            row.cells[kColStatus] = SuppressedStatusText(row.cells[kColStatus], suppression);
        }
        sources.push_back({rows.back().name, FromColorRef(rows.back().color)});
    }
    bool textChanged = false;
    if (model_.rowCount() == 0 || !initialised_) {
        model_.ResetRows(std::move(rows));
        initialised_ = true;
        result.rebuilt = true;
        textChanged = true;
        snapshots_.Prune();
    } else {
        textChanged = model_.SetRows(std::move(rows));
    }
    if (trend_) {
        // A series per device, made anew when devices were added, removed or recoloured.
        if (result.rebuilt || !SameSources(sources, trendSources_)) {
            trend_->Rebuild(sources);
            trendSources_ = sources;
        }
        int series = 0;
        for (const auto& device : devices) {
            if (device) {
                trend_->Append(series++, ReadTrendBlock(*device));
            }
        }
    }
    result.fitWidths = textChanged || lastAdvanced_ != advanced;
    lastAdvanced_ = advanced;
    result.showList = model_.rowCount() > 0;
    return result;
}

}  // namespace zm
