#pragma once

#include <QDialog>

#include "app/ManagerSettings.h"
#include "ui/notify/SmtpConnectionTest.h"

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

namespace zm {

// The mail server account: server, port, security, login, password, sender and reply
// address. "Test Connection" opens a connection with the values shown, on a worker, while
// the dialog stays usable (Cancel included); with Ctrl and Shift held it fills in the
// placeholder defaults instead.
class CSmtpSetsDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kWaitText = "... wait ...";
    static constexpr const char* kTestText = "Test Connection";
    // The Ctrl+Shift defaults: placeholders of a relay, no password.
    static constexpr const char* kDefaultServer = "smtp-relay.example.org";
    static constexpr const char* kDefaultLogin = "ZorManager";
    static constexpr const char* kDefaultPassword = "";
    static constexpr const char* kDefaultPort = "465";
    static constexpr const char* kDefaultSenderName = "ZorManager";
    static constexpr const char* kDefaultSenderMail = "no-reply@example.org";

    explicit CSmtpSetsDlg(const ManagerSettings& settings, QWidget* parent = nullptr);

    // Copies the dialog's values into the settings (the caller does so after OK).
    void ApplyTo(ManagerSettings& settings) const;

    // The menu command: the dialog on a copy of the settings, taken back only on OK.
    // Returns whether the dialog ended with OK.
    static bool Run(ManagerSettings& settings, QWidget* parent);

    // "Test Connection" as clicked with the given keys held.
    void TestConnection(Qt::KeyboardModifiers modifiers);
    void FillDefaults();
    bool IsTesting() const { return testing_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    SmtpTestAccount AccountShown() const;
    void OnTestDone(const SmtpTestResult& result);

    ManagerSettings values_;
    QLineEdit* server_ = nullptr;
    QLineEdit* port_ = nullptr;
    QComboBox* security_ = nullptr;
    QLineEdit* login_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* senderName_ = nullptr;
    QLineEdit* senderMail_ = nullptr;
    QLineEdit* replyTo_ = nullptr;
    QPushButton* test_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    Qt::KeyboardModifiers clickModifiers_;
    bool testing_ = false;
};

}  // namespace zm
