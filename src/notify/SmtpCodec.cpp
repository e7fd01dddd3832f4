#include "notify/SmtpCodec.h"

#include <openssl/evp.h>

#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "base/Printf.h"

namespace zm {

namespace {

std::string ToHex(const unsigned char* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[data[i] >> 4];
        hex += kDigits[data[i] & 0x0f];
    }
    return hex;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    // EVP_EncodeBlock writes 4 characters per started group of 3 bytes and a NUL.
    std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
    int written = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(written));
}

std::optional<std::string> Base64Decode(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    if (text.empty()) {
        return std::string();
    }
    std::vector<unsigned char> out(3 * (text.size() / 4) + 1);
    int written = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (written < 0) {
        return std::nullopt;
    }
    // EVP_DecodeBlock counts the padding as zero bytes; drop them.
    size_t size = static_cast<size_t>(written);
    for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i) {
        --size;
    }
    return std::string(reinterpret_cast<const char*>(out.data()), size);
}

std::string Md5Raw(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1) {
        throw std::runtime_error("MD5 is not available");
    }
    return std::string(reinterpret_cast<const char*>(digest), size);
}

std::string Md5Hex(std::string_view bytes) {
    std::string raw = Md5Raw(bytes);
    return ToHex(reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
}

std::string HmacMd5Hex(std::string_view key, std::string_view message) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    size_t size = 0;
    // A zero-length key is legal for HMAC but OpenSSL wants a non-null pointer.
    static const unsigned char kEmpty = 0;
    const void* keyData = key.empty() ? &kEmpty : static_cast<const void*>(key.data());
    if (EVP_Q_mac(nullptr, "HMAC", nullptr, "MD5", nullptr, keyData, key.size(),
                  reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac,
                  sizeof mac, &size) == nullptr) {
        throw std::runtime_error("HMAC-MD5 is not available");
    }
    return ToHex(mac, size);
}

bool ReplyHasKeyword(std::string_view reply, std::string_view keyword) {
    if (keyword.empty() || reply.size() < keyword.size() + 1) {
        return false;
    }
    for (size_t pos = 1; pos + keyword.size() <= reply.size(); ++pos) {
        char before = reply[pos - 1];
        if (before != ' ' && before != '-' && before != '=') {
            continue;
        }
        bool same = true;
        for (size_t i = 0; i < keyword.size() && same; ++i) {
            same = Lower(reply[pos + i]) == Lower(keyword[i]);
        }
        if (!same) {
            continue;
        }
        size_t end = pos + keyword.size();
        if (end == reply.size()) {
            return true;
        }
        char after = reply[end];
        if (after == ' ' || after == '=' || after == '\r' || after == '\n') {
            return true;
        }
    }
    return false;
}

std::optional<int> FinalReplyCode(std::string_view reply) {
    size_t start = 0;
    while (start < reply.size()) {
        size_t eol = reply.find('\n', start);
        if (eol == std::string_view::npos) {
            return std::nullopt;  // the rest is an incomplete line: more data is due
        }
        std::string_view line = reply.substr(start, eol - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        start = eol + 1;
        if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
            !std::isdigit(static_cast<unsigned char>(line[1])) ||
            !std::isdigit(static_cast<unsigned char>(line[2]))) {
            continue;
        }
        if (line.size() == 3 || line[3] == ' ') {
            return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        }
    }
    return std::nullopt;
}

std::string CramMd5Response(std::string_view login, std::string_view password,
                            std::string_view challenge) {
    std::string response(login);
    response += ' ';
    response += HmacMd5Hex(password, challenge);
    return response;
}

std::optional<DigestChallenge> ParseDigestChallenge(std::string_view challenge) {
    // Both values are quoted strings; a directive without its opening quote is as unusable
    // as one without its closing quote.
    auto quoted = [&](std::string_view name, bool& present) -> std::optional<std::string> {
        std::string key = std::string(name) + "=\"";
        size_t pos = challenge.find(key);
        present = pos != std::string_view::npos;
        if (!present) {
            return std::nullopt;
        }
        size_t begin = pos + key.size();
        size_t end = challenge.find('"', begin);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        return std::string(challenge.substr(begin, end - begin));
    };
    DigestChallenge result;
    bool present = false;
    auto nonce = quoted("nonce", present);
    if (!nonce) {
        return std::nullopt;
    }
    result.nonce = *nonce;
    auto realm = quoted("realm", present);
    if (present && !realm) {
        return std::nullopt;
    }
    if (realm) {
        result.realm = *realm;
    }
    return result;
}

std::string DigestMd5Response(std::string_view login, std::string_view password,
                              const DigestChallenge& challenge, std::string_view cnonce,
                              std::string_view digestUri) {
    const std::string nc = StrPrintf("%08d", 1);
    const std::string qop = "auth";
    std::string a1 =
        Md5Raw(std::string(login) + ":" + challenge.realm + ":" + std::string(password));
    a1 += ":" + challenge.nonce + ":" + std::string(cnonce);
    const std::string ha1 = Md5Hex(a1);
    const std::string ha2 = Md5Hex("AUTHENTICATE:" + std::string(digestUri));
    const std::string response = Md5Hex(ha1 + ":" + challenge.nonce + ":" + nc + ":" +
                                        std::string(cnonce) + ":" + qop + ":" + ha2);
    std::string text = "charset=utf-8,username=\"" + std::string(login) + "\"";
    if (!challenge.realm.empty()) {
        text += ",realm=\"" + challenge.realm + "\"";
    }
    text += ",nonce=\"" + challenge.nonce + "\"";
    text += ",nc=" + nc;
    text += ",cnonce=\"" + std::string(cnonce) + "\"";
    text += ",digest-uri=\"" + std::string(digestUri) + "\"";
    text += ",response=" + response;
    text += ",qop=" + qop;
    return text;
}

}  // namespace zm
