#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "plot/Plot2dBuf.h"
#include "plot/Plot2dPainter.h"
#include "plot/model/Plot2dModel.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;
class QToolButton;

namespace zm {
class CIni;
}

namespace zm {

class CCoolEdit;
class CPlot2dArea;
class CPlot2dScrollBar;
class CBoundLabel;

// The trend plot window: series drawn as lines or points with a legend, markers, value tips
// and pointer, optional rulers, a toolbar of zoom and scaling commands with two drop-downs,
// four bound labels editable in place, two scroll bars and a progress bar. The owner works
// on Model() (series, markers, limits, options) on the window's thread.
class CPlot2dView : public QWidget {
    Q_OBJECT

  public:
    explicit CPlot2dView(QWidget* parent = nullptr);
    ~CPlot2dView() override;

    CPlot2dModel& Model() { return model_; }
    const CPlot2dModel& Model() const { return model_; }
    CPlot2dBuf& PlotBuf() { return plotBuf_; }

    // Persistence of the options, the coordinate model, the tips settings and the rulers in
    // the owner's section (the application's profile store without an INI object). Load
    // lays the window out again for the loaded options.
    bool Save(std::string_view section, CIni* ini = nullptr) const;
    bool Load(std::string_view section, CIni* ini = nullptr);

    // The plot area's picture (without tips and pointer) in `size` logical pixels.
    void Render(QPainter& p, QSize size);
    // Tips and pointer for a cursor point of the plot area, over a rendered picture.
    void RenderTips(QPainter& p, QPoint cursor, QSize size);
    // A derived view may draw its own background and report that it drew something.
    virtual bool DrawBackground(QPainter& p, const QRect& rect, CPlot2dCfg& cfg);

    // The commands of the toolbar and the drop-downs.
    void Execute(PlotCommand command);
    QAction* Action(PlotCommand command) const;
    CPlot2dArea* Area() const { return area_; }
    // The drop-down menus as they would show now (the caller owns them).
    QMenu* CreateAutoScaleMenu(QWidget* parent);
    QMenu* CreateShowInfoMenu(QWidget* parent);

    // Bound editing: a click on a label starts it.
    void BeginBoundEdit(PlotBound bound);
    void EndBoundEdit();
    bool IsEditingBound() const { return editing_; }

    // Mouse input from the plot area (plot-area coordinates).
    void AreaClicked(QPoint point, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

    // The texts after a language change.
    void RetranslateUi();

  public slots:
    // "SPECFRM_PRGRSS_RUN", "SPECFRM_PRGRSS_SET", "SPECFRM_PRGRSS_END".
    void ProgressRun();
    void ProgressSet(int position, int range);
    void ProgressEnd();

  signals:
    // "SPECFRM_LOCKCURSOR": selecting a series locked or unlocked the pointer. Delivered
    // through the event loop, so the sender never waits for the receiver.
    void PointerLockNotified(CPlot2dView* view);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    friend class CPlot2dArea;

    void CreateControls();
    void CreateToolbar();
    void FillAutoScaleMenu(QMenu* menu);
    void FillShowInfoMenu(QMenu* menu);
    void ApplyLayout();
    void ModelChanged(bool redraw);
    void RefreshLabels();
    void RefreshToolbar();
    void RefreshScrollBars();
    void BoundEditChanged();
    void Scrolled();

    CPlot2dModel model_;
    CPlot2dBuf plotBuf_;
    bool created_ = false;
    int laidOutControls_ = -1;  // the show-controls option the layout was made for
    bool editing_ = false;
    PlotBound editedBound_ = PlotBound::kXLeft;

    CPlot2dArea* area_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::map<PlotCommand, QAction*> actions_;
    CCoolEdit* edit_ = nullptr;
    std::map<PlotBound, CBoundLabel*> labels_;
    QFrame* separator1_ = nullptr;
    QFrame* separator2_ = nullptr;
    QFrame* hPlaceholder_ = nullptr;
    QFrame* vPlaceholder_ = nullptr;
    CPlot2dScrollBar* hScroll_ = nullptr;
    CPlot2dScrollBar* vScroll_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace zm
