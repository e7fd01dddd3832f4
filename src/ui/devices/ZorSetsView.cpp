#include "ui/devices/ZorSetsView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "base/MlsPrgMsg.h"
#include "base/texts/BaseTexts.h"
#include "base/texts/DialogTexts.h"
#include "ui/bridge/QtText.h"
#include "ui/common/DeviceWork.h"

namespace zm {

CZorSetsView::CZorSetsView(CZorDevice& device, ZorDeviceCfg& work, std::function<void()> apply,
                           QWidget* parent)
    : QWidget(parent), m_dev(device), m_work(work), m_apply(std::move(apply)) {
    setObjectName(QStringLiteral("ZorSetsView"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    m_pKeepLink = new QCheckBox(Tr(texts::tpZorSetsView_KeepLink), this);
    m_pKeepLink->setObjectName(QStringLiteral("KeepLink"));
    auto* nameLabel = new QLabel(Tr(texts::tpZorSetsView_DevName), this);
    // The name is edited in the device dialog, where its uniqueness is checked.
    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QStringLiteral("DevName"));
    m_pName->setReadOnly(true);
    auto* addressLabel = new QLabel(Tr(texts::tpZorSetsView_DevAddress), this);
    m_pAddress = new QSpinBox(this);
    m_pAddress->setObjectName(QStringLiteral("DevAddress"));
    m_pAddress->setRange(1, 255);
    m_pTestLink = new QPushButton(Tr(texts::tpZorSetsView_TestLink), this);
    m_pTestLink->setObjectName(QStringLiteral("TestLink"));
    m_pTestLink->setAutoDefault(false);
    grid->addWidget(m_pKeepLink, 0, 0, 1, 2);
    grid->addWidget(nameLabel, 0, 2);
    grid->addWidget(m_pName, 0, 3);
    grid->addWidget(addressLabel, 1, 0);
    grid->addWidget(m_pAddress, 1, 1);
    grid->addWidget(m_pTestLink, 1, 3);
    grid->setColumnStretch(3, 1);
    // A control whose translated label is empty is not offered.
    m_pKeepLink->setVisible(!m_pKeepLink->text().isEmpty());
    for (auto [label, control] : {std::pair<QLabel*, QWidget*>{nameLabel, m_pName},
                                  std::pair<QLabel*, QWidget*>{addressLabel, m_pAddress}}) {
        label->setVisible(!label->text().isEmpty());
        control->setVisible(!label->text().isEmpty());
    }
    m_pTestLink->setVisible(!m_pTestLink->text().isEmpty());

    connect(m_pKeepLink, &QCheckBox::clicked, this, [this] { m_apply(); });
    connect(m_pAddress, &QSpinBox::editingFinished, this, [this] {
        if (m_pAddress->value() != m_work.params.Address()) {
            m_apply();
        }
    });
    connect(m_pTestLink, &QPushButton::clicked, this, &CZorSetsView::OnTestLink);
    Refresh();
}

CZorSetsView::~CZorSetsView() {
    // Leaving the address field while the window goes applies nothing.
    disconnect(m_pAddress, nullptr, this, nullptr);
    disconnect(m_pKeepLink, nullptr, this, nullptr);
}

void CZorSetsView::Refresh() {
    m_pKeepLink->setChecked(m_work.bKeepLink);
    m_pName->setText(ToQString(m_work.sName));
    const QSignalBlocker quiet(m_pAddress);
    m_pAddress->setValue(m_work.params.Address() == 0 ? 1 : m_work.params.Address());
}

void CZorSetsView::Exchange() {
    m_work.bKeepLink = m_pKeepLink->isChecked();
    m_work.params.SetAddress(static_cast<std::uint8_t>(m_pAddress->value()));
}

void CZorSetsView::OnTestLink() {
    auto device = std::dynamic_pointer_cast<CZorDevice>(m_dev.weak_from_this().lock());
    if (!device || m_bTesting) {
        return;
    }
    m_apply();
    m_bTesting = true;
    m_pTestLink->setEnabled(false);
    const QString caption = m_pTestLink->text();
    m_pTestLink->setText(caption + QStringLiteral(" ..."));
    auto ok = std::make_shared<bool>(false);
    auto line = std::make_shared<std::string>();
    RunDeviceWork(
        this,
        [device, ok, line] {
            std::string transcript;
            *ok = device->CheckDevLink(&transcript);
            // The result goes to the device's status text even when the window is gone.
            std::string status;
            const std::int32_t code = device->GetStatus(&status);
            *line = "\r\n" + Translate(texts::tpZorSetsView_LinkState) + ": " +
                    (*ok ? std::string("Ok") : Translate(texts::tp_Error)) + ".";
            device->SetStatus(code, status + *line);
        },
        [this, caption, line] {
            m_bTesting = false;
            m_pTestLink->setEnabled(true);
            m_pTestLink->setText(caption);
            Refresh();
            emit LinkTested(ToQString(*line));
        });
}

}  // namespace zm
