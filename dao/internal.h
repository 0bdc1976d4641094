#pragma once
// Engine internals shared by the dao/ sources: the catalog kept in memory, the shared connection of one
// file with its write grouping, and the implementation objects behind the public handles.

#include "dao/dao.h"
#include "dao/jetsql.h"
#include "dao/sqlite_handle.h"
#include "platform/error.h"
#include "platform/filelock.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ledrana::dao::detail {

// ---- Errors ----
[[noreturn]] void ThrowJet(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
Error JetError(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
// Turns the current error of a connection into a Jet error (constraint 3022, "no such table" 3078,
// "no such column" 3061, an error raised by our SQL functions as "NNNN text" its own number...).
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, std::string_view context = {});
// A BeginTrans transaction that SQLite ended by itself after an error (I/O error, disk full).
Error LostTransaction();
// The same error, returned (read it before anything else runs on the connection).
Error SqliteError(sqlite3* db, int rc, std::string_view context = {});

// A string literal for SQL the engine writes itself.
std::string SqlLiteral(std::string_view s);

// ---- Names ----
std::string Upper(std::string_view s); // case folding used for name look-up
bool SameName(std::string_view a, std::string_view b);
bool LessNoCase(const std::string& a, const std::string& b);

// ---- Catalog ----
struct UserProperty {
    std::string name;
    int type = dbText;
    Variant value;
};

struct FieldDef {
    std::string name;
    int type = 0;
    std::int32_t size = 0;
    std::int32_t attributes = 0;
    int precision = 0; // Decimal: digits in all and decimals (NormaliseField sets 18, 0 when not given)
    int scale = 0;
    bool allowZeroLength = false;
    bool required = false;
    std::string defaultValue;
    std::string validationRule;
    std::string validationText;
    int ordinal = 0;
    std::vector<UserProperty> properties;
    // The field's values are computed from a hidden column until the next compaction (dao/deferred.cpp).
    bool derived = false;

    bool IsCounter() const { return type == dbLong && (attributes & dbAutoIncrField) != 0; }
};

struct IndexDef {
    std::string name;
    std::vector<std::string> fields;
    std::vector<bool> descending;
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    std::string sqlName; // name of the SQLite index ("" for none, e.g. on a system table)
    bool built = true;   // false: recorded, built by the next compaction or the table's next row write
};

struct TableState {
    std::string name;
    std::int32_t attributes = 0;
    std::string connect;
    std::string sourceTable;
    std::string validationRule;
    std::string validationText;
    std::vector<FieldDef> fields; // in ordinal order
    std::vector<IndexDef> indexes;
    std::vector<UserProperty> properties;
    // SQLite columns of deleted fields: their values stay in the rows, never read nor written, until the
    // next compaction writes the table without them. Recorded in MSysFields with a negative ordinal.
    std::vector<std::string> hidden;

    FieldDef* FindField(std::string_view n);
    const FieldDef* FindField(std::string_view n) const;
    int FieldIndex(std::string_view n) const;
    IndexDef* FindIndex(std::string_view n);
    bool IsSystem() const { return (attributes & dbSystemObject) == dbSystemObject; }
    bool IsAttached() const { return (attributes & dbAttachedTable) != 0 || !connect.empty(); }
    // Values or indexes wait for the next compaction (dao/deferred.cpp).
    bool HasDeferred() const;
};

struct QueryState {
    std::string name;
    std::string sql;
    std::vector<UserProperty> properties;
};

struct Catalog {
    std::vector<TableState> tables;  // sorted by name without regard to case; system tables included
    std::vector<QueryState> queries; // sorted likewise
    std::vector<UserProperty> properties;
    TableState* FindTable(std::string_view n);
    QueryState* FindQuery(std::string_view n);
    void Sort();
};

// Fixed size of a type (Text: its default 50); 0 for Memo and LongBinary.
std::int32_t DefaultSize(int type);
bool IsValidType(int type);
bool IsVariableType(int type);
// The SQLite column declaration for a field ("INTEGER", "TEXT COLLATE NOCASE"...).
std::string ColumnDecl(const FieldDef& f);
// Normalises a definition before it is stored: size, Decimal's precision and scale (3219 when out of
// range), and the fixed/variable attribute bits.
void NormaliseField(FieldDef& f);
// MSysFields keeps a Decimal field's precision and scale in its Size column (the field's Size is 16).
std::int32_t StoredSize(const FieldDef& f);
void ReadStoredSize(FieldDef& f, std::int32_t stored);

// ---- Values ----
// Decimal values are stored as their text (Decimal::ToString) in TEXT columns of this collation, which
// orders them as numbers: indexes, ORDER BY, Min/Max and comparisons with a column see numbers, and every
// digit stays exact. Registered on every connection (RegisterEngineFunctions).
void RegisterDecimalCollation(sqlite3* db);
// Converts a value for storage in a field: the stored Variant (Null, Long for integers and Booleans,
// Double for Currency/Single/Double/Date, String, Binary). Throws 3421 for a value that cannot be
// converted, 3163 for text too long, 3349 for a number out of range.
// A value converted to a Boolean, number or date type; nullopt for the other types. Throws VB's errors.
std::optional<Variant> AsScalarType(int type, const Variant& v);
Variant ToStorage(const Variant& v, const FieldDef& f);
// Reads column i of a statement as a value of the field's type.
Variant FromColumn(sqlite3_stmt* s, int i, const FieldDef* f);
// Reads column i by its storage class alone.
Variant FromColumnRaw(sqlite3_stmt* s, int i);
void BindVariant(sqlite3_stmt* s, int i, const Variant& v);
// The same kind and the same stored value (1 and 1.0 differ, as do "a" and "A").
bool SameStoredValue(const Variant& a, const Variant& b);
// Registers the engine's own SQL functions (dao_store, dao_ok).
void RegisterEngineFunctions(sqlite3* db);

// ---- Connection: one open file, shared by every Database of one engine that opens it ----
struct Connection {
    std::string hostPath;
    PathResolver resolve;    // for the paths of attached tables
    platform::FileHold hold; // what other processes see of this open file; given back after db closes
    SqliteDb db;
    bool readOnly = false;
    bool exclusive = false;
    Catalog catalog;
    std::int64_t dataVersion = -1;
    std::uint64_t catalogGeneration = 0; // bumped on every catalog change

    // Write grouping.
    bool batchOpen = false; // an implicit transaction holds grouped writes
    bool inDdl = false;     // a structure change is under way (its savepoint is open)
    int userDepth = 0;      // BeginTrans nesting
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
    // On failure the change and the catalog in memory are rolled back.
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
    std::int64_t NextCounter(const TableState& t, const FieldDef& f);
    void NoteCounterValue(const TableState& t, std::int64_t v);
    void ForgetCounters(std::string_view table = {});
};

template <class Fn> void Connection::Ddl(Fn&& fn) {
    EnsureWritable();
    DdlBegin();
    Catalog saved = catalog;
    try {
        fn();
        DdlCommit();
    } catch (...) {
        catalog = std::move(saved);
        DdlRollback();
        throw;
    }
}

// Catalog writes (inside Ddl).
void CreateCatalogTables(Connection& c);
void SaveTableRow(Connection& c, const TableState& t);
void SaveFieldRow(Connection& c, const TableState& t, const FieldDef& f);
void SaveIndexRow(Connection& c, const TableState& t, const IndexDef& ix);
void SaveHiddenRow(Connection& c, const TableState& t, const std::string& column);
void DeleteHiddenRow(Connection& c, const TableState& t, const std::string& column);
void SaveProperties(Connection& c, int kind, std::string_view object, std::string_view field,
                    const std::vector<UserProperty>& props);
void DeleteCatalogTable(Connection& c, std::string_view table);

// Structure operations on the connection (each inside Ddl by the caller or itself).
void CreateTable(Connection& c, TableState t);
void DropTable(Connection& c, std::string_view name);
void RenameTable(Connection& c, std::string_view from, std::string_view to);
void AddField(Connection& c, std::string_view table, FieldDef f);
void DropField(Connection& c, std::string_view table, std::string_view field);
void RenameField(Connection& c, std::string_view table, std::string_view from, std::string_view to);
void UpdateFieldProperties(Connection& c, std::string_view table, const FieldDef& f);
void CreateIndex(Connection& c, std::string_view table, IndexDef ix);
void DropIndex(Connection& c, std::string_view table, std::string_view index);
void CreateQuery(Connection& c, std::string_view name, std::string_view sql);
void DropQuery(Connection& c, std::string_view name);
void CheckQuerySql(Connection& c, std::string_view sql);
// Renames the column of a field out of the way: its values stay in the rows, never read nor written,
// until the next compaction. Returns the column's new name.
std::string HideColumn(Connection& c, TableState& t, const std::string& column);
// CREATE [UNIQUE] INDEX of an index of the table, under its SQLite name.
std::string IndexSql(const TableState& t, const IndexDef& ix);

// Changes of values that wait for the next compaction (dao/deferred.cpp). A field whose values a change
// converts becomes a virtual column computed from its old column, which stays hidden in the rows: reads
// see the new values at once and no row is written. Each runs inside Ddl.
// "UPDATE table SET target = source" as Execute without dbFailOnError runs it, for a target that no
// index holds, in a table without validation rules: the rows it changes; -1 (nothing done) otherwise.
std::int64_t DeriveField(Connection& c, std::string_view table, std::string_view target,
                         std::string_view source);
// For each (field, value): every Null of the field becomes the value, as a recordset's save of the value
// into each such row would make it, for a field that no unique index holds, in a table without validation
// rules, with a value the field accepts. The numbers of values completed, -1 (nothing done) for a field
// whose saves could be refused. One read of the table counts the Nulls of every field.
std::vector<std::int64_t> FillNulls(Connection& c, std::string_view table,
                                    const std::vector<std::pair<std::string, Variant>>& fields);
// Writes the table's waiting values into its rows and builds its waiting indexes: the first row write
// into a table does this first.
void WriteDeferred(Connection& c, std::string_view table);
// True when `table` names a local table with waiting changes.
bool TableHasDeferred(Connection& c, std::string_view table);
// True when a write of the columns of existing rows (or of new rows) into the table needs its waiting
// changes written first: a computed field written, a field that a computation reads, a waiting unique index
// over one of them, or a new row. Other writes leave the computations as they are.
bool WriteNeedsStoredValues(Connection& c, std::string_view table, const std::vector<std::string>& columns,
                            bool insert);

// ---- Engine-wide state ----
struct DatabaseImpl;
} // namespace ledrana::dao::detail

