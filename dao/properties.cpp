// Properties: the built-in properties of databases, tables, fields, query definitions and indexes, read and
// set through the object they describe, and the user-defined ones, stored in the catalog with their owner.
// A user-defined value is converted to the property's type; one that does not convert is error 3421.

#include "dao/objects_internal.h"

#include <algorithm>
#include <optional>

namespace ledrana::dao {

using namespace detail;

namespace {

// Built-in properties by owner kind, with their types.
struct Builtin {
    const char* name;
    int type;
};
constexpr Builtin kFieldBuiltins[] = {
    {"Name", dbText},
    {"Type", dbInteger},
    {"Size", dbLong},
    {"Attributes", dbLong},
    {"AllowZeroLength", dbBoolean},
    {"Required", dbBoolean},
    {"DefaultValue", dbText},
    {"ValidationRule", dbText},
    {"ValidationText", dbText},
    {"OrdinalPosition", dbInteger},
    {"SourceField", dbText},
    {"SourceTable", dbText},
};
constexpr Builtin kTableBuiltins[] = {
    {"Name", dbText},           {"Attributes", dbLong},
    {"Connect", dbText},        {"SourceTableName", dbText},
    {"RecordCount", dbLong},    {"Updatable", dbBoolean},
    {"ValidationRule", dbText}, {"ValidationText", dbText},
};
constexpr Builtin kQueryBuiltins[] = {
    {"Name", dbText}, {"SQL", dbMemo}, {"Type", dbInteger}, {"Updatable", dbBoolean}};
constexpr Builtin kIndexBuiltins[] = {{"Name", dbText},
                                      {"Primary", dbBoolean},
                                      {"Unique", dbBoolean},
                                      {"IgnoreNulls", dbBoolean},
                                      {"Required", dbBoolean}};
constexpr Builtin kDatabaseBuiltins[] = {
    {"Name", dbText}, {"Connect", dbText}, {"Updatable", dbBoolean}, {"Version", dbText}};

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

Property detail::FreeProperty(std::string_view name, int type, const Variant& value) {
    if (name.empty() || type == 0) ThrowJet(3219);
    auto p = std::make_shared<PropertyImpl>();
    p->owner = PropertyImpl::Owner::Free;
    p->name = std::string(name);
    p->type = type;
    p->value = value;
    return Property(p);
}

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

std::string Property::Name() const {
    return Need(impl_).name;
}

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

PropertiesColl& PC(const std::shared_ptr<Collection>& c) {
    return static_cast<PropertiesColl&>(Need(c));
}

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
        l->erase(std::remove_if(l->begin(), l->end(),
                                [&](const UserProperty& u) { return SameName(u.name, name); }),
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
        q->appended = !p.field.empty();
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
        if (SameName(n, "OrdinalPosition"))
            return Variant::FromInteger(static_cast<std::int16_t>(f.OrdinalPosition()));
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
        q->appended = true;
        QueryDef qd(q);
        if (SameName(n, "SQL")) return qd.SetSQL(v.ToString());
        if (SameName(n, "Name")) return qd.SetName(v.ToString());
    }
    ThrowJet(3219);
}

} // namespace

} // namespace ledrana::dao
