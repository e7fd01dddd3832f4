// The mail client against a real SMTP server (aiosmtpd) on loopback: mechanisms, TLS
// modes, certificate checks and the message as the server receives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <regex>
#include <sstream>

#include "TestPeers.h"
#include "notify/Smtp.h"

namespace zm {
namespace {

using test::SmtpTestServer;

// Self-signed certificates made once for the whole program with the openssl command.
class Certificates {
  public:
    static Certificates& Get() {
        static Certificates instance;
        return instance;
    }
    // Names "localhost" and 127.0.0.1.
    std::string cert() const { return dir_.file("local.pem"); }
    std::string key() const { return dir_.file("local.key"); }
    // Names only "mail.other.test".
    std::string otherCert() const { return dir_.file("other.pem"); }
    std::string otherKey() const { return dir_.file("other.key"); }
    bool ok() const { return ok_; }

  private:
    Certificates() {
        ok_ = Make("local", "localhost", "DNS:localhost,IP:127.0.0.1") &&
              Make("other", "mail.other.test", "DNS:mail.other.test");
    }
    bool Make(const std::string& name, const std::string& cn, const std::string& san) {
        return test::RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                 "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                                 dir_.file(name + ".key"), "-out", dir_.file(name + ".pem"),
                                 "-days", "2", "-subj", "/CN=" + cn, "-addext",
                                 "subjectAltName=" + san}) == 0;
    }
    test::TempDir dir_;
    bool ok_ = false;
};

// Makes the system trust store of OpenSSL (as read at context creation) this one file.
class TrustOnly {
  public:
    explicit TrustOnly(const std::string& file) {
        const char* old = std::getenv("SSL_CERT_FILE");
        had_ = old != nullptr;
        if (had_) {
            old_ = old;
        }
        setenv("SSL_CERT_FILE", file.c_str(), 1);
    }
    ~TrustOnly() {
        if (had_) {
            setenv("SSL_CERT_FILE", old_.c_str(), 1);
        } else {
            unsetenv("SSL_CERT_FILE");
        }
    }

