#pragma once
// What every part of the object model names: the implementation types, the handle classes, and the
// constants and values they take (part of dao/dao.h).

#include "dao/jet/jet_import_report.h"
#include "dao/store/completed_nulls.h"
#include "dao/store/path_resolver.h"
#include "dao/vb/constants.h"
#include "dao/vb/messages.h"
#include "dao/vb/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ledrana::dao {

// ---- Implementation types (dao/ only) ------------------------------------------------------------------
namespace detail {
struct DatabaseImpl;
struct TableDefImpl;
struct FieldImpl;
struct IndexImpl;
struct QueryDefImpl;
struct PropertyImpl;
struct RecordsetImpl;
struct Collection;
class RowChangeTally;
} // namespace detail

class Database;
class TableDef;
class Field;
class Index;
class QueryDef;
class Property;
class Recordset;

// Jet's rule for the name of a table, field, index or saved query: 1 to 64 characters, none of them a period,
// an exclamation point, a grave accent, a bracket or a control character, and no leading blank. The engine
// refuses (3125) to create an object with a name that breaks it, or to rename one to it; archives made by
// other programs may hold such names, and open as any other.
bool IsValidName(std::string_view name);

} // namespace ledrana::dao
