// bench-dao [ROWS] [FOLDER]: times the engine and a raw SQLite baseline on the same work, in one run, on a
// table of ROWS rows (default 1,000,000) and 10 fields, in FOLDER (default bench-work/dao in the build
// folder). Prints
//   NAME ours=SECONDS baseline=SECONDS ratio=R
// for walk_edit_update, execute_update, addnew_update and compact, then peak_rss_mb=M.

#include "bench/measure.h"
#include "dao/dao.h"
#include "platform/error.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace {

using namespace ledrana::dao;
using namespace ledrana::bench;
const char* kTable = "CREATE TABLE T (A LONG, B LONG, C DOUBLE, D TEXT(20), E TEXT(50), F DATETIME, G "
                     "CURRENCY, H SHORT, I YESNO, "
                     "J TEXT(10))";
const char* kRawTable = "CREATE TABLE T (A INTEGER, B INTEGER, C REAL, D TEXT COLLATE NOCASE, E TEXT COLLATE "
                        "NOCASE, F REAL, G REAL, "
                        "H INTEGER, I INTEGER, J TEXT COLLATE NOCASE)";

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        throw ledrana::Error(3000, sqlite3_errmsg(db));
    }
}

sqlite3* OpenRaw(const std::string& path) {
    sqlite3* db = nullptr;
    Check(db, sqlite3_open(path.c_str(), &db));
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-16384", nullptr,
                 nullptr, nullptr);
    return db;
}

std::string Text(const char* prefix, long i) {
    return prefix + std::to_string(i);
}

