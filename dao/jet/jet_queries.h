#pragma once
// The saved queries of a Jet or ACE file, as the SQL text that Access shows for them.
//
// A Jet file keeps no SQL text for its queries (pass-through and data-definition aside): each query is a
// row of type 5 in MSysObjects, and its parts are rows of MSysQueries tied to it by ObjectId (one row
// per table, column, join, condition, sort key...). The text is rebuilt from those rows: joins nested in
// their parentheses, several ON conditions of one join in parentheses joined by AND, DISTINCT,
// DISTINCTROW, TOP n [PERCENT], PARAMETERS, WITH OWNERACCESS OPTION, IN 'external database'.
//
// The text is on one line, clauses separated by one space, and ends with ";" (for example
// "SELECT DISTINCT Table1.*, Table2.col1 FROM Table1 INNER JOIN Table2 ON Table1.col1 = Table2.col1
// ORDER BY Table2.col1;"). Expressions are kept exactly as the file holds them. The text of a union's
// parts, of a pass-through and of a data-definition query is the user's own and is kept whole (line
// breaks included), only trimmed.

// mdbtools.h includes glib.h inside extern "C", where glib's C++ parts do not compile: glib first.
#include <glib.h>
#include <mdbtools.h>

#include <string>
#include <vector>

namespace ledrana::dao::jet {

// DAO's QueryDef.Type values.
enum QueryType {
    kQuerySelect = 0,
    kQueryCrosstab = 16,
    kQueryDelete = 32,
    kQueryUpdate = 48,
    kQueryAppend = 64,
    kQueryMakeTable = 80,
    kQueryDataDefinition = 96,
    kQueryPassThrough = 112,
    kQueryUnion = 128,
};

struct SavedQuery {
    std::string name;
    // The SQL text; "" only when the rows could not be read as a query (note says why).
    std::string sql;
    int type = kQuerySelect;
    // A pass-through query's connect text ("ODBC;DSN=..."); "" for the others.
    std::string connect;
    // True for Access's own queries (names starting with "~", such as "~sq_f..." behind a form's record
    // source): they belong to forms and controls, not to the database's program. Kept in the list so the
    // caller decides; a converter of data archives should skip them.
    bool access_internal = false;
    // What was odd in the rows ("" when the text was rebuilt whole).
    std::string note;
};

// The saved queries of the file open in mdb, in catalog order (the order of MSysObjects' rows).
// mdb is only read: the function works on its own clone of the handle, so the caller's catalog, page
// buffer and bind size are left as they were. Throws ledrana::Error 3049 when MSysObjects or MSysQueries
// cannot be read, or ends before the row count its definition gives (a truncated file); the description
// says what was wrong, the caller adds the file's name. libmdb itself may print a line on stderr then.
std::vector<SavedQuery> ReadSavedQueries(MdbHandle* mdb);

// One row of MSysQueries. Null texts are "", null numbers 0.
struct QueryRow {
    int attribute = 0;
    std::string expression;
    int flag = 0;
    std::string name1;
    std::string name2;
    long extra = 0; // LvExtra (Jet 4): the size of a Text parameter
};

// Rebuilds one query from its rows (in the table's order) and its MSysObjects Flags. Sets sql, type,
// connect and note of the result; name and access_internal are left to the caller.
SavedQuery DecodeQuery(const std::vector<QueryRow>& rows, int objectFlags);

} // namespace ledrana::dao::jet
