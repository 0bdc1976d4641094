#pragma once
// The database, the engine and its file reservations (part of dao/dao.h).

#include "dao/object_queries.h"
#include "dao/store/row_changes.h"

#include <memory>

namespace ledrana::dao {

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
    // While on, an index appended to a table that holds rows is checked at once (3022 for keys two rows
    // share, 3058 for a Null in a primary or required key) and built by the next compaction, which writes
    // the table anyway, or before the table's next new row. Off when the database is opened.
    void DeferIndexBuilds(bool on);
    // Lets AppendRows from the tables of `source`, another open database, into this one copy their rows in
    // one statement of SQLite's when every value goes as it is stored: `source`'s file is attached to this
    // database's connection, read-only. The copy reads what the file holds: `source`'s grouped writes are
    // committed here (and this database's when the file is attached, 3219 inside BeginTrans), and a copy
    // made while `source` has writes pending (inside its BeginTrans) goes row by row. The transactions of
    // this database then read-lock the file too: `source` commits nothing while one is open.
    void AttachForCopies(const Database& source);

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

// ---- Rows copied between tables -------------------------------------------------------------------------

// What AppendRows copies of its source table: `fields` (all of them when empty), each into the destination's
// field of its name or, when `into` is given (one name for each of `fields`), into the field `into` names at
// the same place; with `nonNull`, only the rows where that field of the source is not Null; with `position`,
// the destination's field that takes each row's position (from 1) among all the source's rows.
struct RowCopy {
    std::vector<std::string> fields;
    std::string nonNull;
    std::string position;
    std::vector<std::string> into = {};
};

// Appends the rows of table `source` to table `destination`, of the same Database or of another open one
// (another file, another password), in the source's order (a table-type Recordset's), as saving each through
// a Recordset of the destination would: the source's values as its Recordset reads them (a field whose values
// wait for the next compaction gives them), converted to the destination's types (3163 text too long, 3349
// out of range, 3421 cannot be converted); a field not copied takes its default value, a counter its next
// number; each row is checked (3314, 3315, 3058, 3022, validation rules). All the rows or, on an error, none:
// inside a transaction of the destination they commit or roll back with it. Returns the rows appended.
// 3265 unknown field, 3027 destination not writable, 3219 a table not appended, the same table both ways,
// or `into` not matching `fields`.
std::int64_t AppendRows(const TableDef& source, const TableDef& destination, const RowCopy& copy = {});

// ---- DBEngine -------------------------------------------------------------------------------------------

// A database file held by this process alone while the object lives (or until Release), as an exclusive open
// holds it, without keeping the file open: the Databases of this process open, change and compact it as
// usual; other processes cannot open it (3356) nor compact it. A file replaced meanwhile (a compaction
// writes a new one) is no longer covered.
class FileReservation {
public:
    FileReservation() = default;
    bool Held() const;
    void Release();
    // True when the reservation found half of a change that a program stopped in the middle of (its
    // journal beside the file) and undid it.
    bool UndidHalfMadeChange() const { return undone_; }

    FileReservation(std::shared_ptr<void> impl, bool undone) : impl_(std::move(impl)), undone_(undone) {}

private:
    std::shared_ptr<void> impl_;
    bool undone_ = false;
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
    // What a program that stopped while it wrote the file left beside it is settled first (unless
    // `how.settle` is false: the file is then not written at all), so that the file alone is the database:
    // half of a change undone, a write-ahead log copied in (3051 when that fails). Without `how.wait`, a
    // transaction of another process fails the reservation at once instead of after the busy wait.
    struct ReserveHow {
        bool settle = true;
        bool wait = true;
    };
    FileReservation Reserve(const std::string& path, ReserveHow how);
    FileReservation Reserve(const std::string& path) { return Reserve(path, ReserveHow{}); }

