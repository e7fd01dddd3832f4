#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "links/ConverterDiscovery.h"
#include "links/DeviceLink.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSocketNotifier;

namespace zm::TavCommunication {

// The TCP settings panel: converter address with its history, port and time-out of a
// record the owner binds, the reachability of the address, and the discovery of
// converters on the local segment. The echo runs on a worker; the panel shows
// "Ping wait ..." meanwhile.
class CTcpIpCtrl : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kDiscoveryWaitMs = 5000;

    explicit CTcpIpCtrl(QWidget* parent = nullptr);
    ~CTcpIpCtrl() override;

    void Bind(XSocketSettings* pRecord, std::function<void()> onChanged);
    void Exchange(bool bSave);

    // Where discovery asks (tests point it at loopback), and how long it waits.
    static void SetDiscoveryOptions(const CConverterDiscovery::Options& options, int nWaitMs);
    static void ResetDiscoveryOptions();

    QComboBox* AddressBox() const { return m_pAddress; }
    QComboBox* PortBox() const { return m_pPort; }
    QComboBox* TimeoutBox() const { return m_pTimeout; }
    QLabel* PingState() const { return m_pPingState; }
    QPushButton* DefaultsButton() const { return m_pDefaults; }
    // Reachability checks started so far, and whether one is running.
    int ChecksStarted() const { return m_nChecks; }
    bool CheckRunning() const { return m_nPendingCheck != 0; }
    // Whether discovery has ended (its timer ran out or it was skipped).
    bool DiscoveryDone() const { return m_bDiscoveryDone; }

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FirstDisplay();
    void FillAddresses();
    void ConfirmAddress(const QString& text);
    void OnNumberEdited();
    void OnDefaults();
    void CheckReachability();
    void OnDiscoveryReadable();
    void OnDiscoveryTimer();
    void Notify();

    XSocketSettings* m_pRecord = nullptr;
    std::function<void()> m_onChanged;
    bool m_bFilling = false;
    bool m_bShown = false;
    bool m_bDiscoveryDone = false;
    int m_nChecks = 0;
    int m_nPendingCheck = 0;  // number of the check whose answer counts; 0: none
    QComboBox* m_pAddress = nullptr;
    QComboBox* m_pPort = nullptr;
    QComboBox* m_pTimeout = nullptr;
    QLabel* m_pPingState = nullptr;
    QPushButton* m_pDefaults = nullptr;
    CConverterDiscovery m_discovery;
    QSocketNotifier* m_pNotifier = nullptr;
    QTimer m_discoveryTimer;
};

}  // namespace zm::TavCommunication
