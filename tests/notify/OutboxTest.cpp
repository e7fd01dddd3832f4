// The outbox against real servers (aiosmtpd, a silent socket, a closed port), with its
// clock in the test's hand so that the retry schedule runs in moments.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "TestPeers.h"
#include "notify/Outbox.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using store::OutboxRow;
using store::OutboxState;
using store::RecipientState;
using test::ScriptedPeer;
using test::SmtpTestServer;

constexpr std::int64_t kStart = 1'780'000'000'000;  // a fixed wall-clock moment, in ms

MailAccount AccountAt(uint16_t port) {
    MailAccount account;
    account.sServer = "127.0.0.1";
    account.nPort = port;
    account.nSecurity = CSmtp::kSecurityNone;
    account.sLogin = "user";
    account.sPassword = "secret";
    account.sSenderMail = "alarm@zm.test";
    return account;
}

AlertMail Notice(uint16_t port, const std::string& subject,
                 std::vector<std::string> to = {"op@zm.test"}) {
    AlertMail mail;
    mail.sKind = "Alarm mail";
    mail.sSubject = subject;
    mail.sBody = "Device status:\r\n >>> " + subject;
    mail.recipients = std::move(to);
    mail.account = AccountAt(port);
    return mail;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class OutboxTest : public ::testing::Test {
  protected:
    COutbox::Options Clocked() {
        COutbox::Options options;
        options.nowMs = [this] { return now_.load(); };
        return options;
    }
    // Moves the clock on and lets the outbox take every turn now due.
    void Advance(COutbox& outbox, std::chrono::milliseconds by) {
        now_ += by.count();
        outbox.Poke();
        ASSERT_TRUE(outbox.WaitIdle(30s));
    }
    static OutboxRow Newest(const COutbox& outbox) {
        auto rows = outbox.Recent(1);
        return rows.empty() ? OutboxRow{} : rows.front();
    }

    std::atomic<std::int64_t> now_{kStart};
    test::TempDir dir_;
};

// 421 at the greeting twice, then the mail is taken: it arrives once, on the schedule's
// third turn (30 s, then 60 s later).
TEST_F(OutboxTest, BusyServerGetsTheMessageOnceAfterTheRetries) {
    SmtpTestServer server({"--auth", "LOGIN", "--refuse-sessions", "2"});
    COutbox outbox(Clocked());
    ASSERT_TRUE(outbox.Queue(Notice(server.port(), "Pier-1: Alarm reported")));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    OutboxRow row = Newest(outbox);
    EXPECT_EQ(row.attempts, 1);
    EXPECT_EQ(row.state, OutboxState::Pending);
    EXPECT_EQ(row.nextAttemptMs, kStart + 30'000);
    EXPECT_EQ(row.failingSinceMs, kStart);
    EXPECT_NE(row.lastReply.find("421"), std::string::npos) << row.lastReply;

    Advance(outbox, 29s);
    EXPECT_EQ(Newest(outbox).attempts, 1);  // not before its time
    Advance(outbox, 1s);
    row = Newest(outbox);
    EXPECT_EQ(row.attempts, 2);
    EXPECT_EQ(row.nextAttemptMs, kStart + 90'000);
    Advance(outbox, 60s);
    row = Newest(outbox);
    EXPECT_EQ(row.state, OutboxState::Delivered);
    EXPECT_EQ(row.attempts, 3);
    EXPECT_EQ(outbox.Pending(), 0u);
    EXPECT_EQ(outbox.Status().oldestFailingSinceMs, 0);
    Advance(outbox, 600s);
    EXPECT_TRUE(server.WaitFor("MESSAGE 1 "));
    EXPECT_EQ(Count(server.Transcript(), "MESSAGE "), 1);
    EXPECT_EQ(Count(server.Transcript(), "REFUSED 421"), 2);
    EXPECT_NE(server.Message(1).find("Message-ID: <" + row.messageId + ">"), std::string::npos);
}

TEST_F(OutboxTest, ExpiresAfterItsRetryTime) {
    COutbox outbox(Clocked());
    AlertMail mail = Notice(test::UnusedPort(), "Pier-1: No connection");
    mail.retryHours = 1;
    ASSERT_TRUE(outbox.Queue(mail));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    // 30 s, 1, 2, 5, 10 min, then every 10 min: ten attempts within the hour.
    const std::int64_t expected[] = {30, 60, 120, 300, 600, 600, 600, 600, 600};
    std::int64_t at = kStart;
    for (std::int64_t step : expected) {
        EXPECT_EQ(Newest(outbox).nextAttemptMs, at + step * 1000);
        at += step * 1000;
        Advance(outbox, std::chrono::seconds(step));
    }
    Advance(outbox, 600s);
    OutboxRow row = Newest(outbox);
    EXPECT_EQ(row.state, OutboxState::Expired);
    EXPECT_EQ(row.attempts, 10);
    EXPECT_EQ(outbox.Pending(), 0u);
}

// A server that takes the connection and never speaks holds one session no longer than
// its limit; after the primary's second failure the backup delivers in the same turn.
TEST_F(OutboxTest, SilentPrimaryThenTheBackupDelivers) {
    ScriptedPeer silent([](int fd, ScriptedPeer& p) { p.ReadLine(fd, 9000); });
    SmtpTestServer backup({"--auth", "LOGIN"});
    COutbox::Options options = Clocked();
    options.sessionLimit = 1500ms;
    COutbox outbox(options);
    AlertMail mail = Notice(silent.port(), "Pier-2: Alarm reported");
    mail.backup = AccountAt(backup.port());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(outbox.Queue(mail));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_EQ(Newest(outbox).state, OutboxState::Pending);
    EXPECT_FALSE(backup.WaitFor("EHLO", 100));  // one failure is not yet enough

    Advance(outbox, 30s);
    OutboxRow row = Newest(outbox);
    EXPECT_EQ(row.state, OutboxState::Delivered);
    EXPECT_EQ(row.attempts, 2);
    EXPECT_NE(row.deliveredBy.find("backup server 127.0.0.1:" + std::to_string(backup.port())),
              std::string::npos)
        << row.deliveredBy;
    EXPECT_TRUE(backup.WaitFor("MESSAGE 1 "));
}

// A message on the 10-minute cycle does not wait that long for a server that is back: a
// look every 30 s finds it, and everything waiting goes at once.
TEST_F(OutboxTest, AServerBackIsFoundWithinHalfAMinute) {
    const uint16_t port = test::UnusedPort();
    COutbox outbox(Clocked());
    ASSERT_TRUE(outbox.Queue(Notice(port, "Pier-6: Alarm reported")));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    for (std::int64_t step : {30, 60, 120, 300, 600}) {
        Advance(outbox, std::chrono::seconds(step));
    }
    ASSERT_EQ(Newest(outbox).attempts, 6);
    ASSERT_EQ(Newest(outbox).nextAttemptMs, now_ + 600'000);
    SmtpTestServer server({"--auth", "LOGIN", "--port", std::to_string(port)});
    Advance(outbox, 30s);
    ASSERT_TRUE(outbox.WaitIdle(20s));
    EXPECT_EQ(Newest(outbox).state, OutboxState::Delivered);
    EXPECT_EQ(Newest(outbox).attempts, 7);
    EXPECT_TRUE(server.WaitFor("MESSAGE 1 "));
}

TEST_F(OutboxTest, ARefusedRecipientIsRefusedForGoodAndTheOthersGetIt) {
    SmtpTestServer server({"--auth", "LOGIN", "--reject-rcpt", "gone@zm.test"});
    COutbox outbox(Clocked());
    ASSERT_TRUE(outbox.Queue(Notice(server.port(), "Pier-3: Alarm reported",
                                    {"a@zm.test", "gone@zm.test", "b@zm.test"})));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    OutboxRow row = Newest(outbox);
    EXPECT_EQ(row.state, OutboxState::Delivered);
    ASSERT_EQ(row.recipients.size(), 3u);
    EXPECT_EQ(row.recipients[0].state, RecipientState::Delivered);
    EXPECT_EQ(row.recipients[1].state, RecipientState::Refused);
    EXPECT_NE(row.recipients[1].reply.find("550"), std::string::npos);
    EXPECT_EQ(row.recipients[2].state, RecipientState::Delivered);
    Advance(outbox, 600s);
    EXPECT_EQ(Count(server.Transcript(), "MESSAGE "), 1);
    EXPECT_EQ(Count(server.Transcript(), "RCPT-REJECTED"), 1);
}

TEST_F(OutboxTest, RefusedForGoodIsNotRetried) {
    SmtpTestServer server({"--auth", "LOGIN", "--fail-mail", "550"});
    COutbox outbox(Clocked());
    ASSERT_TRUE(outbox.Queue(Notice(server.port(), "Pier-4: Alarm reported")));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    EXPECT_EQ(Newest(outbox).state, OutboxState::Failed);
    EXPECT_NE(Newest(outbox).lastReply.find("550"), std::string::npos);
    Advance(outbox, 600s);
    EXPECT_EQ(Count(server.Transcript(), "MAIL "), 1);
}

// A chattering device while the server is down: one notice per device, kind and channel,
// carrying the latest state and how many changes it stands for.
TEST_F(OutboxTest, ChangesOfOneDeviceMergeIntoThePendingNotice) {
    const uint16_t down = test::UnusedPort();
    COutbox outbox(Clocked());
    for (int i = 1; i <= 40; ++i) {
        AlertMail mail = Notice(down, "Pier-5: Alarm reported " + std::to_string(i));
        mail.kind = NoticeKind::AlarmOpened;
        mail.sDevice = "Pier-5";
        ASSERT_TRUE(outbox.Queue(mail));
        now_ += 1000;
    }
    AlertMail other = Notice(down, "Pier-5: No connection");
    other.kind = NoticeKind::ConnectionLost;
    other.sDevice = "Pier-5";
    ASSERT_TRUE(outbox.Queue(other));
    ASSERT_TRUE(outbox.WaitIdle(20s));
    EXPECT_EQ(outbox.Pending(), 2u);
    const auto rows = outbox.Recent(10);
    ASSERT_EQ(rows.size(), 2u);
    const OutboxRow& alarm = rows[1];
    EXPECT_EQ(alarm.subject, "Pier-5: Alarm reported 40");
    EXPECT_EQ(alarm.changes, 39);
    EXPECT_NE(alarm.body.find(" >>> Pier-5: Alarm reported 40\r\n39 further changes since "),
              std::string::npos)
        << alarm.body;
    EXPECT_EQ(rows[0].subject, "Pier-5: No connection");
}

TEST_F(OutboxTest, AFullOutboxDropsTheOldestInformationNeverAnAlarm) {
    const uint16_t down = test::UnusedPort();
    COutbox::Options options = Clocked();
    options.bound = 3;
    COutbox outbox(options);
    const std::pair<NoticeKind, const char*> queued[] = {
        {NoticeKind::AlarmOpened, "A"},    {NoticeKind::ConnectionLost, "B"},
        {NoticeKind::ConnectionLost, "C"}, {NoticeKind::AlarmOpened, "D"},
        {NoticeKind::AlarmOpened, "E"},    {NoticeKind::AlarmOpened, "F"},
    };
    for (const auto& [kind, device] : queued) {
        AlertMail mail = Notice(down, device);
        mail.kind = kind;
        mail.sDevice = device;
        ASSERT_TRUE(outbox.Queue(mail));
    }
    ASSERT_TRUE(outbox.WaitIdle(20s));
    EXPECT_EQ(outbox.DroppedCount(), 2);
    std::string pending;
    for (const OutboxRow& row : outbox.Recent(10)) {
        if (row.state == OutboxState::Pending) {
            pending = row.subject + pending;
        } else {
            EXPECT_EQ(row.state, OutboxState::Dropped);
        }
    }
    // Over the bound rather than an alarm lost.
    EXPECT_EQ(pending, "ADEF");
}

// What waits survives the end of the program and goes out after the next start, once.
TEST_F(OutboxTest, PendingMessagesGoOutAfterTheNextStart) {
    const std::string file = dir_.file("Outbox.sqlite");
    {
        COutbox outbox(Clocked());
        ASSERT_TRUE(outbox.Open(file));
        for (int i = 1; i <= 5; ++i) {
            ASSERT_TRUE(outbox.Queue(Notice(test::UnusedPort(), "kept " + std::to_string(i))));
        }
        ASSERT_TRUE(outbox.WaitIdle(20s));
        EXPECT_EQ(outbox.Pending(), 5u);
        EXPECT_TRUE(outbox.Stop());
    }
    SmtpTestServer server({"--auth", "LOGIN"});
    COutbox outbox(Clocked());
    ASSERT_TRUE(outbox.Open(file));
    // Nothing is tried before the accounts are known.
    EXPECT_FALSE(server.WaitFor("EHLO", 300));
    outbox.SetSettings({AccountAt(server.port()), {}, 24});
    ASSERT_TRUE(outbox.WaitIdle(30s));
    EXPECT_EQ(outbox.Pending(), 0u);
    EXPECT_TRUE(server.WaitFor("MESSAGE 5 "));
    EXPECT_EQ(Count(server.Transcript(), "MESSAGE "), 5);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_NE(server.Message(i).find("Subject: kept " + std::to_string(i) + "\r\n"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace zm
