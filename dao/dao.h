#pragma once
// The database engine: DAO's object model over SQLite files.
//
// One archive is one SQLite file. The engine's catalog (field types, sizes, attributes, properties, saved
// queries, the password verifier) lives in the same file in tables named MSys...; they are listed in
// TableDefs as system tables (Attributes has dbSystemObject) and must never be compared, copied or deleted.
//
// Objects are handles, as in VB: copying a TableDef, Field, Recordset... copies a reference to the same
// object (VB's Set). A default-constructed Database, TableDef... refers to nothing; using it throws 91.
// Every object that belongs to a Database fails with 3420 once that Database (or the object itself, for
// a Recordset or QueryDef) is closed.
//
// Errors are thrown as ledrana::Error with Jet's numbers (the description is our own Italian text):
// 3010 table exists, 3020 Update without AddNew/Edit, 3021 no current record, 3022 duplicate key,
// 3024 file not found, 3031 wrong password, 3044 invalid path, 3051 cannot open file, 3061 too few
// parameters (unknown field name in SQL), 3078 unknown table or query, 3163 text too long, 3191 field
// defined twice, 3204 database exists, 3219 invalid operation, 3265 item not found, 3270 property not
// found, 3280 field is part of an index, 3283 primary key exists, 3284 index exists, 3314 Null where
// required, 3315 zero-length text not allowed, 3343 not one of our databases, 3349 numeric overflow,
// 3420 object closed, 3421 conversion error.
//
// Writes: every completed operation is atomic. Row changes made through recordsets and Execute, and DDL
// (Append, Delete, property changes, queries), are grouped into one SQLite transaction (rollback
// journal) that is committed when the recordset or the database closes, with the next CommitTrans, and at
// least every few thousand rows; DDL and BeginTrans transactions join that group in savepoints of their
// own. A process killed at any moment leaves a file that opens and holds a prefix of the completed
// operations.
//
// Sharing: the same file opened twice through one DBEngine is one connection underneath, so the two
// Database objects see each other's changes at once.
// Other processes see every open Database (a lock on its file) and are seen by it: see OpenDatabase,
// CompactDatabase and Reserve.
//
// The object model is declared in parts, all included here: object_declarations.h (handles and
// constants), object_fields.h, object_tables.h, object_queries.h, object_database.h. Code outside the engine
// includes this header only.

#include "dao/object_database.h"