namespace ledrana::dao {
struct EngineShared {
    PathResolver resolver;
    std::map<std::string, std::weak_ptr<detail::Connection>> open; // host path -> connection
    std::vector<std::pair<std::string, std::string>> verified;     // (hash, password) pairs checked
    bool Verify(const std::string& hash, const std::string& password);

    // Files of the Windows engine met by OpenDatabase (dao/jet_import.cpp).
    std::vector<std::string> conversionNotices;   // not yet taken by the caller
    std::map<std::string, std::string> jetCopies; // Jet file (host) -> its converted temporary copy
    std::string jetCopyFolder;                    // where those copies live, removed with the engine
    ~EngineShared();
};
} // namespace ledrana::dao

namespace ledrana::dao::detail {

struct DatabaseImpl : std::enable_shared_from_this<DatabaseImpl> {
    std::shared_ptr<EngineShared> engine;
    std::shared_ptr<Connection> conn;
    std::string name;
    std::string connect;
    bool open = true;
    std::int64_t recordsAffected = 0;
    std::vector<std::weak_ptr<RecordsetImpl>> recordsets;
    std::size_t pruneAt = 64;
    void AddRecordset(const std::shared_ptr<RecordsetImpl>& rs);

    Connection& C(); // 3420 when closed
    void CloseRecordsets();
};

// Collections behind the public collection classes.
struct Collection {
    virtual ~Collection() = default;
};

struct PropertyImpl {
    enum class Owner { Free, Database, Table, Field, Query, Builtin } owner = Owner::Free;
    std::string name;
    int type = dbText;
    Variant value; // Free properties
    std::shared_ptr<DatabaseImpl> db;
    std::string table, field;               // owner names
    std::shared_ptr<FieldImpl> fieldObj;    // Builtin properties of a field
    std::shared_ptr<TableDefImpl> tableObj; // Builtin properties of a table
};

struct FieldImpl : std::enable_shared_from_this<FieldImpl> {
    enum class Mode { Free, Table, Index, Recordset } mode = Mode::Free;
    FieldDef def;                        // Free, Index (name, attributes)
    bool appended = false;               // Free field already in a collection
    std::shared_ptr<DatabaseImpl> db;    // Table
    std::string table;                   // Table: current table name
    std::weak_ptr<RecordsetImpl> rsWeak; // Recordset (the recordset owns its fields)
    RecordsetImpl* rsRaw = nullptr;      // the same, read while rsWeak has not expired
    int column = -1;                     // Recordset column

