#pragma once
// DAO's constants: the type codes of fields (which the translator and the SQL functions read as well),
// attributes, recordset types and Execute options. Part of the public interface through dao/dao.h.

namespace ledrana::dao {

// ---- Constants ------------------------------------------------------------------------------------------

// Field types (DataTypeEnum).
inline constexpr int dbBoolean = 1;
inline constexpr int dbByte = 2;
inline constexpr int dbInteger = 3;
inline constexpr int dbLong = 4;
inline constexpr int dbCurrency = 5;
inline constexpr int dbSingle = 6;
inline constexpr int dbDouble = 7;
inline constexpr int dbDate = 8;
inline constexpr int dbBinary = 9;
inline constexpr int dbText = 10;
inline constexpr int dbLongBinary = 11;
inline constexpr int dbMemo = 12;
inline constexpr int dbGUID = 15;
inline constexpr int dbDecimal = 20; // exact to 28 digits, with Precision and Scale

// Field attributes (FieldAttributeEnum).
inline constexpr int dbFixedField = 1;
inline constexpr int dbVariableField = 2;
inline constexpr int dbAutoIncrField = 16;
inline constexpr int dbUpdatableField = 32;
inline constexpr int dbSystemField = 8192;
inline constexpr int dbDescending = 1; // attribute of an index field

// Table attributes (TableDefAttributeEnum).
inline constexpr int dbHiddenObject = 1;
inline constexpr int dbSystemObject = static_cast<int>(0x80000002u);
inline constexpr int dbAttachedTable = 0x40000000;

// Recordset types and options.
inline constexpr int dbOpenTable = 1;
inline constexpr int dbOpenDynaset = 2;
inline constexpr int dbOpenSnapshot = 4;
inline constexpr int dbOpenForwardOnly = 8;

// Execute options.
inline constexpr int dbFailOnError = 128;
// Ours: an UPDATE that sets one field of a table to another of its fields, in every row, writes no row (see
// Database::Execute).
inline constexpr int dbDeferWrite = 0x10000;

} // namespace ledrana::dao
