#include "ui/alarms/FlashImage.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "ui/common/Accessibility.h"

namespace zm {

CFlashImage::CFlashImage(QWidget* parent) : QWidget(parent) {
    InstallAccessibleFactory();
    setObjectName("alarmImage");
    setFixedSize(sizeHint());
}

void CFlashImage::ShowSet(int set) {
    const int wanted = set == 0 ? 0 : 1;
    if (wanted != set_) {
        set_ = wanted;
        update();
    }
}

void CFlashImage::SetSecondSetVariant(int variant) {
    variant_ = variant == 0 ? 0 : 1;
    update();
}

QColor CFlashImage::LampColour(int set, int frame) const {
    if (set == 0) {
        return QColor(70, 20, 20);
    }
    const QColor red(235, 20, 20);
    const QColor amber(255, 170, 0);
    if (variant_ == 0) {
        return red;
    }
    return frame % 2 == 0 ? red : amber;
}

void CFlashImage::Render(QPainter& painter, QSize size) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(40, 40, 48));
    const double cell = double(size.width()) / kFrames;
    const double radius = std::min(cell, double(size.height())) * 0.36;
    for (int frame = 0; frame < kFrames; ++frame) {
        const QPointF centre(cell * (frame + 0.5), size.height() / 2.0);
        const QColor lamp = LampColour(set_, frame);
        QRadialGradient glow(centre - QPointF(radius / 3, radius / 3), radius * 1.2);
        glow.setColorAt(0.0, lamp.lighter(set_ == 0 ? 120 : 170));
        glow.setColorAt(1.0, lamp);
        painter.setPen(QPen(QColor(15, 15, 15), 1.5));
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius, radius);
    }
    painter.restore();
}

void CFlashImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Render(painter, size());
}

}  // namespace zm
