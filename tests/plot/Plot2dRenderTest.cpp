#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "QtTestApp.h"
#include "plot/Plot2dView.h"

namespace zm {
namespace {

using A = CPlot2dCfg::Axis;

// Renders the view's plot picture into an image at a device pixel ratio and reads pixels
// back in logical coordinates.
struct Picture {
    QImage image;
    qreal ratio = 1;

    Picture(CPlot2dView& view, QSize size, qreal r) : ratio(r) {
        image = QImage((QSizeF(size) * r).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(r);
        image.fill(Qt::white);
        QPainter p(&image);
        view.Render(p, size);
    }
    QColor At(int x, int y) const {
        return image.pixelColor(int(std::floor(x * ratio)), int(std::floor(y * ratio)));
    }
    // Share of the physical pixels of a logical rectangle that have the colour.
    double Share(const QRect& logical, const QColor& c) const {
        QRect r(int(logical.x() * ratio), int(logical.y() * ratio), int(logical.width() * ratio),
                int(logical.height() * ratio));
        int hits = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                hits += image.pixelColor(x, y) == c;
            }
        }
        return double(hits) / (r.width() * r.height());
    }
};

class PlotRender : public ::testing::TestWithParam<qreal> {
  protected:
    void SetUp() override { test::EnsureQtApp(); }
    const QSize size{400, 300};
    const QColor background{250, 255, 250};
    const QColor hatch{200, 200, 200};
};

TEST_P(PlotRender, WithoutSeriesAndMarkersTheAreaIsHatched) {
    CPlot2dView view;
    Picture pic(view, size, GetParam());
    double grey = pic.Share(QRect(0, 0, 400, 300), hatch);
    EXPECT_GT(grey, 0.05);
    EXPECT_LT(grey, 0.6);
    EXPECT_GT(pic.Share(QRect(0, 0, 400, 300), background), 0.3);
    pic.image.save(test::ArtifactDir() + QStringLiteral("/no-data-x%1.png").arg(GetParam()));
}

TEST_P(PlotRender, OneHiddenMarkerSuppressesTheHatch) {
    CPlot2dView view;
    PlotMarker marker;
    marker.visible = 0;
    view.Model().AddMarker(marker);
    Picture pic(view, size, GetParam());
    EXPECT_EQ(pic.Share(QRect(0, 0, 400, 300), hatch), 0.0);
    EXPECT_GT(pic.Share(QRect(0, 0, 400, 300), background), 0.99);
}

TEST_P(PlotRender, ASeriesIsDrawnInItsColour) {
    CPlot2dView view;
    CPlot2dModel& m = view.Model();
    m.Options().zeroLine = 0;
    m.GetXArrays(0)->push_back({0, 100});
    m.GetYArrays(0)->push_back({50, 50});
    m.AddSeries(0, 0, {0, 0, 255}, "blue", true, -1, 0, 0);
    m.SetXLimits(0, 100, true);
    m.SetYLimits(0, 100, true);
    Picture pic(view, size, GetParam());
    int y = m.Cfg().YToPixel(50);
    EXPECT_EQ(pic.At(200, y), QColor(0, 0, 255));
    EXPECT_EQ(pic.At(300, y), QColor(0, 0, 255));
    EXPECT_EQ(pic.At(200, y + 3), background);
    // The legend box in the top-left corner carries the colour too.
    EXPECT_EQ(pic.At(6, 6), QColor(0, 0, 255));
    EXPECT_EQ(pic.Share(QRect(0, 0, 400, 300), hatch), 0.0);
}

TEST_P(PlotRender, ThresholdMarkersAreDottedRedLines) {
    CPlot2dView view;
    CPlot2dModel& m = view.Model();
    m.SetYLimits(0, 200, true);
    PlotMarker line;
    line.shape = kMarkerHorizontalLine;
    line.y = 50;
    line.penColor = {200, 0, 0};
    line.penStyle = kPenDotted;
    line.penWidth = 2;
    m.AddMarker(line);
    Picture pic(view, size, GetParam());
    int y = m.Cfg().YToPixel(50);
    QColor red(200, 0, 0);
    // One logical pixel high strip through the line: red dots with gaps between.
    double share = pic.Share(QRect(20, y, 360, 1), red);
    EXPECT_GT(share, 0.2) << y;
    EXPECT_LT(share, 0.8) << y;
    EXPECT_EQ(pic.Share(QRect(20, y + 10, 360, 1), red), 0.0);
}

TEST_P(PlotRender, RulerBandsAreYellowWithBlueTicks) {
    CPlot2dView view;
    view.Model().Ruler().SetOn(true);
    view.Model().SetXLimits(0, 100, true);
    Picture pic(view, size, GetParam());
    QColor band(255, 255, 196);
    QColor ink(0, 0, 180);
    EXPECT_GT(pic.Share(QRect(22, 2, 378, 18), band), 0.5);
    EXPECT_GT(pic.Share(QRect(2, 22, 18, 278), band), 0.5);
    EXPECT_GT(pic.Share(QRect(22, 2, 378, 18), ink), 0.01);
    // The plotting rectangle starts after the bands.
    EXPECT_EQ(view.Model().Cfg().Left(), 22);
    EXPECT_EQ(view.Model().Cfg().Top(), 22);
    pic.image.save(test::ArtifactDir() + QStringLiteral("/rulers-x%1.png").arg(GetParam()));
}

TEST_P(PlotRender, TipsBoxSitsInTheChosenCorner) {
    CPlot2dView view;
    view.Model().SetXLimits(0, 100, true);
    Picture pic(view, size, GetParam());
    {
        QPainter p(&pic.image);
        view.RenderTips(p, QPoint(200, 150), size);
    }
    QColor box(255, 255, 225);
    EXPECT_GT(pic.Share(QRect(360, 4, 30, 10), box), 0.3);  // top right (default)
    EXPECT_EQ(pic.Share(QRect(4, 200, 60, 60), box), 0.0);
    // Tips off: nothing drawn.
    view.Model().PlotBuf().m_ScreenTips = 0;
    Picture plain(view, size, GetParam());
    {
        QPainter p(&plain.image);
        view.RenderTips(p, QPoint(200, 150), size);
    }
    EXPECT_EQ(plain.Share(QRect(300, 0, 100, 30), box), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Ratios, PlotRender, ::testing::Values(1.0, 2.0));

}  // namespace
}  // namespace zm
