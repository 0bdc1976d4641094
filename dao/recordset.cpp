// Recordsets: table-type walks by rowid in chunks, dynasets over a running SELECT, the edit buffer and
// its validation, grouped writes.

#include "dao/internal.h"
#include "dao/jetsql.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>

namespace ledrana::dao {

using namespace detail;

namespace detail {

namespace {

constexpr int kChunk = 256;

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

// True when an upper-cased word occurs in SQL text outside string literals and quoted names.
bool HasWordOutsideQuotes(std::string_view sql, std::string_view word) {
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '[' || c == '`') {
            quote = c == '[' ? ']' : c;
            continue;
        }
        if ((i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_')) &&
            StartsWithWord(sql.substr(i), word))
            return true;
    }
    return false;
}

int TypeOfStorage(int storageClass) {
    switch (storageClass) {
    case SQLITE_INTEGER:
        return dbLong;
    case SQLITE_FLOAT:
        return dbDouble;
    case SQLITE_BLOB:
        return dbLongBinary;
    default:
        return dbText;
    }
}

// The Field objects of the columns are made when first asked for (RecordsetField).
void MakeFieldObjects(const std::shared_ptr<RecordsetImpl>& rs) {
    rs->fieldObjs.assign(rs->cols.size(), nullptr);
}

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

} // namespace

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

std::shared_ptr<FieldImpl> RecordsetField(const std::shared_ptr<RecordsetImpl>& rs, std::size_t i) {
    std::shared_ptr<FieldImpl>& f = rs->fieldObjs[i];
    if (!f) {
        f = std::make_shared<FieldImpl>();
        f->mode = FieldImpl::Mode::Recordset;
        f->rsWeak = rs;
        f->rsRaw = rs.get();
        f->column = static_cast<int>(i);
        f->appended = true;
        f->def.name = rs->cols[i].def.name;
    }
    return f;
}

void DatabaseImpl::AddRecordset(const std::shared_ptr<RecordsetImpl>& rs) {
    // Recordsets closed or gone leave the list now and then, so that a walk opening one recordset per row
    // does not keep them all.
    if (recordsets.size() >= pruneAt) {
        recordsets.erase(std::remove_if(recordsets.begin(), recordsets.end(),
                                        [](const std::weak_ptr<RecordsetImpl>& w) {
                                            auto r = w.lock();
                                            return !r || !r->open;
                                        }),
                         recordsets.end());
        pruneAt = std::max<std::size_t>(64, 2 * recordsets.size());
    }
    recordsets.push_back(rs);
}

std::uint64_t* Connection::TableGeneration(std::string_view table) {
    return &tableGenerations[Upper(table)];
}

std::shared_ptr<RecordsetImpl> OpenRecordsetImpl(const std::shared_ptr<DatabaseImpl>& db,
                                                 std::string_view source, int type) {
    Connection& c = db->C();
    std::string_view name = TrimSql(source);
    if (TableState* t = c.catalog.FindTable(name)) {
        if (type == dbOpenDynaset || type == dbOpenSnapshot || type == dbOpenForwardOnly) {
            return OpenQueryRecordset(db, "", "SELECT * FROM " + QuoteName(t->name));
        }
        auto rs = std::make_shared<RecordsetImpl>();
        rs->db = db;
        rs->source = std::string(source);
        rs->type = t->IsAttached() ? dbOpenDynaset : dbOpenTable;
        rs->baseTable = t->name;
        rs->dataName = c.DataName(*t);
        t = c.catalog.FindTable(name);
        rs->updatable = !t->IsSystem() && !c.readOnly;
        rs->selectCols = "rowid";
        for (std::size_t i = 0; i < t->fields.size(); ++i) {
            RsColumn col;
            col.def = t->fields[i];
            col.baseField = static_cast<int>(i);
            col.sourceTable = t->name;
            col.sourceField = t->fields[i].name;
            if (col.def.IsCounter()) rs->counterCol = static_cast<int>(i);
            rs->cols.push_back(std::move(col));
            rs->selectCols += ", " + QuoteName(t->fields[i].name);
        }
        rs->tableGeneration = c.TableGeneration(t->name);
        MakeFieldObjects(rs);
        db->AddRecordset(rs);
        rs->Start();
        return rs;
    }
    if (QueryState* q = c.catalog.FindQuery(name)) {
        std::string qname = q->name, sql = q->sql;
        return OpenQueryRecordset(db, qname, sql);
    }
    if (name.find(' ') == std::string_view::npos && name.find('\n') == std::string_view::npos &&
        !name.empty() && !StartsWithWord(name, "SELECT") && !StartsWithWord(name, "TRANSFORM")) {
        ThrowJet(3078, name);
    }
    return OpenQueryRecordset(db, "", source);
}

std::shared_ptr<RecordsetImpl> OpenQueryRecordset(const std::shared_ptr<DatabaseImpl>& db,
                                                  std::string_view name, std::string_view jetSql,
                                                  const std::vector<Variant>* values) {
    Connection& c = db->C();
    JetStatement st = TranslateQuery(c, jetSql);
    CheckParameters(st, values);
    if (st.kind == JetStatement::Kind::Crosstab) {
        ResolveCrosstab(c, st);
    }
    if (st.kind != JetStatement::Kind::Select) ThrowJet(3219);
    auto rs = std::make_shared<RecordsetImpl>();
    rs->db = db;
    rs->source = name.empty() ? std::string(jetSql) : std::string(name);
    rs->type = dbOpenDynaset;
    rs->sql = st.sql;

    // Updatable when it reads the rows of one table: then the rowid comes along as column 0.
    std::string_view body = TrimSql(st.sql);
    // A query with parameters gets a statement of its own, its values bound.
    if (!st.parameters.empty()) {
        rs->query = c.PrepareJet(st.sql);
        BindParameters(c, rs->query.get(), st, values);
    }
    bool candidate = !rs->query && st.updatable && StartsWithWord(body, "SELECT") &&
                     !HasWordOutsideQuotes(body, "DISTINCT") && !HasWordOutsideQuotes(body, "GROUP") &&
                     !HasWordOutsideQuotes(body, "UNION") && !HasWordOutsideQuotes(body, "JOIN") &&
                     !c.readOnly;
    if (candidate) {
        std::string keyed = "SELECT _rowid_ AS \"__rowid\", " + std::string(body.substr(6));
        sqlite3_stmt* raw = nullptr;
        // Created on demand by PrepareJet for views; a plain prepare tells whether the rowid is there.
        try {
            std::string key;
            Stmt probe = PooledQuery(c, keyed, key);
            raw = probe.get();
            const char* table0 = sqlite3_column_table_name(raw, 0);
            std::string table;
            bool ok = table0 != nullptr;
            if (ok) table = table0;
            int n = sqlite3_column_count(raw);
            for (int i = 1; ok && i < n; ++i) {
                const char* t = sqlite3_column_table_name(raw, i);
                if (!t || table != t) ok = false;
            }
            const char* db0 = sqlite3_column_database_name(raw, 0);
            TableState* base = ok ? c.catalog.FindTable(table) : nullptr;
            if (ok && base && !base->IsSystem() && db0 && std::string(db0) == "main" && !base->IsAttached()) {
                rs->hasRowid = true;
                rs->updatable = true;
                rs->baseTable = base->name;
                rs->dataName = QuoteName(base->name);
                rs->query = std::move(probe);
                rs->pooledSql = key;
            } else {
                c.GiveBackQuery(key, std::move(probe));
            }
        } catch (const Error&) {
        }
    }
    if (!rs->query) {
        rs->sql = WithoutHiddenColumns(c, st.sources, st.sql);
        rs->query = PooledQuery(c, rs->sql, rs->pooledSql);
    }
    sqlite3_stmt* q = rs->query.get();
    int off = rs->hasRowid ? 1 : 0;
    int n = sqlite3_column_count(q);
    const TableState* base = rs->updatable ? c.catalog.FindTable(rs->baseTable) : nullptr;
    // The columns mostly come from one table, and those of "SELECT *" in the table's order: the look-ups
    // try the previous table and the field at the column's position first.
    std::string lastTable;
    const TableState* lastOrigin = nullptr;
    bool queryTypesRead = false;
    for (int i = off; i < n; ++i) {
        RsColumn col;
        col.def.name = sqlite3_column_name(q, i) ? sqlite3_column_name(q, i) : "";
        const char* ot = sqlite3_column_table_name(q, i);
        const char* oc = sqlite3_column_origin_name(q, i);
        const TableState* origin = nullptr;
        if (ot) {
            if (!lastOrigin || lastTable != ot) {
                lastTable = ot;
                lastOrigin = c.catalog.FindTable(ot);
            }
            origin = lastOrigin;
        }
        col.at = i;
        // The values of a deleted field, still in the rows until compaction, are not the recordset's.
        if (origin && oc && !origin->hidden.empty() &&
            std::any_of(origin->hidden.begin(), origin->hidden.end(),
                        [&](const std::string& h) { return SameName(h, oc); }))
            continue;
        const FieldDef* f = nullptr;
        if (origin && oc) {
            const auto at = static_cast<std::size_t>(i - off);
            f = at < origin->fields.size() && origin->fields[at].name == oc ? &origin->fields[at]
                                                                            : origin->FindField(oc);
        }
        if (f) {
            std::string shown = col.def.name;
            col.def = *f;
            col.def.name = shown;
            col.sourceTable = origin->name;
            col.sourceField = f->name;
            if (base && origin == base) col.baseField = static_cast<int>(f - base->fields.data());
        } else {
            col.typed = false;
            col.def.type = dbText;
            col.def.size = 255;
            if (!queryTypesRead) {
                queryTypesRead = true;
                AddSavedQueryTypes(c, st);
            }
            for (const auto& [typedName, type] : st.columnTypes)
                if (SameName(typedName, col.def.name)) {
                    col.typed = true;
                    col.def.type = type;
                    col.def.size = DefaultSize(type);
                    break;
                }
        }
        if (col.baseField >= 0 && base && base->fields[static_cast<std::size_t>(col.baseField)].IsCounter())
            rs->counterCol = static_cast<int>(rs->cols.size());
        rs->cols.push_back(std::move(col));
    }
    if (base) rs->tableGeneration = c.TableGeneration(base->name);
    MakeFieldObjects(rs);
    db->AddRecordset(rs);
    rs->Start();
    // Columns that are expressions take the type of what they hold.
    if (!rs->eof)
        for (std::size_t i = 0; i < rs->cols.size(); ++i)
            if (!rs->cols[i].typed)
                rs->cols[i].def.type = TypeOfStorage(sqlite3_column_type(q, rs->cols[i].at));
    return rs;
}

// ---- Cursor -------------------------------------------------------------------------------------------

Connection& RecordsetImpl::C() {
    CheckOpen();
    return db->C();
}

void RecordsetImpl::CheckOpen() const {
    if (!open || !db || !db->open) ThrowJet(3420);
}

// The query's statement goes back to the connection for the next recordset of the same text.
void RecordsetImpl::GiveBackQuery() {
    undecoded.clear();
    if (query && !pooledSql.empty() && db && db->open && db->conn)
        db->conn->GiveBackQuery(pooledSql, std::move(query));
    query.reset();
}

void RecordsetImpl::WriteOwnHeld() {
    if (db && db->open && db->conn && db->conn->held.active && db->conn->held.owner == this)
        db->conn->WriteHeld();
}

RecordsetImpl::~RecordsetImpl() {
    try {
        WriteOwnHeld();
    } catch (...) {
    }
    if (open) GiveBackQuery();
    if (open && wrote && db && db->open && db->conn) {
        try {
            db->conn->Flush();
        } catch (...) {
        }
    }
}

bool RecordsetImpl::FetchAhead(std::int64_t after) {
    Connection& c = C();
    sqlite3_stmt* s = c.Prepare("SELECT " + selectCols + " FROM " + dataName +
                                " WHERE rowid > ? ORDER BY rowid LIMIT " + std::to_string(kChunk));
    sqlite3_bind_int64(s, 1, after);
    ahead.clear();
    aheadPos = 0;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        Ahead a;
        a.rowid = sqlite3_column_int64(s, 0);
        a.values.reserve(cols.size());
        for (std::size_t i = 0; i < cols.size(); ++i)
            a.values.push_back(FromColumn(s, static_cast<int>(i) + 1, &cols[i].def));
        ahead.push_back(std::move(a));
    }
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
    aheadExhausted = ahead.size() < static_cast<std::size_t>(kChunk);
    aheadGeneration = c.writeGeneration;
    aheadTableGeneration = tableGeneration ? *tableGeneration : 0;
    return !ahead.empty();
}

