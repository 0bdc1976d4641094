// The catalog: names, types and sizes, stored values, and the MSys tables that describe the archive.

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace ledrana::dao::detail {

// ---- Names ------------------------------------------------------------------------------------------------

std::string Upper(std::string_view s) {
    return UCase(s);
}
bool SameName(std::string_view a, std::string_view b) {
    return EqualsNoCase(a, b);
}
bool LessNoCase(const std::string& a, const std::string& b) {
    std::string ua = Upper(a), ub = Upper(b);
    if (ua != ub) return ua < ub;
    return a < b;
}

bool ValidName(std::string_view name) {
    if (name.empty() || name.front() == ' ' || CharCount(name) > 64) return false;
    for (const char c : name)
        if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']' || static_cast<unsigned char>(c) < 32)
            return false;
    return true;
}

FieldDef* TableState::FindField(std::string_view n) {
    for (auto& f : fields)
        if (SameName(f.name, n)) return &f;
    return nullptr;
}
const FieldDef* TableState::FindField(std::string_view n) const {
    for (const auto& f : fields)
        if (SameName(f.name, n)) return &f;
    return nullptr;
}
int TableState::FieldIndex(std::string_view n) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (SameName(fields[i].name, n)) return static_cast<int>(i);
    return -1;
}
bool TableState::Hides(std::string_view n) const {
    return std::any_of(hidden.begin(), hidden.end(), [&](const std::string& h) { return SameName(h, n); });
}
int TableState::NextOrdinal() const {
    int ordinal = 0;
    for (const FieldDef& f : fields)
        ordinal = std::max(ordinal, f.ordinal + 1);
    return ordinal;
}
IndexDef* TableState::FindIndex(std::string_view n) {
    for (auto& ix : indexes)
        if (SameName(ix.name, n)) return &ix;
    return nullptr;
}
TableState* Catalog::FindTable(std::string_view n) {
    // A plain ASCII name is looked for by halves in the list, which Sort keeps in LessNoCase's order: a
    // letter compared in capitals, any byte outside ASCII after every ASCII one, as LessNoCase has it. The
    // walk of the whole list finds any other name, and a name added since the last sort.
    if (std::all_of(n.begin(), n.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        const auto capital = [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A')
                                        : static_cast<unsigned char>(c);
        };
        const auto before = [&](const TableState& t, std::string_view name) {
            return std::lexicographical_compare(t.name.begin(), t.name.end(), name.begin(), name.end(),
                                                [&](char a, char b) { return capital(a) < capital(b); });
        };
        const auto it = std::lower_bound(tables.begin(), tables.end(), n, before);
        if (it != tables.end() && SameName(it->name, n)) return &*it;
    }
    for (auto& t : tables)
        if (SameName(t.name, n)) return &t;
    return nullptr;
}
QueryState* Catalog::FindQuery(std::string_view n) {
    for (auto& q : queries)
        if (SameName(q.name, n)) return &q;
    return nullptr;
}
namespace {

// Sorts a list that a change has mostly left in order: one that still is stays untouched, where a sort would
// move every element.
template <class List, class Less> void SortList(List& list, Less less) {
    if (!std::is_sorted(list.begin(), list.end(), less)) std::stable_sort(list.begin(), list.end(), less);
}

} // namespace

void Catalog::Sort() {
    SortList(tables, [](const TableState& a, const TableState& b) { return LessNoCase(a.name, b.name); });
    SortList(queries, [](const QueryState& a, const QueryState& b) { return LessNoCase(a.name, b.name); });
    for (auto& t : tables) {
        SortList(t.fields, [](const FieldDef& a, const FieldDef& b) { return a.ordinal < b.ordinal; });
        SortList(t.indexes, [](const IndexDef& a, const IndexDef& b) { return LessNoCase(a.name, b.name); });
    }
}

// ---- Types --------------------------------------------------------------------------------------------

bool IsValidType(int type) {
    return (type >= dbBoolean && type <= dbMemo) || type == dbGUID || type == dbDecimal;
}

bool IsVariableType(int type) {
    return type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary;
}

std::int32_t DefaultSize(int type) {
    switch (type) {
    case dbBoolean:
    case dbByte:
        return 1;
    case dbInteger:
        return 2;
    case dbLong:
    case dbSingle:
        return 4;
    case dbCurrency:
    case dbDouble:
    case dbDate:
        return 8;
    case dbGUID:
    case dbDecimal:
        return 16;
    case dbText:
        return 50;
    case dbBinary:
        return 255;
    default:
        return 0;
    }
}

void NormaliseField(FieldDef& f) {
    if (!IsValidType(f.type)) ThrowJet(3259);
    if (f.type == dbText || f.type == dbBinary) {
        if (f.size <= 0) f.size = DefaultSize(f.type);
        if (f.size > 255) ThrowJet(3001);
    } else {
        f.size = DefaultSize(f.type);
    }
    if (f.type == dbDecimal) {
        if (f.precision == 0) f.precision = 18;
        if (f.precision < 1 || f.precision > Decimal::kMaxPrecision || f.scale < 0 || f.scale > f.precision)
            ThrowJet(3219);
    } else {
        f.precision = f.scale = 0;
    }
    if (f.type != dbLong) f.attributes &= ~dbAutoIncrField;
    if (IsVariableType(f.type)) {
        if ((f.attributes & dbFixedField) == 0)
            f.attributes |= dbVariableField;
        else
            f.attributes &= ~dbVariableField;
    } else {
        f.attributes = (f.attributes | dbFixedField) & ~dbVariableField;
    }
    f.attributes &= ~(dbUpdatableField | dbSystemField);
}

std::string ColumnDecl(const FieldDef& f) {
    switch (f.type) {
    case dbText:
    case dbMemo:
        return "TEXT COLLATE NOCASE";
    case dbGUID:
        return "TEXT";
    case dbDecimal:
        return "TEXT COLLATE " + std::string(kDecimalCollation);
    case dbBinary:
    case dbLongBinary:
        return "BLOB";
    case dbSingle:
    case dbDouble:
    case dbCurrency:
    case dbDate:
        return "REAL";
    default:
        return "INTEGER";
    }
}

std::int32_t StoredSize(const FieldDef& f) {
    return f.type == dbDecimal ? f.precision * 256 + f.scale : f.size;
}

void ReadStoredSize(FieldDef& f, std::int32_t stored) {
    f.size = stored;
    if (f.type != dbDecimal) return;
    f.precision = stored / 256;
    f.scale = stored % 256;
    f.size = DefaultSize(dbDecimal);
}

// ---- Values ---------------------------------------------------------------------------------------------

namespace {

Variant AsDecimal(const FieldDef& f, const Variant& v) {
    const Decimal d = v.ToDecimal().Rounded(f.scale);
    if (!d.Fits(f.precision ? f.precision : 18, f.scale)) ThrowJet(3349);
    return Variant::FromDecimal(d);
}

// Decimal columns order their texts as numbers; a text that is none (written by another tool) comes after
// every number, in byte order.
int CompareDecimalTexts(void*, int n1, const void* p1, int n2, const void* p2) {
    const std::string_view a(static_cast<const char*>(p1), static_cast<std::size_t>(n1));
    const std::string_view b(static_cast<const char*>(p2), static_cast<std::size_t>(n2));
    const std::optional<Decimal> x = Decimal::Parse(a), y = Decimal::Parse(b);
    if (x && y) return Compare(*x, *y);
    if (x || y) return x ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}

} // namespace

void RegisterDecimalCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, kDecimalCollation, SQLITE_UTF8, nullptr, CompareDecimalTexts, nullptr);
}

