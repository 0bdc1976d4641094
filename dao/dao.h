#pragma once
// The database engine: DAO's object model over SQLite files.
//
// One archive is one SQLite file. The engine's catalog (field types, sizes, attributes, properties, saved
// queries, the password verifier) lives in the same file in tables named MSys...; they are listed in
// TableDefs as system tables (Attributes has dbSystemObject) and must never be compared, copied or deleted.
//
// Objects are handles, as in VB: copying a TableDef, Field, Recordset... copies a reference to the same
// object (VB's Set). A default-constructed Database, TableDef... refers to nothing; using it throws 91.
// Every object that belongs to a Database fails with 3420 once that Database (or the object itself, for
// a Recordset or QueryDef) is closed.
//
// Errors are thrown as ledrana::Error with Jet's numbers (the description is our own Italian text):
// 3010 table exists, 3020 Update without AddNew/Edit, 3021 no current record, 3022 duplicate key,
// 3024 file not found, 3031 wrong password, 3044 invalid path, 3051 cannot open file, 3061 too few
// parameters (unknown field name in SQL), 3078 unknown table or query, 3163 text too long, 3191 field
// defined twice, 3204 database exists, 3219 invalid operation, 3265 item not found, 3270 property not
// found, 3280 field is part of an index, 3283 primary key exists, 3284 index exists, 3314 Null where
// required, 3315 zero-length text not allowed, 3343 not one of our databases, 3349 numeric overflow,
// 3420 object closed, 3421 conversion error.
//
// Writes: every completed operation is atomic. DDL (Append, Delete, property changes, queries) commits at
// once. Row changes made through recordsets and Execute are grouped into one SQLite transaction (rollback
// journal) that is committed when the recordset or the database closes, before any DDL, before
// BeginTrans, and at least every few thousand rows; a process killed at any moment leaves a file that
// opens and holds a prefix of the completed operations.
//
// Sharing: the same file opened twice through one DBEngine is one connection underneath, so the two
// Database objects see each other's changes at once.
// Other processes see every open Database (a lock on its file) and are seen by it: see OpenDatabase,
// CompactDatabase and Reserve.

#include "dao/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ledrana::dao {

// ---- Constants ------------------------------------------------------------------------------------------

// Field types (DataTypeEnum).
inline constexpr int dbBoolean = 1;
inline constexpr int dbByte = 2;
inline constexpr int dbInteger = 3;
inline constexpr int dbLong = 4;
inline constexpr int dbCurrency = 5;
inline constexpr int dbSingle = 6;
inline constexpr int dbDouble = 7;
inline constexpr int dbDate = 8;
inline constexpr int dbBinary = 9;
inline constexpr int dbText = 10;
inline constexpr int dbLongBinary = 11;
inline constexpr int dbMemo = 12;
inline constexpr int dbGUID = 15;
inline constexpr int dbDecimal = 20; // exact to 28 digits, with Precision and Scale

// Field attributes (FieldAttributeEnum).
inline constexpr int dbFixedField = 1;
inline constexpr int dbVariableField = 2;
inline constexpr int dbAutoIncrField = 16;
inline constexpr int dbUpdatableField = 32;
inline constexpr int dbSystemField = 8192;
inline constexpr int dbDescending = 1; // attribute of an index field

// Table attributes (TableDefAttributeEnum).
inline constexpr int dbHiddenObject = 1;
inline constexpr int dbSystemObject = static_cast<int>(0x80000002u);
inline constexpr int dbAttachedTable = 0x40000000;

// Recordset types and options.
inline constexpr int dbOpenTable = 1;
inline constexpr int dbOpenDynaset = 2;
inline constexpr int dbOpenSnapshot = 4;
inline constexpr int dbOpenForwardOnly = 8;

// Execute options.
inline constexpr int dbFailOnError = 128;
// Ours: an UPDATE that sets one field of a table to another of its fields, in every row, writes no row (see
// Database::Execute).
inline constexpr int dbDeferWrite = 0x10000;

// ---- Implementation types (dao/ only) ------------------------------------------------------------------
namespace detail {
struct DatabaseImpl;
struct TableDefImpl;
struct FieldImpl;
struct IndexImpl;
struct QueryDefImpl;
struct PropertyImpl;
struct RecordsetImpl;
struct Collection;
} // namespace detail

