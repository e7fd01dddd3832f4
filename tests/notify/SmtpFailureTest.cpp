// How the mail client fails: refused commands, servers that close or stay silent, replies
// no sane server sends. Each case must end with the documented code, promptly.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestPeers.h"
#include "notify/Smtp.h"
#include "notify/SmtpCodec.h"

namespace zm {
namespace {

using test::ScriptedPeer;
using test::SmtpTestServer;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Outcome {
    int code = 0;
    std::string detail;
    double seconds = 0;
};

// One complete attempt: prepare, send, destroy (QUIT when due).
Outcome SendTo(uint16_t port, const std::string& host = "127.0.0.1", bool withSender = true,
               bool withRecipient = true, int security = CSmtp::kSecurityNone) {
    Outcome outcome;
    const auto start = Clock::now();
    try {
        CSmtp smtp;
        smtp.SetServer(host, port);
        smtp.SetSecurity(security);
        smtp.SetUser("user");
        smtp.SetUserPassword("secret");
        if (withSender) {
            smtp.SetFromAddress("alarm@zm.test");
        }
        if (withRecipient) {
            smtp.AddTo("op@zm.test");
        }
        smtp.SendMail();
    } catch (const ECSmtp& e) {
        outcome.code = e.GetErrorNum();
        outcome.detail = e.GetDetail();
    }
    outcome.seconds = SecondsSince(start);
    return outcome;
}

struct EnvelopeCase {
    const char* name;
    std::vector<std::string> flags;
    int code;
    bool quitSent;  // not after a 530: the server refuses the session
};

class SmtpEnvelopeRefused : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(SmtpEnvelopeRefused, EndsWithTheCommandsCode) {
    const EnvelopeCase& c = GetParam();
    std::vector<std::string> flags = {"--auth", "LOGIN"};
    flags.insert(flags.end(), c.flags.begin(), c.flags.end());
    SmtpTestServer server(flags);
    Outcome outcome = SendTo(server.port());
    EXPECT_EQ(outcome.code, c.code);
    EXPECT_NE(outcome.detail.find(c.flags[1]), std::string::npos) << outcome.detail;
    ASSERT_TRUE(server.WaitFor("DISCONNECT"));
    EXPECT_EQ(server.Transcript().find("QUIT") != std::string::npos, c.quitSent)
        << server.Transcript();
    EXPECT_EQ(server.Transcript().find("MESSAGE"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmtpEnvelopeRefused,
    ::testing::Values(EnvelopeCase{"MailFrom530", {"--fail-mail", "530"}, 300, false},
                      EnvelopeCase{"MailFrom550", {"--fail-mail", "550"}, 300, true},
                      EnvelopeCase{"RcptTo550", {"--fail-rcpt", "550"}, 309, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SmtpFailure, MissingSenderOrRecipient) {
    SmtpTestServer server({"--auth", ""});
    EXPECT_EQ(SendTo(server.port(), "127.0.0.1", false, true).code, 201);
    EXPECT_EQ(SendTo(server.port(), "127.0.0.1", true, false).code, 203);
    EXPECT_EQ(server.Transcript().find("MESSAGE"), std::string::npos);
}

TEST(SmtpFailure, ServerClosingAfterEhlo) {
    SmtpTestServer server({"--auth", "", "--close-after-ehlo"});
    Outcome outcome = SendTo(server.port());
    EXPECT_EQ(outcome.code, 400);
    EXPECT_LT(outcome.seconds, 4.0);
}

TEST(SmtpFailure, NoGreetingTimesOutAfterFiveSeconds) {
    // Accepts and stays silent until the client goes.
    ScriptedPeer peer([](int fd, ScriptedPeer& p) { p.ReadLine(fd, 9000); });
    Outcome outcome = SendTo(peer.port());
    EXPECT_EQ(outcome.code, 402);
    // The greeting's entry of the command table: 5 s, not more.
    EXPECT_GE(outcome.seconds, 4.8);
    EXPECT_LT(outcome.seconds, 8.0);
}

TEST(SmtpFailure, NoServerListening) {
    Outcome outcome = SendTo(test::UnusedPort());
    // A refused connect is a failed connect, whether connect() or the wait for it sees it.
    EXPECT_EQ(outcome.code, 104);
    EXPECT_NE(outcome.detail.find("refused"), std::string::npos) << outcome.detail;
    EXPECT_LT(outcome.seconds, 4.0);
}

TEST(SmtpFailure, BadServerOrSecuritySetting) {
    EXPECT_EQ(SendTo(25, "").code, 105);
    // Never falls back to plain text for a mode it does not know.
    ScriptedPeer peer([](int, ScriptedPeer&) {});
    Outcome outcome = SendTo(peer.port(), "127.0.0.1", true, true, 7);
    EXPECT_EQ(outcome.code, 414);
    EXPECT_LT(outcome.seconds, 1.0);
}

// A reply that arrives in pieces, including a line split in the middle, is read whole.
TEST(SmtpScripted, RepliesInPiecesAreReadWhole) {
    ScriptedPeer peer([](int fd, ScriptedPeer& p) {
        auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
        ScriptedPeer::Send(fd, "220-mx.zm.test first line\r\n");
        pause();
        ScriptedPeer::Send(fd, "220 ready\r\n");
        p.ReadLine(fd);  // EHLO
        ScriptedPeer::Send(fd, "250-mx.zm.test\r\n250-AU");
        pause();
        ScriptedPeer::Send(fd, "TH LOGIN\r\n250 HELP\r\n");
        p.ReadLine(fd);  // AUTH LOGIN
        ScriptedPeer::Send(fd, "334 VXNlcm5hbWU6\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "334 UGFzc3dvcmQ6\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "235 ok\r\n");
        p.ReadLine(fd);  // MAIL
        ScriptedPeer::Send(fd, "250 ok\r\n");
        p.ReadLine(fd);  // RCPT
        ScriptedPeer::Send(fd, "250 ok\r\n");
        p.ReadLine(fd);  // DATA
        ScriptedPeer::Send(fd, "354 go\r\n");
        for (int i = 0; i < 50 && p.ReadLine(fd) != ".\r\n"; ++i) {
        }
        ScriptedPeer::Send(fd, "250-queued\r\n");
        pause();
        ScriptedPeer::Send(fd, "250 as 42\r\n");
        p.ReadLine(fd);  // QUIT
        ScriptedPeer::Send(fd, "221 bye\r\n");
    });
    EXPECT_EQ(SendTo(peer.port()).code, 0);
    const std::string& received = peer.Received();
    CSmtp probe;
    const std::string expectedStart = "EHLO " + probe.GetLocalHostName() + "\r\nAUTH LOGIN\r\n" +
                                      Base64Encode("user") + "\r\n" + Base64Encode("secret") +
                                      "\r\nMAIL FROM:<alarm@zm.test>\r\n"
                                      "RCPT TO:<op@zm.test>\r\nDATA\r\n";
    EXPECT_EQ(received.substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(received.find("\r\n \r\n\r\n.\r\nQUIT\r\n"), std::string::npos) << received;
}

TEST(SmtpScripted, OverlongReplyIsRefused) {
    ScriptedPeer peer([](int fd, ScriptedPeer& p) {
        std::string lines;
        while (lines.size() < 11000) {
            lines += "220-" + std::string(60, 'x') + "\r\n";
        }
        ScriptedPeer::Send(fd, lines);
        p.ReadLine(fd, 2000);
    });
    EXPECT_EQ(SendTo(peer.port()).code, 408);
}

TEST(SmtpScripted, EhloRefusedEndsWithoutQuit) {
    ScriptedPeer peer([](int fd, ScriptedPeer& p) {
        ScriptedPeer::Send(fd, "220 ready\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "502 not here\r\n");
        p.ReadLine(fd, 2000);  // nothing more may come
    });
    EXPECT_EQ(SendTo(peer.port()).code, 301);
    EXPECT_EQ(peer.Received().find("QUIT"), std::string::npos) << peer.Received();
}

TEST(SmtpScripted, DigestChallengeWithoutNonce) {
    ScriptedPeer peer([](int fd, ScriptedPeer& p) {
        ScriptedPeer::Send(fd, "220 ready\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "250-mx\r\n250 AUTH DIGEST-MD5\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "334 " + Base64Encode("realm=\"r\",qop=\"auth\"") + "\r\n");
        p.ReadLine(fd);  // QUIT
        ScriptedPeer::Send(fd, "221 bye\r\n");
    });
    EXPECT_EQ(SendTo(peer.port()).code, 207);
    EXPECT_NE(peer.Received().find("AUTH DIGEST-MD5\r\nQUIT\r\n"), std::string::npos)
        << peer.Received();
}

TEST(SmtpScripted, SilentAfterDataUsesTheDataTimeOut) {
    ScriptedPeer peer([](int fd, ScriptedPeer& p) {
        ScriptedPeer::Send(fd, "220 ready\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "250 mx\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "250 ok\r\n");
        p.ReadLine(fd);
        ScriptedPeer::Send(fd, "250 ok\r\n");
        p.ReadLine(fd);        // DATA, left unanswered
        p.ReadLine(fd, 8000);  // QUIT
        ScriptedPeer::Send(fd, "221 bye\r\n");
    });
    Outcome outcome = SendTo(peer.port());
    EXPECT_EQ(outcome.code, 402);
    // 2 s for the reply to DATA, then a prompt QUIT.
    EXPECT_GE(outcome.seconds, 1.8);
    EXPECT_LT(outcome.seconds, 4.5);
    EXPECT_NE(peer.Received().find("DATA\r\nQUIT\r\n"), std::string::npos) << peer.Received();
}

}  // namespace
}  // namespace zm
