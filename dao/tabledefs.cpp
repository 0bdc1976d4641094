// Table definitions: a TableDef is pending (CreateTableDef, its fields and indexes appended) until
// TableDefs.Append creates the table; appended, it reads and changes the table through the catalog. Linked
// tables keep their source and connection.

#include "dao/objects_internal.h"

#include <algorithm>

namespace ledrana::dao {

using namespace detail;

namespace detail {

TableState& TableDefImpl::State() const {
    if (!db) NotSet();
    Connection& c = db->C();
    TableState* t = c.catalog.FindTable(name);
    if (!t) ThrowJet(3420);
    return *t;
}

} // namespace detail

// ---- TableDef -------------------------------------------------------------------------------------------

TableDef::TableDef() : impl_(std::make_shared<TableDefImpl>()) {}

namespace {
TableDefImpl& TI(const std::shared_ptr<TableDefImpl>& p) {
    return Need(p);
}
} // namespace

std::string TableDef::Name() const {
    TableDefImpl& t = TI(impl_);
    return t.appended ? t.State().name : t.pending.name;
}

void TableDef::SetName(std::string_view name) {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) {
        t.pending.name = std::string(name);
        return;
    }
    CheckNewName(name);
    Connection& c = t.db->C();
    std::string old = t.State().name;
    c.Ddl([&] { RenameTable(c, old, name); });
    t.name = std::string(name);
}

std::int32_t TableDef::Attributes() const {
    TableDefImpl& t = TI(impl_);
    return t.appended ? t.State().attributes : t.pending.attributes;
}

void TableDef::SetAttributes(std::int32_t attributes) {
    TableDefImpl& t = TI(impl_);
    if (t.appended) ThrowJet(3219);
    t.pending.attributes = attributes;
}

std::string TableDef::Connect() const {
    TableDefImpl& t = TI(impl_);
    return t.appended ? t.State().connect : t.pending.connect;
}

void TableDef::SetConnect(std::string_view connect) {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) {
        t.pending.connect = std::string(connect);
        return;
    }
    TableState& s = t.State();
    if (!s.IsAttached()) ThrowJet(3219);
    Connection& c = t.db->C();
    c.AttachSource(std::string(connect));
    c.Ddl([&] {
        TableState& st = t.State();
        st.connect = std::string(connect);
        SaveTableRow(c, st);
    });
}

std::string TableDef::SourceTableName() const {
    TableDefImpl& t = TI(impl_);
    return t.appended ? t.State().sourceTable : t.pending.sourceTable;
}

void TableDef::SetSourceTableName(std::string_view name) {
    TableDefImpl& t = TI(impl_);
    if (t.appended) ThrowJet(3219);
    t.pending.sourceTable = std::string(name);
}

std::string TableDef::ValidationRule() const {
    TableDefImpl& t = TI(impl_);
    return t.appended ? t.State().validationRule : t.pending.validationRule;
}

std::string TableDef::ValidationText() const {
    TableDefImpl& t = TI(impl_);
    return t.appended ? t.State().validationText : t.pending.validationText;
}

namespace {
// Sets the validation rule or text of a table, stored at once when the table is appended.
void ChangeTableValidation(TableDefImpl& t, std::string TableState::*member, std::string_view value) {
    if (!t.appended) {
        t.pending.*member = std::string(value);
        return;
    }
    Connection& c = t.db->C();
    c.EnsureWritable();
    c.Ddl([&] {
        TableState& s = t.State();
        s.*member = std::string(value);
        SaveTableRow(c, s);
    });
}
} // namespace

void TableDef::SetValidationRule(std::string_view rule) {
    ChangeTableValidation(TI(impl_), &TableState::validationRule, rule);
}

void TableDef::SetValidationText(std::string_view text) {
    ChangeTableValidation(TI(impl_), &TableState::validationText, text);
}

std::int64_t TableDef::RecordCount() const {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) return 0;
    TableState& s = t.State();
    if (s.IsAttached()) return -1;
    Connection& c = t.db->C();
    sqlite3_stmt* st = c.Prepare("SELECT count(*) FROM " + QuoteName(s.name));
    std::int64_t n = 0;
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    return n;
}

