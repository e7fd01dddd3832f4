#include "ui/map/GeoMapView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "base/Log.h"
#include "support/TempDir.h"
#include "ui/common/Label.h"
#include "ui/common/LogView.h"
#include "ui/common/SystemOpen.h"
#include "ui/map/MapArea.h"
#include "ui/map/VoidView.h"
#include "ui/support/NamedControls.h"
#include "ui/support/Screenshot.h"

namespace zm {
namespace {

class MapViewTest : public testing::Test {
  protected:
    void SetUp() override {
        // The embedded preview page stands in as a local page: the switching is the test.
        page_ = QString::fromStdString(dir_.file("preview-embedded.html"));
        QFile file(page_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html><head><title>preview</title></head><body>map</body></html>");
        file.close();
        address_ = QUrl::fromLocalFile(page_).toString();
        view_.resize(500, 360);
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    }
    void TearDown() override { SystemOpen::SetHandler({}); }

    CLogView* Viewer() { return view_.MapArea()->Viewer(); }
    CVoidView* Panel() { return view_.MapArea()->Panel(); }

    test::TempDir dir_;
    QString page_;
    QString address_;
    CLog webLog_;
    CGeoMapView view_{webLog_};
};

TEST_F(MapViewTest, FirstRefreshBuildsThePanelAndNothingChangesAfter) {
    EXPECT_TRUE(view_.MapArea()->IsForcingRefresh());
    EXPECT_EQ(Panel(), nullptr);
    EXPECT_TRUE(view_.Refresh(true, false));
    EXPECT_FALSE(view_.MapArea()->IsForcingRefresh());
    QPointer<CVoidView> panel = Panel();
    ASSERT_FALSE(panel.isNull());
    EXPECT_EQ(Viewer(), nullptr);
    EXPECT_EQ(panel->Text(), "Embedded viewer is disabled");
    EXPECT_EQ(panel->Background(), view_.palette().color(QPalette::Button));
    EXPECT_TRUE(panel->HasFrame());
    EXPECT_EQ(panel->objectName(), "mapDisabledPanel");
    EXPECT_EQ(test::UnnamedControls(view_), QStringList());
    EXPECT_FALSE(view_.Refresh(true, false));
    EXPECT_FALSE(view_.Refresh(false, true));
    EXPECT_EQ(Panel(), panel.data());
    EXPECT_FALSE(test::SaveScreenshot(view_, "map-view-disabled").isEmpty());
}

TEST_F(MapViewTest, ViewerComesAndGoesWithTheTwoSwitchesWithoutNeedlessReloads) {
    webLog_.OpenAddress(address_.toStdString());
    ASSERT_TRUE(view_.Refresh(true, false));
    QPointer<CVoidView> panel = Panel();

    EXPECT_TRUE(view_.Refresh(true, true));
    QTRY_VERIFY(panel.isNull());  // replaced, and destroyed
    QPointer<CLogView> viewer = Viewer();
    ASSERT_FALSE(viewer.isNull());
    EXPECT_EQ(viewer->objectName(), "mapViewer");
    EXPECT_EQ(viewer->AttachedLog(), &webLog_);
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer->title() == "preview"; }, 10000));
    EXPECT_EQ(viewer->url().toString(), address_);
    // Attached, and once more at the first tick of the new (dirty) view.
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer->NavigationCount() == 2; }, 3000));

    // Refreshes that change nothing, a resize and time leave the page alone.
    EXPECT_FALSE(view_.Refresh(true, true));
    view_.resize(620, 420);
    QTest::qWait(1500);
    EXPECT_FALSE(view_.Refresh(true, true));
    EXPECT_EQ(Viewer(), viewer.data());
    EXPECT_EQ(viewer->NavigationCount(), 2);
    EXPECT_FALSE(test::SaveScreenshot(view_, "map-view-viewer").isEmpty());

    EXPECT_TRUE(view_.Refresh(false, true));
    QTRY_VERIFY(viewer.isNull());
    ASSERT_NE(Panel(), nullptr);
    EXPECT_EQ(Viewer(), nullptr);
}

TEST_F(MapViewTest, FirstRefreshWithTheViewerWantedShowsThePage) {
    webLog_.OpenAddress(address_.toStdString());
    EXPECT_TRUE(view_.Refresh(true, true));
    ASSERT_NE(Viewer(), nullptr);
    EXPECT_EQ(Panel(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Viewer()->title() == "preview"; }, 10000));
}

TEST_F(MapViewTest, TitleIsALinkToTheWebLogsAddressAtTheClick) {
    std::vector<QString> opened;
    SystemOpen::SetHandler([&](const QString& target) {
        opened.push_back(target);
        return true;
    });
    CLabel* title = view_.Title();
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->objectName(), "geoMapTitle");
    EXPECT_EQ(title->LabelText(), "Real-time geographic visualization (click to open in browser)");
    EXPECT_EQ(title->TextColour(), QColor(0, 0, 250));
    EXPECT_EQ(title->LabelFont().pointSize(), 13);
    EXPECT_TRUE(title->LabelFont().bold());
    EXPECT_EQ(title->cursor().shape(), Qt::PointingHandCursor);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(title);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Link);

    QTest::mouseClick(title, Qt::LeftButton);
    EXPECT_TRUE(opened.empty());  // the server has not been started: no address yet
    webLog_.OpenAddress("http://localhost:8889/preview-embedded");
    QTest::mouseClick(title, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "http://localhost:8889/preview-embedded");
}

TEST_F(MapViewTest, MapAreaStretchesWithTheView) {
    view_.Refresh(true, false);
    view_.resize(700, 500);
    QTRY_COMPARE(view_.MapArea()->width(), 700 - 10);
    EXPECT_EQ(view_.Title()->width(), 700 - 10);
    EXPECT_EQ(view_.Title()->height(), 30);
    EXPECT_GT(view_.MapArea()->height(), 500 - 80);
}

}  // namespace
}  // namespace zm
