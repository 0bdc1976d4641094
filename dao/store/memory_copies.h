#pragma once
// Scratch copies held in this process's memory instead of a file. A copy is SQLite's in-memory file (its
// memdb file system) under a name only this process sees, registered under the host path it stands for, so
// that every opening of that path (a connection, an attachment, the source of a compaction) reaches the
// same bytes. Nothing of it is ever on disk: it goes with the process, and with DropMemoryCopy.

#include <cstdint>
#include <string>

namespace ledrana::dao::detail {

// Copies the SQLite file at sourceHost into memory under `host`. False, with nothing held, when the file
// is larger than `limit`, is not a SQLite file in rollback-journal mode, or cannot be read whole (then a
// copy on disk must do).
bool CopyIntoMemory(const std::string& sourceHost, const std::string& host, std::uintmax_t limit);
// Frees the copy registered under host; nothing when there is none.
void DropMemoryCopy(const std::string& host);
bool IsMemoryCopy(const std::string& host);

// The name sqlite3_open_v2 (with SQLITE_OPEN_URI) takes for host: the copy in memory, or the file.
std::string SqliteOpenName(const std::string& host);
// A URI that names host to any connection, whatever file system its main file lives in (an attachment, the
// target of VACUUM INTO): the copy in memory, or the file through the default file system; read-only when
// asked.
std::string SqliteUri(const std::string& host, bool readOnly);

} // namespace ledrana::dao::detail
