// The compaction's copy of an archive file.

#include "dao/store/compaction.h"

#include "dao/sql/jetsql.h"
#include "dao/store/internal.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <algorithm>
#include <optional>

namespace ledrana::dao::detail {

namespace {

// True when the compaction must write a table anew rather than copy it as stored: it has columns of
// deleted fields, values computed until now, or indexes waiting to be built.
bool Rewritten(const TableState& t) {
    return !t.IsSystem() && !t.IsAttached() && (!t.hidden.empty() || t.HasDeferred());
}

// The first value that `sql` reads, as an integer.
std::int64_t ValueOf(Connection& c, const std::string& sql) {
    sqlite3_stmt* s = c.Prepare(sql);
    std::int64_t v = 0;
    if (sqlite3_step(s) == SQLITE_ROW) v = sqlite3_column_int64(s, 0);
    sqlite3_reset(s);
    return v;
}

// Compacts the file `src` into the new file `dst` as VACUUM INTO does (each table and its indexes copied
// in rowid order), except that the tables the catalog `cat` says are to be rewritten are written with their
// fields only, computed values stored, in the same pass, their indexes built from the catalog; the catalog
// forgets the hidden columns.
std::vector<CompletedNulls> CompactRewriting(const std::string& src, const std::string& dst,
                                             const std::string& shown, const Catalog& cat) {
    std::vector<CompletedNulls> completed;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(
        dst.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
        nullptr);
    Connection c;
    c.db = SqliteDb(raw);
    if (rc != SQLITE_OK) ThrowJet(3051, shown);
    sqlite3_extended_result_codes(raw, 1);
    // The computed values of the source are read through this connection.
    RegisterJetFunctions(raw);
    RegisterEngineFunctions(raw);
    try {
        c.Exec("ATTACH DATABASE " + SqlLiteral(SqliteUri(src, true)) + " AS src");
        c.Exec("PRAGMA main.page_size=" + std::to_string(ValueOf(c, "PRAGMA src.page_size")));
        c.Exec("PRAGMA main.auto_vacuum=" + std::to_string(ValueOf(c, "PRAGMA src.auto_vacuum")));
        c.Exec("PRAGMA main.journal_mode=OFF");
        c.Exec("PRAGMA main.synchronous=FULL");
        c.Exec("PRAGMA cache_size=-16384");
        const std::int64_t userVersion = ValueOf(c, "PRAGMA src.user_version");
        const std::int64_t applicationId = ValueOf(c, "PRAGMA src.application_id");
        c.Exec("BEGIN");
        struct Entry {
            std::string type, name, table, sql;
        };
        std::vector<Entry> schema;
        bool sequence = false;
        {
            sqlite3_stmt* s = c.Prepare("SELECT type, name, tbl_name, sql FROM src.sqlite_schema "
                                        "WHERE sql IS NOT NULL ORDER BY rowid");
            auto text = [&](int i) {
                const unsigned char* p = sqlite3_column_text(s, i);
                return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
            };
            while (sqlite3_step(s) == SQLITE_ROW) {
                Entry e{text(0), text(1), text(2), text(3)};
                if (e.name.rfind("sqlite_", 0) == 0) {
                    sequence = sequence || e.name == "sqlite_sequence";
                    continue;
                }
                schema.push_back(std::move(e));
            }
            sqlite3_reset(s);
        }
        auto indexesOf = [&](const std::string& table) {
            for (const Entry& e : schema)
                if (e.type == "index" && e.table == table) c.Exec(e.sql);
        };
        for (const Entry& e : schema) {
            if (e.type != "table") continue;
            const std::string T = QuoteName(e.name);
            if (SameName(e.name, "MSysFields")) {
                c.Exec(e.sql);
                indexesOf(e.table);
                c.Exec("INSERT INTO main.MSysFields SELECT * FROM src.MSysFields WHERE NOT Ordinal < 0");
                continue;
            }
            const TableState* t = nullptr;
            for (const TableState& x : cat.tables)
                if (SameName(x.name, e.name) && Rewritten(x)) t = &x;
            const bool columnsAsStored =
                !t || (t->hidden.empty() && std::none_of(t->fields.begin(), t->fields.end(),
                                                         [](const FieldDef& f) { return f.derived; }));
            if (columnsAsStored) {
                // Rows and index entries copied as they are stored, then any index that waits built.
                c.Exec(e.sql);
                indexesOf(e.table);
                c.Exec("INSERT INTO main." + T + " SELECT * FROM src." + T);
                if (t)
                    for (const IndexDef& ix : t->indexes)
                        if (!ix.built && !ix.sqlName.empty()) c.Exec(IndexSql(*t, ix));
                continue;
            }
            // The table anew: its fields in their order, each a stored column of its type (so that a table
            // comes out the same whatever changes it went through), then any other column of the source;
            // the rows with the values the source reads; then its indexes.
            std::string decls, cols;
            std::string selected; // what the source gives for each column
            const auto add = [&](const std::string& name, const std::string& decl, const std::string& value) {
                decls += (decls.empty() ? "" : ", ") + QuoteName(name) + " " + decl;
                cols += (cols.empty() ? "" : ", ") + QuoteName(name);
                selected += (selected.empty() ? "" : ", ") + value;
            };
            // The Nulls that the stored values complete, counted as the rows go by where they were not yet:
            // a field still computed as its column's Nulls completed (it reads that column alone) is read as
            // that column, its own value taken and counted only where the column is Null. The others are
            // counted in the condition of the copy.
            std::vector<std::pair<std::string, std::string>> source; // the source's columns and their types
            {
                sqlite3_stmt* s = c.Prepare("SELECT name, type FROM pragma_table_xinfo(?, 'src')");
                sqlite3_bind_text(s, 1, e.name.data(), static_cast<int>(e.name.size()), SQLITE_TRANSIENT);
                while (sqlite3_step(s) == SQLITE_ROW) {
                    const unsigned char* type = sqlite3_column_text(s, 1);
                    source.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                                        type ? reinterpret_cast<const char*>(type) : "");
                }
                sqlite3_reset(s);
            }
            std::vector<const TableState::NullFill*> uncounted;
            std::vector<bool> inCondition;
            const std::optional<std::vector<ComputedColumn>> computed = ComputedColumns(e.sql);
            const auto readsAlone = [&](const std::string& field, const std::string& column) {
                if (!computed) return false;
                for (const ComputedColumn& cc : *computed)
                    if (SameName(cc.name, field))
                        return cc.reads.size() == 1 && SameName(cc.reads.front(), column);
                return false;
            };
            for (const TableState::NullFill& f : t->fills) {
                if (f.count >= 0) {
                    completed.push_back({t->name, f.field, f.count});
                    continue;
                }
                uncounted.push_back(&f);
                inCondition.push_back(true);
            }
            for (const FieldDef& f : t->fields) {
                std::string value = QuoteName(f.name);
                for (std::size_t k = 0; k < uncounted.size(); ++k) {
                    if (!inCondition[k] || !SameName(uncounted[k]->field, f.name) ||
                        !readsAlone(f.name, uncounted[k]->column))
                        continue;
                    // Where the column is Null, the field's own value (its completion), counted.
                    value = CountedNull(k, uncounted[k]->column, value);
                    inCondition[k] = false;
                }
                add(f.name, ColumnDecl(f), value);
            }
            for (const auto& [name, type] : source)
                if (!t->FindField(name) && !t->Hides(name)) add(name, type, QuoteName(name));
            c.Exec("CREATE TABLE main." + T + " (" + decls + ")");
            // The rows in their order, each under its rowid. Rowids 1 to n are the ones SQLite gives rows
            // appended in that order to the new table, which costs a third less than giving each its own.
            const bool numbered = ValueOf(c, "SELECT (SELECT min(rowid) FROM src." + T +
                                                 ") = 1 AND (SELECT max(rowid) FROM src." + T +
                                                 ") = (SELECT count(*) FROM src." + T + ")") != 0;
            const std::string copied = numbered ? cols : "rowid, " + cols;
            // A column the source does not have (a catalog this engine did not write) has nothing to count.
            std::string tally;
            std::vector<bool> counted(uncounted.size(), true);
            for (std::size_t k = 0; k < uncounted.size(); ++k) {
                if (!inCondition[k]) continue;
                counted[k] = std::any_of(source.begin(), source.end(), [&](const auto& column) {
                    return column.first == uncounted[k]->column;
                });
                if (counted[k])
                    tally += std::string(tally.empty() ? " WHERE " : " AND ") +
                             CountedNull(k, uncounted[k]->column, "1") + " IS NOT NULL";
            }
            std::vector<std::int64_t> counts(uncounted.size(), 0);
            sqlite3_stmt* insert = c.Prepare("INSERT INTO main." + T + " (" + copied + ") SELECT " +
                                             (numbered ? selected : "rowid, " + selected) + " FROM src." + T +
                                             tally + " ORDER BY rowid");
            {
                const NullTally counting(counts);
                rc = sqlite3_step(insert);
                sqlite3_reset(insert);
            }
            if (rc != SQLITE_DONE) ThrowSqlite(raw, rc, shown);
            for (std::size_t k = 0; k < uncounted.size(); ++k)
                if (counted[k]) completed.push_back({t->name, uncounted[k]->field, counts[k]});
            for (const IndexDef& ix : t->indexes)
                if (!ix.sqlName.empty()) c.Exec(IndexSql(*t, ix));
        }
        for (const Entry& e : schema)
            if (e.type == "view" || e.type == "trigger") c.Exec(e.sql);
        if (sequence) {
            c.Exec("DELETE FROM main.sqlite_sequence");
            c.Exec("INSERT INTO main.sqlite_sequence SELECT * FROM src.sqlite_sequence");
        }
        c.Exec("PRAGMA main.user_version=" + std::to_string(userVersion));
        c.Exec("PRAGMA main.application_id=" + std::to_string(applicationId));
        c.Exec("COMMIT");
        c.cache.clear();
        c.Exec("DETACH DATABASE src");
        return completed;
    } catch (...) {
        c.cache.clear();
        c.db.reset();
        try {
            platform::Kill(platform::WindowsPath(dst));
        } catch (const Error&) {
        }
        throw;
    }
}

} // namespace

std::vector<CompletedNulls> WriteCompacted(SqliteDb db, const std::string& src, const std::string& dst,
                                           const std::string& source, const std::string& destination) {
    Connection reader;
    reader.db = std::move(db);
    reader.LoadCatalog();
    if (std::any_of(reader.catalog.tables.begin(), reader.catalog.tables.end(), Rewritten)) {
        const Catalog cat = reader.catalog;
        reader.cache.clear();
        reader.db.reset();
        return CompactRewriting(src, dst, destination, cat);
    } else {
        reader.cache.clear();
        db = std::move(reader.db);
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db.get(), "VACUUM INTO ?", -1, &raw, nullptr);
        Stmt s(raw);
        if (rc != SQLITE_OK) ThrowSqlite(db.get(), rc, source);
        // Named as a URI: a source held in memory would otherwise make its copy in memory too.
        const std::string target = SqliteUri(dst, false);
        sqlite3_bind_text(s.get(), 1, target.data(), static_cast<int>(target.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(s.get());
        if (rc != SQLITE_DONE) ThrowSqlite(db.get(), rc, destination);
        s.reset();
        db.reset();
    }
    return {};
}

} // namespace ledrana::dao::detail
