#include "tools/daotool/output.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace ledrana::daotool {
namespace {

using namespace ledrana::dao;

std::string Two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string DatePart(const DateParts& p) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", p.year, p.month, p.day);
    return b;
}

std::string TimePart(const DateParts& p) {
    return Two(p.hour) + ":" + Two(p.minute) + ":" + Two(p.second);
}

// Tabs and line breaks would break the text form's lines and cells (a query's SQL keeps its tabs).
std::string Escape(const std::string& s, bool tabs = true) {
    std::string out;
    for (char c : s) {
        if (c == '\t' && tabs)
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Cell(const Variant& v) {
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return "NULL";
    case Variant::Kind::Boolean:
        return v.RawInteger() ? "-1" : "0";
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
        return std::to_string(v.RawInteger());
    case Variant::Kind::Currency:
    case Variant::Kind::Decimal:
        return v.ToString();
    case Variant::Kind::Single:
        return ShortestText(static_cast<float>(v.RawDouble()));
    case Variant::Kind::Double:
        return ShortestText(v.RawDouble());
    case Variant::Kind::Date: {
        const DateParts p = SplitDate(v.RawDouble());
        return DatePart(p) + (p.hour || p.minute || p.second ? " " + TimePart(p) : "");
    }
    case Variant::Kind::String:
        return Escape(v.RawString());
    case Variant::Kind::Binary: {
        static const char* hex = "0123456789abcdef";
        std::string out = "0x";
        for (unsigned char c : v.RawString()) {
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        return out;
    }
    }
    return {};
}

// Currency's scaled integer as a decimal number, exact to the last of its four decimals.
std::string CurrencyNumber(std::int64_t scaled) {
    const std::string sign = scaled < 0 ? "-" : "";
    const std::uint64_t a =
        scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string frac = std::to_string(a % 10000);
    frac = std::string(4 - frac.size(), '0') + frac;
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    return sign + std::to_string(a / 10000) + (frac.empty() ? "" : "." + frac);
}

// JSON has no infinities and no NaN: those stay text.
std::string JsonNumber(const std::string& text) {
    return text == "inf" || text == "-inf" || text == "nan" || text == "-nan" ? JsonText(text) : text;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    const std::string ua = UCase(a), ub = UCase(b);
    return ua != ub ? ua < ub : a < b;
}

// The members of a collection, sorted by name without regard to case.
template <class Collection> auto SortedByName(const Collection& items) {
    std::vector<std::decay_t<decltype(items[0])>> list;
    for (int i = 0; i < items.Count(); ++i)
        list.push_back(items[i]);
    std::sort(list.begin(), list.end(),
              [](const auto& a, const auto& b) { return LessNoCase(a.Name(), b.Name()); });
    return list;
}

std::vector<TableDef> UserTables(Database& db) {
    std::vector<TableDef> list = SortedByName(db.TableDefs());
    std::erase_if(list, [](const TableDef& t) { return t.Attributes() != 0; });
    return list;
}

// The properties a person or the program gave the table, sorted by name; DAO's own are left out.
std::vector<std::pair<std::string, Variant>> UserProperties(const TableDef& t) {
    static const char* builtins[] = {"Name",        "Attributes", "Connect",        "SourceTableName",
                                     "RecordCount", "Updatable",  "ValidationRule", "ValidationText"};
    std::vector<std::pair<std::string, Variant>> user;
    Properties props = t.Properties();
    for (int i = 0; i < props.Count(); ++i) {
        const Property p = props[i];
        if (std::none_of(std::begin(builtins), std::end(builtins),
                         [&](const char* b) { return EqualsNoCase(p.Name(), b); }))
            user.emplace_back(p.Name(), p.Value());
    }
    std::sort(user.begin(), user.end(), [](auto& a, auto& b) { return LessNoCase(a.first, b.first); });
    return user;
}

const char* Flag(bool on) {
    return on ? "true" : "false";
}

std::string FieldJson(const Field& f) {
    std::string out = "{\"name\":" + JsonText(f.Name()) +
                      ",\"type\":" + JsonText(AccessTypeName(f.Type(), f.Attributes())) +
                      ",\"typeCode\":" + std::to_string(f.Type()) + ",\"size\":" + std::to_string(f.Size());
    if (f.Type() == dbDecimal)
        out += ",\"precision\":" + std::to_string(f.Precision()) + ",\"scale\":" + std::to_string(f.Scale());
    const std::string def = f.DefaultValue();
    return out + ",\"required\":" + Flag(f.Required()) + ",\"allowZeroLength\":" + Flag(f.AllowZeroLength()) +
           ",\"defaultValue\":" + (def.empty() ? "null" : JsonText(def)) + "}";
}

std::string IndexJson(const Index& ix) {
    std::string fields;
    const Fields ixf = ix.Fields();
    for (int i = 0; i < ixf.Count(); ++i)
        fields += std::string(i ? "," : "") + "{\"name\":" + JsonText(ixf[i].Name()) +
                  ",\"descending\":" + Flag(ixf[i].Attributes() & dbDescending) + "}";
    return "{\"name\":" + JsonText(ix.Name()) + ",\"fields\":[" + fields +
           "],\"primary\":" + Flag(ix.Primary()) + ",\"unique\":" + Flag(ix.Unique()) +
           ",\"ignoreNulls\":" + Flag(ix.IgnoreNulls()) + ",\"required\":" + Flag(ix.Required()) + "}";
}

template <class Items, class Write> std::string JsonList(const Items& items, Write write) {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : ",") + write(item);
    return "[" + out + "]";
}

} // namespace