    // The definition this field stands for (live for Table fields). 3420 / 3265 when gone.
    const FieldDef& Def() const;
    FieldDef& MutableDef();
    RecordsetImpl& Rs() const; // 3420 when the recordset is gone
    void Commit();             // stores a changed definition of a Table field
};

struct IndexImpl {
    bool appended = false;
    IndexDef def;                                   // not appended
    std::vector<std::shared_ptr<FieldImpl>> fields; // not appended
    std::shared_ptr<DatabaseImpl> db;               // appended
    std::string table;
    const IndexDef& Def() const;
};

struct TableDefImpl : std::enable_shared_from_this<TableDefImpl> {
    bool appended = false;
    std::shared_ptr<DatabaseImpl> db; // creator (pending) or owner (appended)
    std::string name;                 // appended: current name
    TableState pending;               // not appended
    std::vector<std::shared_ptr<FieldImpl>> pendingFields;
    std::vector<std::shared_ptr<IndexImpl>> pendingIndexes;
    std::vector<UserProperty> pendingProps;

    TableState& State() const; // appended: the catalog entry (3420, 3265)
};

struct QueryDefImpl {
    std::shared_ptr<DatabaseImpl> db;
    std::string name; // "" for a temporary query
    std::string sql;  // temporary query
    bool stored = false;
    bool open = true;
    std::int64_t recordsAffected = 0;
    // The parameters of the SQL text `parametersOf` and their values (Empty: not given).
    std::string parametersOf;
    std::vector<JetParameter> parameters;
    std::vector<Variant> values;
    QueryState* State() const;
    std::string Sql() const;
    // Reads the parameters of the current SQL text when it changed; keeps the values of those that stay.
    void ReadParameters();
};

// ---- Recordset ----
struct RsColumn {
    FieldDef def;
    int at = -1;        // query recordsets: the column of the statement
    bool typed = true;  // false: an expression, read by its storage class
    int baseField = -1; // index in the base table's fields, -1 when not a column of it
    std::string sourceTable, sourceField;
};

struct RecordsetImpl : std::enable_shared_from_this<RecordsetImpl> {
    std::shared_ptr<DatabaseImpl> db;
    bool open = true;
    std::string source;
    int type = dbOpenTable;
    bool updatable = false;
    std::string baseTable; // catalog name of the table written to
    std::string dataName;  // its SQL name
    std::vector<RsColumn> cols;
    int counterCol = -1;
    std::string pooledSql; // the text `query` goes back to the connection's pool under ("" for none)
    void GiveBackQuery();