  private:
    bool had_ = false;
    std::string old_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

int CountLinesStartingWith(const std::string& text, const std::string& prefix) {
    auto lines = Lines(text);
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

struct Account {
    std::string host = "127.0.0.1";
    int security = CSmtp::kSecurityNone;
    bool verify = false;
    bool authenticate = true;
    std::string login = "user";
    std::string password = "secret";
};

void Prepare(CSmtp& smtp, const SmtpTestServer& server, const Account& account) {
    smtp.SetServer(account.host, server.port(), account.authenticate);
    smtp.SetSecurity(account.security);
    smtp.SetTlsVerify(account.verify);
    smtp.SetUser(account.login);
    smtp.SetUserPassword(account.password);
    smtp.SetFromName("ZorManager");
    smtp.SetFromAddress("alarm@zm.test");
    smtp.AddTo("op@zm.test", "Operator");
    smtp.SetSubjectLine("Alarm");
    smtp.AddBodyLine("Signal above threshold");
}

// Sends one mail; returns 0 or the error code raised. The object is destroyed (QUIT) before
// this returns.
int Send(const SmtpTestServer& server, const Account& account, std::string* detail = nullptr) {
    CSmtp smtp;
    Prepare(smtp, server, account);
    try {
        smtp.SendMail();
    } catch (const ECSmtp& e) {
        if (detail != nullptr) {
            *detail = e.GetDetail();
        }
        return e.GetErrorNum();
    }
    return 0;
}

struct MechanismCase {
    const char* name;
    const char* offered;
    std::vector<std::string> flags;
    std::string password;
    const char* used;
};

class SmtpMechanism : public ::testing::TestWithParam<MechanismCase> {};

TEST_P(SmtpMechanism, ChosenByPreferenceAndAnsweredCorrectly) {
    const MechanismCase& c = GetParam();
    std::vector<std::string> flags = {"--auth", c.offered, "--password", c.password};
    flags.insert(flags.end(), c.flags.begin(), c.flags.end());
    SmtpTestServer server(flags);
    Account account;
    account.password = c.password;
    ASSERT_EQ(Send(server, account), 0);
    ASSERT_TRUE(server.WaitFor("QUIT"));
    const std::string transcript = server.Transcript();
    EXPECT_EQ(CountLinesStartingWith(transcript, "AUTH "), 1) << transcript;
    EXPECT_NE(transcript.find(std::string("AUTH ") + c.used + "\n"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find(std::string("AUTH-RESULT ") + c.used + " OK user"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("MESSAGE 1 from=alarm@zm.test to=op@zm.test"), std::string::npos)
        << transcript;
}

INSTANTIATE_TEST_SUITE_P(
    Offers, SmtpMechanism,
    ::testing::Values(
        MechanismCase{"Login", "LOGIN", {}, "secret", "LOGIN"},
        MechanismCase{"Plain", "PLAIN", {}, "secret", "PLAIN"},
        MechanismCase{"PlainThenLogin", "PLAIN,LOGIN", {}, "secret", "LOGIN"},
        MechanismCase{"LoginThenPlain", "LOGIN,PLAIN", {}, "secret", "LOGIN"},
        MechanismCase{"DigestThenPlain", "DIGEST-MD5,PLAIN", {}, "secret", "PLAIN"},
        MechanismCase{"CramMd5", "CRAM-MD5", {}, "secret", "CRAM-MD5"},
        // Longer than the HMAC block: the key is hashed first.
        MechanismCase{"CramMd5LongPassword", "CRAM-MD5", {}, std::string(70, 'k'), "CRAM-MD5"},
        MechanismCase{"DigestThenCram", "DIGEST-MD5,CRAM-MD5", {}, "secret", "CRAM-MD5"},
        MechanismCase{"DigestMd5", "DIGEST-MD5", {}, "secret", "DIGEST-MD5"},
        MechanismCase{"DigestMd5NoRealm", "DIGEST-MD5", {"--realm", ""}, "secret", "DIGEST-MD5"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SmtpDialogue, DigestResponseNamesTheServerByAddress) {
    SmtpTestServer server({"--auth", "DIGEST-MD5"});
    ASSERT_EQ(Send(server, Account{}), 0);
    const std::string transcript = server.Transcript();
    EXPECT_NE(transcript.find("digest-uri=\"smtp/127.0.0.1\""), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("DIGEST-RESPONSE charset=utf-8,username=\"user\","
                              "realm=\"zm-test.local\",nonce=\""),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find(",nc=00000001,cnonce=\""), std::string::npos) << transcript;
}

struct RefusalCase {
    const char* offered;
    int code;
};

class SmtpWrongPassword : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SmtpWrongPassword, FailsWithTheMechanismsCode) {
    SmtpTestServer server({"--auth", GetParam().offered, "--password", "right"});
    Account account;
    account.password = "wrong";
    EXPECT_EQ(Send(server, account), GetParam().code);
    ASSERT_TRUE(server.WaitFor("DISCONNECT"));
    EXPECT_EQ(server.Transcript().find("MAIL "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Mechanisms, SmtpWrongPassword,
                         ::testing::Values(RefusalCase{"LOGIN", 406}, RefusalCase{"PLAIN", 302},
                                           RefusalCase{"CRAM-MD5", 406},
                                           RefusalCase{"DIGEST-MD5", 306}),
                         [](const auto& param) {
                             std::string name = param.param.offered;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

struct AccountCase {
    const char* name;
    const char* offered;
    const char* login;
    const char* password;
    int code;
};

class SmtpAccountProblem : public ::testing::TestWithParam<AccountCase> {};

TEST_P(SmtpAccountProblem, RaisedBeforeAnyAuthCommand) {
    const AccountCase& c = GetParam();
    SmtpTestServer server({"--auth", c.offered});
    Account account;
    account.login = c.login;
    account.password = c.password;
    EXPECT_EQ(Send(server, account), c.code);
    ASSERT_TRUE(server.WaitFor("DISCONNECT"));
    EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "AUTH "), 0);
    // The dialogue was open (EHLO done): it is ended politely.
    EXPECT_NE(server.Transcript().find("QUIT"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, SmtpAccountProblem,
                         ::testing::Values(AccountCase{"NoLogin", "LOGIN", "", "secret", 204},
                                           AccountCase{"NoPassword", "LOGIN", "user", "", 205},
                                           AccountCase{"NoKnownMechanism", "XOAUTH2 GSSAPI", "user",
                                                       "secret", 417}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(SmtpDialogue, WithoutAuthOfferedOrWantedNoAuthentication) {
    {
        SCOPED_TRACE("server offers no AUTH, login configured");
        SmtpTestServer server({"--auth", ""});
        ASSERT_EQ(Send(server, Account{}), 0);
        ASSERT_TRUE(server.WaitFor("QUIT"));
        EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "AUTH"), 0);
        EXPECT_NE(server.Transcript().find("MESSAGE 1"), std::string::npos);
    }
    {
        SCOPED_TRACE("server offers AUTH, authentication switched off");
        SmtpTestServer server({"--auth", "LOGIN"});
        Account account;
        account.authenticate = false;
        account.login.clear();
        ASSERT_EQ(Send(server, account), 0);
        ASSERT_TRUE(server.WaitFor("QUIT"));
        EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "AUTH"), 0);
    }
}

TEST(SmtpDialogue, ServerReceivesTheExactMessage) {
    SmtpTestServer server({"--auth", "LOGIN"});
    const long long before = static_cast<long long>(std::time(nullptr));
    {
        CSmtp smtp;
        smtp.SetServer("127.0.0.1", server.port());
        smtp.SetUser("user");
        smtp.SetUserPassword("secret");
        smtp.SetFromName("ZorManager");
        smtp.SetFromAddress("alarm@zm.test");
        smtp.SetMailerName("ZorManager 6");
        smtp.SetReplyAddress("noreply@zm.test");
        smtp.SetPriority(2);
        smtp.SetBodyCharset("UTF-8");
        smtp.AddTo("op1@zm.test", "Operator One");
        smtp.AddTo("op2@zm.test");
        smtp.SetSubjectLine("Alarm at Pier 7");
        smtp.SetMessageId("n1.1709622489@zm.test");
        smtp.AddBodyLine("line one");
        smtp.AddBodyLine("");
        smtp.AddBodyLine("line three");
        smtp.SendMail();
    }
    const long long after = static_cast<long long>(std::time(nullptr));
    const std::string message = server.Message();
    std::smatch date;
    ASSERT_TRUE(std::regex_search(message, date,
                                  std::regex("^Date: ([0-9]+) ([A-Z][a-z]{2}) ([0-9]{4}) "
                                             "([0-9]+):([0-9]+):([0-9]+)\r\n")))
        << message;
    // Without leading zeros, and the sending moment in local time.
    for (int i : {1, 4, 5, 6}) {
        EXPECT_EQ(date[i].str(), std::to_string(std::stoi(date[i].str()))) << date[0];
    }
    bool matchesClock = false;
    for (long long t = before; t <= after && !matchesClock; ++t) {
        CSmtp probe;
        matchesClock = probe.BuildHeader(t).rfind(date[0].str(), 0) == 0;
    }
    EXPECT_TRUE(matchesClock) << date[0];
    EXPECT_EQ(message.substr(static_cast<size_t>(date.length(0))),
              "From: ZorManager <alarm@zm.test>\r\n"
              "X-Mailer: ZorManager 6\r\n"
              "Reply-To: noreply@zm.test\r\n"
              "X-Priority: 2 (High)\r\n"
              "To: Operator One<op1@zm.test>,<op2@zm.test>\r\n"
              "Subject: Alarm at Pier 7\r\n"
              "Message-ID: <n1.1709622489@zm.test>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-type: text/plain; charset=\"UTF-8\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "line one\r\n"
              "\r\n"
              "line three\r\n"
              "\r\n");
    EXPECT_NE(server.Transcript().find("MESSAGE 1 from=alarm@zm.test to=op1@zm.test,op2@zm.test"),
              std::string::npos);
}

TEST(SmtpDialogue, EmptySubjectAndBody) {
    SmtpTestServer server({"--auth", ""});
    {
        CSmtp smtp;
        smtp.SetServer("127.0.0.1", server.port());
        smtp.SetFromAddress("alarm@zm.test");
        smtp.AddTo("op@zm.test");
        smtp.SendMail();
    }
    const std::string message = server.Message();
    const size_t headerEnd = message.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    EXPECT_NE(message.find("\r\nSubject:  \r\n"), std::string::npos) << message;
    EXPECT_NE(message.find("\r\nFrom:  <alarm@zm.test>\r\n"), std::string::npos) << message;
    // One line of a single blank, then the line the end-of-data sequence closes.
    EXPECT_EQ(message.substr(headerEnd + 4), " \r\n\r\n");
}

TEST(SmtpDialogue, BodyLinesWithDotsAndLineEndsArriveIntact) {
    SmtpTestServer server({"--auth", ""});
    {
        CSmtp smtp;
        smtp.SetServer("127.0.0.1", server.port());
        smtp.SetFromAddress("alarm@zm.test");
        smtp.AddTo("op@zm.test");
        smtp.AddBodyLine(".hidden");
        smtp.AddBodyLine(".");
        smtp.AddBodyLine("QUIT");
        smtp.AddBodyLine("a\r\n.\r\nb\nc");
        smtp.AddBodyLine("last");
        smtp.SendMail();
    }
    ASSERT_TRUE(server.WaitFor("QUIT"));
    const std::string message = server.Message();
    const size_t headerEnd = message.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    EXPECT_EQ(message.substr(headerEnd + 4),
              ".hidden\r\n.\r\nQUIT\r\na\r\n.\r\nb\r\nc\r\nlast\r\n\r\n");
    // One message, and the only QUIT is the client's own at the end.
    EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "MESSAGE"), 1);
    EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "QUIT"), 1);
}

class SmtpTls : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Certificates::Get().ok()) {
            FAIL() << "the openssl command could not make the test certificates";
        }
    }
    static std::vector<std::string> TlsFlags(bool implicit, bool other = false) {
        const auto& c = Certificates::Get();
        return {"--auth",
                "LOGIN",
                implicit ? "--implicit-tls" : "--starttls",
                "--cert",
                other ? c.otherCert() : c.cert(),
                "--key",
                other ? c.otherKey() : c.key()};
    }
};

