#pragma once
// What the store offers the rooms above it (the Jet files' conversion, the object model), one header per
// concept: errors, the catalog, values, the connection, structure changes, execution, the compaction's copy,
// passwords, SQLite's locks.

#include "dao/store/catalog.h"
#include "dao/store/compaction.h"
#include "dao/store/connection.h"
#include "dao/store/errors.h"
#include "dao/store/execute.h"
#include "dao/store/memory_copies.h"
#include "dao/store/password.h"
#include "dao/store/sqlite_locks.h"
#include "dao/store/structure.h"
#include "dao/store/values.h"
