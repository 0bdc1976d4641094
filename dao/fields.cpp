// Fields: a field handle is free (CreateField), of an index, of a table (read and changed through the
// catalog) or of an open recordset (its current value); the Fields collections of tables, indexes and
// recordsets.

#include "dao/objects_internal.h"

#include <algorithm>
#include <exception>

namespace ledrana::dao {

using namespace detail;

namespace {

std::shared_ptr<FieldImpl> TableField(const std::shared_ptr<DatabaseImpl>& db, const std::string& table,
                                      const FieldDef& def) {
    auto f = std::make_shared<FieldImpl>();
    f->mode = FieldImpl::Mode::Table;
    f->db = db;
    f->table = table;
    f->def.name = def.name;
    f->appended = true;
    return f;
}

} // namespace

namespace detail {

const FieldDef& FieldImpl::Def() const {
    switch (mode) {
    case Mode::Table: {
        TableState* t = db->C().catalog.FindTable(table);
        if (!t) ThrowJet(3420);
        const FieldDef* f = t->FindField(def.name);
        if (!f) ThrowJet(3420);
        return *f;
    }
    case Mode::Recordset:
        Rs().CheckOpen();
        return Rs().cols[static_cast<std::size_t>(column)].def;
    default:
        return def;
    }
}

FieldDef& FieldImpl::MutableDef() {
    return const_cast<FieldDef&>(Def());
}

RecordsetImpl& FieldImpl::Rs() const {
    if (!rsRaw || rsWeak.expired()) ThrowJet(3420);
    return *rsRaw;
}

} // namespace detail

// ---- Field ----------------------------------------------------------------------------------------------

Field::Field() : impl_(std::make_shared<FieldImpl>()) {}

namespace {

FieldImpl& FI(const std::shared_ptr<FieldImpl>& p) {
    return Need(p);
}

// Changes a definition: directly for free fields, through the catalog for table fields.
template <class Fn> void ChangeDef(FieldImpl& f, Fn&& fn) {
    if (f.mode == FieldImpl::Mode::Recordset) ThrowJet(3219);
    if (f.mode != FieldImpl::Mode::Table) {
        fn(f.def);
        return;
    }
    Connection& c = f.db->C();
    FieldDef changed = f.Def();
    fn(changed);
    c.Ddl([&] { UpdateFieldProperties(c, f.table, changed); });
}

} // namespace

std::string Field::Name() const {
    return FI(impl_).Def().name;
}

void Field::SetName(std::string_view name) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Recordset) ThrowJet(3219);
    if (f.mode == FieldImpl::Mode::Table) {
        CheckNewName(name);
        Connection& c = f.db->C();
        std::string old = f.Def().name;
        c.Ddl([&] { RenameField(c, f.table, old, name); });
    }
    f.def.name = std::string(name);
}

int Field::Type() const {
    return FI(impl_).Def().type;
}

void Field::SetType(int type) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Table || f.mode == FieldImpl::Mode::Recordset) {
        if (f.Def().type != type) ThrowJet(3219);
        return;
    }
    f.def.type = type;
}

std::int32_t Field::Size() const {
    const FieldImpl& f = FI(impl_);
    const FieldDef& d = f.Def();
    if (f.mode == FieldImpl::Mode::Free && d.size == 0) return DefaultSize(d.type);
    return d.size;
}

void Field::SetSize(std::int32_t size) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Table || f.mode == FieldImpl::Mode::Recordset) {
        if (f.Def().size != size) ThrowJet(3219);
        return;
    }
    f.def.size = size;
}

int Field::Precision() const {
    const FieldDef& d = FI(impl_).Def();
    return d.type == dbDecimal ? (d.precision ? d.precision : 18) : 0;
}

void Field::SetPrecision(int precision) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Table || f.mode == FieldImpl::Mode::Recordset) {
        if (Precision() != precision) ThrowJet(3219);
        return;
    }
    if (precision < 1 || precision > Decimal::kMaxPrecision) ThrowJet(3219);
    f.def.precision = precision;
}

int Field::Scale() const {
    const FieldDef& d = FI(impl_).Def();
    return d.type == dbDecimal ? d.scale : 0;
}

void Field::SetScale(int scale) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Table || f.mode == FieldImpl::Mode::Recordset) {
        if (Scale() != scale) ThrowJet(3219);
        return;
    }
    if (scale < 0 || scale > Decimal::kMaxScale) ThrowJet(3219);
    f.def.scale = scale;
}

