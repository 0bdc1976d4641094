// The object handles (TableDef, Field, Index, QueryDef, Property) and their collections.

#include "dao/internal.h"
#include "dao/jetsql.h"

#include <algorithm>

namespace ledrana::dao {

using namespace detail;

namespace {

[[noreturn]] void NotSet() { throw Error(91, "Variabile oggetto o variabile del blocco With non impostata"); }

template <class T>
T& Need(const std::shared_ptr<T>& p) {
    if (!p) NotSet();
    return *p;
}

int CheckIndex(int index, std::size_t count) {
    if (index < 0 || static_cast<std::size_t>(index) >= count) ThrowJet(3265);
    return index;
}

// Built-in properties by owner kind, with their types.
struct Builtin {
    const char* name;
    int type;
};
constexpr Builtin kFieldBuiltins[] = {
    {"Name", dbText},           {"Type", dbInteger},          {"Size", dbLong},
    {"Attributes", dbLong},     {"AllowZeroLength", dbBoolean}, {"Required", dbBoolean},
    {"DefaultValue", dbText},   {"ValidationRule", dbText},   {"ValidationText", dbText},
    {"OrdinalPosition", dbInteger}, {"SourceField", dbText},  {"SourceTable", dbText},
};
constexpr Builtin kTableBuiltins[] = {
    {"Name", dbText},           {"Attributes", dbLong},       {"Connect", dbText},
    {"SourceTableName", dbText}, {"RecordCount", dbLong},     {"Updatable", dbBoolean},
    {"ValidationRule", dbText}, {"ValidationText", dbText},
};
constexpr Builtin kQueryBuiltins[] = {{"Name", dbText}, {"SQL", dbMemo}, {"Type", dbInteger}, {"Updatable", dbBoolean}};
constexpr Builtin kIndexBuiltins[] = {{"Name", dbText}, {"Primary", dbBoolean}, {"Unique", dbBoolean},
                                      {"IgnoreNulls", dbBoolean}, {"Required", dbBoolean}};
constexpr Builtin kDatabaseBuiltins[] = {{"Name", dbText}, {"Connect", dbText}, {"Updatable", dbBoolean},
                                         {"Version", dbText}};

Property FreeProperty(std::string_view name, int type, const Variant& value) {
    if (name.empty() || type == 0) ThrowJet(3219);
    auto p = std::make_shared<PropertyImpl>();
    p->owner = PropertyImpl::Owner::Free;
    p->name = std::string(name);
    p->type = type;
    p->value = value;
    return Property(p);
}

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

// A property value converted to the property's type, as DAO stores it.
Variant TypedValue(int type, const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return v;
    try {
        if (std::optional<Variant> scalar = AsScalarType(type, v)) return *std::move(scalar);
        switch (type) {
        case dbText:
        case dbMemo:
            return Variant(v.ToString());
        default:
            return v;
        }
    } catch (const Error&) {
        ThrowJet(3421);
    }
}

UserProperty* FindUser(std::vector<UserProperty>& v, std::string_view name) {
    for (auto& p : v)
        if (SameName(p.name, name)) return &p;
    return nullptr;
}

} // namespace

namespace detail {

// ---- Implementation objects -------------------------------------------------------------------------

TableState& TableDefImpl::State() const {
    if (!db) NotSet();
    Connection& c = db->C();
    TableState* t = c.catalog.FindTable(name);
    if (!t) ThrowJet(3420);
    return *t;
}

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

FieldDef& FieldImpl::MutableDef() { return const_cast<FieldDef&>(Def()); }

RecordsetImpl& FieldImpl::Rs() const {
    if (!rsRaw || rsWeak.expired()) ThrowJet(3420);
    return *rsRaw;
}

const IndexDef& IndexImpl::Def() const {
    if (!appended) return def;
    TableState* t = db->C().catalog.FindTable(table);
    if (!t) ThrowJet(3420);
    IndexDef* ix = t->FindIndex(def.name);
    if (!ix) ThrowJet(3420);
    return *ix;
}

QueryState* QueryDefImpl::State() const {
    if (!db) NotSet();
    if (!open) ThrowJet(3420);
    if (name.empty() || !stored) return nullptr;
    QueryState* q = db->C().catalog.FindQuery(name);
    if (!q) ThrowJet(3420);
    return q;
}

std::string QueryDefImpl::Sql() const {
    if (QueryState* q = State()) return q->sql;
    return sql;
}

// ---- Collections ----------------------------------------------------------------------------------

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

} // namespace detail

// ---- Property -------------------------------------------------------------------------------------------

namespace {

Variant BuiltinValue(const PropertyImpl& p);
void SetBuiltinValue(PropertyImpl& p, const Variant& v);

std::vector<UserProperty>* UserList(const PropertyImpl& p) {
    Connection& c = p.db->C();
    switch (p.owner) {
    case PropertyImpl::Owner::Database:
        return &c.catalog.properties;
    case PropertyImpl::Owner::Table: {
        TableState* t = c.catalog.FindTable(p.table);
        if (!t) ThrowJet(3420);
        return &t->properties;
    }
    case PropertyImpl::Owner::Field: {
        TableState* t = c.catalog.FindTable(p.table);
        FieldDef* f = t ? t->FindField(p.field) : nullptr;
        if (!f) ThrowJet(3420);
        return &f->properties;
    }
    case PropertyImpl::Owner::Query: {
        QueryState* q = c.catalog.FindQuery(p.table);
        if (!q) ThrowJet(3420);
        return &q->properties;
    }
    default:
        return nullptr;
    }
}

void SaveUserList(const PropertyImpl& p) {
    Connection& c = p.db->C();
    std::vector<UserProperty>* list = UserList(p);
    switch (p.owner) {
    case PropertyImpl::Owner::Database:
        SaveProperties(c, 0, "", "", *list);
        break;
    case PropertyImpl::Owner::Table:
        SaveProperties(c, 1, c.catalog.FindTable(p.table)->name, "", *list);
        break;
    case PropertyImpl::Owner::Field: {
        TableState* t = c.catalog.FindTable(p.table);
        SaveProperties(c, 2, t->name, t->FindField(p.field)->name, *list);
        break;
    }
    case PropertyImpl::Owner::Query:
        SaveProperties(c, 3, c.catalog.FindQuery(p.table)->name, "", *list);
        break;
    default:
        break;
    }
}

} // namespace

std::string Property::Name() const { return Need(impl_).name; }

int Property::Type() const {
    const PropertyImpl& p = Need(impl_);
    if (p.owner == PropertyImpl::Owner::Free || p.owner == PropertyImpl::Owner::Builtin) return p.type;
    UserProperty* u = FindUser(*UserList(p), p.name);
    if (!u) ThrowJet(3270);
    return u->type;
}

Variant Property::Value() const {
    const PropertyImpl& p = Need(impl_);
    if (p.owner == PropertyImpl::Owner::Free) return p.value;
    if (p.owner == PropertyImpl::Owner::Builtin) return BuiltinValue(p);
    UserProperty* u = FindUser(*UserList(p), p.name);
    if (!u) ThrowJet(3270);
    return u->value;
}

void Property::SetValue(const Variant& value) {
    PropertyImpl& p = Need(impl_);
    if (p.owner == PropertyImpl::Owner::Free) {
        p.value = value;
        return;
    }
    if (p.owner == PropertyImpl::Owner::Builtin) {
        SetBuiltinValue(p, value);
        return;
    }
    Connection& c = p.db->C();
    c.Ddl([&] {
        UserProperty* u = FindUser(*UserList(p), p.name);
        if (!u) ThrowJet(3270);
        u->value = TypedValue(u->type, value);
        SaveUserList(p);
    });
}

// ---- Properties ---------------------------------------------------------------------------------------

namespace {

const Builtin* Builtins(const PropertiesColl& c, std::size_t& n) {
    switch (c.kind) {
    case PropertiesColl::Kind::Database:
        n = std::size(kDatabaseBuiltins);
        return kDatabaseBuiltins;
    case PropertiesColl::Kind::Table:
        n = std::size(kTableBuiltins);
        return kTableBuiltins;
    case PropertiesColl::Kind::Field:
        n = std::size(kFieldBuiltins);
        return kFieldBuiltins;
    case PropertiesColl::Kind::Query:
        n = std::size(kQueryBuiltins);
        return kQueryBuiltins;
    case PropertiesColl::Kind::Index:
        n = std::size(kIndexBuiltins);
        return kIndexBuiltins;
    }
    n = 0;
    return nullptr;
}

// The user-defined list of the owner; nullptr where there is none; pending owners keep their own lists.
std::vector<UserProperty>* OwnerUsers(const PropertiesColl& c) {
    switch (c.kind) {
    case PropertiesColl::Kind::Database:
        return &c.db->C().catalog.properties;
    case PropertiesColl::Kind::Table:
        if (!c.table->appended) return &c.table->pendingProps;
        return &c.table->State().properties;
    case PropertiesColl::Kind::Field:
        if (c.field->mode == FieldImpl::Mode::Table) return &c.field->MutableDef().properties;
        if (c.field->mode == FieldImpl::Mode::Recordset) return nullptr;
        return &c.field->def.properties;
    case PropertiesColl::Kind::Query:
        if (QueryState* q = c.query->State()) return &q->properties;
        return nullptr;
    default:
        return nullptr;
    }
}

bool IsRecordsetField(const PropertiesColl& c) {
    return c.kind == PropertiesColl::Kind::Field && c.field->mode == FieldImpl::Mode::Recordset;
}

Property MakeBuiltin(const PropertiesColl& c, const Builtin& b) {
    auto p = std::make_shared<PropertyImpl>();
    p->owner = PropertyImpl::Owner::Builtin;
    p->name = b.name;
    p->type = b.type;
    p->db = c.db;
    p->fieldObj = c.field;
    p->tableObj = c.table;
    if (c.kind == PropertiesColl::Kind::Database) p->table = "@db";
    if (c.kind == PropertiesColl::Kind::Query) {
        p->table = "@query";
        p->db = c.query->db;
        p->field = c.query->name;
    }
    if (c.kind == PropertiesColl::Kind::Index) p->table = "@index";
    return Property(p);
}

Property MakeUser(const PropertiesColl& c, const UserProperty& u) {
    bool pending = (c.kind == PropertiesColl::Kind::Table && !c.table->appended) ||
                   (c.kind == PropertiesColl::Kind::Field && c.field->mode != FieldImpl::Mode::Table);
    auto p = std::make_shared<PropertyImpl>();
    p->name = u.name;
    p->type = u.type;
    if (pending) {
        p->owner = PropertyImpl::Owner::Free;
        p->value = u.value;
        return Property(p);
    }
    switch (c.kind) {
    case PropertiesColl::Kind::Database:
        p->owner = PropertyImpl::Owner::Database;
        p->db = c.db;
        break;
    case PropertiesColl::Kind::Table:
        p->owner = PropertyImpl::Owner::Table;
        p->db = c.table->db;
        p->table = c.table->name;
        break;
    case PropertiesColl::Kind::Field:
        p->owner = PropertyImpl::Owner::Field;
        p->db = c.field->db;
        p->table = c.field->table;
        p->field = c.field->def.name;
        break;
    case PropertiesColl::Kind::Query:
        p->owner = PropertyImpl::Owner::Query;
        p->db = c.query->db;
        p->table = c.query->name;
        break;
    default:
        break;
    }
    return Property(p);
}

PropertiesColl& PC(const std::shared_ptr<Collection>& c) { return static_cast<PropertiesColl&>(Need(c)); }

Connection* OwnerConnection(const PropertiesColl& c) {
    switch (c.kind) {
    case PropertiesColl::Kind::Database:
        return &c.db->C();
    case PropertiesColl::Kind::Table:
        return c.table->appended ? &c.table->db->C() : nullptr;
    case PropertiesColl::Kind::Field:
        return c.field->mode == FieldImpl::Mode::Table ? &c.field->db->C() : nullptr;
    case PropertiesColl::Kind::Query:
        return c.query->State() ? &c.query->db->C() : nullptr;
    default:
        return nullptr;
    }
}

void SaveOwner(const PropertiesColl& c) {
    Connection& conn = *OwnerConnection(c);
    switch (c.kind) {
    case PropertiesColl::Kind::Database:
        SaveProperties(conn, 0, "", "", conn.catalog.properties);
        break;
    case PropertiesColl::Kind::Table: {
        TableState& t = c.table->State();
        SaveProperties(conn, 1, t.name, "", t.properties);
        break;
    }
    case PropertiesColl::Kind::Field: {
        const FieldDef& f = c.field->Def();
        SaveProperties(conn, 2, conn.catalog.FindTable(c.field->table)->name, f.name, f.properties);
        break;
    }
    case PropertiesColl::Kind::Query: {
        QueryState* q = c.query->State();
        SaveProperties(conn, 3, q->name, "", q->properties);
        break;
    }
    default:
        break;
    }
}

} // namespace

int Properties::Count() const {
    PropertiesColl& c = PC(c_);
    std::size_t n = 0;
    Builtins(c, n);
    if (IsRecordsetField(c)) return static_cast<int>(n + 1);
    std::vector<UserProperty>* u = OwnerUsers(c);
    return static_cast<int>(n + (u ? u->size() : 0));
}

Property Properties::operator[](int index) const {
    PropertiesColl& c = PC(c_);
    std::size_t n = 0;
    const Builtin* b = Builtins(c, n);
    CheckIndex(index, static_cast<std::size_t>(Count()));
    auto i = static_cast<std::size_t>(index);
    if (i < n) return MakeBuiltin(c, b[i]);
    if (IsRecordsetField(c)) return MakeBuiltin(c, Builtin{"Value", c.field->Def().type});
    return MakeUser(c, (*OwnerUsers(c))[i - n]);
}

Property Properties::operator[](std::string_view name) const {
    PropertiesColl& c = PC(c_);
    std::size_t n = 0;
    const Builtin* b = Builtins(c, n);
    for (std::size_t i = 0; i < n; ++i)
        if (SameName(b[i].name, name)) return MakeBuiltin(c, b[i]);
    if (IsRecordsetField(c)) {
        if (SameName(name, "Value")) return MakeBuiltin(c, Builtin{"Value", c.field->Def().type});
        ThrowJet(3270);
    }
    if (std::vector<UserProperty>* u = OwnerUsers(c))
        if (UserProperty* p = FindUser(*u, name)) return MakeUser(c, *p);
    ThrowJet(3270);
}

void Properties::Append(const Property& property) {
    PropertiesColl& c = PC(c_);
    PropertyImpl& p = Need(property.impl());
    if (p.owner != PropertyImpl::Owner::Free) ThrowJet(3367);
    std::size_t n = 0;
    const Builtin* b = Builtins(c, n);
    for (std::size_t i = 0; i < n; ++i)
        if (SameName(b[i].name, p.name)) ThrowJet(3367);
    std::vector<UserProperty>* list = OwnerUsers(c);
    if (!list) ThrowJet(3219);
    if (FindUser(*list, p.name)) ThrowJet(3367);
    UserProperty u{p.name, p.type, TypedValue(p.type, p.value)};
    if (Connection* conn = OwnerConnection(c)) {
        conn->Ddl([&] {
            OwnerUsers(c)->push_back(u);
            SaveOwner(c);
        });
        Property live = MakeUser(c, u);
        *property.impl() = *live.impl();
    } else {
        list->push_back(u);
    }
}

void Properties::Delete(std::string_view name) {
    PropertiesColl& c = PC(c_);
    std::size_t n = 0;
    const Builtin* b = Builtins(c, n);
    for (std::size_t i = 0; i < n; ++i)
        if (SameName(b[i].name, name)) ThrowJet(3219);
    std::vector<UserProperty>* list = OwnerUsers(c);
    if (!list || !FindUser(*list, name)) ThrowJet(3265);
    auto erase = [&] {
        std::vector<UserProperty>* l = OwnerUsers(c);
        l->erase(std::remove_if(l->begin(), l->end(), [&](const UserProperty& u) { return SameName(u.name, name); }),
                 l->end());
    };
    if (Connection* conn = OwnerConnection(c)) {
        conn->Ddl([&] {
            erase();
            SaveOwner(c);
        });
    } else {
        erase();
    }
}

void Properties::Refresh() {}

// ---- Field ----------------------------------------------------------------------------------------------

Field::Field() : impl_(std::make_shared<FieldImpl>()) {}

namespace {

FieldImpl& FI(const std::shared_ptr<FieldImpl>& p) { return Need(p); }

// Changes a definition: directly for free fields, through the catalog for table fields.
template <class Fn>
void ChangeDef(FieldImpl& f, Fn&& fn) {
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

std::string Field::Name() const { return FI(impl_).Def().name; }

void Field::SetName(std::string_view name) {
    FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Recordset) ThrowJet(3219);
    if (f.mode == FieldImpl::Mode::Table) {
        Connection& c = f.db->C();
        std::string old = f.Def().name;
        c.Ddl([&] { RenameField(c, f.table, old, name); });
    }
    f.def.name = std::string(name);
}

int Field::Type() const { return FI(impl_).Def().type; }

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

bool Field::AllowZeroLength() const { return FI(impl_).Def().allowZeroLength; }
void Field::SetAllowZeroLength(bool allow) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.allowZeroLength = allow; });
}
bool Field::Required() const { return FI(impl_).Def().required; }
void Field::SetRequired(bool required) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.required = required; });
}
std::string Field::DefaultValue() const { return FI(impl_).Def().defaultValue; }
void Field::SetDefaultValue(std::string_view e) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.defaultValue = std::string(e); });
}
std::string Field::ValidationRule() const { return FI(impl_).Def().validationRule; }
void Field::SetValidationRule(std::string_view r) {
    ChangeDef(FI(impl_), [&](FieldDef& d) { d.validationRule = std::string(r); });
}
std::string Field::ValidationText() const { return FI(impl_).Def().validationText; }
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
    if (f.mode == FieldImpl::Mode::Recordset) return f.Rs().cols[static_cast<std::size_t>(f.column)].sourceTable;
    if (f.mode == FieldImpl::Mode::Table) return f.table;
    return {};
}

