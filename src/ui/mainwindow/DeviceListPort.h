#pragma once

class QWidget;

namespace zm {

// What the main window asks of the device list view (view 0): the caption buttons'
// commands, refreshes and the language switch. The device list itself is its own screen
// family; until it is there, CDeviceListPlaceholder holds its place.
class IDeviceListView {
  public:
    virtual ~IDeviceListView() = default;
    virtual QWidget* Widget() = 0;
    virtual bool HasSelection() const = 0;
    // Command 1100 + offset: 0 add a device, 1 delete the selected ones, 2 settings of the
    // first selected one; 3 and 4 do nothing.
    virtual void ButtonCommand(int offset) = 0;
    virtual void Refresh() = 0;
    virtual void RetranslateUi() = 0;
};

}  // namespace zm
