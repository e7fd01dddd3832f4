#include "ui/mainwindow/DeviceListFileDialog.h"

#include <QFileDialog>

#include "base/DateTimeText.h"
#include "base/Folders.h"

namespace zm {
namespace {

DeviceListFileHook& Hook() {
    static DeviceListFileHook hook;
    return hook;
}

}  // namespace

void SetDeviceListFileHook(DeviceListFileHook hook) {
    Hook() = std::move(hook);
}

std::string ProposedDeviceListName(bool save) {
    return save ? "Zor-Device" + std::string("s-") + LocalTimeText("%Y-%m-%d") : "Zor-Device";
}

std::optional<std::string> ChooseDeviceListFile(QWidget* parent, bool save) {
    const std::string folder = GetUserDocsFolder();
    const std::string proposed = ProposedDeviceListName(save);
    if (Hook()) {
        return Hook()(save, folder, proposed);
    }
    QFileDialog dialog(parent);
    dialog.setObjectName(save ? "saveDeviceListDialog" : "loadDeviceListDialog");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter("Ini Format (.ini) (*.ini)");
    dialog.setDefaultSuffix("ini");
    dialog.setDirectory(QString::fromStdString(folder));
    dialog.selectFile(QString::fromStdString(proposed + ".ini"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace zm
