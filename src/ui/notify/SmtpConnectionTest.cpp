#include "ui/notify/SmtpConnectionTest.h"

#include <QPointer>
#include <atomic>
#include <thread>

#include "notify/Smtp.h"
#include "notify/SmtpError.h"

namespace zm {
namespace {

std::atomic<int> g_running{0};

// Lives on the receiver's thread and is deleted only by the result's own call, so the
// worker can always post to it.
class ResultRelay : public QObject {
  public:
    ResultRelay(QObject* receiver, SmtpConnectionTest::Done done)
        : receiver_(receiver), done_(std::move(done)) {
        moveToThread(receiver->thread());
    }
    void Deliver(const SmtpTestResult& result) {
        if (receiver_) {
            done_(result);
        }
        deleteLater();
    }

  private:
    QPointer<QObject> receiver_;
    SmtpConnectionTest::Done done_;
};

SmtpTestResult Run(const SmtpTestAccount& account) {
    SmtpTestResult result;
    try {
        CSmtp smtp;
        smtp.SetTlsVerify(account.tlsVerify);
        result.ok = smtp.OpenConnection(account.server, account.port, account.security, true,
                                        account.login, account.password);
        // Destroying the client ends the dialogue with QUIT.
    } catch (const ECSmtp& error) {
        result.errorText = error.GetErrorText();
    } catch (const std::exception& error) {
        result.errorText = error.what();
    }
    return result;
}

}  // namespace

void SmtpConnectionTest::Start(const SmtpTestAccount& account, QObject* receiver, Done done) {
    auto* relay = new ResultRelay(receiver, std::move(done));
    ++g_running;
    std::thread([account, relay] {
        const SmtpTestResult result = Run(account);
        QMetaObject::invokeMethod(
            relay, [relay, result] { relay->Deliver(result); }, Qt::QueuedConnection);
        --g_running;
    }).detach();
}

int SmtpConnectionTest::Running() {
    return g_running.load();
}

}  // namespace zm
