// The SQL texts of queries: their translations kept by the shape of their text, their statements taken
// from the connection's pool, the types of the saved queries they read, the tables with hidden columns.

#include "dao/store/query_texts.h"

#include "dao/store/internal.h"

#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ledrana::dao::detail {

std::string_view TrimSql(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n' || s.back() == ';'))
        s.remove_suffix(1);
    return s;
}

bool StartsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = s[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != word[i]) return false;
    }
    return s.size() == word.size() || s[word.size()] == ' ' || s[word.size()] == '\t' ||
           s[word.size()] == '\n' || s[word.size()] == '\r';
}

namespace {

bool IdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '.' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Rewrites each integer of a statement's criteria that is compared with =, <, >: `replace` gets its digits
// and returns the text written in its place, or nullopt when the statement must stay as it is (then the
// result is the text as given). Strings, names in quotes or brackets and, in Jet texts, #dates# are
// skipped; so is everything before WHERE, so that the names of the columns stay as written.
template <class Replace>
std::string RewriteCriteriaIntegers(const std::string& sql, bool jet, Replace&& replace) {
    std::string out;
    out.reserve(sql.size());
    bool criteria = false;
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[' || (jet && c == '#')) {
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close) {
                    if ((close == '\'' || close == '"') && j + 1 < sql.size() && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = std::min(j + 1, sql.size());
            out.append(sql, i, j - i);
            i = j;
            continue;
        }
        if (c == '?') return sql;
        if ((c == 'W' || c == 'w') && (i == 0 || !IdentifierChar(sql[i - 1])) && i + 5 <= sql.size() &&
            (i + 5 == sql.size() || !IdentifierChar(sql[i + 5]))) {
            std::string word = sql.substr(i, 5);
            for (char& ch : word)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (word == "WHERE") criteria = true;
        }
        if (criteria && std::isdigit(static_cast<unsigned char>(c)) &&
            (i == 0 || !IdentifierChar(sql[i - 1]))) {
            std::size_t j = i;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
                ++j;
            std::size_t before = out.size();
            while (before > 0 && out[before - 1] == ' ')
                --before;
            const bool compared =
                before > 0 && (out[before - 1] == '=' || out[before - 1] == '<' || out[before - 1] == '>');
            std::optional<std::string> written;
            if (compared && j - i <= 18 && (j == sql.size() || !IdentifierChar(sql[j]))) {
                written = replace(sql.substr(i, j - i));
                if (!written) return sql;
            }
            out += written ? *written : sql.substr(i, j - i);
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// The statement with those integers written as parameters, and the integers in order. A literal and a
// bound integer compare alike, so recordsets whose texts differ only there (one per journal entry, say)
// share one prepared statement.
std::string WithIntegerParameters(const std::string& sql, std::vector<long long>& values) {
    values.clear();
    std::string out = RewriteCriteriaIntegers(sql, false, [&](const std::string& digits) {
        values.push_back(std::stoll(digits));
        return std::optional<std::string>("?");
    });
    if (out == sql) values.clear();
    return out;
}

// Replaces the one whole-number occurrence of `mark` in `sql` by `digits`; false when it is not there once.
bool PutBack(std::string& sql, const std::string& mark, const std::string& digits) {
    std::size_t found = std::string::npos;
    for (std::size_t at = sql.find(mark); at != std::string::npos; at = sql.find(mark, at + 1)) {
        const bool whole = (at == 0 || !IdentifierChar(sql[at - 1])) &&
                           (at + mark.size() == sql.size() || !IdentifierChar(sql[at + mark.size()]));
        if (!whole) continue;
        if (found != std::string::npos) return false;
        found = at;
    }
    if (found == std::string::npos) return false;
    sql.replace(found, mark.size(), digits);
    return true;
}

} // namespace

// The translation of a query's Jet text. Texts that differ only in the integers of their criteria are
// translated once: each integer stands in the cached text as a mark of its own kind (Integer or Long, as
// Jet types a literal), and the digits go back in the translated text in place of their marks. Anything
// unusual (a mark not found exactly once, a text that does not translate) takes the plain translation.
JetStatement TranslateQuery(Connection& c, std::string_view jetSql) {
    const std::string text(jetSql);
    std::vector<std::pair<std::string, std::string>> marks; // mark, digits
    const std::string shape = RewriteCriteriaIntegers(text, true, [&](const std::string& digits) {
        if (digits.size() > 10 || marks.size() >= 600) return std::optional<std::string>();
        const long long v = std::stoll(digits);
        if (v > 2147483647LL) return std::optional<std::string>();
        const long long base = v <= 32767 ? 31000 : 2100000000LL;
        std::string mark = std::to_string(base + static_cast<long long>(marks.size()));
        marks.emplace_back(mark, digits);
        return std::optional<std::string>(mark);
    });
    if (shape == text || marks.empty()) return Translate(c, jetSql);
    // A translation reads field types from the catalog: a changed catalog starts a new cache.
    if (c.translationsGeneration != c.catalogGeneration) {
        c.translations.clear();
        c.translationsGeneration = c.catalogGeneration;
    }
    auto it = c.translations.find(shape);
    if (it == c.translations.end()) {
        std::optional<JetStatement> st;
        try {
            st = Translate(c, shape);
        } catch (const Error&) {
        }
        if (!st) return Translate(c, jetSql);
        if (c.translations.size() >= 256) c.translations.clear();
        it = c.translations.emplace(shape, std::move(*st)).first;
    }
    JetStatement st = it->second;
    for (const auto& [mark, digits] : marks)
        if (!PutBack(st.sql, mark, digits)) return Translate(c, jetSql);
    return st;
}

// A statement of the text from the connection's pool, with its integers bound; `key` is where it goes back.
Stmt PooledQuery(Connection& c, const std::string& sql, std::string& key) {
    std::vector<long long> values;
    key = WithIntegerParameters(sql, values);
    Stmt s = c.TakeQuery(key);
    for (std::size_t k = 0; k < values.size(); ++k)
        sqlite3_bind_int64(s.get(), static_cast<int>(k) + 1, values[k]);
    return s;
}

// The typed output columns of the saved queries a statement reads, after its own: a column that passes
// through a query keeps the type its expression has there.
void AddSavedQueryTypes(Connection& c, JetStatement& st) {
    for (const std::string& source : st.sources) {
        const QueryState* q = c.catalog.FindQuery(source);
        if (!q) continue;
        try {
            JetStatement inner = Translate(c, q->sql);
            if (inner.kind == JetStatement::Kind::Crosstab && inner.crosstab.valueType) {
                if (!inner.parameters.empty()) continue;
                ResolveCrosstab(c, inner);
            }
            AddSavedQueryTypes(c, inner);
            st.columnTypes.insert(st.columnTypes.end(), inner.columnTypes.begin(), inner.columnTypes.end());
        } catch (const Error&) {
        }
    }
}

std::string WithoutHiddenColumns(Connection& c, const std::vector<std::string>& sources,
                                 const std::string& sql) {
    std::string shadows;
    for (const std::string& name : sources) {
        const TableState* t = c.catalog.FindTable(name);
        if (!t || t->hidden.empty() || t->IsAttached()) continue;
        std::string cols;
        for (const FieldDef& f : t->fields)
            cols += (cols.empty() ? "" : ", ") + QuoteName(f.name);
        if (!shadows.empty()) shadows += ", ";
        shadows += QuoteName(t->name) + " AS (SELECT " + cols + " FROM main." + QuoteName(t->name) + ")";
    }
    if (shadows.empty()) return sql;
    std::string_view body = TrimSql(sql);
    if (!StartsWithWord(body, "WITH")) return "WITH " + shadows + " " + std::string(body);
    body.remove_prefix(4);
    body = TrimSql(body);
    std::string head = "WITH ";
    if (StartsWithWord(body, "RECURSIVE")) {
        head += "RECURSIVE ";
        body = TrimSql(body.substr(9));
    }
    return head + shadows + ", " + std::string(body);
}

} // namespace ledrana::dao::detail
