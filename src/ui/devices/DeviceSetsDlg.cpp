#include "ui/devices/DeviceSetsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/StatusLevel.h"
#include "base/texts/DialogTexts.h"
#include "ui/bridge/QtText.h"
#include "ui/links/ComPortCtrl.h"
#include "ui/links/TcpIpCtrl.h"

namespace zm {

namespace {

constexpr const char* kLinkTypes[] = {kLinkTypeNone, kLinkTypeCom, kLinkTypeTcpIp, kLinkTypeEmul,
                                      kLinkTypeExt};

QPixmap StatusPixmap(int statusCode) {
    const StatusLevel level = GetStatusLevel(statusCode);
    QPixmap image(16, 16);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(QColor(level.r, level.g, level.b));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return image;
}

QLabel* TextArea(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);  // device texts are never markup
    return label;
}

}  // namespace

// The device's status window: called on the device's event thread, it only posts.
class CDeviceSetsDlg::Pane : public CDevicePane {
  public:
    Pane(QtRelay relay, CDeviceSetsDlg* dialog) : m_relay(std::move(relay)), m_pDialog(dialog) {}
    void ShowDeviceTexts(CTavDevice&, const DevicePaneTexts& texts) override {
        CDeviceSetsDlg* dialog = m_pDialog;
        m_relay.Post([dialog, texts] { dialog->ShowTexts(texts); });
    }

  private:
    QtRelay m_relay;
    CDeviceSetsDlg* m_pDialog;  // used only through the relay, which drops calls once it went
};

