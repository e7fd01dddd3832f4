#pragma once

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace zm::test {

// Keeps a picture of a window under <build>/artifacts/ui/<name>.png; returns the path, or
// an empty text when it could not be written.
inline QString SaveScreenshot(QWidget& window, const QString& name) {
    const QString folder = QStringLiteral(ZM_TEST_BINARY_DIR "/artifacts/ui");
    QDir().mkpath(folder);
    const QString path = folder + "/" + name + ".png";
    return window.grab().save(path) ? path : QString();
}

}  // namespace zm::test
