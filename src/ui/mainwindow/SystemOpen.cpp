#include "ui/mainwindow/SystemOpen.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace zm {
namespace {

constexpr size_t kMaxPath = 260;

SystemOpenHook& Hook() {
    static SystemOpenHook hook;
    return hook;
}

}  // namespace

void SetSystemOpenHook(SystemOpenHook hook) {
    Hook() = std::move(hook);
}

void OpenWithSystem(const std::string& pathOrUrl) {
    const bool isUrl = pathOrUrl.find("://") != std::string::npos;
    const std::string target = isUrl ? pathOrUrl : pathOrUrl.substr(0, kMaxPath);
    if (Hook()) {
        Hook()(target);
        return;
    }
    const QString text = QString::fromStdString(target);
    QDesktopServices::openUrl(isUrl ? QUrl(text) : QUrl::fromLocalFile(text));
}

}  // namespace zm
