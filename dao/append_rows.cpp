// Rows appended from a table to a table of another database (or of the same one): one statement reads the
// source's rows on its connection, one prepared INSERT writes them on the destination's, with no Recordset
// objects between them. A value that the destination stores exactly as the source gives it is bound as it
// is; any other goes through the conversions of a Recordset's read and save.

#include "dao/objects_internal.h"
#include "dao/sql/jetsql.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace ledrana::dao {

using namespace detail;

namespace {

// Where the value of one field of the new rows comes from, and the checks it passes.
struct Target {
    enum class From { Column, Position, Counter, Constant } from = From::Constant;
    FieldDef field;   // of the destination
    FieldDef source;  // From::Column: the source's field
    int column = -1;  // From::Column: its column in the read
    Variant constant; // From::Constant: the field's default value
    bool required = false, noZeroLength = false, inKey = false;
};

// Rows written many to one INSERT statement (SQLite's per-statement work is most of a one-row insert's).
constexpr int kRowsPerInsert = 64;

// The new rows, bound from the source's reads and written in batches. A row is checked as it is bound, a
// batch written once whole: when rows of one batch break different rules, the error told may be a later
// row's.
struct Writer {
    Writer(Connection& c, const TableState& t) : to(c), target(t) {}
    Connection& to;
    const TableState& target;
    std::vector<Target> targets;
    std::string insert, tuple; // "INSERT INTO T (...) VALUES ", "(?, ...)"
    int filter = -1;    // the column that must not be Null, when the read does not leave those rows out
    int rowid = 0;      // the column of the source's rowid
    bool rules = false; // validation rules, which read the values as Variants
    std::vector<Variant> values;
    std::int64_t position = 0; // of the last row read among all the source's rows
    std::int64_t rows = 0;     // written
    // The destination's next counter value before the batch being bound: the rows left over are bound again.
    std::optional<std::int64_t> counterBefore;

    Stmt Statement(int batch) {
        std::string sql = insert;
        for (int i = 0; i < batch; ++i)
            sql += (i ? ", " : "") + tuple;
        return to.PrepareJet(sql);
    }

    // Binds the values of the row `r` stands on as the batch's row `slot`, checked as a save checks them.
    void Bind(sqlite3_stmt* r, sqlite3_stmt* w, int slot) {
        bool nullKey = false;
        for (std::size_t k = 0; k < targets.size(); ++k) {
            const Target& t = targets[k];
            const int at = slot * static_cast<int>(targets.size()) + static_cast<int>(k) + 1;
            bool isNull = false, isEmpty = false;
            if (t.from == Target::From::Column && !rules &&
                StoredAsIs(sqlite3_column_value(r, t.column), t.source.type, t.field.type, t.field.size)) {
                const int type = sqlite3_column_type(r, t.column);
                sqlite3_bind_value(w, at, sqlite3_column_value(r, t.column));
                isNull = type == SQLITE_NULL;
                isEmpty = type == SQLITE_TEXT && sqlite3_column_bytes(r, t.column) == 0;
                if (!isNull && t.field.IsCounter())
                    to.NoteCounterValue(target, sqlite3_column_int64(r, t.column));
            } else {
                Variant v;
                switch (t.from) {
                case Target::From::Column:
                    v = ToStorage(FromColumn(r, t.column, &t.source), t.field);
                    break;
                case Target::From::Position:
                    v = ToStorage(Variant(static_cast<long long>(position)), t.field);
                    break;
                case Target::From::Counter:
                    v = Variant::FromLong(static_cast<std::int32_t>(to.NextCounter(target, t.field)));
                    break;
                case Target::From::Constant:
                    v = t.constant;
                    break;
                }
                BindVariant(w, at, v);
                isNull = v.IsNull();
                isEmpty = v.kind() == Variant::Kind::String && v.RawString().empty();
                if (!isNull && t.field.IsCounter() && t.from != Target::From::Counter)
                    to.NoteCounterValue(target, static_cast<std::int64_t>(v.ToDouble()));
                if (rules) values[k] = std::move(v);
            }
            if (isNull) {
                if (t.required) ThrowJet(3314, t.field.name);
                nullKey = nullKey || t.inKey;
            } else if (isEmpty && t.noZeroLength) {
                ThrowJet(3315, t.field.name);
            }
        }
        if (nullKey) ThrowJet(3058);
        if (rules) CheckValidationRules(to, target, [&](std::size_t i) { return values[i]; });
    }

    void Write(sqlite3_stmt* w, int batch) {
        const int rc = sqlite3_step(w);
        sqlite3_reset(w);
        if (rc != SQLITE_DONE) ThrowSqlite(to.handle(), rc, target.name);
        rows += batch;
    }