std::int64_t TableDef::NullKeyRows() const {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) return 0;
    TableState& s = t.State();
    if (s.IsAttached()) return 0;
    std::string test;
    for (const IndexDef& ix : s.indexes)
        if (ix.primary)
            for (const std::string& f : ix.fields)
                test += (test.empty() ? "" : " OR ") + QuoteName(f) + " IS NULL";
    if (test.empty()) return 0;
    Connection& c = t.db->C();
    sqlite3_stmt* st = c.Prepare("SELECT count(*) FROM " + QuoteName(s.name) + " WHERE " + test);
    std::int64_t n = 0;
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    return n;
}

std::vector<std::int64_t> TableDef::FillNulls(const std::vector<std::pair<std::string, Variant>>& fields) {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) ThrowJet(3219);
    Connection& c = t.db->C();
    c.CheckFresh();
    const std::string table = t.State().name;
    std::vector<std::int64_t> filled;
    c.Ddl([&] { filled = detail::FillNulls(c, table, fields); });
    return filled;
}

std::int64_t TableDef::SetFieldFrom(std::string_view target, std::string_view source, int options) {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) ThrowJet(3219);
    Connection& c = t.db->C();
    c.CheckFresh();
    const std::string table = t.State().name;
    return detail::SetFieldFrom(c, table, std::string(target), std::string(source), options);
}

void TableDef::AppendFieldFrom(const Field& field, std::string_view source, int options) {
    TableDefImpl& t = TI(impl_);
    FieldImpl& f = Need(field.impl());
    if (t.appended && (options & dbDeferWrite) && !(options & dbFailOnError) &&
        f.mode == FieldImpl::Mode::Free && !f.appended && !f.def.name.empty() && IsValidType(f.def.type) &&
        ValidName(f.def.name)) {
        Connection& c = t.db->C();
        c.CheckFresh();
        const std::string table = t.State().name;
        bool done = false;
        c.Ddl([&] { done = AddDerivedField(c, table, f.def, source); });
        if (done) {
            f.mode = FieldImpl::Mode::Table;
            f.db = t.db;
            f.table = table;
            f.appended = true;
            return;
        }
    }
    Fields().Append(field);
    SetFieldFrom(f.def.name, source, options);
}

bool TableDef::ConvertField(const Field& field) {
    TableDefImpl& t = TI(impl_);
    FieldImpl& f = Need(field.impl());
    if (!t.appended || f.mode != FieldImpl::Mode::Free || f.appended || f.def.name.empty() ||
        !IsValidType(f.def.type) || !ValidName(f.def.name))
        return false;
    Connection& c = t.db->C();
    c.CheckFresh();
    const std::string table = t.State().name;
    bool done = false;
    c.Ddl([&] { done = detail::ConvertField(c, table, f.def); });
    if (!done) return false;
    f.mode = FieldImpl::Mode::Table;
    f.db = t.db;
    f.table = table;
    f.appended = true;
    return true;
}

bool TableDef::Updatable() const {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) return true;
    return !t.State().IsSystem() && !t.db->C().readOnly;
}

dao::Fields TableDef::Fields() const {
    auto c = std::make_shared<FieldsColl>();
    c->table = impl_;
    Need(impl_);
    return dao::Fields(c);
}

dao::Indexes TableDef::Indexes() const {
    auto c = std::make_shared<IndexesColl>();
    c->table = impl_;
    Need(impl_);
    return dao::Indexes(c);
}

dao::Properties TableDef::Properties() const {
    auto c = std::make_shared<PropertiesColl>();
    c->kind = PropertiesColl::Kind::Table;
    c->table = impl_;
    c->db = TI(impl_).db;
    return dao::Properties(c);
}

Field TableDef::CreateField(std::string_view name, int type, std::int32_t size) {
    TI(impl_);
    Field f;
    f.impl()->def.name = std::string(name);
    f.impl()->def.type = type;
    f.impl()->def.size = size;
    return f;
}

