// The controls around the plot area: toolbar with its drop-downs, bound labels, scroll
// bars, and the view's layout of them.
#include "plot/Plot2dControls.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>

#include "plot/CoolEdit.h"
#include "plot/Plot2dArea.h"
#include "plot/Plot2dView.h"
#include "plot/PlotQt.h"
#include "plot/model/PlotLayout.h"
#include "plot/model/PlotTexts.h"

namespace zm {

using plotqt::TipOf;
using plotqt::ToQRect;
using plotqt::Tr;

CBoundLabel::CBoundLabel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
}

void CBoundLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit Clicked();
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

CPlot2dScrollBar::CPlot2dScrollBar(Qt::Orientation orientation, CPlot2dCfg& cfg,
                                   CPlot2dCfg::Axis axis, QWidget* parent)
    : QScrollBar(orientation, parent), cfg_(cfg), axis_(axis) {
    connect(this, &QAbstractSlider::actionTriggered, this, &CPlot2dScrollBar::OnAction);
    cfg_.AttachScrollBar(axis_, this);
}

CPlot2dScrollBar::~CPlot2dScrollBar() {
    cfg_.DetachScrollBar(this);
}

void CPlot2dScrollBar::SetScrollState(const PlotScrollState& state) {
    QSignalBlocker block(this);
    // The platform's range counts the page in; Qt's maximum is the page's last start.
    setRange(state.min, std::max(state.min, state.max - state.page + 1));
    setPageStep(state.page);
    setSingleStep(std::max(1, state.page / 8));
    setValue(state.pos);
}

void CPlot2dScrollBar::OnAction(int action) {
    int code = -1;
    switch (action) {
        case SliderSingleStepSub:
            code = kScrollLineBack;
            break;
        case SliderSingleStepAdd:
            code = kScrollLineForward;
            break;
        case SliderPageStepSub:
            code = kScrollPageBack;
            break;
        case SliderPageStepAdd:
            code = kScrollPageForward;
            break;
        case SliderMove:
            code = kScrollThumbTrack;
            break;
        default:
            return;
    }
    cfg_.Scroll(axis_, code, sliderPosition());
    // The model's bar state replaces the position Qt worked out for the action.
    setSliderPosition(cfg_.GetScrollState(axis_).pos);
    emit Scrolled();
}

namespace {

// Toolbar images drawn here: a short glyph on a light square.
QIcon GlyphIcon(const QString& glyph) {
    QPixmap pixmap(36, 36);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 110), 2));
    p.setBrush(QColor(225, 232, 248));
    p.drawRoundedRect(QRectF(1, 1, 34, 34), 6, 6);
    QFont font;
    font.setPixelSize(glyph.size() > 2 ? 17 : 23);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 140));
    p.drawText(QRect(0, 0, 36, 36), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

// Places a drop-down below its button, 22 pixels right of the button's left edge.
class DropDownPlacer : public QObject {
  public:
    DropDownPlacer(QToolButton* button, QMenu* menu) : QObject(menu), button_(button) {
        menu->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            static_cast<QWidget*>(watched)->move(
                button_->mapToGlobal(QPoint(22, button_->height())));
        }
        return false;
    }

  private:
    QToolButton* button_;
};

struct ToolDef {
    PlotCommand command;
    const CMlsEntry* tip;
    const char* glyph;
    bool checkable;
};

}  // namespace

