#pragma once
// What row writes did to the tables of one archive (DBEngine's ChangeWatch): rows added and removed, values
// changed field by field, each with its count and the first few values before and after.

#include "dao/vb/variant.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ledrana::dao {

// A value as it was and as it is.
struct ValueChange {
    Variant before, after;
};

struct FieldChanges {
    std::string field;
    std::int64_t rows = 0;          // rows whose value of the field changed
    std::vector<ValueChange> first; // the first of them, in the order of the rows
};

// A row's fields by name: its primary key first, then the table's order.
using RowValues = std::vector<std::pair<std::string, Variant>>;

struct TableChanges {
    std::string table;
    std::int64_t added = 0, removed = 0;
    std::vector<RowValues> firstAdded, firstRemoved;
    std::vector<FieldChanges> fields;
};

} // namespace ledrana::dao
