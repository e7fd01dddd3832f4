#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QDialog;

namespace zm {

// What the device dialogs need from the program around them: the window they belong to,
// whether advanced mode is on, the names of all devices, and the main window's
// "DLG_GO_MODAL" / "DLG_GO_UNMODAL" around each of them.
struct DeviceDialogHost {
    QPointer<QWidget> parent;
    std::function<bool()> advancedMode;
    std::function<std::vector<std::string>()> deviceNames;
    std::function<void(bool modal)> goModal;
};

void SetDeviceDialogHost(DeviceDialogHost host);
DeviceDialogHost GetDeviceDialogHost();

// Runs a device dialog between "DLG_GO_MODAL" and "DLG_GO_UNMODAL"; its exec() result.
int ExecDeviceDialog(QDialog& dialog);

// Makes the device classes open these dialogs: the generic link dialog, the ZOR link
// dialog and the ZOR device dialog.
void InstallDeviceDialogs(DeviceDialogHost host);

}  // namespace zm
