// The icon file the packages install is the drawing the program shows.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ui/mainwindow/AppIcon.h"

namespace zm {
namespace {

// Antialiased edges come out a few levels apart on machines whose CPUs take different
// drawing paths, and now and then one edge pixel further; a changed drawing moves whole
// shapes, so it differs strongly over many pixels.
constexpr int kChannelTolerance = 24;
constexpr int kStrayPixels = 24;

int StronglyDifferingPixels(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            const int worst =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            differing += worst > kChannelTolerance ? 1 : 0;
        }
    }
    return differing;
}

bool SameDrawing(const QImage& a, const QImage& b) {
    return a.size() == b.size() && StronglyDifferingPixels(a, b) <= kStrayPixels;
}

QImage CommittedIcon() {
    return QImage(QStringLiteral(ZM_APP_ICON_PNG)).convertToFormat(QImage::Format_ARGB32);
}

TEST(AppIcon, CommittedPngIsTheProgramsDrawing) {
    const QImage file = CommittedIcon();
    ASSERT_FALSE(file.isNull()) << ZM_APP_ICON_PNG;
    ASSERT_EQ(file.size(), QSize(256, 256));
    const QImage drawn = DrawAppIcon(QSize(256, 256));
    EXPECT_TRUE(SameDrawing(drawn, file))
        << StronglyDifferingPixels(drawn, file)
        << " pixels differ; rerun build/default/tools/app-icon/app-icon "
           "resources/icons/zormanager.png after changing the drawing";
    // Transparent corners (rounded tile), opaque middle.
    EXPECT_EQ(qAlpha(file.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(file.pixel(128, 128)), 255);
}

TEST(AppIcon, ComparisonForgivesEdgeNoiseButNotASmallChange) {
    const QImage file = CommittedIcon();
    ASSERT_FALSE(file.isNull()) << ZM_APP_ICON_PNG;

    // Every partly covered pixel a few levels off, and a handful far off: what another
    // CPU's antialiasing gives.
    QImage noisy = file;
    int nudged = 0;
    for (int y = 0; y < noisy.height(); ++y) {
        for (int x = 0; x < noisy.width(); ++x) {
            const QRgb p = noisy.pixel(x, y);
            if (qAlpha(p) > 0 && qAlpha(p) < 255) {
                const int step = ++nudged % 37 == 0 ? 60 : 3;
                noisy.setPixel(
                    x, y, qRgba(std::min(255, qRed(p) + step), qGreen(p), qBlue(p), qAlpha(p)));
            }
        }
    }
    ASSERT_GT(nudged, 200);
    ASSERT_LT(nudged / 37, kStrayPixels);
    EXPECT_TRUE(SameDrawing(noisy, file));

    // The sensor lamp moved by two pixels, the mast a pixel wider, the slick a shade
    // redder: each is a change of the drawing.
    const auto changed = [&](auto paint) {
        QImage image = file;
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        paint(p);
        p.end();
        return image;
    };
    const QImage lampMoved = changed([](QPainter& p) {
        p.setBrush(QColor(230, 230, 235));
        p.drawEllipse(QRectF(98, 64, 12, 12));
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(100, 64, 12, 12));
    });
    const QImage mastWider = changed([](QPainter& p) {
        p.setBrush(QColor(60, 60, 70));
        p.drawRect(QRectF(66, 60, 1, 136));
    });
    const QImage slickRedder = changed([](QPainter& p) {
        p.setBrush(QColor(255, 60, 0, 90));
        p.drawEllipse(QRectF(140, 174, 60, 16));
    });
    EXPECT_FALSE(SameDrawing(lampMoved, file));
    EXPECT_FALSE(SameDrawing(mastWider, file));
    EXPECT_FALSE(SameDrawing(slickRedder, file));
}

}  // namespace
}  // namespace zm
