#include "ui/devices/ZorDevDlg.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <ctime>

#include "app/ZorDevDlgRules.h"
#include "base/texts/BaseTexts.h"
#include "base/texts/DialogTexts.h"
#include "ui/bridge/QtText.h"
#include "ui/common/DeviceWork.h"
#include "ui/devices/DeviceDialogHost.h"

namespace zm {

namespace {

constexpr int kButtonsWidth = 75;

QColor ToQColor(std::uint32_t rgb) {
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}

std::uint32_t FromQColor(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

// Numbers in the fields are written and read without the desktop's locale.
QString Number(double value) {
    return QString::number(value, 'g', 10);
}

bool ReadDouble(const QLineEdit* edit, double& value) {
    bool ok = false;
    const double read = QLocale::c().toDouble(edit->text().trimmed(), &ok);
    if (ok) {
        value = read;
    }
    return ok;
}

void ReadU16(const QLineEdit* edit, ZorParams& params, size_t offset) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (ok && value >= 0 && value <= 0xFFFF) {
        params.SetU16(offset, static_cast<uint16_t>(value));
    }
}

QLabel* AddLabel(QWidget* parent, const QString& text, QRect where) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    return label;
}

template <class W>
W* Place(W* widget, const char* name, QRect where) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(where);
    return widget;
}

// Offsets of the sensor fields in the parameter block.
constexpr size_t kPauseOffset = 64;
constexpr size_t kIntegrationOffset = 66;
constexpr size_t kAccumulationOffset = 68;
constexpr size_t kMaxSigThrOffset = 108;
constexpr size_t kMinSigThrOffset = 112;

}  // namespace

CZorDevDlg::CZorDevDlg(CZorDevice& device, std::vector<std::string> allNames, bool advanced,
                       QWidget* parent)
    : QDialog(parent),
      m_dev(device),
      m_pDev(std::dynamic_pointer_cast<CZorDevice>(device.weak_from_this().lock())),
      m_bAdvanced(advanced) {
    setObjectName(QStringLiteral("ZorDevDlg"));
    // The list holds this device's own name too; it may keep it.
    const std::string own = device.GetName();
    if (auto it = std::find(allNames.begin(), allNames.end(), own); it != allNames.end()) {
        allNames.erase(it);
    }
    device.SetOtherNames(std::move(allNames));
    device.GetZorSettings(m_work);
    setWindowTitle(ToQString(m_work.sName) + QStringLiteral(": ") +
                   Tr(texts::tpZorDevDlg_BasicSettings));
    BuildControls();
    LoadFields();
    m_idleTimer.setInterval(kIdleTimerMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &CZorDevDlg::OnIdleTimer);
    m_idleTimer.start();
    OnIdleTimer();
}

CZorDevDlg::~CZorDevDlg() = default;