std::string Field::SourceField() const {
    const FieldImpl& f = FI(impl_);
    if (f.mode == FieldImpl::Mode::Recordset) return f.Rs().cols[static_cast<std::size_t>(f.column)].sourceField;
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

FieldsColl& FC(const std::shared_ptr<Collection>& c) { return static_cast<FieldsColl&>(Need(c)); }

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
    if (!c.table->appended) {
        for (auto& f : c.table->pendingFields)
            if (SameName(f->def.name, name)) return Field(f);
        ThrowJet(3265);
    }
    const TableState& t = c.table->State();
    const FieldDef* f = t.FindField(name);
    if (!f) ThrowJet(3265);
    return Field(TableField(c.table->db, t.name, *f));
}

void Fields::Append(const Field& field) {
    FieldsColl& c = FC(c_);
    FieldImpl& f = Need(field.impl());
    if (c.rs) ThrowJet(3219);
    if (f.mode != FieldImpl::Mode::Free || f.appended) ThrowJet(3266);
    if (f.def.name.empty()) ThrowJet(3264);
    if (c.index) {
        if (c.index->appended) ThrowJet(3219);
        for (auto& other : c.index->fields)
            if (SameName(other->def.name, f.def.name)) ThrowJet(3191);
        f.appended = true;
        c.index->fields.push_back(field.impl());
        return;
    }
    if (!IsValidType(f.def.type)) ThrowJet(f.def.type == 0 ? 3219 : 3259);
    if (!c.table->appended) {
        for (auto& other : c.table->pendingFields)
            if (SameName(other->def.name, f.def.name)) ThrowJet(3191);
        f.appended = true;
        c.table->pendingFields.push_back(field.impl());
        return;
    }
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    conn.Ddl([&] { AddField(conn, table, f.def); });
    f.mode = FieldImpl::Mode::Table;
    f.db = c.table->db;
    f.table = table;
    f.appended = true;
}

