#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/ManagerSettings.h"
#include "ui/common/MessageBox.h"
#include "ui/notify/ClickatellSetsDlg.h"
#include "ui/notify/RecipientsDlg.h"
#include "ui/notify/SmtpSetsDlg.h"
#include "ui/notify/UdpSetsDlg.h"
#include "ui/support/ModalDriver.h"
#include "ui/support/NamedControls.h"
#include "ui/support/Screenshot.h"

namespace zm {
namespace {

ManagerSettings Filled() {
    ManagerSettings settings;
    settings.smtp_server = "mail.example.org";
    settings.smtp_port = 587;
    settings.smtp_sec = 1;
    settings.smtp_login = "ops";
    settings.smtp_pass = "pw";
    settings.clickatell_pass = "sms-pw";
    settings.clickatell_client_id = "42";
    settings.clickatell_api_id = "api";
    settings.sMailRecipients = "ops@example.org,37255512345";
    settings.udp_enabled = 1;
    settings.udp_broadcast_mac = 0;
    settings.udp_ip_address = "127.0.0.1";
    settings.udp_port = 9000;
    return settings;
}

QString Text(QWidget& dialog, const char* name) {
    auto* edit = dialog.findChild<QLineEdit*>(name);
    return edit ? edit->text() : QStringLiteral("<missing>");
}

// Types into every control that takes input, so that a Cancel has something to drop.
void ChangeEverything(QDialog& dialog) {
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
        QTest::keyClicks(edit, "7");
    }
    for (QCheckBox* check : dialog.findChildren<QCheckBox*>()) {
        check->toggle();
    }
    for (QComboBox* combo : dialog.findChildren<QComboBox*>()) {
        combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
    }
    for (QPlainTextEdit* edit : dialog.findChildren<QPlainTextEdit*>()) {
        QTest::keyClicks(edit, "new@example.org");
    }
}

void Click(QDialog& dialog, const char* button) {
    QPushButton* found = dialog.findChild<QPushButton*>(button);
    ASSERT_NE(found, nullptr) << button;
    QTest::mouseClick(found, Qt::LeftButton);
}

class NotifyDialogs : public testing::Test {
  protected:
    void SetUp() override { MessageBox::ClearNextAnswers(); }
    void TearDown() override { MessageBox::ClearNextAnswers(); }
};

TEST_F(NotifyDialogs, CancelLeavesEverySettingUnchanged) {
    struct Case {
        const char* name;
        std::function<bool(ManagerSettings&)> run;
    } cases[] = {
        {"smtp", [](ManagerSettings& s) { return CSmtpSetsDlg::Run(s, nullptr); }},
        {"sms", [](ManagerSettings& s) { return CClickatellSetsDlg::Run(s, nullptr); }},
        {"udp", [](ManagerSettings& s) { return CUdpSetsDlg::Run(s, nullptr); }},
        {"recipients", [](ManagerSettings& s) { return CRecipientsDlg::Run(s, nullptr); }},
    };
    for (const Case& c : cases) {
        const ManagerSettings before = Filled();
        ManagerSettings settings = before;
        bool changed = false;
        test::OnNextModal<QDialog>([&](QDialog& dialog) {
            ChangeEverything(dialog);
            changed = true;
            Click(dialog, "cancelButton");
        });
        MessageBox::SetNextAnswer(MsgResult::kOk);  // the recipients' list message
        EXPECT_FALSE(c.run(settings)) << c.name;
        EXPECT_TRUE(changed) << c.name;
        EXPECT_TRUE(settings.SameExceptPlacement(before)) << c.name;
        MessageBox::ClearNextAnswers();
    }
}

TEST_F(NotifyDialogs, RecipientsAreNormalisedOnOkAndListedAfterEitherButton) {
    ManagerSettings settings;
    settings.sMailRecipients = "a@example.org, b@example.org";
    test::OnNextModal<CRecipientsDlg>([](CRecipientsDlg& dialog) {
        auto* edit = dialog.findChild<QPlainTextEdit*>("recipientsEdit");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->toPlainText(), "a@example.org\nb@example.org");
        EXPECT_EQ(dialog.windowTitle(), "Recipients");
        EXPECT_EQ(dialog.findChild<QLabel*>("recipientsLabel")->text(),
                  "&Recipients (please enter valid e-mails):");
        edit->setPlainText("ops@example.org ,,37255512345 ");
        Click(dialog, "okButton");
    });
    MessageBox::SetNextAnswer(MsgResult::kOk);
    const int boxes = MessageBox::Count();
    EXPECT_TRUE(CRecipientsDlg::Run(settings, nullptr));
    EXPECT_EQ(settings.sMailRecipients, "ops@example.org,37255512345");
    EXPECT_EQ(MessageBox::Count(), boxes + 1);
    EXPECT_EQ(MessageBox::Last().text,
              "Current list of recipients:\r\n1) ops@example.org\r\n2) 37255512345\r\n"
              "<end of list>");