void RecordsetImpl::StepQuery() {
    Connection& c = C();
    if (queryDone) {
        eof = true;
        return;
    }
    // Saves held for another recordset's walk are written before this one reads further.
    if (c.held.active && c.held.owner != this) c.WriteHeld();
    sqlite3_stmt* q = query.get();
    int rc = sqlite3_step(q);
    if (rc == SQLITE_ROW) {
        if (hasRowid) rowid = sqlite3_column_int64(q, 0);
        // The values are read from the statement when they are first asked for: a walk often reads a few
        // fields of many rows. The statement keeps them until it steps again.
        row.resize(cols.size());
        undecoded.assign(cols.size(), 1);
        ++position;
        eof = false;
        bof = false;
        deleted = false;
        return;
    }
    if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
    queryDone = true;
    eof = true;
    ++position;
}

void RecordsetImpl::RestartQuery() {
    Connection& c = C();
    undecoded.clear();
    if (c.held.active) c.WriteHeld();
    sqlite3_reset(query.get());
    queryDone = false;
    position = -1;
}

void RecordsetImpl::Start() {
    editMode = 0;
    deleted = false;
    if (type == dbOpenTable || !query) {
        if (FetchAhead(std::numeric_limits<std::int64_t>::min())) {
            rowid = ahead[0].rowid;
            row = std::move(ahead[0].values);
            undecoded.clear();
            aheadPos = 1;
            bof = eof = false;
        } else {
            bof = eof = true;
        }
        return;
    }
    RestartQuery();
    StepQuery();
    if (eof) bof = true;
}

