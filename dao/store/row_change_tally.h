#pragma once
// The tally behind ChangeWatch: fed by SQLite's pre-update hook while the writes are made, it keeps for each
// row touched a digest of the values it first had (and the first few values themselves); the result is read
// from the file afterwards, so that writes undone (a transaction rolled back, a statement that failed) and
// values written back as they were count for nothing.

#include "dao/store/catalog.h"
#include "dao/store/row_changes.h"

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ledrana::dao::detail {

struct Connection;

class RowChangeTally {
public:
    // How many values of each kind the result shows.
    static constexpr std::size_t kFirst = 3;

    // Passes the connection's row writes to this tally until Stop (or the connection's end).
    void Start(Connection& c);
    static void Stop(Connection& c);
    // The changes, read from `db` (a connection to the same file that sees every write committed).
    std::vector<TableChanges> Read(sqlite3* db) const;

private:
    struct Row {
        bool inserted = false;                 // it did not exist when the tally first met it
        std::map<int, std::uint64_t> original; // column -> digest of the value it first had
        std::vector<Variant> removed;          // every column as a delete found it
        bool deleted = false;
    };
    struct Table {
        bool watched = false; // a table of the archive's own, with fields the catalog knows
        std::vector<FieldDef> fields;
        std::vector<std::string> primaryKey;
        std::map<std::int64_t, Row> rows;
        // The first values each column had in the rows it changed in (rowid, stored value).
        std::map<int, std::vector<std::pair<std::int64_t, Variant>>> firstBefore;
        // Rows removed whose rowid a new row then took: every column as the delete found it.
        std::vector<std::vector<Variant>> gone;
    };
    static void OnWrite(void* self, sqlite3* db, int op, const char* schema, const char* table,
                        sqlite3_int64 oldRowid, sqlite3_int64 newRowid);
    Table& TableNamed(const Connection& c, const std::string& name);

    std::map<std::string, Table> tables_; // by SQLite's name
    std::vector<std::string> order_;      // in the order first met
    friend struct RowChangeHook;
};

} // namespace ledrana::dao::detail
