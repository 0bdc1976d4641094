// Execute: Jet SQL action statements, with the catalog's types, sizes, counters and validation applied,
// and the engine's own SQL functions.

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"
#include "platform/text.h"

#include <cstring>

namespace ledrana::dao::detail {

namespace {

// The error a save of `value` meets in a field with dao_ok's `flags`: 3058 (flags & 4: a field of the primary
// key or of an index that disallows Null, value Null), 3314 (flags & 1: required, value Null), 3315 (flags &
// 2: no zero-length text); 0 when it may be stored.
int StoreRefusal(int flags, sqlite3_value* value) {
    const int type = sqlite3_value_type(value);
    if ((flags & 4) && type == SQLITE_NULL) return 3058;
    if ((flags & 1) && type == SQLITE_NULL) return 3314;
    if ((flags & 2) && type == SQLITE_TEXT && sqlite3_value_bytes(value) == 0) return 3315;
    return 0;
}

// dao_ok(value, flags, fieldName, fail): 1 when the value may be stored in the field (StoreRefusal);
// otherwise 0 (the row is skipped) or, with fail set, the error.
void DaoOk(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int error = StoreRefusal(sqlite3_value_int(argv[1]), argv[0]);
    if (!error || sqlite3_value_int(argv[3]) == 0) return sqlite3_result_int(ctx, error ? 0 : 1);
    const char* name = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
    std::string msg = std::to_string(error) + " " + JetErrorText(error, name ? name : "");
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

// dao_kept(value, flags, name, other): the value where dao_ok(value, flags, name, 0) lets it be stored, else
// other. A computed field spells its value once this way, where a CASE would compute it twice.
void DaoKept(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, argv[StoreRefusal(sqlite3_value_int(argv[1]), argv[0]) ? 3 : 0]);
}

// dao_rule(result, fail, number, text): 0 when a validation rule gave False (the row is skipped) or, with
// fail set, the error of that number and text; 1 otherwise (True or Null let the row through).
void DaoRule(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const bool broken = sqlite3_value_type(argv[0]) != SQLITE_NULL && sqlite3_value_double(argv[0]) == 0;
    if (!broken) return sqlite3_result_int(ctx, 1);
    if (sqlite3_value_int(argv[1]) == 0) return sqlite3_result_int(ctx, 0);
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[3]));
    std::string msg = std::to_string(sqlite3_value_int(argv[2])) + " " + (text ? text : "");
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

// dao_nulls(a, b, ...): how many rows hold a Null in each argument (at most kMaxNullCounts of them), as a
// blob of 64-bit counts in the arguments' order; Null for a table without rows. One call per row reads
// every column of a table where a count() per column costs a call per value.
void DaoNullsStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc > kMaxNullCounts) return sqlite3_result_error(ctx, "dao_nulls", -1);
    auto* counts = static_cast<std::int64_t*>(sqlite3_aggregate_context(ctx, kMaxNullCounts * 8));
    if (!counts) return sqlite3_result_error_nomem(ctx);
    for (int i = 0; i < argc; ++i)
        counts[i] += sqlite3_value_type(argv[i]) == SQLITE_NULL;
}

void DaoNullsFinal(sqlite3_context* ctx) {
    const auto* counts = static_cast<const std::int64_t*>(sqlite3_aggregate_context(ctx, 0));
    if (!counts) return sqlite3_result_null(ctx);
    sqlite3_result_blob(ctx, counts, kMaxNullCounts * 8, SQLITE_TRANSIENT);
}

// The counts of the NullTally that this thread's statement runs under (none outside one). Kept beside the
// thread rather than bound to the statement: a bound pointer is looked up by its type's name at every row.
thread_local std::vector<std::int64_t>* tally = nullptr;

// dao_counted(k, value): adds 1 to the tally's k-th count and is the value. Called where a statement that
// reads every row anyway meets a Null, it counts them on the way (CountedNull).
void DaoCounted(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const sqlite3_int64 k = sqlite3_value_int64(argv[0]);
    if (!tally || k < 0 || static_cast<std::size_t>(k) >= tally->size())
        return sqlite3_result_error(ctx, "dao_counted", -1);
    ++(*tally)[static_cast<std::size_t>(k)];
    sqlite3_result_value(ctx, argv[1]);
}