CDeviceSetsDlg::CDeviceSetsDlg(CTavDevice& device, QWidget* parent)
    : QDialog(parent), m_dev(device), m_pDev(device.weak_from_this().lock()), m_relay(this) {
    auto* top = new QVBoxLayout(this);

    auto* stream = new QGroupBox(Tr(texts::tpTavSettings_DataStream), this);
    auto* streamLayout = new QVBoxLayout(stream);
    m_pRaw = new QPlainTextEdit(stream);
    m_pRaw->setObjectName(QStringLiteral("RawData"));
    m_pRaw->setReadOnly(true);
    m_pRaw->setMaximumBlockCount(2000);
    m_pRaw->setMinimumHeight(110);
    m_pLastRmc = TextArea(stream, "LastRmc");
    m_pLastRmc->setToolTip(QStringLiteral("last received RMC string"));
    streamLayout->addWidget(m_pRaw);
    streamLayout->addWidget(m_pLastRmc);
    top->addWidget(stream);

    auto* state = new QGridLayout;
    state->addWidget(new QLabel(Tr(texts::tpTavSettings_DeviceStatus), this), 0, 0);
    m_pStatusIcon = new QLabel(this);
    m_pStatusIcon->setObjectName(QStringLiteral("StatusIcon"));
    m_pStatusIcon->setFixedSize(18, 18);
    state->addWidget(m_pStatusIcon, 0, 1);
    m_pStatus = TextArea(this, "StatusText");
    state->addWidget(m_pStatus, 0, 2);
    state->addWidget(new QLabel(Tr(texts::tpTavSettings_DecodedData), this), 1, 0, 1, 2);
    m_pData = TextArea(this, "DecodedData");
    state->addWidget(m_pData, 1, 2);
    state->setColumnStretch(2, 1);
    top->addLayout(state);

    auto* link = new QGroupBox(Tr(texts::tpTavSettings_LinkSettings), this);
    auto* linkLayout = new QGridLayout(link);
    m_pLinkType = new QComboBox(link);
    m_pLinkType->setObjectName(QStringLiteral("LinkType"));
    for (const char* type : kLinkTypes) {
        m_pLinkType->addItem(QLatin1String(type));
    }
    linkLayout->addWidget(m_pLinkType, 0, 0, Qt::AlignTop);
    m_pPanels = new QStackedWidget(link);
    m_pNoPanel = new QWidget(m_pPanels);
    m_pComPanel = new TavCommunication::CComPortCtrl(m_pPanels);
    m_pTcpPanel = new TavCommunication::CTcpIpCtrl(m_pPanels);
    m_pPanels->addWidget(m_pNoPanel);
    m_pPanels->addWidget(m_pComPanel);
    m_pPanels->addWidget(m_pTcpPanel);
    linkLayout->addWidget(m_pPanels, 0, 1);
    linkLayout->setColumnStretch(1, 1);
    auto* linkState = new QHBoxLayout;
    linkState->addWidget(new QLabel(Tr(texts::tpTavSettings_LinkStatus), link));
    m_pLinkError = TextArea(link, "LinkStatus");
    linkState->addWidget(m_pLinkError, 1);
    linkLayout->addLayout(linkState, 1, 0, 1, 2);
    top->addWidget(link);

    m_pExtras = new QVBoxLayout;
    top->addLayout(m_pExtras);

    auto* buttons = new QHBoxLayout;
    m_pStart = new QPushButton(Tr(texts::tpTavSettings_START), this);
    m_pStart->setObjectName(QStringLiteral("Start"));
    m_pStop = new QPushButton(Tr(texts::tpTavSettings_STOP), this);
    m_pStop->setObjectName(QStringLiteral("Stop"));
    m_pDefaults = new QPushButton(Tr(texts::tpTavSettings_SetDefaults), this);
    m_pDefaults->setObjectName(QStringLiteral("SetDefaults"));
    m_pLog = new QCheckBox(QStringLiteral("LOG"), this);
    m_pLog->setObjectName(QStringLiteral("Log"));
    m_pRawButton = new QPushButton(QStringLiteral("=>"), this);
    m_pRawButton->setObjectName(QStringLiteral("RawSwitch"));
    m_pRawButton->setFixedWidth(40);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    for (QPushButton* b : {m_pStart, m_pStop, m_pDefaults, m_pRawButton, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->insertWidget(3, m_pLog);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    ok->setDefault(true);
    top->addLayout(buttons);

    connect(m_pLinkType, &QComboBox::currentIndexChanged, this, &CDeviceSetsDlg::OnLinkType);
    connect(m_pStart, &QPushButton::clicked, this, [this] { OnRun(true); });
    connect(m_pStop, &QPushButton::clicked, this, [this] { OnRun(false); });
    connect(m_pDefaults, &QPushButton::clicked, this, &CDeviceSetsDlg::OnDefaults);
    connect(m_pLog, &QCheckBox::clicked, this, [this] {
        if (!m_bFilling) {
            ApplyToDevice();
        }
    });
    connect(m_pRawButton, &QPushButton::clicked, this, [this] {
        OnRawButton(QApplication::keyboardModifiers().testFlag(Qt::ControlModifier));
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        ApplyToDevice();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(560, 640);
}

CDeviceSetsDlg::~CDeviceSetsDlg() {
    // The device stops filling this window; posts still under way are dropped.
    if (m_pPane && m_dev.GetAttachedPane() == m_pPane) {
        m_dev.AttachPane(nullptr);
    }
    m_relay.Detach();
}

void CDeviceSetsDlg::Attach() {
    LoadFields();
    m_pPane = std::make_shared<Pane>(m_relay, this);
    m_dev.AttachPane(m_pPane);
    m_dev.SetEventObject(kEvAll);
}

void CDeviceSetsDlg::LoadFields() {
    m_bFilling = true;
    TavDeviceCfg& work = Work();
    int index = m_pLinkType->findText(ToQString(work.sLinkType));
    if (index < 0) {
        index = 0;  // anything unknown selects no link
    }
    m_pLinkType->setCurrentIndex(index);
    m_pLog->setChecked(work.bTxtLogOn);
    m_pComPanel->Bind(&work.comPort, [this] { ApplyToDevice(); });
    m_pTcpPanel->Bind(&work.xSocket, [this] { ApplyToDevice(); });
    m_bFilling = false;
    Refresh();
}

void CDeviceSetsDlg::Refresh() {
    const bool running = m_dev.IsScanning();
    m_pStop->setEnabled(running);
    m_pStart->setEnabled(!running);
    switch (LinkKindFromName(Work().sLinkType)) {
        case LinkKind::Com:
            m_pPanels->setCurrentWidget(m_pComPanel);
            break;
        case LinkKind::TcpIp:
            m_pPanels->setCurrentWidget(m_pTcpPanel);
            break;
        default:
            m_pPanels->setCurrentWidget(m_pNoPanel);
            break;
    }
    RefreshExtras();
}

void CDeviceSetsDlg::ApplyToDevice() {
    TavDeviceCfg& work = Work();
    const int index = m_pLinkType->currentIndex();
    if (index > 0) {
        work.sLinkType = ToStdString(m_pLinkType->currentText());
    } else if (LinkKindFromName(work.sLinkType) != LinkKind::None) {
        work.sLinkType = kLinkTypeNone;
    }
    work.bTxtLogOn = m_pLog->isChecked();
    m_pComPanel->Exchange(true);
    m_pTcpPanel->Exchange(true);
    GiveToDevice();
    Refresh();
}

void CDeviceSetsDlg::OnLinkType() {
    if (!m_bFilling) {
        ApplyToDevice();
    }
}

void CDeviceSetsDlg::OnRun(bool bOn) {
    Work().bScanning = bOn;
    ApplyToDevice();
}

void CDeviceSetsDlg::OnDefaults() {
    const bool running = Work().bScanning;
    ResetToDefaults();
    Work().bScanning = running;
    LoadFields();
    ApplyToDevice();
}

void CDeviceSetsDlg::OnRawButton(bool bCtrl) {
    if (bCtrl) {
        m_bShowRaw = !m_bShowRaw;
    } else {
        m_pRaw->clear();
    }
}

void CDeviceSetsDlg::SetLinkNote(const QString& note) {
    m_sLinkNote = note;
    const bool stopped = m_nLastStatusCode == kDevMonitoringOff;
    m_pStatus->setText(stopped ? m_sLastStatus + m_sLinkNote : m_sLastStatus);
}

void CDeviceSetsDlg::ShowTexts(const DevicePaneTexts& texts) {
    switch (texts.part) {
        case DevicePaneTexts::Part::State:
            m_pLinkError->setText(ToQString(texts.sLinkError));
            m_pStatusIcon->setPixmap(StatusPixmap(texts.nStatusIcon));
            m_sLastStatus = ToQString(texts.sStatus);
            m_nLastStatusCode = texts.nStatusIcon;
            SetLinkNote(m_sLinkNote);
            Refresh();
            break;
        case DevicePaneTexts::Part::Data:
            m_pData->setText(ToQString(texts.sData));
            break;
        case DevicePaneTexts::Part::Track:
            m_pLastRmc->setText(ToQString(texts.sLastRmc));
            if (m_bShowRaw && !texts.sTrackAppend.empty()) {
                m_pRaw->moveCursor(QTextCursor::End);
                m_pRaw->insertPlainText(ToQString(texts.sTrackAppend));
                m_pRaw->verticalScrollBar()->setValue(m_pRaw->verticalScrollBar()->maximum());
            }
            break;
    }
}

}  // namespace zm
