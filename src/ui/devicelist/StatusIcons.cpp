#include "ui/devicelist/StatusIcons.h"

#include <QPainter>
#include <QPixmap>
#include <array>

#include "app/StatusLevel.h"
#include "device/DeviceStatus.h"

namespace zm {

namespace {

QIcon Draw(int index) {
    // Glyphs: no connection, ok, monitoring off, data absent, emulation, alarm, unknown.
    static const char* const glyphs[] = {"\u00D7", "\u2713", "\u2013", "?", "E", "!", "\u2026"};
    StatusLevel level = GetStatusLevel(index <= kDevAlarm ? index : -1);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill(level.r, level.g, level.b);
    p.setPen(QPen(fill.darker(150), 2));
    p.setBrush(fill);
    if (index == kDevAlarm) {
        const QPointF triangle[] = {{16, 2}, {30, 29}, {2, 29}};
        p.drawPolygon(triangle, 3);
    } else {
        p.drawEllipse(QRectF(3, 3, 26, 26));
    }
    QFont font;
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, index == kDevAlarm ? 4 : 0, 32, 32), Qt::AlignCenter,
               QString::fromUtf8(glyphs[index]));
    return QIcon(pixmap);
}

QIcon DrawSuppressed(bool outOfService) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Blue for a shelving that ends by itself, dark grey for maintenance.
    const QColor fill = outOfService ? QColor(100, 100, 100) : QColor(40, 90, 200);
    p.setPen(QPen(fill.darker(150), 2));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 5, 5);
    QPen white(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(white);
    p.setBrush(Qt::NoBrush);
    if (outOfService) {
        // A spanner: the handle and the open jaw.
        p.drawLine(QPointF(10, 22), QPointF(18, 14));
        p.drawArc(QRectF(15, 7, 10, 10), 200 * 16, 270 * 16);
    } else {
        // A clock face with its hands at ten past.
        p.drawEllipse(QRectF(8, 8, 16, 16));
        p.drawLine(QPointF(16, 16), QPointF(16, 11));
        p.drawLine(QPointF(16, 16), QPointF(20, 18));
    }
    return QIcon(pixmap);
}

}  // namespace

QIcon SuppressedDeviceIcon(bool outOfService) {
    static const QIcon shelved = DrawSuppressed(false);
    static const QIcon service = DrawSuppressed(true);
    return outOfService ? service : shelved;
}

QIcon DeviceStatusIcon(int statusCode) {
    static const std::array<QIcon, 7> icons = [] {
        std::array<QIcon, 7> all;
        for (int i = 0; i < 7; ++i) {
            all[i] = Draw(i);
        }
        return all;
    }();
    return icons[StatusIconIndex(statusCode)];
}

}  // namespace zm
