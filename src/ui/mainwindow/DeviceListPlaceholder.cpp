#include "ui/mainwindow/DeviceListPlaceholder.h"

namespace zm {

CDeviceListPlaceholder::CDeviceListPlaceholder(QWidget* parent) : QFrame(parent) {
    setObjectName("deviceListView");
    setAccessibleName("Device list");
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

}  // namespace zm
