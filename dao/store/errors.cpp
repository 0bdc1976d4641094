// Jet/DAO errors with their descriptions (dao/vb/messages.cpp), and the mapping of SQLite failures onto them.

#include "dao/store/internal.h"

#include "dao/vb/functions.h"
#include "platform/paths.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ledrana::dao {
namespace detail {

Error JetError(int number, std::string_view arg1, std::string_view arg2) {
    return Error(number, JetErrorText(number, arg1, arg2));
}

void ThrowJet(int number, std::string_view arg1, std::string_view arg2) {
    throw JetError(number, arg1, arg2);
}

namespace {
std::string After(const std::string& msg, const char* prefix) {
    auto p = msg.find(prefix);
    if (p == std::string::npos) return {};
    std::string rest = msg.substr(p + std::strlen(prefix));
    return rest;
}

// The Windows name of a connection's main file, for the errors about the file as a whole.
std::string FileName(sqlite3* db) {
    const char* f = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!f || !*f) return {};
    try {
        return platform::WindowsPath(f);
    } catch (const Error&) {
        return f;
    }
}

// A table name given as context (the other contexts are SQL texts).
bool IsName(std::string_view context) {
    return !context.empty() && context.find(' ') == std::string_view::npos;
}

// True when the folder of `file` has no room left, or when the file or its journal has reached the size
// limit of this process.
bool NoRoomFor(const std::string& file) {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        struct stat st {};
        for (const std::string& f : {file, file + "-journal"})
            if (::stat(f.c_str(), &st) == 0 && static_cast<rlim_t>(st.st_size) + 65536 > limit.rlim_cur)
                return true;
    }
    struct statvfs fs {};
    const std::string::size_type slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    return ::statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0;
}

} // namespace

Error SqliteError(sqlite3* db, int rc, std::string_view context) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    int primary = ext & 0xff;
    // The SQL functions report "NNNN description" (or "#NNNN description").
    if (auto raised = vb::FunctionError(msg)) return *raised;
    if (primary == SQLITE_CONSTRAINT) {
        if (ext == SQLITE_CONSTRAINT_NOTNULL) return JetError(3314, After(msg, "failed: "));
        return JetError(3022);
    }
    if (primary == SQLITE_READONLY) return JetError(3027);
    // Refused by RefuseUngatedWrites: a write that did not store a table's waiting values first.
    if (primary == SQLITE_AUTH) return JetError(3000, "scrittura di una tabella con valori in attesa");
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        // Another program holds the file beyond the busy wait: while writing we could not lock the table,
        // while reading someone holds it exclusively.
        if (!IsName(context)) return JetError(3045, FileName(db));
        return JetError(db && !sqlite3_get_autocommit(db) ? 3211 : 3008, context);
    }
    if (primary == SQLITE_FULL) return JetError(3026);
    if (primary == SQLITE_IOERR) {
        // A write refused because the disk (or the file-size limit) is full is a full disk too.
        const int err = db ? sqlite3_system_errno(db) : 0;
        if (err == ENOSPC || err == EFBIG || err == EDQUOT) return JetError(3026);
        // SQLite keeps the error number of the last system call, which a clean-up after the failed write
        // may have replaced: a write that failed where the disk has no room left, or where the file (or its
        // journal) has reached the size this process may give a file, is a full disk all the same.
        if ((ext == SQLITE_IOERR_WRITE || ext == SQLITE_IOERR_FSYNC) && db)
            if (const char* file = sqlite3_db_filename(db, "main"); file && *file && NoRoomFor(file))
                return JetError(3026);
        return JetError(3043, FileName(db));
    }
    if (primary == SQLITE_NOTADB) return JetError(3343, context);
    if (primary == SQLITE_CANTOPEN) return JetError(3051, context);
    if (msg.rfind("no such table: ", 0) == 0) {
        std::string name = After(msg, "no such table: ");
        auto dot = name.find('.');
        if (dot != std::string::npos && name.compare(0, 4, "main") == 0) name = name.substr(dot + 1);
        return JetError(3078, name);
    }
    if (msg.rfind("no such column: ", 0) == 0) return JetError(3061, "1");
    if (msg.rfind("no such function: ", 0) == 0) return JetError(3085, After(msg, "no such function: "));
    if (msg.find("syntax error") != std::string::npos) return JetError(3075, context);
    if (msg.find("datatype mismatch") != std::string::npos) return JetError(3464);
    return Error(3000, JetErrorText(3000, msg));
}

void ThrowSqlite(sqlite3* db, int rc, std::string_view context) {
    throw SqliteError(db, rc, context);
}

} // namespace detail
} // namespace ledrana::dao