std::int32_t Field::Attributes() const {
    const FieldImpl& f = FI(impl_);
    std::int32_t a = f.Def().attributes;
    if (f.mode == FieldImpl::Mode::Recordset) {
        if (f.Rs().updatable && f.Rs().cols[static_cast<std::size_t>(f.column)].baseField >= 0 &&
            (a & dbAutoIncrField) == 0)
            a |= dbUpdatableField;
    }
    return a;
}

void Field::SetAttributes(std::int32_t attributes) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Table || f.mode == FieldImpl::Mode::Recordset) {
        if (f.Def().attributes != attributes) ThrowJet(3219);
        return;
    }
    f.def.attributes = attributes;
}

bool Field::AllowZeroLength() const {
    return FI(impl_).Def().allowZeroLength;
}
void Field::SetAllowZeroLength(bool allow) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.allowZeroLength = allow; });
}
bool Field::Required() const {
    return FI(impl_).Def().required;
}
void Field::SetRequired(bool required) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.required = required; });
}
std::string Field::DefaultValue() const {
    return FI(impl_).Def().defaultValue;
}
void Field::SetDefaultValue(std::string_view e) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.defaultValue = std::string(e); });
}
std::string Field::ValidationRule() const {
    return FI(impl_).Def().validationRule;
}
void Field::SetValidationRule(std::string_view r) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.validationRule = std::string(r); });
}
std::string Field::ValidationText() const {
    return FI(impl_).Def().validationText;
}
void Field::SetValidationText(std::string_view t) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.validationText = std::string(t); });
}
int Field::OrdinalPosition() const {
    const FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Recordset) return f.column;
    return f.Def().ordinal;
}
void Field::SetOrdinalPosition(int position) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.ordinal = position; });
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Table) f.db->C().catalog.Sort();
}

std::string Field::SourceTable() const {
    const FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Recordset)
        return f.Rs().cols[static_cast<std::size_t>(f.column)].sourceTable;
    if (f.mode == FieldImpl::Mode::Table) return f.table;
    return {};
}

std::string Field::SourceField() const {
    const FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Recordset)
        return f.Rs().cols[static_cast<std::size_t>(f.column)].sourceField;
    if (f.mode == FieldImpl::Mode::Table) return f.Def().name;
    return {};
}

Variant Field::Value() const {
    const FieldImpl& f = FI(impl_);
    if (f.mode != FieldImpl::Mode::Recordset) ThrowJet(3219);
    return f.Rs().Get(f.column);
}

void Field::SetValue(const Variant& value) {
    FieldImpl& f = FI(impl_);
    if (f.mode != FieldImpl::Mode::Recordset) ThrowJet(3219);
    f.Rs().Set(f.column, value);
}

dao::Properties Field::Properties() const {
    auto c = std::make_shared<PropertiesColl>();
    c->kind = PropertiesColl::Kind::Field;
    c->field = impl_;
    Need(impl_);
    return dao::Properties(c);
}

Property Field::CreateProperty(std::string_view name, int type, const Variant& value) {
    Need(impl_);
    return FreeProperty(name, type, value);
}

// ---- Fields ---------------------------------------------------------------------------------------------

namespace {

FieldsColl& FC(const std::shared_ptr<Collection>& c) {
    return static_cast<FieldsColl&>(Need(c));
}

std::shared_ptr<FieldImpl> IndexField(const std::string& name, bool descending) {
    auto f = std::make_shared<FieldImpl>();
    f->mode = FieldImpl::Mode::Index;
    f->def.name = name;
    f->def.attributes = descending ? dbDescending : 0;
    f->appended = true;
    return f;
}

} // namespace

int Fields::Count() const {
    FieldsColl& c = FC(c_);
    if (c.rs) {
        c.rs->CheckOpen();
        return static_cast<int>(c.rs->cols.size());
    }
    if (c.index) {
        if (!c.index->appended) return static_cast<int>(c.index->fields.size());
        return static_cast<int>(c.index->Def().fields.size());
    }
    if (!c.table->appended) return static_cast<int>(c.table->pendingFields.size());
    return static_cast<int>(c.table->State().fields.size());
}

Field Fields::operator[](int index) const {
    FieldsColl& c = FC(c_);
    auto i = static_cast<std::size_t>(CheckIndex(index, static_cast<std::size_t>(Count())));
    if (c.rs) return Field(RecordsetField(c.rs, i));
    if (c.index) {
        if (!c.index->appended) return Field(c.index->fields[i]);
        const IndexDef& ix = c.index->Def();
        return Field(IndexField(ix.fields[i], i < ix.descending.size() && ix.descending[i]));
    }
    if (!c.table->appended) return Field(c.table->pendingFields[i]);
    const TableState& t = c.table->State();
    return Field(TableField(c.table->db, t.name, t.fields[i]));
}

