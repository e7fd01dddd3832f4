#pragma once

#include <memory>

#include "device/zor/ZorDevice.h"
#include "ui/devices/DeviceSetsDlg.h"

namespace zm {

class CZorSetsView;

// The ZOR device's link dialog: the shared areas, the device panel and, on a serial link,
// the bus scan. The scan runs on a worker with the wait window in front; the dialog cannot
// be closed until it has ended and the device has its configuration back.
class CZorSetsDlg : public CDeviceSetsDlg {
    Q_OBJECT

  public:
    CZorSetsDlg(CZorDevice& device, QWidget* parent = nullptr);
    ~CZorSetsDlg() override;

    const ZorDeviceCfg& WorkingCopy() const { return m_work; }
    CZorSetsView* DevicePanel() const { return m_pView; }
    QPushButton* ScanButton() const { return m_pScan; }
    bool ScanRunning() const { return m_bScanning; }
    bool Busy() const;

    void ApplyToDevice() override;
    void done(int result) override;

  protected:
    TavDeviceCfg& Work() override { return m_work; }
    void GiveToDevice() override;
    void ResetToDefaults() override;
    void RefreshExtras() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnScan();

    CZorDevice& m_zor;
    ZorDeviceCfg m_work;
    CZorSetsView* m_pView = nullptr;
    QPushButton* m_pScan = nullptr;
    bool m_bScanning = false;
};

}  // namespace zm
