#pragma once

#include <QFrame>

#include "ui/mainwindow/DeviceListPort.h"

namespace zm {

// Holds view 0's place until the device list view exists: an empty panel in which
// nothing can be selected, so the buttons that need a device ask for one.
class CDeviceListPlaceholder final : public QFrame, public IDeviceListView {
    Q_OBJECT
  public:
    explicit CDeviceListPlaceholder(QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    bool HasSelection() const override { return false; }
    void ButtonCommand(int offset) override { (void)offset; }
    void Refresh() override {}
    void RetranslateUi() override {}
};

}  // namespace zm
