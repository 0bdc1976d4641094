#pragma once
// The compaction's copy of an archive file: a new file written in one pass, in which the columns of deleted
// fields leave the rows, values computed until now are stored and waiting indexes are built.

#include "dao/store/completed_nulls.h"
#include "dao/store/sqlite_handle.h"

#include <string>
#include <vector>

namespace ledrana::dao::detail {

// Writes the compacted copy of the archive file `src` (open read-only as `db`, which it closes) into the
// new file `dst`: SQLite's VACUUM INTO when nothing waits, else each table copied as stored or written
// anew. `source` and `destination` are the names shown in errors. Returns the Nulls that the values stored
// complete where they were left to be counted then (store/deferred.cpp).
std::vector<CompletedNulls> WriteCompacted(SqliteDb db, const std::string& src, const std::string& dst,
                                           const std::string& source, const std::string& destination);

} // namespace ledrana::dao::detail
