#pragma once
// The catalog kept in memory (tables, fields, indexes, queries, properties), the names in it, the rules of
// field types, and the catalog's tables in the file (written inside a structure change).

#include "dao/store/completed_nulls.h"
#include "dao/vb/constants.h"
#include "dao/vb/variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ledrana::dao::detail {

// ---- Names ----
std::string Upper(std::string_view s); // case folding used for name look-up
bool SameName(std::string_view a, std::string_view b);
bool LessNoCase(const std::string& a, const std::string& b);
// Jet's rule for the name of a table, field, index or saved query: 1 to 64 characters, none of them a
// period, an exclamation point, a grave accent, a bracket or a control character, and no leading blank.
bool ValidName(std::string_view name);

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
    // The field's values are computed from a hidden column until the next compaction (store/deferred.cpp).
    bool derived = false;
    // A computed field of the table reads this field's values: writing it would change what that one gives.
    bool readByDerived = false;

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
    // Hidden columns whose Nulls a field computed from them completes, where the Nulls are counted when the
    // values are stored (store/deferred.cpp): the field, and the count once known (-1 until then). Recorded
    // with their hidden column, ordinal -2.
    struct NullFill {
        std::string column, field;
        std::int64_t count = -1;
    };
    std::vector<NullFill> fills;

    FieldDef* FindField(std::string_view n);
    const FieldDef* FindField(std::string_view n) const;
    int FieldIndex(std::string_view n) const;
    // Whether a hidden column has the name.
    bool Hides(std::string_view n) const;
    // The ordinal a field appended now takes: one after the highest.
    int NextOrdinal() const;
    IndexDef* FindIndex(std::string_view n);
    bool IsSystem() const { return (attributes & dbSystemObject) == dbSystemObject; }
    bool IsAttached() const { return (attributes & dbAttachedTable) != 0 || !connect.empty(); }
    // Values or indexes wait for the next compaction (store/deferred.cpp).
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

struct Connection;

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

} // namespace ledrana::dao::detail
