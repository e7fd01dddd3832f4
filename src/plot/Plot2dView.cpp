#include "plot/Plot2dView.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QToolBar>

#include "plot/CoolEdit.h"
#include "plot/Plot2dArea.h"
#include "plot/Plot2dControls.h"
#include "plot/PlotQt.h"
#include "plot/model/PlotTexts.h"

namespace zm {

using plotqt::TipOf;
using plotqt::Tr;

CPlot2dView::CPlot2dView(QWidget* parent) : QWidget(parent), plotBuf_(model_.PlotBuf()) {
    static const bool beepSet = [] {
        SetPlotBeep([] { QApplication::beep(); });
        return true;
    }();
    (void)beepSet;
    setObjectName(QStringLiteral("CPlot2dView"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    model_.onChanged = [this](bool redraw) { ModelChanged(redraw); };
    model_.onPointerLock = [this] {
        QPointer<CPlot2dView> self(this);
        QMetaObject::invokeMethod(
            this,
            [self] {
                if (self) {
                    emit self->PointerLockNotified(self);
                }
            },
            Qt::QueuedConnection);
    };
    CreateControls();
    created_ = true;
    RetranslateUi();
    ApplyLayout();
    RefreshLabels();
    RefreshToolbar();
}

CPlot2dView::~CPlot2dView() {
    model_.onChanged = nullptr;
    model_.onPointerLock = nullptr;
    // The children use the model (scroll bars are attached to it): they go first.
    created_ = false;
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    qDeleteAll(findChildren<QAction*>(Qt::FindDirectChildrenOnly));
}

void CPlot2dView::CreateControls() {
    area_ = new CPlot2dArea(*this);

    edit_ = new CCoolEdit(this);
    edit_->setObjectName(QStringLiteral("RECM_EB_USRVALUE"));
    edit_->hide();
    connect(edit_, &CCoolEdit::Changed, this, &CPlot2dView::BoundEditChanged);

    auto separator = [this](const char* name) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QString::fromLatin1(name));
        frame->setFrameStyle(QFrame::VLine | QFrame::Sunken);
        return frame;
    };
    separator1_ = separator("RECM_ST_SEP1");
    separator2_ = separator("RECM_ST_SEP2");
    auto placeholder = [this](const char* name) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QString::fromLatin1(name));
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return frame;
    };
    hPlaceholder_ = placeholder("RECM_ST_HSCR");
    vPlaceholder_ = placeholder("RECM_ST_VSCR");

    const std::pair<PlotBound, const char*> names[] = {{PlotBound::kXLeft, "RECM_ST_XL"},
                                                       {PlotBound::kXRight, "RECM_ST_XR"},
                                                       {PlotBound::kYBottom, "RECM_ST_YB"},
                                                       {PlotBound::kYTop, "RECM_ST_YT"}};
    for (const auto& [bound, name] : names) {
        auto* label = new CBoundLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        PlotBound b = bound;
        connect(label, &CBoundLabel::Clicked, this, [this, b] { BeginBoundEdit(b); });
        labels_[bound] = label;
    }

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("RECM_ST_PROGRESS"));
    progress_->setTextVisible(false);
    progress_->hide();

    hScroll_ = new CPlot2dScrollBar(Qt::Horizontal, model_.Cfg(), CPlot2dCfg::kX, this);
    hScroll_->setObjectName(QStringLiteral("RECM_SB_HORZ"));
    vScroll_ = new CPlot2dScrollBar(Qt::Vertical, model_.Cfg(), CPlot2dCfg::kY, this);
    vScroll_->setObjectName(QStringLiteral("RECM_SB_VERT"));
    for (CPlot2dScrollBar* bar : {hScroll_, vScroll_}) {
        connect(bar, &CPlot2dScrollBar::Scrolled, this, &CPlot2dView::Scrolled);
    }
    CreateToolbar();
    progress_->raise();
}

