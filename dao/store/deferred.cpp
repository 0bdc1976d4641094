// Changes of a table's values that wait for the next compaction.
//
// A structure change that converts the values of a field (a copy from another field with its type's
// conversion, Nulls completed with a value) makes the field a virtual column of SQLite, computed from its
// old column, which stays in the rows under a hidden name. Every read sees the new values at once and no
// row is written: the compaction writes each table once, with its values. An index created on such a table
// waits for it too, checked at once on the values the table reads. Until then the archive opens and reads
// the new values wherever it goes, since the file itself holds the computation.
//
// Every row write passes one gate (BeforeRowWrite): a write that would change what a computation gives (a
// new row, a computed field written, a field that a computation reads, a field of a waiting unique index)
// writes the table's values into the rows and builds its waiting indexes first, so that inserted and changed
// rows are stored as always. Other writes and deletions leave the computations waiting. SQLite itself
// refuses a statement that would make such a write while the table still waits (RefuseUngatedWrites): a
// write path that skips the gate fails rather than changing values. What waits is known from the catalog
// alone: the computed fields, the fields they read, the indexes not yet built.

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"
#include "dao/store/sqlite_functions.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledrana::dao::detail {

namespace {

bool Holds(const IndexDef& ix, std::string_view field) {
    return std::any_of(ix.fields.begin(), ix.fields.end(),
                       [&](const std::string& f) { return SameName(f, field); });
}

TableState* LocalTable(Connection& c, std::string_view name) {
    TableState* t = c.catalog.FindTable(name);
    if (!t || t->IsSystem() || t->IsAttached()) return nullptr;
    return t;
}

// A stored value as an SQL literal, spelled by SQLite itself so that a number keeps every digit.
std::string Literal(Connection& c, const Variant& v) {
    sqlite3_stmt* s = c.Prepare("SELECT quote(?)");
    BindVariant(s, 1, v);
    std::string out = "NULL";
    if (sqlite3_step(s) == SQLITE_ROW) out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_reset(s);
    return out;
}

// A field made a virtual column computed by `expr` from its old column, which is hidden.
struct Redefinition {
    FieldDef* field;
    std::function<std::string(const std::string&)> expr;
};

// Makes each field a virtual column computed from its old column, all in one change of the schema. The
// indexes over the fields wait for the compaction. Returns the old columns' hidden names, in order.
std::vector<std::string> Redefine(Connection& c, TableState& t, const std::vector<Redefinition>& changes) {
    std::vector<std::pair<std::string, std::string>> renames;
    std::vector<std::string> added;
    for (const Redefinition& r : changes) {
        FieldDef& f = *r.field;
        for (IndexDef& ix : t.indexes) {
            if (!ix.built || ix.sqlName.empty() || !Holds(ix, f.name)) continue;
            c.Exec("DROP INDEX IF EXISTS " + QuoteName(ix.sqlName));
            ix.built = false;
        }
        // Distinct for distinct fields, as "~n~" + the field's name.
        std::string old = HiddenName(c, t, f.name);
        added.push_back(QuoteName(f.name) + " " + ColumnDecl(f) + " GENERATED ALWAYS AS (" +
                        r.expr(QuoteName(old)) + ") VIRTUAL");
        renames.emplace_back(f.name, std::move(old));
    }
    EditColumns(c, t.name, renames, added);
    for (const Redefinition& r : changes)
        r.field->derived = true;
    std::vector<std::string> hiddenNames;
    for (const auto& [from, hidden] : renames) {
        t.hidden.push_back(hidden);
        SaveHiddenRow(c, t, hidden);
        hiddenNames.push_back(hidden);
    }
    return hiddenNames;
}

// True when writing the column of existing rows of the table (a new row when `column` is null) would change
// what a waiting computation gives. Reads the catalog alone: SQLite's authorizer asks it too.
bool NeedsStoredValues(const TableState& t, const char* column) {
    if (!t.HasDeferred()) return false;
    // A new row has no old values to compute its fields from.
    if (!column) return true;
    const FieldDef* f = t.FindField(column);
    if (!f) return false;
    // A computed field cannot be written, one that a computation reads would change what it gives, and a
    // waiting unique index would not see the new value.
    if (f->derived || f->readByDerived) return true;
    return std::any_of(t.indexes.begin(), t.indexes.end(),
                       [&](const IndexDef& ix) { return !ix.built && ix.unique && Holds(ix, f->name); });
}

// Writes the table's waiting values into its rows and builds its waiting indexes.
void WriteDeferred(Connection& c, TableState& t) {
    const std::string T = QuoteName(t.name);
    // The Nulls that the stored values complete are counted first, and the counts kept with their columns.
    std::vector<TableState::NullFill*> uncounted;
    for (TableState::NullFill& f : t.fills)
        if (f.count < 0) uncounted.push_back(&f);
    if (!uncounted.empty()) {
        std::vector<std::int64_t> counts(uncounted.size(), 0);
        std::string tally;
        for (std::size_t k = 0; k < uncounted.size(); ++k)
            tally +=
                std::string(k ? ", " : "") + "count(" + CountedNull(k, uncounted[k]->column, "NULL") + ")";
        sqlite3_stmt* s = c.Prepare("SELECT " + tally + " FROM " + T);
        int rc;
        {
            const NullTally counting(counts);
            rc = sqlite3_step(s);
            sqlite3_reset(s);
        }
        if (rc != SQLITE_ROW) ThrowSqlite(c.handle(), rc, t.name);
        for (std::size_t k = 0; k < uncounted.size(); ++k) {
            uncounted[k]->count = counts[k];
            SaveHiddenRow(c, t, uncounted[k]->column);
        }
    }
    // Each computed field gets a stored column, all filled in one pass; then, in one change, each computed
    // column is hidden (other computations that read it still find it) and the stored one takes the field's
    // name.
    std::vector<std::pair<std::string, std::string>> renames;
    std::vector<std::string> added;
    std::string set;
    for (FieldDef& f : t.fields) {
        if (!f.derived) continue;
        std::string column = HiddenName(c, t, f.name);
        added.push_back(QuoteName(column) + " " + ColumnDecl(f));
        set += (set.empty() ? "" : ", ") + QuoteName(column) + " = " + QuoteName(f.name);
        renames.emplace_back(column, f.name);
    }
    if (!added.empty()) {
        EditColumns(c, t.name, {}, added);
        c.Exec("UPDATE " + T + " SET " + set);
        std::vector<std::pair<std::string, std::string>> hide;
        for (const auto& [column, field] : renames) {
            hide.emplace_back(field, HiddenName(c, t, field));
        }
        renames.insert(renames.end(), hide.begin(), hide.end());
        EditColumns(c, t.name, renames, {});
        for (const auto& [field, hidden] : hide) {
            t.hidden.push_back(hidden);
            SaveHiddenRow(c, t, hidden);
        }
    }
    // What is left computed is hidden: no field reads a computation any more.
    for (FieldDef& f : t.fields)
        f.derived = f.readByDerived = false;
    for (IndexDef& ix : t.indexes) {
        if (ix.built || ix.sqlName.empty()) continue;
        c.Exec(IndexSql(t, ix));
        ix.built = true;
    }
}

// SQLite's authorizer: a statement that writes into a local table of the catalog what the gate would have
// stored values for is refused.
int RefuseWaitingWrite(void* connection, int action, const char* table, const char* column,
                       const char* schema, const char*) {
    if ((action != SQLITE_INSERT && action != SQLITE_UPDATE) || !table || !schema ||
        std::string_view(schema) != "main")
        return SQLITE_OK;
    const TableState* t = LocalTable(*static_cast<Connection*>(connection), table);
    if (!t || !NeedsStoredValues(*t, action == SQLITE_INSERT ? nullptr : column)) return SQLITE_OK;
    return SQLITE_DENY;
}

} // namespace

