// Column renames and added columns written straight into SQLite's schema text.
//
// ALTER TABLE ... RENAME COLUMN reads, rewrites and checks every statement of the schema several times for
// each column it renames, and the comparison renames a column for each field it changes, deletes or
// completes: on an archive of a hundred tables that was most of a structure change's time. Here the texts
// of the one table and of its indexes are rewritten together, every rename of a change at once, and SQLite
// reads the schema back once. A text this engine did not write (table constraints, partial indexes, views
// or triggers that could name the columns) goes the ALTER TABLE way, as does any edit that SQLite does not
// read back cleanly: the edit is then undone whole.

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"

#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ledrana::dao::detail {

namespace {

struct Token {
    enum class Kind { Space, Word, Quoted, String, Punct } kind;
    std::size_t begin, end;
    int depth; // parentheses open before it
};

bool WordChar(unsigned char ch) {
    return std::isalnum(ch) || ch == '_' || ch == '$' || ch >= 0x80;
}

// SQLite's tokens, enough to tell names, strings and parentheses apart. Empty when the text has something
// unterminated or a comment.
std::vector<Token> Tokens(const std::string& sql) {
    std::vector<Token> out;
    int depth = 0;
    for (std::size_t i = 0; i < sql.size();) {
        const unsigned char ch = static_cast<unsigned char>(sql[i]);
        const std::size_t start = i;
        Token::Kind kind = Token::Kind::Punct;
        if (std::isspace(ch)) {
            while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
                ++i;
            kind = Token::Kind::Space;
        } else if (ch == '\'' || ch == '"' || ch == '`' || ch == '[') {
            const char close = ch == '[' ? ']' : static_cast<char>(ch);
            for (++i;; ++i) {
                if (i >= sql.size()) return {};
                if (sql[i] != close) continue;
                if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            kind = ch == '\'' ? Token::Kind::String : Token::Kind::Quoted;
        } else if (WordChar(ch)) {
            while (i < sql.size() && WordChar(static_cast<unsigned char>(sql[i])))
                ++i;
            kind = Token::Kind::Word;
        } else if ((ch == '-' && i + 1 < sql.size() && sql[i + 1] == '-') ||
                   (ch == '/' && i + 1 < sql.size() && sql[i + 1] == '*')) {
            return {};
        } else {
            ++i;
            if (ch == ')' && --depth < 0) return {};
        }
        out.push_back({kind, start, i, depth});
        if (ch == '(' && kind == Token::Kind::Punct) ++depth;
    }
    if (depth != 0) return {};
    return out;
}

// The name a token spells: quotes taken off and doubled quotes made single.
std::string NameOf(const std::string& sql, const Token& t) {
    std::string_view text(sql.data() + t.begin, t.end - t.begin);
    if (t.kind != Token::Kind::Quoted) return std::string(text);
    const char close = text.front() == '[' ? ']' : text.front();
    std::string name;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        name += text[i];
        if (close != ']' && text[i] == close) ++i;
    }
    return name;
}

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
        return sqlite3_stricmp(a.c_str(), b.c_str()) < 0;
    }
};
using Renames = std::map<std::string, std::string, NoCase>;

bool Keyword(const std::string& word, const char* keyword) {
    return sqlite3_stricmp(word.c_str(), keyword) == 0;
}

