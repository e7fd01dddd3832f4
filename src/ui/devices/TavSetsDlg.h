#pragma once

#include "ui/devices/DeviceSetsDlg.h"

namespace zm {

// The generic device's link dialog: the shared areas, without scan and device panel.
class CTavSetsDlg : public CDeviceSetsDlg {
    Q_OBJECT

  public:
    CTavSetsDlg(CTavDevice& device, QWidget* parent = nullptr);

    const TavDeviceCfg& WorkingCopy() const { return m_work; }

  protected:
    TavDeviceCfg& Work() override { return m_work; }
    void GiveToDevice() override;
    void ResetToDefaults() override;
    void OnRawButton(bool bCtrl) override;

  private:
    TavDeviceCfg m_work;
};

}  // namespace zm
