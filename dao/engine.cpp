// DBEngine and Database: opening, creating and compacting files, passwords, transactions.

#include "dao/internal.h"
#include "dao/jetsql.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <sodium.h>

#include <algorithm>
#include <thread>

namespace ledrana::dao {

using namespace detail;

namespace detail {

std::string ConnectValue(std::string_view connect, std::string_view key) {
    std::string up = Upper(connect);
    std::string k = Upper(key) + "=";
    std::size_t pos = 0;
    while (pos <= up.size()) {
        std::size_t end = up.find(';', pos);
        if (end == std::string::npos) end = up.size();
        std::string_view part = std::string_view(up).substr(pos, end - pos);
        while (!part.empty() && part.front() == ' ') {
            part.remove_prefix(1);
            ++pos;
        }
        if (part.rfind(k, 0) == 0) return std::string(connect.substr(pos + k.size(), end - pos - k.size()));
        pos = end + 1;
    }
    return {};
}

namespace {

std::string PasswordHash(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    std::string hash;
    if (sqlite3_prepare_v2(db, "SELECT Value FROM MSysDb WHERE Name='Password'", -1, &raw, nullptr) == SQLITE_OK &&
        sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_text(raw, 0))
        hash = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    sqlite3_finalize(raw);
    return hash;
}

std::string HashPassword(std::string_view password) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        ThrowJet(3000, "password");
    return out;
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
    sqlite3* raw = nullptr;
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | (create ? SQLITE_OPEN_CREATE : 0) |
                SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(host.c_str(), &raw, flags, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) ThrowJet(3051, shown);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 3000);
    return db;
}

void Configure(sqlite3* db, bool exclusive) {
    // Rollback journal (the files may live on network shares), full sync at each commit.
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr);
    // Index builds sort with a second thread where the machine has one.
    if (std::thread::hardware_concurrency() > 1) sqlite3_exec(db, "PRAGMA threads=2", nullptr, nullptr, nullptr);
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

bool EngineShared::Verify(const std::string& hash, const std::string& password) {
    for (const auto& [h, p] : verified)
        if (h == hash && p == password) return true;
    if (crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) != 0) return false;
    verified.emplace_back(hash, password);
    return true;
}

// ---- DBEngine -----------------------------------------------------------------------------------------