std::optional<Variant> AsScalarType(int type, const Variant& v) {
    switch (type) {
    case dbBoolean:
        return Variant(v.ToBoolean());
    case dbByte:
        return Variant::FromByte(v.ToByte());
    case dbInteger:
        return Variant::FromInteger(v.ToInteger());
    case dbLong:
        return Variant::FromLong(v.ToLong());
    case dbCurrency:
        return Variant::FromCurrencyScaled(v.ToCurrencyScaled());
    case dbSingle:
        return Variant::FromSingle(v.ToSingle());
    case dbDouble:
        return Variant(v.ToDouble());
    case dbDate:
        return Variant::FromDate(v.ToDate());
    default:
        return std::nullopt;
    }
}

Variant ToStorage(const Variant& v, const FieldDef& f) {
    if (v.IsNull() || v.IsEmpty()) return Variant::Null();
    try {
        if (std::optional<Variant> scalar = AsScalarType(f.type, v)) return *std::move(scalar);
        switch (f.type) {
        case dbDecimal:
            return AsDecimal(f, v);
        case dbText:
        case dbMemo:
        case dbGUID: {
            if (v.kind() == Variant::Kind::String) {
                if (f.type == dbText && f.size > 0 &&
                    CharCount(v.RawString()) > static_cast<std::size_t>(f.size))
                    ThrowJet(3163);
                return v;
            }
            std::string s = v.kind() == Variant::Kind::Binary ? v.RawString() : v.ToString();
            if (f.type == dbText && f.size > 0 && CharCount(s) > static_cast<std::size_t>(f.size))
                ThrowJet(3163);
            return Variant(std::move(s));
        }
        case dbBinary:
        case dbLongBinary: {
            std::string s = (v.kind() == Variant::Kind::Binary || v.kind() == Variant::Kind::String)
                                ? v.RawString()
                                : v.ToString();
            if (f.type == dbBinary && f.size > 0 && s.size() > static_cast<std::size_t>(f.size))
                ThrowJet(3163);
            return Variant::FromBinary(std::move(s));
        }
        default:
            return v;
        }
    } catch (const Error& e) {
        if (e.number() == 6) ThrowJet(3349);
        if (e.number() == 13 || e.number() == 94) ThrowJet(3421);
        throw;
    }
}

