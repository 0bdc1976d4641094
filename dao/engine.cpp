// DBEngine and Database: opening, creating and compacting files, passwords, transactions. The work on the
// files is the store's (dao/store/compaction.h, password.h, sqlite_locks.h).

#include "dao/engine_jet.h"
#include "dao/recordset_impl.h"
#include "dao/sql/jetsql.h"
#include "platform/files.h"
#include "platform/newfile.h"
#include "platform/paths.h"
#include "platform/vb_errors.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <utility>

namespace ledrana::dao {

using namespace detail;

namespace detail {

namespace {

// Checks that an open SQLite file is one of our databases (3343 otherwise).
void CheckFormat(sqlite3* db, const std::string& path) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT Value FROM MSysDb WHERE Name='Format'", -1, &raw, nullptr);
    Stmt s(raw);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ThrowJet(3045, path);
    if (rc != SQLITE_OK) ThrowJet(3343, path);
    rc = sqlite3_step(s.get());
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ThrowJet(3045, path);
    if (rc != SQLITE_ROW) ThrowJet(3343, path);
}

SqliteDb OpenSqlite(const std::string& host, bool readOnly, bool create, const std::string& shown) {
    // SQLite makes the journal at a fixed name and refuses a link there: one put there is removed.
    const bool inMemory = IsMemoryCopy(host);
    if (!readOnly && !inMemory)
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            platform::RemoveLinkAt(host + suffix);
    sqlite3* raw = nullptr;
    // URIs are taken, for the files attached read-only; a host path never begins with "file:".
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    int rc = sqlite3_open_v2(SqliteOpenName(host).c_str(), &raw, flags, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) ThrowJet(3051, shown);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, static_cast<int>(kBusyWait.count()));
    return db;
}

// A scratch file up to this size keeps its rollback journal in memory: a transaction journals each page of
// the file at most once, so this bounds the memory taken. A larger one keeps it on disk.
constexpr std::uintmax_t kMemoryJournalLimit = 64u << 20;

// DBEngine::ScratchMemoryLimit: the same bound, for a copy held in memory with its journal.
std::atomic<std::uintmax_t> scratchMemoryLimit{kMemoryJournalLimit};

void Configure(sqlite3* db, bool exclusive, bool scratch, bool deferredSync, const std::string& host) {
    // Rollback journal (the files may live on network shares), full sync at each commit. A scratch copy
    // (DBEngine::SetScratch) syncs nothing and writes no journal it need not: what a crash leaves of it is
    // thrown away, while a transaction or a failed statement is still undone as on any file. A file whose
    // commits are synced later (DBEngine::SetDeferredSync) keeps its journal and syncs nothing.
    const char* journal = "PRAGMA journal_mode=DELETE";
    if (IsMemoryCopy(host)) {
        journal = "PRAGMA journal_mode=MEMORY";
    } else if (scratch) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(host, ec);
        journal =
            !ec && size <= kMemoryJournalLimit ? "PRAGMA journal_mode=MEMORY" : "PRAGMA journal_mode=PERSIST";
    }
    sqlite3_exec(db, journal, nullptr, nullptr, nullptr);
    sqlite3_exec(db, scratch || deferredSync ? "PRAGMA synchronous=OFF" : "PRAGMA synchronous=FULL", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr);
    // The SQLite of some systems zeroes every page a deletion frees, which writes a dropped index whole
    // (and journals it) on a file that the compaction rewrites anyway: content is cleared only where that
    // costs no extra write.
    sqlite3_exec(db, "PRAGMA secure_delete=FAST", nullptr, nullptr, nullptr);
    if (exclusive) sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    RegisterJetFunctions(db);
    RegisterEngineFunctions(db);
}

} // namespace

Connection& DatabaseImpl::C() {
    if (!open || !conn) ThrowJet(3420);
    return *conn;
}

void DatabaseImpl::CloseRecordsets() {
    auto list = std::move(recordsets);
    recordsets.clear();
    for (auto& w : list)
        if (auto rs = w.lock(); rs && rs->open) rs->Close();
}

} // namespace detail

bool IsValidName(std::string_view name) {
    return ValidName(name);
}

