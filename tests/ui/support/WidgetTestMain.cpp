// The main of the widget tests: GoogleTest inside a QApplication. Without a display the
// tests run on the offscreen platform; under xvfb-run (the WebEngine tests) on X.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // CI runs as root, where Chromium's sandbox refuses to start.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    // One font for every machine, so that sizes and pixels do not depend on the desktop.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    QApplication::setFont(font);
    return RUN_ALL_TESTS();
}