TEST_F(SmtpTls, StartTlsWithoutVerification) {
    SmtpTestServer server(TlsFlags(false));
    Account account;
    account.security = CSmtp::kSecurityStartTls;
    ASSERT_EQ(Send(server, account), 0);
    ASSERT_TRUE(server.WaitFor("QUIT"));
    const auto lines = Lines(server.Transcript());
    // EHLO, STARTTLS, EHLO again inside TLS, then the login.
    std::vector<std::string> commands;
    for (const auto& l : lines) {
        if (l.rfind("EHLO", 0) == 0 || l.rfind("STARTTLS", 0) == 0 || l.rfind("AUTH ", 0) == 0) {
            commands.push_back(l.substr(0, l.find(' ')));
        }
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"EHLO", "STARTTLS", "EHLO", "AUTH"}));
    EXPECT_NE(server.Transcript().find("AUTH-RESULT LOGIN OK user"), std::string::npos);
    EXPECT_NE(server.Transcript().find("MESSAGE 1"), std::string::npos);
}

TEST_F(SmtpTls, ImplicitTlsWithoutVerification) {
    SmtpTestServer server(TlsFlags(true));
    Account account;
    account.security = CSmtp::kSecurityTls;
    ASSERT_EQ(Send(server, account), 0);
    ASSERT_TRUE(server.WaitFor("QUIT"));
    EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "STARTTLS"), 0);
    EXPECT_NE(server.Transcript().find("AUTH-RESULT LOGIN OK user"), std::string::npos);
    EXPECT_NE(server.Transcript().find("MESSAGE 1"), std::string::npos);
}