void EngineShared::ForgetParked(const std::string& host) {
    if (parked && parked->hostPath == host) parked.reset();
}

bool EngineShared::Verify(const std::string& hash, const std::string& password) {
    for (const auto& [h, p] : verified)
        if (h == hash && p == password) return true;
    if (!PasswordMatches(hash, password)) return false;
    verified.emplace_back(hash, password);
    return true;
}

// ---- DBEngine -----------------------------------------------------------------------------------------

DBEngine::DBEngine(PathResolver resolver) : shared_(std::make_shared<EngineShared>()) {
    StartPasswordHashing();
    // Sorts (index builds, the groupings that check keys) of up to 32 MB stay in memory rather than going
    // through temporary files, written and read back; larger ones go on to files, 32 MB at a time, in this
    // thread (a helper thread would hold a second 32 MB while the first is written), so that memory stays
    // the same whatever the archive's size. SQLite takes this before its first use only: a later engine
    // finds it set.
    static const int sorterPages = sqlite3_config(SQLITE_CONFIG_PMASZ, 8192);
    (void)sorterPages;
    // SQLite's count of the memory it holds is kept under a lock taken at every allocation and release;
    // nothing here reads it.
    static const int noMemoryCount = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)noMemoryCount;
    shared_->resolver = std::move(resolver);
}

DBEngine::~DBEngine() = default;

namespace {
std::string Resolve(const PathResolver& resolver, const std::string& path) {
    if (resolver) return resolver(path);
    if (!path.empty() && path[0] == '/') return path;
    try {
        return platform::HostPath(path);
    } catch (const Error&) {
        ThrowJet(3044, path);
    }
}
} // namespace

std::vector<std::string> DBEngine::TakeConversionNotices() {
    return std::exchange(shared_->conversionNotices, {});
}

std::string DBEngine::HostPath(const std::string& path) const {
    return Resolve(shared_->resolver, path);
}

namespace {

// Host path of a database file that must exist: 3044 when its folder is missing, 3024 when it is.
std::string ExistingFile(const DBEngine& engine, const std::string& path) {
    std::string host = engine.HostPath(path);
    if (IsMemoryCopy(host)) return host;
    std::string win = platform::WindowsPath(host);
    if (platform::FileExists(win)) return host;
    auto slash = host.find_last_of('/');
    std::string folder = slash == std::string::npos || slash == 0 ? "/" : host.substr(0, slash);
    if (!platform::FolderExists(platform::WindowsPath(folder))) ThrowJet(3044, path);
    ThrowJet(3024, path);
}

std::string NewFile(const DBEngine& engine, const std::string& path) {
    std::string host = engine.HostPath(path);
    if (IsMemoryCopy(host) || platform::FileExists(platform::WindowsPath(host)) ||
        platform::FolderExists(platform::WindowsPath(host)))
        ThrowJet(3204, path);
    auto slash = host.find_last_of('/');
    std::string folder = slash == std::string::npos || slash == 0 ? "/" : host.substr(0, slash);
    if (!platform::FolderExists(platform::WindowsPath(folder))) ThrowJet(3044, path);
    return host;
}

Database MakeDatabase(const std::shared_ptr<EngineShared>& engine, std::shared_ptr<Connection> conn,
                      const std::string& name, std::string_view connect) {
    auto impl = std::make_shared<DatabaseImpl>();
    impl->engine = engine;
    impl->conn = std::move(conn);
    impl->name = name;
    impl->connect = std::string(connect);
    return Database(impl);
}

} // namespace

void DBEngine::ConvertInPlace(const std::string& path, std::string_view connect) {
    OpenableArchive(*this, *shared_, ExistingFile(*this, path), path, ConnectValue(connect, "pwd"), false);
}

