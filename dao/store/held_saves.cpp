// The row writes of a connection: the generations of its tables, and the saves of one recordset's walk
// held back to go to SQLite together.

#include "dao/store/internal.h"

#include <algorithm>
#include <string>
#include <vector>

namespace ledrana::dao::detail {

std::uint64_t* Connection::TableGeneration(std::string_view table) {
    return &tableGenerations[Upper(table)];
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

} // namespace ledrana::dao::detail
