#pragma once
// What the files of DAO's object handles share (tabledefs.cpp, fields.cpp, indexes.cpp, querydefs.cpp,
// properties.cpp, database_collections.cpp): the checks every handle makes, the state behind each
// collection, and the few builders one collection needs from another.

#include "dao/recordset_impl.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace ledrana::dao::detail {

[[noreturn]] inline void NotSet() {
    throw Error(91, "Variabile oggetto o variabile del blocco With non impostata");
}

template <class T> T& Need(const std::shared_ptr<T>& p) {
    if (!p) NotSet();
    return *p;
}

inline int CheckIndex(int index, std::size_t count) {
    if (index < 0 || static_cast<std::size_t>(index) >= count) ThrowJet(3265);
    return index;
}

// The state behind each collection handle.
struct TableDefsColl : Collection {
    std::shared_ptr<DatabaseImpl> db;
};
struct QueryDefsColl : Collection {
    std::shared_ptr<DatabaseImpl> db;
};
struct FieldsColl : Collection {
    std::shared_ptr<TableDefImpl> table;
    std::shared_ptr<IndexImpl> index;
    std::shared_ptr<RecordsetImpl> rs;
};
struct IndexesColl : Collection {
    std::shared_ptr<TableDefImpl> table;
};
struct PropertiesColl : Collection {
    enum class Kind { Database, Table, Field, Query, Index } kind = Kind::Table;
    std::shared_ptr<DatabaseImpl> db;
    std::shared_ptr<TableDefImpl> table;
    std::shared_ptr<FieldImpl> field;
    std::shared_ptr<QueryDefImpl> query;
    std::shared_ptr<IndexImpl> index;
};

// A property that belongs to no object yet (CreateProperty); appended, it takes the owner's list.
Property FreeProperty(std::string_view name, int type, const Variant& value);
// An index as a pending definition: its name and flags, and the fields appended so far.
IndexDef PendingDef(const IndexImpl& ix);

} // namespace ledrana::dao::detail
