#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QString>

namespace zm::test {

// One QApplication for the whole test program, on the offscreen platform unless the run
// names another one.
inline QApplication& EnsureQtApp() {
    static int argc = 1;
    static char name[] = "test_plot_widgets";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

// Where the tests leave their screenshots.
inline QString ArtifactDir() {
    QString dir = QStringLiteral(ZM_TEST_BINARY_DIR "/artifacts/plot");
    QDir().mkpath(dir);
    return dir;
}

}  // namespace zm::test