    // Copies the rows `r` reads, `batch` to each run of `w`. Returns how many of the last ones are left
    // unwritten (fewer than a batch), the first one's rowid in `firstLeft`, and the position before it.
    int Pump(Connection& from, sqlite3_stmt* r, sqlite3_stmt* w, int batch, std::int64_t& firstLeft,
             std::int64_t& positionLeft) {
        int pending = 0, rc;
        while ((rc = sqlite3_step(r)) == SQLITE_ROW) {
            ++position;
            if (filter >= 0 && sqlite3_column_type(r, filter) == SQLITE_NULL) continue;
            if (pending == 0) {
                firstLeft = sqlite3_column_int64(r, rowid);
                positionLeft = position - 1;
                counterBefore = to.CounterMark(target);
            }
            Bind(r, w, pending);
            if (++pending == batch) {
                Write(w, batch);
                pending = 0;
            }
        }
        if (rc != SQLITE_DONE) ThrowSqlite(from.handle(), rc);
        return pending;
    }
};

// Appends the rows, inside the destination's savepoint; the tables' SQL names are made already.
std::int64_t Append(Connection& from, const std::string& sourceName, const std::string& sourceData,
                    Connection& to, const std::string& targetName, const std::string& targetData,
                    const RowCopy& copy) {
    const TableState& source = *from.catalog.FindTable(sourceName);
    Writer out(to, *to.catalog.FindTable(targetName));
    const TableState& target = out.target;
    std::string select;
    int columns = 0;
    const auto read = [&](const std::string& column) {
        select += (columns ? ", " : "") + column;
        return columns++;
    };
    // The fields copied, by the destination's field each goes to.
    std::vector<const FieldDef*> copied(target.fields.size(), nullptr);
    std::vector<int> columnOf(target.fields.size(), -1);
    const auto copyField = [&](const std::string& name, const std::string& into) {
        const FieldDef* f = source.FindField(name);
        if (!f) ThrowJet(3265, name);
        const int i = target.FieldIndex(into.empty() ? f->name : into);
        if (i < 0) ThrowJet(3265, into.empty() ? f->name : into);
        if (copied[static_cast<std::size_t>(i)]) return;
        copied[static_cast<std::size_t>(i)] = f;
        columnOf[static_cast<std::size_t>(i)] = read(QuoteName(f->name));
    };
    if (!copy.into.empty() && copy.into.size() != copy.fields.size()) ThrowJet(3219);
    if (copy.fields.empty())
        for (const FieldDef& f : source.fields)
            copyField(f.name, {});
    for (std::size_t k = 0; k < copy.fields.size(); ++k)
        copyField(copy.fields[k], copy.into.empty() ? std::string() : copy.into[k]);
    const int position = copy.position.empty() ? -1 : target.FieldIndex(copy.position);
    if (!copy.position.empty() && position < 0) ThrowJet(3265, copy.position);
    if (position >= 0 && copied[static_cast<std::size_t>(position)]) ThrowJet(3219);

    std::string names, marks;
    for (std::size_t i = 0; i < target.fields.size(); ++i) {
        Target t;
        t.field = target.fields[i];
        if (copied[i]) {
            t.from = Target::From::Column;
            t.source = *copied[i];
            t.column = columnOf[i];
        } else if (static_cast<int>(i) == position) {
            t.from = Target::From::Position;
        } else if (t.field.IsCounter()) {
            t.from = Target::From::Counter;
        } else {
            t.constant = DefaultValueOf(to, t.field).value_or(Variant::Null());
        }
        t.required = t.field.required;
        t.noZeroLength = (t.field.type == dbText || t.field.type == dbMemo) && !t.field.allowZeroLength;
        for (const IndexDef& ix : target.indexes)
            if (ix.primary || ix.required)
                for (const std::string& name : ix.fields)
                    t.inKey = t.inKey || SameName(name, t.field.name);
        names += (i ? ", " : "") + QuoteName(t.field.name);
        marks += i ? ", ?" : "?";
        out.targets.push_back(std::move(t));
    }
    out.insert = "INSERT INTO " + targetData + " (" + names + ") VALUES ";
    out.tuple = "(" + marks + ")";
    out.rules = HasValidationRules(target);
    out.values.resize(out.rules ? out.targets.size() : 0);

    // Only rows with a value: left out by the read unless every row counts for the positions.
    std::string where;
    if (!copy.nonNull.empty()) {
        const FieldDef* f = source.FindField(copy.nonNull);
        if (!f) ThrowJet(3265, copy.nonNull);
        if (position >= 0)
            out.filter = read(QuoteName(f->name));
        else
            where = QuoteName(f->name) + " IS NOT NULL";
    }
    // The source's file attached to the destination's connection (Database::AttachForCopies): the rows in
    // one statement when each value goes as it is, with no check of a save to make. A value that a save
    // would convert, or any other error, has the rows copied one by one instead.
    const auto attached = to.attached.find(from.hostPath);
    const bool plain = attached != to.attached.end() && &from != &to && !source.IsAttached() && !out.rules &&
                       std::all_of(out.targets.begin(), out.targets.end(), [](const Target& t) {
                           return t.from == Target::From::Column && !t.field.IsCounter();
                       });
    // The rows are read from the file: the source must have no write pending.
    if (plain && !from.batchOpen && from.userDepth == 0 && !from.inDdl && !from.held.active &&
        sqlite3_get_autocommit(from.handle())) {
        std::string values, checks = where;
        for (const Target& t : out.targets) {
            const std::string column = QuoteName(t.source.name);
            values += (values.empty() ? "" : ", ") + column;
            // A field of the same type and size (a Decimal's precision and scale included), with no rule of
            // its own, takes the value as the source's field holds it: there is nothing for a save to convert
            // or refuse.
            if (t.source.type == t.field.type && StoredSize(t.source) == StoredSize(t.field) && !t.required &&
                !t.inKey && !t.noZeroLength)
                continue;
            checks += (checks.empty() ? "" : " AND ") + std::string("dao_as_is(") + column + ", " +
                      std::to_string(t.source.type) + ", " + std::to_string(t.field.type) + ", " +
                      std::to_string(t.field.size) + ", " +
                      std::to_string((t.required || t.inKey ? 1 : 0) | (t.noZeroLength ? 2 : 0)) + ")";
        }
        sqlite3_stmt* raw = nullptr;
        const std::string sql = "INSERT INTO " + targetData + " (" + names + ") SELECT " + values + " FROM " +
                                attached->second + "." + QuoteName(source.name) +
                                (checks.empty() ? "" : " WHERE " + checks) + " ORDER BY rowid";
        int rc = sqlite3_prepare_v2(to.handle(), sql.c_str(), -1, &raw, nullptr);
        Stmt insert(raw);
        if (rc == SQLITE_OK) rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE) return sqlite3_changes64(to.handle());
        insert.reset();
        to.Exec("ROLLBACK TO append_rows");
    }
    out.rowid = read("rowid");
    const auto reader = [&](const std::string& condition) {
        std::string sql = "SELECT " + select + " FROM " + sourceData;
        if (!where.empty() || !condition.empty())
            sql += " WHERE " + where + (where.empty() || condition.empty() ? "" : " AND ") + condition;
        return from.PrepareJet(sql + " ORDER BY rowid");
    };
    const int limit = sqlite3_limit(to.handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    const int batch = std::max(1, std::min(kRowsPerInsert, limit / static_cast<int>(out.targets.size())));
    std::int64_t firstLeft = 0, positionLeft = 0;
    int left = 0;
    {
        Stmt r = reader({}), w = out.Statement(batch);
        left = out.Pump(from, r.get(), w.get(), batch, firstLeft, positionLeft);
    }
    // The last rows, fewer than a batch, are read again and written one by one.
    if (left > 0) {
        Stmt r = reader("rowid >= ?"), w = out.Statement(1);
        sqlite3_bind_int64(r.get(), 1, firstLeft);
        out.position = positionLeft;
        to.RewindCounter(target, out.counterBefore);
        out.Pump(from, r.get(), w.get(), 1, firstLeft, positionLeft);
    }
    return out.rows;
}

} // namespace