void CPlot2dView::CreateToolbar() {
    using namespace texts;
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("RECM_TOOLBAR"));
    toolbar_->setIconSize(QSize(18, 18));
    const ToolDef tools[] = {
        {PlotCommand::kZoomInX, &tpPlot2dView_ZoomInX, "X+", false},
        {PlotCommand::kZoomOutX, &tpPlot2dView_ZoomOutX, "X-", false},
        {PlotCommand::kZoomInY, &tpPlot2dView_ZoomInY, "Y+", false},
        {PlotCommand::kZoomOutY, &tpPlot2dView_ZoomOutY, "Y-", false},
        {PlotCommand::kZoom1To1, &tpPlot2dView_Zoom1To1, "1:1", false},
        {PlotCommand::kZoomFull, &tpPlot2dView_ZoomFull, "[ ]", false},
        {PlotCommand::kAutoScale, &tpPlot2dView_AutoScale, "A", true},
        {PlotCommand::kLockCursor, &tpPlot2dView_LockCursor, "L", true},
        {PlotCommand::kShowCursor, &tpPlot2dView_ShowCursor, "i", true},
        {PlotCommand::kShowPoints, &tpPlot2dView_ShowPoints, "..", true},
    };
    for (const ToolDef& t : tools) {
        auto* action = new QAction(GlyphIcon(QString::fromLatin1(t.glyph)), TipOf(*t.tip), this);
        action->setObjectName(QString::fromLatin1(PlotCommandName(t.command)));
        action->setCheckable(t.checkable);
        action->setToolTip(TipOf(*t.tip));
        action->setStatusTip(Tr(*t.tip).section(QLatin1Char('\n'), 0, 0));
        PlotCommand command = t.command;
        connect(action, &QAction::triggered, this, [this, command] { Execute(command); });
        actions_[t.command] = action;
        bool dropDown =
            t.command == PlotCommand::kAutoScale || t.command == PlotCommand::kShowCursor;
        if (dropDown) {
            auto* button = new QToolButton(toolbar_);
            button->setObjectName(QString::fromLatin1(PlotCommandName(t.command)) +
                                  QStringLiteral("_BUTTON"));
            button->setDefaultAction(action);
            button->setPopupMode(QToolButton::MenuButtonPopup);
            auto* menu = new QMenu(button);
            menu->setObjectName(QString::fromLatin1(PlotCommandName(t.command)) +
                                QStringLiteral("_MENU"));
            // The drop-down is rebuilt each time, so it always shows the current states.
            connect(menu, &QMenu::aboutToShow, this, [this, menu, command] {
                menu->clear();
                for (QMenu* sub : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
                    sub->deleteLater();
                }
                if (command == PlotCommand::kAutoScale) {
                    FillAutoScaleMenu(menu);
                } else {
                    FillShowInfoMenu(menu);
                }
            });
            button->setMenu(menu);
            new DropDownPlacer(button, menu);
            toolbar_->addWidget(button);
        } else {
            toolbar_->addAction(action);
        }
        if (t.command == PlotCommand::kZoomOutY || t.command == PlotCommand::kAutoScale ||
            t.command == PlotCommand::kShowCursor || t.command == PlotCommand::kShowPoints) {
            toolbar_->addSeparator();
        }
    }
    // Commands that live only in the drop-downs.
    const std::pair<PlotCommand, const CMlsEntry*> menuOnly[] = {
        {PlotCommand::kAScaleAll, &tpPlot2dView_ByAllSpecta},
        {PlotCommand::kAScaleCur, &tpPlot2dView_CurrentOnly},
        {PlotCommand::kAScaleHyb, &tpPlot2dView_HybridMode},
        {PlotCommand::kXScaleOff, &tpPlot2dView_ScaleOff},
        {PlotCommand::kXScale100, &tpPlot2dView_Scale100},
        {PlotCommand::kXScale105, &tpPlot2dView_Scale105},
        {PlotCommand::kYScaleOff, &tpPlot2dView_ScaleOff},
        {PlotCommand::kYScale100, &tpPlot2dView_Scale100},
        {PlotCommand::kYScale105, &tpPlot2dView_Scale105},
        {PlotCommand::kShowCtrls, nullptr},
    };
    for (const auto& [command, text] : menuOnly) {
        auto* action = new QAction(text ? Tr(*text) : QString(), this);
        action->setObjectName(QString::fromLatin1(PlotCommandName(command)));
        action->setCheckable(true);
        PlotCommand c = command;
        connect(action, &QAction::triggered, this, [this, c] { Execute(c); });
        actions_[command] = action;
    }
}

QMenu* CPlot2dView::CreateAutoScaleMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("AutoScaleMenu"));
    FillAutoScaleMenu(menu);
    return menu;
}

QMenu* CPlot2dView::CreateShowInfoMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("ShowInfoMenu"));
    FillShowInfoMenu(menu);
    return menu;
}

void CPlot2dView::FillAutoScaleMenu(QMenu* menu) {
    using namespace texts;
    RefreshToolbar();
    QAction* enable = menu->addAction(Tr(tpPlot2dView_EnableAutoScaling));
    enable->setObjectName(QStringLiteral("SPECFRM_AUTO_SCALE_ITEM"));
    enable->setCheckable(true);
    enable->setChecked(model_.IsChecked(PlotCommand::kAutoScale));
    connect(enable, &QAction::triggered, this, [this] { Execute(PlotCommand::kAutoScale); });
    if (model_.Options().autoMode > 0) {
        menu->addSeparator();
        menu->addAction(actions_[PlotCommand::kAScaleAll]);
        menu->addAction(actions_[PlotCommand::kAScaleCur]);
        menu->addAction(actions_[PlotCommand::kAScaleHyb]);
        menu->addSeparator();
        QMenu* x = menu->addMenu(Tr(tpPlot2dView_XScalingType));
        x->setObjectName(QStringLiteral("XScales"));
        x->addAction(actions_[PlotCommand::kXScaleOff]);
        x->addSeparator();
        x->addAction(actions_[PlotCommand::kXScale100]);
        x->addAction(actions_[PlotCommand::kXScale105]);
        menu->addSeparator();
        QMenu* y = menu->addMenu(Tr(tpPlot2dView_YScalingType));
        y->setObjectName(QStringLiteral("YScales"));
        y->addAction(actions_[PlotCommand::kYScaleOff]);
        y->addSeparator();
        y->addAction(actions_[PlotCommand::kYScale100]);
        y->addAction(actions_[PlotCommand::kYScale105]);
    }
}

