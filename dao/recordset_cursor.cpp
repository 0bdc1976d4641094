// Recordsets: the cursor, table-type walks by rowid in chunks and dynasets over a running SELECT.

#include "dao/recordset_impl.h"
#include "dao/store/internal.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <optional>

namespace ledrana::dao::detail {

namespace {

constexpr int kChunk = 256;

} // namespace

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

} // namespace ledrana::dao::detail