void Fields::Delete(std::string_view name) {
    FieldsColl& c = FC(c_);
    if (c.rs) ThrowJet(3219);
    if (c.index) {
        if (c.index->appended) ThrowJet(3219);
        auto& v = c.index->fields;
        auto it = std::find_if(v.begin(), v.end(), [&](auto& f) { return SameName(f->def.name, name); });
        if (it == v.end()) ThrowJet(3265);
        (*it)->appended = false;
        v.erase(it);
        return;
    }
    if (!c.table->appended) {
        auto& v = c.table->pendingFields;
        auto it = std::find_if(v.begin(), v.end(), [&](auto& f) { return SameName(f->def.name, name); });
        if (it == v.end()) ThrowJet(3265);
        (*it)->appended = false;
        v.erase(it);
        return;
    }
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    conn.Ddl([&] { DropField(conn, table, name); });
}

void Fields::Refresh() {
    FieldsColl& c = FC(c_);
    if (c.table && c.table->appended) c.table->db->C().CheckFresh();
}

// ---- Index ----------------------------------------------------------------------------------------------

Index::Index() : impl_(std::make_shared<IndexImpl>()) {}

namespace {
IndexImpl& II(const std::shared_ptr<IndexImpl>& p) { return Need(p); }

void SetPendingFlag(IndexImpl& ix, bool IndexDef::*flag, bool value) {
    if (ix.appended) {
        if (ix.Def().*flag != value) ThrowJet(3219);
        return;
    }
    ix.def.*flag = value;
}
} // namespace

