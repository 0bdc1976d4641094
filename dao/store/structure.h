#pragma once
// Structure changes on a connection: tables, fields, indexes and saved queries.

#include "dao/store/catalog.h"
#include "dao/store/connection.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ledrana::dao::detail {

// The names a caller gives to a new object, or to one it renames, checked as Jet checks them (3125 for a
// name ValidName refuses). The operations below take any non-empty name: an archive made by another program
// may hold names Jet refuses, and the engine's own work (a conversion, a scratch column) names what it makes.
void CheckNewName(std::string_view name);
// A table about to be created: its name and, for a local table, the names of its fields and indexes.
void CheckNewTable(const TableState& t);

// Structure operations on the connection (each inside Ddl by the caller or itself).
void CreateTable(Connection& c, TableState t);
void DropTable(Connection& c, std::string_view name);
void RenameTable(Connection& c, std::string_view from, std::string_view to);
void AddField(Connection& c, std::string_view table, FieldDef f);
// AddField of each field in turn, the columns added in one change of the schema. The first field that
// AddField would refuse ends the list: the fields before it are added (`fields` keeps them), and its error
// is returned (null when every field was added).
std::exception_ptr AddFields(Connection& c, std::string_view table, std::vector<FieldDef>& fields);
void DropField(Connection& c, std::string_view table, std::string_view field);
void RenameField(Connection& c, std::string_view table, std::string_view from, std::string_view to);
// DropField of `field`, then RenameField of `by` to its name, with one edit of SQLite's schema.
void ReplaceField(Connection& c, std::string_view table, std::string_view field, std::string_view by);
void UpdateFieldProperties(Connection& c, std::string_view table, const FieldDef& f);
void CreateIndex(Connection& c, std::string_view table, IndexDef ix);
void DropIndex(Connection& c, std::string_view table, std::string_view index);
void CreateQuery(Connection& c, std::string_view name, std::string_view sql);
void DropQuery(Connection& c, std::string_view name);
void CheckQuerySql(Connection& c, std::string_view sql);
// A column name of the form "~n~field" that no column of the table has.
std::string HiddenName(Connection& c, const TableState& t, const std::string& field);
// Renames the column of a field out of the way: its values stay in the rows, never read nor written,
// until the next compaction. Returns the column's new name.
std::string HideColumn(Connection& c, TableState& t, const std::string& column);
// Renames columns of a local table (all at once: a swap or a change of case needs no third name, and the
// table's computed columns and indexes follow) and appends column definitions, in one change of the
// schema.
void EditColumns(Connection& c, const std::string& table,
                 const std::vector<std::pair<std::string, std::string>>& renames,
                 const std::vector<std::string>& added);
// A column that SQLite computes, and the columns its expression names.
struct ComputedColumn {
    std::string name;
    std::vector<std::string> reads;
};
// The computed columns of a CREATE TABLE text; nullopt when the text is not one this engine can read.
std::optional<std::vector<ComputedColumn>> ComputedColumns(const std::string& sql);
// CREATE [UNIQUE] INDEX of an index of the table, under its SQLite name.
std::string IndexSql(const TableState& t, const IndexDef& ix);

// Changes of values that wait for the next compaction (store/deferred.cpp). A field whose values a change
// converts becomes a virtual column computed from its old column, which stays hidden in the rows: reads
// see the new values at once and no row is written. Each runs inside Ddl.
// "UPDATE table SET target = source" as Execute without dbFailOnError runs it, for a target that no
// index holds, in a table without validation rules: the rows it changes; -1 (nothing done) otherwise.
std::int64_t DeriveField(Connection& c, std::string_view table, std::string_view target,
                         std::string_view source);
// AddField of `f`, then DeriveField of it from `source` (without counting the rows), with one edit of
// SQLite's schema: the new field is computed from the start, with no column of its own to hide. False
// (nothing done) where AddField would refuse or move a hidden column first, or DeriveField would not do it.
bool AddDerivedField(Connection& c, std::string_view table, FieldDef f, std::string_view source);
// The field of `f`'s name takes `f`'s definition, its values those it held converted as AddDerivedField
// of `f` from it would compute them, and its place after the other fields: what AddDerivedField of a new
// field and ReplaceField of the old one by it leave, in one edit of SQLite's schema. False (nothing done)
// where either would refuse or take another way: an index over the field, validation rules, a counter.
bool ConvertField(Connection& c, std::string_view table, FieldDef f);
// For each (field, value): every Null of the field becomes the value, as a recordset's save of the value
// into each such row would make it, for a field that no unique index holds, in a table without validation
// rules, with a value the field accepts. The numbers of values completed (0 for a field without a Null,
// whatever its saves), -1 (nothing done) for a field with Nulls whose saves could be refused. One read of
// the table counts the Nulls of every field.
std::vector<std::int64_t> FillNulls(Connection& c, std::string_view table,
                                    const std::vector<std::pair<std::string, Variant>>& fields);
// The gate of every row write: before `columns` of existing rows of the table are written (or new rows,
// `insert`), stores the table's waiting values into its rows and builds its waiting indexes, in a structure
// change of its own, when the write would change what a computation gives: a computed field written, a
// field that a computation reads, a field of a waiting unique index, or a new row. Other writes and
// deletions leave the computations waiting.
void BeforeRowWrite(Connection& c, std::string_view table, const std::vector<std::string>& columns,
                    bool insert);
// Has SQLite refuse (error 3000) any statement that writes into a table what the gate above had to store
// values for, so that a write that skips the gate fails instead of changing what the table reads.
void RefuseUngatedWrites(Connection& c);
// Marks the fields of a table of the catalog being loaded that are computed, and those that computations
// read, from SQLite's definition of the table (`columns`: the names of pragma_table_xinfo that are computed).
void NoteComputedFields(TableState& t, const std::vector<std::string>& columns, const std::string& sql);

} // namespace ledrana::dao::detail
