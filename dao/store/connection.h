#pragma once
// The connection of one open file, shared by every Database of one engine that opens it: its catalog, its
// prepared statements and query pool, its write grouping and held saves, its attached sources.

#include "dao/sql/jetsql.h"
#include "dao/store/catalog.h"
#include "dao/store/path_resolver.h"
#include "dao/store/sqlite_handle.h"
#include "dao/vb/variant.h"
#include "platform/filelock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ledrana::dao::detail {

// ---- Connection: one open file, shared by every Database of one engine that opens it ----
struct Connection {
    std::string hostPath;
    PathResolver resolve;    // for the paths of attached tables
    platform::FileHold hold; // what other processes see of this open file; given back after db closes
    SqliteDb db;
    bool readOnly = false;
    bool exclusive = false;
    Catalog catalog;
    std::shared_ptr<void> rowHook; // what the row writes are passed to (store/row_changes.h), when watched
    std::int64_t dataVersion = -1;
    std::uint64_t catalogGeneration = 0; // moved by every structure change (Ddl) and catalog reload

    // Write grouping.
    bool batchOpen = false;        // an implicit transaction holds grouped writes
    bool inDdl = false;            // a structure change is under way (its savepoint is open)
    bool deferIndexBuilds = false; // indexes appended to tables with rows wait for the compaction
    int userDepth = 0;             // BeginTrans nesting
    std::int64_t batchOps = 0;
    std::uint32_t batchWrites = 0;
    std::chrono::steady_clock::time_point batchStart;
    std::uint64_t writeGeneration = 0; // bumped by structure changes and Execute; recordsets refetch
    std::unordered_map<std::string, std::uint64_t> tableGenerations; // upper-case name -> row writes
    std::uint64_t* TableGeneration(std::string_view table);

    // Counter values handed out, per table (upper-case name): next value.
    std::unordered_map<std::string, std::int64_t> counterNext;

    // Prepared statements by SQL text.
    std::unordered_map<std::string, Stmt> cache;

    // Statements of query recordsets put back when they close, by SQL text, for the next recordset of
    // the same text; emptied when the structure changes or the temporary views go.
    std::unordered_map<std::string, std::vector<Stmt>> queryPool;
    // Translations of query texts whose criteria integers stand as marks (the translation depends on the
    // text only).
    std::unordered_map<std::string, JetStatement> translations;
    std::uint64_t translationsGeneration = 0;
    std::uint64_t queryPoolGeneration = 0;
    // A statement of the text from the pool, or prepared as PrepareJet does.
    Stmt TakeQuery(const std::string& sql);
    void GiveBackQuery(const std::string& sql, Stmt s);
    // Empties the pool when the structure changed since its statements were put back.
    void ForgetStaleQueries();

    // Row saves held back: the saves of one recordset's walk (rows read in rowid order, each once) wait
    // and go to SQLite together, one statement for the saves that set the same values, over a rowid range
    // or a list of rowids. Every other use of the connection writes them first, so no statement ever sees
    // the rows without them.
    struct HeldSaves {
        struct Group {
            std::string range;           // UPDATE ... SET ... WHERE rowid BETWEEN ? AND ?
            std::string list;            // UPDATE ... SET ... WHERE rowid IN (the rowids as a JSON array)
            std::vector<Variant> values; // the values set, in the statements' order
            std::int64_t first = 0, last = 0; // while the rowids are consecutive
            std::vector<std::int64_t> rowids; // once they are not
        };
        bool active = false;
        const void* owner = nullptr; // the recordset whose walk made them
        std::string table;           // catalog name, for the error text
        std::vector<Group> groups;
        std::unordered_map<std::string, std::vector<std::size_t>> byText; // range text -> groups
        std::int64_t lastRowid = 0;
        std::size_t listed = 0; // rowids held in lists
    };
    HeldSaves held;
    // Adds the save of one row to the held ones, writing those first when it cannot join them.
    void HoldSave(const void* owner, const std::string& range, const std::string& list,
                  const std::string& table, std::vector<Variant> values, std::int64_t rowid);
    // Writes the held saves; throws the mapped error.
    void WriteHeld();
    void DiscardHeld() {
        held.active = false;
        held.groups.clear();
        held.byText.clear();
        held.listed = 0;
    }

