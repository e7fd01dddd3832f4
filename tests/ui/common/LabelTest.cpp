#include "ui/common/Label.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "ui/common/SystemOpen.h"

namespace zm {
namespace {

QImage Rendered(const CLabel& label, QSize size, qreal ratio = 1.0) {
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    label.Render(painter, size);
    return image;
}

// Runs of equal colour along one pixel row.
std::vector<int> RunLengths(const QImage& image, int y) {
    std::vector<int> runs;
    QRgb previous = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        if (x == 0 || pixel != previous) {
            runs.push_back(0);
        }
        ++runs.back();
        previous = pixel;
    }
    return runs;
}

// The box of pixels near one colour (empty when there are none): text edges are smoothed
// on some platforms whatever the painter is told.
QRect BoxOf(const QImage& image, QColor colour) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 90 &&
                std::abs(pixel.green() - colour.green()) < 90 &&
                std::abs(pixel.blue() - colour.blue()) < 90) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST(LabelPaint, GradientUsesOneStripPerColumnUpToAHundred) {
    CLabel label;
    label.SetBackground(QColor(0, 0, 0), QColor(255, 0, 0), true);
    struct Case {
        int width;
        int strips;
        int stripWidth;
    } cases[] = {{40, 40, 1}, {300, 100, 3}, {100, 100, 1}};
    for (const Case& c : cases) {
        const QImage image = Rendered(label, QSize(c.width, 8));
        const std::vector<int> runs = RunLengths(image, 4);
        EXPECT_EQ(int(runs.size()), c.strips) << c.width;
        for (int run : runs) {
            EXPECT_EQ(run, c.stripWidth) << c.width;
        }
        EXPECT_EQ(image.pixelColor(0, 4), QColor(0, 0, 0)) << c.width;
        EXPECT_EQ(image.pixelColor(c.width - 1, 4), QColor(255, 0, 0)) << c.width;
    }
    // At ratio 2 the strips cover the whole back buffer.
    const QImage sharp = Rendered(label, QSize(40, 8), 2.0);
    EXPECT_EQ(sharp.pixelColor(79, 15), QColor(255, 0, 0));
    EXPECT_EQ(int(RunLengths(sharp, 8).size()), 40);
}

TEST(LabelPaint, SolidDefaultAndSeeThroughBackgrounds) {
    CLabel label;
    EXPECT_EQ(Rendered(label, QSize(20, 10)).pixelColor(5, 5),
              label.palette().color(QPalette::Button));
    label.SetBackground(QColor(10, 20, 30));
    EXPECT_EQ(Rendered(label, QSize(20, 10)).pixelColor(5, 5), QColor(10, 20, 30));
    label.SetSeeThrough(true);
    EXPECT_EQ(Rendered(label, QSize(20, 10)).pixelColor(5, 5), QColor(Qt::magenta));
}

TEST(LabelPaint, EmbossShadowLiesOnePixelAwayByDirection) {
    CLabel label("H");
    label.SetBackground(QColor(255, 255, 255))
        .SetTextColour(QColor(0, 0, 0))
        .SetPointSize(20)
        .SetEmbossColour(QColor(0, 0, 255))
        .SetMargins(6, 6, 0, 0);
    const QImage plain = Rendered(label, QSize(60, 50));
    EXPECT_TRUE(BoxOf(plain, QColor(0, 0, 255)).isEmpty());
    const QRect text = BoxOf(plain, QColor(0, 0, 0));
    ASSERT_FALSE(text.isEmpty());

    label.SetEmboss(true, 0);
    const QImage down = Rendered(label, QSize(60, 50));
    EXPECT_EQ(BoxOf(down, QColor(0, 0, 0)), text);
    const QRect shadowDown = BoxOf(down, QColor(0, 0, 255));
    EXPECT_EQ(shadowDown.right(), text.right() + 1);
    EXPECT_EQ(shadowDown.bottom(), text.bottom() + 1);

    label.SetEmboss(true, 1);
    const QRect shadowUp = BoxOf(Rendered(label, QSize(60, 50)), QColor(0, 0, 255));
    EXPECT_EQ(shadowUp.left(), text.left() - 1);
    EXPECT_EQ(shadowUp.top(), text.top() - 1);
}

