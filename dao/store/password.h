#pragma once
// The database password of an archive: only a salted hash of it is kept, in MSysDb (libsodium's
// crypto_pwhash_str, Argon2id). It guards access through the engine; the file itself is not encrypted.

#include "dao/store/connection.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace ledrana::dao::detail {

// Starts libsodium once per process; 429 when it cannot start.
void StartPasswordHashing();
// The hash an open file keeps; "" when it has no password.
std::string StoredPasswordHash(sqlite3* db);
// Stores the hash of a new password ("" removes the password), inside the caller's transaction.
void StorePassword(Connection& c, std::string_view password);
// True when the password is the one whose hash is given (an Argon2id computation: callers keep what they
// have checked).
bool PasswordMatches(const std::string& hash, std::string_view password);

} // namespace ledrana::dao::detail