    // Cursor.
    bool bof = true, eof = true;
    bool deleted = false; // the current row was deleted
    std::int64_t rowid = 0;
    std::vector<Variant> row;
    std::int64_t position = -1; // dynaset: 0-based position of the current row

    // Table-type: rows fetched ahead, by rowid.
    struct Ahead {
        std::int64_t rowid;
        std::vector<Variant> values;
    };
    std::vector<Ahead> ahead;
    std::size_t aheadPos = 0;
    bool aheadExhausted = false;
    std::uint64_t aheadGeneration = 0;      // connection-wide generation at the fetch
    std::uint64_t aheadTableGeneration = 0; // the table's generation at the fetch
    std::uint64_t* tableGeneration = nullptr;
    bool wrote = false;
    bool queryDone = false;
    std::uint64_t countGeneration = ~0ULL;
    std::string selectCols; // column list for the table's SELECTs

    // Dynaset: the running statement (column 0 is the rowid when updatable).
    std::string sql; // SQLite SELECT
    std::vector<std::string> params;
    Stmt query;
    bool hasRowid = false;
    std::optional<std::int64_t> count;

    // Editing.
    int editMode = 0; // 0 none, 1 Edit, 2 AddNew
    std::vector<Variant> buffer;
    std::vector<char> dirty;
    std::vector<char> overflow;
    std::vector<std::optional<Variant>> defaults; // evaluated DefaultValue per column
    struct UpdateTexts {
        std::string oneRow; // ... WHERE rowid = ?
        std::string range;  // ... WHERE rowid BETWEEN ? AND ? (held saves)
        std::string list;   // ... WHERE rowid IN (SELECT value FROM json_each(?)) (held saves)
    };
    std::unordered_map<std::string, UpdateTexts> updateSql; // dirty mask -> SQL
    int holdable = -1; // saves may be held (the walk reads the rows in rowid order, each once); -1 unknown
    bool MayHoldSave(const TableState& t);

