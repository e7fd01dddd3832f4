#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include "plot/model/PlotLayout.h"

namespace zm {

class CPlot2dView;

// The plot area ("RECM_ST_SPECTRA"): shows the view's buffered picture with the tips and
// the pointer over it and hands mouse input to the view. Mouse moves are processed at most
// 100 times a second; they repaint only tips and pointer from the saved picture.
class CPlot2dArea : public QWidget {
    Q_OBJECT

  public:
    explicit CPlot2dArea(CPlot2dView& view);

    // The picture must be drawn again at the next paint.
    void Invalidate();
    QPoint Cursor() const { return cursor_; }
    bool HasCursor() const { return hasCursor_; }
    // Counts buffer redraws, for tests and the benchmark.
    int RedrawCount() const { return redraws_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void ProcessMove();

    CPlot2dView& view_;
    bool stale_ = true;
    QPoint cursor_;
    bool hasCursor_ = false;
    int redraws_ = 0;
    CMouseRateLimiter limiter_;
    QElapsedTimer clock_;
    QTimer moveTimer_;
};

}  // namespace zm
