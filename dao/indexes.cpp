// Indexes: an index handle is pending (CreateIndex, its fields appended one by one) until the table's
// Indexes.Append creates it; appended, it reads its definition from the catalog.

#include "dao/objects_internal.h"

#include <algorithm>

namespace ledrana::dao {

using namespace detail;

namespace detail {

const IndexDef& IndexImpl::Def() const {
    if (!appended) return def;
    TableState* t = db->C().catalog.FindTable(table);
    if (!t) ThrowJet(3420);
    IndexDef* ix = t->FindIndex(def.name);
    if (!ix) ThrowJet(3420);
    return *ix;
}

} // namespace detail

// ---- Index ----------------------------------------------------------------------------------------------

Index::Index() : impl_(std::make_shared<IndexImpl>()) {}

namespace {
IndexImpl& II(const std::shared_ptr<IndexImpl>& p) {
    return Need(p);
}

void SetPendingFlag(IndexImpl& ix, bool IndexDef::*flag, bool value) {
    if (ix.appended) {
        if (ix.Def().*flag != value) ThrowJet(3219);
        return;
    }
    ix.def.*flag = value;
}
} // namespace

std::string Index::Name() const {
    return II(impl_).Def().name;
}
void Index::SetName(std::string_view name) {
    IndexImpl& ix = II(impl_);
    if (ix.appended) ThrowJet(3219);
    ix.def.name = std::string(name);
}
bool Index::Primary() const {
    return II(impl_).Def().primary;
}
void Index::SetPrimary(bool v) {
    SetPendingFlag(II(impl_), &IndexDef::primary, v);
}
bool Index::Unique() const {
    return II(impl_).Def().unique;
}
void Index::SetUnique(bool v) {
    SetPendingFlag(II(impl_), &IndexDef::unique, v);
}
bool Index::IgnoreNulls() const {
    return II(impl_).Def().ignoreNulls;
}
void Index::SetIgnoreNulls(bool v) {
    SetPendingFlag(II(impl_), &IndexDef::ignoreNulls, v);
}
bool Index::Required() const {
    return II(impl_).Def().required;
}
void Index::SetRequired(bool v) {
    SetPendingFlag(II(impl_), &IndexDef::required, v);
}

dao::Fields Index::Fields() const {
    auto c = std::make_shared<FieldsColl>();
    c->index = impl_;
    Need(impl_);
    return dao::Fields(c);
}

Field Index::CreateField(std::string_view name) {
    Need(impl_);
    Field f;
    f.SetName(name);
    return f;
}

dao::Properties Index::Properties() const {
    auto c = std::make_shared<PropertiesColl>();
    c->kind = PropertiesColl::Kind::Index;
    c->index = impl_;
    Need(impl_);
    return dao::Properties(c);
}

// ---- Indexes --------------------------------------------------------------------------------------------

namespace {
IndexesColl& XC(const std::shared_ptr<Collection>& c) {
    return static_cast<IndexesColl&>(Need(c));
}

std::shared_ptr<IndexImpl> AppendedIndex(const std::shared_ptr<DatabaseImpl>& db, const std::string& table,
                                         const IndexDef& def) {
    auto ix = std::make_shared<IndexImpl>();
    ix->appended = true;
    ix->db = db;
    ix->table = table;
    ix->def.name = def.name;
    return ix;
}
} // namespace

IndexDef detail::PendingDef(const IndexImpl& ix) {
    IndexDef d = ix.def;
    d.fields.clear();
    d.descending.clear();
    for (const auto& f : ix.fields) {
        d.fields.push_back(f->def.name);
        d.descending.push_back((f->def.attributes & dbDescending) != 0);
    }
    return d;
}

int Indexes::Count() const {
    IndexesColl& c = XC(c_);
    if (!c.table->appended) return static_cast<int>(c.table->pendingIndexes.size());
    return static_cast<int>(c.table->State().indexes.size());
}

Index Indexes::operator[](int index) const {
    IndexesColl& c = XC(c_);
    auto i = static_cast<std::size_t>(CheckIndex(index, static_cast<std::size_t>(Count())));
    if (!c.table->appended) return Index(c.table->pendingIndexes[i]);
    const TableState& t = c.table->State();
    return Index(AppendedIndex(c.table->db, t.name, t.indexes[i]));
}

Index Indexes::operator[](std::string_view name) const {
    IndexesColl& c = XC(c_);
    if (!c.table->appended) return Index(PendingMember(c.table->pendingIndexes, name));
    TableState& t = c.table->State();
    IndexDef* ix = t.FindIndex(name);
    if (!ix) ThrowJet(3265);
    return Index(AppendedIndex(c.table->db, t.name, *ix));
}

void Indexes::Append(const Index& index) {
    IndexesColl& c = XC(c_);
    IndexImpl& ix = Need(index.impl());
    if (ix.appended) ThrowJet(3367);
    if (ix.fields.empty()) ThrowJet(3264);
    if (!c.table->appended) {
        AddPending(c.table->pendingIndexes, index.impl(), 3284);
        return;
    }
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    IndexDef def = PendingDef(ix);
    CheckNewName(def.name);
    conn.Ddl([&] { CreateIndex(conn, table, def); });
    ix.appended = true;
    ix.db = c.table->db;
    ix.table = table;
    ix.fields.clear();
}

void Indexes::Delete(std::string_view name) {
    IndexesColl& c = XC(c_);
    if (!c.table->appended) {
        RemovePending(c.table->pendingIndexes, name);
        return;
    }
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    conn.Ddl([&] { DropIndex(conn, table, name); });
}

void Indexes::Refresh() {
    IndexesColl& c = XC(c_);
    if (c.table->appended) c.table->db->C().CheckFresh();
}

} // namespace ledrana::dao