    // Marks a file as a scratch copy (or no longer, with false): a copy that stands for nothing by itself,
    // which the caller removes after a crash and only ever reads into a new file of its own (a compacted
    // copy, synced before it is used). The Databases opened on it from now on sync none of their commits
    // and keep its rollback journal in memory (up to 64 MB of file; above, on disk between transactions):
    // a crash may leave the copy damaged, while transactions and their rollbacks work as on any file.
    void SetScratch(const std::string& path, bool scratch);
    // Marks a file whose commits are put on disk together, later (or no longer, with false): the Databases
    // opened on it from now on keep its rollback journal on disk, so that a stopped process leaves it whole
    // as any file, but sync none of their commits. The caller puts them on disk (platform::SyncFile) before
    // anything that relies on them; until then a crash of the machine may leave the file damaged.
    void SetDeferredSync(const std::string& path, bool deferred);
    // Makes `copy` a scratch copy of the database file `source`: held in memory when the file is at most
    // ScratchMemoryLimit() bytes (nothing is written to disk; the copy goes with SetScratch(copy, false) or
    // the process), a new file (as platform::CopyToNewScratchFile) otherwise. Errors of the file copy.
    void MakeScratchCopy(const std::string& source, const std::string& copy);
    // The largest file whose scratch copy is held in memory, for every engine of the process: 64 MB unless
    // set; 0 puts every scratch copy on disk.
    static std::uintmax_t ScratchMemoryLimit();
    static void SetScratchMemoryLimit(std::uintmax_t bytes);

    // Writes a fresh compact copy of source (tables, indexes, queries, properties, password) to
    // destination. The source password is taken from ";pwd=" in dstLocale or, failing that, from password;
    // the copy keeps the source's password. 3024 source missing, 3204 destination exists, 3031 wrong
    // password, 3343 not one of our databases, 3356 when another process has the source open or is inside a
    // transaction on it. Grouped writes of this engine on source are committed first.
    void CompactDatabase(const std::string& source, const std::string& destination,
                         std::string_view dstLocale = {}, int options = 0, std::string_view password = {});
    // The Nulls that the last CompactDatabase completed in storing values where they were left to be
    // counted then (TableDef::FillNulls, kNullsCountedLater): for each table and field, how many.
    const std::vector<CompletedNulls>& LastCompactionCompletedNulls() const { return completedNulls_; }

    // A Jet or ACE file (the Windows engine's own format, recognised by its header) given to OpenDatabase
    // or CompactDatabase is first converted into one of our archives (dao/jet/jet_import.h): in place, the
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
    std::vector<CompletedNulls> completedNulls_;
    friend JetImportReport ImportJetFile(DBEngine& engine, const std::string& source,
                                         const std::string& destination, const std::string& shownName);
    friend class ChangeWatch;
};

// Watches the rows written into one database through this engine, from now until Finish: every
// connection of the engine to the file, open now or opened later, passes its row writes on.
class ChangeWatch {
public:
    // 3024 for a missing file (as OpenDatabase says it); one watch of a file at a time (a second one
    // replaces the first, which then finds nothing).
    ChangeWatch(DBEngine& engine, const std::string& path);
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;
    // Ends the watch and tells what the rows hold now against what they held before: per table the rows
    // added and removed and, per field, the values changed, with the first few of each (a row removed and
    // added again under its primary key is one row whose fields changed). Writes undone (a transaction
    // rolled back, a statement that failed) and values written back as they were count for nothing; the
    // engine's grouped writes are committed first. The errors of reading the file.
    std::vector<TableChanges> Finish();

private:
    void Stop();
    std::shared_ptr<EngineShared> engine_;
    std::string host_, shown_;
    std::shared_ptr<detail::RowChangeTally> tally_;
};

// Writes a new archive at the host path `destination` from the Jet or ACE file at the host path `source`,
// which is only read, in a child process of its own; shownName names the source in error descriptions
// (dao/jet/jet_import.h tells what the archive holds and the errors).
JetImportReport ImportJetFile(DBEngine& engine, const std::string& source, const std::string& destination,
                              const std::string& shownName);

// True when the file at a host path is a Jet or ACE file (by its header): one OpenDatabase converts first.
bool IsJetFile(const std::string& host);

} // namespace ledrana::dao