std::int64_t AppendRows(const TableDef& source, const TableDef& destination, const RowCopy& copy) {
    TableDefImpl& s = Need(source.impl());
    TableDefImpl& d = Need(destination.impl());
    if (!s.appended || !d.appended) ThrowJet(3219);
    Connection& from = s.db->C();
    Connection& to = d.db->C();
    from.CheckFresh();
    if (&to != &from) to.CheckFresh();
    const std::string sourceName = s.State().name, targetName = d.State().name;
    if (&from == &to && SameName(sourceName, targetName)) ThrowJet(3219);
    if (d.State().IsSystem()) ThrowJet(3027);
    to.EnsureWritable();
    BeforeRowWrite(to, targetName, {}, true);
    // Attaching a file commits grouped writes: both names are made before the savepoint.
    const std::string sourceData = from.DataName(s.State());
    const std::string targetData = to.DataName(d.State());
    to.BeginWrite();
    to.Exec("SAVEPOINT append_rows");
    std::int64_t rows = 0;
    try {
        rows = Append(from, sourceName, sourceData, to, targetName, targetData, copy);
        to.Exec("RELEASE append_rows");
    } catch (...) {
        if (!sqlite3_get_autocommit(to.handle()))
            sqlite3_exec(to.handle(), "ROLLBACK TO append_rows; RELEASE append_rows", nullptr, nullptr,
                         nullptr);
        else
            to.AbandonTransaction();
        to.ForgetCounters(targetName);
        throw;
    }
    if (rows > 0) ++*to.TableGeneration(targetName);
    to.AfterWrite(rows);
    return rows;
}

} // namespace ledrana::dao