void RecordsetImpl::Move(int how) {
    Connection& c = C();
    editMode = 0;
    bool tableMode = !query;
    if (how == 0) {
        Start();
        return;
    }
    if (tableMode) {
        if (how == 1) {
            if (eof) ThrowJet(3021);
            bool stale = aheadGeneration != c.writeGeneration ||
                         (tableGeneration && aheadTableGeneration != *tableGeneration);
            if (stale || aheadPos >= ahead.size()) {
                if (stale || !aheadExhausted)
                    FetchAhead(bof ? std::numeric_limits<std::int64_t>::min() : rowid);
            }
            if (aheadPos < ahead.size()) {
                rowid = ahead[aheadPos].rowid;
                row = std::move(ahead[aheadPos].values);
                undecoded.clear();
                ++aheadPos;
                bof = eof = false;
            } else {
                eof = true;
                bof = false;
            }
            deleted = false;
            return;
        }
        std::string order =
            how == 2 ? " WHERE rowid < ? ORDER BY rowid DESC LIMIT 1" : " ORDER BY rowid DESC LIMIT 1";
        if (how == 2 && bof) ThrowJet(3021);
        sqlite3_stmt* s = c.Prepare("SELECT " + selectCols + " FROM " + dataName + order);
        if (how == 2) sqlite3_bind_int64(s, 1, eof ? std::numeric_limits<std::int64_t>::max() : rowid);
        int rc = sqlite3_step(s);
        ahead.clear();
        aheadPos = 0;
        aheadExhausted = false;
        if (rc == SQLITE_ROW) {
            rowid = sqlite3_column_int64(s, 0);
            row.resize(cols.size());
            undecoded.clear();
            for (std::size_t i = 0; i < cols.size(); ++i)
                row[i] = FromColumn(s, static_cast<int>(i) + 1, &cols[i].def);
            bof = eof = false;
        } else {
            if (how == 2) {
                bof = true;
                eof = false;
            } else {
                bof = eof = true;
            }
        }
        sqlite3_reset(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
        deleted = false;
        return;
    }
    // Dynaset.
    if (how == 1) {
        if (eof) ThrowJet(3021);
        if (bof && position < 0) {
            RestartQuery();
        }
        StepQuery();
        return;
    }
    if (how == 2) {
        if (bof) ThrowJet(3021);
        std::int64_t target = position - 1;
        RestartQuery();
        if (target < 0) {
            bof = true;
            eof = false;
            return;
        }
        for (std::int64_t i = 0; i <= target && !eof; ++i)
            StepQuery();
        return;
    }
    // Last.
    if (eof && position >= 0 && queryDone && !row.empty() && position > 0) {
        // Already at the end: step back onto the last row.
    }
    RestartQuery();
    StepQuery();
    if (eof) {
        bof = true;
        return;
    }
    DecodeAll();
    std::vector<Variant> last = row;
    std::int64_t lastRowid = rowid, lastPos = position;
    while (true) {
        StepQuery();
        if (eof) break;
        DecodeAll();
        last = row;
        lastRowid = rowid;
        lastPos = position;
    }
    row = std::move(last);
    rowid = lastRowid;
    position = lastPos;
    eof = bof = false;
    deleted = false;
}

// ---- Values and editing -------------------------------------------------------------------------------

const TableState& RecordsetImpl::Base() {
    Connection& c = C();
    // The catalog's tables move only with a new generation or a new sort order, which the name tells.
    if (baseCached && baseGeneration == c.catalogGeneration && baseCached->name == baseTable)
        return *baseCached;
    const TableState* t = c.catalog.FindTable(baseTable);
    if (!t) ThrowJet(3420);
    baseCached = t;
    baseGeneration = c.catalogGeneration;
    return *t;
}

void RecordsetImpl::Decode(std::size_t i) {
    if (undecoded.empty() || !undecoded[i]) return;
    sqlite3_stmt* q = query.get();
    const int at = cols[i].at;
    row[i] = cols[i].typed ? FromColumn(q, at, &cols[i].def) : FromColumnRaw(q, at);
    undecoded[i] = 0;
}

void RecordsetImpl::DecodeAll() {
    for (std::size_t i = 0; i < undecoded.size(); ++i)
        Decode(i);
    undecoded.clear();
}

const Variant& RecordsetImpl::Current(std::size_t i) {
    // An edited row holds in its buffer only the values set; the others are the row's.
    if (editMode == 2 || (editMode == 1 && dirty[i])) return buffer[i];
    Decode(i);
    return row[i];
}

Variant RecordsetImpl::Get(int column) {
    CheckOpen();
    if (!editMode) {
        if (eof || bof) ThrowJet(3021);
        if (deleted) ThrowJet(3167);
    }
    return Current(static_cast<std::size_t>(column));
}

void RecordsetImpl::LoadDefaults() {
    if (defaults.size() == cols.size()) return;
    defaults.assign(cols.size(), std::nullopt);
    Connection& c = C();
    for (std::size_t i = 0; i < cols.size(); ++i) {
        std::string expr = cols[i].def.defaultValue;
        if (expr.empty() || cols[i].baseField < 0) continue;
        if (expr[0] == '=') expr.erase(0, 1);
        try {
            JetStatement st = TranslateJetSql("SELECT " + expr);
            Stmt s = c.PrepareJet(st.sql);
            if (sqlite3_step(s.get()) == SQLITE_ROW)
                defaults[i] = ToStorage(FromColumnRaw(s.get(), 0), cols[i].def);
        } catch (const Error&) {
        }
    }
}

void RecordsetImpl::Set(int column, const Variant& v) {
    CheckOpen();
    if (!updatable) ThrowJet(3027);
    if (!editMode) ThrowJet(3020);
    auto i = static_cast<std::size_t>(column);
    const RsColumn& col = cols[i];
    if (col.baseField < 0) ThrowJet(3113, col.def.name);
    if (static_cast<int>(i) == counterCol && editMode == 1) ThrowJet(3113, col.def.name);
    try {
        buffer[i] = ToStorage(v, col.def);
        overflow[i] = 0;
    } catch (const Error& e) {
        if (e.number() != 3349) throw;
        buffer[i] = v;
        overflow[i] = 1;
    }
    dirty[i] = 1;
}

void RecordsetImpl::Update() {
    Connection& c = C();
    if (!editMode) ThrowJet(3020);
    // An edited row whose values were not changed has nothing to save.
    if (editMode == 1 && std::find(dirty.begin(), dirty.end(), 1) == dirty.end()) {
        editMode = 0;
        return;
    }
    const TableState& t = Base();
    // Validation, as Jet does it when a record is saved.
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].baseField < 0) continue;
        if (editMode == 1 && !dirty[i]) continue;
        if (overflow[i]) ThrowJet(3349);
        const FieldDef& f = t.fields[static_cast<std::size_t>(cols[i].baseField)];
        const Variant& v = buffer[i];
        if (v.IsNull()) {
            if (f.required) ThrowJet(3314, f.name);
        } else if ((f.type == dbText || f.type == dbMemo) && !f.allowZeroLength &&
                   v.kind() == Variant::Kind::String && v.RawString().empty()) {
            ThrowJet(3315, f.name);
        }
    }
    // A key field may not be left Null by a new row or by a change of it; a row already stored with a Null
    // key (older archives have some) can still be edited in its other fields.
    for (const auto& ix : t.indexes) {
        if (!ix.primary && !ix.required) continue;
        for (const auto& name : ix.fields) {
            const int fi = t.FieldIndex(name);
            bool shown = false;
            for (std::size_t i = 0; i < cols.size(); ++i) {
                if (cols[i].baseField != fi) continue;
                shown = true;
                if ((editMode == 2 || dirty[i]) && Current(i).IsNull()) ThrowJet(3058);
            }
            const FieldDef& f = t.fields[static_cast<std::size_t>(fi)];
            if (!shown && editMode == 2 && !f.IsCounter() && f.defaultValue.empty()) ThrowJet(3058);
        }
    }
    if (HasValidationRules(t))
        CheckValidationRules(c, t, [&](std::size_t field) {
            for (std::size_t i = 0; i < cols.size(); ++i)
                if (cols[i].baseField == static_cast<int>(field)) return Variant(Current(i));
            return Variant::Null();
        });
    // A save that would change what a waiting computation gives stores the table's values first.
    std::vector<std::string> written;
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (editMode == 1 && dirty[i] && cols[i].baseField >= 0)
            written.push_back(t.fields[static_cast<std::size_t>(cols[i].baseField)].name);
    if (WriteNeedsStoredValues(c, t.name, written, editMode == 2)) {
        const std::string table = t.name;
        c.Ddl([&] { WriteDeferred(c, table); });
    }
    c.BeginWrite();
    if (editMode == 2) {
        std::string sql = "INSERT INTO " + dataName + " (";
        std::string marks;
        bool first = true;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (cols[i].baseField < 0) continue;
            if (!first) {
                sql += ", ";
                marks += ", ";
            }
            first = false;
            sql += QuoteName(t.fields[static_cast<std::size_t>(cols[i].baseField)].name);
            marks += "?";
        }
        sql += ") VALUES (" + marks + ")";
        sqlite3_stmt* s = c.Prepare(sql);
        int k = 1;
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].baseField >= 0) BindVariant(s, k++, buffer[i]);
        int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc, t.name);
        if (counterCol >= 0 && !buffer[static_cast<std::size_t>(counterCol)].IsNull())
            c.NoteCounterValue(t, buffer[static_cast<std::size_t>(counterCol)].ToDouble());
        if (count) ++*count;
        aheadExhausted = false;
    } else {
        std::string mask(dirty.begin(), dirty.end());
        for (char& ch : mask)
            ch = ch ? '1' : '0';
        if (mask.find('1') != std::string::npos) {
            auto it = updateSql.find(mask);
            if (it == updateSql.end()) {
                std::string sql = "UPDATE " + dataName + " SET ";
                bool first = true;
                for (std::size_t i = 0; i < cols.size(); ++i) {
                    if (!dirty[i]) continue;
                    if (!first) sql += ", ";
                    first = false;
                    sql += QuoteName(t.fields[static_cast<std::size_t>(cols[i].baseField)].name) + " = ?";
                }
                UpdateTexts texts{sql + " WHERE rowid = ?", sql + " WHERE rowid BETWEEN ? AND ?",
                                  sql + " WHERE rowid IN (SELECT value FROM json_each(?))"};
                it = updateSql.emplace(mask, std::move(texts)).first;
            }
            if (MayHoldSave(t)) {
                std::vector<Variant> values;
                for (std::size_t i = 0; i < cols.size(); ++i)
                    if (dirty[i]) values.push_back(buffer[i]);
                c.HoldSave(this, it->second.range, it->second.list, t.name, std::move(values), rowid);
            } else {
                sqlite3_stmt* s = c.Prepare(it->second.oneRow);
                int k = 1;
                for (std::size_t i = 0; i < cols.size(); ++i)
                    if (dirty[i]) BindVariant(s, k++, buffer[i]);
                sqlite3_bind_int64(s, k, rowid);
                int rc = sqlite3_step(s);
                sqlite3_reset(s);
                if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc, t.name);
            }
            for (std::size_t i = 0; i < cols.size(); ++i)
                if (dirty[i]) {
                    row[i] = buffer[i];
                    if (!undecoded.empty()) undecoded[i] = 0;
                }
        } else {
            editMode = 0;
            return;
        }
    }
    editMode = 0;
    wrote = true;
    // Our own write leaves the rows fetched ahead valid.
    bool fresh = tableGeneration && aheadTableGeneration == *tableGeneration;
    if (tableGeneration) ++*tableGeneration;
    if (fresh) aheadTableGeneration = *tableGeneration;
    c.AfterWrite(1);
}

