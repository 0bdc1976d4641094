// Query definitions: a stored QueryDef reads and changes its SQL through the catalog; a temporary one (no
// name) keeps its SQL itself. The QueryDefs collection lists, appends and deletes the stored ones.

#include "dao/objects_internal.h"

#include <algorithm>

namespace ledrana::dao {

using namespace detail;

namespace detail {

QueryState* QueryDefImpl::State() const {
    if (!db) NotSet();
    if (!open) ThrowJet(3420);
    if (name.empty() || !appended) return nullptr;
    QueryState* q = db->C().catalog.FindQuery(name);
    if (!q) ThrowJet(3420);
    return q;
}

std::string QueryDefImpl::Sql() const {
    if (QueryState* q = State()) return q->sql;
    return sql;
}

} // namespace detail

// ---- QueryDef -------------------------------------------------------------------------------------------

namespace {
QueryDefImpl& QI(const std::shared_ptr<QueryDefImpl>& p) {
    return Need(p);
}
} // namespace

std::string QueryDef::Name() const {
    QueryDefImpl& q = QI(impl_);
    if (QueryState* s = q.State()) return s->name;
    return q.name;
}

void QueryDef::SetName(std::string_view name) {
    QueryDefImpl& q = QI(impl_);
    if (!q.State()) {
        q.name = std::string(name);
        return;
    }
    CheckNewName(name);
    Connection& c = q.db->C();
    std::string sql = q.Sql(), old = q.name;
    c.Ddl([&] {
        DropQuery(c, old);
        CreateQuery(c, name, sql);
    });
    q.name = std::string(name);
}

std::string QueryDef::SQL() const {
    return QI(impl_).Sql();
}

void QueryDef::SetSQL(std::string_view sql) {
    QueryDefImpl& q = QI(impl_);
    QueryState* s = q.State();
    if (!s) {
        CheckQuerySql(q.db->C(), sql);
        q.sql = std::string(sql);
        return;
    }
    Connection& c = q.db->C();
    std::string name = s->name;
    c.Ddl([&] {
        CheckQuerySql(c, sql);
        sqlite3_stmt* st = c.Prepare("UPDATE MSysQueries SET SQL=? WHERE Name=?");
        sqlite3_bind_text(st, 1, sql.data(), static_cast<int>(sql.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
        c.catalog.FindQuery(name)->sql = std::string(sql);
    });
}

void QueryDef::Close() {
    QueryDefImpl& q = QI(impl_);
    if (!q.open) ThrowJet(3420);
    q.open = false;
}

void QueryDef::Execute(int options) {
    QueryDefImpl& q = QI(impl_);
    std::string sql = q.Sql();
    Connection& c = q.db->C();
    c.CheckFresh();
    q.ReadParameters();
    q.recordsAffected = ExecuteJet(c, sql, options, &q.values);
}

Recordset QueryDef::OpenRecordset(int type, int options) {
    QueryDefImpl& q = QI(impl_);
    std::string sql = q.Sql();
    q.ReadParameters();
    return Recordset(OpenQueryRecordset(q.db, q.name, sql, &q.values));
}

dao::Parameters QueryDef::Parameters() const {
    QI(impl_).ReadParameters();
    return dao::Parameters(impl_);
}

void QueryDefImpl::ReadParameters() {
    std::string text = Sql();
    if (text == parametersOf) return;
    std::vector<JetParameter> read;
    try {
        read = TranslateJetSql(text).parameters;
    } catch (const Error&) {
    }
    std::vector<Variant> kept(read.size());
    for (std::size_t i = 0; i < read.size(); ++i)
        for (std::size_t k = 0; k < parameters.size(); ++k)
            if (SameName(parameters[k].name, read[i].name)) kept[i] = values[k];
    parameters = std::move(read);
    values = std::move(kept);
    parametersOf = std::move(text);
}

int Parameters::Count() const {
    QI(query_).ReadParameters();
    return static_cast<int>(query_->parameters.size());
}

Parameter Parameters::operator[](int index) const {
    QI(query_).ReadParameters();
    if (index < 0 || static_cast<std::size_t>(index) >= query_->parameters.size()) ThrowJet(3265);
    return Parameter(query_, static_cast<std::size_t>(index));
}

Parameter Parameters::operator[](std::string_view name) const {
    QI(query_).ReadParameters();
    for (std::size_t i = 0; i < query_->parameters.size(); ++i)
        if (SameName(query_->parameters[i].name, name)) return Parameter(query_, i);
    ThrowJet(3265);
}

std::string Parameter::Name() const {
    return query_->parameters.at(index_).name;
}
int Parameter::Type() const {
    return query_->parameters.at(index_).type;
}
Variant Parameter::Value() const {
    return query_->values.at(index_);
}

void Parameter::SetValue(const Variant& value) {
    const int type = query_->parameters.at(index_).type;
    if (value.IsNull() || value.IsEmpty() || type == dbText || type == dbMemo) {
        query_->values.at(index_) =
            value.IsNull() || value.IsEmpty() || type == 0 ? value : Variant(value.ToString());
        return;
    }
    std::optional<Variant> converted = AsScalarType(type, value);
    query_->values.at(index_) = converted ? *converted : value;
}

std::int64_t QueryDef::RecordsAffected() const {
    return QI(impl_).recordsAffected;
}

dao::Properties QueryDef::Properties() const {
    auto c = std::make_shared<PropertiesColl>();
    c->kind = PropertiesColl::Kind::Query;
    c->query = impl_;
    c->db = QI(impl_).db;
    return dao::Properties(c);
}

// ---- QueryDefs ------------------------------------------------------------------------------------------

namespace {
QueryDefsColl& QC(const std::shared_ptr<Collection>& c) {
    return static_cast<QueryDefsColl&>(Need(c));
}

QueryDef StoredQuery(const std::shared_ptr<DatabaseImpl>& db, const std::string& name) {
    auto q = std::make_shared<QueryDefImpl>();
    q->db = db;
    q->name = name;
    q->appended = true;
    return QueryDef(q);
}
} // namespace

int QueryDefs::Count() const {
    return static_cast<int>(QC(c_).db->C().catalog.queries.size());
}

QueryDef QueryDefs::operator[](int index) const {
    QueryDefsColl& c = QC(c_);
    auto& qs = c.db->C().catalog.queries;
    auto i = static_cast<std::size_t>(CheckIndex(index, qs.size()));
    return StoredQuery(c.db, qs[i].name);
}

QueryDef QueryDefs::operator[](std::string_view name) const {
    QueryDefsColl& c = QC(c_);
    QueryState* q = c.db->C().catalog.FindQuery(name);
    if (!q) ThrowJet(3265);
    return StoredQuery(c.db, q->name);
}

void QueryDefs::Append(const QueryDef& query) {
    QueryDefsColl& c = QC(c_);
    QueryDefImpl& q = Need(query.impl());
    if (q.appended) ThrowJet(3367);
    CheckNewName(q.name);
    Connection& conn = c.db->C();
    conn.Ddl([&] { CreateQuery(conn, q.name, q.sql); });
    q.appended = true;
    q.db = c.db;
}

void QueryDefs::Delete(std::string_view name) {
    QueryDefsColl& c = QC(c_);
    Connection& conn = c.db->C();
    if (!conn.catalog.FindQuery(name)) ThrowJet(3265);
    conn.Ddl([&] { DropQuery(conn, name); });
}

void QueryDefs::Refresh() {
    QC(c_).db->C().CheckFresh();
}

} // namespace ledrana::dao
