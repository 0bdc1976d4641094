#pragma once
// Values between Variants and SQLite: storage of a field's values, reading columns, binding parameters.

#include "dao/store/catalog.h"
#include "dao/vb/variant.h"

#include <sqlite3.h>

#include <optional>

namespace ledrana::dao::detail {

// ---- Values ----
// Decimal values are stored as their text (Decimal::ToString) in TEXT columns of this collation, which
// orders them as numbers: indexes, ORDER BY, Min/Max and comparisons with a column see numbers, and every
// digit stays exact. Registered on every connection (RegisterEngineFunctions).
void RegisterDecimalCollation(sqlite3* db);
// A value converted to a Boolean, number or date type; nullopt for the other types. Throws VB's errors.
std::optional<Variant> AsScalarType(int type, const Variant& v);
// Converts a value for storage in a field: the stored Variant (Null, Long for integers and Booleans,
// Double for Currency/Single/Double/Date, String, Binary). Throws 3421 for a value that cannot be
// converted, 3163 for text too long, 3349 for a number out of range.
Variant ToStorage(const Variant& v, const FieldDef& f);
// Reads column i of a statement as a value of the field's type.
Variant FromColumn(sqlite3_stmt* s, int i, const FieldDef* f);
// Reads column i by its storage class alone.
Variant FromColumnRaw(sqlite3_stmt* s, int i);
// The same for a value SQLite hands over (a hook's, a function's argument).
Variant FromValue(sqlite3_value* v, const FieldDef* f);
Variant FromValueRaw(sqlite3_value* v);
void BindVariant(sqlite3_stmt* s, int i, const Variant& v);
// True when `v`, read as a field of type `fromType`, holds what a save of it into a field of type `toType`
// and size `toSize` stores, byte for byte.
bool StoredAsIs(sqlite3_value* v, int fromType, int toType, std::int32_t toSize);
// The same kind and the same stored value (1 and 1.0 differ, as do "a" and "A").
bool SameStoredValue(const Variant& a, const Variant& b);
// The most arguments dao_nulls takes.
inline constexpr int kMaxNullCounts = 100;
// What dao_as_is(value, fromType, toType, toSize, flags) raises for a value that a save would convert or
// refuse.
inline constexpr const char* kNotAsIs = "dao_as_is";
// Registers the engine's own SQL functions (dao_store, dao_ok, dao_nulls, dao_as_is, dao_key_hashes).
void RegisterEngineFunctions(sqlite3* db);
// Registers dao_key_hashes, with which the check of a new unique index reads the keys of its table.
void RegisterKeyHashes(sqlite3* db);

} // namespace ledrana::dao::detail