void CZorDevDlg::BuildControls() {
    const int height = m_bAdvanced ? kAdvancedHeight : kNormalHeight;
    setFixedSize(kWidth, height);

    AddLabel(this, Tr(texts::tpZorDevDlg_Name), {8, 10, 70, 20});
    m_pName = Place(new QLineEdit(this), "Name", {80, 8, 150, 22});
    m_pColor = Place(new QPushButton(Tr(texts::tpZorDevDlg_Set_Color), this), "SetColor",
                     {240, 7, 120, 24});
    m_pSwatch = Place(new QLabel(this), "ColorSwatch", {368, 8, 22, 22});
    AddLabel(this, Tr(texts::tpZorDevDlg_Latitude), {8, 38, 70, 20});
    m_pLat = Place(new QLineEdit(this), "Latitude", {80, 36, 90, 22});
    AddLabel(this, Tr(texts::tpZorDevDlg_Longitude), {176, 38, 64, 20});
    m_pLon = Place(new QLineEdit(this), "Longitude", {240, 36, 90, 22});
    m_pLink = Place(new QPushButton(Tr(texts::tpZorDevDlg_Link_Settings), this), "LinkSettings",
                    {336, 35, 106, 24});
    m_pGetState = Place(new QCheckBox(Tr(texts::tpZorDevDlg_Receive_basic_data), this),
                        "ReceiveBasic", {8, 64, 310, 20});
    m_pGetData = Place(new QCheckBox(Tr(texts::tpZorDevDlg_Receive_detailed_data), this),
                       "ReceiveDetailed", {8, 88, 310, 20});
    m_pTestLink = Place(new QCheckBox(QStringLiteral("TestLink"), this), "TestLinkSwitch",
                        {336, 64, 106, 20});

    // Advanced settings: shown in advanced mode only.
    m_pAdvanced = Place(new QGroupBox(QStringLiteral("Advanced Settings"), this),
                        "AdvancedSettings", {4, 112, kWidth - 8, 246});
    QGroupBox* adv = m_pAdvanced;
    m_pRangeFinder = Place(new QCheckBox(QStringLiteral("  Act as range finder commander"), adv),
                           "RangeFinder", {8, 20, 300, 20});
    AddLabel(adv, Tr(texts::tpZorDevDlg_SamplePause), {8, 46, 90, 20});
    m_pIdle = Place(new QComboBox(adv), "IdleTime", {100, 44, 70, 22});
    for (int seconds : kIdleTimeChoices) {
        m_pIdle->addItem(QString::number(seconds), seconds);
    }
    AddLabel(adv, QStringLiteral("Idle Time (sec)"), {180, 46, 100, 20});
    m_pIdleField = Place(new QLabel(QStringLiteral("-"), adv), "IdleField", {282, 44, 70, 22});
    m_pIdleField->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    AddLabel(adv, QStringLiteral("UDP State Update (s)"), {8, 72, 130, 20});
    m_pUdp = Place(new QLineEdit(adv), "UdpPeriod", {140, 70, 70, 22});
    m_pDeviceType = Place(new QPushButton(adv), "DeviceType", {8, 98, 210, 24});
    m_pReadParams = Place(new QPushButton(Tr(texts::tpZorDevDlg_ReadParams), adv), "ReadParams",
                          {224, 98, 210, 24});
    m_pAnswer = Place(new QPlainTextEdit(adv), "Answer", {8, 126, 426, 52});
    m_pAnswer->setReadOnly(true);
    m_pSensor = Place(new QWidget(adv), "SensorFields", {8, 180, 426, 60});
    auto* grid = new QGridLayout(m_pSensor);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(4);
    const auto field = [&](const char* label, const char* name, int row, int column) {
        grid->addWidget(new QLabel(QLatin1String(label), m_pSensor), row, column * 2);
        auto* edit = new QLineEdit(m_pSensor);
        edit->setObjectName(QLatin1String(name));
        grid->addWidget(edit, row, column * 2 + 1);
        return edit;
    };
    m_pSerial = field("Serial", "Serial", 0, 0);
    m_pSerial->setMaxLength(16);
    m_pThreshLow = field("Thresh-Low", "ThreshLow", 0, 1);
    m_pThreshHi = field("Thresh-Hi", "ThreshHi", 0, 2);
    m_pAccumulation = field("Accumulation", "Accumulation", 1, 0);
    m_pPause = field("Pause", "SensorPause", 1, 1);
    m_pIntegr = field("Integr.Time", "IntegrTime", 1, 2);
    m_pAdvanced->setVisible(m_bAdvanced);

    // The buttons sit at the bottom: moved up in normal mode.
    const int y = height - 32;
    m_pApply = Place(new QPushButton(QStringLiteral("Apply"), this), "Apply",
                     {kWidth - 3 * (kButtonsWidth + 8), y, kButtonsWidth, 24});
    m_pCancel = Place(new QPushButton(QStringLiteral("Cancel"), this), "Cancel",
                      {kWidth - 2 * (kButtonsWidth + 8), y, kButtonsWidth, 24});
    m_pOk = Place(new QPushButton(QStringLiteral("OK"), this), "OK",
                  {kWidth - (kButtonsWidth + 8), y, kButtonsWidth, 24});
    m_pOk->setDefault(true);
    for (QPushButton* b : {m_pColor, m_pLink, m_pDeviceType, m_pReadParams, m_pApply, m_pCancel}) {
        b->setAutoDefault(false);
    }

    connect(m_pColor, &QPushButton::clicked, this, &CZorDevDlg::OnSetColor);
    connect(m_pLink, &QPushButton::clicked, this, &CZorDevDlg::OnLinkSettings);
    connect(m_pDeviceType, &QPushButton::clicked, this, &CZorDevDlg::OnDeviceType);
    connect(m_pReadParams, &QPushButton::clicked, this, &CZorDevDlg::OnReadParams);
    connect(m_pApply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pOk, &QPushButton::clicked, this, &CZorDevDlg::accept);
}

