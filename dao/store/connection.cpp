// The connection of one open file: statements, grouped writes, temporary views for saved queries and
// attached tables, counters.

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"

#include <limits>

namespace ledrana::dao::detail {

Connection::~Connection() {
    if (!db) return;
    if (userDepth > 0) DiscardHeld();
    try {
        WriteHeld();
    } catch (...) {
    }
    if (userDepth > 0) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    } else if (batchOpen) {
        sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr);
    }
    queryPool.clear();
    cache.clear();
}

void Connection::Exec(const std::string& sql) {
    if (held.active) WriteHeld();
    char* err = nullptr;
    int rc = sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, &err);
    if (err) sqlite3_free(err);
    if (rc != SQLITE_OK) ThrowSqlite(handle(), rc);
}

sqlite3_stmt* Connection::Prepare(const std::string& sql) {
    if (held.active) WriteHeld();
    auto it = cache.find(sql);
    if (it != cache.end()) {
        sqlite3_reset(it->second.get());
        sqlite3_clear_bindings(it->second.get());
        return it->second.get();
    }
    if (cache.size() > 400) cache.clear();
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v3(handle(), sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    if (rc != SQLITE_OK) {
        if (raw) sqlite3_finalize(raw);
        ThrowSqlite(handle(), rc, sql);
    }
    return cache.emplace(sql, Stmt(raw)).first->second.get();
}

namespace {

// The name in "no such table: X" ("main." removed), or "".
std::string MissingTable(sqlite3* db) {
    std::string msg = sqlite3_errmsg(db);
    const std::string prefix = "no such table: ";
    if (msg.rfind(prefix, 0) != 0) return {};
    std::string name = msg.substr(prefix.size());
    if (name.rfind("main.", 0) == 0) name = name.substr(5);
    return name;
}

} // namespace

Stmt Connection::PrepareJet(const std::string& sql) {
    if (held.active) WriteHeld();
    for (int attempt = 0; attempt < 64; ++attempt) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(handle(), sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
        if (rc == SQLITE_OK) return Stmt(raw);
        if (raw) sqlite3_finalize(raw);
        std::string missing = MissingTable(handle());
        if (missing.empty()) ThrowSqlite(handle(), rc, sql);
        // A saved query or an attached table named in the statement: make a temporary view of it.
        std::string body;
        if (QueryState* q = catalog.FindQuery(missing)) {
            JetStatement st = Translate(*this, q->sql);
            if (!st.parameters.empty()) ThrowJet(3061, std::to_string(st.parameters.size()));
            if (st.kind == JetStatement::Kind::Crosstab) {
                ResolveCrosstab(*this, st);
            }
            if (st.kind != JetStatement::Kind::Select) ThrowJet(3078, missing);
            body = WithoutHiddenColumns(*this, st.sources, st.sql);
            missing = q->name;
        } else if (TableState* t = catalog.FindTable(missing); t && t->IsAttached()) {
            // The fields of the source table, without the columns of fields deleted there.
            std::string cols;
            for (const FieldDef& f : t->fields)
                cols += (cols.empty() ? "" : ", ") + QuoteName(f.name);
            body = "SELECT " + cols + " FROM " + DataName(*t);
            missing = t->name;
        } else {
            ThrowJet(3078, missing);
        }
        char* err = nullptr;
        rc = sqlite3_exec(handle(), ("CREATE TEMP VIEW " + QuoteName(missing) + " AS " + body).c_str(),
                          nullptr, nullptr, &err);
        if (err) sqlite3_free(err);
        if (rc != SQLITE_OK) ThrowSqlite(handle(), rc, sql);
        tempViews = true;
    }
    ThrowJet(3078, sql);
}

sqlite3_stmt* Connection::PrepareCachedJet(const std::string& sql) {
    auto it = cache.find(sql);
    if (it != cache.end()) {
        sqlite3_reset(it->second.get());
        sqlite3_clear_bindings(it->second.get());
        return it->second.get();
    }
    Stmt s = PrepareJet(sql);
    return cache.emplace(sql, std::move(s)).first->second.get();
}

void Connection::DropTempObjects() {
    if (!tempViews) return;
    std::vector<std::string> names;
    {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(handle(), "SELECT name FROM sqlite_temp_master WHERE type='view'", -1, &raw,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(raw) == SQLITE_ROW)
                names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
        }
        sqlite3_finalize(raw);
    }
    for (const auto& n : names)
        sqlite3_exec(handle(), ("DROP VIEW IF EXISTS temp." + QuoteName(n)).c_str(), nullptr, nullptr,
                     nullptr);
    tempViews = false;
    queryPool.clear();
}

