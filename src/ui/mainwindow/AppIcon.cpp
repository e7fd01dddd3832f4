#include "ui/mainwindow/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace zm {

QImage DrawAppIcon(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 256 x 256 canvas, stretched to the size asked for.
    p.scale(size.width() / 256.0, size.height() / 256.0);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 36, 36);
    QLinearGradient sky(0, 8, 0, 140);
    sky.setColorAt(0, QColor(70, 130, 200));
    sky.setColorAt(1, QColor(170, 210, 240));
    p.fillPath(tile, sky);

    p.save();
    p.setClipPath(tile);
    QLinearGradient sea(0, 140, 0, 248);
    sea.setColorAt(0, QColor(20, 90, 150));
    sea.setColorAt(1, QColor(5, 40, 90));
    p.fillRect(QRectF(0, 140, 256, 120), sea);
    // The slick the sensor watches for, glowing under its beam.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 40, 220));
    p.drawEllipse(QRectF(120, 168, 104, 30));
    p.setBrush(QColor(240, 120, 20, 200));
    p.drawEllipse(QRectF(140, 174, 60, 16));
    // Waves.
    p.setPen(QPen(QColor(200, 230, 255, 160), 5, Qt::SolidLine, Qt::RoundCap));
    for (int row = 0; row < 3; ++row) {
        QPainterPath wave;
        const double y = 155 + row * 30;
        wave.moveTo(0, y);
        for (int x = 0; x < 256; x += 32) {
            wave.quadTo(x + 8, y - 7, x + 16, y);
            wave.quadTo(x + 24, y + 7, x + 32, y);
        }
        p.drawPath(wave);
    }
    p.restore();

    // The beam from the sensor head down to the slick.
    QPainterPath beam;
    beam.moveTo(96, 74);
    beam.lineTo(132, 180);
    beam.lineTo(210, 180);
    beam.lineTo(106, 68);
    beam.closeSubpath();
    p.fillPath(beam, QColor(255, 240, 120, 110));

    // Mast, arm and sensor head.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 70));
    p.drawRect(QRectF(52, 50, 14, 150));
    p.drawRect(QRectF(52, 50, 56, 10));
    p.setBrush(QColor(230, 230, 235));
    p.drawRoundedRect(QRectF(90, 56, 28, 26), 5, 5);
    p.setBrush(QColor(200, 0, 0));
    p.drawEllipse(QRectF(98, 64, 12, 12));
    // Footing in the water.
    p.setBrush(QColor(120, 120, 130));
    p.drawRect(QRectF(40, 196, 38, 10));
    p.end();
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(DrawAppIcon(QSize(side, side))));
    }
    return icon;
}

}  // namespace zm
