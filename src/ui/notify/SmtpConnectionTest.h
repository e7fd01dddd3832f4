#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

namespace zm {

// The account a connection test opens.
struct SmtpTestAccount {
    std::string server;
    std::uint16_t port = 0;
    int security = 0;
    std::string login;
    std::string password;
    bool tlsVerify = true;
};

struct SmtpTestResult {
    bool ok = false;
    std::string errorText;  // the mail client's text for its error code
};

// Opens (and at once closes) a connection to a mail server on a worker thread, so that the
// window asking stays responsive for the minutes a silent server may take. The result
// comes back as a call on the receiver's thread; a receiver destroyed in the meantime
// (the dialog was cancelled) hears nothing.
class SmtpConnectionTest {
  public:
    using Done = std::function<void(const SmtpTestResult&)>;
    static void Start(const SmtpTestAccount& account, QObject* receiver, Done done);

    // Tests still running (their workers may outlive the dialog that started them).
    static int Running();
};

}  // namespace zm
