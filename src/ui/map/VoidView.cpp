#include "ui/map/VoidView.h"

#include <QApplication>
#include <QPainter>

#include "ui/common/Accessibility.h"

namespace zm {

CVoidView::CVoidView(QWidget* parent) : QWidget(parent) {
    InstallAccessibleFactory();
    setObjectName("voidView");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CVoidView::SetText(const QString& text) {
    text_ = text;
    setAccessibleName(text);
    update();
}

void CVoidView::SetBackground(const QColor& colour) {
    background_ = colour;
    update();
}

void CVoidView::SetFrame(bool on) {
    frame_ = on;
    update();
}

void CVoidView::Render(QPainter& painter, QSize size) const {
    const QRect all(QPoint(0, 0), size);
    painter.fillRect(all, background_);
    if (frame_) {
        painter.save();
        painter.setClipRect(all);
        painter.setPen(QPen(palette().color(QPalette::Button), 1));
        // Lines rising from left to right: x - y = c, with c stepping over the whole panel.
        for (int c = -size.height(); c < size.width(); c += kHatchSpacing) {
            painter.drawLine(c, size.height(), c + size.height(), 0);
        }
        painter.restore();
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(QApplication::font());
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

void CVoidView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Render(painter, size());
}

}  // namespace zm
