// Scratch copies held in memory.

#include "dao/store/memory_copies.h"

#include "dao/store/sqlite_handle.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

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
    // Page for page, as the file stands (a reader's snapshot: the archive is reserved by the caller).
    sqlite3_backup* copy = sqlite3_backup_init(keeper.get(), "main", source.get(), "main");
    if (!copy) return false;
    rc = sqlite3_backup_step(copy, -1);
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE) return false;
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