Index TableDef::CreateIndex(std::string_view name) {
    TI(impl_);
    Index ix;
    ix.impl()->def.name = std::string(name);
    return ix;
}

Property TableDef::CreateProperty(std::string_view name, int type, const Variant& value) {
    TI(impl_);
    return FreeProperty(name, type, value);
}

void TableDef::RefreshLink() {
    TableDefImpl& t = TI(impl_);
    if (!t.appended || !t.State().IsAttached()) ThrowJet(3219);
    t.db->C().AttachSource(t.State().connect);
}

Recordset TableDef::OpenRecordset(int type, int options) {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) ThrowJet(3219);
    return Recordset(OpenRecordsetImpl(t.db, t.State().name, type));
}

Recordset TableDef::OpenRecordset(const std::vector<std::string>& fields, int type) {
    TableDefImpl& t = TI(impl_);
    if (!t.appended) ThrowJet(3219);
    return Recordset(OpenFieldsRecordset(t.db, t.State().name, fields, type));
}

// ---- TableDefs ------------------------------------------------------------------------------------------

namespace {
TableDefsColl& TC(const std::shared_ptr<Collection>& c) {
    return static_cast<TableDefsColl&>(Need(c));
}

TableDef AppendedTable(const std::shared_ptr<DatabaseImpl>& db, const std::string& name) {
    auto t = std::make_shared<TableDefImpl>();
    t->appended = true;
    t->db = db;
    t->name = name;
    return TableDef(t);
}
} // namespace

int TableDefs::Count() const {
    return static_cast<int>(TC(c_).db->C().catalog.tables.size());
}

TableDef TableDefs::operator[](int index) const {
    TableDefsColl& c = TC(c_);
    auto& tables = c.db->C().catalog.tables;
    auto i = static_cast<std::size_t>(CheckIndex(index, tables.size()));
    return AppendedTable(c.db, tables[i].name);
}

TableDef TableDefs::operator[](std::string_view name) const {
    TableDefsColl& c = TC(c_);
    TableState* t = c.db->C().catalog.FindTable(name);
    if (!t) ThrowJet(3265);
    return AppendedTable(c.db, t->name);
}

void TableDefs::Append(const TableDef& table) {
    TableDefsColl& c = TC(c_);
    TableDefImpl& t = Need(table.impl());
    if (t.appended) ThrowJet(3367);
    Connection& conn = c.db->C();
    TableState s = t.pending;
    for (auto& f : t.pendingFields) {
        if (!IsValidType(f->def.type)) ThrowJet(f->def.type == 0 ? 3219 : 3259);
        s.fields.push_back(f->def);
    }
    for (auto& ix : t.pendingIndexes)
        s.indexes.push_back(PendingDef(*ix));
    s.properties = t.pendingProps;
    CheckNewTable(s);
    if (!s.connect.empty()) conn.AttachSource(s.connect);
    std::string name = s.name;
    conn.Ddl([&] { CreateTable(conn, std::move(s)); });
    t.appended = true;
    t.db = c.db;
    t.name = conn.catalog.FindTable(name)->name;
    for (auto& f : t.pendingFields) {
        f->mode = FieldImpl::Mode::Table;
        f->db = c.db;
        f->table = t.name;
    }
    for (auto& ix : t.pendingIndexes) {
        ix->appended = true;
        ix->db = c.db;
        ix->table = t.name;
        ix->fields.clear();
    }
    t.pendingFields.clear();
    t.pendingIndexes.clear();
    t.pendingProps.clear();
}

void TableDefs::Delete(std::string_view name) {
    TableDefsColl& c = TC(c_);
    Connection& conn = c.db->C();
    if (!conn.catalog.FindTable(name)) ThrowJet(3265);
    conn.Ddl([&] { DropTable(conn, name); });
}

void TableDefs::Refresh() {
    TC(c_).db->C().CheckFresh();
}

} // namespace ledrana::dao