void WriteRowsText(Database& db, const std::string& sql, std::ostream& out) {
    Recordset rs = db.OpenRecordset(sql);
    Fields fields = rs.Fields();
    const int n = fields.Count();
    std::string header;
    for (int i = 0; i < n; ++i)
        header += (i ? "\t" : "") + fields[i].Name();
    out << header << "\n";
    while (!rs.Eof()) {
        std::string line;
        for (int i = 0; i < n; ++i)
            line += (i ? "\t" : "") + Cell(fields[i].Value());
        out << line << "\n";
        rs.MoveNext();
    }
    rs.Close();
}

void WriteSchemaText(Database& db, std::ostream& out) {
    for (TableDef& t : UserTables(db)) {
        std::string line = "table " + t.Name() + " attributes=" + std::to_string(t.Attributes());
        for (const auto& [name, value] : UserProperties(t))
            line += " " + name + "=" + (value.IsNull() ? "NULL" : Escape(value.ToString()));
        out << line << "\n";
        for (const Field& f : SortedByName(t.Fields()))
            out << "field " << t.Name() << "." << f.Name() << " type=" << f.Type() << " size=" << f.Size()
                << " attributes=" << f.Attributes() << " allowzerolength=" << (f.AllowZeroLength() ? 1 : 0)
                << " required=" << (f.Required() ? 1 : 0) << "\n";
        for (const Index& ix : SortedByName(t.Indexes())) {
            std::string names;
            const Fields ixf = ix.Fields();
            for (int i = 0; i < ixf.Count(); ++i)
                names += (i ? "," : "") + ixf[i].Name();
            out << "index " << t.Name() << "." << ix.Name() << " primary=" << (ix.Primary() ? 1 : 0)
                << " unique=" << (ix.Unique() ? 1 : 0) << " fields=" << names << "\n";
        }
    }
    for (const QueryDef& q : SortedByName(db.QueryDefs())) {
        out << "query " << q.Name() << " sql=" << Escape(q.SQL(), false) << "\n";
    }
}

std::string JsonText(std::string_view s) {
    return JsonString(ValidUtf8(s));
}