Field Fields::operator[](std::string_view name) const {
    FieldsColl& c = FC(c_);
    if (c.rs) {
        c.rs->CheckOpen();
        for (std::size_t i = 0; i < c.rs->cols.size(); ++i)
            if (SameName(c.rs->cols[i].def.name, name)) return Field(RecordsetField(c.rs, i));
        ThrowJet(3265);
    }
    int n = Count();
    if (c.index) {
        for (int i = 0; i < n; ++i) {
            Field f = (*this)[i];
            if (SameName(f.impl()->def.name, name)) return f;
        }
        ThrowJet(3265);
    }
    if (!c.table->appended) return Field(PendingMember(c.table->pendingFields, name));
    const TableState& t = c.table->State();
    const FieldDef* f = t.FindField(name);
    if (!f) ThrowJet(3265);
    return Field(TableField(c.table->db, t.name, *f));
}

namespace {

// Appends fields to an appended table, their columns in one structure change: Append's checks and the
// engine's, field by field, up to the first refused, whose error is thrown once the fields before it are in.
void AppendToTable(FieldsColl& c, const std::vector<Field>& fields) {
    std::exception_ptr refusal;
    std::vector<FieldDef> defs;
    for (const Field& field : fields) {
        try {
            const FieldImpl& f = Need(field.impl());
            if (f.mode != FieldImpl::Mode::Free || f.appended) ThrowJet(3266);
            if (f.def.name.empty()) ThrowJet(3264);
            if (!IsValidType(f.def.type)) ThrowJet(f.def.type == 0 ? 3219 : 3259);
            CheckNewName(f.def.name);
            defs.push_back(f.def);
        } catch (const Error&) {
            refusal = std::current_exception();
            break;
        }
    }
    Connection& conn = c.table->db->C();
    const std::string table = c.table->State().name;
    const std::size_t checked = defs.size();
    std::exception_ptr refused;
    if (!defs.empty()) conn.Ddl([&] { refused = AddFields(conn, table, defs); });
    for (std::size_t i = 0; i < defs.size(); ++i) {
        FieldImpl& f = *fields[i].impl();
        f.mode = FieldImpl::Mode::Table;
        f.db = c.table->db;
        f.table = table;
        f.appended = true;
    }
    // The engine refused a field before the one these checks refused, if any.
    if (defs.size() < checked) refusal = refused;
    if (refusal) std::rethrow_exception(refusal);
}

} // namespace

void Fields::Append(const Field& field) {
    FieldsColl& c = FC(c_);
    FieldImpl& f = Need(field.impl());
    if (c.rs) ThrowJet(3219);
    if (f.mode != FieldImpl::Mode::Free || f.appended) ThrowJet(3266);
    if (f.def.name.empty()) ThrowJet(3264);
    if (c.index) {
        if (c.index->appended) ThrowJet(3219);
        AddPending(c.index->fields, field.impl(), 3191);
        f.appended = true;
        return;
    }
    if (!IsValidType(f.def.type)) ThrowJet(f.def.type == 0 ? 3219 : 3259);
    if (!c.table->appended) {
        AddPending(c.table->pendingFields, field.impl(), 3191);
        f.appended = true;
        return;
    }
    AppendToTable(c, {field});
}

void Fields::Append(const std::vector<Field>& fields) {
    FieldsColl& c = FC(c_);
    if (c.rs) ThrowJet(3219);
    if (c.index || !c.table->appended) {
        for (const Field& field : fields)
            Append(field);
        return;
    }
    AppendToTable(c, fields);
}

void Fields::Delete(std::string_view name) {
    FieldsColl& c = FC(c_);
    if (c.rs) ThrowJet(3219);
    if (c.index && c.index->appended) ThrowJet(3219);
    if (c.index || !c.table->appended) {
        RemovePending(c.index ? c.index->fields : c.table->pendingFields, name)->appended = false;
        return;
    }
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    conn.Ddl([&] { DropField(conn, table, name); });
}

void Fields::Replace(std::string_view name, std::string_view by) {
    FieldsColl& c = FC(c_);
    if (c.rs || c.index || !c.table->appended) ThrowJet(3219);
    CheckNewName(name);
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    conn.Ddl([&] { ReplaceField(conn, table, name, by); });
}

void Fields::Refresh() {
    FieldsColl& c = FC(c_);
    if (c.table && c.table->appended) c.table->db->C().CheckFresh();
}

dao::Fields detail::FieldsOf(const std::shared_ptr<RecordsetImpl>& rs) {
    auto c = std::make_shared<FieldsColl>();
    c->rs = rs;
    return dao::Fields(c);
}

} // namespace ledrana::dao
