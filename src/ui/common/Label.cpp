#include "ui/common/Label.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/common/Accessibility.h"
#include "ui/common/SystemOpen.h"

namespace zm {

CLabel::CLabel(QWidget* parent) : CLabel(QString(), parent) {}

CLabel::CLabel(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text), labelFont_(font()) {
    InstallAccessibleFactory();
    blinkTimer_.setInterval(kBlinkMs);
    connect(&blinkTimer_, &QTimer::timeout, this, [this] {
        blinkPhase_ = !blinkPhase_;
        update();
    });
    UpdateAccessibility();
}

CLabel::~CLabel() = default;

void CLabel::Changed() {
    updateGeometry();
    update();
}

CLabel& CLabel::SetBackground(const QColor& colour, const QColor& second, bool gradient) {
    background_ = colour;
    second_ = second;
    gradient_ = gradient;
    Changed();
    return *this;
}

CLabel& CLabel::SetTextColour(const QColor& colour) {
    textColour_ = colour;
    Changed();
    return *this;
}

CLabel& CLabel::SetLabelText(const QString& text) {
    if (text != text_) {
        text_ = text;
        UpdateAccessibility();
        Changed();
    }
    return *this;
}

CLabel& CLabel::SetLabelText(const std::string& text) {
    return SetLabelText(QString::fromStdString(text));
}

CLabel& CLabel::SetWeightBold(bool on) {
    labelFont_.setWeight(on ? QFont::Bold : QFont::Normal);
    Changed();
    return *this;
}

CLabel& CLabel::SetFaceName(const QString& face) {
    labelFont_.setFamily(face);
    Changed();
    return *this;
}

CLabel& CLabel::SetUnderlined(bool on) {
    labelFont_.setUnderline(on);
    Changed();
    return *this;
}

CLabel& CLabel::SetItalics(bool on) {
    labelFont_.setItalic(on);
    Changed();
    return *this;
}

CLabel& CLabel::SetPointSize(int points) {
    if (points > 0) {
        labelFont_.setPointSize(points);
        Changed();
    }
    return *this;
}

CLabel& CLabel::SetStaticEdge(bool on) {
    staticEdge_ = on;
    Changed();
    return *this;
}

CLabel& CLabel::SetFrameLine(bool on) {
    frameLine_ = on;
    Changed();
    return *this;
}

CLabel& CLabel::SetSeeThrough(bool on) {
    seeThrough_ = on;
    setAttribute(Qt::WA_TranslucentBackground, on);
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    Changed();
    return *this;
}

CLabel& CLabel::SetTextBlink(bool on) {
    blinkTimer_.stop();
    if (on) {
        blinkType_ = 1;
        blinkPhase_ = false;
        blinkTimer_.start();
    } else {
        blinkType_ = 0;
        blinkPhase_ = true;
    }
    update();
    return *this;
}

CLabel& CLabel::SetBackgroundBlink(bool on) {
    blinkTimer_.stop();
    if (on) {
        blinkType_ = 2;
        blinkPhase_ = false;
        blinkTimer_.start();
    } else {
        blinkType_ = 0;
        blinkPhase_ = true;
    }
    update();
    return *this;
}

CLabel& CLabel::SetLinkTarget(const QString& target, bool notify) {
    link_ = true;
    linkTarget_ = target;
    linkSource_ = nullptr;
    notify_ = notify;
    UpdateAccessibility();
    return *this;
}

CLabel& CLabel::SetLinkTargetSource(std::function<QString()> source, bool notify) {
    link_ = static_cast<bool>(source);
    linkTarget_.clear();
    linkSource_ = std::move(source);
    notify_ = notify;
    UpdateAccessibility();
    return *this;
}

CLabel& CLabel::SetNoLink() {
    link_ = false;
    linkTarget_.clear();
    linkSource_ = nullptr;
    notify_ = false;
    UpdateAccessibility();
    return *this;
}

CLabel& CLabel::SetHoverCursor(const QCursor& cursor) {
    setCursor(cursor);
    return *this;
}

CLabel& CLabel::SetEmboss(bool on, int direction) {
    emboss_ = on;
    embossDirection_ = direction;
    Changed();
    return *this;
}

CLabel& CLabel::SetTurnAngle(int degrees, bool rotate) {
    angleTenths_ = degrees * 10;
    rotate_ = rotate;
    Changed();
    return *this;
}

CLabel& CLabel::SetEmbossColour(const QColor& colour) {
    embossColour_ = colour;
    Changed();
    return *this;
}

CLabel& CLabel::SetMargins(int left, int top, int right, int bottom) {
    margins_ = QMargins(left, top, right, bottom);
    Changed();
    return *this;
}

CLabel& CLabel::SetTextLayout(TextLayout layout) {
    layout_ = layout;
    Changed();
    return *this;
}

CLabel& CLabel::SetCentreImage(bool on) {
    centreImage_ = on;
    Changed();
    return *this;
}

QColor CLabel::TextColour() const {
    return textColour_ ? *textColour_ : palette().color(QPalette::WindowText);
}

int CLabel::TextFlags() const {
    if (centreImage_) {
        return text_.contains('\n') ? int(Qt::AlignHCenter | Qt::AlignTop)
                                    : int(Qt::AlignCenter | Qt::TextSingleLine);
    }
    switch (layout_) {
        case TextLayout::kCentred:
            return Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
        case TextLayout::kRight:
            return Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap;
        case TextLayout::kLeftNoWrap:
            return Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
        case TextLayout::kLeftWrap:
            break;
    }
    return Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
}

void CLabel::PaintBackground(QPainter& painter, QSize size) const {
    const QRect all(QPoint(0, 0), size);
    if (gradient_ && background_.isValid() && size.width() > 0) {
        // One strip per pixel column, at most 100; the last one ends at the right edge.
        const int width = size.width();
        const int strips = std::min(width, kMaxGradientStrips);
        for (int i = 0; i < strips; ++i) {
            const int left = i * width / strips;
            const int right = (i + 1) * width / strips;
            const double t = strips > 1 ? double(i) / (strips - 1) : 0.0;
            const QColor colour(
                int(background_.red() + (second_.red() - background_.red()) * t + 0.5),
                int(background_.green() + (second_.green() - background_.green()) * t + 0.5),
                int(background_.blue() + (second_.blue() - background_.blue()) * t + 0.5));
            painter.fillRect(QRect(left, 0, right - left, size.height()), colour);
        }
    } else if (background_.isValid()) {
        painter.fillRect(all, background_);
    } else {
        painter.fillRect(all, palette().color(QPalette::Button));
    }
}

void CLabel::PaintText(QPainter& painter, const QRect& area) const {
    QColor colour = TextColour();
    if (blinkType_ == 1 && !blinkPhase_) {
        colour = background_.isValid() ? background_ : QColor(0, 0, 0);
    }
    painter.setFont(labelFont_);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QPoint shadow = embossDirection_ == 0 ? QPoint(1, 1) : QPoint(-1, -1);
    if (rotate_) {
        const QFontMetrics metrics(labelFont_);
        const QPointF origin(-metrics.horizontalAdvance(text_) / 2.0, 0.0);
        painter.save();
        painter.translate(QRectF(area).center());
        painter.rotate(-angleTenths_ / 10.0);  // counter-clockwise, as an escapement
        if (emboss_) {
            painter.setPen(embossColour_);
            painter.drawText(origin + shadow, text_);
        }
        painter.setPen(colour);
        painter.drawText(origin, text_);
        painter.restore();
        return;
    }
    const int flags = TextFlags();
    if (emboss_) {
        painter.setPen(embossColour_);
        painter.drawText(area.translated(shadow), flags, text_);
    }
    painter.setPen(colour);
    painter.drawText(area, flags, text_);
}

void CLabel::Render(QPainter& painter, QSize size) const {
    if (!seeThrough_) {
        PaintBackground(painter, size);
    }
    const QRect client(QPoint(0, 0), size);
    PaintText(painter, client.marginsRemoved(margins_));
    if (staticEdge_) {
        const QColor dark = palette().color(QPalette::Dark);
        const QColor light = palette().color(QPalette::Light);
        painter.setPen(dark);
        painter.drawLine(0, 0, size.width() - 1, 0);
        painter.drawLine(0, 0, 0, size.height() - 1);
        painter.setPen(light);
        painter.drawLine(0, size.height() - 1, size.width() - 1, size.height() - 1);
        painter.drawLine(size.width() - 1, 0, size.width() - 1, size.height() - 1);
    }
    if (frameLine_) {
        painter.setPen(palette().color(QPalette::Shadow));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    }
}

void CLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Render(painter, size());
}

void CLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (!link_ || event->button() != Qt::LeftButton || !rect().contains(event->pos())) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (linkSource_) {
        const QString target = linkSource_();
        if (target.isEmpty()) {
            return;
        }
        SystemOpen::Open(target);
    } else {
        SystemOpen::Open(linkTarget_.isEmpty() ? text_ : linkTarget_);
    }
    if (notify_) {
        emit LinkNotify(kLinkNotifyCode);
    }
}

void CLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        // The label's own font settings stay; the new base font gives the rest.
        const QFont base = font();
        labelFont_ = labelFont_.resolve(base);
    }
    QWidget::changeEvent(event);
}

QSize CLabel::sizeHint() const {
    const QFontMetrics metrics(labelFont_);
    const QSize text = metrics.size(Qt::TextSingleLine, text_);
    return QSize(text.width() + margins_.left() + margins_.right() + 4,
                 text.height() + margins_.top() + margins_.bottom() + 4);
}

QSize CLabel::minimumSizeHint() const {
    const QFontMetrics metrics(labelFont_);
    return QSize(0, metrics.height() + margins_.top() + margins_.bottom());
}

void CLabel::UpdateAccessibility() {
    setAccessibleName(text_);
    setAccessibleDescription(link_ ? QStringLiteral("link") : QString());
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace zm