Database DBEngine::OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                std::string_view connect) {
    std::string password = ConnectValue(connect, "pwd");
    std::string host = OpenableArchive(*this, *shared_, ExistingFile(*this, path), path, password, readOnly);
    auto it = shared_->open.find(host);
    if (it != shared_->open.end()) {
        if (auto conn = it->second.lock()) {
            if (conn->exclusive) ThrowJet(3356, path);
            if (exclusive) ThrowJet(3045, path);
            std::string hash = StoredPasswordHash(conn->handle());
            if (!hash.empty() && !shared_->Verify(hash, password)) ThrowJet(3031);
            return MakeDatabase(shared_, conn, path, connect);
        }
        shared_->open.erase(it);
    }
    if (shared_->parked && shared_->parked->hostPath == host) {
        std::shared_ptr<Connection> conn = std::move(shared_->parked);
        if (!exclusive && !readOnly) {
            std::string hash = StoredPasswordHash(conn->handle());
            if (!hash.empty() && !shared_->Verify(hash, password)) ThrowJet(3031);
            conn->CheckFresh();
            shared_->open[host] = conn;
            return MakeDatabase(shared_, conn, path, connect);
        }
    }
    bool fileReadOnly = false;
    try {
        fileReadOnly = (platform::GetAttr(platform::WindowsPath(host)) & platform::vbReadOnly) != 0;
    } catch (const Error&) {
    }
    if (fileReadOnly && !readOnly) ThrowJet(3051, path);
    // What other processes have of the file: their holds (open through an engine) and their SQLite
    // transactions, which an exclusive open must not meet either. A copy in memory is this process's alone.
    platform::FileHold hold;
    if (!IsMemoryCopy(host)) {
        hold = TakeHold(host, exclusive ? platform::HoldMode::Exclusive : platform::HoldMode::Shared, path);
        if (!hold.held()) ThrowJet(exclusive ? 3045 : 3356, path);
        if (exclusive && InTransactionElsewhere(host)) ThrowJet(3045, path);
    }
    auto conn = std::make_shared<Connection>();
    conn->hold = std::move(hold);
    conn->hostPath = host;
    conn->resolve = [r = shared_->resolver](const std::string& p) { return Resolve(r, p); };
    conn->db = OpenSqlite(host, readOnly, false, path);
    conn->readOnly = readOnly || sqlite3_db_readonly(conn->handle(), "main") == 1;
    if (conn->readOnly && !readOnly) ThrowJet(3051, path);
    conn->exclusive = exclusive;
    CheckFormat(conn->handle(), path);
    std::string hash = StoredPasswordHash(conn->handle());
    if (!hash.empty() && !shared_->Verify(hash, password)) ThrowJet(3031);
    Configure(conn->handle(), exclusive, shared_->scratch.count(host) > 0,
              shared_->deferredSync.count(host) > 0, host);
    RefuseUngatedWrites(*conn);
    conn->LoadCatalog();
    conn->CheckFresh();
    if (auto w = shared_->watches.find(host); w != shared_->watches.end()) w->second->Start(*conn);
    shared_->open[host] = conn;
    return MakeDatabase(shared_, conn, path, connect);
}

