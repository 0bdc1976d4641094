// The SQL functions that translated Jet SQL calls, registered on each connection. The functions are in
// functions_sql_*.cpp, by group; what they share in functions_sqlite.h.

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao {

void RegisterJetFunctions(sqlite3* db) {
    // "name" must always be a name: an unknown field then fails instead of reading as a string.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    for (std::span<const sqlfn::Scalar> group :
         {sqlfn::kOperatorFunctions, sqlfn::kCastFunctions, sqlfn::kConversionFunctions,
          sqlfn::kTextFunctions, sqlfn::kMathFunctions, sqlfn::kDateFunctions, sqlfn::kFormatFunctions,
          sqlfn::kDecimalFunctions})
        for (const sqlfn::Scalar& f : group) {
            int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS : 0);
            sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.body, nullptr, nullptr, nullptr);
        }
    sqlfn::RegisterAggregateFunctions(db);
    sqlfn::RegisterDecimalAggregates(db);
}

} // namespace ledrana::dao
