// Scratch copies held in memory.

#include "dao/store/memory_copies.h"

#include "dao/store/sqlite_handle.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

namespace ledrana::dao::detail {

namespace {

struct MemoryCopy {
    std::string uri; // file:/NAME?vfs=memdb
    SqliteDb keeper; // keeps the bytes alive between the connections that come and go
};

std::mutex copiesMutex;
std::map<std::string, MemoryCopy>& Copies() {
    static std::map<std::string, MemoryCopy> copies;
    return copies;
}

std::string Escaped(const std::string& host) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : host) {
        if (ch == '%' || ch == '?' || ch == '#' || ch < 0x21 || ch >= 0x7f) {
            out += '%';
            out += kHex[ch >> 4];
            out += kHex[ch & 15];
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
}

// A SQLite file whose header says it keeps a rollback journal (bytes 18 and 19 are 1): the only kind SQLite
// holds in memory.
bool RollbackJournalFile(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    char header[20];
    if (!in.read(header, sizeof header)) return false;
    return std::memcmp(header, "SQLite format 3", 16) == 0 && header[18] == 1 && header[19] == 1;
}

// The value of a PRAGMA that reads one number; 0 when it cannot be read.
sqlite3_int64 PragmaValue(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_int64 v = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        v = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return v;
}

} // namespace

bool CopyIntoMemory(const std::string& sourceHost, const std::string& host, std::uintmax_t limit) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(sourceHost, ec);
    if (ec || size > limit || !RollbackJournalFile(sourceHost)) return false;
    static unsigned serial = 0;
    std::string uri;
    {
        std::lock_guard<std::mutex> lock(copiesMutex);
        uri = "file:/ledrana-copy-" + std::to_string(++serial) + "?vfs=memdb";
    }
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(sourceHost.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDb source(raw);
    if (rc != SQLITE_OK) return false;
    raw = nullptr;
    rc = sqlite3_open_v2(uri.c_str(), &raw,
                         SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                         nullptr);
    SqliteDb keeper(raw);
    if (rc != SQLITE_OK) return false;
    // The file as it stands under a reader's lock (the archive is reserved by the caller; a journal left
    // by a crash makes the read fail rather than be skipped), its pages read in large pieces straight into
    // the memory file, which nothing has read yet.
    if (sqlite3_exec(source.get(), "BEGIN; SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        return false;
    const sqlite3_int64 bytes =
        PragmaValue(source.get(), "PRAGMA page_count") * PragmaValue(source.get(), "PRAGMA page_size");
    sqlite3_file* from = nullptr;
    sqlite3_file* to = nullptr;
    if (bytes <= 0 ||
        sqlite3_file_control(source.get(), "main", SQLITE_FCNTL_FILE_POINTER, &from) != SQLITE_OK ||
        sqlite3_file_control(keeper.get(), "main", SQLITE_FCNTL_FILE_POINTER, &to) != SQLITE_OK || !from ||
        !to || !from->pMethods || !to->pMethods)
        return false;
    constexpr sqlite3_int64 kPiece = 1 << 20;
    std::vector<char> piece(static_cast<std::size_t>(std::min(bytes, kPiece)));
    // In order, each page written once: the memory file doubles as it grows, its block moved by the system
    // rather than copied (the programs map a block of a megabyte or more on its own, platform/memory.h).
    // Written last piece first, it took its whole size at once, but zeroed every page before its piece came.
    for (sqlite3_int64 at = 0; at < bytes; at += kPiece) {
        const int n = static_cast<int>(std::min(kPiece, bytes - at));
        if (from->pMethods->xRead(from, piece.data(), n, at) != SQLITE_OK ||
            to->pMethods->xWrite(to, piece.data(), n, at) != SQLITE_OK)
            return false;
    }
    sqlite3_exec(source.get(), "COMMIT", nullptr, nullptr, nullptr);
    std::lock_guard<std::mutex> lock(copiesMutex);
    Copies().insert_or_assign(host, MemoryCopy{uri, std::move(keeper)});
    return true;
}

void DropMemoryCopy(const std::string& host) {
    SqliteDb keeper;
    std::lock_guard<std::mutex> lock(copiesMutex);
    if (auto it = Copies().find(host); it != Copies().end()) {
        keeper = std::move(it->second.keeper);
        Copies().erase(it);
    }
}

bool IsMemoryCopy(const std::string& host) {
    std::lock_guard<std::mutex> lock(copiesMutex);
    return Copies().count(host) > 0;
}

std::string SqliteOpenName(const std::string& host) {
    std::lock_guard<std::mutex> lock(copiesMutex);
    if (auto it = Copies().find(host); it != Copies().end()) return it->second.uri;
    return host;
}

std::string SqliteUri(const std::string& host, bool readOnly) {
    const char* const mode = readOnly ? "&mode=ro" : "";
    {
        std::lock_guard<std::mutex> lock(copiesMutex);
        if (auto it = Copies().find(host); it != Copies().end()) return it->second.uri + mode;
    }
    // A connection whose main file is in memory opens what it attaches there too, unless told otherwise.
    return "file:" + Escaped(host) + "?vfs=" + sqlite3_vfs_find(nullptr)->zName + mode;
}

} // namespace ledrana::dao::detail