Variant FromValueRaw(sqlite3_value* s) {
    switch (sqlite3_value_type(s)) {
    case SQLITE_NULL:
        return Variant::Null();
    case SQLITE_INTEGER:
        return Variant(static_cast<long long>(sqlite3_value_int64(s)));
    case SQLITE_FLOAT:
        return Variant(sqlite3_value_double(s));
    case SQLITE_BLOB: {
        const void* p = sqlite3_value_blob(s);
        int n = sqlite3_value_bytes(s);
        return Variant::FromBinary(std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)));
    }
    default: {
        const unsigned char* p = sqlite3_value_text(s);
        int n = sqlite3_value_bytes(s);
        return Variant(std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)));
    }
    }
}

namespace {

bool IsTextType(int type) {
    return type == dbText || type == dbMemo || type == dbGUID;
}

bool IsBinaryType(int type) {
    return type == dbBinary || type == dbLongBinary;
}

template <class T> bool InRange(std::int64_t v) {
    return v >= std::numeric_limits<T>::min() && v <= std::numeric_limits<T>::max();
}

} // namespace

bool StoredAsIs(sqlite3_value* v, int fromType, int toType, std::int32_t toSize) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return true;
    case SQLITE_TEXT: {
        if (!IsTextType(fromType) || !IsTextType(toType)) return false;
        if (toType != dbText || toSize <= 0) return true;
        const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return CharCount(std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(v)))) <=
               static_cast<std::size_t>(toSize);
    }
    case SQLITE_BLOB:
        if (!IsBinaryType(fromType) || !IsBinaryType(toType)) return false;
        return toType != dbBinary || toSize <= 0 || sqlite3_value_bytes(v) <= toSize;
    case SQLITE_INTEGER: {
        if (fromType != toType) return false;
        const std::int64_t i = sqlite3_value_int64(v);
        switch (toType) {
        case dbBoolean:
            return i == 0 || i == -1;
        case dbByte:
            return InRange<std::uint8_t>(i);
        case dbInteger:
            return InRange<std::int16_t>(i);
        case dbLong:
            return InRange<std::int32_t>(i);
        default:
            return false;
        }
    }
    case SQLITE_FLOAT: {
        if (fromType != toType) return false;
        const double d = sqlite3_value_double(v);
        switch (toType) {
        case dbDouble:
        case dbDate:
            return true;
        case dbSingle:
            return std::isfinite(d) && static_cast<double>(static_cast<float>(d)) == d;
        case dbCurrency: // four decimals at most, within the type's range
            return std::fabs(d) < 9e14 &&
                   static_cast<double>(Variant::FromCurrency(d).RawInteger()) / 10000.0 == d;
        default:
            return false;
        }
    }
    default:
        return false;
    }
}

