#pragma once
// The implementation objects behind the public handles of dao.h (Database, TableDef, Field, Index, QueryDef,
// Property) and the state one engine shares among its Databases.

#include "dao/dao.h"
#include "dao/store/internal.h"
#include "dao/store/row_change_tally.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ledrana::dao::detail {
// ---- Engine-wide state ----
struct DatabaseImpl;
} // namespace ledrana::dao::detail

namespace ledrana::dao {
struct EngineShared {
    PathResolver resolver;
    std::map<std::string, std::weak_ptr<detail::Connection>> open; // host path -> connection
    std::vector<std::pair<std::string, std::string>> verified;     // (hash, password) pairs checked
    std::set<std::string> scratch;                                 // host paths of scratch copies
    std::set<std::string> deferredSync; // host paths whose commits are synced later
    bool Verify(const std::string& hash, const std::string& password);

    // Files of the Windows engine met by OpenDatabase (dao/jet/jet_open.cpp, through dao/engine_jet.cpp).
    std::vector<std::string> conversionNotices;   // not yet taken by the caller
    std::map<std::string, std::string> jetCopies; // Jet file (host) -> its converted temporary copy
    std::string jetCopyFolder;                    // where those copies live, removed with the engine
    // Files whose row writes are watched (ChangeWatch): host path -> the tally of every connection to it.
    std::map<std::string, std::shared_ptr<detail::RowChangeTally>> watches;
    // The connection to a copy held in memory that its last Database closed, kept for the next opening of
    // the copy (a comparison closes and opens its archive again after some of its steps): nobody else can
    // open the copy, so nothing is held by keeping it; what another connection of this process committed
    // meanwhile is read again (Connection::CheckFresh). It goes with the copy.
    std::shared_ptr<detail::Connection> parked;
    // Lets the kept connection go when it is the one to the file at `host`.
    void ForgetParked(const std::string& host);
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
    bool appended = false;
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

} // namespace ledrana::dao::detail
