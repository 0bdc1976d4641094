// Execute: Jet SQL action statements, with the catalog's types, sizes, counters and validation applied,
// and the engine's own SQL functions.

#include "dao/internal.h"
#include "dao/jetsql.h"

#include <cstring>

namespace ledrana::dao::detail {

namespace {

// dao_ok(value, flags, fieldName, fail): 1 when the value may be stored in the field; otherwise 0 (the row is
// skipped) or, with fail set, the error 3314 (flags & 1: required, value Null) or 3315 (flags & 2: no
// zero-length text).
void DaoOk(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int flags = sqlite3_value_int(argv[1]);
    bool fail = sqlite3_value_int(argv[3]) != 0;
    const char* name = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
    int error = 0;
    if ((flags & 1) && sqlite3_value_type(argv[0]) == SQLITE_NULL) error = 3314;
    else if ((flags & 2) && sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_bytes(argv[0]) == 0)
        error = 3315;
    if (!error) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    if (!fail) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    std::string msg = std::to_string(error) + " " + JetErrorText(error, name ? name : "");
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

const TableState& TargetTable(Connection& c, const std::string& name) {
    TableState* t = c.catalog.FindTable(name);
    if (!t) ThrowJet(3078, name);
    if (t->IsSystem()) ThrowJet(3027);
    return *t;
}

std::string Cast(const FieldDef& f, const std::string& expr, bool fail, int fromType) {
    std::string out = std::string(fail ? "jet_cast_strict(" : "jet_cast(") + expr + ", " + std::to_string(f.type) +
                      ", " + std::to_string(f.type == dbText || f.type == dbBinary ? f.size : 0);
    if (fromType) out += ", " + std::to_string(fromType);
    return out + ")";
}

int Flags(const FieldDef& f) {
    int flags = f.required ? 1 : 0;
    if ((f.type == dbText || f.type == dbMemo) && !f.allowZeroLength) flags |= 2;
    return flags;
}

std::string Check(const FieldDef& f, const std::string& value, bool fail) {
    return "dao_ok(" + value + ", " + std::to_string(Flags(f)) + ", " + SqlLiteral(f.name) + ", " +
           (fail ? "1" : "0") + ")";
}

// The type of a bare column of the table, when the expression is one (for conversions to text).
int SourceType(const TableState& t, const std::string& expr) {
    for (const auto& f : t.fields)
        if (expr == QuoteName(f.name) || SameName(expr, f.name)) return f.type;
    return 0;
}

std::string DefaultExpr(const FieldDef& f) {
    std::string expr = f.defaultValue;
    if (expr.empty()) return {};
    if (expr[0] == '=') expr.erase(0, 1);
    try {
        JetStatement st = TranslateJetSql("SELECT " + expr);
        return "(" + st.sql + ")";
    } catch (const Error&) {
        return {};
    }
}

struct Built {
    std::string sql;
    std::string table;       // catalog name of the target
    const FieldDef* counter = nullptr;  // a counter to number after an INSERT
};

Built BuildDml(Connection& c, const JetStatement& st, bool fail) {
    Built b;
    const TableState& t = TargetTable(c, st.table);
    b.table = t.name;
    std::string target = c.DataName(t);
    const TableState& tt = TargetTable(c, st.table);  // DataName may attach and reload nothing, but re-find
    switch (st.kind) {
    case JetStatement::Kind::Delete:
        b.sql = "DELETE FROM " + target + (st.where.empty() ? "" : " WHERE " + st.where);
        break;
    case JetStatement::Kind::Update: {
        std::string set, checks;
        for (const auto& [col, expr] : st.assignments) {
            const FieldDef* f = tt.FindField(col);
            if (!f) ThrowJet(3061, "1");
            std::string cast = Cast(*f, "(" + expr + ")", fail, SourceType(tt, expr));
            if (!set.empty()) set += ", ";
            set += QuoteName(f->name) + " = " + cast;
            if (Flags(*f)) checks += " AND " + Check(*f, cast, fail);
        }
        b.sql = std::string("UPDATE ") + (fail ? "" : "OR IGNORE ") + target + " SET " + set + " WHERE (" +
                (st.where.empty() ? "1" : st.where) + ")" + checks;
        break;
    }
    case JetStatement::Kind::Insert: {
        std::vector<const FieldDef*> cols;
        if (st.columns.empty()) {
            for (const auto& f : tt.fields) cols.push_back(&f);
            std::size_t given = st.values.empty() ? 0 : st.values.size();
            if (given && given < cols.size()) cols.resize(given);
        } else {
            for (const auto& name : st.columns) {
                const FieldDef* f = tt.FindField(name);
                if (!f) ThrowJet(3127, name);
                cols.push_back(f);
            }
        }
        std::string src;
        if (!st.values.empty()) {
            if (st.values.size() != cols.size()) ThrowJet(3134);
            src = "SELECT ";
            for (std::size_t i = 0; i < st.values.size(); ++i) src += (i ? ", " : "") + st.values[i];
        } else {
            src = WithoutHiddenColumns(c, st.sources, st.sql);
        }
        std::string names, inner, outer, checks, srcCols;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            std::string ci(1, 'c'), si(1, 's');
            ci += std::to_string(i + 1);
            si += std::to_string(i + 1);
            const char* sep = i ? ", " : "";
            srcCols.append(sep).append(ci);
            names.append(sep).append(QuoteName(cols[i]->name));
            inner.append(sep).append(Cast(*cols[i], "\"__src\"." + ci, fail, 0)).append(" AS ").append(si);
            outer.append(sep).append(si);
            if (Flags(*cols[i])) checks += " AND " + Check(*cols[i], si, fail);
        }
        for (const auto& f : tt.fields) {
            bool given = false;
            for (const FieldDef* g : cols)
                if (g == &f) given = true;
            if (given) continue;
            if (f.IsCounter()) {
                b.counter = &f;
                continue;
            }
            std::string d = DefaultExpr(f);
            if (d.empty()) {
                if (f.required) checks += " AND " + Check(f, "NULL", fail);
                continue;
            }
            std::string cast = Cast(f, d, fail, 0);
            names += ", " + QuoteName(f.name);
            outer += ", " + cast;
            if (Flags(f)) checks += " AND " + Check(f, cast, fail);
        }
        b.sql = "WITH \"__src\"(" + srcCols + ") AS (" + src + ") INSERT " + (fail ? "" : "OR IGNORE ") + "INTO " +
                target + " (" + names + ") SELECT " + outer + " FROM (SELECT " + inner + " FROM \"__src\") WHERE 1" +
                checks;
        break;
    }
    default:
        ThrowJet(3219);
    }
    return b;
}

FieldDef ColumnToField(const JetColumnDef& d) {
    FieldDef f;
    f.name = d.name;
    f.type = d.type;
    f.size = d.type == dbText && d.size == 0 ? 255 : d.size;
    if (d.counter) {
        f.type = dbLong;
        f.attributes = dbAutoIncrField | dbFixedField;
    }
    f.required = d.notNull;
    return f;
}

IndexDef IndexFromDef(const JetIndexDef& d) {
    IndexDef ix;
    ix.name = d.name;
    ix.fields = d.fields;
    ix.descending = d.descending;
    ix.primary = d.primary;
    ix.unique = d.unique || d.primary;
    return ix;
}

std::int64_t RunDml(Connection& c, const JetStatement& st, int options) {
    bool fail = (options & dbFailOnError) != 0;
    Built b = BuildDml(c, st, fail);
    c.EnsureWritable();
    c.BeginWrite();
    Stmt s = c.PrepareJet(b.sql);
    int rc = sqlite3_step(s.get());
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) ThrowSqlite(c.handle(), rc, b.table);
    std::int64_t changed = sqlite3_changes64(c.handle());
    s.reset();
    if (b.counter && changed > 0) {
        const TableState& t = *c.catalog.FindTable(b.table);
        std::int64_t base = c.NextCounter(t, *b.counter) - 1;
        std::string T = c.DataName(t), F = QuoteName(b.counter->name);
        c.Exec("UPDATE " + T + " SET " + F + " = " + std::to_string(base) +
               " + n.k FROM (SELECT rowid AS r, row_number() OVER (ORDER BY rowid) AS k FROM " + T + " WHERE " + F +
               " IS NULL) AS n WHERE " + T + ".rowid = n.r");
    }
    if (st.kind == JetStatement::Kind::Insert) c.ForgetCounters(b.table);
    ++*c.TableGeneration(b.table);
    c.AfterWrite(changed);
    return changed;
}

} // namespace