Variant FromValue(sqlite3_value* s, const FieldDef* f) {
    int st = sqlite3_value_type(s);
    if (st == SQLITE_NULL) return Variant::Null();
    if (!f) return FromValueRaw(s);
    switch (f->type) {
    case dbBoolean:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) return Variant(sqlite3_value_double(s) != 0);
        break;
    case dbByte:
        if (st == SQLITE_INTEGER) return Variant::FromByte(static_cast<std::uint8_t>(sqlite3_value_int(s)));
        break;
    case dbInteger:
        if (st == SQLITE_INTEGER)
            return Variant::FromInteger(static_cast<std::int16_t>(sqlite3_value_int(s)));
        break;
    case dbLong:
        if (st == SQLITE_INTEGER) return Variant::FromLong(static_cast<std::int32_t>(sqlite3_value_int64(s)));
        break;
    case dbCurrency:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) return Variant::FromCurrency(sqlite3_value_double(s));
        break;
    case dbSingle:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT)
            return Variant::FromSingle(static_cast<float>(sqlite3_value_double(s)));
        break;
    case dbDouble:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) return Variant(sqlite3_value_double(s));
        break;
    case dbDate:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) return Variant::FromDate(sqlite3_value_double(s));
        break;
    case dbDecimal:
        if (st == SQLITE_TEXT) {
            const unsigned char* p = sqlite3_value_text(s);
            const std::string_view text(reinterpret_cast<const char*>(p),
                                        static_cast<std::size_t>(sqlite3_value_bytes(s)));
            if (std::optional<Decimal> d = Decimal::Parse(text)) return Variant::FromDecimal(*d);
        }
        break;
    case dbText:
    case dbMemo:
    case dbGUID:
        if (st == SQLITE_TEXT) {
            const unsigned char* p = sqlite3_value_text(s);
            int n = sqlite3_value_bytes(s);
            return Variant(std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)));
        }
        break;
    case dbBinary:
    case dbLongBinary:
        if (st == SQLITE_BLOB || st == SQLITE_TEXT) {
            const void* p = sqlite3_value_blob(s);
            int n = sqlite3_value_bytes(s);
            return Variant::FromBinary(std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)));
        }
        break;
    default:
        break;
    }
    // A value stored with another class (written by other tools): convert it as VB would, or give it as is.
    Variant raw = FromValueRaw(s);
    try {
        FieldDef loose = *f;
        loose.size = 0;
        return ToStorage(raw, loose);
    } catch (const Error&) {
        return raw;
    }
}

Variant FromColumnRaw(sqlite3_stmt* s, int i) {
    return FromValueRaw(sqlite3_column_value(s, i));
}

Variant FromColumn(sqlite3_stmt* s, int i, const FieldDef* f) {
    return FromValue(sqlite3_column_value(s, i), f);
}

void BindVariant(sqlite3_stmt* s, int i, const Variant& v) {
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        sqlite3_bind_null(s, i);
        break;
    case Variant::Kind::Boolean:
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
        sqlite3_bind_int64(s, i, v.RawInteger());
        break;
    case Variant::Kind::Currency:
        sqlite3_bind_double(s, i, static_cast<double>(v.RawInteger()) / 10000.0);
        break;
    case Variant::Kind::Single:
    case Variant::Kind::Double:
    case Variant::Kind::Date:
        sqlite3_bind_double(s, i, v.RawDouble());
        break;
    case Variant::Kind::String:
    case Variant::Kind::Decimal:
        sqlite3_bind_text(s, i, v.RawString().data(), static_cast<int>(v.RawString().size()),
                          SQLITE_TRANSIENT);
        break;
    case Variant::Kind::Binary:
        sqlite3_bind_blob(s, i, v.RawString().data(), static_cast<int>(v.RawString().size()),
                          SQLITE_TRANSIENT);
        break;
    }
}

bool SameStoredValue(const Variant& a, const Variant& b) {
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return true;
    case Variant::Kind::Single:
    case Variant::Kind::Double:
    case Variant::Kind::Date: {
        const double x = a.RawDouble(), y = b.RawDouble();
        return std::memcmp(&x, &y, sizeof(double)) == 0;
    }
    case Variant::Kind::String:
    case Variant::Kind::Binary:
    case Variant::Kind::Decimal:
        return a.RawString() == b.RawString();
    default:
        return a.RawInteger() == b.RawInteger();
    }
}

// ---- Catalog in the file -------------------------------------------------------------------------------