void CZorDevDlg::LoadFields() {
    m_pName->setText(ToQString(m_work.sName));
    m_pLat->setText(Number(m_work.dLatitude));
    m_pLon->setText(Number(m_work.dLongitude));
    m_pGetState->setChecked(m_work.bGetState);
    m_pGetData->setChecked(m_work.bGetData);
    m_pTestLink->setChecked(m_work.bTestLink);
    m_pRangeFinder->setChecked(m_work.bPingSenix);
    const int idle = m_pIdle->findData(m_work.nPause);
    if (idle < 0) {
        // A pause set elsewhere that the list does not offer is shown as it is.
        m_pIdle->addItem(QString::number(m_work.nPause), m_work.nPause);
    }
    m_pIdle->setCurrentIndex(m_pIdle->findData(m_work.nPause));
    m_pUdp->setText(ToQString(m_work.sUpdFreq));
    m_pSerial->setText(ToQString(GetDeviceIdText(m_work.params)));
    m_pSerial->setCursorPosition(0);
    m_pThreshLow->setText(Number(m_work.params.MinSigThr()));
    m_pThreshHi->setText(Number(m_work.params.MaxSigThr()));
    m_pAccumulation->setText(QString::number(m_work.params.GetU16(kAccumulationOffset)));
    m_pPause->setText(QString::number(m_work.params.GetU16(kPauseOffset)));
    m_pIntegr->setText(QString::number(m_work.params.GetU16(kIntegrationOffset)));
    if (m_nBusy == 0) {
        m_pDeviceType->setText(IsKnownDeviceType(m_work.contrType)
                                   ? QStringLiteral("Device Type: ") +
                                         ToQString(m_work.contrType.LongVersionText())
                                   : QStringLiteral("Device Type: (click to get)"));
    }
    DrawSwatch();
    ShowSensorFields();
}

void CZorDevDlg::ShowSensorFields() {
    m_pSensor->setVisible(IsKnownDeviceType(m_work.contrType));
}

void CZorDevDlg::ReadFields() {
    m_work.sName = ToStdString(m_pName->text().trimmed());
    ReadDouble(m_pLat, m_work.dLatitude);
    ReadDouble(m_pLon, m_work.dLongitude);
    m_work.bGetState = m_pGetState->isChecked();
    m_work.bGetData = m_pGetData->isChecked();
    m_work.bTestLink = m_pTestLink->isChecked();
    m_work.bPingSenix = m_pRangeFinder->isChecked();
    if (m_pIdle->currentIndex() >= 0) {
        m_work.nPause = m_pIdle->currentData().toInt();
    }
    m_work.sUpdFreq = ToStdString(m_pUdp->text().trimmed());
    if (!IsKnownDeviceType(m_work.contrType)) {
        return;  // the sensor's parameters of an unknown type are not written
    }
    // The field shows the number cut to 16 characters: only an edit is written back.
    const std::string serial = ToStdString(m_pSerial->text());
    if (serial != GetDeviceIdText(m_work.params)) {
        m_work.params.SetDeviceNum(serial);
    }
    double value = 0;
    if (ReadDouble(m_pThreshLow, value)) {
        m_work.params.SetF32(kMinSigThrOffset, static_cast<float>(value));
    }
    if (ReadDouble(m_pThreshHi, value)) {
        m_work.params.SetF32(kMaxSigThrOffset, static_cast<float>(value));
    }
    ReadU16(m_pAccumulation, m_work.params, kAccumulationOffset);
    ReadU16(m_pPause, m_work.params, kPauseOffset);
    ReadU16(m_pIntegr, m_work.params, kIntegrationOffset);
}

void CZorDevDlg::OnIdleTimer() {
    const bool runningAndIdle = m_dev.IsScanning() && m_dev.AreThreadsRunning() && m_nBusy == 0;
    const std::int64_t since =
        static_cast<std::int64_t>(std::time(nullptr)) - m_dev.GetLastPollTime();
    m_pIdleField->setText(ToQString(IdleTimeText(runningAndIdle, since)));
}

void CZorDevDlg::OnDeviceType() {
    if (!m_pDev) {
        return;
    }
    struct Answer {
        std::string text;
        ZorContrType type;
        bool ok = false;
    };
    auto answer = std::make_shared<Answer>();
    ++m_nBusy;
    m_pDeviceType->setText(Tr(texts::tpZorDevDlg_DeviceTypeWait));
    m_pDeviceType->setEnabled(false);
    m_pReadParams->setEnabled(false);
    RunDeviceWork(
        this,
        [dev = m_pDev, answer] { answer->ok = dev->GetContrType(&answer->text, answer->type); },
        [this, answer] {
            --m_nBusy;
            m_pDeviceType->setEnabled(true);
            m_pReadParams->setEnabled(true);
            m_pAnswer->setPlainText(ToQString(answer->text));
            if (answer->ok) {
                m_work.contrType = answer->type;
            }
            m_pDeviceType->setText(answer->ok && IsKnownDeviceType(answer->type)
                                       ? QStringLiteral("Device Type: ") +
                                             ToQString(answer->type.LongVersionText())
                                       : Tr(texts::tpZorDevDlg_DeviceTypeUnknown));
            ShowSensorFields();
        });
}

