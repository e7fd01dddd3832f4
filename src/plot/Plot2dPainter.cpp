#include "plot/Plot2dPainter.h"

#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <mutex>
#include <vector>

#include "plot/PlotQt.h"
#include "plot/model/Plot2dModel.h"
#include "plot/model/PlotTexts.h"

namespace zm {

using plotqt::ToQColor;
using plotqt::ToQRect;

namespace {

constexpr int kGroupOrder[] = {0, 2, 1};

QPen SeriesPen(PlotColor color, int width, int group) {
    QPen pen(ToQColor(color), width, group == 0 ? Qt::SolidLine : Qt::DotLine);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void DrawSeries(QPainter& p, const CPlot2dModel& model, const PlotGroup& g, const PlotSeries& s,
                PlotVisibleRange* record, std::vector<PlotPoint>& pixels) {
    if (s.xArray < 0 || s.yArray < 0 || s.xArray >= int(g.xArrays.size()) ||
        s.yArray >= int(g.yArrays.size())) {
        return;
    }
    BuildSeriesPixels(model.Cfg(), g.xArrays[s.xArray], g.yArrays[s.yArray], s.count,
                      CPlot2dModel::kDrawnPointsLimit, record, pixels);
    if (pixels.empty()) {
        return;
    }
    if (model.Options().drawPoints) {
        p.save();
        p.setBrush(p.pen().color());
        for (const PlotPoint& pt : pixels) {
            p.drawEllipse(QRect(pt.x - 1, pt.y - 1, 2, 2));
        }
        p.restore();
        return;
    }
    if (pixels.size() == 1) {
        p.drawPoint(pixels[0].x, pixels[0].y);
        return;
    }
    // Separate segments: one long polyline with a pen wider than a device pixel is stroked
    // as one self-crossing outline, which costs far more than the segments.
    std::vector<QLine> segments;
    segments.reserve(pixels.size() - 1);
    for (size_t i = 1; i < pixels.size(); ++i) {
        segments.emplace_back(pixels[i - 1].x, pixels[i - 1].y, pixels[i].x, pixels[i].y);
    }
    p.drawLines(segments.data(), int(segments.size()));
}

}  // namespace

QRect CPlot2dPainter::PlotRect(QSize size, const CPlot2dModel& model) {
    int band = model.Ruler().BandWidth();
    return QRect(band, band, std::max(0, size.width() - band), std::max(0, size.height() - band));
}

void CPlot2dPainter::Paint(QPainter& p, QSize size, CPlot2dModel& model, const QFont& textFont,
                           const Background& background) {
    const QRect rect = PlotRect(size, model);
    model.Cfg().SetRect(rect.left(), rect.top(), rect.left() + rect.width(),
                        rect.top() + rect.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(rect, ToQColor(model.Background()));
    bool drew = background ? background(p, rect, model.Cfg()) : false;
    if (!rect.isEmpty()) {
        for (int group : kGroupOrder) {
            std::lock_guard lock(model.DataLock());
            drew = DrawGroup(p, rect, model, group, textFont) || drew;
        }
        DrawMarkers(p, rect, model);
        if (!drew && model.Data().Markers().empty()) {
            DrawNoData(p, rect, textFont);
        }
    }
    p.restore();
    int band = model.Ruler().BandWidth();
    if (band > 0) {
        DrawRuler(p, QRect(rect.left(), 0, rect.width(), band), true, model);
        DrawRuler(p, QRect(0, rect.top(), band, rect.height()), false, model);
    }
}

bool CPlot2dPainter::DrawGroup(QPainter& p, const QRect& rect, CPlot2dModel& model, int group,
                               const QFont& textFont) {
    const PlotGroup& g = model.Data().Group(group);
    if (g.series.empty()) {
        return false;
    }
    p.save();
    p.setClipRect(rect);
    p.setPen(QPen(Qt::black, 1));
    const CPlot2dCfg& cfg = model.Cfg();
    if (model.Options().zeroLine) {
        int y = cfg.YToPixel(0);
        p.drawLine(rect.left(), y, rect.right(), y);
    }
    model.FixCurrentSeries(group);
    std::vector<PlotPoint> pixels;
    int onTop = -1;
    bool anyVisible = false;
    for (int i = 0; i < int(g.series.size()); ++i) {
        const PlotSeries& s = g.series[i];
        if (!s.visible) {
            continue;
        }
        anyVisible = true;
        if (model.IsOnTop(group, i)) {
            onTop = i;
            continue;
        }
        p.setPen(SeriesPen(s.color, 1, group));
        DrawSeries(p, model, g, s, nullptr, pixels);
    }
    if (onTop >= 0) {
        p.setPen(SeriesPen(g.series[onTop].color, 3, group));
        DrawSeries(p, model, g, g.series[onTop], &model.RecordedVisible(), pixels);
    }
    // Legend boxes of this group.
    p.setPen(QPen(Qt::black, 1));
    p.setFont(textFont);
    for (const PlotLegendBox& box : model.LegendBoxes(
             {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()})) {
        if (box.group != group) {
            continue;
        }
        const PlotSeries& s = g.series[box.series];
        QRect r = ToQRect(box.box);
        p.setBrush(ToQColor(s.color));
        if (box.circle) {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.drawEllipse(r.adjusted(0, 0, -1, -1));
            p.setRenderHint(QPainter::Antialiasing, false);
        } else {
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
        if (box.nameRect.Width() > 0) {
            p.drawText(ToQRect(box.nameRect), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       QString::fromStdString(s.name));
        }
    }
    p.restore();
    return anyVisible;
}

void CPlot2dPainter::DrawMarkers(QPainter& p, const QRect& rect, const CPlot2dModel& model) {
    const CPlot2dCfg& cfg = model.Cfg();
    p.save();
    p.setClipRect(rect);
    for (const PlotMarker& m : model.Data().Markers()) {
        if (!m.visible) {
            continue;
        }
        QPen pen(ToQColor(m.penColor), std::max(1, int(m.penWidth)),
                 m.penStyle == kPenDotted ? Qt::DotLine : Qt::SolidLine);
        p.setPen(pen);
        p.setBrush(m.shape == kMarkerFilledEllipse ? QBrush(ToQColor(m.fill))
                                                   : QBrush(Qt::NoBrush));
        int cx = cfg.XToPixel(m.x);
        int cy = cfg.YToPixel(m.y);
        int w = int(m.width);
        int h = int(m.height);
        if (m.sizeInData) {
            w = std::abs(cfg.XToPixel(m.x + m.width) - cx);
            h = std::abs(cfg.YToPixel(m.y + m.height) - cy);
        }
        switch (m.shape) {
            case kMarkerHorizontalLine:
                p.drawLine(rect.left(), cy, rect.right(), cy);
                break;
            case kMarkerVerticalLine:
                p.drawLine(cx, rect.top(), cx, rect.bottom());
                break;
            case kMarkerFilledEllipse:
            case kMarkerEllipse: {
                // Both radii are the width, in pixels along each axis.
                int rx = w;
                int ry = m.sizeInData ? std::abs(cfg.YToPixel(m.y + m.width) - cy) : w;
                p.drawEllipse(QPoint(cx, cy), rx, ry);
                break;
            }
            case kMarkerRectangle:
                p.drawRect(QRect(cx - w / 2, cy - h / 2, w, h));
                break;
            default:
                break;
        }
    }
    p.restore();
}

void CPlot2dPainter::DrawNoData(QPainter& p, const QRect& rect, const QFont& textFont) {
    p.save();
    p.fillRect(rect.adjusted(-1, -1, 1, 1), QBrush(QColor(200, 200, 200), Qt::BDiagPattern));
    p.setFont(textFont);
    p.setPen(Qt::black);
    p.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, plotqt::Tr(texts::tpPlot2dView_NoData));
    p.restore();
}

void CPlot2dPainter::DrawRuler(QPainter& p, const QRect& band, bool horizontal,
                               const CPlot2dModel& model) {
    if (band.isEmpty()) {
        return;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(band, QColor(255, 255, 196));
    // Bump edge: raised outer border, sunken inner one.
    QRect outer = band.adjusted(0, 0, -1, -1);
    QRect inner = outer.adjusted(1, 1, -1, -1);
    const QColor light(255, 255, 255);
    const QColor dark(128, 128, 128);
    auto frame = [&](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        p.setPen(topLeft);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    };
    frame(outer, light, dark);
    frame(inner, dark, light);

    const CPlot2dCfg& cfg = model.Cfg();
    const int length = horizontal ? band.width() : band.height();
    RulerTicks ticks = LayoutRulerTicks(length);
    const QColor ink(0, 0, 180);
    p.setPen(ink);
    // Offsets run left to right on the horizontal band and bottom to top on the vertical one.
    auto at = [&](int offset) {
        return horizontal ? band.left() + offset : band.top() + band.height() - 1 - offset;
    };
    auto tick = [&](int offset, int size) {
        int v = at(offset);
        if (horizontal) {
            p.drawLine(v, band.top(), v, band.top() + size - 1);
            p.drawLine(v, band.bottom(), v, band.bottom() - size + 1);
        } else {
            p.drawLine(band.left(), v, band.left() + size - 1, v);
            p.drawLine(band.right(), v, band.right() - size + 1, v);
        }
    };
    for (int offset : ticks.majors) {
        tick(std::min(offset, length - 1), 5);
    }
    for (int offset : ticks.minors) {
        tick(offset, 3);
    }
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(horizontal ? 12 : 10);
    font.setWeight(QFont::Normal);
    p.setFont(font);
    QFontMetrics metrics(font);
    auto valueAt = [&](int offset) {
        return horizontal ? cfg.PixelToX(at(offset)) : cfg.PixelToY(at(offset));
    };
    auto width = [&](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text)) + 4;
    };
    CPlot2dCfg::Axis axis = horizontal ? CPlot2dCfg::kX : CPlot2dCfg::kY;
    std::vector<RulerLabel> labels = LayoutRulerLabels(
        ticks, length, cfg.ViewMin(axis), cfg.ViewMax(axis), horizontal ? 0 : 1, valueAt, width);
    for (const RulerLabel& label : labels) {
        QString text = QString::fromStdString(label.text);
        if (horizontal) {
            p.drawText(QRect(band.left() + label.start, band.top(), label.end - label.start,
                             band.height()),
                       Qt::AlignCenter | Qt::TextSingleLine, text);
        } else {
            // Turned by 90 degrees, read from bottom to top.
            p.save();
            p.translate(band.left(), band.top() + band.height() - label.start);
            p.rotate(-90);
            p.drawText(QRect(0, 0, label.end - label.start, band.width()),
                       Qt::AlignCenter | Qt::TextSingleLine, text);
            p.restore();
        }
    }
    p.restore();
}

}  // namespace zm