void Connection::ForgetStaleQueries() {
    if (queryPoolGeneration == catalogGeneration) return;
    queryPool.clear();
    queryPoolGeneration = catalogGeneration;
}

Stmt Connection::TakeQuery(const std::string& sql) {
    if (held.active) WriteHeld();
    ForgetStaleQueries();
    auto it = queryPool.find(sql);
    if (it != queryPool.end() && !it->second.empty()) {
        Stmt s = std::move(it->second.back());
        it->second.pop_back();
        return s;
    }
    return PrepareJet(sql);
}

void Connection::GiveBackQuery(const std::string& sql, Stmt s) {
    sqlite3_reset(s.get());
    sqlite3_clear_bindings(s.get());
    ForgetStaleQueries();
    if (queryPool.size() >= 64 && !queryPool.count(sql)) queryPool.clear();
    std::vector<Stmt>& free = queryPool[sql];
    if (free.size() < 4) free.push_back(std::move(s));
}

void Connection::EnsureWritable() const {
    if (readOnly) ThrowJet(3027);
}

void Connection::BeginWrite() {
    EnsureWritable();
    Resync();
    if (userDepth > 0 || batchOpen) return;
    Exec("BEGIN IMMEDIATE");
    batchOpen = true;
    batchOps = 0;
    batchWrites = 0;
    batchStart = std::chrono::steady_clock::now();
}

void Connection::AfterWrite(std::int64_t rows) {
    batchOps += rows;
    if (!batchOpen || userDepth > 0) return;
    // The clock is read on every 64th write only: a walk saves a row every microsecond or so.
    if (batchOps >= 200000 || ((++batchWrites & 63) == 0 &&
                               std::chrono::steady_clock::now() - batchStart > std::chrono::seconds(2)))
        Flush();
}

void Connection::Flush() {
    WriteHeld();
    if (!batchOpen || userDepth > 0 || inDdl) return;
    if (sqlite3_get_autocommit(handle())) {
        // SQLite ended the group itself (after an I/O error); the failing write has said so.
        AbandonTransaction();
        return;
    }
    batchOpen = false;
    CommitOuter();
}