Database DBEngine::CreateDatabase(const std::string& path, std::string_view locale, int options) {
    std::string host = NewFile(*this, path);
    auto conn = std::make_shared<Connection>();
    conn->hostPath = host;
    conn->resolve = [r = shared_->resolver](const std::string& p) { return Resolve(r, p); };
    conn->db = OpenSqlite(host, false, true, path);
    conn->hold = TakeHold(host, platform::HoldMode::Shared, path);
    Configure(conn->handle(), false, shared_->scratch.count(host) > 0, shared_->deferredSync.count(host) > 0,
              host);
    RefuseUngatedWrites(*conn);
    conn->Exec("BEGIN IMMEDIATE");
    try {
        CreateCatalogTables(*conn);
        StorePassword(*conn, ConnectValue(locale, "pwd"));
        conn->Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(conn->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    conn->LoadCatalog();
    conn->CheckFresh();
    shared_->open[host] = conn;
    return MakeDatabase(shared_, conn, path, locale);
}

void DBEngine::CompactDatabase(const std::string& source, const std::string& destination,
                               std::string_view dstLocale, int options, std::string_view password) {
    std::string given = ExistingFile(*this, source);
    std::string dst = NewFile(*this, destination);
    std::string pwd = ConnectValue(dstLocale, "pwd");
    bool pwdGiven = !ConnectValue(std::string(dstLocale) + ";", "pwd").empty() ||
                    Upper(dstLocale).find(";PWD=") != std::string::npos;
    if (!pwdGiven) pwd = ConnectValue(password, "pwd");
    std::string src = OpenableArchive(*this, *shared_, given, source, pwd, false);
    completedNulls_.clear();
    // The copy replaces the source: no other process may have it open or be inside a transaction on it.
    platform::FileHold hold;
    if (!IsMemoryCopy(src)) {
        hold = TakeHold(src, platform::HoldMode::Exclusive, source);
        if (!hold.held() || InTransactionElsewhere(src)) ThrowJet(3356, source);
    }
    // A connection kept for the source's next opening goes: the copy would otherwise hold it beside its own.
    shared_->ForgetParked(src);
    // Commit what this engine holds for the source, then copy from a connection of our own.
    if (auto it = shared_->open.find(src); it != shared_->open.end())
        if (auto conn = it->second.lock()) conn->Flush();
    SqliteDb db = OpenSqlite(src, true, false, source);
    CheckFormat(db.get(), source);
    std::string hash = StoredPasswordHash(db.get());
    if (!hash.empty() && !shared_->Verify(hash, pwd)) ThrowJet(3031);
    std::vector<CompletedNulls> completed = WriteCompacted(std::move(db), src, dst, source, destination);
    if (hash.empty() && !pwd.empty()) {
        // A password given for an unprotected source protects the copy.
        SqliteDb out = OpenSqlite(dst, false, false, destination);
        Connection c;
        c.db = std::move(out);
        c.Exec("BEGIN IMMEDIATE");
        StorePassword(c, pwd);
        c.Exec("COMMIT");
    }
    completedNulls_ = std::move(completed);
}

void DBEngine::SetScratch(const std::string& path, bool scratch) {
    const std::string host = HostPath(path);
    if (scratch) {
        shared_->scratch.insert(host);
    } else {
        shared_->scratch.erase(host);
        shared_->ForgetParked(host);
        DropMemoryCopy(host);
    }
}

void DBEngine::SetDeferredSync(const std::string& path, bool deferred) {
    const std::string host = HostPath(path);
    if (deferred)
        shared_->deferredSync.insert(host);
    else
        shared_->deferredSync.erase(host);
}

void DBEngine::MakeScratchCopy(const std::string& source, const std::string& copy) {
    const std::string host = HostPath(copy);
    shared_->ForgetParked(host);
    DropMemoryCopy(host); // a new copy replaces any earlier one under the name
    if (!CopyIntoMemory(HostPath(source), host, scratchMemoryLimit))
        platform::CopyToNewScratchFile(source, copy);
    shared_->scratch.insert(host);
}

std::uintmax_t DBEngine::ScratchMemoryLimit() {
    return scratchMemoryLimit;
}

void DBEngine::SetScratchMemoryLimit(std::uintmax_t bytes) {
    scratchMemoryLimit = bytes;
}

namespace {

// True when `name` is a file of its own (no link) that begins with `magic`.
bool FileBeginsWith(const std::string& name, std::string_view magic) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(name, std::ios::binary);
    std::string start(magic.size(), '\0');
    return in.read(start.data(), static_cast<std::streamsize>(start.size())) && start == magic;
}

// What a program that stopped while it wrote a SQLite file may leave beside it: a rollback journal whose
// header is still there (a "hot" journal: the file holds half of a change until SQLite puts back what the
// journal kept), or a write-ahead log (changes committed there and not yet copied into the file). Either way
// the file alone is not the database, and a copy or a link of it alone would keep what it is not. An
// opening of our own settles both, as SQLite does for any program that reads the file: the half-made change
// is undone, the log copied into the file and removed. The caller holds the file, with nobody inside a
// transaction on it. Returns true when a half-made change was undone.
bool SettleLeftovers(const std::string& host, const std::string& shown) {
    static constexpr std::string_view kJournalMagic{"\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8};
    const std::string journal = host + "-journal";
    if (!FileBeginsWith(host, std::string_view("SQLite format 3\0", 16))) return false;
    const bool halfMade = FileBeginsWith(journal, kJournalMagic);
    const bool log = FileBeginsWith(host + "-wal", std::string_view("\x37\x7f\x06", 3));
    if (!halfMade && !log) return false;
    SqliteDb db = OpenSqlite(host, false, false, shown);
    // The first read undoes the half-made change; leaving the log's mode copies the log in and removes it.
    for (const char* sql : {"SELECT count(*) FROM sqlite_schema", "PRAGMA journal_mode=DELETE"})
        if (const int rc = sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ThrowJet(3045, shown);
            ThrowJet(3051, shown);
        }
    db.reset();
    struct stat st {};
    if (FileBeginsWith(journal, kJournalMagic) || ::lstat((host + "-wal").c_str(), &st) == 0)
        ThrowJet(3051, shown);
    return halfMade;
}

} // namespace

FileReservation DBEngine::Reserve(const std::string& path, ReserveHow how) {
    std::string host = ExistingFile(*this, path);
    CheckArchiveForChange(host, path);
    platform::FileHold hold = TakeHold(host, platform::HoldMode::Exclusive, path);
    if (!hold.held() || InTransactionElsewhere(host, how.wait ? kBusyWait : std::chrono::milliseconds{0}))
        ThrowJet(3045, path);
    const bool undone = how.settle && SettleLeftovers(host, path);
    return FileReservation(std::make_shared<platform::FileHold>(std::move(hold)), undone);
}

bool FileReservation::Held() const {
    return impl_ && static_cast<const platform::FileHold*>(impl_.get())->held();
}

void FileReservation::Release() {
    impl_.reset();
}

bool DBEngine::IsWholeDatabase(const std::string& path) const {
    std::string host;
    try {
        host = HostPath(path);
    } catch (const Error&) {
        return false;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(host.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) return false;
    RegisterJetFunctions(raw);
    RegisterEngineFunctions(raw);
    auto single = [&](const char* sql, std::string& out) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql, -1, &st, nullptr) != SQLITE_OK) return false;
        Stmt s(st);
        if (sqlite3_step(s.get()) != SQLITE_ROW) return false;
        const unsigned char* text = sqlite3_column_text(s.get(), 0);
        out = text ? reinterpret_cast<const char*>(text) : "";
        return true;
    };
    std::string format, pages, pageSize, check;
    if (!single("SELECT Value FROM MSysDb WHERE Name='Format'", format)) return false;
    // A copy cut short has fewer pages than its header and schema describe.
    if (!single("PRAGMA page_count", pages) || !single("PRAGMA page_size", pageSize)) return false;
    try {
        if (platform::FileLen(platform::WindowsPath(host)) != std::stoll(pages) * std::stoll(pageSize))
            return false;
    } catch (const Error&) {
        return false;
    }
    return single("PRAGMA integrity_check(1)", check) && check == "ok";
}