namespace {
// Held saves are written once this many rowids wait in lists, or this many different saves.
constexpr std::size_t kHeldRowids = 16384;
constexpr std::size_t kHeldGroups = 512;
} // namespace

void Connection::HoldSave(const void* owner, const std::string& range, const std::string& list,
                          const std::string& table, std::vector<Variant> values, std::int64_t rowid) {
    if (held.active && (held.owner != owner || rowid <= held.lastRowid || held.listed >= kHeldRowids))
        WriteHeld();
    if (!held.active) {
        held.owner = owner;
        held.table = table;
        held.groups.clear();
        held.byText.clear();
        held.listed = 0;
        held.active = true;
    }
    held.lastRowid = rowid;
    std::vector<std::size_t>& candidates = held.byText[range];
    for (std::size_t at : candidates) {
        HeldSaves::Group& g = held.groups[at];
        bool same = true;
        for (std::size_t i = 0; same && i < values.size(); ++i)
            same = SameStoredValue(g.values[i], values[i]);
        if (!same) continue;
        if (g.rowids.empty() && rowid == g.last + 1) {
            g.last = rowid;
            return;
        }
        if (g.rowids.empty()) {
            // The rows of this save are no longer consecutive: from now on they are listed.
            for (std::int64_t r = g.first; r <= g.last; ++r)
                g.rowids.push_back(r);
            held.listed += g.rowids.size();
        }
        g.rowids.push_back(rowid);
        ++held.listed;
        return;
    }
    if (held.groups.size() >= kHeldGroups) {
        WriteHeld();
        HoldSave(owner, range, list, table, std::move(values), rowid);
        return;
    }
    candidates.push_back(held.groups.size());
    HeldSaves::Group g;
    g.range = range;
    g.list = list;
    g.values = std::move(values);
    g.first = g.last = rowid;
    held.groups.push_back(std::move(g));
}

