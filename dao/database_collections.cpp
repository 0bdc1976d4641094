// A database's collections (TableDefs, QueryDefs, Recordsets, Properties) and its factories
// (CreateTableDef, CreateQueryDef, CreateProperty). Each collection handle reads the catalog when used.

#include "dao/objects_internal.h"

#include <algorithm>

namespace ledrana::dao {

using namespace detail;

// ---- Recordsets -----------------------------------------------------------------------------------------

int Recordsets::Count() const {
    DatabaseImpl& d = Need(db_);
    d.C();
    int n = 0;
    for (auto& w : d.recordsets)
        if (auto rs = w.lock(); rs && rs->open) ++n;
    return n;
}

void Recordsets::Refresh() {
    DatabaseImpl& d = Need(db_);
    d.C();
    d.recordsets.erase(std::remove_if(d.recordsets.begin(), d.recordsets.end(),
                                      [](auto& w) {
                                          auto rs = w.lock();
                                          return !rs || !rs->open;
                                      }),
                       d.recordsets.end());
}

// ---- Database: collections and factories ---------------------------------------------------------------

dao::TableDefs Database::TableDefs() const {
    Connection& c = Need(impl_).C();
    c.CheckFresh();
    auto coll = std::make_shared<TableDefsColl>();
    coll->db = impl_;
    return dao::TableDefs(coll);
}

dao::QueryDefs Database::QueryDefs() const {
    Connection& c = Need(impl_).C();
    c.CheckFresh();
    auto coll = std::make_shared<QueryDefsColl>();
    coll->db = impl_;
    return dao::QueryDefs(coll);
}

dao::Recordsets Database::Recordsets() const {
    Need(impl_).C();
    return dao::Recordsets(impl_);
}

dao::Properties Database::Properties() const {
    Need(impl_).C();
    auto c = std::make_shared<PropertiesColl>();
    c->kind = PropertiesColl::Kind::Database;
    c->db = impl_;
    return dao::Properties(c);
}

TableDef Database::CreateTableDef(std::string_view name, std::int32_t attributes,
                                  std::string_view sourceTable, std::string_view connect) {
    Need(impl_).C();
    TableDef t;
    t.impl()->db = impl_;
    t.impl()->pending.name = std::string(name);
    t.impl()->pending.attributes = attributes;
    t.impl()->pending.sourceTable = std::string(sourceTable);
    t.impl()->pending.connect = std::string(connect);
    return t;
}

QueryDef Database::CreateQueryDef(std::string_view name, std::string_view sql) {
    Connection& c = Need(impl_).C();
    c.CheckFresh();
    auto q = std::make_shared<QueryDefImpl>();
    q->db = impl_;
    q->name = std::string(name);
    q->sql = std::string(sql);
    if (!name.empty()) {
        CheckNewName(name);
        c.Ddl([&] { CreateQuery(c, name, sql); });
        q->appended = true;
        q->name = c.catalog.FindQuery(name)->name;
    } else if (!sql.empty()) {
        CheckQuerySql(c, sql);
    }
    return QueryDef(q);
}

Property Database::CreateProperty(std::string_view name, int type, const Variant& value) {
    Need(impl_).C();
    return FreeProperty(name, type, value);
}

} // namespace ledrana::dao