void CZorDevDlg::OnReadParams() {
    if (!m_pDev) {
        return;
    }
    struct Answer {
        std::string text;
        ZorContrType type;
        ZorParams params;
        bool ok = false;
    };
    auto answer = std::make_shared<Answer>();
    answer->type = m_work.contrType;
    answer->params = m_work.params;
    ++m_nBusy;
    const QString caption = Tr(texts::tpZorDevDlg_ReadParams);
    m_pReadParams->setText(caption + QStringLiteral(" (...)"));
    m_pDeviceType->setEnabled(false);
    m_pReadParams->setEnabled(false);
    RunDeviceWork(
        this,
        [dev = m_pDev, answer] {
            // Parameters of a type not yet asked for: ask first, the block's layout depends on it.
            if (!IsKnownDeviceType(answer->type)) {
                ZorContrType type;
                if (dev->GetContrType(&answer->text, type)) {
                    answer->type = type;
                }
            }
            answer->ok =
                IsKnownDeviceType(answer->type) && dev->GetDevParams(&answer->text, answer->params);
        },
        [this, answer, caption] {
            --m_nBusy;
            m_pDeviceType->setEnabled(true);
            m_pReadParams->setEnabled(true);
            m_pAnswer->setPlainText(ToQString(answer->text));
            m_pReadParams->setText(caption + QStringLiteral(" (") +
                                   Tr(answer->ok ? texts::tp_Ok : texts::tp_Error) +
                                   QStringLiteral(")"));
            if (answer->ok) {
                ReadFields();  // what the operator typed meanwhile stays
                m_work.contrType = answer->type;
                m_work.params = answer->params;
                LoadFields();
            }
        });
}

void CZorDevDlg::DrawSwatch() {
    QPixmap swatch(m_pSwatch->size());
    swatch.fill(ToQColor(m_work.crColor));
    QPainter painter(&swatch);
    painter.setPen(Qt::black);
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    m_pSwatch->setPixmap(swatch);
}

void CZorDevDlg::OnSetColor() {
    QColorDialog chooser(ToQColor(m_work.crColor), this);
    chooser.setObjectName(QStringLiteral("ColorChooser"));
    if (chooser.exec() == QDialog::Accepted && chooser.selectedColor().isValid()) {
        m_work.crColor = FromQColor(chooser.selectedColor());
        DrawSwatch();
    }
}

void CZorDevDlg::OnLinkSettings() {
    ReadFields();
    if (m_dev.EditSettings()) {
        const std::uint32_t color = m_work.crColor;
        const ZorDeviceCfg edits = m_work;
        m_dev.GetZorSettings(m_work);
        m_work.crColor = color;
        // What was typed here and not yet applied stays in the fields.
        m_work.sName = edits.sName;
        m_work.dLatitude = edits.dLatitude;
        m_work.dLongitude = edits.dLongitude;
    }
    // On Cancel the device already has its configuration from before the link dialog.
    LoadFields();
}

bool CZorDevDlg::Apply() {
    ReadFields();
    ZorDeviceCfg current;
    m_dev.GetZorSettings(current);
    if (m_work.sName != current.sName && !m_dev.SetUniqueName(m_work.sName)) {
        m_work.sName = current.sName;
        LoadFields();
        m_pName->setFocus();
        m_pName->selectAll();
        return false;
    }
    m_dev.SetZorSettings(m_work, true);
    m_dev.SetName(m_work.sName);
    m_dev.SetUpdFreq(m_work.sUpdFreq);
    if (m_work.nPause != current.nPause) {
        m_dev.SetLastPollTime(static_cast<std::int64_t>(std::time(nullptr)) - m_work.nPause);
    }
    return true;
}

void CZorDevDlg::accept() {
    m_idleTimer.stop();
    if (!Apply()) {
        m_idleTimer.start();
        return;
    }
    if (!m_dev.IsScanning() && m_pDev) {
        // One short run, so that the device reads its sensor once with the new settings.
        m_pDev->SetScanning(true);
        m_pDev->ApplyCfg();
        QTimer::singleShot(kBlinkOffMs, QCoreApplication::instance(), [dev = m_pDev] {
            dev->SetScanning(false);
            dev->ApplyCfg();
        });
    }
    QDialog::accept();
}

}  // namespace zm