void Connection::WriteHeld() {
    if (!held.active) return;
    held.active = false;
    std::vector<HeldSaves::Group> groups = std::move(held.groups);
    held.groups.clear();
    held.byText.clear();
    held.listed = 0;
    // Every save is written even when one of them fails (unless the transaction is gone); the first
    // failure is reported after.
    std::optional<Error> failure;
    std::string ids;
    for (const HeldSaves::Group& g : groups) {
        try {
            sqlite3_stmt* s = Prepare(g.rowids.empty() ? g.range : g.list);
            int k = 1;
            for (const Variant& v : g.values)
                BindVariant(s, k++, v);
            if (g.rowids.empty()) {
                sqlite3_bind_int64(s, k++, g.first);
                sqlite3_bind_int64(s, k, g.last);
            } else {
                ids.assign(1, '[');
                for (std::size_t i = 0; i < g.rowids.size(); ++i) {
                    if (i) ids += ',';
                    ids += std::to_string(g.rowids[i]);
                }
                ids += ']';
                sqlite3_bind_text(s, k, ids.data(), static_cast<int>(ids.size()), SQLITE_STATIC);
            }
            int rc = sqlite3_step(s);
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
            if (rc != SQLITE_DONE) ThrowSqlite(handle(), rc, held.table);
        } catch (const Error& e) {
            if (!failure) failure = e;
            // A transaction that SQLite gave up takes no more writes: they would not be a prefix.
            if (sqlite3_get_autocommit(handle()) && (batchOpen || userDepth > 0)) break;
        }
    }
    if (failure) throw *failure;
}

