#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <functional>

class QPainter;

namespace zm {

class CPlot2dCfg;
class CPlot2dModel;

// Draws the plot area's picture from the model: background, the three series groups with
// their legends, the markers, the "[ no data ]" hatch and the two ruler bands.
class CPlot2dPainter {
  public:
    // Draws the background; true when it drew something (then the hatch never shows).
    using Background = std::function<bool(QPainter&, const QRect&, CPlot2dCfg&)>;

    // The plotting rectangle of an area of `size`: left and top moved in by the rulers.
    static QRect PlotRect(QSize size, const CPlot2dModel& model);
    // Paints everything but the tips and the pointer; sets the model's pixel rectangle.
    static void Paint(QPainter& p, QSize size, CPlot2dModel& model, const QFont& textFont,
                      const Background& background);

  private:
    static bool DrawGroup(QPainter& p, const QRect& rect, CPlot2dModel& model, int group,
                          const QFont& textFont);
    static void DrawMarkers(QPainter& p, const QRect& rect, const CPlot2dModel& model);
    static void DrawNoData(QPainter& p, const QRect& rect, const QFont& textFont);
    static void DrawRuler(QPainter& p, const QRect& band, bool horizontal,
                          const CPlot2dModel& model);
};

}  // namespace zm
