// The icon file the packages install is the drawing the program shows.
#include <QImage>

#include <gtest/gtest.h>

#include "ui/mainwindow/AppIcon.h"

namespace zm {
namespace {

TEST(AppIcon, CommittedPngIsTheProgramsDrawing) {
    const QImage committed(QStringLiteral(ZM_APP_ICON_PNG));
    ASSERT_FALSE(committed.isNull()) << ZM_APP_ICON_PNG;
    ASSERT_EQ(committed.size(), QSize(256, 256));
    const QImage drawn = DrawAppIcon(QSize(256, 256)).convertToFormat(QImage::Format_ARGB32);
    const QImage file = committed.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            differing += drawn.pixel(x, y) != file.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0) << "rerun build/default/tools/app-icon/app-icon "
                               "resources/icons/zormanager.png after changing the drawing";
    // Transparent corners (rounded tile), opaque middle.
    EXPECT_EQ(qAlpha(file.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(file.pixel(128, 128)), 255);
}

}  // namespace
}  // namespace zm
