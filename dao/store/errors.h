#pragma once
// The errors of the store: Jet's numbered errors, and SQLite's errors turned into them.

#include "dao/vb/messages.h"
#include "platform/error.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace ledrana::dao::detail {

// ---- Errors ----
[[noreturn]] void ThrowJet(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
Error JetError(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
// Turns the current error of a connection into a Jet error (constraint 3022, "no such table" 3078,
// "no such column" 3061, an error raised by our SQL functions as "NNNN text" its own number...).
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, std::string_view context = {});
// A BeginTrans transaction that SQLite ended by itself after an error (I/O error, disk full).
Error LostTransaction();
// The same error, returned (read it before anything else runs on the connection).
Error SqliteError(sqlite3* db, int rc, std::string_view context = {});

// A string literal for SQL the engine writes itself.
std::string SqlLiteral(std::string_view s);

} // namespace ledrana::dao::detail