void CPlot2dView::RetranslateUi() {
    using namespace texts;
    edit_->setToolTip(TipOf(tpPlot2dView_EditTip));
    const std::pair<PlotBound, const CMlsEntry*> tips[] = {
        {PlotBound::kXLeft, &tpPlot2dView_XLeftTip},
        {PlotBound::kXRight, &tpPlot2dView_XRightTip},
        {PlotBound::kYBottom, &tpPlot2dView_YBottomTip},
        {PlotBound::kYTop, &tpPlot2dView_YTopTip}};
    for (const auto& [bound, tip] : tips) {
        labels_[bound]->setToolTip(TipOf(*tip));
        labels_[bound]->setAccessibleDescription(TipOf(*tip));
    }
    labels_[PlotBound::kXLeft]->setAccessibleName(Tr(tpPlot2dView_XLeft));
    labels_[PlotBound::kXRight]->setAccessibleName(Tr(tpPlot2dView_XRight));
    labels_[PlotBound::kYBottom]->setAccessibleName(Tr(tpPlot2dView_YBottom));
    labels_[PlotBound::kYTop]->setAccessibleName(Tr(tpPlot2dView_YTop));
    const std::pair<PlotCommand, const CMlsEntry*> toolTexts[] = {
        {PlotCommand::kZoomInX, &tpPlot2dView_ZoomInX},
        {PlotCommand::kZoomOutX, &tpPlot2dView_ZoomOutX},
        {PlotCommand::kZoomInY, &tpPlot2dView_ZoomInY},
        {PlotCommand::kZoomOutY, &tpPlot2dView_ZoomOutY},
        {PlotCommand::kZoom1To1, &tpPlot2dView_Zoom1To1},
        {PlotCommand::kZoomFull, &tpPlot2dView_ZoomFull},
        {PlotCommand::kAutoScale, &tpPlot2dView_AutoScale},
        {PlotCommand::kLockCursor, &tpPlot2dView_LockCursor},
        {PlotCommand::kShowCursor, &tpPlot2dView_ShowCursor},
        {PlotCommand::kShowPoints, &tpPlot2dView_ShowPoints}};
    for (const auto& [command, text] : toolTexts) {
        actions_[command]->setText(TipOf(*text));
        actions_[command]->setToolTip(TipOf(*text));
        actions_[command]->setStatusTip(Tr(*text).section(QLatin1Char('\n'), 0, 0));
    }
    const std::pair<PlotCommand, const CMlsEntry*> menuTexts[] = {
        {PlotCommand::kAScaleAll, &tpPlot2dView_ByAllSpecta},
        {PlotCommand::kAScaleCur, &tpPlot2dView_CurrentOnly},
        {PlotCommand::kAScaleHyb, &tpPlot2dView_HybridMode},
        {PlotCommand::kXScaleOff, &tpPlot2dView_ScaleOff},
        {PlotCommand::kXScale100, &tpPlot2dView_Scale100},
        {PlotCommand::kXScale105, &tpPlot2dView_Scale105},
        {PlotCommand::kYScaleOff, &tpPlot2dView_ScaleOff},
        {PlotCommand::kYScale100, &tpPlot2dView_Scale100},
        {PlotCommand::kYScale105, &tpPlot2dView_Scale105}};
    for (const auto& [command, text] : menuTexts) {
        actions_[command]->setText(Tr(*text));
    }
    area_->setAccessibleName(Tr(tpPlot2dView_AccessibleName));
}

bool CPlot2dView::Save(std::string_view section, CIni* ini) const {
    return model_.Save(section, ini);
}

bool CPlot2dView::Load(std::string_view section, CIni* ini) {
    EndBoundEdit();
    bool complete = model_.Load(section, ini);
    ApplyLayout();
    ModelChanged(true);
    return complete;
}

void CPlot2dView::Render(QPainter& p, QSize size) {
    CPlot2dPainter::Paint(p, size, model_, font(),
                          [this](QPainter& painter, const QRect& rect, CPlot2dCfg& cfg) {
                              return DrawBackground(painter, rect, cfg);
                          });
}

void CPlot2dView::RenderTips(QPainter& p, QPoint cursor, QSize size) {
    PlotTip tip = model_.ComputeTip({cursor.x(), cursor.y()});
    if (tip.text.empty()) {
        return;
    }
    QRect rect = CPlot2dPainter::PlotRect(size, model_);
    plotBuf_.DrawPointer(p, QPoint(tip.point.x, tip.point.y), rect);
    plotBuf_.DrawTips(p, QString::fromStdString(tip.text), cursor, rect);
}