std::string SqlLiteral(std::string_view s) {
    std::string out = "'";
    for (char ch : s) {
        if (ch == '\'') out += '\'';
        out += ch;
    }
    return out + "'";
}

void RegisterEngineFunctions(sqlite3* db) {
    sqlite3_create_function_v2(db, "dao_ok", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, DaoOk, nullptr, nullptr,
                               nullptr);
}

std::int64_t ExecuteJet(Connection& c, std::string_view jetSql, int options) {
    JetStatement st = TranslateJetSql(jetSql);
    if (!st.parameters.empty()) ThrowJet(3061, std::to_string(st.parameters.size()));
    switch (st.kind) {
    case JetStatement::Kind::Select:
        ThrowJet(3065);
    case JetStatement::Kind::Insert:
    case JetStatement::Kind::Update:
    case JetStatement::Kind::Delete:
        return RunDml(c, st, options);
    case JetStatement::Kind::CreateTable: {
        TableState t;
        t.name = st.table;
        for (const auto& d : st.columnDefs) t.fields.push_back(ColumnToField(d));
        for (const auto& d : st.indexes) t.indexes.push_back(IndexFromDef(d));
        c.Ddl([&] { CreateTable(c, std::move(t)); });
        return 0;
    }
    case JetStatement::Kind::AlterAddColumn: {
        if (!c.catalog.FindTable(st.table)) ThrowJet(3078, st.table);
        c.Ddl([&] {
            for (const auto& d : st.columnDefs) {
                if (c.catalog.FindTable(st.table)->FindField(d.name)) ThrowJet(3380, d.name, st.table);
                AddField(c, st.table, ColumnToField(d));
            }
            for (const auto& d : st.indexes) CreateIndex(c, st.table, IndexFromDef(d));
        });
        return 0;
    }
    case JetStatement::Kind::AlterDropColumn:
        if (!c.catalog.FindTable(st.table)) ThrowJet(3078, st.table);
        c.Ddl([&] { DropField(c, st.table, st.column); });
        return 0;
    case JetStatement::Kind::CreateIndex:
        for (const auto& d : st.indexes) {
            std::string table = d.table.empty() ? st.table : d.table;
            if (!c.catalog.FindTable(table)) ThrowJet(3078, table);
            c.Ddl([&] { CreateIndex(c, table, IndexFromDef(d)); });
        }
        return 0;
    case JetStatement::Kind::DropTable:
        if (!c.catalog.FindTable(st.table)) ThrowJet(3376, st.table);
        c.Ddl([&] { DropTable(c, st.table); });
        return 0;
    case JetStatement::Kind::DropIndex:
        if (!c.catalog.FindTable(st.table)) ThrowJet(3078, st.table);
        c.Ddl([&] { DropIndex(c, st.table, st.indexName); });
        return 0;
    }
    ThrowJet(3219);
}

void CheckQuerySql(Connection& c, std::string_view sql) {
    JetStatement st = TranslateJetSql(sql);
    std::string text;
    switch (st.kind) {
    case JetStatement::Kind::Select:
        text = st.sql;
        break;
    case JetStatement::Kind::Insert:
    case JetStatement::Kind::Update:
    case JetStatement::Kind::Delete:
        text = BuildDml(c, st, false).sql;
        break;
    default:
        return;  // structure statements are checked when they run
    }
    try {
        Stmt s = c.PrepareJet(text);
    } catch (const Error& e) {
        if (e.number() == 3061) return;  // unknown names are parameters until the query runs
        throw;
    }
}

} // namespace ledrana::dao::detail