class Database;
class TableDef;
class Field;
class Index;
class QueryDef;
class Property;
class Recordset;

// ---- Property -------------------------------------------------------------------------------------------

// A built-in property of a table or field (Name, Type, Size, Attributes, AllowZeroLength, Required,
// DefaultValue, ValidationRule, ValidationText, OrdinalPosition, ...) or a user-defined one (made with
// CreateProperty and appended, such as a table's "description"). Setting the Value of a built-in property
// does what setting the object's attribute does; setting a user-defined one stores it at once.
class Property {
public:
    Property() = default;
    std::string Name() const;
    int Type() const; // dbText, dbLong, dbBoolean...
    Variant Value() const;
    void SetValue(const Variant& value);
    bool Inherited() const { return false; }

    explicit Property(std::shared_ptr<detail::PropertyImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::PropertyImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::PropertyImpl> impl_;
};

class Properties {
public:
    int Count() const;
    Property operator[](int index) const;             // 0-based; 3265 out of range
    Property operator[](std::string_view name) const; // case-insensitive; 3270 when missing
    // Appends a property made with CreateProperty; 3367 when one of that name exists.
    void Append(const Property& property);
    // Deletes a user-defined property; 3265 when missing, 3219 for a built-in one.
    void Delete(std::string_view name);
    void Refresh();

