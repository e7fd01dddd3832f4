#pragma once

#include <QPointer>
#include <QWidget>

#include "base/MlsEntry.h"
#include "ui/common/LogView.h"
#include "ui/map/VoidView.h"

namespace zm {

class CLog;

// The place of the embedded map: the live preview page (a log view on the web log) while
// both the embedded server and the embedded viewer are on, else a plain panel saying the
// viewer is disabled. The map view and the device list view each own one.
class CMapArea : public QWidget {
    Q_OBJECT

  public:
    // disabledText: the panel's text (each view has its own translation key).
    CMapArea(CLog& webLog, const CMlsEntry& disabledText, QWidget* parent = nullptr);

    // Builds the area for the switches. The first call always builds; later calls change
    // nothing (the page is not reloaded) while the wanted kind is already there. Returns
    // whether the area was rebuilt.
    bool Refresh(bool httpServer, bool mapViewer);

    // The current embedded viewer, or null while the panel (or nothing yet) is shown.
    CLogView* Viewer() const { return viewer_; }
    CVoidView* Panel() const { return panel_; }
    // Set until the first refresh.
    bool IsForcingRefresh() const { return forceRefresh_; }

    void RetranslateUi();

  private:
    void Replace(QWidget* content);

    CLog& webLog_;
    const CMlsEntry& disabledText_;
    bool forceRefresh_ = true;
    QWidget* content_ = nullptr;
    QPointer<CLogView> viewer_;
    QPointer<CVoidView> panel_;
};

}  // namespace zm