    test::OnNextModal<CRecipientsDlg>(
        [](CRecipientsDlg& dialog) { Click(dialog, "cancelButton"); });
    MessageBox::SetNextAnswer(MsgResult::kOk);
    EXPECT_FALSE(CRecipientsDlg::Run(settings, nullptr));
    EXPECT_EQ(MessageBox::Count(), boxes + 2);
    EXPECT_EQ(MessageBox::Last().text,
              "Current list of recipients:\r\n1) ops@example.org\r\n2) 37255512345\r\n"
              "<end of list>");
}

TEST_F(NotifyDialogs, SmsGatewayFieldsCannotBeEditedAndSurviveOk) {
    ManagerSettings settings = Filled();
    CClickatellSetsDlg dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), "SMS Gateway(Clickatell) settings");
    for (const char* name : {"smsGatewayEdit", "smsMailAddressEdit"}) {
        auto* edit = dialog.findChild<QLineEdit*>(name);
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_TRUE(edit->isReadOnly()) << name;
        QTest::keyClicks(edit, "typed");
    }
    for (const char* name :
         {"smsUserNameEdit", "smsPasswordEdit", "smsClientIdEdit", "smsApiIdEdit"}) {
        auto* edit = dialog.findChild<QLineEdit*>(name);
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_FALSE(edit->isReadOnly()) << name;
    }
    EXPECT_EQ(dialog.findChild<QLineEdit*>("smsPasswordEdit")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Text(dialog, "smsGatewayEdit"), "https://www.clickatell.com");
    EXPECT_EQ(Text(dialog, "smsMailAddressEdit"), "sms@messaging.clickatell.com");
    QTest::keyClicks(dialog.findChild<QLineEdit*>("smsApiIdEdit"), "-2");
    dialog.ApplyTo(settings);
    EXPECT_EQ(settings.clickatell_sms_gateway, "https://www.clickatell.com");
    EXPECT_EQ(settings.clickatell_email_address, "sms@messaging.clickatell.com");
    EXPECT_EQ(settings.clickatell_api_id, "api-2");
    EXPECT_FALSE(test::SaveScreenshot(dialog, "sms-dialog").isEmpty());
}

TEST_F(NotifyDialogs, SmtpDialogShowsTheAccountAndTakesItBackOnOk) {
    ManagerSettings settings = Filled();
    test::OnNextModal<CSmtpSetsDlg>([](CSmtpSetsDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "SMTP settings");
        EXPECT_EQ(Text(dialog, "smtpServerEdit"), "mail.example.org");
        EXPECT_EQ(Text(dialog, "smtpPortEdit"), "587");
        auto* security = dialog.findChild<QComboBox*>("smtpSecurityCombo");
        ASSERT_NE(security, nullptr);
        EXPECT_EQ(security->count(), 3);
        EXPECT_EQ(security->itemText(0), "NO");
        EXPECT_EQ(security->itemText(1), "TLS");
        EXPECT_EQ(security->itemText(2), "SSL");
        EXPECT_EQ(security->currentIndex(), 1);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("smtpPasswordEdit")->echoMode(),
                  QLineEdit::Password);
        EXPECT_EQ(dialog.findChild<QPushButton*>("testConnectionButton")->text(),
                  "Test Connection");
        EXPECT_EQ(dialog.findChild<QLabel*>("smtpSenderMailEditLabel")->text(), "Sender Mail:");
        // The port takes digits only.
        auto* port = dialog.findChild<QLineEdit*>("smtpPortEdit");
        port->clear();
        QTest::keyClicks(port, "2x5");
        EXPECT_EQ(port->text(), "25");
        security->setCurrentIndex(2);
        auto* server = dialog.findChild<QLineEdit*>("smtpServerEdit");
        server->setText("relay.example.net");
        EXPECT_FALSE(test::SaveScreenshot(dialog, "smtp-dialog").isEmpty());
        Click(dialog, "okButton");
    });
    EXPECT_TRUE(CSmtpSetsDlg::Run(settings, nullptr));
    EXPECT_EQ(settings.smtp_server, "relay.example.net");
    EXPECT_EQ(settings.smtp_port, 25);
    EXPECT_EQ(settings.smtp_sec, 2);
    EXPECT_EQ(settings.smtp_login, "ops");
    EXPECT_EQ(settings.smtp_pass, "pw");
}

