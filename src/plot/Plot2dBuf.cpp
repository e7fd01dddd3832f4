#include "plot/Plot2dBuf.h"

#include <QAction>
#include <QFontDialog>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QStringList>
#include <QWidget>
#include <algorithm>

#include "plot/PlotQt.h"
#include "plot/model/PlotTexts.h"

namespace zm {

using plotqt::FromQRect;
using plotqt::ToQRect;
using plotqt::Tr;

bool CPlot2dBuf::Resize(QSize size, qreal ratio) {
    QSize physical = (QSizeF(size) * ratio).toSize();
    if (back_.size() == physical && back_.devicePixelRatio() == ratio && !back_.isNull()) {
        return false;
    }
    back_ = QImage(physical.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    back_.setDevicePixelRatio(ratio);
    return true;
}

void CPlot2dBuf::Copy(QPainter& screen) const {
    if (!back_.isNull()) {
        screen.drawImage(QPoint(0, 0), back_);
    }
}

QFont& CPlot2dBuf::TipsFont() {
    static QFont font = [] {
        QFont f(QStringLiteral("arial"));
        f.setPixelSize(14);
        f.setWeight(QFont::Normal);
        return f;
    }();
    return font;
}

void CPlot2dBuf::DrawTips(QPainter& p, const QString& text, QPoint mouse, const QRect& area) const {
    if (!settings_.m_ScreenTips || text.isEmpty()) {
        return;
    }
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    const QStringList lines = plain.split(QLatin1Char('\n'));
    QFontMetrics metrics(TipsFont());
    int width = 0;
    for (const QString& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    width += 4;
    int height = metrics.height() * int(lines.size()) + 2;
    PlotRect box = PlaceTipsBox(settings_.m_TipsPosits, FromQRect(area), {mouse.x(), mouse.y()},
                                width, height);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(255, 255, 225));
    QRect r = ToQRect(box);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setFont(TipsFont());
    int y = r.top() + 1;
    for (const QString& line : lines) {
        p.drawText(QRect(r.left() + 2, y, r.width() - 2, metrics.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, line);
        y += metrics.height();
    }
    p.restore();
}

void CPlot2dBuf::DrawPointer(QPainter& p, QPoint point, const QRect& area) const {
    if (!settings_.m_ScreenPntr || !area.contains(point)) {
        return;
    }
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink(0, 0, 180);
    if (settings_.m_PntrShapes & CPlot2dBufSettings::kCross) {
        p.setPen(QPen(ink, 1, Qt::DotLine));
        p.drawLine(area.left(), point.y(), area.right(), point.y());
        p.drawLine(point.x(), area.top(), point.x(), area.bottom());
    }
    p.setPen(QPen(ink, 1));
    p.setBrush(ink);
    if (settings_.m_PntrShapes & CPlot2dBufSettings::kCircle) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.drawEllipse(QPointF(point), 4, 4);
    } else if (settings_.m_PntrShapes & CPlot2dBufSettings::kRect) {
        p.drawRect(QRect(point.x() - 4, point.y() - 4, 8, 8));
    }
    p.restore();
}

void CPlot2dBuf::Execute(BufCommand command, QWidget* owner) {
    if (command == BufCommand::kTipsFont) {
        bool ok = false;
        QFont chosen = QFontDialog::getFont(&ok, TipsFont(), owner);
        if (ok) {
            TipsFont() = chosen;
        }
    } else {
        settings_.Apply(command);
    }
    if (owner) {
        owner->update();
    }
}

void CPlot2dBuf::AddCommand(QMenu* menu, const QString& text, BufCommand command, bool checkable,
                            QWidget* owner, const std::function<void()>& changed) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(BufCommandName(command)));
    action->setCheckable(checkable);
    action->setChecked(settings_.IsChecked(command));
    QObject::connect(action, &QAction::triggered, menu, [this, command, owner, changed] {
        Execute(command, owner);
        if (changed) {
            changed();
        }
    });
}

QMenu* CPlot2dBuf::CreateTipsMenu(QWidget* parent, QWidget* owner, std::function<void()> changed) {
    using namespace texts;
    auto* menu = new QMenu(Tr(tpPlot2dView_TipsCommands), parent);
    menu->setObjectName(QStringLiteral("TipsCommands"));
    AddCommand(menu, Tr(tpPlot2dView_AllowTips), BufCommand::kTipsAllow, true, owner, changed);
    menu->addSeparator();
    QMenu* corners = menu->addMenu(Tr(tpPlot2dView_TipsPosition));
    corners->setObjectName(QStringLiteral("TipsPosition"));
    AddCommand(corners, Tr(tpPlot2dView_FollowMouse), BufCommand::kTipsMouse, true, owner, changed);
    AddCommand(corners, Tr(tpPlot2dView_TopLeft), BufCommand::kTipsFixTL, true, owner, changed);
    AddCommand(corners, Tr(tpPlot2dView_TopRight), BufCommand::kTipsFixTR, true, owner, changed);
    AddCommand(corners, Tr(tpPlot2dView_BottomLeft), BufCommand::kTipsFixBL, true, owner, changed);
    AddCommand(corners, Tr(tpPlot2dView_BottomRight), BufCommand::kTipsFixBR, true, owner, changed);
    menu->addSeparator();
    AddCommand(menu, Tr(tpPlot2dView_TipsFont), BufCommand::kTipsFont, false, owner, changed);
    return menu;
}

QMenu* CPlot2dBuf::CreatePointerMenu(QWidget* parent, QWidget* owner,
                                     std::function<void()> changed) {
    using namespace texts;
    auto* menu = new QMenu(Tr(tpPlot2dView_PointerCommands), parent);
    menu->setObjectName(QStringLiteral("PointerCommands"));
    AddCommand(menu, Tr(tpPlot2dView_AllowPointer), BufCommand::kPntrAllow, true, owner, changed);
    menu->addSeparator();
    QMenu* shapes = menu->addMenu(Tr(tpPlot2dView_PointerShape));
    shapes->setObjectName(QStringLiteral("PointerShape"));
    AddCommand(shapes, Tr(tpPlot2dView_CrossedLines), BufCommand::kPntrCross, true, owner, changed);
    AddCommand(shapes, Tr(tpPlot2dView_FilledCircle), BufCommand::kPntrPoint, true, owner, changed);
    AddCommand(shapes, Tr(tpPlot2dView_FilledRect), BufCommand::kPntrRect, true, owner, changed);
    return menu;
}

}  // namespace zm