std::string Index::Name() const { return II(impl_).Def().name; }
void Index::SetName(std::string_view name) {
    IndexImpl& ix = II(impl_);
    if (ix.appended) ThrowJet(3219);
    ix.def.name = std::string(name);
}
bool Index::Primary() const { return II(impl_).Def().primary; }
void Index::SetPrimary(bool v) { SetPendingFlag(II(impl_), &IndexDef::primary, v); }
bool Index::Unique() const { return II(impl_).Def().unique; }
void Index::SetUnique(bool v) { SetPendingFlag(II(impl_), &IndexDef::unique, v); }
bool Index::IgnoreNulls() const { return II(impl_).Def().ignoreNulls; }
void Index::SetIgnoreNulls(bool v) { SetPendingFlag(II(impl_), &IndexDef::ignoreNulls, v); }
bool Index::Required() const { return II(impl_).Def().required; }
void Index::SetRequired(bool v) { SetPendingFlag(II(impl_), &IndexDef::required, v); }

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
IndexesColl& XC(const std::shared_ptr<Collection>& c) { return static_cast<IndexesColl&>(Need(c)); }

std::shared_ptr<IndexImpl> AppendedIndex(const std::shared_ptr<DatabaseImpl>& db, const std::string& table,
                                         const IndexDef& def) {
    auto ix = std::make_shared<IndexImpl>();
    ix->appended = true;
    ix->db = db;
    ix->table = table;
    ix->def.name = def.name;
    return ix;
}