std::string Base64(std::string_view bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? digits[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::string IsoDate(double days) {
    const DateParts p = SplitDate(days);
    return DatePart(p) + "T" + TimePart(p);
}

std::string JsonValue(const Variant& v) {
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return "null";
    case Variant::Kind::Boolean:
        return Flag(v.RawInteger() != 0);
    case Variant::Kind::String:
        return JsonText(v.RawString());
    case Variant::Kind::Binary:
        return JsonText(Base64(v.RawString()));
    case Variant::Kind::Date:
        return JsonText(IsoDate(v.RawDouble()));
    case Variant::Kind::Currency:
        return CurrencyNumber(v.RawInteger());
    case Variant::Kind::Decimal:
        return v.RawString(); // its canonical text: "." and no trailing zeros
    case Variant::Kind::Single:
    case Variant::Kind::Double:
        return JsonNumber(Cell(v));
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
        return Cell(v);
    }
    return "null";
}

std::string AccessTypeName(int type, std::int32_t attributes) {
    const bool counter = (attributes & dbAutoIncrField) != 0;
    switch (type) {
    case dbBoolean:
        return "Sì/No";
    case dbByte:
        return "Numerico (Byte)";
    case dbInteger:
        return "Numerico (Intero)";
    case dbLong:
        return counter ? "Contatore" : "Numerico (Intero lungo)";
    case dbCurrency:
        return "Valuta";
    case dbSingle:
        return "Numerico (Precisione singola)";
    case dbDouble:
        return "Numerico (Precisione doppia)";
    case dbDate:
        return "Data/ora";
    case dbBinary:
        return "Binario";
    case dbText:
        return "Testo";
    case dbLongBinary:
        return "Oggetto OLE";
    case dbMemo:
        return "Memo";
    case dbGUID:
        return counter ? "Contatore (ID replica)" : "Numerico (ID replica)";
    case dbDecimal:
        return "Numerico (Decimale)";
    default:
        return "Tipo " + std::to_string(type);
    }
}

void WriteRowsJson(Database& db, const std::string& sql, std::ostream& out) {
    Recordset rs = db.OpenRecordset(sql);
    Fields fields = rs.Fields();
    const int n = fields.Count();
    std::vector<std::string> keys;
    for (int i = 0; i < n; ++i)
        keys.push_back(JsonText(fields[i].Name()) + ":");
    std::string sep = "[";
    while (!rs.Eof()) {
        std::string row = "{";
        for (int i = 0; i < n; ++i)
            row += (i ? "," : "") + keys[i] + JsonValue(fields[i].Value());
        out << sep << row << "}";
        sep = ",\n";
        rs.MoveNext();
    }
    out << (sep == "[" ? "[]\n" : "]\n");
    rs.Close();
}

void WriteSchemaJson(Database& db, std::ostream& out) {
    out << "{\"tables\":[";
    std::string sep = "\n";
    for (TableDef& t : UserTables(db)) {
        std::string props;
        for (const auto& [name, value] : UserProperties(t))
            props += (props.empty() ? "" : ",") + JsonText(name) + ":" + JsonValue(value);
        std::vector<Field> fields;
        const Fields all = t.Fields();
        for (int i = 0; i < all.Count(); ++i)
            fields.push_back(all[i]);
        out << sep << "{\"name\":" << JsonText(t.Name()) << ",\"properties\":{" << props
            << "},\"fields\":" << JsonList(fields, FieldJson)
            << ",\"indexes\":" << JsonList(SortedByName(t.Indexes()), IndexJson) << "}";
        sep = ",\n";
    }
    out << "\n],\n\"queries\":[";
    sep = "\n";
    for (const QueryDef& q : SortedByName(db.QueryDefs())) {
        out << sep << "{\"name\":" << JsonText(q.Name()) << ",\"sql\":" << JsonText(q.SQL()) << "}";
        sep = ",\n";
    }
    out << "\n]}\n";
}

} // namespace ledrana::daotool
