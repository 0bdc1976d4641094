// Rebuilding a saved query's SQL text from its rows in MSysQueries.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "dao/jet/jet_queries.h"
#include "platform/text.h"

namespace ledrana::dao::jet {

namespace {

// What each row of MSysQueries describes (its Attribute).
enum Attribute {
    kAttrType = 1, // Flag: the kind of query; Name1 the target table; Expression the DDL/pass-through text
    kAttrParameter = 2, // Name1 the name, Flag the type, LvExtra the size of a Text
    kAttrFlags = 3,     // Flag: the bits below; Name1 the TOP value
    kAttrRemoteDb = 4,  // Name1 the path, Expression the type of the external database of FROM
    kAttrTable = 5,     // Name1 the table or query, Name2 its alias; in a union, the parts
    kAttrColumn = 6,    // Expression, Name1 the alias, Name2 the target field (append, update)
    kAttrJoin = 7,      // Name1 and Name2 the two sides, Expression the ON condition, Flag the kind
    kAttrWhere = 8,
    kAttrGroupBy = 9,
    kAttrHaving = 10,
    kAttrOrderBy = 11, // Name1 "D" for descending
};

// Bits of the kAttrFlags row.
constexpr int kSelectStar = 0x01;
constexpr int kDistinct = 0x02;
constexpr int kOwnerAccess = 0x04;
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;
// In a union, this bit of the flags row means UNION (no ALL).
constexpr int kUnionDistinct = 0x02;
// A column row of an append query that is an item of VALUES.
constexpr int kAppendValue = 0x8000;
// Column and group-by rows of a crosstab: the PIVOT expression, the row headings.
constexpr int kCrosstabPivot = 0x01;
constexpr int kCrosstabRowHeading = 0x02;

// The parts of a union sit in two table rows under these fixed aliases.
constexpr const char* kUnionPart1 = "X7YZ_____1";
constexpr const char* kUnionPart2 = "X7YZ_____2";

// The rows cannot make a query; the message becomes the note.
struct Undecodable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool IsWordChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

// A name as Access writes it: in brackets when it holds anything but letters, digits and "_".
std::string QuoteName(std::string_view name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return std::string(name);
    bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return IsWordChar(static_cast<unsigned char>(c));
    });
    return plain ? std::string(name) : "[" + std::string(name) + "]";
}

// A qualified name ("Table.Field"), each part quoted on its own.
std::string QuoteQualified(std::string_view name) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = name.find('.', start);
        out += QuoteName(
            name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) break;
        out += '.';
        start = dot + 1;
    }
    return out;
}

std::string Join(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += separator;
        out += items[i];
    }
    return out;
}

std::string Trim(std::string_view s) {
    const char* blanks = " \t\r\n";
    std::size_t b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return "";
    return std::string(s.substr(b, s.find_last_not_of(blanks) - b + 1));
}

// Text stored by the user (DDL, pass-through), without the NULs some files leave at its end.
std::string StoredText(std::string_view s) {
    while (!s.empty() && s.back() == '\0')
        s.remove_suffix(1);
    return Trim(s);
}

// One source of rows in FROM: a table (with its alias) or a join of two sources.
struct Source {
    // A table.
    std::string key; // the name joins refer to it by: its alias, or its own name
    std::string text;
    // A join.
    std::unique_ptr<Source> left, right;
    int kind = 0;
    std::vector<std::string> on; // conditions, joined by AND

    bool IsJoin() const { return left != nullptr; }
    bool Contains(std::string_view table) const {
        return IsJoin() ? left->Contains(table) || right->Contains(table) : EqualsNoCase(key, table);
    }
    std::string Render(bool topLevel) const {
        if (!IsJoin()) return text;
        const char* word = kind == 1 ? " INNER JOIN " : kind == 2 ? " LEFT JOIN " : " RIGHT JOIN ";
        std::string s = left->Render(false) + word + right->Render(false) + " ON ";
        s += on.size() > 1 ? "(" + Join(on, ") AND (") + ")" : on.front();
        return topLevel ? s : "(" + s + ")";
    }
};

std::unique_ptr<Source> TableSource(std::string key, std::string text) {
    auto s = std::make_unique<Source>();
    s->key = std::move(key);
    s->text = std::move(text);
    return s;
}

std::string Alias(const std::string& alias) {
    return alias.empty() ? "" : " AS " + QuoteName(alias);
}