TEST_F(NotifyDialogs, CtrlShiftTestFillsPlaceholderDefaultsAndKeepsSecurity) {
    ManagerSettings settings = Filled();
    CSmtpSetsDlg dialog(settings);
    dialog.show();
    QPushButton* test = dialog.findChild<QPushButton*>("testConnectionButton");
    QTest::mouseClick(test, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(dialog.IsTesting());
    EXPECT_EQ(Text(dialog, "smtpServerEdit"), "smtp-relay.example.org");
    EXPECT_EQ(Text(dialog, "smtpLoginEdit"), "ZorManager");
    EXPECT_EQ(Text(dialog, "smtpPasswordEdit"), "");
    EXPECT_EQ(Text(dialog, "smtpPortEdit"), "465");
    EXPECT_EQ(Text(dialog, "smtpSenderNameEdit"), "ZorManager");
    EXPECT_EQ(Text(dialog, "smtpSenderMailEdit"), "no-reply@example.org");
    EXPECT_EQ(Text(dialog, "smtpReplyToEdit"), "no-reply@example.org");
    EXPECT_EQ(dialog.findChild<QComboBox*>("smtpSecurityCombo")->currentIndex(), 1);
    // Ctrl alone (or Shift alone) tests instead; not here: no connection is wanted.
}

TEST_F(NotifyDialogs, UdpDialogKeepsTheHiddenSwitchAndRefusesAHalfAddress) {
    ManagerSettings defaults;
    {
        CUdpSetsDlg dialog(defaults);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "UDP Datagrams Settings");
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("udpEnabledCheck")->isChecked());
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("udpBroadcastMacCheck")->isChecked());
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("udpBroadcastMacCheck")->isVisible());
        EXPECT_EQ(Text(dialog, "udpAddressEdit"), "255.255.255.255");
        EXPECT_EQ(Text(dialog, "udpPortEdit"), "8181");
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("udpSendStateCheck")->isChecked());
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("udpSendDataCheck")->isChecked());
        EXPECT_EQ(dialog.findChild<QCheckBox*>("udpEnabledCheck")->text(),
                  "Enable the sending of UDP datagrams");
        EXPECT_FALSE(test::SaveScreenshot(dialog, "udp-dialog").isEmpty());
    }
    ManagerSettings settings = Filled();
    CUdpSetsDlg dialog(settings);
    dialog.show();
    auto* address = dialog.findChild<QLineEdit*>("udpAddressEdit");
    address->setText("10.0.");
    Click(dialog, "okButton");
    EXPECT_TRUE(dialog.isVisible());  // not taken
    address->setText("10.0.0.255");
    dialog.findChild<QCheckBox*>("udpSendDataCheck")->setChecked(false);
    Click(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    dialog.ApplyTo(settings);
    EXPECT_EQ(settings.udp_ip_address, "10.0.0.255");
    EXPECT_EQ(settings.udp_send_data, 0);
    EXPECT_EQ(settings.udp_broadcast_mac, 0);  // hidden, and kept as it was
    EXPECT_EQ(settings.udp_port, 9000);
}

TEST_F(NotifyDialogs, RecipientsDialogScreenshot) {
    ManagerSettings settings = Filled();
    CRecipientsDlg dialog(settings);
    dialog.show();
    EXPECT_FALSE(test::SaveScreenshot(dialog, "recipients-dialog").isEmpty());
}

TEST_F(NotifyDialogs, EveryControlHasANameAndEveryDialogATitle) {
    const ManagerSettings settings = Filled();
    CSmtpSetsDlg smtp(settings);
    CClickatellSetsDlg sms(settings);
    CRecipientsDlg recipients(settings);
    CUdpSetsDlg udp(settings);
    for (QDialog* dialog : std::initializer_list<QDialog*>{&smtp, &sms, &recipients, &udp}) {
        EXPECT_FALSE(dialog->objectName().isEmpty());
        EXPECT_FALSE(dialog->windowTitle().isEmpty()) << dialog->objectName().toStdString();
        EXPECT_EQ(test::UnnamedControls(*dialog), QStringList())
            << dialog->objectName().toStdString();
    }
}

}  // namespace
}  // namespace zm
