#include "auth/PasswordHash.h"

#include <sodium.h>

namespace zm::auth {

namespace {

bool Ready() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

}  // namespace

std::string HashPassword(const std::string& password) {
    if (!Ready()) {
        return {};
    }
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), kHashOpsLimit, kHashMemLimit,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return {};
    }
    return out;
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
    if (!Ready() || !LooksLikeHash(hash)) {
        return false;
    }
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool LooksLikeHash(const std::string& hash) {
    return hash.size() < crypto_pwhash_STRBYTES && hash.rfind("$argon2id$", 0) == 0 &&
           hash.find_first_of(" \t\r\n:") == std::string::npos;
}

}  // namespace zm::auth