// " IN 'path' [type]" for a source or target in another database.
std::string RemoteDb(const std::string& path, const std::string& type) {
    if (path.empty() && type.empty()) return "";
    std::string s = " IN '" + path + "'";
    if (!type.empty()) s += " [" + type + "]";
    return s;
}

class QueryText {
public:
    explicit QueryText(const std::vector<QueryRow>& rows) : rows_(rows) {}

    std::vector<const QueryRow*> Rows(int attribute) const {
        std::vector<const QueryRow*> out;
        for (const QueryRow& r : rows_)
            if (r.attribute == attribute) out.push_back(&r);
        return out;
    }
    // The one row of an attribute that appears at most once; an empty row when absent.
    const QueryRow& Row(int attribute) const {
        auto rows = Rows(attribute);
        if (rows.size() > 1) throw Undecodable("più righe di attributo " + std::to_string(attribute));
        return rows.empty() ? empty_ : *rows.front();
    }
    bool HasFlag(int bits) const { return (Row(kAttrFlags).flag & bits) != 0; }

    std::string Parameters() const {
        std::vector<std::string> items;
        for (const QueryRow* r : Rows(kAttrParameter))
            items.push_back(QuoteName(r->name1) + " " + ParameterType(*r));
        return items.empty() ? "" : "PARAMETERS " + Join(items, ", ") + "; ";
    }

    // FROM's sources: the tables, combined by the joins in the order the rows give them.
    std::vector<std::string> FromSources() const {
        std::vector<std::unique_ptr<Source>> sources;
        for (const QueryRow* t : Rows(kAttrTable)) {
            std::string text;
            if (!t->expression.empty()) text = QuoteName(t->expression) + ".";
            text += QuoteQualified(t->name1) + Alias(t->name2);
            sources.push_back(TableSource(t->name2.empty() ? t->name1 : t->name2, std::move(text)));
        }
        for (const QueryRow* j : Rows(kAttrJoin)) {
            if (j->flag < 1 || j->flag > 3) throw Undecodable("join di tipo " + std::to_string(j->flag));
            // The sources that hold the two sides; both may already be in one join.
            Source* from = nullptr;
            Source* to = nullptr;
            std::unique_ptr<Source> fromOwned, toOwned;
            for (auto it = sources.begin(); it != sources.end() && !(from && to);) {
                if (!from && (*it)->Contains(j->name1)) {
                    from = it->get();
                    if (!to && (*it)->Contains(j->name2)) {
                        to = from;
                        break;
                    }
                    fromOwned = std::move(*it);
                    it = sources.erase(it);
                } else if (!to && (*it)->Contains(j->name2)) {
                    to = it->get();
                    toOwned = std::move(*it);
                    it = sources.erase(it);
                } else {
                    ++it;
                }
            }
            if (from && from == to) {
                // One more condition of a join already made: Access lists them last first.
                if (!from->IsJoin() || from->kind != j->flag)
                    throw Undecodable("join incoerenti fra " + j->name1 + " e " + j->name2);
                from->on.insert(from->on.begin(), j->expression);
                continue;
            }
            if (!fromOwned) fromOwned = TableSource(j->name1, QuoteQualified(j->name1));
            if (!toOwned) toOwned = TableSource(j->name2, QuoteQualified(j->name2));
            auto join = std::make_unique<Source>();
            join->left = std::move(fromOwned);
            join->right = std::move(toOwned);
            join->kind = j->flag;
            join->on.push_back(j->expression);
            sources.push_back(std::move(join));
        }
        std::vector<std::string> out;
        for (const auto& s : sources)
            out.push_back(s->Render(true));
        return out;
    }

    // DISTINCT / DISTINCTROW, then TOP n [PERCENT], each followed by a space.
    std::string Predicate() const {
        std::string s;
        if (HasFlag(kDistinct))
            s += "DISTINCT ";
        else if (HasFlag(kDistinctRow))
            s += "DISTINCTROW ";
        if (HasFlag(kTop)) {
            s += "TOP " + Row(kAttrFlags).name1 + " ";
            if (HasFlag(kPercent)) s += "PERCENT ";
        }
        return s;
    }

    // The column list; columns are the rows to show (a subset for append queries and crosstabs).
    std::string Columns(const std::vector<const QueryRow*>& columns) const {
        std::vector<std::string> items;
        for (const QueryRow* c : columns)
            items.push_back(c->expression + Alias(c->name1));
        if (HasFlag(kSelectStar)) items.push_back("*");
        return Join(items, ", ");
    }

