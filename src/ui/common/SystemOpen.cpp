#include "ui/common/SystemOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace zm {
namespace {

SystemOpen::Handler& CurrentHandler() {
    static SystemOpen::Handler handler;
    return handler;
}

}  // namespace

bool SystemOpen::Open(const QString& target) {
    if (target.isEmpty()) {
        return false;
    }
    if (const Handler& handler = CurrentHandler()) {
        return handler(target);
    }
    // An absolute path is a file even when it looks like "C:..."; everything else goes
    // through the user-input rules, which also turn "host/page" into a web address.
    const QUrl url =
        QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void SystemOpen::SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

}  // namespace zm
