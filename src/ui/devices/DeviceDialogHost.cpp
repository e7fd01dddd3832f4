#include "ui/devices/DeviceDialogHost.h"

#include <QDialog>

#include <mutex>

#include "device/zor/ZorDevice.h"
#include "ui/common/MessageBox.h"
#include "ui/devices/TavSetsDlg.h"
#include "ui/devices/ZorDevDlg.h"
#include "ui/devices/ZorSetsDlg.h"

namespace zm {

namespace {

std::mutex g_HostMutex;
DeviceDialogHost g_Host;

}  // namespace

void SetDeviceDialogHost(DeviceDialogHost host) {
    std::lock_guard lock(g_HostMutex);
    g_Host = std::move(host);
}

DeviceDialogHost GetDeviceDialogHost() {
    std::lock_guard lock(g_HostMutex);
    return g_Host;
}

int ExecDeviceDialog(QDialog& dialog) {
    const DeviceDialogHost host = GetDeviceDialogHost();
    if (host.goModal) {
        host.goModal(true);
    }
    const int result = dialog.exec();
    if (host.goModal) {
        host.goModal(false);
    }
    return result;
}

void InstallDeviceDialogs(DeviceDialogHost host) {
    SetDeviceDialogHost(std::move(host));
    // The devices and the bus scan ask and warn through the message sink, also from
    // workers: the answers must come from the operator, not the headless defaults.
    MessageBox::InstallAsMessageSink();
    CTavDevice::SetSettingsDialog([](CTavDevice& device) {
        CTavSetsDlg dialog(device, GetDeviceDialogHost().parent);
        return ExecDeviceDialog(dialog) == QDialog::Accepted;
    });
    CZorDevice::SetZorSettingsDialog([](CTavDevice& device) {
        auto* zor = dynamic_cast<CZorDevice*>(&device);
        if (zor == nullptr) {
            return false;
        }
        CZorSetsDlg dialog(*zor, GetDeviceDialogHost().parent);
        return ExecDeviceDialog(dialog) == QDialog::Accepted;
    });
    CZorDevice::SetZorDeviceDialog([](CTavDevice& device) {
        auto* zor = dynamic_cast<CZorDevice*>(&device);
        if (zor == nullptr) {
            return false;
        }
        const DeviceDialogHost h = GetDeviceDialogHost();
        CZorDevDlg dialog(*zor, h.deviceNames ? h.deviceNames() : std::vector<std::string>{},
                          h.advancedMode && h.advancedMode(), h.parent);
        return ExecDeviceDialog(dialog) == QDialog::Accepted;
    });
}

}  // namespace zm
