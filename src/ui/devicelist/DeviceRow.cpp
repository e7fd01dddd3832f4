#include "ui/devicelist/DeviceRow.h"

#include <vector>

#include "base/MlsPrgMsg.h"
#include "base/texts/WindowTexts.h"
#include "device/DeviceStatus.h"
#include "device/TavDevice.h"
#include "ui/devicelist/DeviceTextSnapshots.h"

namespace zm {

const CMlsEntry& DevListColumnTitle(int column) {
    using namespace texts;
    static const CMlsEntry* const titles[kDevListColumns] = {
        &tpDevListCols_Sensor,      &tpDevListCols_Status,     &tpDevListCols_Pressure,
        &tpDevListCols_Temperature, &tpDevListCols_Sealevel,   &tpDevListCols_Position,
        &tpDevListCols_Link,        &tpDevListCols_Statistics, &tpDevListCols_Parameters};
    if (column < 0 || column >= kDevListColumns) {
        column = kColSensor;
    }
    return *titles[column];
}

std::string DevListColumnText(int column) {
    return Translate(DevListColumnTitle(column), "DevListCols");
}

bool IsDevListColumnShown(int column, bool advanced) {
    return column >= 0 && column < kDevListColumns && (advanced || column < kColLink);
}

bool IsLinkLockedColumn(int column) {
    return column == kColLink || column == kColStatistics;
}

DeviceRow ReadDeviceRow(CTavDevice& device, bool advanced, CDeviceTextSnapshots* snapshots) {
    DeviceRow row;
    row.name = device.GetName();
    row.color = device.GetColor();
    std::string statusText;
    row.status = device.GetStatus(&statusText);
    if (statusText.empty()) {
        statusText = DeviceStatusText(row.status);
    }
    row.cells[kColSensor] = row.name;
    row.cells[kColStatus] = statusText;
    std::vector<std::string> linkItems;
    for (int column = kColPressure; column < kDevListColumns; ++column) {
        if (!IsDevListColumnShown(column, advanced)) {
            continue;
        }
        std::string title = DevListColumnText(column);
        if (IsLinkLockedColumn(column)) {
            if (snapshots) {
                row.cells[column] = snapshots->Get(&device, title).value_or(std::string());
            }
            linkItems.push_back(std::move(title));
        } else {
            row.cells[column] = device.GetInfoText(title);
        }
    }
    if (snapshots && !linkItems.empty()) {
        // A device that is not shared cannot be read on another thread safely.
        std::shared_ptr<CTavDevice> shared = device.weak_from_this().lock();
        if (shared) {
            snapshots->Request(shared, linkItems);
        }
    }
    return row;
}

}  // namespace zm