bool CPlot2dView::DrawBackground(QPainter&, const QRect&, CPlot2dCfg&) {
    return false;
}

QAction* CPlot2dView::Action(PlotCommand command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CPlot2dView::Execute(PlotCommand command) {
    switch (command) {
        case PlotCommand::kZoomInX:
        case PlotCommand::kZoomOutX:
        case PlotCommand::kZoomInY:
        case PlotCommand::kZoomOutY:
        case PlotCommand::kZoom1To1:
        case PlotCommand::kZoomFull:
            EndBoundEdit();
            break;
        default:
            break;
    }
    model_.Execute(command);
    if (command == PlotCommand::kShowCtrls) {
        ApplyLayout();
        update();
    }
    RefreshToolbar();
}

void CPlot2dView::ModelChanged(bool redraw) {
    // The owner may change the options directly (defaults, a load): the controls follow.
    if (created_ && laidOutControls_ != model_.Options().showControls) {
        ApplyLayout();
    }
    RefreshLabels();
    RefreshToolbar();
    RefreshScrollBars();
    if (redraw && area_) {
        area_->Invalidate();
    }
}

void CPlot2dView::Scrolled() {
    EndBoundEdit();
    RefreshLabels();
    RefreshToolbar();
    RefreshScrollBars();
    area_->Invalidate();
}

void CPlot2dView::BeginBoundEdit(PlotBound bound) {
    EndBoundEdit();
    PlotBoundEdit range = model_.BeginBoundEdit(bound);
    edit_->SetRange(range.minimum, range.maximum, range.decimals, range.step);
    edit_->SetValue(range.value, true);  // the edit has not begun: ignored
    editing_ = true;
    editedBound_ = bound;
    CBoundLabel* label = labels_[bound];
    edit_->setGeometry(label->geometry());
    label->hide();
    edit_->show();
    edit_->selectAll();
    edit_->setFocus();
}

void CPlot2dView::EndBoundEdit() {
    if (!editing_) {
        return;
    }
    editing_ = false;
    edit_->hide();
    labels_[editedBound_]->setVisible(model_.Options().showControls != 0);
    RefreshLabels();
}

void CPlot2dView::BoundEditChanged() {
    if (!editing_) {
        return;
    }
    if (model_.BoundEditChanged(editedBound_, edit_->GetLastAction(), edit_->GetValue())) {
        EndBoundEdit();
    }
}

void CPlot2dView::AreaClicked(QPoint point, Qt::MouseButton button,
                              Qt::KeyboardModifiers modifiers) {
    bool shiftCtrl = (modifiers & Qt::ShiftModifier) && (modifiers & Qt::ControlModifier);
    if (button == Qt::LeftButton && shiftCtrl) {
        Execute(PlotCommand::kShowCtrls);
        return;
    }
    if (button == Qt::RightButton && shiftCtrl) {
        model_.Ruler().SetOn(!model_.Ruler().IsOn());
        area_->Invalidate();
        return;
    }
    if (button != Qt::LeftButton) {
        return;
    }
    PlotRect rect = model_.Cfg().GetRect();
    if (!rect.Contains({point.x(), point.y()})) {
        return;
    }
    auto [group, series] = model_.LegendHit(rect, {point.x(), point.y()});
    model_.SelectSeries(series, true, group >= 0 ? group : model_.CurrentGroup());
    area_->update();
}

void CPlot2dView::mousePressEvent(QMouseEvent* event) {
    // Clicks outside the plot area count for the two Shift+Ctrl toggles.
    bool shiftCtrl =
        (event->modifiers() & Qt::ShiftModifier) && (event->modifiers() & Qt::ControlModifier);
    if (shiftCtrl) {
        AreaClicked(QPoint(-1, -1), event->button(), event->modifiers());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CPlot2dView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyLayout();
}

void CPlot2dView::ProgressRun() {
    progress_->show();
    progress_->raise();
}

void CPlot2dView::ProgressSet(int position, int range) {
    progress_->setRange(0, std::max(0, range));
    progress_->setValue(std::clamp(position, 0, std::max(0, range)));
}

void CPlot2dView::ProgressEnd() {
    progress_->hide();
}

}  // namespace zm
