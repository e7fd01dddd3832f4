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

TEST_F(MailSenderTest, FailedSendsWriteRedLinesWithTheClientsReason) {
    struct Case {
        const char* name;
        std::vector<std::string> flags;  // empty: nobody listens
        std::string reason;              // the client's error text
        std::string detail;              // the system's or server's own words, run log only
    };
    const Case cases[] = {
        {"sender refused",
         {"--auth", "LOGIN", "--fail-mail", "550"},
         CSmtp::GetErrorText(ECSmtp::kMailFromRejected),
         "Refused by test"},
        {"wrong password",
         {"--auth", "LOGIN", "--password", "other"},
         CSmtp::GetErrorText(ECSmtp::kAuthRejected),
         ""},
        {"nobody listens", {}, "", "Connection refused"},
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
        const std::string line = "Alarm mail was not sent: " + c.reason;
        EXPECT_EQ(EntryColor(deviceNew, line), "#C80000") << deviceNew;
        EXPECT_EQ(EntryColor(runNew, line), "#C80000") << runNew;
        if (!c.reason.empty()) {
            EXPECT_NE(deviceNew.find(line + ".</font>"), std::string::npos) << deviceNew;
        }
        EXPECT_NE(runNew.find(c.detail), std::string::npos) << runNew;
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

// A dead server holds the first mail while state flips keep queueing: the queue stays
// bounded, informational notices give way before alarm-open ones, and the run log counts
// what was dropped.
TEST_F(MailSenderTest, AFullQueueDropsOtherNoticesBeforeAlarmsAndCountsThemInTheRunLog) {
    SilentServer silent;
    SmtpTestServer good({"--auth", "LOGIN"});
    {
        CMailSender sender(3);
        ASSERT_TRUE(sender.Queue(PlainMail(silent.port(), "stuck")));
        ASSERT_TRUE(WaitUntil([&] { return silent.Accepted(); }, 5s));
        struct Row {
            const char* subject;
            bool alarmOpen;
            bool queued;
        };
        const Row rows[] = {
            {"info 1", false, true},  {"alarm 1", true, true},
            {"info 2", false, true},   // the queue is full now
            {"alarm 2", true, true},   // info 1 gives way
            {"info 3", false, true},   // info 2 gives way
            {"alarm 3", true, true},   // info 3 gives way
            {"info 4", false, false},  // only alarms wait: the new notice goes
            {"alarm 4", true, true},   // among alarms only, the oldest gives way
        };
        for (const Row& row : rows) {
            AlertMail mail = PlainMail(good.port(), row.subject);
            mail.bAlarmOpen = row.alarmOpen;
            EXPECT_EQ(sender.Queue(mail), row.queued) << row.subject;
        }
        EXPECT_EQ(sender.Dropped(), 5u);
        EXPECT_EQ(sender.Pending(), 4u);  // three waiting, one being sent
        silent.Release();
        ASSERT_TRUE(sender.WaitIdle(30s));
        EXPECT_TRUE(sender.Stop());
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(good.Message(i + 1).find("Subject: alarm " + std::to_string(i + 2)),
                  std::string::npos);
    }
    EXPECT_EQ(Count(DeviceLogText(), "Alarm mail was successfully sent"), 3);
    const std::string runLog = RunLogText();
    // The first drop at once, the others (within the minute) when the sender stops.
    EXPECT_EQ(EntryColor(runLog,
                         "Alarm mail \"info 1\" dropped: 3 alert messages wait "
                         "for the mail server already; 1 dropped since the last such "
                         "entry, 1 in all."),
              "#C80000")
        << runLog;
    EXPECT_EQ(
        EntryColor(runLog, "4 more alert messages were dropped from the full queue, 5 in all."),
        "#C80000");
}

}  // namespace
}  // namespace zm::test
