#pragma once

#include <QLabel>
#include <QScrollBar>

#include "plot/model/Plot2dCfg.h"

namespace zm {

// A bound label: shows one bound of the view and starts its editing when clicked.
class CBoundLabel : public QLabel {
    Q_OBJECT

  public:
    explicit CBoundLabel(QWidget* parent = nullptr);

  signals:
    void Clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// A scroll bar kept in step with one axis of the coordinate model; the user's scroll
// actions go to the model as the platform's scroll codes.
class CPlot2dScrollBar : public QScrollBar, public IPlotScrollBar {
    Q_OBJECT

  public:
    CPlot2dScrollBar(Qt::Orientation orientation, CPlot2dCfg& cfg, CPlot2dCfg::Axis axis,
                     QWidget* parent = nullptr);
    ~CPlot2dScrollBar() override;

    void SetScrollState(const PlotScrollState& state) override;

  signals:
    // The model scrolled; the view refreshes.
    void Scrolled();

  private:
    void OnAction(int action);

    CPlot2dCfg& cfg_;
    CPlot2dCfg::Axis axis_;
};

}  // namespace zm
