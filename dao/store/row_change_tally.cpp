// The pre-update hook is declared only where it is asked for; the system library is built with it.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1

#include "dao/store/row_change_tally.h"

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"
#include "dao/store/values.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace ledrana::dao::detail {

// What SQLite's hook is given: the tally and the connection whose catalog names the tables.
struct RowChangeHook {
    RowChangeTally* tally;
    Connection* conn;
};

namespace {

// A digest of a stored value: its storage class and its bytes (1 and 1.0 differ, as do "a" and "A").
std::uint64_t Digest(sqlite3_value* v) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            h = (h ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211ull;
    };
    const int type = sqlite3_value_type(v);
    mix(&type, sizeof type);
    if (type == SQLITE_INTEGER) {
        const sqlite3_int64 i = sqlite3_value_int64(v);
        mix(&i, sizeof i);
    } else if (type == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(v);
        mix(&d, sizeof d);
    } else if (type == SQLITE_TEXT) {
        const unsigned char* p = sqlite3_value_text(v);
        mix(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
    } else if (type == SQLITE_BLOB) {
        const void* p = sqlite3_value_blob(v);
        mix(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
    }
    return h;
}

sqlite3_value* Old(sqlite3* db, int i) {
    sqlite3_value* v = nullptr;
    sqlite3_preupdate_old(db, i, &v);
    return v;
}

sqlite3_value* New(sqlite3* db, int i) {
    sqlite3_value* v = nullptr;
    sqlite3_preupdate_new(db, i, &v);
    return v;
}

// A stored value as a value of the field's type.
Variant Typed(const Variant& stored, const FieldDef* f) {
    if (!f || stored.IsNull()) return stored;
    try {
        if (std::optional<Variant> v = AsScalarType(f->type, stored)) return *v;
    } catch (const Error&) {
    }
    return stored;
}

bool SameValue(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull();
    return SameStoredValue(a, b);
}

// The primary key's values of a row, as one text ("" when a key field is Null or missing); without a
// primary key, all its values.
std::string KeyOf(const RowValues& row, const std::vector<std::string>& key) {
    std::string text;
    if (key.empty()) {
        for (const auto& [name, value] : row)
            text += value.Describe() + '\x1f';
        return text;
    }
    for (const std::string& k : key) {
        const Variant* found = nullptr;
        for (const auto& [name, value] : row)
            if (SameName(name, k)) found = &value;
        if (!found || found->IsNull()) return {};
        text += found->ToString();
        text += '\x1f';
    }
    return text;
}

} // namespace

void RowChangeTally::Start(Connection& c) {
    auto hook = std::make_shared<RowChangeHook>(RowChangeHook{this, &c});
    sqlite3_preupdate_hook(c.handle(), &RowChangeTally::OnWrite, hook.get());
    c.rowHook = std::move(hook);
}

void RowChangeTally::Stop(Connection& c) {
    sqlite3_preupdate_hook(c.handle(), nullptr, nullptr);
    c.rowHook.reset();
}

RowChangeTally::Table& RowChangeTally::TableNamed(const Connection& c, const std::string& name) {
    auto [it, fresh] = tables_.try_emplace(name);
    Table& t = it->second;
    if (!fresh) return t;
    order_.push_back(name);
    const TableState* state = const_cast<Catalog&>(c.catalog).FindTable(name);
    if (!state || state->IsSystem() || state->IsAttached()) return t;
    for (const FieldDef& f : state->fields)
        if (f.derived) return t; // its values are computed until the compaction: not a table written here
    t.watched = true;
    t.fields = state->fields;
    for (const IndexDef& i : state->indexes)
        if (i.primary) t.primaryKey = i.fields;
    return t;
}

void RowChangeTally::OnWrite(void* p, sqlite3* db, int op, const char* schema, const char* name,
                             sqlite3_int64 oldRowid, sqlite3_int64 newRowid) {
    const RowChangeHook& hook = *static_cast<RowChangeHook*>(p);
    if (std::strcmp(schema, "main") != 0) return;
    Table& t = hook.tally->TableNamed(*hook.conn, name);
    if (!t.watched) return;
    const int n = sqlite3_preupdate_count(db);
    if (op == SQLITE_INSERT) {
        auto [it, fresh] = t.rows.try_emplace(newRowid);
        Row& row = it->second;
        if (!fresh && row.deleted) {
            // A new row in the place of one removed: that one is gone, this one is new.
            t.gone.push_back(std::move(row.removed));
            row = Row{};
        }
        if (fresh || row.original.empty()) row.inserted = true;
        return;
    }
    auto it = t.rows.find(oldRowid);
    if (op == SQLITE_DELETE && it != t.rows.end() && it->second.inserted) {
        t.rows.erase(it); // added and removed again: nothing
        return;
    }
    if (it != t.rows.end() && it->second.inserted) return; // added under the watch: new as a whole
    // A row saved with the values it had (most rows of a walk that sets what it finds) leaves no trace.
    std::vector<int> differing;
    if (op == SQLITE_UPDATE)
        for (int i = 0; i < n; ++i)
            if (Digest(Old(db, i)) != Digest(New(db, i))) differing.push_back(i);
    if (op == SQLITE_UPDATE && differing.empty()) return;
    Row& row = it != t.rows.end() ? it->second : t.rows[oldRowid];
    auto first = [&](int i, sqlite3_value* before) {
        if (!row.original.emplace(i, Digest(before)).second) return;
        auto& firsts = t.firstBefore[i];
        if (firsts.size() < kFirst) firsts.emplace_back(oldRowid, FromValueRaw(before));
    };
    if (op == SQLITE_UPDATE) {
        for (int i : differing)
            first(i, Old(db, i));
        return;
    }
    if (op == SQLITE_DELETE) {
        for (int i = 0; i < n; ++i)
            first(i, Old(db, i));
        if (row.removed.empty())
            for (int i = 0; i < n; ++i)
                row.removed.push_back(FromValueRaw(Old(db, i)));
        row.deleted = true;
    }
}

std::vector<TableChanges> RowChangeTally::Read(sqlite3* db) const {
    std::vector<TableChanges> result;
    for (const std::string& name : order_) {
        const Table& t = tables_.at(name);
        if (!t.watched || t.rows.empty()) continue;
        sqlite3_stmt* raw = nullptr;
        const std::string sql = "SELECT * FROM main." + QuoteName(name) + " WHERE rowid = ?";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            continue; // the table is gone: what it held went with it, and the structure's report says so
        }
        Stmt s(raw);
        const int n = sqlite3_column_count(s.get());
        std::vector<const FieldDef*> fieldOf(static_cast<std::size_t>(n), nullptr);
        std::vector<std::string> names(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            names[i] = sqlite3_column_name(s.get(), i);
            for (const FieldDef& f : t.fields)
                if (SameName(f.name, names[i])) fieldOf[i] = &f;
        }
        auto rowValues = [&](auto valueAt) {
            RowValues row;
            for (int i = 0; i < n; ++i)
                if (fieldOf[i]) row.emplace_back(names[i], Typed(valueAt(i), fieldOf[i]));
            return row;
        };

        auto removedValues = [&](const std::vector<Variant>& values) {
            return rowValues([&](int i) {
                return static_cast<std::size_t>(i) < values.size() ? values[i] : Variant::Null();
            });
        };
        std::vector<int> columns; // the columns of RowValues, in their order
        for (int i = 0; i < n; ++i)
            if (fieldOf[i]) columns.push_back(i);

        TableChanges out;
        out.table = name;
        std::map<int, FieldChanges> fields;
        // A value changed; shown among the first only when the value before is known.
        auto changed = [&](int i, const Variant* before, const Variant& after) {
            FieldChanges& f = fields[i];
            f.field = names[i];
            ++f.rows;
            if (before && f.first.size() < kFirst) f.first.push_back({*before, after});
        };
        std::vector<RowValues> added, removed;
        for (const auto& [rowid, row] : t.rows) {
            sqlite3_reset(s.get());
            sqlite3_bind_int64(s.get(), 1, rowid);
            const bool exists = sqlite3_step(s.get()) == SQLITE_ROW;
            if (row.inserted) {
                if (exists) added.push_back(rowValues([&](int i) { return FromColumnRaw(s.get(), i); }));
                continue;
            }
            if (!exists) {
                if (!row.removed.empty()) removed.push_back(removedValues(row.removed));
                continue;
            }
            for (const auto& [i, digest] : row.original) {
                if (i >= n || !fieldOf[i] || Digest(sqlite3_column_value(s.get(), i)) == digest) continue;
                std::optional<Variant> before;
                if (auto f = t.firstBefore.find(i); f != t.firstBefore.end())
                    for (const auto& [firstRowid, value] : f->second)
                        if (firstRowid == rowid) before = Typed(value, fieldOf[i]);
                changed(i, before ? &*before : nullptr, Typed(FromColumnRaw(s.get(), i), fieldOf[i]));
            }
        }
        for (const std::vector<Variant>& values : t.gone)
            removed.push_back(removedValues(values));
        // A row removed and added again under the same primary key (without one, with the same values) is
        // the same row, with what changed in it.
        if (!added.empty() && !removed.empty()) {
            // Rows of the same key in the order removed (without a primary key, equal rows share one).
            std::map<std::string, std::vector<std::size_t>> removedAt;
            for (std::size_t r = 0; r < removed.size(); ++r)
                if (std::string key = KeyOf(removed[r], t.primaryKey); !key.empty())
                    removedAt[key].push_back(r);
            std::vector<bool> matched(removed.size(), false);
            std::vector<RowValues> unmatched;
            for (RowValues& a : added) {
                auto at = removedAt.find(KeyOf(a, t.primaryKey));
                if (at == removedAt.end() || at->second.empty()) {
                    unmatched.push_back(std::move(a));
                    continue;
                }
                const std::size_t r = at->second.front();
                at->second.erase(at->second.begin());
                matched[r] = true;
                const RowValues& before = removed[r];
                for (std::size_t k = 0; k < a.size(); ++k)
                    if (!SameValue(before[k].second, a[k].second))
                        changed(columns[k], &before[k].second, a[k].second);
            }
            added = std::move(unmatched);
            std::vector<RowValues> left;
            for (std::size_t r = 0; r < removed.size(); ++r)
                if (!matched[r]) left.push_back(std::move(removed[r]));
            removed = std::move(left);
        }
        out.added = static_cast<std::int64_t>(added.size());
        out.removed = static_cast<std::int64_t>(removed.size());
        // The rows shown name their primary key first, wherever the table keeps its fields.
        const auto keyFirst = [&t](RowValues row) {
            std::stable_partition(row.begin(), row.end(), [&t](const auto& field) {
                for (const std::string& k : t.primaryKey)
                    if (SameName(k, field.first)) return true;
                return false;
            });
            return row;
        };
        for (std::size_t r = 0; r < added.size() && r < kFirst; ++r)
            out.firstAdded.push_back(keyFirst(std::move(added[r])));
        for (std::size_t r = 0; r < removed.size() && r < kFirst; ++r)
            out.firstRemoved.push_back(keyFirst(std::move(removed[r])));
        for (auto& [i, f] : fields)
            out.fields.push_back(std::move(f));
        if (out.added || out.removed || !out.fields.empty()) result.push_back(std::move(out));
    }
    return result;
}

} // namespace ledrana::dao::detail
