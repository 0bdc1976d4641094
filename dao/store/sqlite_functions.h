#pragma once
// For a program that reads one of our archives with SQLite directly: the functions and collations that the
// archive's own schema uses (computed fields of a table whose structure change waits for the compaction,
// Decimal columns), registered on its connection. Without them SQLite cannot read such a table.

struct sqlite3;

namespace ledrana::dao {

void RegisterArchiveFunctions(sqlite3* db);

} // namespace ledrana::dao
