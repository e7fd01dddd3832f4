#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "notify/Smtp.h"

namespace zm {
namespace {

// The header is built from local time; pin the zone so the expected text is fixed.
class SmtpHeaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        hadTz_ = tz != nullptr;
        if (hadTz_) {
            oldTz_ = tz;
        }
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) {
            setenv("TZ", oldTz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    bool hadTz_ = false;
    std::string oldTz_;
};

constexpr long long k2024Mar05At070809 = 1709622489;  // 2024-03-05 07:08:09 UTC

TEST_F(SmtpHeaderTest, FullHeaderByteForByte) {
    CSmtp smtp;
    smtp.SetFromName("ZorManager");
    smtp.SetFromAddress("alarm@zm.test");
    smtp.SetMailerName("ZorManager 6");
    smtp.SetReplyAddress("noreply@zm.test");
    smtp.SetPriority(2);
    smtp.AddTo("op1@zm.test", "Operator One");
    smtp.AddTo("op2@zm.test");
    smtp.SetSubjectLine("Alarm at Pier 7");
    smtp.SetBodyCharset("UTF-8");
    EXPECT_EQ(smtp.BuildHeader(k2024Mar05At070809),
              "Date: 5 Mar 2024 7:8:9\r\n"
              "From: ZorManager <alarm@zm.test>\r\n"
              "X-Mailer: ZorManager 6\r\n"
              "Reply-To: noreply@zm.test\r\n"
              "X-Priority: 2 (High)\r\n"
              "To: Operator One<op1@zm.test>,<op2@zm.test>\r\n"
              "Subject: Alarm at Pier 7\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-type: text/plain; charset=\"UTF-8\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n");
}

TEST_F(SmtpHeaderTest, MinimalHeaderKeepsItsFixedLines) {
    CSmtp smtp;
    smtp.SetFromAddress("a@zm.test");
    smtp.AddTo("b@zm.test");
    // 2001-12-31 23:59:59 UTC: two-digit fields stay as they are.
    EXPECT_EQ(smtp.BuildHeader(1009843199),
              "Date: 31 Dec 2001 23:59:59\r\n"
              "From:  <a@zm.test>\r\n"
              "X-Priority: 3 (Normal)\r\n"
              "To: <b@zm.test>\r\n"
              "Subject:  \r\n"
              "MIME-Version: 1.0\r\n"
              "Content-type: text/plain; charset=\"US-ASCII\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n");
}

TEST_F(SmtpHeaderTest, PriorityLine) {
    const std::pair<int, const char*> cases[] = {
        {1, "X-Priority: 3 (Normal)\r\n"}, {2, "X-Priority: 2 (High)\r\n"},
        {3, "X-Priority: 3 (Normal)\r\n"}, {4, "X-Priority: 4 (Low)\r\n"},
        {5, "X-Priority: 3 (Normal)\r\n"}, {-1, "X-Priority: 3 (Normal)\r\n"},
    };
    for (const auto& [priority, line] : cases) {
        CSmtp smtp;
        smtp.SetFromAddress("a@zm.test");
        smtp.AddTo("b@zm.test");
        smtp.SetPriority(priority);
        EXPECT_NE(smtp.BuildHeader(k2024Mar05At070809).find(line), std::string::npos) << priority;
    }
}

TEST_F(SmtpHeaderTest, LineEndsInFieldsCannotInjectHeaderLines) {
    CSmtp smtp;
    smtp.SetFromAddress("a@zm.test");
    smtp.AddTo("b@zm.test", "Ops\r\nBcc: evil@x.test");
    smtp.SetSubjectLine("Pier 7\r\nBcc: evil@x.test");
    std::string header = smtp.BuildHeader(k2024Mar05At070809);
    EXPECT_EQ(header.find("\r\nBcc:"), std::string::npos);
    EXPECT_NE(header.find("Subject: Pier 7  Bcc: evil@x.test\r\n"), std::string::npos);
}

TEST_F(SmtpHeaderTest, ClockAtOrBeforeTheEpochIsAnError) {
    CSmtp smtp;
    for (long long t : {0LL, -5LL}) {
        try {
            smtp.BuildHeader(t);
            ADD_FAILURE() << "no error for " << t;
        } catch (const ECSmtp& e) {
            EXPECT_EQ(e.GetErrorNum(), 409);
            EXPECT_EQ(e.GetErrorText(), "time() error");
        }
    }
}

TEST(SmtpErrorText, CodesAndTheirTexts) {
    const std::pair<int, const char*> cases[] = {
        {0, ""},
        {102, "Function send() failed"},
        {203, "Undefined at least one reciepent"},
        {209, "Undefined recipent mail"},
        {300, "Server returned error after sending MAIL FROM"},
        {309, "Server returned error after sending RCPT TO"},
        {400, "Server has closed the connection"},
        {402, "Server not responding"},
        {407, "Undefined xyz SMTP response"},
        {414, "SSL problem"},
        {416, "The STARTTLS command is not supported by the server"},
        {417, "AUTH LOGIN is not supported by the server"},
        {109, "Undefined error id"},
        {403, "Undefined error id"},
        {999, "Undefined error id"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(CSmtp::GetErrorText(code), text) << code;
    }
}

TEST(SmtpRecipients, EmptyMailIsRefused) {
    CSmtp smtp;
    try {
        smtp.AddTo("", "Nobody");
        FAIL() << "no error";
    } catch (const ECSmtp& e) {
        EXPECT_EQ(e.GetErrorNum(), 209);
    }
}

}  // namespace
}  // namespace zm