// The table's CREATE TABLE text with the renames made and `added` appended to its columns; empty when the
// text is not the plain list of column definitions this engine writes.
std::string EditTableSql(const std::string& sql, const Renames& renames,
                         const std::vector<std::string>& added) {
    const std::vector<Token> tokens = Tokens(sql);
    if (tokens.empty()) return {};
    std::string out;
    std::size_t close = std::string::npos; // the parenthesis that ends the column list
    bool definitionStart = false;
    for (const Token& t : tokens) {
        const std::string text = sql.substr(t.begin, t.end - t.begin);
        if (t.kind == Token::Kind::Punct && t.depth == 0 && text == "(") definitionStart = true;
        if (t.kind == Token::Kind::Punct && t.depth == 1 && text == ",") definitionStart = true;
        if (t.kind == Token::Kind::Punct && t.depth == 0 && text == ")") {
            if (close != std::string::npos) return {};
            close = out.size();
        } else if (t.depth == 0 && close != std::string::npos && t.kind != Token::Kind::Space) {
            return {}; // WITHOUT ROWID, STRICT...
        }
        if (definitionStart && t.depth == 1 && t.kind != Token::Kind::Space && text != "(" && text != ",") {
            // The first token of a definition: a column's name, or the keyword of a table constraint.
            definitionStart = false;
            if (t.kind != Token::Kind::Word && t.kind != Token::Kind::Quoted) return {};
            const std::string name = NameOf(sql, t);
            for (const char* kw : {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"})
                if (t.kind == Token::Kind::Word && Keyword(name, kw)) return {};
            if (auto it = renames.find(name); it != renames.end()) {
                out += QuoteName(it->second);
                continue;
            }
        } else if (t.depth >= 1 && t.kind == Token::Kind::Quoted) {
            // Inside a definition a quoted name is a column that a computation reads.
            if (auto it = renames.find(NameOf(sql, t)); it != renames.end()) {
                out += QuoteName(it->second);
                continue;
            }
        } else if (t.depth >= 1 && t.kind == Token::Kind::Word && renames.count(NameOf(sql, t))) {
            return {}; // a bare word that may name a renamed column: SQLite tells
        }
        out += text;
    }
    if (close == std::string::npos) return {};
    std::string more;
    for (const std::string& column : added)
        more += ", " + column;
    out.insert(close, more);
    return out;
}

// An index's CREATE INDEX text with its columns renamed; empty when it is more than a list of columns.
std::string EditIndexSql(const std::string& sql, const Renames& renames) {
    const std::vector<Token> tokens = Tokens(sql);
    if (tokens.empty()) return {};
    std::string out;
    bool listSeen = false;
    for (const Token& t : tokens) {
        std::string text = sql.substr(t.begin, t.end - t.begin);
        if (t.depth == 0 && t.kind == Token::Kind::Punct && text == "(") {
            if (listSeen) return {};
            listSeen = true;
        } else if (t.depth == 0 && listSeen && t.kind != Token::Kind::Space && text != ")") {
            return {}; // WHERE ...
        }
        if (t.depth >= 1 && t.kind == Token::Kind::Quoted) {
            if (auto it = renames.find(NameOf(sql, t)); it != renames.end()) text = QuoteName(it->second);
        } else if (t.depth >= 1 && t.kind == Token::Kind::Word && renames.count(NameOf(sql, t))) {
            return {};
        }
        out += text;
    }
    return listSeen ? out : std::string();
}

} // namespace

std::optional<std::vector<ComputedColumn>> ComputedColumns(const std::string& sql) {
    const std::vector<Token> tokens = Tokens(sql);
    if (tokens.empty()) return std::nullopt;
    // Each definition of the column list: its name, whether SQLite computes it, the names it spells inside
    // parentheses.
    struct Definition {
        std::string name;
        bool computed = false;
        std::vector<std::string> quoted, words;
    };
    std::vector<Definition> defs;
    bool definitionStart = false;
    for (const Token& t : tokens) {
        const std::string text = sql.substr(t.begin, t.end - t.begin);
        if (t.kind == Token::Kind::Punct && (t.depth == 0 ? text == "(" : t.depth == 1 && text == ",")) {
            definitionStart = true;
            continue;
        }
        if (t.depth == 0 || t.kind == Token::Kind::Space) continue;
        if (definitionStart && t.depth == 1) {
            definitionStart = false;
            if (t.kind != Token::Kind::Word && t.kind != Token::Kind::Quoted) return std::nullopt;
            defs.push_back({NameOf(sql, t), false, {}, {}});
            continue;
        }
        if (defs.empty()) return std::nullopt;
        Definition& d = defs.back();
        if (t.depth == 1 && t.kind == Token::Kind::Word &&
            (Keyword(text, "GENERATED") || Keyword(text, "AS")))
            d.computed = true;
        else if (t.depth >= 2 && t.kind == Token::Kind::Quoted)
            d.quoted.push_back(NameOf(sql, t));
        else if (t.depth >= 2 && t.kind == Token::Kind::Word)
            d.words.push_back(text);
    }
    std::vector<ComputedColumn> out;
    for (const Definition& d : defs) {
        if (!d.computed) continue;
        ComputedColumn c{d.name, d.quoted};
        // A bare word reads a column when a column has its name (the others are SQL's words and functions).
        for (const std::string& w : d.words)
            for (const Definition& other : defs)
                if (Keyword(w, other.name.c_str())) c.reads.push_back(other.name);
        out.push_back(std::move(c));
    }
    return out;
}

namespace {

struct SchemaRow {
    std::string type, name, sql;
};

// Writes the rows' new texts and has SQLite read its schema again; false (nothing changed) when SQLite
// refuses the texts.
bool WriteSchemaRows(Connection& c, const std::vector<SchemaRow>& rows, const std::string& table) {
    c.Exec("SAVEPOINT column_edit");
    bool ok = sqlite3_exec(c.handle(), "PRAGMA writable_schema=ON", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (std::size_t i = 0; ok && i < rows.size(); ++i) {
        sqlite3_stmt* raw = nullptr;
        ok = sqlite3_prepare_v2(c.handle(), "UPDATE sqlite_schema SET sql = ?1 WHERE type = ?2 AND name = ?3",
                                -1, &raw, nullptr) == SQLITE_OK;
        Stmt s(raw);
        if (!ok) break;
        sqlite3_bind_text(raw, 1, rows[i].sql.data(), static_cast<int>(rows[i].sql.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(raw, 2, rows[i].type.data(), static_cast<int>(rows[i].type.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(raw, 3, rows[i].name.data(), static_cast<int>(rows[i].name.size()),
                          SQLITE_TRANSIENT);
        ok = sqlite3_step(raw) == SQLITE_DONE && sqlite3_changes(c.handle()) == 1;
    }
    if (ok) {
        // The schema's version number tells every connection, this one included, to read it again.
        sqlite3_stmt* raw = nullptr;
        std::int64_t version = -1;
        if (sqlite3_prepare_v2(c.handle(), "PRAGMA schema_version", -1, &raw, nullptr) == SQLITE_OK &&
            sqlite3_step(raw) == SQLITE_ROW)
            version = sqlite3_column_int64(raw, 0);
        sqlite3_finalize(raw);
        ok = version >= 0 &&
             sqlite3_exec(c.handle(), ("PRAGMA schema_version=" + std::to_string(version + 1)).c_str(),
                          nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_exec(c.handle(), "PRAGMA writable_schema=RESET", nullptr, nullptr, nullptr);
    if (ok) {
        // Read back: every column of the table, computed ones included, must resolve.
        sqlite3_stmt* raw = nullptr;
        ok = sqlite3_prepare_v2(c.handle(), ("SELECT * FROM " + QuoteName(table) + " LIMIT 0").c_str(), -1,
                                &raw, nullptr) == SQLITE_OK &&
             sqlite3_step(raw) == SQLITE_DONE;
        sqlite3_finalize(raw);
    }
    if (!ok) sqlite3_exec(c.handle(), "ROLLBACK TO column_edit", nullptr, nullptr, nullptr);
    c.Exec("RELEASE column_edit");
    return ok;
}

// The same changes made by ALTER TABLE, one column at a time, through names no column has.
void AlterColumns(Connection& c, const std::string& table, const Renames& renames,
                  const std::vector<std::string>& added) {
    const std::string T = QuoteName(table);
    std::vector<std::pair<std::string, std::string>> second;
    int n = 0;
    for (const auto& [from, to] : renames) {
        const std::string tmp = "~edit" + std::to_string(++n) + "~" + to;
        c.Exec("ALTER TABLE " + T + " RENAME COLUMN " + QuoteName(from) + " TO " + QuoteName(tmp));
        second.emplace_back(tmp, to);
    }
    for (const auto& [from, to] : second)
        c.Exec("ALTER TABLE " + T + " RENAME COLUMN " + QuoteName(from) + " TO " + QuoteName(to));
    for (const std::string& column : added)
        c.Exec("ALTER TABLE " + T + " ADD COLUMN " + column);
}

} // namespace

void EditColumns(Connection& c, const std::string& table,
                 const std::vector<std::pair<std::string, std::string>>& renames,
                 const std::vector<std::string>& added) {
    if (renames.empty() && added.empty()) return;
    Renames map;
    for (const auto& [from, to] : renames)
        map[from] = to;
    std::vector<SchemaRow> rows;
    bool plain = true;
    {
        sqlite3_stmt* s = c.Prepare("SELECT type, name, sql, tbl_name = ?1 COLLATE NOCASE FROM sqlite_schema "
                                    "WHERE sql IS NOT NULL AND type <> 'table' OR name = ?1 COLLATE NOCASE");
        sqlite3_bind_text(s, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        while (plain && sqlite3_step(s) == SQLITE_ROW) {
            SchemaRow row{reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                          reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                          reinterpret_cast<const char*>(sqlite3_column_text(s, 2))};
            const bool ofTable = sqlite3_column_int(s, 3) != 0;
            if (row.type == "table") {
                row.sql = EditTableSql(row.sql, map, added);
            } else if (row.type == "index" && !ofTable) {
                continue;
            } else if (row.type == "index") {
                if (map.empty()) continue;
                const std::string edited = EditIndexSql(row.sql, map);
                if (edited == row.sql) continue;
                row.sql = edited;
            } else {
                row.sql.clear(); // a view or a trigger
            }
            plain = !row.sql.empty();
            rows.push_back(std::move(row));
        }
        sqlite3_reset(s);
    }
    if (plain && !rows.empty() && WriteSchemaRows(c, rows, table)) return;
    AlterColumns(c, table, map, added);
}

} // namespace ledrana::dao::detail