    // FROM ... WHERE ... GROUP BY ... HAVING ... ORDER BY ..., each clause preceded by a space.
    std::string Clauses(const std::vector<const QueryRow*>& groupBy) const {
        std::string s;
        auto from = FromSources();
        if (!from.empty()) {
            const QueryRow& remote = Row(kAttrRemoteDb);
            s += " FROM " + Join(from, ", ") + RemoteDb(remote.name1, remote.expression);
        }
        if (const QueryRow& w = Row(kAttrWhere); !w.expression.empty()) s += " WHERE " + w.expression;
        std::vector<std::string> groups;
        for (const QueryRow* g : groupBy)
            groups.push_back(g->expression);
        if (!groups.empty()) s += " GROUP BY " + Join(groups, ", ");
        if (const QueryRow& h = Row(kAttrHaving); !h.expression.empty()) s += " HAVING " + h.expression;
        return s + OrderBy();
    }

    std::string OrderBy() const {
        std::vector<std::string> keys;
        for (const QueryRow* o : Rows(kAttrOrderBy))
            keys.push_back(o->expression + (EqualsNoCase(o->name1, "D") ? " DESC" : ""));
        return keys.empty() ? "" : " ORDER BY " + Join(keys, ", ");
    }

    std::string Ending() const { return HasFlag(kOwnerAccess) ? " WITH OWNERACCESS OPTION;" : ";"; }

    static std::vector<const QueryRow*> WithFlag(const std::vector<const QueryRow*>& rows, int bits,
                                                 bool set) {
        std::vector<const QueryRow*> out;
        for (const QueryRow* r : rows)
            if (((r->flag & bits) != 0) == set) out.push_back(r);
        return out;
    }

    std::string Select(const std::string& into = "") const {
        return "SELECT " + Predicate() + Columns(Rows(kAttrColumn)) + into + Clauses(Rows(kAttrGroupBy));
    }

    std::string MakeTable() const {
        const QueryRow& t = Row(kAttrType);
        return Select(" INTO " + QuoteQualified(t.name1) + RemoteDb(t.name2, t.expression));
    }

    std::string Append() const {
        const QueryRow& t = Row(kAttrType);
        auto columns = Rows(kAttrColumn);
        std::vector<std::string> targets;
        for (const QueryRow* c : columns)
            if (!c->name2.empty()) targets.push_back(QuoteQualified(c->name2));
        std::string s = "INSERT INTO " + QuoteQualified(t.name1);
        if (!targets.empty()) s += " ( " + Join(targets, ", ") + " )";
        s += RemoteDb(t.name2, t.expression) + " ";
        auto values = WithFlag(columns, kAppendValue, true);
        if (!values.empty()) {
            std::vector<std::string> items;
            for (const QueryRow* v : values)
                items.push_back(v->expression);
            return s + "VALUES (" + Join(items, ", ") + ")";
        }
        return s + "SELECT " + Predicate() + Columns(WithFlag(columns, kAppendValue, false)) +
               Clauses(Rows(kAttrGroupBy));
    }

    std::string Update() const {
        std::vector<std::string> sets;
        for (const QueryRow* c : Rows(kAttrColumn))
            sets.push_back(QuoteQualified(c->name2) + " = " + c->expression);
        const QueryRow& remote = Row(kAttrRemoteDb);
        std::string s = "UPDATE " + Join(FromSources(), ", ") + RemoteDb(remote.name1, remote.expression) +
                        " SET " + Join(sets, ", ");
        if (const QueryRow& w = Row(kAttrWhere); !w.expression.empty()) s += " WHERE " + w.expression;
        return s;
    }

    std::string Delete() const {
        std::string predicate = HasFlag(kDistinctRow) ? "DISTINCTROW " : "";
        return "DELETE " + predicate + Columns(Rows(kAttrColumn)) + Clauses(Rows(kAttrGroupBy));
    }

