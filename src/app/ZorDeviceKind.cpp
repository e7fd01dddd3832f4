#include "app/ZorDeviceKind.h"

#include "app/AlarmActions.h"
#include "device/zor/ZorDevice.h"
#include "notify/UdpFun.h"

namespace zm {

std::shared_ptr<CTavDevice> ZorDeviceFactory::CreateDevice(const DeviceContext& context) {
    auto device =
        std::make_shared<CZorDevice>(context.ownCfgPath, context.runLog, context.initialName);
    device->SetDeviceLog(context.deviceLog);
    return device;
}

CZorDevice* AsZorDevice(CTavDevice& device) {
    return dynamic_cast<CZorDevice*>(&device);
}

void ZorDeviceKindOps::WriteDataLog(CTavDevice& device) {
    if (CZorDevice* zor = AsZorDevice(device)) {
        zor->WriteDataLog(false);
    }
}

void ZorDeviceKindOps::ProcessAlarm(CTavDevice& device) {
    if (CZorDevice* zor = AsZorDevice(device)) {
        // Only this thread runs the processor, so the two readings frame exactly its run.
        const bool before = zor->AlarmProcessor().InAlarm();
        zor->ProcessAlarm();
        const bool after = zor->AlarmProcessor().InAlarm();
        if (before != after && observer_) {
            observer_(device, after, zor->AlarmProcessor().ReportPath().GetPath());
        }
        if (runObserver_) {
            runObserver_(device, after);
        }
    }
}

bool ZorDeviceKindOps::GetDataDatagram(CTavDevice& device, UdpDeviceData* data) {
    CZorDevice* zor = AsZorDevice(device);
    if (zor == nullptr || data == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> batch = zor->GetLatestBatch();
    if (batch.empty()) {
        return false;
    }
    data->sSerial = zor->GetIdText();
    data->sName = zor->GetName();
    data->portion = std::move(batch);
    data->nDataStatus = zor->GetDataStatus();
    return true;
}

void FillZorSnapshot(CTavDevice& device, DeviceSnapshot& snapshot) {
    CZorDevice* zor = AsZorDevice(device);
    if (zor == nullptr) {
        return;
    }
    snapshot.sIdent = zor->GetIdText();
    zor->GetPosition(snapshot.dLatitude, snapshot.dLongitude);
    // The device outlives the snapshot: the feed update holds it while the actions run.
    snapshot.claimReportPath = [zor](const std::string& proposed) {
        return zor->AlarmProcessor().ReportPath().GetOrAssign(proposed);
    };
}

}  // namespace zm
