#include "ui/map/GeoMapView.h"

#include <QVBoxLayout>

#include "base/Log.h"
#include "base/MlsPrgMsg.h"
#include "base/texts/WindowTexts.h"
#include "ui/common/Label.h"
#include "ui/common/LogView.h"
#include "ui/map/MapArea.h"
#include "ui/map/VoidView.h"

namespace zm {

CGeoMapView::CGeoMapView(CLog& webLog, QWidget* parent) : QWidget(parent), webLog_(webLog) {
    setObjectName("geoMapView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(5);

    title_ = new CLabel(this);
    title_->setObjectName("geoMapTitle");
    title_->SetCentreImage(true);
    title_->SetWeightBold(true)
        .SetPointSize(13)
        .SetEmboss(true, 0)
        .SetEmbossColour(QColor(255, 255, 255))
        .SetBackground(QColor(200, 200, 200), QColor(0, 0, 0), false)
        .SetTextColour(QColor(0, 0, 250))
        .SetHoverCursor(QCursor(Qt::PointingHandCursor));
    // The address as it is at the click: the server may have started since.
    title_->SetLinkTargetSource([this] { return QString::fromStdString(webLog_.GetPath()); });
    title_->setFixedHeight(30);
    layout->addWidget(title_);

    area_ = new CMapArea(webLog, texts::tpGeoMapView_EmbeddedViewerIsDisabled, this);
    layout->addWidget(area_, 1);
    RetranslateUi();
}

bool CGeoMapView::Refresh(bool httpServer, bool mapViewer) {
    return area_->Refresh(httpServer, mapViewer);
}

void CGeoMapView::RetranslateUi() {
    title_->SetLabelText(Translate(texts::tpGeoMapView_GeographicVisualization));
    area_->RetranslateUi();
}

}  // namespace zm