void CPlot2dView::FillShowInfoMenu(QMenu* menu) {
    using namespace texts;
    RefreshToolbar();
    QAction* show = menu->addAction(Tr(tpPlot2dView_ShowInfoPointer));
    show->setObjectName(QStringLiteral("SPECFRM_SHOWCURSOR_ITEM"));
    show->setCheckable(true);
    show->setChecked(model_.IsChecked(PlotCommand::kShowCursor));
    connect(show, &QAction::triggered, this, [this] { Execute(PlotCommand::kShowCursor); });
    if (model_.Options().showInfo) {
        auto changed = [this] { area_->update(); };
        menu->addSeparator();
        menu->addMenu(plotBuf_.CreateTipsMenu(menu, area_, changed));
        menu->addSeparator();
        menu->addMenu(plotBuf_.CreatePointerMenu(menu, area_, changed));
    }
}

void CPlot2dView::RefreshToolbar() {
    if (!created_) {
        return;
    }
    for (auto& [command, action] : actions_) {
        action->setEnabled(model_.IsEnabled(command));
        if (action->isCheckable()) {
            action->setChecked(model_.IsChecked(command));
        }
    }
}

void CPlot2dView::RefreshLabels() {
    if (!created_) {
        return;
    }
    for (auto& [bound, label] : labels_) {
        label->setText(QString::fromStdString(model_.BoundText(bound)));
    }
}

void CPlot2dView::RefreshScrollBars() {
    if (!created_) {
        return;
    }
    const CPlot2dCfg& cfg = model_.Cfg();
    auto differs = [&](CPlot2dCfg::Axis a) {
        return cfg.ViewMin(a) != cfg.LimitMin(a) || cfg.ViewMax(a) != cfg.LimitMax(a);
    };
    bool controls = model_.Options().showControls != 0;
    bool h = differs(CPlot2dCfg::kX);
    bool v = differs(CPlot2dCfg::kY);
    hScroll_->setVisible(controls && h);
    hScroll_->setEnabled(h);
    hPlaceholder_->setVisible(controls && !h);
    vScroll_->setVisible(controls && v);
    vScroll_->setEnabled(v);
    vPlaceholder_->setVisible(controls && !v);
    hScroll_->SetScrollState(cfg.GetScrollState(CPlot2dCfg::kX));
    vScroll_->SetScrollState(cfg.GetScrollState(CPlot2dCfg::kY));
}

void CPlot2dView::ApplyLayout() {
    if (!created_) {
        return;
    }
    laidOutControls_ = model_.Options().showControls;
    PlotLayout l = ComputePlotLayout({0, 0, width(), height()}, model_.Options().showControls != 0);
    toolbar_->setGeometry(ToQRect(l.toolbar));
    area_->setGeometry(ToQRect(l.plotArea));
    progress_->setGeometry(ToQRect(l.progress));
    labels_[PlotBound::kXLeft]->setGeometry(ToQRect(l.xLeft));
    labels_[PlotBound::kXRight]->setGeometry(ToQRect(l.xRight));
    labels_[PlotBound::kYBottom]->setGeometry(ToQRect(l.yBottom));
    labels_[PlotBound::kYTop]->setGeometry(ToQRect(l.yTop));
    if (editing_) {
        edit_->setGeometry(labels_[editedBound_]->geometry());
    }
    separator1_->setGeometry(ToQRect(l.separator1));
    separator2_->setGeometry(ToQRect(l.separator2));
    hScroll_->setGeometry(ToQRect(l.hScroll));
    hPlaceholder_->setGeometry(ToQRect(l.hScroll));
    vScroll_->setGeometry(ToQRect(l.vScroll));
    vPlaceholder_->setGeometry(ToQRect(l.vScroll));
    bool controls = model_.Options().showControls != 0;
    for (QWidget* w : std::initializer_list<QWidget*>{toolbar_, separator1_, separator2_}) {
        w->setVisible(controls);
    }
    for (auto& [bound, label] : labels_) {
        label->setVisible(controls && !(editing_ && bound == editedBound_));
    }
    RefreshScrollBars();
    area_->Invalidate();
}

}  // namespace zm