// ---- Database -----------------------------------------------------------------------------------------

namespace {
DatabaseImpl& Impl(const std::shared_ptr<DatabaseImpl>& p) {
    if (!p) throw VbError(91);
    return *p;
}
} // namespace

std::string Database::Name() const {
    return Impl(impl_).name;
}
std::string Database::Connect() const {
    return Impl(impl_).connect;
}
bool Database::Updatable() const {
    return !Impl(impl_).C().readOnly;
}
bool Database::IsOpen() const {
    return impl_ && impl_->open;
}

void Database::Execute(std::string_view sql, int options) {
    DatabaseImpl& d = Impl(impl_);
    Connection& c = d.C();
    c.CheckFresh();
    d.recordsAffected = ExecuteJet(c, sql, options);
}

void Database::DeferIndexBuilds(bool on) {
    Impl(impl_).C().deferIndexBuilds = on;
}

void Database::AttachForCopies(const Database& source) {
    Connection& c = Impl(impl_).C();
    Connection& from = Impl(source.impl_).C();
    if (&from == &c) return;
    from.Flush();
    c.AttachHost(from.hostPath, source.Name(), true);
}

std::int64_t Database::RecordsAffected() const {
    return Impl(impl_).recordsAffected;
}

Recordset Database::OpenRecordset(std::string_view source, int type, int options) {
    Impl(impl_).C().CheckFresh();
    return Recordset(OpenRecordsetImpl(impl_, source, type));
}