DBEngine::DBEngine(PathResolver resolver) : shared_(std::make_shared<EngineShared>()) {
    if (sodium_init() < 0) throw Error(429, "Il componente ActiveX non può creare l'oggetto");
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

std::string DBEngine::HostPath(const std::string& path) const { return Resolve(shared_->resolver, path); }

namespace {

// Host path of a database file that must exist: 3044 when its folder is missing, 3024 when it is.
std::string ExistingFile(const DBEngine& engine, const std::string& path) {
    std::string host = engine.HostPath(path);
    std::string win = platform::WindowsPath(host);
    if (platform::FileExists(win)) return host;
    auto slash = host.find_last_of('/');
    std::string folder = slash == std::string::npos || slash == 0 ? "/" : host.substr(0, slash);
    if (!platform::FolderExists(platform::WindowsPath(folder))) ThrowJet(3044, path);
    ThrowJet(3024, path);
}

std::string NewFile(const DBEngine& engine, const std::string& path) {
    std::string host = engine.HostPath(path);
    if (platform::FileExists(platform::WindowsPath(host)) || platform::FolderExists(platform::WindowsPath(host)))
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

Database DBEngine::OpenDatabase(const std::string& path, bool exclusive, bool readOnly, std::string_view connect) {
    std::string host = ExistingFile(*this, path);
    std::string password = ConnectValue(connect, "pwd");
    auto it = shared_->open.find(host);
    if (it != shared_->open.end()) {
        if (auto conn = it->second.lock()) {
            if (conn->exclusive || exclusive) ThrowJet(3356, "Admin", "Ledrana");
            std::string hash = PasswordHash(conn->handle());
            if (!hash.empty() && !shared_->Verify(hash, password)) ThrowJet(3031);
            return MakeDatabase(shared_, conn, path, connect);
        }
        shared_->open.erase(it);
    }
    bool fileReadOnly = false;
    try {
        fileReadOnly = (platform::GetAttr(platform::WindowsPath(host)) & platform::vbReadOnly) != 0;
    } catch (const Error&) {
    }
    if (fileReadOnly && !readOnly) ThrowJet(3051, path);
    auto conn = std::make_shared<Connection>();
    conn->hostPath = host;
    conn->resolve = [r = shared_->resolver](const std::string& p) { return Resolve(r, p); };
    conn->db = OpenSqlite(host, readOnly, false, path);
    conn->readOnly = readOnly || sqlite3_db_readonly(conn->handle(), "main") == 1;
    if (conn->readOnly && !readOnly) ThrowJet(3051, path);
    conn->exclusive = exclusive;
    CheckFormat(conn->handle(), path);
    std::string hash = PasswordHash(conn->handle());
    if (!hash.empty() && !shared_->Verify(hash, password)) ThrowJet(3031);
    Configure(conn->handle(), exclusive);
    conn->LoadCatalog();
    conn->CheckFresh();
    shared_->open[host] = conn;
    return MakeDatabase(shared_, conn, path, connect);
}

Database DBEngine::CreateDatabase(const std::string& path, std::string_view locale, int options) {
    std::string host = NewFile(*this, path);
    auto conn = std::make_shared<Connection>();
    conn->hostPath = host;
    conn->resolve = [r = shared_->resolver](const std::string& p) { return Resolve(r, p); };
    conn->db = OpenSqlite(host, false, true, path);
    Configure(conn->handle(), false);
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

void DBEngine::CompactDatabase(const std::string& source, const std::string& destination, std::string_view dstLocale,
                               int options, std::string_view password) {
    std::string src = ExistingFile(*this, source);
    std::string dst = NewFile(*this, destination);
    std::string pwd = ConnectValue(dstLocale, "pwd");
    bool pwdGiven = !ConnectValue(std::string(dstLocale) + ";", "pwd").empty() ||
                    Upper(dstLocale).find(";PWD=") != std::string::npos;
    if (!pwdGiven) pwd = ConnectValue(password, "pwd");
    // Commit what this engine holds for the source, then copy from a connection of our own.
    if (auto it = shared_->open.find(src); it != shared_->open.end())
        if (auto conn = it->second.lock()) conn->Flush();
    SqliteDb db = OpenSqlite(src, true, false, source);
    CheckFormat(db.get(), source);
    std::string hash = PasswordHash(db.get());
    if (!hash.empty() && !shared_->Verify(hash, pwd)) ThrowJet(3031);
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), "VACUUM INTO ?", -1, &raw, nullptr);
    Stmt s(raw);
    if (rc != SQLITE_OK) ThrowSqlite(db.get(), rc, source);
    sqlite3_bind_text(s.get(), 1, dst.data(), static_cast<int>(dst.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(s.get());
    if (rc != SQLITE_DONE) ThrowSqlite(db.get(), rc, destination);
    s.reset();
    db.reset();
    if (hash.empty() && !pwd.empty()) {
        // A password given for an unprotected source protects the copy.
        SqliteDb out = OpenSqlite(dst, false, false, destination);
        Connection c;
        c.db = std::move(out);
        c.Exec("BEGIN IMMEDIATE");
        StorePassword(c, pwd);
        c.Exec("COMMIT");
    }
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
        if (platform::FileLen(platform::WindowsPath(host)) != std::stoll(pages) * std::stoll(pageSize)) return false;
    } catch (const Error&) {
        return false;
    }
    return single("PRAGMA integrity_check(1)", check) && check == "ok";
}

// ---- Database -----------------------------------------------------------------------------------------

namespace {
DatabaseImpl& Impl(const std::shared_ptr<DatabaseImpl>& p) {
    if (!p) throw Error(91, "Variabile oggetto o variabile del blocco With non impostata");
    return *p;
}
} // namespace

std::string Database::Name() const { return Impl(impl_).name; }
std::string Database::Connect() const { return Impl(impl_).connect; }
bool Database::Updatable() const { return !Impl(impl_).C().readOnly; }
bool Database::IsOpen() const { return impl_ && impl_->open; }

void Database::Execute(std::string_view sql, int options) {
    DatabaseImpl& d = Impl(impl_);
    Connection& c = d.C();
    c.CheckFresh();
    d.recordsAffected = ExecuteJet(c, sql, options);
}

std::int64_t Database::RecordsAffected() const { return Impl(impl_).recordsAffected; }

Recordset Database::OpenRecordset(std::string_view source, int type, int options) {
    Impl(impl_).C().CheckFresh();
    return Recordset(OpenRecordsetImpl(impl_, source, type));
}

void Database::NewPassword(std::string_view oldPassword, std::string_view newPassword) {
    DatabaseImpl& d = Impl(impl_);
    Connection& c = d.C();
    std::string hash = PasswordHash(c.handle());
    if (hash.empty() ? !oldPassword.empty() : !d.engine->Verify(hash, std::string(oldPassword))) ThrowJet(3031);
    c.Ddl([&] { StorePassword(c, newPassword); });
}

void Database::BeginTrans() {
    Connection& c = Impl(impl_).C();
    c.EnsureWritable();
    c.Flush();
    if (c.userDepth == 0) c.Exec("BEGIN IMMEDIATE");
    else c.Exec("SAVEPOINT trans" + std::to_string(c.userDepth));
    ++c.userDepth;
}

void Database::CommitTrans() {
    Connection& c = Impl(impl_).C();
    if (c.userDepth == 0) ThrowJet(3034);
    --c.userDepth;
    if (c.userDepth == 0) c.Exec("COMMIT");
    else c.Exec("RELEASE trans" + std::to_string(c.userDepth));
}

void Database::Rollback() {
    Connection& c = Impl(impl_).C();
    if (c.userDepth == 0) ThrowJet(3034);
    --c.userDepth;
    if (c.userDepth == 0) {
        if (!sqlite3_get_autocommit(c.handle())) c.Exec("ROLLBACK");
    } else {
        c.Exec("ROLLBACK TO trans" + std::to_string(c.userDepth) + "; RELEASE trans" + std::to_string(c.userDepth));
    }
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
            sqlite3_exec(conn->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            conn->userDepth = 0;
            conn->batchOpen = false;
        }
        conn->Flush();
        d.engine->open.erase(conn->hostPath);
    }
}

} // namespace ledrana::dao