// dao_as_is(value, fromType, toType, toSize, flags): 1 when a save of the value into the field stores it as
// it is (StoredAsIs) and passes the field's checks (flags & 1: not Null, flags & 2: no zero-length text),
// else the error kNotAsIs: a copy that needs the conversions or the refusals of a save is made otherwise.
void DaoAsIs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int flags = sqlite3_value_int(argv[4]);
    const int type = sqlite3_value_type(argv[0]);
    const bool refused = ((flags & 1) && type == SQLITE_NULL) ||
                         ((flags & 2) && type == SQLITE_TEXT && sqlite3_value_bytes(argv[0]) == 0);
    if (!refused && StoredAsIs(argv[0], sqlite3_value_int(argv[1]), sqlite3_value_int(argv[2]),
                               sqlite3_value_int(argv[3])))
        return sqlite3_result_int(ctx, 1);
    sqlite3_result_error(ctx, kNotAsIs, -1);
}

// The translator's view of a connection's catalog.
class CatalogNames : public JetNames {
public:
    explicit CatalogNames(Connection& c, int depth = 0) : c_(c), depth_(depth) {}

    int FieldType(std::string_view table, std::string_view field) const override {
        if (!table.empty()) {
            if (const TableState* t = c_.catalog.FindTable(table)) {
                const FieldDef* f = t->FindField(field);
                return f ? f->type : 0;
            }
            // A column of a saved query: the type of its expression there.
            if (const QueryState* q = c_.catalog.FindQuery(table); q && depth_ < 8) {
                try {
                    CatalogNames inner(c_, depth_ + 1);
                    JetStatement st = TranslateJetSql(q->sql, &inner);
                    for (const auto& [name, type] : st.columnTypes)
                        if (SameName(name, field)) return type;
                } catch (const Error&) {
                }
            }
        }
        if (c_.fieldTypesGeneration != c_.catalogGeneration) {
            c_.fieldTypes.clear();
            for (const TableState& t : c_.catalog.tables)
                for (const FieldDef& f : t.fields) {
                    auto [it, added] = c_.fieldTypes.emplace(Upper(f.name), f.type);
                    if (!added && it->second != f.type) it->second = 0;
                }
            c_.fieldTypesGeneration = c_.catalogGeneration;
        }
        auto it = c_.fieldTypes.find(Upper(field));
        return it == c_.fieldTypes.end() ? 0 : it->second;
    }

    std::string Spelling(std::string_view name) const override {
        if (const TableState* t = c_.catalog.FindTable(name)) return t->name;
        if (const QueryState* q = c_.catalog.FindQuery(name)) return q->name;
        for (const TableState& t : c_.catalog.tables)
            if (const FieldDef* f = t.FindField(name)) return f->name;
        return std::string(name);
    }

private:
    Connection& c_;
    int depth_; // saved queries read within saved queries
};

// The SQLite condition of the validation rules of a table for a row whose field values `column` writes:
// " AND dao_rule(...)" for each rule; "" without rules.
std::string RuleChecks(const TableState& t, bool fail,
                       const std::function<std::string(std::string_view)>& column) {
    std::string out;
    auto add = [&](const std::string& rule, const std::string& field, const std::string& text, int number,
                   const std::string& owner) {
        std::string cond = TranslateJetRule(rule, field, column);
        std::string description = text.empty() ? JetErrorText(number, rule, owner) : text;
        out += " AND dao_rule(" + cond + ", " + (fail ? "1" : "0") + ", " + std::to_string(number) + ", " +
               SqlLiteral(description) + ")";
    };
    for (const FieldDef& f : t.fields)
        if (!f.validationRule.empty())
            add(f.validationRule, f.name, f.validationText, 3317, t.name + "." + f.name);
    if (!t.validationRule.empty()) add(t.validationRule, {}, t.validationText, 3316, t.name);
    return out;
}

const TableState& TargetTable(Connection& c, const std::string& name) {
    TableState* t = c.catalog.FindTable(name);
    if (!t) ThrowJet(3078, name);
    if (t->IsSystem()) ThrowJet(3027);
    return *t;
}

} // namespace