class SmtpTlsVerify : public SmtpTls, public ::testing::WithParamInterface<bool> {};

TEST_P(SmtpTlsVerify, RefusesAnUntrustedCertificate) {
    const bool implicit = GetParam();
    SmtpTestServer server(TlsFlags(implicit));
    Account account;
    account.security = implicit ? CSmtp::kSecurityTls : CSmtp::kSecurityStartTls;
    account.verify = true;
    account.host = "localhost";
    std::string detail;
    EXPECT_EQ(Send(server, account, &detail), 414);
    EXPECT_NE(detail.find("certificate verif"), std::string::npos) << detail;
    // Nothing secret went out: no login was attempted.
    EXPECT_EQ(CountLinesStartingWith(server.Transcript(), "AUTH"), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, SmtpTlsVerify, ::testing::Bool(), [](const auto& param) {
    return std::string(param.param ? "ImplicitTls" : "StartTls");
});

struct ServerNameCase {
    const char* name;
    const char* host;
    bool other;       // certificate for mail.other.test
    const char* sni;  // expected SNI, nullptr: none
    int code;
};

class SmtpTlsServerName : public SmtpTls, public ::testing::WithParamInterface<ServerNameCase> {};

TEST_P(SmtpTlsServerName, CheckedAgainstTheCertificate) {
    const auto& c = Certificates::Get();
    const ServerNameCase& t = GetParam();
    TrustOnly trust(t.other ? c.otherCert() : c.cert());
    SmtpTestServer server(TlsFlags(true, t.other));
    Account account;
    account.security = CSmtp::kSecurityTls;
    account.verify = true;
    account.host = t.host;
    std::string detail;
    EXPECT_EQ(Send(server, account, &detail), t.code) << detail;
    // The server's handshake ran before the client gave up or ended with QUIT.
    if (t.code == 0) {
        ASSERT_TRUE(server.WaitFor("QUIT"));
    } else {
        ASSERT_TRUE(server.WaitFor("SNI "));
        EXPECT_NE(detail.find("mismatch"), std::string::npos) << detail;
    }
    const std::string transcript = server.Transcript();
    if (t.sni != nullptr) {
        EXPECT_NE(transcript.find(std::string("SNI ") + t.sni + "\n"), std::string::npos)
            << transcript;
    } else {
        EXPECT_EQ(transcript.find("SNI "), std::string::npos) << transcript;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmtpTlsServerName,
    ::testing::Values(ServerNameCase{"HostName", "localhost", false, "localhost", 0},
                      ServerNameCase{"Address", "127.0.0.1", false, nullptr, 0},
                      ServerNameCase{"OtherName", "localhost", true, "localhost", 414}),
    [](const auto& param) { return std::string(param.param.name); });

// The server ends the TLS session and closes while the client still writes: the client
// reports it, and the process is not ended by a broken-pipe signal on its later writes.
TEST_F(SmtpTls, ServerClosingInsideTls) {
    std::vector<std::string> flags = TlsFlags(true);
    flags.push_back("--close-after-ehlo");
    SmtpTestServer server(flags);
    for (int round = 0; round < 3; ++round) {
        Account account;
        account.security = CSmtp::kSecurityTls;
        EXPECT_EQ(Send(server, account), 400);
    }
}

// Writing after the server reset the connection must fail with an error, not end the
// process with a broken-pipe signal; over TLS the library writes through our socket layer.
TEST_F(SmtpTls, WritesAfterAResetDoNotEndTheProcess) {
    for (bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "TLS" : "plain");
        std::vector<std::string> flags =
            tls ? TlsFlags(true) : std::vector<std::string>{"--auth", ""};
        flags.push_back("--reset-at-ehlo");
        SmtpTestServer server(flags);
        CSmtpTransport transport;
        transport.Connect("127.0.0.1", server.port(), 5);
        if (tls) {
            transport.PrepareTls(false);
            transport.Handshake("127.0.0.1", 5);
        }
        int code = 0;
        transport.ReceiveReply(5, code);
        ASSERT_EQ(code, 220);
        transport.SendAll("EHLO zm\r\n", 5);
        try {
            transport.ReceiveReply(5, code);
            ADD_FAILURE() << "reply after a reset";
        } catch (const ECSmtp& e) {
            EXPECT_EQ(e.GetErrorNum(), 400) << e.what();
        }
        for (int i = 0; i < 3; ++i) {
            try {
                transport.SendAll("QUIT\r\n", 5);
                ADD_FAILURE() << "send after a reset succeeded";
            } catch (const ECSmtp& e) {
                EXPECT_TRUE(e.GetErrorNum() == 102 || e.GetErrorNum() == 414) << e.what();
            }
        }
    }
}

TEST_F(SmtpTls, StartTlsRequestedButNotOffered) {
    SmtpTestServer server({"--auth", "LOGIN"});
    Account account;
    account.security = CSmtp::kSecurityStartTls;
    EXPECT_EQ(Send(server, account), 416);
    ASSERT_TRUE(server.WaitFor("DISCONNECT"));
    const std::string transcript = server.Transcript();
    EXPECT_EQ(CountLinesStartingWith(transcript, "AUTH"), 0);
    EXPECT_EQ(CountLinesStartingWith(transcript, "STARTTLS"), 0);
    EXPECT_EQ(CountLinesStartingWith(transcript, "QUIT"), 1);
}

}  // namespace
}  // namespace zm
