#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zm {

// Text and digest helpers of the mail client. The digests and Base64 come from OpenSSL;
// these functions only adapt them to the strings the dialogue works with.

// Standard Base64 with "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);
// Decodes standard Base64; surrounding white space is ignored. Empty optional when the
// text is not valid Base64.
std::optional<std::string> Base64Decode(std::string_view text);

// MD5 as 16 raw bytes and as 32 lower-case hexadecimal characters.
std::string Md5Raw(std::string_view bytes);
std::string Md5Hex(std::string_view bytes);
// HMAC-MD5 (a key longer than the 64-byte block is first replaced by its MD5), as 32
// lower-case hexadecimal characters.
std::string HmacMd5Hex(std::string_view key, std::string_view message);

// True when `keyword` occurs in `reply` (case-insensitively) at a position other than the
// very first, preceded by a blank, "-" or "=" and followed by a blank, "=" or a line end.
// This is how the capabilities of an EHLO reply are recognised.
bool ReplyHasKeyword(std::string_view reply, std::string_view keyword);

// Looks for the final line of a (possibly multi-line) reply: a complete line whose first
// three characters are digits and whose fourth is a blank or the line end. Returns the
// three-digit code, or nothing while the reply is still incomplete.
std::optional<int> FinalReplyCode(std::string_view reply);

// The response line of the CRAM-MD5 mechanism (before Base64): login, one blank and the
// HMAC-MD5 of the challenge keyed with the password.
std::string CramMd5Response(std::string_view login, std::string_view password,
                            std::string_view challenge);

// The fields a DIGEST-MD5 challenge provides. Empty optional when the challenge carries no
// usable nonce or an unterminated realm.
struct DigestChallenge {
    std::string nonce;
    std::string realm;
};
std::optional<DigestChallenge> ParseDigestChallenge(std::string_view challenge);

// The DIGEST-MD5 response text (before Base64), qop "auth", nonce count 1.
std::string DigestMd5Response(std::string_view login, std::string_view password,
                              const DigestChallenge& challenge, std::string_view cnonce,
                              std::string_view digestUri);

}  // namespace zm