    std::string Crosstab() const {
        auto columns = Rows(kAttrColumn);
        auto values = WithFlag(columns, kCrosstabPivot | kCrosstabRowHeading, false);
        auto pivots = WithFlag(columns, kCrosstabPivot, true);
        if (values.size() != 1 || pivots.size() != 1) throw Undecodable("campi TRANSFORM/PIVOT non univoci");
        return "TRANSFORM " + values.front()->expression + Alias(values.front()->name1) + " SELECT " +
               Predicate() + Columns(WithFlag(columns, kCrosstabRowHeading, true)) +
               Clauses(WithFlag(Rows(kAttrGroupBy), kCrosstabRowHeading, true)) + " PIVOT " +
               pivots.front()->expression;
    }

    std::string Union() const {
        std::string parts[2];
        for (const QueryRow* t : Rows(kAttrTable)) {
            if (t->name2 == kUnionPart1) parts[0] = Trim(t->expression);
            if (t->name2 == kUnionPart2) parts[1] = Trim(t->expression);
        }
        if (parts[0].empty() || parts[1].empty()) throw Undecodable("parti della UNION mancanti");
        return parts[0] + (HasFlag(kUnionDistinct) ? " UNION " : " UNION ALL ") + parts[1] + OrderBy();
    }

private:
    static std::string ParameterType(const QueryRow& r) {
        switch (r.flag) {
        case 0:
            return "Value";
        case 1:
            return "Bit";
        case 2:
            return "Byte";
        case 3:
            return "Short";
        case 4:
            return "Long";
        case 5:
            return "Currency";
        case 6:
            return "IEEESingle";
        case 7:
            return "IEEEDouble";
        case 8:
            return "DateTime";
        case 9:
            return "Binary";
        case 10:
            return r.extra > 0 ? "Text ( " + std::to_string(r.extra) + " )" : "Text";
        case 11:
            return "LongBinary";
        case 12:
            return "LongText";
        case 15:
            return "Guid";
        case 20:
            return "Decimal";
        default:
            throw Undecodable("parametro " + r.name1 + " di tipo " + std::to_string(r.flag));
        }
    }

    const std::vector<QueryRow>& rows_;
    QueryRow empty_;
};

// The kind of query from its type row (1 select ... 9 union), else from the object's flags.
int QueryTypeOf(const QueryText& q, int objectFlags) {
    static const int kByRow[] = {
        -1,           kQuerySelect,   kQueryMakeTable,      kQueryAppend,      kQueryUpdate,
        kQueryDelete, kQueryCrosstab, kQueryDataDefinition, kQueryPassThrough, kQueryUnion};
    auto typeRows = q.Rows(kAttrType);
    if (!typeRows.empty()) {
        int f = typeRows.front()->flag;
        if (f >= 1 && f <= 9) return kByRow[f];
        throw Undecodable("tipo di query " + std::to_string(f));
    }
    int byFlags = objectFlags & 0xF0; // the same kinds, as DAO numbers them
    if (byFlags <= kQueryUnion) return byFlags;
    throw Undecodable("tipo di query " + std::to_string(byFlags));
}

} // namespace

SavedQuery DecodeQuery(const std::vector<QueryRow>& rows, int objectFlags) {
    SavedQuery out;
    QueryText q(rows);
    try {
        if (rows.empty()) throw Undecodable("nessuna riga in MSysQueries");
        out.type = QueryTypeOf(q, objectFlags);
        switch (out.type) {
        case kQueryDataDefinition:
            out.sql = StoredText(q.Row(kAttrType).expression);
            break;
        case kQueryPassThrough:
            out.sql = StoredText(q.Row(kAttrType).expression);
            out.connect = q.Row(kAttrType).name1;
            break;
        case kQueryUnion:
            out.sql = q.Parameters() + q.Union() + q.Ending();
            break;
        case kQuerySelect:
            out.sql = q.Parameters() + q.Select() + q.Ending();
            break;
        case kQueryMakeTable:
            out.sql = q.Parameters() + q.MakeTable() + q.Ending();
            break;
        case kQueryAppend:
            out.sql = q.Parameters() + q.Append() + q.Ending();
            break;
        case kQueryUpdate:
            out.sql = q.Parameters() + q.Update() + q.Ending();
            break;
        case kQueryDelete:
            out.sql = q.Parameters() + q.Delete() + q.Ending();
            break;
        case kQueryCrosstab:
            out.sql = q.Parameters() + q.Crosstab() + q.Ending();
            break;
        }
        if (out.sql.empty()) out.note = "testo della query vuoto";
    } catch (const Undecodable& e) {
        out.sql.clear();
        out.note = e.what();
    }
    return out;
}

} // namespace ledrana::dao::jet