namespace {

const char* const kCatalogDdl[] = {
    "CREATE TABLE MSysDb(Name TEXT PRIMARY KEY, Value)",
    "CREATE TABLE MSysTables(Name TEXT PRIMARY KEY COLLATE NOCASE, Attributes INTEGER, Connect TEXT, "
    "SourceTable TEXT, ValidationRule TEXT, ValidationText TEXT)",
    "CREATE TABLE MSysFields(TableName TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE, Ordinal INTEGER, "
    "Type INTEGER, Size INTEGER, Attributes INTEGER, AllowZeroLength INTEGER, Required INTEGER, "
    "DefaultValue TEXT, ValidationRule TEXT, ValidationText TEXT, PRIMARY KEY(TableName, Name))",
    "CREATE TABLE MSysIndexes(TableName TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE, SqlName TEXT, "
    "Fields TEXT, Descending TEXT, IsPrimary INTEGER, IsUnique INTEGER, IgnoreNulls INTEGER, "
    "Required INTEGER, PRIMARY KEY(TableName, Name))",
    "CREATE TABLE MSysQueries(Name TEXT PRIMARY KEY COLLATE NOCASE, SQL TEXT)",
    "CREATE TABLE MSysProperties(ObjectKind INTEGER, ObjectName TEXT COLLATE NOCASE, "
    "FieldName TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE, Type INTEGER, Value, "
    "PRIMARY KEY(ObjectKind, ObjectName, FieldName, Name))",
};

const char* const kCatalogTables[] = {"MSysDb",      "MSysTables",  "MSysFields",
                                      "MSysIndexes", "MSysQueries", "MSysProperties"};

constexpr char kSep = '\x1f';

std::string Join(const std::vector<std::string>& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i) out += kSep;
        out += v[i];
    }
    return out;
}

std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    if (s.empty()) return out;
    std::size_t i = 0;
    while (true) {
        auto j = s.find(kSep, i);
        out.push_back(s.substr(i, j == std::string::npos ? std::string::npos : j - i));
        if (j == std::string::npos) break;
        i = j + 1;
    }
    return out;
}

std::string Text(sqlite3_stmt* s, int i) {
    const unsigned char* p = sqlite3_column_text(s, i);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
             : std::string();
}

void BindText(sqlite3_stmt* s, int i, std::string_view t) {
    sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

void Step(Connection& c, sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) ThrowSqlite(c.handle(), rc);
    sqlite3_reset(s);
}

Variant PropertyFromColumn(sqlite3_stmt* s, int i, int type) {
    FieldDef f;
    f.type = IsValidType(type) ? type : dbText;
    return FromColumn(s, i, &f);
}

} // namespace

void CreateCatalogTables(Connection& c) {
    for (const char* ddl : kCatalogDdl)
        c.Exec(ddl);
    c.Exec("INSERT INTO MSysDb(Name, Value) VALUES('Format', 'Ledrana Jet 1')");
}

