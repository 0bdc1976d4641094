#pragma once
// What the files of DAO's object handles share (tabledefs.cpp, fields.cpp, indexes.cpp, querydefs.cpp,
// properties.cpp, database_collections.cpp): the checks every handle makes, the state behind each
// collection, and the few builders one collection needs from another.

#include "dao/recordset_impl.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

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

// The members of an object not yet appended (a TableDef's fields and indexes, an Index's fields): their
// handles, in the order appended, each with its definition `def`. Appended, the object's members are the
// catalog's.
template <class T> auto FindPending(std::vector<std::shared_ptr<T>>& members, std::string_view name) {
    return std::find_if(members.begin(), members.end(),
                        [&](const std::shared_ptr<T>& m) { return SameName(m->def.name, name); });
}
template <class T>
std::shared_ptr<T> PendingMember(std::vector<std::shared_ptr<T>>& members, std::string_view name) {
    auto it = FindPending(members, name);
    if (it == members.end()) ThrowJet(3265);
    return *it;
}
// Adds a member; `taken` is the error for a name that another member has.
template <class T>
void AddPending(std::vector<std::shared_ptr<T>>& members, const std::shared_ptr<T>& m, int taken) {
    if (FindPending(members, m->def.name) != members.end()) ThrowJet(taken);
    members.push_back(m);
}
// Removes a member and returns it (3265 when none has the name).
template <class T>
std::shared_ptr<T> RemovePending(std::vector<std::shared_ptr<T>>& members, std::string_view name) {
    auto it = FindPending(members, name);
    if (it == members.end()) ThrowJet(3265);
    std::shared_ptr<T> m = *it;
    members.erase(it);
    return m;
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
