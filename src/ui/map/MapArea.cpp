#include "ui/map/MapArea.h"

#include <QVBoxLayout>

#include "base/Log.h"
#include "base/MlsPrgMsg.h"
#include "ui/common/LogView.h"
#include "ui/map/VoidView.h"

namespace zm {

CMapArea::CMapArea(CLog& webLog, const CMlsEntry& disabledText, QWidget* parent)
    : QWidget(parent), webLog_(webLog), disabledText_(disabledText) {
    setObjectName("mapArea");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Holds the place until the first refresh decides what goes there.
    content_ = new QWidget(this);
    content_->setObjectName("mapPlaceholder");
    layout->addWidget(content_);
}

bool CMapArea::Refresh(bool httpServer, bool mapViewer) {
    const bool wanted = httpServer && mapViewer;
    if (!forceRefresh_ && wanted == !viewer_.isNull()) {
        return false;
    }
    forceRefresh_ = false;
    if (wanted) {
        auto* viewer = new CLogView(this);
        viewer->setObjectName("mapViewer");
        viewer->setAccessibleName(QString::fromStdString(webLog_.GetPath()));
        Replace(viewer);
        viewer_ = viewer;
        panel_ = nullptr;
        viewer->AttachLog(&webLog_, true);
    } else {
        auto* panel = new CVoidView(this);
        panel->setObjectName("mapDisabledPanel");
        panel->SetBackground(palette().color(QPalette::Button));
        panel->SetFrame(true);
        Replace(panel);
        panel_ = panel;
        viewer_ = nullptr;
        RetranslateUi();
    }
    return true;
}

void CMapArea::Replace(QWidget* content) {
    delete layout()->replaceWidget(content_, content);  // the old item is ours to delete
    delete content_;
    content_ = content;
    content_->show();
}

void CMapArea::RetranslateUi() {
    if (panel_) {
        panel_->SetText(QString::fromStdString(Translate(disabledText_)));
    }
}

}  // namespace zm
