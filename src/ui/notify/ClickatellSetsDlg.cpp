#include "ui/notify/ClickatellSetsDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/notify/NotifyForm.h"

namespace zm {
namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CClickatellSetsDlg::CClickatellSetsDlg(const ManagerSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setObjectName("clickatellSetsDlg");
    setWindowTitle(QStringLiteral("SMS Gateway(Clickatell) settings"));
    setMinimumWidth(400);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    gateway_ =
        AddTextRow(*form, "SMS Gateway:", "smsGatewayEdit", Q(settings.clickatell_sms_gateway));
    gateway_->setReadOnly(true);
    mailAddress_ = AddTextRow(*form, "E-mail address:", "smsMailAddressEdit",
                              Q(settings.clickatell_email_address));
    mailAddress_->setReadOnly(true);
    userName_ =
        AddTextRow(*form, "User name:", "smsUserNameEdit", Q(settings.clickatell_user_name));
    password_ = AddTextRow(*form, "Password:", "smsPasswordEdit", Q(settings.clickatell_pass));
    password_->setEchoMode(QLineEdit::Password);
    clientId_ =
        AddTextRow(*form, "Client ID:", "smsClientIdEdit", Q(settings.clickatell_client_id));
    apiId_ = AddTextRow(*form, "API ID:", "smsApiIdEdit", Q(settings.clickatell_api_id));
    layout->addWidget(AddOkCancel(*this));
}

void CClickatellSetsDlg::ApplyTo(ManagerSettings& settings) const {
    settings.clickatell_user_name = userName_->text().trimmed().toStdString();
    settings.clickatell_pass = password_->text().toStdString();
    settings.clickatell_client_id = clientId_->text().trimmed().toStdString();
    settings.clickatell_api_id = apiId_->text().trimmed().toStdString();
}

bool CClickatellSetsDlg::Run(ManagerSettings& settings, QWidget* parent) {
    CClickatellSetsDlg dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    dialog.ApplyTo(settings);
    return true;
}

}  // namespace zm
