#include "ui/links/TcpIpCtrl.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>

#include <mutex>

#include "base/Ping.h"
#include "ui/bridge/QtText.h"
#include "ui/common/DeviceWork.h"

namespace zm::TavCommunication {

namespace {

std::mutex g_DiscoveryMutex;
CConverterDiscovery::Options g_DiscoveryOptions;
int g_nDiscoveryWaitMs = CTcpIpCtrl::kDiscoveryWaitMs;

const char* const kTimeouts[] = {"100",  "250",  "500",  "750",  "1000", "1500",
                                 "2000", "2500", "3000", "4000", "5000"};

QComboBox* MakeBox(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

}  // namespace

CTcpIpCtrl::CTcpIpCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TcpIpCtrl"));
    m_pAddress = MakeBox(this, "Address");
    m_pPort = MakeBox(this, "Port");
    m_pTimeout = MakeBox(this, "Timeout");
    m_pPingState = new QLabel(this);
    m_pPingState->setObjectName(QStringLiteral("PingState"));
    m_pDefaults = new QPushButton(QStringLiteral("Set Defaults"), this);
    m_pDefaults->setObjectName(QStringLiteral("TcpSetDefaults"));
    m_pDefaults->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, QComboBox*> rows[] = {
        {"Address:", m_pAddress}, {"Port:", m_pPort}, {"Timeout(ms):", m_pTimeout}};
    int row = 0;
    for (const auto& [label, box] : rows) {
        auto* text = new QLabel(QLatin1String(label), this);
        text->setBuddy(box);
        grid->addWidget(text, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    grid->addWidget(m_pPingState, row, 0, 1, 2);
    grid->addWidget(m_pDefaults, row + 1, 1, Qt::AlignRight);

    m_pAddress->lineEdit()->installEventFilter(this);
    connect(m_pAddress, &QComboBox::activated, this,
            [this](int index) { ConfirmAddress(m_pAddress->itemText(index)); });
    connect(m_pAddress->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { ConfirmAddress(m_pAddress->currentText()); });
    connect(m_pPort, &QComboBox::editTextChanged, this, &CTcpIpCtrl::OnNumberEdited);
    connect(m_pTimeout, &QComboBox::editTextChanged, this, &CTcpIpCtrl::OnNumberEdited);
    connect(m_pDefaults, &QPushButton::clicked, this, &CTcpIpCtrl::OnDefaults);

    m_discoveryTimer.setSingleShot(true);
    connect(&m_discoveryTimer, &QTimer::timeout, this, &CTcpIpCtrl::OnDiscoveryTimer);
}

CTcpIpCtrl::~CTcpIpCtrl() {
    // The edit loses its focus while the widgets go, which would confirm its text into a
    // panel that no longer exists.
    m_pAddress->lineEdit()->removeEventFilter(this);
    for (QObject* sender :
         {static_cast<QObject*>(m_pAddress->lineEdit()), static_cast<QObject*>(m_pAddress),
          static_cast<QObject*>(m_pPort), static_cast<QObject*>(m_pTimeout)}) {
        disconnect(sender, nullptr, this, nullptr);
    }
    m_discovery.Close();
}

void CTcpIpCtrl::SetDiscoveryOptions(const CConverterDiscovery::Options& options, int nWaitMs) {
    std::lock_guard lock(g_DiscoveryMutex);
    g_DiscoveryOptions = options;
    g_nDiscoveryWaitMs = nWaitMs;
}

void CTcpIpCtrl::ResetDiscoveryOptions() {
    SetDiscoveryOptions(CConverterDiscovery::Options{}, kDiscoveryWaitMs);
}

void CTcpIpCtrl::Bind(XSocketSettings* pRecord, std::function<void()> onChanged) {
    m_pRecord = pRecord;
    m_onChanged = std::move(onChanged);
    if (m_pRecord != nullptr) {
        CAddressHistory::Shared().Add(m_pRecord->sAddress);
    }
    Exchange(false);
}

void CTcpIpCtrl::Exchange(bool bSave) {
    if (m_pRecord == nullptr) {
        return;
    }
    XSocketSettings& r = *m_pRecord;
    if (bSave) {
        r.sAddress = ToStdString(m_pAddress->currentText().trimmed());
        bool ok = false;
        if (const int port = m_pPort->currentText().trimmed().toInt(&ok);
            ok && port > 0 && port < 65536) {
            r.nPort = port;
        }
        if (const int timeout = m_pTimeout->currentText().trimmed().toInt(&ok); ok && timeout > 0) {
            r.nTimeOut = timeout;
        }
        return;
    }
    m_bFilling = true;
    if (m_pPort->count() == 0) {
        m_pPort->addItem(QStringLiteral("23"));
    }
    if (m_pTimeout->count() == 0) {
        for (const char* proposal : kTimeouts) {
            m_pTimeout->addItem(QLatin1String(proposal));
        }
    }
    m_pPort->setEditText(QString::number(r.nPort));
    m_pTimeout->setEditText(QString::number(r.nTimeOut));
    m_bFilling = false;
    FillAddresses();
}

void CTcpIpCtrl::FillAddresses() {
    m_bFilling = true;
    if (m_pRecord != nullptr) {
        CAddressHistory::Shared().Add(m_pRecord->sAddress);
    }
    m_pAddress->clear();
    for (const std::string& address : CAddressHistory::Shared().Entries()) {
        m_pAddress->addItem(ToQString(address));
    }
    if (m_pRecord != nullptr) {
        const QString current = ToQString(m_pRecord->sAddress);
        m_pAddress->setCurrentIndex(m_pAddress->findText(current));
        m_pAddress->setEditText(current);
    }
    m_bFilling = false;
}

void CTcpIpCtrl::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_bShown) {
        m_bShown = true;
        FirstDisplay();
    }
}

void CTcpIpCtrl::FirstDisplay() {
    CConverterDiscovery::Options options;
    int waitMs = kDiscoveryWaitMs;
    {
        std::lock_guard lock(g_DiscoveryMutex);
        options = g_DiscoveryOptions;
        waitMs = g_nDiscoveryWaitMs;
    }
    if (m_discovery.Start(options)) {
        m_pNotifier = new QSocketNotifier(m_discovery.Handle(), QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, &CTcpIpCtrl::OnDiscoveryReadable);
        m_discoveryTimer.start(waitMs);
    } else {
        m_bDiscoveryDone = true;  // nowhere to ask: no discovery, quietly
    }
    Exchange(false);
    CheckReachability();
}

void CTcpIpCtrl::OnDiscoveryReadable() {
    m_discovery.ReadReplies();
    if (m_discovery.Handle() < 0 && m_pNotifier != nullptr) {
        m_pNotifier->setEnabled(false);
        m_pNotifier->deleteLater();
        m_pNotifier = nullptr;
    }
}

void CTcpIpCtrl::OnDiscoveryTimer() {
    m_discoveryTimer.stop();
    if (m_discovery.Handle() >= 0) {
        m_discovery.ReadReplies();
    }
    if (!m_discovery.Found().empty()) {
        for (const std::string& address : m_discovery.Found()) {
            CAddressHistory::Shared().Add(address);
        }
        const QString typed = m_pAddress->currentText();
        FillAddresses();
        m_pAddress->setEditText(typed);  // what the operator is typing stays
        update();
    }
    m_bDiscoveryDone = true;
}

bool CTcpIpCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pAddress->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ConfirmAddress(m_pAddress->currentText());
            return true;  // the dialog's default button is not pressed by it
        }
        if (key == Qt::Key_Escape) {
            if (m_pRecord != nullptr) {
                m_pAddress->setEditText(ToQString(m_pRecord->sAddress));
            }
            return true;  // nor is the dialog closed
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTcpIpCtrl::ConfirmAddress(const QString& text) {
    if (m_bFilling || m_pRecord == nullptr) {
        return;
    }
    const std::string address = ToStdString(text.trimmed());
    if (address.empty() || address == m_pRecord->sAddress) {
        return;
    }
    m_pRecord->sAddress = address;
    const int index = CAddressHistory::Shared().Confirm(address, m_pAddress->currentIndex());
    FillAddresses();
    m_bFilling = true;
    m_pAddress->setCurrentIndex(index);
    m_bFilling = false;
    CheckReachability();
    Notify();
}

void CTcpIpCtrl::OnNumberEdited() {
    if (m_bFilling || m_pRecord == nullptr) {
        return;
    }
    const XSocketSettings before = *m_pRecord;
    Exchange(true);
    m_pRecord->sAddress = before.sAddress;  // the address changes only when confirmed
    if (!(before == *m_pRecord)) {
        Notify();
    }
}

void CTcpIpCtrl::OnDefaults() {
    if (m_pRecord == nullptr) {
        return;
    }
    m_pRecord->ResetToDefaults();
    m_pRecord->bDatagram = false;
    Exchange(false);
    CheckReachability();
    Notify();
}

void CTcpIpCtrl::CheckReachability() {
    if (m_pRecord == nullptr) {
        return;
    }
    m_pPingState->setText(QStringLiteral("Ping wait ..."));
    const int check = ++m_nChecks;
    m_nPendingCheck = check;
    auto reply = std::make_shared<PingReply>();
    auto ok = std::make_shared<bool>(false);
    const std::string address = m_pRecord->sAddress;
    const int timeout = m_pRecord->nTimeOut;
    RunDeviceWork(
        this, [=] { *ok = PingOnce(address, reply.get(), kPingTtl, timeout, kPingDataSize); },
        [this, check, reply, ok] {
            if (check != m_nPendingCheck) {
                return;  // a later check replaced this one
            }
            m_nPendingCheck = 0;
            m_pPingState->setText(
                *ok ? QString::asprintf("Ping Ok (Time=%ld ms)", static_cast<long>(reply->nTimeMs))
                    : QStringLiteral("Ping not Ok"));
        });
}

void CTcpIpCtrl::Notify() {
    if (m_onChanged) {
        m_onChanged();
    }
}

}  // namespace zm::TavCommunication