TEST(LabelPaint, MarginsAndRotationMoveTheText) {
    CLabel label("Wide text");
    label.SetBackground(QColor(255, 255, 255)).SetTextColour(QColor(0, 0, 0));
    label.SetMargins(30, 12, 0, 0);
    const QRect shifted = BoxOf(Rendered(label, QSize(200, 60)), QColor(0, 0, 0));
    EXPECT_GE(shifted.left(), 30);
    EXPECT_GE(shifted.top(), 12);

    label.SetMargins(0, 0, 0, 0).SetTurnAngle(90, true);
    const QRect turned = BoxOf(Rendered(label, QSize(100, 100)), QColor(0, 0, 0));
    ASSERT_FALSE(turned.isEmpty());
    EXPECT_GT(turned.height(), turned.width());
    EXPECT_LE(turned.right(), 52);  // upwards from the middle, left of the base line
}

TEST(LabelPaint, CentreImageCentresOneLineBothWays) {
    CLabel label("Centre");
    label.SetBackground(QColor(255, 255, 255)).SetTextColour(QColor(0, 0, 0)).SetCentreImage(true);
    const QRect text = BoxOf(Rendered(label, QSize(200, 60)), QColor(0, 0, 0));
    EXPECT_NEAR(text.center().x(), 100, 3);
    EXPECT_NEAR(text.center().y(), 30, 4);
}

TEST(LabelBlink, TextVanishesEveryOtherHalfSecond) {
    CLabel label("Blink");
    label.SetBackground(QColor(255, 255, 255)).SetTextColour(QColor(0, 0, 0));
    label.resize(80, 24);
    label.SetTextBlink(true);
    EXPECT_TRUE(label.IsBlinking());
    EXPECT_FALSE(label.BlinkPhase());
    EXPECT_TRUE(BoxOf(Rendered(label, label.size()), QColor(0, 0, 0)).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(label.BlinkPhase(), 1500);
    EXPECT_FALSE(BoxOf(Rendered(label, label.size()), QColor(0, 0, 0)).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!label.BlinkPhase(), 1500);
    label.SetTextBlink(false);
    EXPECT_FALSE(label.IsBlinking());
    EXPECT_FALSE(BoxOf(Rendered(label, label.size()), QColor(0, 0, 0)).isEmpty());
}

class LabelLink : public testing::Test {
  protected:
    void SetUp() override {
        SystemOpen::SetHandler([this](const QString& target) {
            opened_.push_back(target);
            return true;
        });
    }
    void TearDown() override { SystemOpen::SetHandler({}); }
    std::vector<QString> opened_;
};

TEST_F(LabelLink, ClickOpensTheTargetOrTheOwnTextAndNotifies) {
    CLabel label("http://127.0.0.1:8889/preview");
    label.resize(200, 20);
    QSignalSpy notified(&label, &CLabel::LinkNotify);
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_TRUE(opened_.empty());  // not a link yet

    label.SetLinkTarget("");
    QTest::mouseClick(&label, Qt::LeftButton);
    label.SetLinkTarget("/tmp/report.txt", true);
    QTest::mouseClick(&label, Qt::LeftButton);
    QTest::mouseClick(&label, Qt::RightButton);
    ASSERT_EQ(opened_.size(), 2u);
    EXPECT_EQ(opened_[0], "http://127.0.0.1:8889/preview");
    EXPECT_EQ(opened_[1], "/tmp/report.txt");
    ASSERT_EQ(notified.size(), 1);
    EXPECT_EQ(notified[0][0].toInt(), 0x8200);

    label.SetNoLink();
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(opened_.size(), 2u);
}

TEST_F(LabelLink, TargetSourceIsReadAtTheClick) {
    CLabel label("Map");
    label.resize(100, 20);
    QString address;
    label.SetLinkTargetSource([&] { return address; });
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_TRUE(opened_.empty());
    address = "http://localhost:8889/preview-embedded";
    QTest::mouseClick(&label, Qt::LeftButton);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], address);
}

TEST(LabelAccessibility, TextAndRoleFollowTheLabel) {
    CLabel label("First");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&label);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::StaticText);
    EXPECT_EQ(face->text(QAccessible::Name), "First");
    label.SetLabelText(std::string("Second"));
    EXPECT_EQ(face->text(QAccessible::Name), "Second");
    EXPECT_EQ(label.accessibleName(), "Second");
    label.SetLinkTarget("http://127.0.0.1/");
    EXPECT_EQ(face->role(), QAccessible::Link);
}

}  // namespace
}  // namespace zm