IndexDef PendingDef(const IndexImpl& ix) {
    IndexDef d = ix.def;
    d.fields.clear();
    d.descending.clear();
    for (const auto& f : ix.fields) {
        d.fields.push_back(f->def.name);
        d.descending.push_back((f->def.attributes & dbDescending) != 0);
    }
    return d;
}
} // namespace

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
    if (!c.table->appended) {
        for (auto& ix : c.table->pendingIndexes)
            if (SameName(ix->def.name, name)) return Index(ix);
        ThrowJet(3265);
    }
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
        for (auto& other : c.table->pendingIndexes)
            if (SameName(other->def.name, ix.def.name)) ThrowJet(3284);
        c.table->pendingIndexes.push_back(index.impl());
        return;
    }
    Connection& conn = c.table->db->C();
    std::string table = c.table->State().name;
    IndexDef def = PendingDef(ix);
    conn.Ddl([&] { CreateIndex(conn, table, def); });
    ix.appended = true;
    ix.db = c.table->db;
    ix.table = table;
    ix.fields.clear();
}

void Indexes::Delete(std::string_view name) {
    IndexesColl& c = XC(c_);
    if (!c.table->appended) {
        auto& v = c.table->pendingIndexes;
        auto it = std::find_if(v.begin(), v.end(), [&](auto& ix) { return SameName(ix->def.name, name); });
        if (it == v.end()) ThrowJet(3265);
        v.erase(it);
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

// ---- TableDef -------------------------------------------------------------------------------------------

TableDef::TableDef() : impl_(std::make_shared<TableDefImpl>()) {}

namespace {
TableDefImpl& TI(const std::shared_ptr<TableDefImpl>& p) { return Need(p); }
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
        ++c.catalogGeneration;
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

// ---- TableDefs ------------------------------------------------------------------------------------------

namespace {
TableDefsColl& TC(const std::shared_ptr<Collection>& c) { return static_cast<TableDefsColl&>(Need(c)); }

TableDef AppendedTable(const std::shared_ptr<DatabaseImpl>& db, const std::string& name) {
    auto t = std::make_shared<TableDefImpl>();
    t->appended = true;
    t->db = db;
    t->name = name;
    return TableDef(t);
}
} // namespace

int TableDefs::Count() const { return static_cast<int>(TC(c_).db->C().catalog.tables.size()); }

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
    for (auto& ix : t.pendingIndexes) s.indexes.push_back(PendingDef(*ix));
    s.properties = t.pendingProps;
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

void TableDefs::Refresh() { TC(c_).db->C().CheckFresh(); }

// ---- QueryDef -------------------------------------------------------------------------------------------

namespace {
QueryDefImpl& QI(const std::shared_ptr<QueryDefImpl>& p) { return Need(p); }
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
    Connection& c = q.db->C();
    std::string sql = q.Sql(), old = q.name;
    c.Ddl([&] {
        DropQuery(c, old);
        CreateQuery(c, name, sql);
    });
    q.name = std::string(name);
}

std::string QueryDef::SQL() const { return QI(impl_).Sql(); }

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

std::string Parameter::Name() const { return query_->parameters.at(index_).name; }
int Parameter::Type() const { return query_->parameters.at(index_).type; }
Variant Parameter::Value() const { return query_->values.at(index_); }

void Parameter::SetValue(const Variant& value) {
    const int type = query_->parameters.at(index_).type;
    if (value.IsNull() || value.IsEmpty() || type == dbText || type == dbMemo) {
        query_->values.at(index_) = value.IsNull() || value.IsEmpty() || type == 0 ? value : Variant(value.ToString());
        return;
    }
    std::optional<Variant> converted = AsScalarType(type, value);
    query_->values.at(index_) = converted ? *converted : value;
}

std::int64_t QueryDef::RecordsAffected() const { return QI(impl_).recordsAffected; }

dao::Properties QueryDef::Properties() const {
    auto c = std::make_shared<PropertiesColl>();
    c->kind = PropertiesColl::Kind::Query;
    c->query = impl_;
    c->db = QI(impl_).db;
    return dao::Properties(c);
}

// ---- QueryDefs ------------------------------------------------------------------------------------------

namespace {
QueryDefsColl& QC(const std::shared_ptr<Collection>& c) { return static_cast<QueryDefsColl&>(Need(c)); }

QueryDef StoredQuery(const std::shared_ptr<DatabaseImpl>& db, const std::string& name) {
    auto q = std::make_shared<QueryDefImpl>();
    q->db = db;
    q->name = name;
    q->stored = true;
    return QueryDef(q);
}
} // namespace

int QueryDefs::Count() const { return static_cast<int>(QC(c_).db->C().catalog.queries.size()); }

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
    if (q.stored) ThrowJet(3367);
    if (q.name.empty()) ThrowJet(3125, "");
    Connection& conn = c.db->C();
    conn.Ddl([&] { CreateQuery(conn, q.name, q.sql); });
    q.stored = true;
    q.db = c.db;
}

void QueryDefs::Delete(std::string_view name) {
    QueryDefsColl& c = QC(c_);
    Connection& conn = c.db->C();
    if (!conn.catalog.FindQuery(name)) ThrowJet(3265);
    conn.Ddl([&] { DropQuery(conn, name); });
}

void QueryDefs::Refresh() { QC(c_).db->C().CheckFresh(); }

dao::Fields detail::FieldsOf(const std::shared_ptr<RecordsetImpl>& rs) {
    auto c = std::make_shared<FieldsColl>();
    c->rs = rs;
    return dao::Fields(c);
}

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

TableDef Database::CreateTableDef(std::string_view name, std::int32_t attributes, std::string_view sourceTable,
                                  std::string_view connect) {
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
        c.Ddl([&] { CreateQuery(c, name, sql); });
        q->stored = true;
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

// ---- Built-in property values ---------------------------------------------------------------------------

namespace {

Variant BuiltinValue(const PropertyImpl& p) {
    const std::string& n = p.name;
    if (p.table == "@db") {
        Database db(p.db);
        if (SameName(n, "Name")) return db.Name();
        if (SameName(n, "Connect")) return db.Connect();
        if (SameName(n, "Updatable")) return db.Updatable();
        return Variant("4.0");
    }
    if (p.table == "@query") {
        auto q = std::make_shared<QueryDefImpl>();
        q->db = p.db;
        q->name = p.field;
        q->stored = !p.field.empty();
        QueryDef qd(q);
        if (SameName(n, "Name")) return qd.Name();
        if (SameName(n, "SQL")) return qd.SQL();
        if (SameName(n, "Type")) return Variant::FromInteger(0);
        return Variant(true);
    }
    if (p.fieldObj) {
        Field f(p.fieldObj);
        if (SameName(n, "Name")) return f.Name();
        if (SameName(n, "Type")) return Variant::FromInteger(static_cast<std::int16_t>(f.Type()));
        if (SameName(n, "Size")) return Variant::FromLong(f.Size());
        if (SameName(n, "Attributes")) return Variant::FromLong(f.Attributes());
        if (SameName(n, "AllowZeroLength")) return f.AllowZeroLength();
        if (SameName(n, "Required")) return f.Required();
        if (SameName(n, "DefaultValue")) return f.DefaultValue();
        if (SameName(n, "ValidationRule")) return f.ValidationRule();
        if (SameName(n, "ValidationText")) return f.ValidationText();
        if (SameName(n, "OrdinalPosition")) return Variant::FromInteger(static_cast<std::int16_t>(f.OrdinalPosition()));
        if (SameName(n, "SourceField")) return f.SourceField();
        if (SameName(n, "SourceTable")) return f.SourceTable();
        if (SameName(n, "Value")) return f.Value();
    }
    if (p.tableObj) {
        TableDef t(p.tableObj);
        if (SameName(n, "Name")) return t.Name();
        if (SameName(n, "Attributes")) return Variant::FromLong(t.Attributes());
        if (SameName(n, "Connect")) return t.Connect();
        if (SameName(n, "SourceTableName")) return t.SourceTableName();
        if (SameName(n, "RecordCount")) return Variant(static_cast<long long>(t.RecordCount()));
        if (SameName(n, "Updatable")) return t.Updatable();
        if (SameName(n, "ValidationRule")) return t.ValidationRule();
        if (SameName(n, "ValidationText")) return t.ValidationText();
    }
    ThrowJet(3270);
}

void SetBuiltinValue(PropertyImpl& p, const Variant& v) {
    const std::string& n = p.name;
    if (p.fieldObj) {
        Field f(p.fieldObj);
        if (SameName(n, "Name")) return f.SetName(v.ToString());
        if (SameName(n, "Type")) return f.SetType(v.ToInteger());
        if (SameName(n, "Size")) return f.SetSize(v.ToLong());
        if (SameName(n, "Attributes")) return f.SetAttributes(v.ToLong());
        if (SameName(n, "AllowZeroLength")) return f.SetAllowZeroLength(v.ToBoolean());
        if (SameName(n, "Required")) return f.SetRequired(v.ToBoolean());
        if (SameName(n, "DefaultValue")) return f.SetDefaultValue(v.ToString());
        if (SameName(n, "ValidationRule")) return f.SetValidationRule(v.ToString());
        if (SameName(n, "ValidationText")) return f.SetValidationText(v.ToString());
        if (SameName(n, "OrdinalPosition")) return f.SetOrdinalPosition(v.ToInteger());
        if (SameName(n, "Value")) return f.SetValue(v);
        ThrowJet(3219);
    }
    if (p.tableObj) {
        TableDef t(p.tableObj);
        if (SameName(n, "Name")) return t.SetName(v.ToString());
        if (SameName(n, "Attributes")) return t.SetAttributes(v.ToLong());
        if (SameName(n, "Connect")) return t.SetConnect(v.ToString());
        if (SameName(n, "SourceTableName")) return t.SetSourceTableName(v.ToString());
        if (SameName(n, "ValidationRule")) return t.SetValidationRule(v.ToString());
        if (SameName(n, "ValidationText")) return t.SetValidationText(v.ToString());
        ThrowJet(3219);
    }
    if (p.table == "@query") {
        auto q = std::make_shared<QueryDefImpl>();
        q->db = p.db;
        q->name = p.field;
        q->stored = true;
        QueryDef qd(q);
        if (SameName(n, "SQL")) return qd.SetSQL(v.ToString());
        if (SameName(n, "Name")) return qd.SetName(v.ToString());
    }
    ThrowJet(3219);
}

} // namespace

} // namespace ledrana::dao
