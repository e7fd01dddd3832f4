#include "ui/links/ComPortCtrl.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <mutex>

#include "links/ComPort.h"
#include "ui/bridge/QtText.h"

namespace zm::TavCommunication {

namespace {

std::mutex g_ListerMutex;
CComPortCtrl::PortLister g_Lister;

QComboBox* MakeList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    return list;
}

}  // namespace

CComPortCtrl::CComPortCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ComPortCtrl"));
    m_pPort = MakeList(this, "ComPort");
    m_pBaud = MakeList(this, "BaudRate");
    m_pByteSize = MakeList(this, "ByteSize");
    m_pStopBits = MakeList(this, "StopBits");
    m_pParity = MakeList(this, "Parity");
    m_pDefaults = new QPushButton(QStringLiteral("Set Defaults"), this);
    m_pDefaults->setObjectName(QStringLiteral("ComSetDefaults"));
    m_pDefaults->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, QComboBox*> rows[] = {{"ComPort:", m_pPort},
                                                       {"BaudRate:", m_pBaud},
                                                       {"ByteSize:", m_pByteSize},
                                                       {"StopBits:", m_pStopBits},
                                                       {"Parity:", m_pParity}};
    int row = 0;
    for (const auto& [label, list] : rows) {
        auto* text = new QLabel(QLatin1String(label), this);
        text->setBuddy(list);
        grid->addWidget(text, row, 0);
        grid->addWidget(list, row, 1);
        connect(list, &QComboBox::currentIndexChanged, this, &CComPortCtrl::OnSelection);
        ++row;
    }
    grid->addWidget(m_pDefaults, row, 1, Qt::AlignRight);
    connect(m_pDefaults, &QPushButton::clicked, this, &CComPortCtrl::OnDefaults);
    FillLists();
}

void CComPortCtrl::SetPortLister(PortLister lister) {
    std::lock_guard lock(g_ListerMutex);
    g_Lister = std::move(lister);
}

CComPortCtrl::PortLister CComPortCtrl::GetPortLister() {
    std::lock_guard lock(g_ListerMutex);
    if (g_Lister) {
        return g_Lister;
    }
    return [](std::vector<std::string>& ports) { return EnumSerialPorts(ports); };
}

void CComPortCtrl::FillLists() {
    m_bFilling = true;
    std::vector<std::string> ports;
    GetPortLister()(ports);
    m_pPort->clear();
    for (const std::string& port : ports) {
        m_pPort->addItem(ToQString(port));
    }
    m_pBaud->clear();
    for (int rate : kBaudRates) {
        m_pBaud->addItem(QString::number(rate));
    }
    m_pByteSize->clear();
    for (int size = 4; size <= 8; ++size) {
        m_pByteSize->addItem(QString::number(size));
    }
    m_pStopBits->clear();
    m_pStopBits->addItems({QStringLiteral("1 stop bit"), QStringLiteral("1.5 stop bits"),
                           QStringLiteral("2 stop bits")});
    m_pParity->clear();
    m_pParity->addItems({QStringLiteral("No parity"), QStringLiteral("Odd"), QStringLiteral("Even"),
                         QStringLiteral("Mark"), QStringLiteral("Space")});
    m_bFilling = false;
}

void CComPortCtrl::Bind(ComPortSettings* pRecord, std::function<void()> onChanged) {
    m_pRecord = pRecord;
    m_onChanged = std::move(onChanged);
    Exchange(false);
}

void CComPortCtrl::Exchange(bool bSave) {
    if (m_pRecord == nullptr) {
        return;
    }
    ComPortSettings& r = *m_pRecord;
    if (bSave) {
        // A port that is not listed (none at all, or one that went away) stays as it was.
        if (m_pPort->currentIndex() >= 0) {
            r.sPortName = ToStdString(m_pPort->currentText());
        }
        bool ok = false;
        if (const int rate = m_pBaud->currentText().toInt(&ok); ok) {
            r.nBaudRate = rate;
        }
        if (const int size = m_pByteSize->currentText().toInt(&ok); ok) {
            r.nByteSize = size;
        }
        if (m_pStopBits->currentIndex() >= 0) {
            r.nStopBits = m_pStopBits->currentIndex();
        }
        if (m_pParity->currentIndex() >= 0) {
            r.nParity = m_pParity->currentIndex();
        }
        return;
    }
    m_bFilling = true;
    m_pPort->setCurrentIndex(m_pPort->findText(ToQString(r.sPortName)));
    const QString rate = QString::number(r.nBaudRate);
    if (m_pBaud->findText(rate) < 0) {
        m_pBaud->addItem(rate);  // a rate typed into the settings file is shown as it is
    }
    m_pBaud->setCurrentIndex(m_pBaud->findText(rate));
    m_pByteSize->setCurrentIndex(m_pByteSize->findText(QString::number(r.nByteSize)));
    m_pStopBits->setCurrentIndex(
        r.nStopBits >= 0 && r.nStopBits < m_pStopBits->count() ? r.nStopBits : -1);
    m_pParity->setCurrentIndex(r.nParity >= 0 && r.nParity < m_pParity->count() ? r.nParity : -1);
    m_bFilling = false;
}

void CComPortCtrl::OnSelection() {
    if (m_bFilling || m_pRecord == nullptr) {
        return;
    }
    Exchange(true);
    if (m_onChanged) {
        m_onChanged();
    }
}

void CComPortCtrl::OnDefaults() {
    if (m_pRecord == nullptr) {
        return;
    }
    m_pRecord->ResetToDefaults();
    Exchange(false);
    if (m_onChanged) {
        m_onChanged();
    }
}

}  // namespace zm::TavCommunication