std::string CastSql(const FieldDef& f, const std::string& expr, bool fail, int fromType) {
    // The size argument carries a Decimal's precision and scale as MSysFields does.
    const std::int32_t size = f.type == dbText || f.type == dbBinary ? f.size
                              : f.type == dbDecimal                  ? StoredSize(f)
                                                                     : 0;
    std::string out = std::string(fail ? "jet_cast_strict(" : "jet_cast(") + expr + ", " +
                      std::to_string(f.type) + ", " + std::to_string(size);
    if (fromType) out += ", " + std::to_string(fromType);
    return out + ")";
}

namespace {

// True for a field of the primary key or of an index that disallows Null (a counter is numbered after
// the INSERT that leaves it Null).
bool InNullFreeIndex(const TableState& t, const FieldDef& f) {
    if (f.IsCounter()) return false;
    for (const IndexDef& ix : t.indexes)
        if (ix.primary || ix.required)
            for (const std::string& name : ix.fields)
                if (SameName(name, f.name)) return true;
    return false;
}

} // namespace

std::optional<Variant> DefaultValueOf(Connection& c, const FieldDef& f) {
    std::string expr = f.defaultValue;
    if (expr.empty()) return std::nullopt;
    if (expr[0] == '=') expr.erase(0, 1);
    try {
        const JetStatement st = TranslateJetSql("SELECT " + expr);
        Stmt s = c.PrepareJet(st.sql);
        if (sqlite3_step(s.get()) == SQLITE_ROW) return ToStorage(FromColumnRaw(s.get(), 0), f);
    } catch (const Error&) {
    }
    return std::nullopt;
}

int StoreFlags(const TableState& t, const FieldDef& f) {
    int flags = f.required ? 1 : 0;
    if ((f.type == dbText || f.type == dbMemo) && !f.allowZeroLength) flags |= 2;
    if (InNullFreeIndex(t, f)) flags |= 4;
    return flags;
}

std::string StoreCheck(const TableState& t, const FieldDef& f, const std::string& value, bool fail) {
    return "dao_ok(" + value + ", " + std::to_string(StoreFlags(t, f)) + ", " + SqlLiteral(f.name) + ", " +
           (fail ? "1" : "0") + ")";
}

std::string StoredOr(const TableState& t, const FieldDef& f, const std::string& value,
                     const std::string& other) {
    return "dao_kept(" + value + ", " + std::to_string(StoreFlags(t, f)) + ", " + SqlLiteral(f.name) + ", " +
           other + ")";
}

namespace {

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
    std::string table;   // catalog name of the target
    std::string counter; // a counter to number after an INSERT ("" for none)
};

