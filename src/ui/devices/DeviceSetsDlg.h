#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "device/DevicePane.h"
#include "device/TavDevice.h"
#include "ui/bridge/QtRelay.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace zm {

namespace TavCommunication {
class CComPortCtrl;
class CTcpIpCtrl;
}  // namespace TavCommunication

// The areas every link dialog shares: the device's live status (raw data stream, last RMC
// string, status icon and text, decoded data, link status), the link-type list with the
// matching settings panel, START / STOP / Set Defaults / LOG / "=>". While open it is the
// device's status window: the device fills the areas from its event thread, and the texts
// reach the dialog as posted calls.
class CDeviceSetsDlg : public QDialog {
    Q_OBJECT

  public:
    ~CDeviceSetsDlg() override;

    // Controls, for tests and accessibility.
    QPlainTextEdit* RawText() const { return m_pRaw; }
    QLabel* LastRmc() const { return m_pLastRmc; }
    QLabel* StatusIcon() const { return m_pStatusIcon; }
    QLabel* StatusText() const { return m_pStatus; }
    QLabel* DataText() const { return m_pData; }
    QLabel* LinkStatus() const { return m_pLinkError; }
    QComboBox* LinkTypeList() const { return m_pLinkType; }
    QPushButton* StartButton() const { return m_pStart; }
    QPushButton* StopButton() const { return m_pStop; }
    QPushButton* DefaultsButton() const { return m_pDefaults; }
    QCheckBox* LogSwitch() const { return m_pLog; }
    QPushButton* RawButton() const { return m_pRawButton; }
    TavCommunication::CComPortCtrl* ComPanel() const { return m_pComPanel; }
    TavCommunication::CTcpIpCtrl* TcpPanel() const { return m_pTcpPanel; }
    bool RawDisplayOn() const { return m_bShowRaw; }

    // Reads the fields, gives the working copy to the device, refreshes.
    virtual void ApplyToDevice();

  protected:
    CDeviceSetsDlg(CTavDevice& device, QWidget* parent);

    // Called by the derived constructor once its working copy exists.
    void Attach();
    // The working copy's generic part.
    virtual TavDeviceCfg& Work() = 0;
    virtual void GiveToDevice() = 0;
    virtual void ResetToDefaults() = 0;
    virtual void OnRawButton(bool bCtrl);
    virtual void RefreshExtras() {}
    // Where the derived dialog puts its own rows (below the link settings).
    QVBoxLayout* ExtrasLayout() const { return m_pExtras; }

    void Refresh();
    void LoadFields();
    void ShowTexts(const DevicePaneTexts& texts);

    // A stopped device's status text reads "Monitoring OFF" whatever was added to it, so
    // the result of the last link test is shown beside it here.
    void SetLinkNote(const QString& note);

    CTavDevice& m_dev;
    std::shared_ptr<CTavDevice> m_pDev;
    bool m_bShowRaw = true;

  private:
    class Pane;

    void OnLinkType();
    void OnRun(bool bOn);
    void OnDefaults();

    QtRelay m_relay;
    std::shared_ptr<Pane> m_pPane;
    bool m_bFilling = false;
    QString m_sLinkNote;
    QString m_sLastStatus;
    int m_nLastStatusCode = -1;

    QPlainTextEdit* m_pRaw = nullptr;
    QLabel* m_pLastRmc = nullptr;
    QLabel* m_pStatusIcon = nullptr;
    QLabel* m_pStatus = nullptr;
    QLabel* m_pData = nullptr;
    QLabel* m_pLinkError = nullptr;
    QComboBox* m_pLinkType = nullptr;
    QStackedWidget* m_pPanels = nullptr;
    QWidget* m_pNoPanel = nullptr;
    TavCommunication::CComPortCtrl* m_pComPanel = nullptr;
    TavCommunication::CTcpIpCtrl* m_pTcpPanel = nullptr;
    QPushButton* m_pStart = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pDefaults = nullptr;
    QCheckBox* m_pLog = nullptr;
    QPushButton* m_pRawButton = nullptr;
    QVBoxLayout* m_pExtras = nullptr;
};

}  // namespace zm