void Database::NewPassword(std::string_view oldPassword, std::string_view newPassword) {
    DatabaseImpl& d = Impl(impl_);
    Connection& c = d.C();
    std::string hash = StoredPasswordHash(c.handle());
    if (hash.empty() ? !oldPassword.empty() : !d.engine->Verify(hash, std::string(oldPassword)))
        ThrowJet(3031);
    c.Ddl([&] { StorePassword(c, newPassword); });
}

void Database::BeginTrans() {
    Connection& c = Impl(impl_).C();
    c.EnsureWritable();
    c.WriteHeld();
    c.Resync();
    // Grouped writes still pending are not committed first: the transaction goes on in a savepoint of
    // their SQLite transaction and its commit commits them too, before its own changes (one round of syncs
    // instead of two, and a process killed at any moment still leaves a prefix of the operations).
    if (c.userDepth == 0 && !c.batchOpen)
        c.Exec("BEGIN IMMEDIATE");
    else
        c.Exec("SAVEPOINT trans" + std::to_string(c.userDepth));
    ++c.userDepth;
}

void Database::CommitTrans() {
    Connection& c = Impl(impl_).C();
    if (c.userDepth == 0) ThrowJet(3034);
    if (sqlite3_get_autocommit(c.handle())) {
        // SQLite ended the transaction by itself after an error: nothing of it is left to commit.
        c.AbandonTransaction();
        throw LostTransaction();
    }
    c.WriteHeld();
    if (c.userDepth == 1) {
        if (c.batchOpen) {
            c.Exec("RELEASE trans0");
            c.batchOpen = false;
        }
        c.CommitOuter(); // on failure everything is rolled back and the depth is 0
        c.userDepth = 0;
    } else {
        c.Exec("RELEASE trans" + std::to_string(c.userDepth - 1));
        --c.userDepth;
    }
}

void Database::Rollback() {
    Connection& c = Impl(impl_).C();
    if (c.userDepth == 0) ThrowJet(3034);
    // Held saves belong to the innermost level (BeginTrans writes the earlier ones): they are undone with it.
    c.DiscardHeld();
    if (sqlite3_get_autocommit(c.handle())) {
        // SQLite ended the whole transaction by itself after an error: every level is gone.
        c.AbandonTransaction();
        return;
    }
    const int level = c.userDepth - 1;
    const std::string sql = level == 0 && !c.batchOpen ? std::string("ROLLBACK")
                                                       : "ROLLBACK TO trans" + std::to_string(level) +
                                                             "; RELEASE trans" + std::to_string(level);
    int rc = sqlite3_exec(c.handle(), sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Error failure = SqliteError(c.handle(), rc);
        c.AbandonTransaction();
        throw failure;
    }
    c.userDepth = level;
    c.LoadCatalog();
    c.ForgetCounters();
    ++c.writeGeneration;
}

void Database::Close() {
    DatabaseImpl& d = Impl(impl_);
    if (!d.open) ThrowJet(3420);
    d.CloseRecordsets();
    std::shared_ptr<Connection> conn = std::move(d.conn);
    d.open = false;
    if (conn.use_count() > 1) {
        conn->Flush();
    } else {
        // Last user: a pending BeginTrans is rolled back, grouped writes committed.
        if (conn->userDepth > 0) {
            conn->DiscardHeld();
            sqlite3_exec(conn->handle(), conn->batchOpen ? "ROLLBACK TO trans0; RELEASE trans0" : "ROLLBACK",
                         nullptr, nullptr, nullptr);
            conn->userDepth = 0;
        }
        conn->Flush();
        d.engine->open.erase(conn->hostPath);
        if (IsMemoryCopy(conn->hostPath) && !conn->exclusive && !conn->readOnly && conn->attached.empty() &&
            !d.engine->watches.count(conn->hostPath)) {
            // Kept with its catalog and SQLite's schema, not with its pages: they are in memory already.
            sqlite3_db_release_memory(conn->handle());
            d.engine->parked = std::move(conn);
        }
    }
}

} // namespace ledrana::dao
