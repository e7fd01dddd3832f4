#include "ui/devices/TavSetsDlg.h"

#include "ui/bridge/QtText.h"
#include "ui/common/MessageBox.h"

namespace zm {

CTavSetsDlg::CTavSetsDlg(CTavDevice& device, QWidget* parent) : CDeviceSetsDlg(device, parent) {
    setObjectName(QStringLiteral("TavSetsDlg"));
    device.GetSettings(m_work);
    setWindowTitle(ToQString(m_work.sName) + QStringLiteral(" settings"));
    Attach();
}

void CTavSetsDlg::GiveToDevice() {
    m_dev.SetSettings(m_work, true);
}

void CTavSetsDlg::ResetToDefaults() {
    CTavDevice fresh(m_dev.GetOwnCfgPath(), nullptr, "Tav-Device");
    fresh.DefaultCfg();
    TavDeviceCfg defaults;
    fresh.GetSettings(defaults);
    defaults.sName = m_work.sName;
    m_work = defaults;
}

void CTavSetsDlg::OnRawButton(bool) {
    MessageBox::Show(this, "not implemented");
}

}  // namespace zm