void RemoveFile(DBEngine& engine, const std::string& path) {
    std::remove(engine.HostPath(path).c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = ledrana::bench::HelpOrUsage(
            argc, argv,
            "usage: bench-dao [ROWS] [FOLDER]\n"
            "  ROWS        rows of the table (default 1000000)\n"
            "  FOLDER      scratch folder (default bench-work/dao in the build folder)\n"
            "  -h, --help  prints this text\n",
            2))
        return *status;
    long rows = argc > 1 ? std::stol(argv[1]) : 1000000;
    std::string folder = argc > 2 ? argv[2] : LEDRANA_BENCH_WORK;
    std::string ours = folder + "/bench-ours.mdb", raw = folder + "/bench-raw.db";
    std::string oursCompact = folder + "/bench-ours-compact.mdb",
                rawCompact = folder + "/bench-raw-compact.db";
    try {
        DBEngine engine;
        for (const auto& p : {ours, raw, oursCompact, rawCompact})
            RemoveFile(engine, p);
        std::printf("rows=%ld fields=10\n", rows);

        // AddNew / Update of every row.
        Database db = engine.CreateDatabase(ours);
        db.Execute(kTable);
        auto t0 = Clock::now();
        {
            Recordset rs = db.OpenRecordset("T");
            Fields f = rs.Fields();
            Field a = f["A"], b = f["B"], c = f["C"], d = f["D"], e = f["E"], fd = f["F"], g = f["G"],
                  h = f["H"], i = f["I"], j = f["J"];
            for (long k = 0; k < rows; ++k) {
                rs.AddNew();
                a.SetValue(static_cast<int>(k));
                b.SetValue(static_cast<int>(k % 1000));
                c.SetValue(k * 0.5);
                d.SetValue(Text("cod", k));
                e.SetValue(Text("descrizione della riga ", k));
                fd.SetValue(Variant::FromDate(40000.0 + static_cast<double>(k % 3000)));
                g.SetValue(Variant::FromCurrencyScaled(k * 125));
                h.SetValue(static_cast<int>(k % 30000));
                i.SetValue((k & 1) != 0);
                j.SetValue(Text("j", k % 97));
                rs.Update();
            }
            rs.Close();
        }
        double oursAdd = Seconds(t0);
        sqlite3* rdb = OpenRaw(raw);
        Check(rdb, sqlite3_exec(rdb, kRawTable, nullptr, nullptr, nullptr));
        t0 = Clock::now();
        {
            sqlite3_exec(rdb, "BEGIN", nullptr, nullptr, nullptr);
            sqlite3_stmt* s = nullptr;
            Check(rdb,
                  sqlite3_prepare_v2(rdb, "INSERT INTO T VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &s, nullptr));
            for (long k = 0; k < rows; ++k) {
                std::string d = Text("cod", k), e = Text("descrizione della riga ", k), j = Text("j", k % 97);
                sqlite3_bind_int64(s, 1, k);
                sqlite3_bind_int64(s, 2, k % 1000);
                sqlite3_bind_double(s, 3, k * 0.5);
                sqlite3_bind_text(s, 4, d.data(), static_cast<int>(d.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(s, 5, e.data(), static_cast<int>(e.size()), SQLITE_TRANSIENT);
                sqlite3_bind_double(s, 6, 40000.0 + static_cast<double>(k % 3000));
                sqlite3_bind_double(s, 7, static_cast<double>(k * 125) / 10000.0);
                sqlite3_bind_int64(s, 8, k % 30000);
                sqlite3_bind_int64(s, 9, (k & 1) ? -1 : 0);
                sqlite3_bind_text(s, 10, j.data(), static_cast<int>(j.size()), SQLITE_TRANSIENT);
                Check(rdb, sqlite3_step(s));
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            sqlite3_exec(rdb, "COMMIT", nullptr, nullptr, nullptr);
        }
        double baseAdd = Seconds(t0);

        // A walk with Edit / Update of every row.
        t0 = Clock::now();
        {
            Recordset rs = db.OpenRecordset("T");
            Fields f = rs.Fields();
            Field a = f["A"], b = f["B"], e = f["E"];
            while (!rs.Eof()) {
                rs.Edit();
                b.SetValue(a.Value().ToLong() + 1);
                e.SetValue("cambiata " + a.Value().ToString());
                rs.Update();
                rs.MoveNext();
            }
            rs.Close();
        }
        double oursWalk = Seconds(t0);
        t0 = Clock::now();
        {
            sqlite3_exec(rdb, "BEGIN", nullptr, nullptr, nullptr);
            sqlite3_stmt *sel = nullptr, *upd = nullptr;
            Check(rdb, sqlite3_prepare_v2(rdb, "SELECT rowid, A, B, C, D, E, F, G, H, I, J FROM T", -1, &sel,
                                          nullptr));
            Check(rdb,
                  sqlite3_prepare_v2(rdb, "UPDATE T SET B = ?, E = ? WHERE rowid = ?", -1, &upd, nullptr));
            while (sqlite3_step(sel) == SQLITE_ROW) {
                long a = sqlite3_column_int64(sel, 1);
                std::string e = "cambiata " + std::to_string(a);
                sqlite3_bind_int64(upd, 1, a + 1);
                sqlite3_bind_text(upd, 2, e.data(), static_cast<int>(e.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int64(upd, 3, sqlite3_column_int64(sel, 0));
                Check(rdb, sqlite3_step(upd));
                sqlite3_reset(upd);
            }
            sqlite3_finalize(sel);
            sqlite3_finalize(upd);
            sqlite3_exec(rdb, "COMMIT", nullptr, nullptr, nullptr);
        }
        double baseWalk = Seconds(t0);

        // One UPDATE statement over the table.
        t0 = Clock::now();
        db.Execute("update T set A=B");
        db.Close(); // commits
        double oursExec = Seconds(t0);
        t0 = Clock::now();
        Check(rdb, sqlite3_exec(rdb, "UPDATE T SET A=B", nullptr, nullptr, nullptr));
        double baseExec = Seconds(t0);

        // Compaction.
        t0 = Clock::now();
        engine.CompactDatabase(ours, oursCompact);
        double oursCompactTime = Seconds(t0);
        t0 = Clock::now();
        Check(rdb,
              sqlite3_exec(rdb, ("VACUUM INTO '" + rawCompact + "'").c_str(), nullptr, nullptr, nullptr));
        double baseCompact = Seconds(t0);
        sqlite3_close(rdb);

        Line("walk_edit_update", oursWalk, baseWalk);
        Line("execute_update", oursExec, baseExec);
        Line("addnew_update", oursAdd, baseAdd);
        Line("compact", oursCompactTime, baseCompact);
        std::printf("peak_rss_mb=%ld\n", static_cast<long>(PeakRssMb()));
        for (const auto& p : {ours, raw, oursCompact, rawCompact})
            RemoveFile(engine, p);
    } catch (const ledrana::Error& e) {
        std::fprintf(stderr, "%d %s\n", e.number(), e.description().c_str());
        return 1;
    }
    return 0;
}