void Connection::LoadCatalog() {
    Catalog cat;
    sqlite3* db = handle();
    auto query = [&](const char* sql) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
        if (rc != SQLITE_OK) ThrowSqlite(db, rc);
        return Stmt(raw);
    };
    {
        Stmt s = query(
            "SELECT Name, Attributes, Connect, SourceTable, ValidationRule, ValidationText FROM MSysTables");
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            TableState t;
            t.name = Text(s.get(), 0);
            t.attributes = sqlite3_column_int(s.get(), 1);
            t.connect = Text(s.get(), 2);
            t.sourceTable = Text(s.get(), 3);
            t.validationRule = Text(s.get(), 4);
            t.validationText = Text(s.get(), 5);
            cat.tables.push_back(std::move(t));
        }
    }
    cat.Sort();
    {
        Stmt s =
            query("SELECT TableName, Name, Ordinal, Type, Size, Attributes, AllowZeroLength, Required, "
                  "DefaultValue, ValidationRule, ValidationText FROM MSysFields ORDER BY TableName, Ordinal");
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            TableState* t = cat.FindTable(Text(s.get(), 0));
            if (!t) continue;
            FieldDef f;
            f.name = Text(s.get(), 1);
            f.ordinal = sqlite3_column_int(s.get(), 2);
            if (f.ordinal < 0) {
                if (f.ordinal == -2) {
                    // A count that is not a number is one still to be made.
                    const std::string count = Text(s.get(), 9);
                    std::int64_t n = -1;
                    if (std::from_chars(count.data(), count.data() + count.size(), n).ec != std::errc() ||
                        n < 0)
                        n = -1;
                    t->fills.push_back({f.name, Text(s.get(), 8), n});
                }
                t->hidden.push_back(std::move(f.name));
                continue;
            }
            f.type = sqlite3_column_int(s.get(), 3);
            ReadStoredSize(f, sqlite3_column_int(s.get(), 4));
            f.attributes = sqlite3_column_int(s.get(), 5);
            f.allowZeroLength = sqlite3_column_int(s.get(), 6) != 0;
            f.required = sqlite3_column_int(s.get(), 7) != 0;
            f.defaultValue = Text(s.get(), 8);
            f.validationRule = Text(s.get(), 9);
            f.validationText = Text(s.get(), 10);
            t->fields.push_back(std::move(f));
        }
    }
    {
        Stmt s =
            query("SELECT TableName, Name, SqlName, Fields, Descending, IsPrimary, IsUnique, IgnoreNulls, "
                  "Required FROM MSysIndexes");
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            TableState* t = cat.FindTable(Text(s.get(), 0));
            if (!t) continue;
            IndexDef ix;
            ix.name = Text(s.get(), 1);
            ix.sqlName = Text(s.get(), 2);
            ix.fields = Split(Text(s.get(), 3));
            std::string desc = Text(s.get(), 4);
            for (std::size_t i = 0; i < ix.fields.size(); ++i)
                ix.descending.push_back(i < desc.size() && desc[i] == '1');
            ix.primary = sqlite3_column_int(s.get(), 5) != 0;
            ix.unique = sqlite3_column_int(s.get(), 6) != 0;
            ix.ignoreNulls = sqlite3_column_int(s.get(), 7) != 0;
            ix.required = sqlite3_column_int(s.get(), 8) != 0;
            t->indexes.push_back(std::move(ix));
        }
    }
    {
        Stmt s = query("SELECT Name, SQL FROM MSysQueries");
        while (sqlite3_step(s.get()) == SQLITE_ROW)
            cat.queries.push_back({Text(s.get(), 0), Text(s.get(), 1), {}});
    }
    {
        Stmt s = query("SELECT ObjectKind, ObjectName, FieldName, Name, Type, Value FROM MSysProperties");
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            int kind = sqlite3_column_int(s.get(), 0);
            std::string object = Text(s.get(), 1), field = Text(s.get(), 2);
            UserProperty p{Text(s.get(), 3), sqlite3_column_int(s.get(), 4), {}};
            p.value = PropertyFromColumn(s.get(), 5, p.type);
            if (kind == 0) {
                cat.properties.push_back(std::move(p));
            } else if (kind == 1 || kind == 2) {
                TableState* t = cat.FindTable(object);
                if (!t) continue;
                if (kind == 1) {
                    t->properties.push_back(std::move(p));
                } else if (FieldDef* f = t->FindField(field)) {
                    f->properties.push_back(std::move(p));
                }
            } else if (kind == 3) {
                if (QueryState* q = cat.FindQuery(object)) q->properties.push_back(std::move(p));
            }
        }
    }
    // What waits for the next compaction: indexes not yet built, and fields computed by virtual columns from
    // hidden ones (so only a table with hidden columns can have them).
    {
        std::unordered_set<std::string> indexNames;
        Stmt s = query("SELECT name FROM sqlite_schema WHERE type = 'index'");
        while (sqlite3_step(s.get()) == SQLITE_ROW)
            indexNames.insert(Upper(Text(s.get(), 0)));
        for (TableState& t : cat.tables)
            for (IndexDef& ix : t.indexes)
                ix.built = ix.sqlName.empty() || indexNames.count(Upper(ix.sqlName)) > 0;
        for (TableState& t : cat.tables) {
            if (t.hidden.empty() || t.IsSystem() || t.IsAttached()) continue;
            const std::string name = SqlLiteral(t.name);
            std::vector<std::string> computed;
            Stmt x = query(("SELECT name FROM pragma_table_xinfo(" + name + ") WHERE hidden = 2").c_str());
            while (sqlite3_step(x.get()) == SQLITE_ROW)
                computed.push_back(Text(x.get(), 0));
            if (computed.empty()) continue;
            Stmt d = query(("SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = " + name).c_str());
            NoteComputedFields(t, computed, sqlite3_step(d.get()) == SQLITE_ROW ? Text(d.get(), 0) : "");
        }
    }
    // The catalog's own tables, listed as system tables.
    for (const char* name : kCatalogTables) {
        TableState t;
        t.name = name;
        t.attributes = dbSystemObject;
        Stmt s = query((std::string("PRAGMA table_info(") + QuoteName(name) + ")").c_str());
        int ord = 0;
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            FieldDef f;
            f.name = Text(s.get(), 1);
            std::string decl = Upper(Text(s.get(), 2));
            f.type = decl == "INTEGER" ? dbLong : dbMemo;
            NormaliseField(f);
            f.ordinal = ord++;
            f.allowZeroLength = true;
            t.fields.push_back(std::move(f));
        }
        cat.tables.push_back(std::move(t));
    }
    cat.Sort();
    catalog = std::move(cat);
    ++catalogGeneration;
}