bool TableState::HasDeferred() const {
    return std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.derived; }) ||
           std::any_of(indexes.begin(), indexes.end(), [](const IndexDef& ix) { return !ix.built; });
}

void BeforeRowWrite(Connection& c, std::string_view table, const std::vector<std::string>& columns,
                    bool insert) {
    const TableState* t = LocalTable(c, table);
    if (!t) return;
    bool needed = insert && NeedsStoredValues(*t, nullptr);
    for (std::size_t i = 0; !needed && i < columns.size(); ++i)
        needed = NeedsStoredValues(*t, columns[i].c_str());
    if (!needed) return;
    const std::string name = t->name;
    // Starting the change may read the catalog anew (a transaction that SQLite ended by itself): the table
    // is looked up inside it.
    c.Ddl([&] {
        if (TableState* table = LocalTable(c, name)) WriteDeferred(c, *table);
    });
}

void RefuseUngatedWrites(Connection& c) {
    sqlite3_set_authorizer(c.handle(), RefuseWaitingWrite, &c);
}

void NoteComputedFields(TableState& t, const std::vector<std::string>& columns, const std::string& sql) {
    for (const std::string& name : columns)
        if (FieldDef* f = t.FindField(name)) f->derived = true;
    std::vector<std::string> pending;
    for (const FieldDef& f : t.fields)
        if (f.derived) pending.push_back(f.name);
    if (pending.empty()) return;
    const std::optional<std::vector<ComputedColumn>> computed = ComputedColumns(sql);
    if (!computed) {
        // A definition this engine did not write: any field may be read.
        for (FieldDef& f : t.fields)
            f.readByDerived = true;
        return;
    }
    // The columns that computed fields read, and those that the computed columns among them read in turn.
    std::vector<std::string> read;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        for (const ComputedColumn& column : *computed) {
            if (!SameName(column.name, name)) continue;
            for (const std::string& r : column.reads) {
                if (std::any_of(read.begin(), read.end(),
                                [&](const std::string& x) { return SameName(x, r); }))
                    continue;
                read.push_back(r);
                pending.push_back(r);
            }
        }
    }
    for (const std::string& name : read)
        if (FieldDef* f = t.FindField(name)) f->readByDerived = true;
}

