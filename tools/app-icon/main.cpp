// Writes the application's icon as a PNG: app-icon OUTPUT.png [SIDE]
//   build/default/tools/app-icon/app-icon resources/icons/zormanager.png
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

#include "ui/mainwindow/AppIcon.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: app-icon OUTPUT.png [SIDE]\n");
        return 2;
    }
    const int side = argc == 3 ? std::atoi(argv[2]) : 256;
    if (side < 16 || side > 1024) {
        std::fprintf(stderr, "app-icon: the side must be 16..1024 pixels\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage image = zm::DrawAppIcon(QSize(side, side));
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "app-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