// A save may wait to be written with the next ones when the walk reads the table's rows in rowid order,
// each once (then no row read later lies among those held), and when the save cannot fail on a unique
// index or on the numbering of a counter.
bool RecordsetImpl::MayHoldSave(const TableState& t) {
    if (!query || !hasRowid) return false;
    if (holdable < 0) {
        holdable = 0;
        sqlite3_stmt* raw = nullptr;
        const std::string plan = std::string("EXPLAIN QUERY PLAN ") + sqlite3_sql(query.get());
        const int rc = sqlite3_prepare_v2(C().handle(), plan.c_str(), -1, &raw, nullptr);
        Stmt s(raw);
        if (rc == SQLITE_OK) {
            int steps = 0;
            std::string detail;
            while (sqlite3_step(raw) == SQLITE_ROW && ++steps == 1)
                if (const unsigned char* d = sqlite3_column_text(raw, 3))
                    detail = reinterpret_cast<const char*>(d);
            holdable = steps == 1 && SameName(detail, "SCAN " + t.name) ? 1 : 0;
        }
    }
    if (!holdable) return false;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (!dirty[i]) continue;
        const FieldDef& f = t.fields[static_cast<std::size_t>(cols[i].baseField)];
        if (f.IsCounter()) return false;
        for (const auto& ix : t.indexes) {
            if (!ix.unique && !ix.primary) continue;
            for (const auto& name : ix.fields)
                if (SameName(name, f.name)) return false;
        }
    }
    return true;
}

