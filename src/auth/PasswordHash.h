#pragma once

#include <string>

namespace zm::auth {

// Argon2id through libsodium's crypto_pwhash_str: the stored text carries its own salt
// and parameters, so a later change of the costs below leaves old hashes valid.
//
// Costs: 2 passes over 19 MiB, one lane (the OWASP recommendation for Argon2id); a
// sign-in costs some tens of milliseconds here, and the memory bounds how many run at once.
inline constexpr unsigned long long kHashOpsLimit = 2;
inline constexpr std::size_t kHashMemLimit = 19u * 1024u * 1024u;

// Empty when hashing failed (out of memory).
std::string HashPassword(const std::string& password);
bool VerifyPassword(const std::string& hash, const std::string& password);
// Whether `hash` is a text crypto_pwhash_str_verify can check.
bool LooksLikeHash(const std::string& hash);

}  // namespace zm::auth
