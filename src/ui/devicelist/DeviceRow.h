#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/MlsEntry.h"

namespace zm {

class CTavDevice;
class CDeviceTextSnapshots;

// The columns of the device list.
enum DevListColumn : int {
    kColSensor = 0,
    kColStatus,
    kColPressure,
    kColTemperature,
    kColSealevel,
    kColPosition,
    kColLink,
    kColStatistics,
    kColParameters,
    kDevListColumns
};

// The column's title entry (section "DevListCols").
const CMlsEntry& DevListColumnTitle(int column);
std::string DevListColumnText(int column);
// Link, Statistics and Parameters show only in advanced mode.
bool IsDevListColumnShown(int column, bool advanced);
// Texts the device gives only under its link lock: read off the user-interface thread.
bool IsLinkLockedColumn(int column);

// One row of the device list as read from its device once per update: nothing in it
// points back to the device, so it may outlive the device and cross event-loop turns.
struct DeviceRow {
    std::string name;
    uint32_t color = 0;  // 0x00BBGGRR
    int32_t status = 2;
    // What keeps the device's alarms from people (shelved, out of service); its status
    // text then says so and its image differs.
    int suppression = 0;  // alarms::DeviceSuppression::Kind
    // Column texts: 0 the name, 1 the status text, 2..8 the device's information for the
    // column (empty while hidden, or while a link-locked text is not ready yet).
    std::array<std::string, kDevListColumns> cells;

    friend bool operator==(const DeviceRow&, const DeviceRow&) = default;
};

// Reads a device into a row: name, colour, status code and text, and the texts of the
// columns shown in the mode. Link-locked texts come from `snapshots` (which is asked to
// refresh them off this thread); without snapshots they stay empty.
DeviceRow ReadDeviceRow(CTavDevice& device, bool advanced, CDeviceTextSnapshots* snapshots);

}  // namespace zm
