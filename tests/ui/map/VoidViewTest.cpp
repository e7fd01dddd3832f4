#include "ui/map/VoidView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QPainter>

namespace zm {
namespace {

QImage Rendered(const CVoidView& view, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    view.Render(painter, size);
    return image;
}

TEST(VoidView, NewPanelIsWhiteWithARisingHatch) {
    CVoidView view;
    EXPECT_EQ(view.Text(), "");
    EXPECT_EQ(view.Background(), QColor(255, 255, 255));
    EXPECT_TRUE(view.HasFrame());
    const QColor hatch = view.palette().color(QPalette::Button);
    ASSERT_NE(hatch, QColor(255, 255, 255));
    const QImage image = Rendered(view, QSize(64, 48));
    int hatched = 0;
    for (int y = 1; y < 47; ++y) {
        for (int x = 0; x < 63; ++x) {
            if (image.pixelColor(x, y) == hatch) {
                ++hatched;
                // Rising left to right: the next hatch pixel is right and up.
                EXPECT_EQ(image.pixelColor(x + 1, y - 1), hatch) << x << "," << y;
            }
        }
    }
    EXPECT_GT(hatched, 64 * 48 / CVoidView::kHatchSpacing / 2);
    EXPECT_NE(image.pixelColor(0, 0), QColor(Qt::magenta));  // the whole panel is painted

    view.SetFrame(false);
    const QImage plain = Rendered(view, QSize(64, 48));
    for (int y = 0; y < 48; y += 7) {
        for (int x = 0; x < 64; x += 5) {
            EXPECT_EQ(plain.pixelColor(x, y), QColor(255, 255, 255));
        }
    }
}

TEST(VoidView, TextIsCentredAndReachesAccessibilityTools) {
    CVoidView view;
    view.SetFrame(false);
    view.SetText("Embedded viewer is disabled");
    const QImage image = Rendered(view, QSize(400, 100));
    QRect text;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).lightness() < 128) {
                text |= QRect(x, y, 1, 1);
            }
        }
    }
    ASSERT_FALSE(text.isEmpty());
    EXPECT_NEAR(text.center().x(), 200, 3);
    EXPECT_NEAR(text.center().y(), 50, 4);
    EXPECT_LT(text.height(), 30);  // one line
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::StaticText);
    EXPECT_EQ(face->text(QAccessible::Name), "Embedded viewer is disabled");
}

}  // namespace
}  // namespace zm
