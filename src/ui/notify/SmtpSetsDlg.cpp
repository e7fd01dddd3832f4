#include "ui/notify/SmtpSetsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/MessageBox.h"
#include "ui/notify/NotifyForm.h"

namespace zm {
namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CSmtpSetsDlg::CSmtpSetsDlg(const ManagerSettings& settings, QWidget* parent)
    : QDialog(parent), values_(settings) {
    setObjectName("smtpSetsDlg");
    setWindowTitle(QStringLiteral("SMTP settings"));
    setMinimumWidth(400);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    server_ = AddTextRow(*form, "Server:", "smtpServerEdit", Q(settings.smtp_server));
    port_ = AddPortRow(*form, "Port:", "smtpPortEdit", settings.smtp_port);
    security_ = new QComboBox(this);
    security_->setObjectName("smtpSecurityCombo");
    security_->addItems({"NO", "TLS", "SSL"});
    // A value no list entry stands for shows the default, SSL.
    security_->setCurrentIndex(settings.smtp_sec >= 0 && settings.smtp_sec <= 2 ? settings.smtp_sec
                                                                                : 2);
    auto* securityLabel = new QLabel("Security:", this);
    securityLabel->setObjectName("smtpSecurityComboLabel");
    securityLabel->setBuddy(security_);
    form->addRow(securityLabel, security_);
    login_ = AddTextRow(*form, "Login:", "smtpLoginEdit", Q(settings.smtp_login));
    password_ = AddTextRow(*form, "Password:", "smtpPasswordEdit", Q(settings.smtp_pass));
    password_->setEchoMode(QLineEdit::Password);
    senderName_ =
        AddTextRow(*form, "Sender Name:", "smtpSenderNameEdit", Q(settings.smtp_sender_name));
    senderMail_ =
        AddTextRow(*form, "Sender Mail:", "smtpSenderMailEdit", Q(settings.smtp_sender_mail));
    replyTo_ = AddTextRow(*form, "Reply To:", "smtpReplyToEdit", Q(settings.smtp_reply_to));

    test_ = new QPushButton(kTestText, this);
    test_->setObjectName("testConnectionButton");
    test_->installEventFilter(this);
    connect(test_, &QPushButton::clicked, this,
            [this] { TestConnection(clickModifiers_ | QGuiApplication::keyboardModifiers()); });
    layout->addWidget(test_);
    buttons_ = AddOkCancel(*this);
    layout->addWidget(buttons_);
}

bool CSmtpSetsDlg::eventFilter(QObject* watched, QEvent* event) {
    // The keys held at the click itself decide between testing and defaults.
    if (watched == test_) {
        if (event->type() == QEvent::MouseButtonRelease) {
            clickModifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
        } else if (event->type() == QEvent::KeyRelease) {
            clickModifiers_ = static_cast<QKeyEvent*>(event)->modifiers();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSmtpSetsDlg::FillDefaults() {
    server_->setText(kDefaultServer);
    login_->setText(kDefaultLogin);
    password_->setText(kDefaultPassword);
    port_->setText(kDefaultPort);
    senderName_->setText(kDefaultSenderName);
    senderMail_->setText(kDefaultSenderMail);
    replyTo_->setText(kDefaultSenderMail);
}

SmtpTestAccount CSmtpSetsDlg::AccountShown() const {
    SmtpTestAccount account;
    account.server = server_->text().trimmed().toStdString();
    account.port = static_cast<std::uint16_t>(port_->text().toUInt());
    account.security = security_->currentIndex();
    account.login = login_->text().toStdString();
    account.password = password_->text().toStdString();
    account.tlsVerify = values_.smtp_tls_verify != 0;
    return account;
}

void CSmtpSetsDlg::TestConnection(Qt::KeyboardModifiers modifiers) {
    clickModifiers_ = {};
    if ((modifiers & Qt::ControlModifier) && (modifiers & Qt::ShiftModifier)) {
        FillDefaults();
        return;
    }
    if (testing_) {
        return;
    }
    testing_ = true;
    test_->setText(kWaitText);
    test_->setEnabled(false);
    SmtpConnectionTest::Start(AccountShown(), this,
                              [this](const SmtpTestResult& result) { OnTestDone(result); });
}

void CSmtpSetsDlg::OnTestDone(const SmtpTestResult& result) {
    testing_ = false;
    test_->setText(kTestText);
    test_->setEnabled(true);
    if (result.ok) {
        MessageBox::Show(this, "Connection succeeded", {MsgButtons::kOk, MsgIcon::kInformation});
    } else {
        MessageBox::Show(this, "Connection failed:\r\n --> " + result.errorText + ".",
                         {MsgButtons::kOk, MsgIcon::kError});
    }
}

void CSmtpSetsDlg::ApplyTo(ManagerSettings& settings) const {
    settings.smtp_server = server_->text().trimmed().toStdString();
    settings.smtp_port = port_->text().toInt();
    settings.smtp_sec = security_->currentIndex();
    settings.smtp_login = login_->text().toStdString();
    settings.smtp_pass = password_->text().toStdString();
    settings.smtp_sender_name = senderName_->text().toStdString();
    settings.smtp_sender_mail = senderMail_->text().trimmed().toStdString();
    settings.smtp_reply_to = replyTo_->text().trimmed().toStdString();
}

bool CSmtpSetsDlg::Run(ManagerSettings& settings, QWidget* parent) {
    CSmtpSetsDlg dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    dialog.ApplyTo(settings);
    return true;
}

}  // namespace zm
