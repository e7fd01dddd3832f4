// What an attempt's failure means for the next one (try again, or give up), recipients
// refused one by one, the session's overall time limit and the message's own ids, all as
// a real server (aiosmtpd) sees and answers them.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "TestPeers.h"
#include "notify/Smtp.h"

namespace zm {
namespace {

using test::ScriptedPeer;
using test::SmtpTestServer;
using Clock = std::chrono::steady_clock;

struct Attempt {
    std::optional<ECSmtp> error;
    std::vector<RcptResult> recipients;
    std::string messageId;
    double seconds = 0;
};

Attempt SendTo(uint16_t port, const std::vector<std::string>& to = {"op@zm.test"},
               const std::string& password = "secret",
               std::chrono::milliseconds limit = CSmtp::kDefaultSessionLimit) {
    Attempt attempt;
    const auto start = Clock::now();
    try {
        CSmtp smtp;
        smtp.SetServer("127.0.0.1", port);
        smtp.SetUser("user");
        smtp.SetUserPassword(password);
        smtp.SetFromAddress("alarm@zm.test");
        smtp.SetSessionLimit(limit);
        for (const auto& mail : to) {
            smtp.AddTo(mail);
        }
        smtp.AddBodyLine("Pier 7: Alarm reported");
        try {
            smtp.SendMail();
        } catch (...) {
            attempt.recipients = smtp.GetRecipientResults();
            throw;
        }
        attempt.recipients = smtp.GetRecipientResults();
        attempt.messageId = smtp.GetMessageId();
    } catch (const ECSmtp& e) {
        attempt.error = e;
    }
    attempt.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return attempt;
}

struct FailureCase {
    const char* name;
    std::vector<std::string> flags;
    const char* password;
    bool permanent;
};

class SmtpFailureKind : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SmtpFailureKind, TellsRetryFromGiveUp) {
    const FailureCase& c = GetParam();
    std::vector<std::string> flags = {"--auth", "LOGIN"};
    flags.insert(flags.end(), c.flags.begin(), c.flags.end());
    SmtpTestServer server(flags);
    Attempt attempt = SendTo(server.port(), {"op@zm.test"}, c.password);
    ASSERT_TRUE(attempt.error.has_value());
    EXPECT_EQ(IsPermanentFailure(*attempt.error), c.permanent)
        << attempt.error->what() << " reply " << attempt.error->GetReplyCode();
    EXPECT_EQ(server.Transcript().find("MESSAGE"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmtpFailureKind,
    ::testing::Values(FailureCase{"Busy421AtGreeting", {"--refuse-sessions", "1"}, "secret", false},
                      FailureCase{"MailFrom451", {"--fail-mail", "451"}, "secret", false},
                      FailureCase{"MailFrom550", {"--fail-mail", "550"}, "secret", true},
                      FailureCase{"WrongPassword535", {}, "wrong", true},
                      FailureCase{"EveryRcpt450", {"--fail-rcpt", "450"}, "secret", false},
                      FailureCase{"EveryRcpt550", {"--fail-rcpt", "550"}, "secret", true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SmtpFailureKind, NoServerIsWorthAnotherAttempt) {
    Attempt attempt = SendTo(test::UnusedPort());
    ASSERT_TRUE(attempt.error.has_value());
    EXPECT_FALSE(IsPermanentFailure(*attempt.error));
}

TEST(SmtpFailureKind, BusyServerAcceptsTheNextSession) {
    SmtpTestServer server({"--auth", "LOGIN", "--refuse-sessions", "1"});
    EXPECT_TRUE(SendTo(server.port()).error.has_value());
    EXPECT_FALSE(SendTo(server.port()).error.has_value());
    EXPECT_NE(server.Transcript().find("MESSAGE 1 "), std::string::npos);
}

TEST(SmtpRecipientRefused, OthersStillGetTheMessage) {
    SmtpTestServer server({"--auth", "LOGIN", "--reject-rcpt", "gone@zm.test"});
    Attempt attempt = SendTo(server.port(), {"op1@zm.test", "gone@zm.test", "op2@zm.test"});
    ASSERT_FALSE(attempt.error.has_value()) << attempt.error->what();
    ASSERT_EQ(attempt.recipients.size(), 3u);
    EXPECT_EQ(attempt.recipients[0].outcome, RcptOutcome::Accepted);
    EXPECT_EQ(attempt.recipients[1].outcome, RcptOutcome::Permanent);
    EXPECT_EQ(attempt.recipients[1].replyCode, 550);
    EXPECT_NE(attempt.recipients[1].reply.find("No such user"), std::string::npos);
    EXPECT_EQ(attempt.recipients[2].outcome, RcptOutcome::Accepted);
    EXPECT_NE(server.Transcript().find("MESSAGE 1 from=alarm@zm.test to=op1@zm.test,op2@zm.test"),
              std::string::npos)
        << server.Transcript();
}

// A server that answers, but never finishes its greeting: each piece comes well inside the
// per-reply wait, so only the session's own limit ends it.
TEST(SmtpSessionLimit, TricklingServerIsLeftAtTheLimit) {
    ScriptedPeer peer([](int fd, ScriptedPeer&) {
        for (int i = 0; i < 60; ++i) {
            ScriptedPeer::Send(fd, "220-still here\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            char probe = 0;
            if (recv(fd, &probe, 1, MSG_DONTWAIT) == 0) {
                return;  // the client has gone
            }
        }
    });
    Attempt attempt = SendTo(peer.port(), {"op@zm.test"}, "secret", std::chrono::seconds(2));
    ASSERT_TRUE(attempt.error.has_value());
    EXPECT_FALSE(IsPermanentFailure(*attempt.error));
    EXPECT_GE(attempt.seconds, 1.9);
    EXPECT_LT(attempt.seconds, 4.0);
}

TEST(SmtpMessageIds, EachMessageItsOwnIdAndItsThread) {
    SmtpTestServer server({"--auth", ""});
    const std::string first = SendTo(server.port()).messageId;
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first.find("@zm.test"), std::string::npos) << first;
    {
        CSmtp smtp;
        smtp.SetServer("127.0.0.1", server.port(), false);
        smtp.SetFromAddress("alarm@zm.test");
        smtp.AddTo("op@zm.test");
        smtp.SetMessageId("ack-1@zm.test");
        smtp.SetInReplyTo(first);
        smtp.SetReferences({first, "escalated-1@zm.test"});
        smtp.AddBodyLine("acknowledged");
        smtp.SendMail();
    }
    const std::string opened = server.Message(1);
    const std::string answer = server.Message(2);
    EXPECT_NE(opened.find("Message-ID: <" + first + ">\r\n"), std::string::npos) << opened;
    EXPECT_EQ(opened.find("In-Reply-To:"), std::string::npos);
    EXPECT_NE(answer.find("Message-ID: <ack-1@zm.test>\r\n"), std::string::npos) << answer;
    EXPECT_NE(answer.find("In-Reply-To: <" + first + ">\r\n"), std::string::npos);
    EXPECT_NE(answer.find("References: <" + first + "> <escalated-1@zm.test>\r\n"),
              std::string::npos);
    EXPECT_NE(SendTo(server.port()).messageId, first);
}

}  // namespace
}  // namespace zm
