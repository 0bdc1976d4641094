// The database password's hash, kept in MSysDb.

#include "dao/store/password.h"

#include "dao/store/errors.h"

#include <sodium.h>

namespace ledrana::dao::detail {

namespace {

std::string HashPassword(std::string_view password) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        ThrowJet(3000, "password");
    return out;
}

} // namespace

void StartPasswordHashing() {
    if (sodium_init() < 0) throw Error(429, "Il componente ActiveX non può creare l'oggetto");
}

std::string StoredPasswordHash(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    std::string hash;
    if (sqlite3_prepare_v2(db, "SELECT Value FROM MSysDb WHERE Name='Password'", -1, &raw, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_text(raw, 0))
        hash = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    sqlite3_finalize(raw);
    return hash;
}

void StorePassword(Connection& c, std::string_view password) {
    if (password.empty()) {
        c.Exec("DELETE FROM MSysDb WHERE Name='Password'");
        return;
    }
    std::string hash = HashPassword(password);
    sqlite3_stmt* s = c.Prepare("INSERT OR REPLACE INTO MSysDb(Name, Value) VALUES('Password', ?)");
    sqlite3_bind_text(s, 1, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
}

bool PasswordMatches(const std::string& hash, std::string_view password) {
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

} // namespace ledrana::dao::detail