    // Attached sources: connect path (host) -> schema name.
    std::map<std::string, std::string> attached;
    bool tempViews = false; // temporary views exist (dropped before DDL)

    // Types of field names over all tables (upper-case name -> DAO type, 0 when tables disagree), for
    // the translator; rebuilt when the catalog changes.
    std::unordered_map<std::string, int> fieldTypes;
    std::uint64_t fieldTypesGeneration = ~std::uint64_t{0};

    ~Connection();

    sqlite3* handle() const { return db.get(); }
    // Runs SQL without results; throws the mapped error.
    void Exec(const std::string& sql);
    // A cached prepared statement, reset and with bindings cleared.
    sqlite3_stmt* Prepare(const std::string& sql);
    // Prepares a statement, creating on demand the temporary views that stand for saved queries and
    // attached tables named in it. Throws the mapped error.
    Stmt PrepareJet(const std::string& sql);
    sqlite3_stmt* PrepareCachedJet(const std::string& sql);

    // Before a row write: opens the grouped transaction when none is open.
    void BeginWrite();
    // After a row write: commits the group when it has grown old or large (outside BeginTrans).
    void AfterWrite(std::int64_t rows);
    // Commits grouped writes (outside BeginTrans).
    void Flush();
    // Commits the outermost transaction. When SQLite refuses (busy, I/O error, disk full) the transaction
    // is rolled back, the engine is left outside any transaction, and the error of the COMMIT is thrown.
    void CommitOuter();
    // After a failure: ends what SQLite still has open and brings the engine back to no transaction
    // (grouped writes with their structure changes, held saves and BeginTrans levels gone, the catalog read
    // again from the file).
    void AbandonTransaction();
    // Before a write: when SQLite and the engine disagree on whether a transaction is open (SQLite ends
    // one by itself after an I/O error or a full disk), the engine follows SQLite.
    void Resync();
    // Runs a structure change atomically: fn inside a savepoint of the grouped writes (or of BeginTrans).
    // On failure the change and the catalog in memory are rolled back. Every change of the catalog goes
    // through here, which moves its generation.
    template <class Fn> void Ddl(Fn&& fn);
    void DdlBegin();
    void DdlCommit();
    void DdlRollback();

    // Reloads the catalog when another connection changed the file.
    void CheckFresh();
    void LoadCatalog();
    void DropTempObjects();
    void EnsureWritable() const;

    // Schema-qualified SQL name of a table's data ("T" or att1."Source").
    std::string DataName(const TableState& t);
    std::string AttachSource(const std::string& connect);
    // The schema name of the file `host` (shown as `path` in errors), attached when it is not yet (to be
    // read only, when `readOnly`): one of ours (3343), outside any transaction (3219; grouped writes are
    // committed first).
    std::string AttachHost(const std::string& host, const std::string& path, bool readOnly = false);
    std::int64_t NextCounter(const TableState& t, const FieldDef& f);
    void NoteCounterValue(const TableState& t, std::int64_t v);
    void ForgetCounters(std::string_view table = {});
    // The table's next counter value as handed out so far (none before the first), and the same put back:
    // a write that is undone and made again hands out the same numbers.
    std::optional<std::int64_t> CounterMark(const TableState& t) const;
    void RewindCounter(const TableState& t, std::optional<std::int64_t> mark);
};

template <class Fn> void Connection::Ddl(Fn&& fn) {
    EnsureWritable();
    DdlBegin();
    Catalog saved = catalog;
    try {
        fn();
        ++catalogGeneration;
        DdlCommit();
    } catch (...) {
        catalog = std::move(saved);
        DdlRollback();
        throw;
    }
}

// The value of a key of a connect string (";pwd=...;database=..."), the key's case aside; "" when absent.
std::string ConnectValue(std::string_view connect, std::string_view key);

} // namespace ledrana::dao::detail