Built BuildDml(Connection& c, const JetStatement& st, bool fail) {
    Built b;
    const TableState& t = TargetTable(c, st.table);
    b.table = t.name;
    std::string target = c.DataName(t);
    const TableState& tt = TargetTable(c, st.table); // DataName may attach and reload nothing, but re-find
    switch (st.kind) {
    case JetStatement::Kind::Delete:
        b.sql = "DELETE FROM " + target + (st.where.empty() ? "" : " WHERE " + st.where);
        break;
    case JetStatement::Kind::Update: {
        std::string set, checks;
        std::vector<std::pair<const FieldDef*, std::string>> assigned;
        for (const auto& [col, expr] : st.assignments) {
            const FieldDef* f = tt.FindField(col);
            if (!f) ThrowJet(3061, "1");
            std::string cast = CastSql(*f, "(" + expr + ")", fail, SourceType(tt, expr));
            if (!set.empty()) set += ", ";
            set += QuoteName(f->name) + " = " + cast;
            if (StoreFlags(tt, *f)) checks += " AND " + StoreCheck(tt, *f, cast, fail);
            assigned.emplace_back(f, cast);
        }
        if (HasValidationRules(tt)) {
            const std::string self = st.updateAlias.empty() ? target : QuoteName(st.updateAlias);
            checks += RuleChecks(tt, fail, [&](std::string_view name) -> std::string {
                for (const auto& [f, cast] : assigned)
                    if (SameName(f->name, name)) return cast;
                if (const FieldDef* f = tt.FindField(name)) return self + "." + QuoteName(f->name);
                return {};
            });
        }
        b.sql = std::string("UPDATE ") + (fail ? "" : "OR IGNORE ") + target +
                (st.updateAlias.empty() ? "" : " AS " + QuoteName(st.updateAlias)) + " SET " + set +
                (st.updateFrom.empty() ? "" : " FROM " + st.updateFrom) + " WHERE (" +
                (st.where.empty() ? "1" : st.where) + ")" + checks;
        break;
    }
    case JetStatement::Kind::Insert: {
        std::vector<const FieldDef*> cols;
        if (st.columns.empty()) {
            for (const auto& f : tt.fields)
                cols.push_back(&f);
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
            for (std::size_t i = 0; i < st.values.size(); ++i)
                src += (i ? ", " : "") + st.values[i];
        } else {
            src = WithoutHiddenColumns(c, st.sources, st.sql);
        }
        std::string names, inner, outer, checks, srcCols;
        std::vector<std::pair<const FieldDef*, std::string>> written; // field, expression in the outer SELECT
        for (std::size_t i = 0; i < cols.size(); ++i) {
            std::string ci(1, 'c'), si(1, 's');
            ci += std::to_string(i + 1);
            si += std::to_string(i + 1);
            const char* sep = i ? ", " : "";
            srcCols.append(sep).append(ci);
            names.append(sep).append(QuoteName(cols[i]->name));
            inner.append(sep).append(CastSql(*cols[i], "\"__src\"." + ci, fail, 0)).append(" AS ").append(si);
            outer.append(sep).append(si);
            written.emplace_back(cols[i], si);
            if (StoreFlags(tt, *cols[i])) checks += " AND " + StoreCheck(tt, *cols[i], si, fail);
        }
        for (const auto& f : tt.fields) {
            bool given = false;
            for (const FieldDef* g : cols)
                if (g == &f) given = true;
            if (given) continue;
            if (f.IsCounter()) {
                b.counter = f.name;
                continue;
            }
            std::string d = DefaultExpr(f);
            if (d.empty()) {
                if (StoreFlags(tt, f) & 5) checks += " AND " + StoreCheck(tt, f, "NULL", fail);
                continue;
            }
            std::string cast = CastSql(f, d, fail, 0);
            names += ", " + QuoteName(f.name);
            outer += ", " + cast;
            written.emplace_back(&f, cast);
            if (StoreFlags(tt, f)) checks += " AND " + StoreCheck(tt, f, cast, fail);
        }
        if (HasValidationRules(tt))
            checks += RuleChecks(tt, fail, [&](std::string_view name) -> std::string {
                for (const auto& [f, expr] : written)
                    if (SameName(f->name, name)) return expr;
                return tt.FindField(name) ? "NULL" : "";
            });
        b.sql = "WITH \"__src\"(" + srcCols + ") AS (" + src + ") INSERT " + (fail ? "" : "OR IGNORE ") +
                "INTO " + target + " (" + names + ") SELECT " + outer + " FROM (SELECT " + inner +
                " FROM \"__src\") WHERE 1" + checks;
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
    f.precision = d.precision;
    f.scale = d.scale;
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
    ix.required = d.required;
    ix.ignoreNulls = d.ignoreNulls;
    return ix;
}

std::int64_t RunDml(Connection& c, const JetStatement& st, int options, const std::vector<Variant>* values) {
    bool fail = (options & dbFailOnError) != 0;
    // One field set to another in every row: the field reads the converted values, the rows wait.
    if ((options & dbDeferWrite) && !fail && st.kind == JetStatement::Kind::Update &&
        st.assignments.size() == 1 && st.where.empty() && st.updateFrom.empty() && st.updateAlias.empty()) {
        const TableState* t = c.catalog.FindTable(st.table);
        const std::string& expr = st.assignments[0].second;
        const FieldDef* source = nullptr;
        if (t)
            for (const FieldDef& f : t->fields)
                if (expr == QuoteName(f.name) || SameName(expr, f.name)) source = &f;
        if (source) {
            const std::string table = t->name, target = st.assignments[0].first, sourceName = source->name;
            std::int64_t rows = -1;
            c.Ddl([&] { rows = DeriveField(c, table, target, sourceName); });
            if (rows >= 0) return rows;
        }
    }
    std::vector<std::string> written;
    for (const auto& [column, expr] : st.assignments)
        written.push_back(column);
    if (st.kind != JetStatement::Kind::Delete)
        BeforeRowWrite(c, st.table, written, st.kind == JetStatement::Kind::Insert);
    Built b = BuildDml(c, st, fail);
    c.EnsureWritable();
    c.BeginWrite();
    Stmt s = c.PrepareJet(b.sql);
    BindParameters(c, s.get(), st, values);
    int rc = sqlite3_step(s.get());
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) ThrowSqlite(c.handle(), rc, b.table);
    std::int64_t changed = sqlite3_changes64(c.handle());
    s.reset();
    // The start of the write may have read the catalog anew: the counter is looked up by its name.
    const TableState* t = c.catalog.FindTable(b.table);
    const FieldDef* counter = t && !b.counter.empty() ? t->FindField(b.counter) : nullptr;
    if (counter && changed > 0) {
        const std::string T = c.DataName(*t), F = QuoteName(counter->name); // attached by BuildDml already
        const std::int64_t base = c.NextCounter(*t, *counter) - 1;
        c.Exec("UPDATE " + T + " SET " + F + " = " + std::to_string(base) +
               " + n.k FROM (SELECT rowid AS r, row_number() OVER (ORDER BY rowid) AS k FROM " + T +
               " WHERE " + F + " IS NULL) AS n WHERE " + T + ".rowid = n.r");
    }
    if (st.kind == JetStatement::Kind::Insert) c.ForgetCounters(b.table);
    ++*c.TableGeneration(b.table);
    c.AfterWrite(changed);
    return changed;
}

// SELECT ... INTO: a new table with the fields of the query's columns (a field keeps its type and size, a
// counter becomes a Long; a computed column takes the type of what it holds), filled with its rows.
std::int64_t MakeTable(Connection& c, const JetStatement& st, int options,
                       const std::vector<Variant>* values) {
    if (c.catalog.FindTable(st.table) || c.catalog.FindQuery(st.table)) ThrowJet(3010, st.table);
    TableState t;
    t.name = st.table;
    {
        Stmt s = c.PrepareJet(st.sql);
        BindParameters(c, s.get(), st, values);
        const bool row = sqlite3_step(s.get()) == SQLITE_ROW;
        const int n = sqlite3_column_count(s.get());
        for (int i = 0; i < n; ++i) {
            FieldDef f;
            const char* ot = sqlite3_column_table_name(s.get(), i);
            const char* oc = sqlite3_column_origin_name(s.get(), i);
            const TableState* origin = ot ? c.catalog.FindTable(ot) : nullptr;
            const FieldDef* from = origin && oc ? origin->FindField(oc) : nullptr;
            if (from) {
                f.type = from->type;
                f.size = from->size;
                f.precision = from->precision;
                f.scale = from->scale;
                f.allowZeroLength = from->allowZeroLength;
            } else {
                f.type = dbText;
                f.size = 255;
                const char* name = sqlite3_column_name(s.get(), i);
                for (const auto& [typedName, type] : st.columnTypes)
                    if (name && SameName(typedName, name)) f.type = type;
                if (f.type == dbText && row) {
                    switch (sqlite3_column_type(s.get(), i)) {
                    case SQLITE_INTEGER:
                        f.type = dbLong;
                        break;
                    case SQLITE_FLOAT:
                        f.type = dbDouble;
                        break;
                    case SQLITE_BLOB:
                        f.type = dbLongBinary;
                        break;
                    default:
                        break;
                    }
                }
                if (f.type != dbText) f.size = 0;
                // A computed Decimal: as many digits as a Decimal field takes, ten of them decimals.
                if (f.type == dbDecimal) f.precision = Decimal::kMaxPrecision, f.scale = 10;
            }
            const char* name = sqlite3_column_name(s.get(), i);
            f.name = name ? name : "Expr" + std::to_string(1000 + i);
            f.ordinal = i;
            NormaliseField(f);
            t.fields.push_back(std::move(f));
        }
    }
    CheckNewTable(t);
    c.Ddl([&] { CreateTable(c, std::move(t)); });
    JetStatement insert;
    insert.kind = JetStatement::Kind::Insert;
    insert.table = st.table;
    insert.sql = st.sql;
    insert.parameters = st.parameters;
    return RunDml(c, insert, options, values);
}

// ALTER TABLE ... ALTER COLUMN: the field's values converted to its new type (what cannot be converted
// becomes Null), its place and properties kept. A field in an index is refused as Jet refuses it (3280).
void AlterColumn(Connection& c, const std::string& table, FieldDef to) {
    TableState* t = c.catalog.FindTable(table);
    if (!t) ThrowJet(3078, table);
    const FieldDef* old = t->FindField(to.name);
    if (!old) ThrowJet(3265);
    for (const IndexDef& ix : t->indexes)
        for (const std::string& f : ix.fields)
            if (SameName(f, old->name)) ThrowJet(3280);
    const std::string name = old->name;
    const int ordinal = old->ordinal;
    to.name = name;
    to.required = to.required || old->required;
    to.allowZeroLength = old->allowZeroLength;
    to.defaultValue = old->defaultValue;
    to.validationRule = old->validationRule;
    to.validationText = old->validationText;
    std::string temp = "__" + name;
    FieldDef scratch = to;
    scratch.name = temp;
    scratch.required = false;
    AddField(c, table, scratch);
    t = c.catalog.FindTable(table);
    c.Exec("UPDATE " + c.DataName(*t) + " SET " + QuoteName(temp) + " = " +
           CastSql(scratch, QuoteName(name), false, t->FindField(name)->type));
    DropField(c, table, name);
    RenameField(c, table, temp, name);
    t = c.catalog.FindTable(table);
    if (FieldDef* f = t->FindField(name)) {
        to.ordinal = ordinal;
        to.attributes = f->attributes;
        to.size = to.type == dbText ? to.size : f->size;
        to.properties = f->properties;
        *f = to;
        UpdateFieldProperties(c, table, *f);
        c.catalog.Sort();
    }
}

} // namespace

