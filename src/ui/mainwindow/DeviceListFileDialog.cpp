#include "ui/mainwindow/DeviceListFileDialog.h"

#include <QFileDialog>

#include <ctime>

#include "app/ManagerEngine.h"
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
    return CManagerEngine::ProposedDeviceListName(save, std::time(nullptr));
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
    dialog.setNameFilter(QString("%1 (%2)").arg(CManagerEngine::kDeviceListFilter,
                                                CManagerEngine::kDeviceListPattern));
    dialog.setDefaultSuffix(QString(CManagerEngine::kDeviceListExtension).mid(1));
    dialog.setDirectory(QString::fromStdString(folder));
    dialog.selectFile(QString::fromStdString(proposed + CManagerEngine::kDeviceListExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace zm
