// Recordsets: the values of the current row, the edit buffer and its validation, saves and deletions.

#include "dao/recordset_impl.h"
#include "dao/store/internal.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace ledrana::dao::detail {

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
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (cols[i].baseField >= 0) defaults[i] = DefaultValueOf(c, cols[i].def);
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

// Validation, as Jet does it when a record is saved: nothing is written.
void RecordsetImpl::CheckBeforeSave() {
    Connection& c = C();
    const TableState& t = Base();
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
}

void RecordsetImpl::Update() {
    Connection& c = C();
    if (!editMode) ThrowJet(3020);
    // An edited row whose values were not changed has nothing to save.
    if (editMode == 1 && std::find(dirty.begin(), dirty.end(), 1) == dirty.end()) {
        editMode = 0;
        return;
    }
    CheckBeforeSave();
    std::vector<std::string> written;
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (editMode == 1 && dirty[i] && cols[i].baseField >= 0)
            written.push_back(Base().fields[static_cast<std::size_t>(cols[i].baseField)].name);
    // The gate and the start of the write may read the catalog anew (the gate's structure change; a
    // transaction that SQLite ended by itself after a full disk, given up here with the structure changes
    // it held): the table's definition is looked up after them, and it must still have the recordset's
    // fields where the recordset has them.
    const std::uint64_t generation = c.catalogGeneration;
    BeforeRowWrite(c, baseTable, written, editMode == 2);
    c.BeginWrite();
    const TableState& t = Base();
    if (c.catalogGeneration != generation)
        for (const RsColumn& col : cols)
            if (col.baseField >= 0 &&
                (static_cast<std::size_t>(col.baseField) >= t.fields.size() ||
                 !SameName(t.fields[static_cast<std::size_t>(col.baseField)].name, col.sourceField)))
                ThrowJet(3420);
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

} // namespace ledrana::dao::detail