void SaveTableRow(Connection& c, const TableState& t) {
    sqlite3_stmt* s = c.Prepare("INSERT OR REPLACE INTO MSysTables(Name, Attributes, Connect, SourceTable, "
                                "ValidationRule, ValidationText) VALUES(?,?,?,?,?,?)");
    BindText(s, 1, t.name);
    sqlite3_bind_int(s, 2, t.attributes);
    BindText(s, 3, t.connect);
    BindText(s, 4, t.sourceTable);
    BindText(s, 5, t.validationRule);
    BindText(s, 6, t.validationText);
    Step(c, s);
}

void SaveFieldRow(Connection& c, const TableState& t, const FieldDef& f) {
    // A row that is there is changed where it stands, and only when it differs: the catalog's pages are
    // written once per change, not moved to the end of the table.
    sqlite3_stmt* s = c.Prepare(
        "INSERT INTO MSysFields(TableName, Name, Ordinal, Type, Size, Attributes, AllowZeroLength, Required, "
        "DefaultValue, ValidationRule, ValidationText) VALUES(?,?,?,?,?,?,?,?,?,?,?) "
        "ON CONFLICT(TableName, Name) DO UPDATE SET Name = excluded.Name, Ordinal = excluded.Ordinal, "
        "Type = excluded.Type, Size = excluded.Size, Attributes = excluded.Attributes, "
        "AllowZeroLength = excluded.AllowZeroLength, Required = excluded.Required, "
        "DefaultValue = excluded.DefaultValue, ValidationRule = excluded.ValidationRule, "
        "ValidationText = excluded.ValidationText WHERE (Name, Ordinal, Type, Size, Attributes, "
        "AllowZeroLength, "
        "Required, DefaultValue, ValidationRule, ValidationText) IS NOT (excluded.Name, excluded.Ordinal, "
        "excluded.Type, excluded.Size, excluded.Attributes, excluded.AllowZeroLength, excluded.Required, "
        "excluded.DefaultValue, excluded.ValidationRule, excluded.ValidationText)");
    BindText(s, 1, t.name);
    BindText(s, 2, f.name);
    sqlite3_bind_int(s, 3, f.ordinal);
    sqlite3_bind_int(s, 4, f.type);
    sqlite3_bind_int(s, 5, StoredSize(f));
    sqlite3_bind_int(s, 6, f.attributes);
    sqlite3_bind_int(s, 7, f.allowZeroLength ? 1 : 0);
    sqlite3_bind_int(s, 8, f.required ? 1 : 0);
    BindText(s, 9, f.defaultValue);
    BindText(s, 10, f.validationRule);
    BindText(s, 11, f.validationText);
    Step(c, s);
}

void SaveHiddenRow(Connection& c, const TableState& t, const std::string& column) {
    // A column whose Nulls a field completes names the field and, once counted, their number.
    const TableState::NullFill* fill = nullptr;
    for (const TableState::NullFill& f : t.fills)
        if (f.column == column) fill = &f;
    sqlite3_stmt* s = c.Prepare("INSERT OR REPLACE INTO MSysFields(TableName, Name, Ordinal, Type, Size, "
                                "Attributes, AllowZeroLength, Required, DefaultValue, ValidationRule, "
                                "ValidationText) VALUES(?,?,?,0,0,0,0,0,?,?,'')");
    BindText(s, 1, t.name);
    BindText(s, 2, column);
    sqlite3_bind_int(s, 3, fill ? -2 : -1);
    BindText(s, 4, fill ? fill->field : std::string());
    BindText(s, 5, fill && fill->count >= 0 ? std::to_string(fill->count) : std::string());
    Step(c, s);
}

