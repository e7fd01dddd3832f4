#include "notify/SmtpCodec.h"

#include <gtest/gtest.h>

namespace zm {
namespace {

TEST(SmtpBase64, EncodesAndDecodesReferenceVectors) {
    // RFC 4648, section 10.
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Encode(plain), encoded) << plain;
        auto decoded = Base64Decode(encoded);
        ASSERT_TRUE(decoded.has_value()) << encoded;
        EXPECT_EQ(*decoded, plain) << encoded;
    }
}

TEST(SmtpBase64, KeepsNulBytesAndRejectsMalformedText) {
    const std::string withNul("\0user\0pass", 10);
    EXPECT_EQ(Base64Encode(withNul), "AHVzZXIAcGFzcw==");
    EXPECT_EQ(Base64Decode("AHVzZXIAcGFzcw==\r\n").value(), withNul);
    EXPECT_FALSE(Base64Decode("Zm9").has_value());
    EXPECT_FALSE(Base64Decode("Zm9v!!!!").has_value());
}

TEST(SmtpDigests, MatchPublishedVectors) {
    // RFC 1321 appendix A.5 and RFC 2202 section 2.
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Raw("abc").size(), 16u);
    EXPECT_EQ(HmacMd5Hex("Jefe", "what do ya want for nothing?"),
              "750c783e6ab0b503eaa86e310a5db738");
    // A key longer than the block is hashed first.
    EXPECT_EQ(HmacMd5Hex(std::string(80, '\xaa'),
                         "Test Using Larger Than Block-Size Key - Hash Key First"),
              "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
}

TEST(SmtpCramMd5, MatchesTheExampleOfItsRfc) {
    // RFC 2195, section 2.
    EXPECT_EQ(
        CramMd5Response("tim", "tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>"),
        "tim b913a602c7eda7a495b4e6e7334d3890");
}

TEST(SmtpDigestMd5, MatchesTheExampleOfItsRfc) {
    // RFC 2831, section 4 (IMAP example; the arithmetic is the same for SMTP).
    auto challenge = ParseDigestChallenge(
        "realm=\"elwood.innosoft.com\",nonce=\"OA6MG9tEQGm2hh\",qop=\"auth\","
        "algorithm=md5-sess,charset=utf-8");
    ASSERT_TRUE(challenge.has_value());
    EXPECT_EQ(challenge->realm, "elwood.innosoft.com");
    EXPECT_EQ(challenge->nonce, "OA6MG9tEQGm2hh");
    EXPECT_EQ(DigestMd5Response("chris", "secret", *challenge, "OA6MHXh6VqTrRk",
                                "imap/elwood.innosoft.com"),
              "charset=utf-8,username=\"chris\",realm=\"elwood.innosoft.com\","
              "nonce=\"OA6MG9tEQGm2hh\",nc=00000001,cnonce=\"OA6MHXh6VqTrRk\","
              "digest-uri=\"imap/elwood.innosoft.com\","
              "response=d388dad90d4bbd760a152321f2143af7,qop=auth");
}

TEST(SmtpDigestMd5, ChallengeParsing) {
    struct Case {
        const char* challenge;
        bool valid;
        const char* nonce;
        const char* realm;
    };
    const Case cases[] = {
        {"nonce=\"abc\",qop=\"auth\"", true, "abc", ""},
        {"realm=\"r.example\",nonce=\"n1\"", true, "n1", "r.example"},
        {"qop=\"auth\"", false, "", ""},
        {"nonce=\"unterminated", false, "", ""},
        {"nonce=\"n\",realm=\"unterminated", false, "", ""},
        {"nonce=unquoted,qop=auth", false, "", ""},
    };
    for (const auto& c : cases) {
        auto parsed = ParseDigestChallenge(c.challenge);
        ASSERT_EQ(parsed.has_value(), c.valid) << c.challenge;
        if (c.valid) {
            EXPECT_EQ(parsed->nonce, c.nonce) << c.challenge;
            EXPECT_EQ(parsed->realm, c.realm) << c.challenge;
        }
    }
}

TEST(SmtpReplyKeywords, FollowTheCapabilitySearchRule) {
    struct Case {
        const char* reply;
        const char* keyword;
        bool found;
    };
    const Case cases[] = {
        {"250-mx.example\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n", "AUTH", true},
        {"250-mx.example\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n", "LOGIN", true},
        {"250-mx.example\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n", "PLAIN", true},
        {"250-mx.example\r\n250-AUTH=login\r\n250 OK\r\n", "LOGIN", true},
        {"250-mx.example\r\n250 starttls\r\n", "STARTTLS", true},
        {"250-mx.example\r\n250-AUTH CRAM-MD5 DIGEST-MD5\r\n250 OK\r\n", "CRAM-MD5", true},
        {"250-mx.example\r\n250-AUTH CRAM-MD5 DIGEST-MD5\r\n250 OK\r\n", "DIGEST-MD5", true},
        // Part of a longer word, at the very start, or without a separator before it.
        {"250-mx.example\r\n250-AUTH XLOGIN PLAINTEXT\r\n250 OK\r\n", "LOGIN", false},
        {"250-mx.example\r\n250-AUTH XLOGIN PLAINTEXT\r\n250 OK\r\n", "PLAIN", false},
        {"AUTH LOGIN\r\n", "AUTH", false},
        {"250-mx.example\r\n250-AUTHX LOGIN\r\n250 OK\r\n", "AUTH", false},
        {"250-mx.example\r\n250 8BITMIME\r\n", "STARTTLS", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplyHasKeyword(c.reply, c.keyword), c.found) << c.reply << " / " << c.keyword;
    }
}

TEST(SmtpReplyLines, FinalLineEndsTheReply) {
    struct Case {
        const char* reply;
        int code;  // -1: incomplete, more data is due
    };
    const Case cases[] = {
        {"220 ready\r\n", 220},
        {"250-first\r\n250 last\r\n", 250},
        {"250-first\r\n", -1},
        {"250-first\r\n250 la", -1},
        {"", -1},
        {"354\r\n", 354},
        {"250-a\r\n250-b\r\n235 ok\r\n", 235},
        {"garbage\r\n221 bye\r\n", 221},
        {"25\r\n", -1},
    };
    for (const auto& c : cases) {
        auto code = FinalReplyCode(c.reply);
        EXPECT_EQ(code.value_or(-1), c.code) << c.reply;
    }
}

}  // namespace
}  // namespace zm