std::string SqlLiteral(std::string_view s) {
    return QuoteWith(s, '\'');
}

JetStatement Translate(Connection& c, std::string_view jetSql) {
    CatalogNames names(c);
    return TranslateJetSql(jetSql, &names);
}

void ResolveCrosstab(Connection& c, JetStatement& st) {
    std::vector<std::string> headings = st.crosstab.listed;
    if (headings.empty()) {
        Stmt s = c.PrepareJet(st.crosstab.headingsSql);
        int rc;
        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(s.get(), 0);
            headings.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        if (rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc);
    }
    st.sql = BuildCrosstab(st.crosstab, headings);
    st.kind = JetStatement::Kind::Select;
    if (st.crosstab.valueType)
        for (const std::string& h : headings)
            st.columnTypes.emplace_back(h, st.crosstab.valueType);
}

bool HasValidationRules(const TableState& t) {
    if (!t.validationRule.empty()) return true;
    for (const FieldDef& f : t.fields)
        if (!f.validationRule.empty()) return true;
    return false;
}

void CheckValidationRules(Connection& c, const TableState& t,
                          const std::function<Variant(std::size_t)>& value) {
    if (!HasValidationRules(t)) return;
    std::string checks = RuleChecks(t, true, [&](std::string_view name) -> std::string {
        const int i = t.FieldIndex(name);
        return i < 0 ? std::string() : "?" + std::to_string(i + 1);
    });
    Stmt s = c.PrepareJet("SELECT 1" + checks);
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        BindVariant(s.get(), static_cast<int>(i) + 1, value(i));
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) ThrowSqlite(c.handle(), rc, t.name);
}

