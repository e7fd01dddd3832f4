// What a mail server answers: the end of a (multi-line) reply and its code, the
// capabilities of the EHLO reply, and the Base64 challenges of the login mechanisms with
// the DIGEST-MD5 fields inside them.
#include <array>
#include <string>

#include "FuzzSupport.h"
#include "notify/SmtpCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply = zm::fuzz::AsText(data, size);
    if (std::optional<int> code = zm::FinalReplyCode(reply))
        ZM_FUZZ_REQUIRE(*code >= 0 && *code <= 999);
    static constexpr std::array<std::string_view, 6> kKeywords{
        "STARTTLS", "AUTH", "LOGIN", "PLAIN", "CRAM-MD5", "DIGEST-MD5"};
    for (std::string_view keyword : kKeywords)
        zm::ReplyHasKeyword(reply, keyword);

    // A 334 reply's text is a Base64 challenge.
    std::string_view text = reply.size() > 4 && reply.starts_with("334") ? reply.substr(4) : reply;
    std::optional<std::string> challenge = zm::Base64Decode(text);
    if (challenge) {
        std::optional<std::string> again = zm::Base64Decode(zm::Base64Encode(*challenge));
        ZM_FUZZ_REQUIRE(again && *again == *challenge);
        zm::CramMd5Response("duty", "secret", *challenge);
    }
    const std::string decoded = challenge.value_or(std::string());
    for (std::string_view digest : {std::string_view(decoded), reply}) {
        if (std::optional<zm::DigestChallenge> parsed = zm::ParseDigestChallenge(digest)) {
            ZM_FUZZ_REQUIRE(parsed->nonce.find('"') == std::string::npos);
            zm::DigestMd5Response("duty", "secret", *parsed, "0a4f113b", "smtp/127.0.0.1");
        }
    }
    return 0;
}
