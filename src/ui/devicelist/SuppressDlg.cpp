#include "ui/devicelist/SuppressDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/MlsPrgMsg.h"
#include "base/texts/BaseTexts.h"
#include "ui/alarms/LifecycleTexts.h"
#include "ui/bridge/QtText.h"

namespace zm {

CSuppressDlg::CSuppressDlg(Mode mode, const std::vector<std::string>& devices, QWidget* parent)
    : QDialog(parent), mode_(mode) {
    using namespace texts;
    const bool shelve = mode_ == Mode::Shelve;
    setObjectName(shelve ? "shelveDlg" : "outOfServiceDlg");
    setWindowTitle(Tr(shelve ? tpSuppressDlg_ShelveTitle : tpSuppressDlg_OutOfServiceTitle));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    QStringList names;
    for (const std::string& name : devices) {
        names.append(ToQString(name));
    }
    auto* deviceList = new QLabel(names.join(", "), this);
    deviceList->setObjectName("suppressDevices");
    deviceList->setTextFormat(Qt::PlainText);
    deviceList->setWordWrap(true);
    form->addRow(Tr(tpSuppressDlg_Devices) + ":", deviceList);

    if (shelve) {
        duration_ = new QComboBox(this);
        duration_->setObjectName("shelveDuration");
        for (const CMlsEntry* entry :
             {&tpSuppressDlg_15Minutes, &tpSuppressDlg_1Hour, &tpSuppressDlg_4Hours,
              &tpSuppressDlg_8Hours, &tpSuppressDlg_Custom}) {
            duration_->addItem(Tr(*entry));
        }
        duration_->setCurrentIndex(1);  // an hour: long enough for a cleaning
        form->addRow(Tr(tpSuppressDlg_Duration) + ":", duration_);
        minutes_ = new QSpinBox(this);
        minutes_->setObjectName("shelveMinutes");
        minutes_->setRange(alarms::kMinShelveMinutes, alarms::kMaxShelveMinutes);
        minutes_->setValue(60);
        minutes_->setSuffix(" " + Tr(tpSuppressDlg_Minutes));
        minutes_->setEnabled(false);
        form->addRow(QString(), minutes_);
        connect(duration_, &QComboBox::currentIndexChanged, this, [this](int index) {
            minutes_->setEnabled(index == kShelveCustomChoice);
            Check();
        });
        connect(minutes_, &QSpinBox::valueChanged, this, [this] { Check(); });
    }
    reason_ = new QLineEdit(this);
    reason_->setObjectName("suppressReason");
    // Longer than allowed, so that too long a text is said rather than cut off unseen.
    reason_->setMaxLength(int(alarms::kMaxReasonLength) * 4);
    form->addRow(Tr(tpSuppressDlg_Reason) + ":", reason_);
    connect(reason_, &QLineEdit::textChanged, this, [this] { Check(); });

    problem_ = new QLabel(this);
    problem_->setObjectName("suppressProblem");
    problem_->setTextFormat(Qt::PlainText);
    problem_->setStyleSheet("color: rgb(200, 0, 0)");
    layout->addWidget(problem_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->setObjectName("suppressButtons");
    buttons_->button(QDialogButtonBox::Ok)->setText(Tr(tp_Ok, "common_translations"));
    buttons_->button(QDialogButtonBox::Cancel)->setText(Tr(tp_Cancel, "common_translations"));
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (Problem().isEmpty()) {
            accept();
        }
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    reason_->setFocus();
    Check();
    resize(360, sizeHint().height());
}

SuppressInput CSuppressDlg::Input() const {
    SuppressInput input;
    input.choice = duration_ ? duration_->currentIndex() : 0;
    input.customMinutes = minutes_ ? minutes_->value() : 0;
    input.reason = reason_->text().toStdString();
    return input;
}

int CSuppressDlg::Minutes() const {
    const SuppressInput input = Input();
    return ShelveMinutes(input.choice, input.customMinutes).value_or(0);
}

std::string CSuppressDlg::Reason() const {
    return TrimmedReason(reason_->text().toStdString());
}

QString CSuppressDlg::Problem() const {
    const SuppressInput input = Input();
    return ToQString(mode_ == Mode::Shelve ? ShelveInputError(input) : ReasonError(input.reason));
}

void CSuppressDlg::Check() {
    const QString problem = Problem();
    problem_->setText(problem);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

}  // namespace zm