std::int64_t DeriveField(Connection& c, std::string_view table, std::string_view target,
                         std::string_view source) {
    TableState* t = LocalTable(c, table);
    if (!t || HasValidationRules(*t)) return -1;
    FieldDef* to = t->FindField(target);
    const FieldDef* from = t->FindField(source);
    if (!to || !from || to->IsCounter()) return -1;
    if (std::any_of(t->indexes.begin(), t->indexes.end(),
                    [&](const IndexDef& ix) { return Holds(ix, to->name); }))
        return -1;
    const bool self = SameName(to->name, from->name);
    const std::string fromName = from->name;
    const int fromType = from->type;
    const int flags = StoreFlags(*t, *to);
    const FieldDef def = *to;
    const TableState& shape = *t;
    std::string stored; // the rows the UPDATE changes: those whose converted value may be stored
    Redefine(c, *t, {{to, [&](const std::string& old) {
                          // As the UPDATE does: the converted value where it may be stored, else the row
                          // keeps its own.
                          const std::string cast =
                              CastSql(def, "(" + (self ? old : QuoteName(fromName)) + ")", false, fromType);
                          if (!flags) return cast;
                          stored = StoreCheck(shape, def, cast, false);
                          return StoredOr(shape, def, cast, old);
                      }}});
    if (!self) t->FindField(fromName)->readByDerived = true;
    sqlite3_stmt* s =
        c.Prepare("SELECT count(*) FROM " + QuoteName(t->name) + (stored.empty() ? "" : " WHERE " + stored));
    const std::int64_t rows = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_reset(s);
    return rows;
}

bool AddDerivedField(Connection& c, std::string_view table, FieldDef f, std::string_view source) {
    TableState* t = LocalTable(c, table);
    if (!t || HasValidationRules(*t) || f.name.empty() || t->FindField(f.name)) return false;
    const FieldDef* from = t->FindField(source);
    if (!from || t->Hides(f.name)) return false;
    NormaliseField(f);
    if (f.IsCounter()) return false;
    f.ordinal = t->NextOrdinal();
    // As DeriveField computes a field: the converted value where it may be stored, else the value the
    // field had, which for a field just appended is Null.
    const std::string fromName = from->name;
    const std::string cast = CastSql(f, "(" + QuoteName(fromName) + ")", false, from->type);
    const std::string expr = StoreFlags(*t, f) ? StoredOr(*t, f, cast, "NULL") : cast;
    EditColumns(c, t->name, {},
                {QuoteName(f.name) + " " + ColumnDecl(f) + " GENERATED ALWAYS AS (" + expr + ") VIRTUAL"});
    f.derived = true;
    SaveFieldRow(c, *t, f);
    SaveProperties(c, 2, t->name, f.name, f.properties);
    t->fields.push_back(std::move(f));
    t->FindField(fromName)->readByDerived = true;
    c.ForgetCounters(t->name);
    return true;
}

namespace {

// Completes the Nulls of each field taken (its value as stored) that has some, or whose Nulls are counted
// later: each becomes computed from its old column; those counted later are noted with their column.
std::vector<std::int64_t> Complete(Connection& c, TableState& t,
                                   const std::vector<std::pair<std::string, Variant>>& fields,
                                   const std::vector<std::optional<Variant>>& taken,
                                   std::vector<std::int64_t> filled) {
    std::vector<Redefinition> changes;
    std::vector<std::string> later; // the fields of the changes whose Nulls are counted later
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!taken[i] || (filled[i] <= 0 && filled[i] != kNullsCountedLater)) continue;
        FieldDef* f = t.FindField(fields[i].first);
        changes.push_back({f, [literal = Literal(c, *taken[i])](const std::string& old) {
                               return "coalesce(" + old + ", " + literal + ")";
                           }});
        later.push_back(filled[i] == kNullsCountedLater ? f->name : std::string());
    }
    if (changes.empty()) return filled;
    const std::vector<std::string> hidden = Redefine(c, t, changes);
    for (std::size_t k = 0; k < hidden.size(); ++k) {
        if (later[k].empty()) continue;
        t.fills.push_back({hidden[k], later[k], -1});
        SaveHiddenRow(c, t, hidden[k]);
    }
    return filled;
}

} // namespace