    explicit Properties(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- Field ----------------------------------------------------------------------------------------------

// A field of a table definition, of an index, of a recordset, or a free-standing one (Field f;) that is
// given Name, Type, Size, Attributes and then appended to a table's Fields.
//
// Types and sizes are DAO's: Text 1-255 (default 50), Boolean 1, Byte 1, Integer 2, Long 4, Currency 8,
// Single 4, Double 8, Date 8, GUID 16, Decimal 16, Memo / Binary / LongBinary 0 (Binary 1-255 when given).
// A Decimal field has a Precision (digits in all, 1-28, default 18) and a Scale (decimals, 0 to Precision,
// default 0); a value is rounded half to even to Scale decimals and refused (3349) when it still has too
// many digits.
// On append the engine sets dbFixedField on fixed-size types and dbVariableField on Text, Memo and the
// binaries; dbAutoIncrField only counts on a Long (a counter, Attributes 17).
// A field appended to a table with rows holds Null in them (a counter numbers them 1..n in the table's
// order; new rows continue after the largest value). AllowZeroLength and Required start False.
class Field {
public:
    Field(); // a new free-standing field definition
    std::string Name() const;
    void SetName(std::string_view name); // on an appended table field: renames the column
    int Type() const;
    void SetType(int type); // 3219 once appended
    std::int32_t Size() const;
    void SetSize(std::int32_t size); // 3219 once appended
    std::int32_t Attributes() const;
    void SetAttributes(std::int32_t attributes);
    int Precision() const;            // Decimal fields; 0 for the other types
    void SetPrecision(int precision); // 3219 once appended or out of 1-28
    int Scale() const;
    void SetScale(int scale); // 3219 once appended or out of 0-28
    bool AllowZeroLength() const;
    void SetAllowZeroLength(bool allow);
    bool Required() const;
    void SetRequired(bool required);
    std::string DefaultValue() const; // Jet expression text, "" for none
    void SetDefaultValue(std::string_view expression);
    std::string ValidationRule() const;
    void SetValidationRule(std::string_view rule);
    std::string ValidationText() const;
    void SetValidationText(std::string_view text);
    int OrdinalPosition() const;
    void SetOrdinalPosition(int position);
    std::string SourceTable() const;
    std::string SourceField() const;

    // Recordset fields: the value of the current row (or of the edit buffer during AddNew/Edit).
    // Value: 3021 at BOF/EOF. SetValue: 3020 outside AddNew/Edit, 3163 text longer than Size, 3421 a
    // value that cannot become the field's type, 3027 on a read-only recordset or a counter.
    // On table and index fields Value/SetValue give 3219.
    Variant Value() const;
    void SetValue(const Variant& value);

    dao::Properties Properties() const;
    // A user-defined property, to be appended to Properties() (3219 when type is 0 or the name empty).
    Property CreateProperty(std::string_view name, int type, const Variant& value);

    explicit Field(std::shared_ptr<detail::FieldImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::FieldImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::FieldImpl> impl_;
};

class Fields {
public:
    int Count() const;
    Field operator[](int index) const;             // 0-based, ordinal order; 3265 out of range
    Field operator[](std::string_view name) const; // case-insensitive; 3265 when missing
    // Table fields: 3191 for a duplicate name (also on a new TableDef), 3219/3259 for a field without
    // type, 3367 for a field already in a collection. On an appended table it adds the column at once.
    // Index fields: the field is named after a table field (made with CreateField(name)).
    // Recordset fields: 3219.
    void Append(const Field& field);
    // Table fields: drops the column; 3280 when an index uses it, 3265 when missing.
    void Delete(std::string_view name);
    void Refresh();

    explicit Fields(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- Index ----------------------------------------------------------------------------------------------

// Text fields compare without regard to case in unique indexes, as in Jet. Primary implies Unique and
// Required; one primary index per table (3283). Appending a unique index over duplicate values fails
// with 3022 and leaves nothing.
class Index {
public:
    Index(); // a new free-standing index
    std::string Name() const;
    void SetName(std::string_view name);
    bool Primary() const;
    void SetPrimary(bool primary); // 3219 once appended
    bool Unique() const;
    void SetUnique(bool unique); // 3219 once appended
    bool IgnoreNulls() const;
    void SetIgnoreNulls(bool ignore);
    bool Required() const;
    void SetRequired(bool required);
    dao::Fields Fields() const;
    Field CreateField(std::string_view name); // an index field (name only)
    dao::Properties Properties() const;

    explicit Index(std::shared_ptr<detail::IndexImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::IndexImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::IndexImpl> impl_;
};

class Indexes {
public:
    int Count() const;
    Index operator[](int index) const;             // sorted by name without regard to case
    Index operator[](std::string_view name) const; // 3265 when missing
    // 3284 duplicate name, 3283 second primary, 3264 no fields, 3265 unknown field, 3022 duplicates.
    void Append(const Index& index);
    void Delete(std::string_view name); // 3265 when missing
    void Refresh();

    explicit Indexes(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- TableDef -------------------------------------------------------------------------------------------

// A table definition. One made by CreateTableDef holds its fields and indexes until it is appended to
// TableDefs (3264 when it has no field). Attributes: 0 local table, dbSystemObject for the catalog tables,
// dbAttachedTable for an attached table (Connect ";DATABASE=path", SourceTableName the table there).
class TableDef {
public:
    TableDef(); // a new table definition, not appended
    std::string Name() const;
    void SetName(std::string_view name); // on an appended table: renames it (3010 when taken)
    std::int32_t Attributes() const;
    void SetAttributes(std::int32_t attributes); // before Append only (3219 after)
    std::string Connect() const;
    void SetConnect(std::string_view connect);
    std::string SourceTableName() const;
    void SetSourceTableName(std::string_view name);
    std::string ValidationRule() const;
    void SetValidationRule(std::string_view rule); // a rule on the fields of a row, checked on every save
    std::string ValidationText() const;
    void SetValidationText(std::string_view text); // the description of the error when the rule fails
    // Exact row count of a local table; -1 for an attached one.
    std::int64_t RecordCount() const;
    // Rows that hold a Null in a field of the primary key: the engine refuses them (3058), but an archive
    // written before, or by another program, may keep some; they stay readable and updatable. 0 for a table
    // without a primary key and for an attached one.
    std::int64_t NullKeyRows() const;
    bool Updatable() const;
    // For each (field, value): every Null of the field becomes the value, as saving it into each such row
    // through a recordset would make it, without writing a row (the rows take it at the next compaction);
    // the number of values completed. -1, with nothing changed, for a field where a save could be refused
    // (a unique index over it, a validation rule, a value it does not take): the caller saves those row by
    // row. The Nulls of all the fields are counted in one read of the table.
    std::vector<std::int64_t> FillNulls(const std::vector<std::pair<std::string, Variant>>& fields);

    dao::Fields Fields() const;
    dao::Indexes Indexes() const;
    dao::Properties Properties() const;
    // A field to append to Fields() (or, name only, to an index's Fields). type 0 = to be set later;
    // size 0 = the type's default.
    Field CreateField(std::string_view name = {}, int type = 0, std::int32_t size = 0);
    Index CreateIndex(std::string_view name = {});
    Property CreateProperty(std::string_view name, int type, const Variant& value);
    void RefreshLink();
    Recordset OpenRecordset(int type = 0, int options = 0);

    explicit TableDef(std::shared_ptr<detail::TableDefImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::TableDefImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::TableDefImpl> impl_;
};

class TableDefs {
public:
    int Count() const;
    TableDef operator[](int index) const;             // sorted by name without regard to case
    TableDef operator[](std::string_view name) const; // case-insensitive; 3265 when missing
    void Append(const TableDef& table);               // 3010 name taken, 3264 no fields, 3191 field twice
    void Delete(std::string_view name); // drops the table (only the attachment for attached ones)
    void Refresh();

    explicit TableDefs(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- QueryDef -------------------------------------------------------------------------------------------

// A parameter a query declares (PARAMETERS name type, ...): its value is given before the query runs, and
// converted to the parameter's type. A query run with a parameter left without a value fails with 3061.
class Parameter {
public:
    std::string Name() const;
    int Type() const;
    Variant Value() const;
    void SetValue(const Variant& value);

    Parameter(std::shared_ptr<detail::QueryDefImpl> query, std::size_t index)
        : query_(std::move(query)), index_(index) {}

private:
    std::shared_ptr<detail::QueryDefImpl> query_;
    std::size_t index_ = 0;
};

class Parameters {
public:
    int Count() const;
    Parameter operator[](int index) const;             // in the order of the declaration; 3265 out of range
    Parameter operator[](std::string_view name) const; // without regard to case; 3265 when missing

    explicit Parameters(std::shared_ptr<detail::QueryDefImpl> query) : query_(std::move(query)) {}

private:
    std::shared_ptr<detail::QueryDefImpl> query_;
};

// A saved query: its SQL text is kept exactly as given. A select query can be opened as a recordset and
// named in the FROM clause of other statements.
class QueryDef {
public:
    QueryDef() = default;
    std::string Name() const;
    void SetName(std::string_view name);
    std::string SQL() const;
    void SetSQL(std::string_view sql); // checked as at creation
    void Close();
    void Execute(int options = 0);
    Recordset OpenRecordset(int type = 0, int options = 0);
    std::int64_t RecordsAffected() const;
    dao::Properties Properties() const;
    dao::Parameters Parameters() const;

    explicit QueryDef(std::shared_ptr<detail::QueryDefImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::QueryDefImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::QueryDefImpl> impl_;
};

class QueryDefs {
public:
    int Count() const;
    QueryDef operator[](int index) const;             // sorted by name without regard to case
    QueryDef operator[](std::string_view name) const; // 3265 when missing
    void Append(const QueryDef& query);               // a QueryDef made by CreateQueryDef("") then named
    void Delete(std::string_view name);               // 3265 when missing
    void Refresh();

    explicit QueryDefs(std::shared_ptr<detail::Collection> c) : c_(std::move(c)) {}

private:
    std::shared_ptr<detail::Collection> c_;
};

// ---- Recordset ------------------------------------------------------------------------------------------

// OpenRecordset on a local table name gives a table-type recordset (rows in the table's order); on an
// attached table, a saved query or SQL text a dynaset, updatable when it reads one table (otherwise
// AddNew/Edit/Delete give 3027). A recordset is positioned on its first row (Eof and Bof when empty).
//
// AddNew / Edit fill an edit buffer; Update validates and writes it: 3163 text too long, 3315 zero-length
// text not allowed, 3314 Null in a required field, 3022 duplicate key, 3349 number out of range, 3058 Null
// in a primary key. On failure nothing is written and the buffer is kept. After AddNew + Update the
// current row is the one current before AddNew. A new row not saved is discarded by a move, a new
// AddNew/Edit, CancelUpdate or Close.
class Recordset {
public:
    Recordset() = default;
    bool Eof() const;    // VB's EOF (the C macro takes that name)
    bool Bof() const;    // VB's BOF
    void MoveNext();     // 3021 at EOF
    void MovePrevious(); // 3021 at BOF
    void MoveFirst();
    void MoveLast();
    // Exact number of rows (table-type: of the table; other types: of the result, counted on first call).
    std::int64_t RecordCount() const;
    void AddNew();        // 3023 when AddNew/Edit is pending
    void Edit();          // 3021 without a current row, 3023 when pending
    void Update();        // 3020 without AddNew/Edit
    void CancelUpdate();  // 3020 without AddNew/Edit
    void Delete();        // 3021 without a current row; the row stays current until a move
    int EditMode() const; // 0 none, 1 Edit, 2 AddNew
    bool Updatable() const;
    std::string Name() const; // the source as given
    int Type() const;         // dbOpenTable or dbOpenDynaset
    dao::Fields Fields() const;
    void Close(); // 3420 when already closed

    explicit Recordset(std::shared_ptr<detail::RecordsetImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::RecordsetImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::RecordsetImpl> impl_;
};

class Recordsets {
public:
    int Count() const; // open recordsets of the database
    void Refresh();

    explicit Recordsets(std::shared_ptr<detail::DatabaseImpl> db) : db_(std::move(db)) {}

private:
    std::shared_ptr<detail::DatabaseImpl> db_;
};

// ---- Database -------------------------------------------------------------------------------------------

class Database {
public:
    Database() = default;
    std::string Name() const; // the path as given to OpenDatabase
    std::string Connect() const;
    bool Updatable() const;

    dao::TableDefs TableDefs() const;
    dao::QueryDefs QueryDefs() const;
    dao::Recordsets Recordsets() const;
    dao::Properties Properties() const;

    // Runs one Jet SQL action statement (INSERT, UPDATE, DELETE, DDL; a trailing ";" is allowed).
    // Without dbFailOnError, rows it cannot change are handled as Jet does: a row that would duplicate a
    // key or break Required / AllowZeroLength / a validation rule is skipped, a value that cannot be
    // converted becomes Null, text too long is cut to the field's size. With dbFailOnError the first such
    // row fails the statement with its number (3022, 3314, 3315, 3421, 3163) and nothing is changed.
    // A SELECT gives 3065; SQL the translator cannot read gives its number.
    // With dbDeferWrite (and without dbFailOnError), "UPDATE t SET field = other" (no WHERE) writes no row
    // where it can: the field reads the converted values at once and the rows take them at the next
    // compaction, or before the table's next row write. Where it cannot (a validation rule, an index over the
    // field, a counter) the statement runs as without the option.
    void Execute(std::string_view sql, int options = 0);
    std::int64_t RecordsAffected() const;

    // A table name (local: table-type; attached: dynaset), a saved query name or SQL text (dynaset).
    // 3078 unknown table or query, 3061 unknown field name.
    Recordset OpenRecordset(std::string_view source, int type = 0, int options = 0);

    TableDef CreateTableDef(std::string_view name = {}, std::int32_t attributes = 0,
                            std::string_view sourceTable = {}, std::string_view connect = {});
    // With a name: checks the SQL (syntax: the translator's number; missing table 3078) and stores the
    // query at once (3012 when the name is taken). With an empty name: a temporary query, not stored.
    QueryDef CreateQueryDef(std::string_view name = {}, std::string_view sql = {});
    Property CreateProperty(std::string_view name, int type, const Variant& value);

    // Changes the database password: 3031 when oldPassword is not the current one ("" when none);
    // newPassword "" removes it. Only a salted hash is stored: the file itself is not encrypted.
    void NewPassword(std::string_view oldPassword, std::string_view newPassword);

    // Transactions over this database. Nested BeginTrans are allowed; Rollback undoes the innermost.
    // 3034 CommitTrans/Rollback without BeginTrans. Close with a transaction pending rolls it back.
    // A CommitTrans that SQLite refuses (another program holds the file, I/O error, disk full) rolls the
    // whole transaction back and throws that error: no transaction is pending afterwards. The same holds
    // for the commit of grouped writes (then the writes since the last commit are lost with it). When
    // SQLite ended a transaction by itself after an error, the next write, CommitTrans, or BeginTrans
    // throws 3000 once and the engine is outside any transaction.
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    // Commits grouped writes and releases the file (when no other Database holds it). Objects obtained
    // from it fail with 3420 from now on. 3420 when already closed.
    void Close();
    bool IsOpen() const;

    explicit Database(std::shared_ptr<detail::DatabaseImpl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<detail::DatabaseImpl>& impl() const { return impl_; }

private:
    std::shared_ptr<detail::DatabaseImpl> impl_;
};

// ---- DBEngine -------------------------------------------------------------------------------------------

// Maps a path as the program writes it (Windows "C:\ZU\ditta\cont32.mdb", or a host path starting with
// "/") to the host path of the file. The default uses platform::HostPath for Windows paths and takes host
// paths as they are.
using PathResolver = std::function<std::string(const std::string&)>;

// A database file held by this process alone while the object lives (or until Release), as an exclusive open
// holds it, without keeping the file open: the Databases of this process open, change and compact it as
// usual; other processes cannot open it (3356) nor compact it. A file replaced meanwhile (a compaction
// writes a new one) is no longer covered.
class FileReservation {
public:
    FileReservation() = default;
    bool Held() const;
    void Release();

    explicit FileReservation(std::shared_ptr<void> impl) : impl_(std::move(impl)) {}

private:
    std::shared_ptr<void> impl_;
};

struct EngineShared;

class DBEngine {
public:
    explicit DBEngine(PathResolver resolver = {});
    ~DBEngine();
    DBEngine(const DBEngine&) = delete;
    DBEngine& operator=(const DBEngine&) = delete;

    // Opens an existing database. connect may carry ";pwd=PASSWORD" (also "MS Access;PWD=..."): a wrong
    // or missing password on a protected database gives 3031; a password given for an unprotected one is
    // ignored. 3024 missing file, 3044 missing folder, 3343 a file that is not one of our databases,
    // 3051 a file that cannot be opened or written (readOnly false), 3356 held exclusively elsewhere.
    // Every open Database holds its file in a way that other processes see (as Jet's lock file does):
    // exclusive opens, compactions and reservations elsewhere fail on it. An exclusive open fails with 3045
    // when another process has the file open, or stays inside a SQLite transaction on it for the busy
    // wait (about two seconds; the same wait applies to every lock SQLite finds taken).
    Database OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                          std::string_view connect = {});

    // Creates a new empty database; locale may carry ";pwd=PASSWORD". 3204 when the file exists.
    Database CreateDatabase(const std::string& path, std::string_view locale = {}, int options = 0);

    // Reserves a database file for this process (FileReservation) before it is changed. 3024 missing file,
    // 3044 missing folder, 3045 when another process has it open through an engine, or stays inside a SQLite
    // transaction on it for the busy wait, or (a Jet or ACE file) another program or computer has it open;
    // 3051 when the file cannot be changed and replaced in its folder (detail::CheckArchiveForChange).
    FileReservation Reserve(const std::string& path);

    // Writes a fresh compact copy of source (tables, indexes, queries, properties, password) to
    // destination. The source password is taken from ";pwd=" in dstLocale or, failing that, from password;
    // the copy keeps the source's password. 3024 source missing, 3204 destination exists, 3031 wrong
    // password, 3343 not one of our databases, 3356 when another process has the source open or is inside a
    // transaction on it. Grouped writes of this engine on source are committed first.
    void CompactDatabase(const std::string& source, const std::string& destination,
                         std::string_view dstLocale = {}, int options = 0, std::string_view password = {});

    // A Jet or ACE file (the Windows engine's own format, recognised by its header) given to OpenDatabase
    // or CompactDatabase is first converted into one of our archives (dao/jet_import.h): in place, the
    // original kept beside it as NAME.jet (NAME.jet2... when taken), or, when its folder cannot be written
    // or the opening is read-only, into a temporary copy used for the rest of the run. Its database
    // password is asked as for any archive (3031). Each conversion leaves one notice for the caller's log:
    // this returns them and forgets them.
    std::vector<std::string> TakeConversionNotices();
    // Converts a Jet or ACE file in place as OpenDatabase would (";pwd=" in connect for its password),
    // without opening it; nothing for a file that is one of our databases already. The errors of
    // OpenDatabase's conversion.
    void ConvertInPlace(const std::string& path, std::string_view connect = {});
    // True when the file is one of our databases, whole (as long as its pages say) and passing SQLite's
    // integrity check. Only reads the file; needs no password; never throws.
    bool IsWholeDatabase(const std::string& path) const;

    // Host path of a program path (the resolver above).
    std::string HostPath(const std::string& path) const;

private:
    std::shared_ptr<EngineShared> shared_;
};

// The Italian description of a Jet/DAO error number (our own table), with '|' placeholders filled from
// the arguments in order.
std::string JetErrorText(int number, std::string_view arg1 = {}, std::string_view arg2 = {});

} // namespace ledrana::dao
