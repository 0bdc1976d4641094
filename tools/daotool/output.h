#pragma once
// What daotool prints of a database: a query's rows and the structure, as text for people and tests
// (tab-separated cells, one line per object) and as JSON for scripts (rows as objects keyed by column name,
// the structure with the type names Access shows in a table's design).

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "dao/dao.h"

namespace ledrana::daotool {

// --- text
// The rows of `sql`, tab-separated under a header line of the column names; Null as NULL, Yes/No as -1/0,
// dates "YYYY-MM-DD" (with " HH:MM:SS" when the time is not midnight), binary as 0x and hex digits, tabs and
// line breaks in text as \t, \r, \n.
void WriteRowsText(dao::Database& db, const std::string& sql, std::ostream& out);
// One line per user table, field, index and saved query, each kind sorted by name without regard to case:
//   table T attributes=N [PROPERTY=VALUE...]
//   field T.F type=N size=N attributes=N allowzerolength=0|1 required=0|1
//   index T.I primary=0|1 unique=0|1 fields=A,B
//   query Q sql=TEXT
void WriteSchemaText(dao::Database& db, std::ostream& out);

// --- JSON
// s as a JSON string, quotes included; each byte that is not part of valid UTF-8 becomes U+FFFD.
std::string JsonText(std::string_view s);
// Standard base64 with padding.
std::string Base64(std::string_view bytes);
// A date as ISO 8601 text without a zone: "2005-01-31T10:20:30".
std::string IsoDate(double days);
// One value: Null as null, Yes/No as true/false, numbers as numbers (Currency and Decimal exact to their
// last decimal), dates as IsoDate text, binary as base64 text.
std::string JsonValue(const dao::Variant& v);
// A field's type as Access names it in a table's design: "Testo", "Numerico (Intero lungo)", "Contatore",
// "Sì/No"...
std::string AccessTypeName(int type, std::int32_t attributes);

// The rows of `sql` as a JSON array of objects, one object a line, keyed by column name in the query's
// order.
void WriteRowsJson(dao::Database& db, const std::string& sql, std::ostream& out);
// {"tables": [...], "queries": [...]}: each user table with its text properties, its fields in their
// order, its indexes (fields, primary, unique, ignoreNulls, required); each saved query with its SQL.
void WriteSchemaJson(dao::Database& db, std::ostream& out);

} // namespace ledrana::daotool