    std::vector<std::shared_ptr<FieldImpl>> fieldObjs; // made on demand by RecordsetField

    Connection& C();
    void CheckOpen() const;
    void Start(); // position on the first row
    void ReadCurrentTable();
    bool FetchAhead(std::int64_t after);
    void StepQuery();
    // Values of the current row not yet read from the query's statement (empty: all read).
    std::vector<char> undecoded;
    void Decode(std::size_t column);
    void DecodeAll();
    void RestartQuery();
    void LoadDefaults();
    const TableState& Base();
    const TableState* baseCached = nullptr; // Base() as of catalog generation baseGeneration
    std::uint64_t baseGeneration = 0;
    // The value of column i as the row now stands: the edit buffer's when set, else the row's.
    const Variant& Current(std::size_t i);
    Variant Get(int column);
    void Set(int column, const Variant& v);
    void Update();
    void Delete();
    void Move(int how); // 0 first, 1 next, 2 previous, 3 last
    void Close();
    // Writes the saves held for this recordset's walk.
    void WriteOwnHeld();
    ~RecordsetImpl();
};

// A SELECT text in which the tables among `sources` that carry hidden columns stand for their fields only.
std::string WithoutHiddenColumns(Connection& c, const std::vector<std::string>& sources,
                                 const std::string& sql);

// Field object of column i of a recordset, made on first use.
std::shared_ptr<FieldImpl> RecordsetField(const std::shared_ptr<RecordsetImpl>& rs, std::size_t i);

// The Fields collection of a recordset (dao/fields.cpp).
dao::Fields FieldsOf(const std::shared_ptr<RecordsetImpl>& rs);

// Builds a recordset (dao/recordset.cpp).
std::shared_ptr<RecordsetImpl> OpenRecordsetImpl(const std::shared_ptr<DatabaseImpl>& db,
                                                 std::string_view source, int type);
// `values`: the values of the statement's declared parameters, in order (nullptr: none given, 3061).
std::shared_ptr<RecordsetImpl> OpenQueryRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                  std::string_view name, std::string_view jetSql,
                                                  const std::vector<Variant>* values = nullptr);

// Jet SQL translated for this connection: field types and the spelling of names from its catalog.
JetStatement Translate(Connection& c, std::string_view jetSql);
// Makes a crosstab statement the SELECT of the headings its data gives (or lists), its cells typed.
void ResolveCrosstab(Connection& c, JetStatement& st);
// Checks the validation rules of a table on a row about to be saved: 3317 (a field's rule, with the
// field's ValidationText as description when it has one) or 3316 (the table's rule). `value` gives a
// field's value by its position in the table.
void CheckValidationRules(Connection& c, const TableState& t,
                          const std::function<Variant(std::size_t)>& value);
bool HasValidationRules(const TableState& t);

// Runs one Jet SQL statement (dao/execute.cpp). Returns the rows affected.
std::int64_t ExecuteJet(Connection& c, std::string_view jetSql, int options,
                        const std::vector<Variant>* values = nullptr);
// Checks that every declared parameter has a value (3061 with the number missing) and binds them as ?k.
void BindParameters(Connection& c, sqlite3_stmt* s, const JetStatement& st,
                    const std::vector<Variant>* values);
void CheckParameters(const JetStatement& st, const std::vector<Variant>* values);

// SQL of a value converted for a field as Execute converts it (jet_cast, or jet_cast_strict when `fail`),
// `fromType` the DAO type of a bare column read (0 when unknown).
std::string CastSql(const FieldDef& f, const std::string& expr, bool fail, int fromType);
// The checks a written value passes (dao_ok's flags: required, zero-length, Null-free index); 0 for none.
int StoreFlags(const TableState& t, const FieldDef& f);
// SQL that is 1 when `value` may be written into the field (dao_ok), else 0 or, when `fail`, the error.
std::string StoreCheck(const TableState& t, const FieldDef& f, const std::string& value, bool fail);

// Password support (dao/engine.cpp).
std::string ConnectValue(std::string_view connect, std::string_view key); // "pwd", "database"

} // namespace ledrana::dao::detail