void Connection::CommitOuter() {
    int rc = sqlite3_exec(handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    Error failure = SqliteError(handle(), rc);
    AbandonTransaction();
    throw failure;
}

void Connection::AbandonTransaction() {
    // Structure changes share the transaction of the grouped writes: the catalog is read again.
    DiscardHeld();
    if (!sqlite3_get_autocommit(handle())) sqlite3_exec(handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    batchOpen = false;
    userDepth = 0;
    inDdl = false;
    counterNext.clear();
    ++writeGeneration;
    queryPool.clear();
    ++catalogGeneration;
    try {
        LoadCatalog();
    } catch (const Error&) {
        dataVersion = -2; // read again at the next use
    }
}

void Connection::Resync() {
    const bool engineOpen = batchOpen || userDepth > 0 || inDdl;
    const bool sqliteOpen = !sqlite3_get_autocommit(handle());
    if (engineOpen == sqliteOpen) return;
    const bool lostTransaction = userDepth > 0 && !sqliteOpen;
    AbandonTransaction();
    // Writing on as if nothing happened would commit half of what the caller meant as one transaction.
    if (lostTransaction) throw LostTransaction();
}

Error LostTransaction() {
    return Error(3000,
                 "La transazione è stata annullata da un errore precedente: nessuna delle modifiche fatte al "
                 "suo interno è stata salvata.");
}

// A structure change joins the grouped writes, in a savepoint of its own: it is committed with them, in
// order, so that a killed process still leaves a prefix of the operations, and a failed change is undone
// alone.
void Connection::DdlBegin() {
    WriteHeld();
    Resync();
    DropTempObjects();
    if (userDepth == 0) BeginWrite();
    Exec("SAVEPOINT ddl");
    inDdl = true;
}

void Connection::DdlCommit() {
    inDdl = false;
    Exec("RELEASE ddl");
    ++writeGeneration;
    if (userDepth == 0 && batchOpen &&
        std::chrono::steady_clock::now() - batchStart > std::chrono::seconds(2))
        Flush();
}

void Connection::DdlRollback() {
    const bool savepoint = inDdl;
    inDdl = false;
    if (!sqlite3_get_autocommit(handle())) {
        if (savepoint) sqlite3_exec(handle(), "ROLLBACK TO ddl; RELEASE ddl", nullptr, nullptr, nullptr);
    } else {
        // SQLite gave up the whole transaction (an I/O error, a refused COMMIT of the group): the engine
        // leaves it too, and the catalog is the file's again.
        AbandonTransaction();
    }
    counterNext.clear();
    ++writeGeneration;
    ++catalogGeneration;
}

void Connection::CheckFresh() {
    sqlite3_stmt* s = Prepare("PRAGMA data_version");
    std::int64_t v = -1;
    if (sqlite3_step(s) == SQLITE_ROW) v = sqlite3_column_int64(s, 0);
    sqlite3_reset(s);
    if (v != dataVersion) {
        if (dataVersion != -1) {
            LoadCatalog();
            counterNext.clear();
            ++writeGeneration;
        }
        dataVersion = v;
    }
}

std::string Connection::AttachSource(const std::string& connect) {
    std::string path = ConnectValue(connect, "database");
    if (path.empty()) ThrowJet(3044, connect);
    return AttachHost(resolve ? resolve(path) : path, path);
}

std::string Connection::AttachHost(const std::string& host, const std::string& path, bool readOnly) {
    auto it = attached.find(host);
    if (it != attached.end()) return it->second;
    Flush();
    if (!sqlite3_get_autocommit(handle())) ThrowJet(3219);
    std::string schema = "att" + std::to_string(attached.size() + 1);
    sqlite3_stmt* raw = nullptr;
    std::string sql = "ATTACH DATABASE ? AS " + schema;
    int rc = sqlite3_prepare_v2(handle(), sql.c_str(), -1, &raw, nullptr);
    Stmt s(raw);
    if (rc != SQLITE_OK) ThrowSqlite(handle(), rc);
    const std::string uri = SqliteUri(host, readOnly);
    sqlite3_bind_text(s.get(), 1, uri.data(), static_cast<int>(uri.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(s.get());
    if (rc != SQLITE_DONE) ThrowJet(3024, path);
    // It must be one of ours.
    sqlite3_stmt* chk = nullptr;
    rc = sqlite3_prepare_v2(handle(), ("SELECT 1 FROM " + schema + ".MSysFields LIMIT 1").c_str(), -1, &chk,
                            nullptr);
    Stmt chkS(chk);
    if (rc != SQLITE_OK) {
        sqlite3_exec(handle(), ("DETACH DATABASE " + schema).c_str(), nullptr, nullptr, nullptr);
        ThrowJet(3343, path);
    }
    attached.emplace(host, schema);
    return schema;
}

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

std::string Connection::DataName(const TableState& t) {
    if (!t.IsAttached()) return QuoteName(t.name);
    // Attaching commits the grouped writes, and a commit that fails reads the catalog again: `t` is not
    // looked at after it.
    const std::string source = QuoteName(t.sourceTable.empty() ? t.name : t.sourceTable);
    return AttachSource(std::string(t.connect)) + "." + source;
}

std::int64_t Connection::NextCounter(const TableState& t, const FieldDef& f) {
    std::string key = Upper(t.name);
    auto it = counterNext.find(key);
    if (it == counterNext.end()) {
        const std::string column = QuoteName(f.name);
        sqlite3_stmt* s = Prepare("SELECT max(" + column + ") FROM " + DataName(t));
        std::int64_t mx = 0;
        if (sqlite3_step(s) == SQLITE_ROW) mx = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
        it = counterNext.emplace(key, mx + 1).first;
    }
    return it->second++;
}

void Connection::NoteCounterValue(const TableState& t, std::int64_t v) {
    auto it = counterNext.find(Upper(t.name));
    if (it != counterNext.end() && v >= it->second) it->second = v + 1;
}

std::optional<std::int64_t> Connection::CounterMark(const TableState& t) const {
    const auto it = counterNext.find(Upper(t.name));
    if (it == counterNext.end()) return std::nullopt;
    return it->second;
}

void Connection::RewindCounter(const TableState& t, std::optional<std::int64_t> mark) {
    if (mark)
        counterNext[Upper(t.name)] = *mark;
    else
        ForgetCounters(t.name);
}

void Connection::ForgetCounters(std::string_view table) {
    if (table.empty())
        counterNext.clear();
    else
        counterNext.erase(Upper(table));
}

} // namespace ledrana::dao::detail