void RegisterEngineFunctions(sqlite3* db) {
    RegisterDecimalCollation(db);
    sqlite3_create_function_v2(db, "dao_rule", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, DaoRule,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "dao_ok", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, DaoOk, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "dao_kept", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, DaoKept,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "dao_as_is", 5, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, DaoAsIs,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "dao_nulls", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                               DaoNullsStep, DaoNullsFinal, nullptr);
    sqlite3_create_function_v2(db, "dao_counted", 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, DaoCounted,
                               nullptr, nullptr, nullptr);
    RegisterKeyHashes(db);
}

std::string CountedNull(std::size_t k, const std::string& column, const std::string& value) {
    const std::string c = QuoteName(column);
    return "coalesce(" + c + ", dao_counted(" + std::to_string(k) + ", " + value + "))";
}

NullTally::NullTally(std::vector<std::int64_t>& counts) : previous_(tally) {
    tally = &counts;
}

NullTally::~NullTally() {
    tally = previous_;
}

void CheckParameters(const JetStatement& st, const std::vector<Variant>* values) {
    std::size_t missing = 0;
    for (std::size_t k = 0; k < st.parameters.size(); ++k)
        if (!values || k >= values->size() || (*values)[k].IsEmpty()) ++missing;
    if (missing) ThrowJet(3061, std::to_string(missing));
}