void RecordsetImpl::Delete() {
    Connection& c = C();
    if (!updatable) ThrowJet(3027);
    if (eof || bof) ThrowJet(3021);
    if (deleted) ThrowJet(3167);
    editMode = 0;
    c.BeginWrite();
    sqlite3_stmt* s = c.Prepare("DELETE FROM " + dataName + " WHERE rowid = ?");
    sqlite3_bind_int64(s, 1, rowid);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc, baseTable);
    deleted = true;
    wrote = true;
    if (count) --*count;
    bool fresh = tableGeneration && aheadTableGeneration == *tableGeneration;
    if (tableGeneration) ++*tableGeneration;
    if (fresh) aheadTableGeneration = *tableGeneration;
    c.AfterWrite(1);
}

void RecordsetImpl::Close() {
    if (!open) ThrowJet(3420);
    editMode = 0;
    WriteOwnHeld();
    GiveBackQuery();
    open = false;
    ahead.clear();
    if (wrote && db && db->open && db->conn) db->conn->Flush();
}

} // namespace detail

// ---- Recordset handle ---------------------------------------------------------------------------------

namespace {
RecordsetImpl& R(const std::shared_ptr<RecordsetImpl>& p) {
    if (!p) throw VbError(91);
    p->CheckOpen();
    return *p;
}
} // namespace

