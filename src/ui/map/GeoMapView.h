#pragma once

#include <QWidget>

namespace zm {

class CLabel;
class CLog;
class CMapArea;

// View 1 of the main window: the live map of all devices (the embedded preview page of our
// own web server) under a title line that opens the same page in the system's browser.
// While the embedded server or viewer is off, the map area says so.
class CGeoMapView : public QWidget {
    Q_OBJECT

  public:
    // webLog: the application's web log, whose path is the embedded preview page's address
    // once the server has been started.
    explicit CGeoMapView(CLog& webLog, QWidget* parent = nullptr);

    // The switching rule with the settings "bHttpServ" and "bMapView"; see CMapArea.
    bool Refresh(bool httpServer, bool mapViewer);

    CLabel* Title() const { return title_; }
    CMapArea* MapArea() const { return area_; }

    void RetranslateUi();

  private:
    CLog& webLog_;
    CLabel* title_ = nullptr;
    CMapArea* area_ = nullptr;
};

}  // namespace zm
