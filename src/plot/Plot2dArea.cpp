#include "plot/Plot2dArea.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

#include "plot/Plot2dView.h"
#include "plot/PlotQt.h"
#include "plot/model/PlotTexts.h"

namespace zm {

namespace {

// Accessibility tools see the plot area as a chart with its name and current bounds.
QAccessibleInterface* PlotAreaAccessible(const QString& key, QObject* object) {
    if (key == QLatin1String("zm::CPlot2dArea") && object && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Chart);
    }
    return nullptr;
}

}  // namespace

CPlot2dArea::CPlot2dArea(CPlot2dView& view) : QWidget(&view), view_(view) {
    static const bool installed = [] {
        QAccessible::installFactory(PlotAreaAccessible);
        return true;
    }();
    (void)installed;
    setObjectName(QStringLiteral("RECM_ST_SPECTRA"));
    setAccessibleName(plotqt::Tr(texts::tpPlot2dView_AccessibleName));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    moveTimer_.setSingleShot(true);
    moveTimer_.setInterval(limiter_.TimerMilliseconds());
    connect(&moveTimer_, &QTimer::timeout, this, [this] { ProcessMove(); });
    clock_.start();
}

void CPlot2dArea::Invalidate() {
    stale_ = true;
    update();
}

void CPlot2dArea::paintEvent(QPaintEvent*) {
    CPlot2dBuf& buf = view_.PlotBuf();
    if (buf.Resize(size(), devicePixelRatioF()) || stale_) {
        QPainter back(&buf.Back());
        view_.Render(back, size());
        stale_ = false;
        ++redraws_;
        const CPlot2dModel& m = view_.Model();
        QString description = QStringLiteral("X %1 … %2, Y %3 … %4")
                                  .arg(QString::fromStdString(m.BoundText(PlotBound::kXLeft)),
                                       QString::fromStdString(m.BoundText(PlotBound::kXRight)),
                                       QString::fromStdString(m.BoundText(PlotBound::kYBottom)),
                                       QString::fromStdString(m.BoundText(PlotBound::kYTop)));
        if (accessibleDescription() != description) {
            setAccessibleDescription(description);
        }
    }
    QPainter screen(this);
    buf.Copy(screen);
    if (hasCursor_) {
        view_.RenderTips(screen, cursor_, size());
    }
}

void CPlot2dArea::mouseMoveEvent(QMouseEvent* event) {
    cursor_ = event->position().toPoint();
    hasCursor_ = true;
    double now = clock_.nsecsElapsed() / 1e9;
    switch (limiter_.OnMove(now)) {
        case CMouseRateLimiter::Decision::kProcess:
            ProcessMove();
            break;
        case CMouseRateLimiter::Decision::kStartTimer:
            moveTimer_.start();
            break;
        case CMouseRateLimiter::Decision::kIgnore:
            break;
    }
}

void CPlot2dArea::ProcessMove() {
    limiter_.Processed(clock_.nsecsElapsed() / 1e9);
    moveTimer_.stop();
    // Tips and pointer are drawn over the saved picture; the plot is not drawn again.
    update();
}

void CPlot2dArea::mousePressEvent(QMouseEvent* event) {
    view_.AreaClicked(event->position().toPoint(), event->button(), event->modifiers());
    event->accept();
}

void CPlot2dArea::leaveEvent(QEvent*) {
    hasCursor_ = false;
    update();
}

}  // namespace zm
