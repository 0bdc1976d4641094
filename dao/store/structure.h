#pragma once
// Structure changes on a connection: tables, fields, indexes and saved queries.

#include "dao/store/catalog.h"
#include "dao/store/connection.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ledrana::dao::detail {

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
// CREATE [UNIQUE] INDEX of an index of the table, under its SQLite name.
std::string IndexSql(const TableState& t, const IndexDef& ix);

// Changes of values that wait for the next compaction (store/deferred.cpp). A field whose values a change
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
// Writes the table's waiting values into its rows and builds its waiting indexes.
void WriteDeferred(Connection& c, std::string_view table);
// True when `table` names a local table with waiting changes.
bool TableHasDeferred(Connection& c, std::string_view table);
// True when a write of the columns of existing rows (or of new rows) into the table needs its waiting
// changes written first: a computed field written, a field that a computation reads, a waiting unique index
// over one of them, or a new row. Other writes leave the computations as they are.
bool WriteNeedsStoredValues(Connection& c, std::string_view table, const std::vector<std::string>& columns,
                            bool insert);

} // namespace ledrana::dao::detail