std::vector<std::int64_t> FillNulls(Connection& c, std::string_view table,
                                    const std::vector<std::pair<std::string, Variant>>& fields) {
    std::vector<std::int64_t> filled(fields.size(), -1);
    TableState* t = LocalTable(c, table);
    if (!t) return filled;
    const bool rules = HasValidationRules(*t);
    // Every field's Nulls are counted; those of the fields whose saves could not be refused are completed,
    // each with its value as stored. A field without a Null has nothing to complete, whatever its saves.
    // On a table whose values wait for the compaction anyway, a field that no index holds is completed
    // without counting its Nulls: the compaction, or the write that stores the values first, counts them as
    // it reads every row. Its Nulls cost no read of their own here.
    const bool waits = t->HasDeferred();
    std::vector<std::size_t> counted;
    std::vector<std::optional<Variant>> taken(fields.size());
    std::string counts; // dao_nulls(...), a call for each kMaxNullCounts fields
    std::vector<std::pair<std::size_t, std::int64_t>> throughIndexes; // counted by an index's first column
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDef* f = t->FindField(fields[i].first);
        if (!f) continue;
        const bool indexed = std::any_of(t->indexes.begin(), t->indexes.end(),
                                         [&](const IndexDef& ix) { return Holds(ix, f->name); });
        const bool unique = std::any_of(t->indexes.begin(), t->indexes.end(), [&](const IndexDef& ix) {
            return (ix.unique || ix.primary) && Holds(ix, f->name);
        });
        const bool leads = std::any_of(t->indexes.begin(), t->indexes.end(), [&](const IndexDef& ix) {
            return ix.built && !ix.sqlName.empty() && SameName(ix.fields.front(), f->name);
        });
        const auto count = [&] {
            if (waits && leads) {
                // The first column of a built index: its Nulls are found in the index, without a read of
                // the table, which then may need none at all.
                sqlite3_stmt* q = c.Prepare("SELECT count(*) FROM " + QuoteName(t->name) + " WHERE " +
                                            QuoteName(f->name) + " IS NULL");
                if (sqlite3_step(q) == SQLITE_ROW) throughIndexes.emplace_back(i, sqlite3_column_int64(q, 0));
                sqlite3_reset(q);
                return;
            }
            const bool first = counted.size() % kMaxNullCounts == 0;
            counts += std::string(first ? (counts.empty() ? "dao_nulls(" : "), dao_nulls(") : ", ") +
                      QuoteName(f->name);
            counted.push_back(i);
        };
        if (rules || unique) {
            count();
            continue;
        }
        Variant stored;
        try {
            stored = ToStorage(fields[i].second, *f);
        } catch (const Error&) {
            count();
            continue;
        }
        if (stored.IsNull() || ((f->type == dbText || f->type == dbMemo) && !f->allowZeroLength &&
                                stored.kind() == Variant::Kind::String && stored.RawString().empty())) {
            count();
            continue;
        }
        taken[i] = std::move(stored);
        if (waits && !indexed)
            filled[i] = kNullsCountedLater;
        else
            count();
    }
    for (const auto& [i, nulls] : throughIndexes)
        if (nulls == 0 || taken[i]) filled[i] = nulls;
    if (counted.empty()) return Complete(c, *t, fields, taken, filled);
    // The Nulls of every other field in one read of the table.
    sqlite3_stmt* s = c.Prepare("SELECT " + counts + ") FROM " + QuoteName(t->name));
    if (sqlite3_step(s) == SQLITE_ROW)
        for (std::size_t k = 0; k < counted.size(); ++k) {
            const int column = static_cast<int>(k / kMaxNullCounts);
            std::int64_t nulls = 0; // a table without rows has none
            if (sqlite3_column_type(s, column) == SQLITE_BLOB)
                std::memcpy(&nulls,
                            static_cast<const char*>(sqlite3_column_blob(s, column)) + k % kMaxNullCounts * 8,
                            sizeof nulls);
            if (nulls == 0 || taken[counted[k]]) filled[counted[k]] = nulls;
        }
    sqlite3_reset(s);
    return Complete(c, *t, fields, taken, filled);
}

} // namespace ledrana::dao::detail

namespace ledrana::dao {

void RegisterArchiveFunctions(sqlite3* db) {
    RegisterJetFunctions(db);
    detail::RegisterEngineFunctions(db);
}

} // namespace ledrana::dao