void DeleteHiddenRow(Connection& c, const TableState& t, const std::string& column) {
    sqlite3_stmt* s = c.Prepare("DELETE FROM MSysFields WHERE TableName=? AND Name=? AND Ordinal<0");
    BindText(s, 1, t.name);
    BindText(s, 2, column);
    Step(c, s);
}

void SaveIndexRow(Connection& c, const TableState& t, const IndexDef& ix) {
    sqlite3_stmt* s =
        c.Prepare("INSERT OR REPLACE INTO MSysIndexes(TableName, Name, SqlName, Fields, "
                  "Descending, IsPrimary, IsUnique, IgnoreNulls, Required) VALUES(?,?,?,?,?,?,?,?,?)");
    BindText(s, 1, t.name);
    BindText(s, 2, ix.name);
    BindText(s, 3, ix.sqlName);
    BindText(s, 4, Join(ix.fields));
    std::string desc;
    for (std::size_t i = 0; i < ix.fields.size(); ++i)
        desc += (i < ix.descending.size() && ix.descending[i]) ? '1' : '0';
    BindText(s, 5, desc);
    sqlite3_bind_int(s, 6, ix.primary);
    sqlite3_bind_int(s, 7, ix.unique);
    sqlite3_bind_int(s, 8, ix.ignoreNulls);
    sqlite3_bind_int(s, 9, ix.required);
    Step(c, s);
}

void SaveProperties(Connection& c, int kind, std::string_view object, std::string_view field,
                    const std::vector<UserProperty>& props) {
    // Properties no longer there go; the others are changed where they stand, when they differ.
    std::vector<std::string> gone;
    {
        sqlite3_stmt* q =
            c.Prepare("SELECT Name FROM MSysProperties WHERE ObjectKind=? AND ObjectName=? AND FieldName=?");
        sqlite3_bind_int(q, 1, kind);
        BindText(q, 2, object);
        BindText(q, 3, field);
        while (sqlite3_step(q) == SQLITE_ROW) {
            const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            if (std::none_of(props.begin(), props.end(),
                             [&](const UserProperty& p) { return SameName(p.name, name); }))
                gone.push_back(name);
        }
        sqlite3_reset(q);
    }
    sqlite3_stmt* d = c.Prepare(
        "DELETE FROM MSysProperties WHERE ObjectKind=? AND ObjectName=? AND FieldName=? AND Name=?");
    for (const std::string& name : gone) {
        sqlite3_bind_int(d, 1, kind);
        BindText(d, 2, object);
        BindText(d, 3, field);
        BindText(d, 4, name);
        Step(c, d);
    }
    sqlite3_stmt* s = c.Prepare(
        "INSERT INTO MSysProperties(ObjectKind, ObjectName, FieldName, Name, Type, Value) "
        "VALUES(?,?,?,?,?,?) ON CONFLICT(ObjectKind, ObjectName, FieldName, Name) DO UPDATE SET "
        "Name = excluded.Name, Type = excluded.Type, Value = excluded.Value WHERE (Name, Type, Value) IS "
        "NOT (excluded.Name, excluded.Type, excluded.Value)");
    for (const auto& p : props) {
        sqlite3_bind_int(s, 1, kind);
        BindText(s, 2, object);
        BindText(s, 3, field);
        BindText(s, 4, p.name);
        sqlite3_bind_int(s, 5, p.type);
        FieldDef f;
        f.type = IsValidType(p.type) ? p.type : dbText;
        Variant stored;
        try {
            stored = ToStorage(p.value, f);
        } catch (const Error&) {
            stored = p.value;
        }
        BindVariant(s, 6, stored);
        Step(c, s);
    }
}

void DeleteCatalogTable(Connection& c, std::string_view table) {
    for (const char* sql : {"DELETE FROM MSysTables WHERE Name=?", "DELETE FROM MSysFields WHERE TableName=?",
                            "DELETE FROM MSysIndexes WHERE TableName=?"}) {
        sqlite3_stmt* s = c.Prepare(sql);
        BindText(s, 1, table);
        Step(c, s);
    }
    sqlite3_stmt* s = c.Prepare("DELETE FROM MSysProperties WHERE ObjectKind IN (1,2) AND ObjectName=?");
    BindText(s, 1, table);
    Step(c, s);
}

} // namespace ledrana::dao::detail
