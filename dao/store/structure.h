#pragma once
// Structure changes on a connection: tables, fields, indexes and saved queries.

#include "dao/store/catalog.h"
#include "dao/store/connection.h"

#include <string_view>

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

} // namespace ledrana::dao::detail
