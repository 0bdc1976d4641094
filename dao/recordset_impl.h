#pragma once
// The implementation object behind a Recordset: its columns, cursor, edit buffer and held saves.

#include "dao/handles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ledrana::dao::detail {

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
    void CheckBeforeSave(); // Update's validation of the edit buffer
    void Update();
    void Delete();
    void Move(int how); // 0 first, 1 next, 2 previous, 3 last
    void Close();
    // Writes the saves held for this recordset's walk.
    void WriteOwnHeld();
    ~RecordsetImpl();
};

// Field object of column i of a recordset, made on first use.
std::shared_ptr<FieldImpl> RecordsetField(const std::shared_ptr<RecordsetImpl>& rs, std::size_t i);

// The Fields collection of a recordset (dao/fields.cpp).
dao::Fields FieldsOf(const std::shared_ptr<RecordsetImpl>& rs);

// Builds a recordset (dao/recordset.cpp).
std::shared_ptr<RecordsetImpl> OpenRecordsetImpl(const std::shared_ptr<DatabaseImpl>& db,
                                                 std::string_view source, int type);
// A dynaset, snapshot or forward-only recordset of a local table's rows with the given fields only.
std::shared_ptr<RecordsetImpl> OpenFieldsRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                   const std::string& table,
                                                   const std::vector<std::string>& fields, int type);
// `values`: the values of the statement's declared parameters, in order (nullptr: none given, 3061).
std::shared_ptr<RecordsetImpl> OpenQueryRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                  std::string_view name, std::string_view jetSql,
                                                  const std::vector<Variant>* values = nullptr);

} // namespace ledrana::dao::detail
