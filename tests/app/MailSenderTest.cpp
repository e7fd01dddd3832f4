#include <atomic>
#include <chrono>
#include <thread>

#include "ActionsFixture.h"
#include "app/MailSender.h"
#include "notify/Smtp.h"
#include "notify/TestPeers.h"

namespace zm::test {
namespace {

using namespace std::chrono_literals;

AlertMail PlainMail(uint16_t port, const std::string& subject) {
    AlertMail mail;
    mail.sKind = "Alarm mail";
    mail.sSubject = subject;
    mail.sBody = "line one\r\nline two";
    mail.recipients = {"ops@example.org", "duty@example.org"};
    mail.account.sServer = "127.0.0.1";
    mail.account.nPort = port;
    mail.account.nSecurity = CSmtp::kSecurityNone;
    mail.account.sLogin = "user";
    mail.account.sPassword = "secret";
    mail.account.sSenderName = "ZorManager";
    mail.account.sSenderMail = "noreply@example.org";
    mail.account.sReplyTo = "noreply@example.org";
    return mail;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

using MailSenderTest = LogsFixture;

TEST_F(MailSenderTest, MailsGoOutInQueueOrderWithGreenLines) {
    SmtpTestServer server({"--auth", "LOGIN"});
    {
        CMailSender sender;
        ASSERT_TRUE(sender.Queue(PlainMail(server.port(), "first")));
        AlertMail sms = PlainMail(server.port(), "second");
        sms.sKind = "Alarm sms";
        sms.recipients = {"sms@gateway.example"};
        ASSERT_TRUE(sender.Queue(sms));
        ASSERT_TRUE(sender.WaitIdle(20s));
        EXPECT_TRUE(sender.Stop());
    }
    EXPECT_NE(server.Message(1).find("Subject: first"), std::string::npos);
    EXPECT_NE(server.Message(1).find("line one\r\nline two"), std::string::npos);
    EXPECT_NE(server.Message(2).find("Subject: second"), std::string::npos);
    EXPECT_TRUE(server.WaitFor("to=ops@example.org,duty@example.org"));
    EXPECT_TRUE(server.WaitFor("to=sms@gateway.example"));
    const std::string mailLine = "Alarm mail was successfully sent (recipients: 2).";
    const std::string smsLine = "Alarm sms was successfully sent (recipients: 1).";
    for (const std::string& log : {DeviceLogText(), RunLogText()}) {
        EXPECT_EQ(EntryColor(log, mailLine), "#006400");
        EXPECT_EQ(EntryColor(log, smsLine), "#006400");
        EXPECT_LT(log.find(mailLine), log.find(smsLine));
    }
}

// A refusal for good is red at once; a failure worth retrying is orange, once, and says so.
TEST_F(MailSenderTest, FailedSendsSayWhetherTheyAreRetried) {
    struct Case {
        const char* name;
        std::vector<std::string> flags;  // empty: nobody listens
        std::string reason;              // the client's error text
        std::string detail;              // the system's or server's own words
        const char* color;
        const char* ending;
    };
    const Case cases[] = {
        {"sender refused",
         {"--auth", "LOGIN", "--fail-mail", "550"},
         CSmtp::GetErrorText(ECSmtp::kMailFromRejected),
         "550 5.7.0 Refused by test",
         "#C80000",
         "; refused for good."},
        {"wrong password",
         {"--auth", "LOGIN", "--password", "other"},
         CSmtp::GetErrorText(ECSmtp::kAuthRejected),
         "535",
         "#C80000",
         "; refused for good."},
        {"nobody listens",
         {},
         CSmtp::GetErrorText(ECSmtp::kConnectFailed),
         "Connection refused",
         "#C86400",
         "; will retry."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<SmtpTestServer> server;
        uint16_t port = UnusedPort();
        if (!c.flags.empty()) {
            server = std::make_unique<SmtpTestServer>(c.flags);
            port = server->port();
        }
        const size_t deviceStart = DeviceLogText().size();
        const size_t runStart = RunLogText().size();
        CMailSender sender;
        ASSERT_TRUE(sender.Queue(PlainMail(port, c.name)));
        ASSERT_TRUE(sender.WaitIdle(20s));
        const std::string deviceNew = DeviceLogText().substr(deviceStart);
        const std::string runNew = RunLogText().substr(runStart);
        const std::string line = "Alarm mail was not sent: " + c.reason + " (";
        EXPECT_EQ(EntryColor(deviceNew, line), c.color) << deviceNew;
        EXPECT_EQ(EntryColor(runNew, line), c.color) << runNew;
        EXPECT_EQ(Count(deviceNew, "Alarm mail was not sent"), 1) << deviceNew;
        EXPECT_NE(deviceNew.find(std::string(c.ending) + "</font>"), std::string::npos)
            << deviceNew;
        EXPECT_NE(deviceNew.find(c.detail), std::string::npos) << deviceNew;
        // Each attempt in the run log, with the server it went to.
        EXPECT_NE(runNew.find("attempt 1 via primary server 127.0.0.1:" + std::to_string(port)),
                  std::string::npos)
            << runNew;
        EXPECT_EQ(deviceNew.find("successfully sent"), std::string::npos);
    }
}

TEST_F(MailSenderTest, NothingToSendIsNeitherSentNorLogged) {
    AlertMail noRecipient = PlainMail(UnusedPort(), "x");
    noRecipient.recipients.clear();
    AlertMail noBody = PlainMail(UnusedPort(), "y");
    noBody.sBody.clear();
    EXPECT_FALSE(DeliverAlertMail(noRecipient));
    EXPECT_FALSE(DeliverAlertMail(noBody));
    EXPECT_EQ(DeviceLogText().find("Alarm mail"), std::string::npos);
    EXPECT_EQ(RunLogText().find("Alarm mail"), std::string::npos);
}

TEST_F(MailSenderTest, APortOutsideTheRangeIsRefusedNotWrapped) {
    AlertMail mail = PlainMail(0, "x");
    mail.account.nPort = 65536 + 25;
    EXPECT_FALSE(DeliverAlertMail(mail));
    EXPECT_EQ(
        EntryColor(DeviceLogText(), "Alarm mail was not sent: SMTP port 65561 is out of range."),
        "#C80000");
}

// A server that accepts and then never says a word, until released.
class SilentServer {
  public:
    SilentServer()
        : peer_([this](int fd, ScriptedPeer&) {
              accepted_ = true;
              WaitUntil([this] { return released_.load(); }, 15s);
              shutdown(fd, SHUT_RDWR);
          }) {}
    ~SilentServer() { Release(); }
    uint16_t port() const { return peer_.port(); }
    bool Accepted() const { return accepted_; }
    void Release() { released_ = true; }

  private:
    std::atomic<bool> accepted_{false};
    std::atomic<bool> released_{false};
    ScriptedPeer peer_;
};

TEST_F(MailSenderTest, StopIsBoundedAndNoQueuedMailVanishes) {
    SilentServer silent;
    SmtpTestServer good({"--auth", "LOGIN"});
    {
        CMailSender sender;
        ASSERT_TRUE(sender.Queue(PlainMail(silent.port(), "stuck")));
        ASSERT_TRUE(sender.Queue(PlainMail(good.port(), "behind")));
        ASSERT_TRUE(WaitUntil([&] { return silent.Accepted(); }, 5s));
        EXPECT_EQ(sender.Pending(), 2u);

        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(sender.Stop(300ms));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_FALSE(sender.Queue(PlainMail(good.port(), "too late")));
    }
    // The mail behind the stuck one and the one queued after Stop are logged, not lost.
    const std::string closing = "Alarm mail was not sent: the application was closing.";
    EXPECT_EQ(Count(DeviceLogText(), closing), 2);
    EXPECT_EQ(Count(RunLogText(), closing), 2);
    EXPECT_NE(RunLogText().find("Mail sender FAILED to stop within 300 ms"), std::string::npos);

    // The abandoned session still ends and reports once its server lets go.
    silent.Release();
    EXPECT_TRUE(WaitUntil([] { return CMailSender::LiveThreads() == 0; }, 10s));
    EXPECT_EQ(Count(DeviceLogText(), "Alarm mail was not sent:"), 3);
    EXPECT_FALSE(good.WaitFor("MESSAGE", 200));
}

TEST_F(MailSenderTest, StopWaitsForQueuedMailsWithinTheBound) {
    SmtpTestServer server({"--auth", "LOGIN"});
    {
        CMailSender sender;
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(sender.Queue(PlainMail(server.port(), "queued " + std::to_string(i))));
        }
        EXPECT_TRUE(sender.Stop(20s));
    }
    EXPECT_EQ(Count(DeviceLogText(), "Alarm mail was successfully sent (recipients: 2)."), 3);
    EXPECT_NE(server.Message(3).find("Subject: queued 3"), std::string::npos);
    EXPECT_EQ(CMailSender::LiveThreads(), 0);
}

}  // namespace
}  // namespace zm::test
