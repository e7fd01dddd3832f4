#include "ui/devices/ZorSetsDlg.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/BusScan.h"
#include "base/texts/DialogTexts.h"
#include "ui/bridge/QtText.h"
#include "ui/common/DeviceWork.h"
#include "ui/common/WaitDlg.h"
#include "ui/devices/ZorSetsView.h"
#include "ui/links/ComPortCtrl.h"

namespace zm {

CZorSetsDlg::CZorSetsDlg(CZorDevice& device, QWidget* parent)
    : CDeviceSetsDlg(device, parent), m_zor(device) {
    setObjectName(QStringLiteral("ZorSetsDlg"));
    device.GetZorSettings(m_work);
    setWindowTitle(ToQString(m_work.sName) + QStringLiteral(": ") +
                   Tr(texts::tpZorSetsDlg_LinkSettings));
    auto* group = new QGroupBox(Tr(texts::tpTavSettings_DeviceSettings), this);
    auto* layout = new QVBoxLayout(group);
    m_pView = new CZorSetsView(
        device, m_work, [this] { ApplyToDevice(); }, group);
    layout->addWidget(m_pView);
    connect(m_pView, &CZorSetsView::LinkTested, this, &CZorSetsDlg::SetLinkNote);
    ExtrasLayout()->addWidget(group);
    m_pScan = new QPushButton(Tr(texts::tpZorSetsDlg_ScanForDevices), this);
    m_pScan->setObjectName(QStringLiteral("ScanForDevices"));
    m_pScan->setAutoDefault(false);
    ExtrasLayout()->addWidget(m_pScan, 0, Qt::AlignLeft);
    connect(m_pScan, &QPushButton::clicked, this, &CZorSetsDlg::OnScan);
    Attach();
}

CZorSetsDlg::~CZorSetsDlg() = default;

bool CZorSetsDlg::Busy() const {
    return m_bScanning || (m_pView && m_pView->TestRunning());
}

void CZorSetsDlg::ApplyToDevice() {
    if (m_bScanning) {
        return;  // the scan owns the device's configuration until it has restored it
    }
    if (m_pView != nullptr) {
        m_pView->Exchange();
    }
    CDeviceSetsDlg::ApplyToDevice();
}

void CZorSetsDlg::GiveToDevice() {
    m_zor.SetZorSettings(m_work, true);
}

void CZorSetsDlg::ResetToDefaults() {
    // The defaults of a fresh device; the name stays, since names must stay unique.
    CZorDevice fresh(m_zor.GetOwnCfgPath(), nullptr, CZorDevice::kTypeName);
    ZorDeviceCfg defaults;
    fresh.GetZorSettings(defaults);
    defaults.sName = m_work.sName;
    m_work = defaults;
}

void CZorSetsDlg::RefreshExtras() {
    const bool serial = LinkKindFromName(m_work.sLinkType) == LinkKind::Com;
    m_pScan->setVisible(serial);
    m_pScan->setEnabled(!m_bScanning);
    if (m_pView != nullptr) {
        m_pView->Refresh();
    }
}

void CZorSetsDlg::OnScan() {
    auto device = std::dynamic_pointer_cast<CZorDevice>(m_zor.weak_from_this().lock());
    if (!device || m_bScanning || LinkKindFromName(m_work.sLinkType) != LinkKind::Com) {
        return;
    }
    ApplyToDevice();
    m_bScanning = true;
    RefreshExtras();
    auto wait = std::make_shared<CWaitDlg>(this);
    const CBusScan::PortLister ports = TavCommunication::CComPortCtrl::GetPortLister();
    RunDeviceWork(
        this,
        [device, wait, ports] {
            CBusScan scan(device, *wait, ports);
            scan.Run();
            wait->Stop();
        },
        [this] {
            m_bScanning = false;
            m_zor.GetZorSettings(m_work);  // the scan gave the device its configuration back
            LoadFields();
        });
}

void CZorSetsDlg::done(int result) {
    if (m_bScanning) {
        return;  // closed only after the scan restored the device
    }
    CDeviceSetsDlg::done(result);
}

void CZorSetsDlg::closeEvent(QCloseEvent* event) {
    if (m_bScanning) {
        event->ignore();
        return;
    }
    CDeviceSetsDlg::closeEvent(event);
}

}  // namespace zm
