#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "alarms/AlarmTypes.h"
#include "ui/devicelist/DeviceTrend.h"

namespace zm {

class CDeviceListModel;
class CDeviceTextSnapshots;
class CTavDevice;

// When the list must not change: it does not exist yet, a rebuild is running, or the
// operator is editing a name in place.
struct DeviceListGuards {
    bool listExists = true;
    bool rebuilding = false;
    bool editingName = false;
};

struct DeviceListUpdateResult {
    bool ran = false;        // false: a guard held
    bool rebuilt = false;    // rows (and the trend's series) were made anew
    bool fitWidths = false;  // a text or the mode changed: fit the column widths
    bool showList = false;   // rows exist; otherwise the empty-list hint shows
};

// The list update ("UM_UPDATE_DEV_LIST"): reads every device once into its row, rebuilds
// the rows when the list is empty or not yet initialised (or after a structural change),
// otherwise updates the cells that changed, and feeds each device's new data block to
// the trend. Runs on the user-interface thread; it keeps no device between updates.
class CDeviceListUpdater {
  public:
    CDeviceListUpdater(CDeviceListModel& model, CDeviceTextSnapshots& snapshots,
                       CDeviceTrend* trend);

    DeviceListUpdateResult Update(const std::vector<std::shared_ptr<CTavDevice>>& devices,
                                  bool advanced, const DeviceListGuards& guards = {});
    // Devices were added, removed, renamed or recoloured: the next update rebuilds.
    void Invalidate() { initialised_ = false; }
    // Where a device's suppression is read (from memory, never waiting); none: no device
    // is suppressed.
    using SuppressionOf = std::function<alarms::DeviceSuppression(const std::string& device)>;
    void SetSuppressionSource(SuppressionOf source) { suppressionOf_ = std::move(source); }

  private:
    CDeviceListModel& model_;
    CDeviceTextSnapshots& snapshots_;
    CDeviceTrend* trend_;
    bool initialised_ = false;
    std::optional<bool> lastAdvanced_;
    std::vector<CDeviceTrend::Source> trendSources_;
    SuppressionOf suppressionOf_;
};

}  // namespace zm