bool Recordset::Eof() const {
    return R(impl_).eof;
}
bool Recordset::Bof() const {
    return R(impl_).bof;
}
void Recordset::MoveNext() {
    R(impl_).Move(1);
}
void Recordset::MovePrevious() {
    R(impl_).Move(2);
}
void Recordset::MoveFirst() {
    R(impl_).Move(0);
}
void Recordset::MoveLast() {
    R(impl_).Move(3);
}

std::int64_t Recordset::RecordCount() const {
    RecordsetImpl& r = R(impl_);
    Connection& c = r.C();
    if (!r.query) {
        std::uint64_t gen = c.writeGeneration * 1000003ULL + (r.tableGeneration ? *r.tableGeneration : 0);
        if (!r.count || r.countGeneration != gen) {
            sqlite3_stmt* s = c.Prepare("SELECT count(*) FROM " + r.dataName);
            std::int64_t n = 0;
            if (sqlite3_step(s) == SQLITE_ROW) n = sqlite3_column_int64(s, 0);
            sqlite3_reset(s);
            r.count = n;
            r.countGeneration = gen;
        }
        return *r.count;
    }
    if (!r.count) {
        Stmt s = c.PrepareJet("SELECT count(*) FROM (" + r.sql + ")");
        std::int64_t n = 0;
        if (sqlite3_step(s.get()) == SQLITE_ROW) n = sqlite3_column_int64(s.get(), 0);
        r.count = n;
    }
    return *r.count;
}

void Recordset::AddNew() {
    RecordsetImpl& r = R(impl_);
    Connection& c = r.C();
    if (!r.updatable) ThrowJet(3027);
    if (r.editMode) ThrowJet(3023);
    c.EnsureWritable();
    r.LoadDefaults();
    r.buffer.assign(r.cols.size(), Variant::Null());
    r.dirty.assign(r.cols.size(), 0);
    r.overflow.assign(r.cols.size(), 0);
    for (std::size_t i = 0; i < r.cols.size(); ++i)
        if (r.defaults[i]) r.buffer[i] = *r.defaults[i];
    if (r.counterCol >= 0) {
        const TableState& t = r.Base();
        const FieldDef& f =
            t.fields[static_cast<std::size_t>(r.cols[static_cast<std::size_t>(r.counterCol)].baseField)];
        r.buffer[static_cast<std::size_t>(r.counterCol)] =
            Variant::FromLong(static_cast<std::int32_t>(c.NextCounter(t, f)));
    }
    r.editMode = 2;
}

void Recordset::Edit() {
    RecordsetImpl& r = R(impl_);
    if (!r.updatable) ThrowJet(3027);
    if (r.editMode) ThrowJet(3023);
    if (r.eof || r.bof) ThrowJet(3021);
    if (r.deleted) ThrowJet(3167);
    // The buffer receives only the values that are set (Get reads the others from the row).
    r.buffer.resize(r.cols.size());
    r.dirty.assign(r.cols.size(), 0);
    r.overflow.assign(r.cols.size(), 0);
    r.editMode = 1;
}

void Recordset::Update() {
    R(impl_).Update();
}

void Recordset::CancelUpdate() {
    RecordsetImpl& r = R(impl_);
    if (!r.editMode) ThrowJet(3020);
    r.editMode = 0;
}

void Recordset::Delete() {
    R(impl_).Delete();
}
int Recordset::EditMode() const {
    return R(impl_).editMode;
}
bool Recordset::Updatable() const {
    return R(impl_).updatable;
}
std::string Recordset::Name() const {
    return R(impl_).source;
}
int Recordset::Type() const {
    return R(impl_).type;
}

dao::Fields Recordset::Fields() const {
    R(impl_);
    return FieldsOf(impl_);
}

void Recordset::Close() {
    if (!impl_) throw VbError(91);
    impl_->Close();
}

} // namespace ledrana::dao