void BindParameters(Connection& c, sqlite3_stmt* s, const JetStatement& st,
                    const std::vector<Variant>* values) {
    (void)c;
    if (!values) return;
    for (std::size_t k = 0; k < st.parameters.size() && k < values->size(); ++k)
        BindVariant(s, static_cast<int>(k) + 1, (*values)[k]);
}

std::int64_t ExecuteJet(Connection& c, std::string_view jetSql, int options,
                        const std::vector<Variant>* values) {
    JetStatement st = Translate(c, jetSql);
    CheckParameters(st, values);
    switch (st.kind) {
    case JetStatement::Kind::Select:
    case JetStatement::Kind::Crosstab:
        ThrowJet(3065);
    case JetStatement::Kind::MakeTable:
        return MakeTable(c, st, options, values);
    case JetStatement::Kind::AlterColumn: {
        if (!c.catalog.FindTable(st.table)) ThrowJet(3078, st.table);
        c.Ddl([&] { AlterColumn(c, st.table, ColumnToField(st.columnDefs.at(0))); });
        return 0;
    }
    case JetStatement::Kind::Insert:
    case JetStatement::Kind::Update:
    case JetStatement::Kind::Delete:
        return RunDml(c, st, options, values);
    case JetStatement::Kind::CreateTable: {
        TableState t;
        t.name = st.table;
        for (const auto& d : st.columnDefs)
            t.fields.push_back(ColumnToField(d));
        for (const auto& d : st.indexes)
            t.indexes.push_back(IndexFromDef(d));
        CheckNewTable(t);
        c.Ddl([&] { CreateTable(c, std::move(t)); });
        return 0;
    }
    case JetStatement::Kind::AlterAddColumn: {
        if (!c.catalog.FindTable(st.table)) ThrowJet(3078, st.table);
        for (const auto& d : st.columnDefs)
            CheckNewName(d.name);
        for (const auto& d : st.indexes)
            CheckNewName(d.name);
        c.Ddl([&] {
            for (const auto& d : st.columnDefs) {
                const TableState* t = c.catalog.FindTable(st.table);
                if (!t) ThrowJet(3078, st.table);
                if (t->FindField(d.name)) ThrowJet(3380, d.name, st.table);
                AddField(c, st.table, ColumnToField(d));
            }
            for (const auto& d : st.indexes)
                CreateIndex(c, st.table, IndexFromDef(d));
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
            CheckNewName(d.name);
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

std::int64_t SetFieldFrom(Connection& c, const std::string& table, const std::string& target,
                          const std::string& source, int options) {
    const TableState& t = TargetTable(c, table);
    const FieldDef* to = t.FindField(target);
    const FieldDef* from = t.FindField(source);
    if (!to) ThrowJet(3265, target);
    if (!from) ThrowJet(3265, source);
    JetStatement st;
    st.kind = JetStatement::Kind::Update;
    st.table = t.name;
    st.sources = {t.name};
    st.assignments = {{to->name, QuoteName(from->name)}};
    return RunDml(c, st, options, nullptr);
}

void CheckQuerySql(Connection& c, std::string_view sql) {
    JetStatement st = Translate(c, sql);
    std::string text;
    switch (st.kind) {
    case JetStatement::Kind::Select:
    case JetStatement::Kind::MakeTable:
        text = st.sql;
        break;
    case JetStatement::Kind::Insert:
    case JetStatement::Kind::Update:
    case JetStatement::Kind::Delete:
        text = BuildDml(c, st, false).sql;
        break;
    default:
        return; // structure statements are checked when they run
    }
    try {
        Stmt s = c.PrepareJet(text);
    } catch (const Error& e) {
        if (e.number() == 3061) return; // unknown names are parameters until the query runs
        throw;
    }
}

} // namespace ledrana::dao::detail
