// Archives that other programs hold, and commits that SQLite refuses. The other program is a second process:
// `daotool hold` (a program that keeps the archive open through the engine) or the sqlite3 tool inside a read
// transaction. I/O errors come from a SQLite VFS that passes every call to the real one until it is told to
// fail.

#include "dao_fixture.h"
#include "platform/filelock.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::dao;
using namespace ledrana::dao::testing;
using namespace ledrana::testing;

namespace {

// ---- a VFS that fails on demand ----------------------------------------------------------------------

enum class Fault { None, Sync, Full };
Fault g_fault = Fault::None;
sqlite3_vfs* g_real = nullptr;

// A file is the real VFS's own, opened in place, followed by this trailer.
struct Trailer {
    const sqlite3_io_methods* real;
    bool mainDb; // the database file itself (not its journal)
};
int TrailerOffset() {
    return (g_real->szOsFile + 7) / 8 * 8;
}
Trailer& TrailerOf(sqlite3_file* f) {
    return *reinterpret_cast<Trailer*>(reinterpret_cast<char*>(f) + TrailerOffset());
}

// The disk fills up when the commit writes the database file (the journal was written already).
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
    const Trailer& t = TrailerOf(f);
    return g_fault == Fault::Full && t.mainDb ? SQLITE_FULL : t.real->xWrite(f, b, n, o);
}
int Sync(sqlite3_file* f, int flags) {
    return g_fault == Fault::Sync ? SQLITE_IOERR_FSYNC : TrailerOf(f).real->xSync(f, flags);
}

// Every call passes to the real methods of the file, but writes and syncs, which fail on demand.
int ShimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    static std::map<const sqlite3_io_methods*, sqlite3_io_methods> patched;
    const int rc = g_real->xOpen(g_real, name, f, flags, outFlags);
    if (f->pMethods) {
        TrailerOf(f) = {f->pMethods, (flags & SQLITE_OPEN_MAIN_DB) != 0};
        sqlite3_io_methods& m = patched.try_emplace(f->pMethods, *f->pMethods).first->second;
        m.xWrite = Write;
        m.xSync = Sync;
        f->pMethods = &m;
    }
    return rc;
}

// Installs the failing VFS as SQLite's default for this test program.
void InstallShim() {
    static sqlite3_vfs shim;
    if (g_real) return;
    g_real = sqlite3_vfs_find(nullptr);
    shim = *g_real;
    shim.zName = "ledrana-test-faults";
    shim.szOsFile = TrailerOffset() + static_cast<int>(sizeof(Trailer));
    shim.xOpen = ShimOpen;
    sqlite3_vfs_register(&shim, 1);
}

// ---- an archive and the programs that hold it -------------------------------------------------------

class Sharing : public DaoTest {
public:
    void SetUp() override {
        DaoTest::SetUp();
        file_ = Path("Cont32.mdb");
        Database db = Create("Cont32.mdb", {"CREATE TABLE Conti (Codice LONG, Nome TEXT(40))"});
        for (int i = 1; i <= 3; ++i)
            db.Execute("INSERT INTO Conti VALUES (" + std::to_string(i) + ", 'conto " + std::to_string(i) +
                       "')");
        db.Close();
    }

    // `daotool hold`: the archive open through the engine in another process.
    std::unique_ptr<Background> EngineHolder() {
        auto h = std::make_unique<Background>(std::vector<std::string>{DAOTOOL, "hold", file_, "60"}, dir_);
        EXPECT_TRUE(h->WaitForLine("tengo aperto")) << h->output();
        return h;
    }
    // The sqlite3 tool inside a read transaction. It says nothing while it holds it: the test waits until
    // SQLite's lock bytes are taken.
    std::unique_ptr<Background> SqliteReader() {
        auto h = std::make_unique<Background>(std::vector<std::string>{"sqlite3", file_, "BEGIN;",
                                                                       "SELECT count(*) FROM Conti;",
                                                                       ".shell sleep 60"},
                                              dir_);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!platform::LockedElsewhere(file_, 0x40000000, 512) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(platform::LockedElsewhere(file_, 0x40000000, 512)) << h->output();
        return h;
    }

    // daotool on the archive (and on `more`), as another program runs it.
    CommandResult Daotool(const std::string& command, const std::string& more) {
        return RunWithPrefix(std::string(DAOTOOL) + " " + command + " " + ShellQuote(file_) + " " + more,
                             dir_);
    }

    std::int64_t Rows(Database& db) { return Scalar(db, "SELECT count(*) FROM Conti").ToLong(); }

    std::string file_;
};

TEST_F(Sharing, WhatAnotherProgramHoldsIsRefusedAndLeftAlone) {
    struct Holder {
        const char* name;
        std::function<std::unique_ptr<Background>(Sharing&)> start;
    } holders[] = {
        {"engine", [](Sharing& t) { return t.EngineHolder(); }},
        {"sqlite read transaction", [](Sharing& t) { return t.SqliteReader(); }},
    };
    for (const Holder& h : holders) {
        SCOPED_TRACE(h.name);
        const std::string before = TempPrefix::get(file_);
        auto holder = h.start(*this);
        DBEngine engine;
        const std::string copy = (dir_ / "copia.mdb").string();
        struct Operation {
            const char* name;
            std::function<void()> run;
            int number; // while the other program holds the file
            bool waits = true;
        } operations[] = {
            {"exclusive open", [&] { engine.OpenDatabase(file_, true).Close(); }, 3045},
            {"compaction", [&] { engine.CompactDatabase(file_, copy); }, 3356},
            {"reservation", [&] { engine.Reserve(file_); }, 3045},
            {"reservation without waiting", [&] { engine.Reserve(file_, {.wait = false}); }, 3045, false},
            {"shared open and read",
             [&] {
                 Database db = engine.OpenDatabase(file_);
                 EXPECT_EQ(Rows(db), 3);
                 db.Close();
             },
             0},
        };
        for (const Operation& op : operations) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(ErrorOf(op.run), op.number) << op.name;
            // Refused at once, or after the short busy wait.
            EXPECT_LT(std::chrono::steady_clock::now() - start,
                      op.waits ? std::chrono::seconds(5) : std::chrono::seconds(1))
                << op.name;
        }
        EXPECT_FALSE(fs::exists(copy));
        const std::string refusal = Failure([&] { engine.OpenDatabase(file_, true); });
        EXPECT_NE(refusal.find(file_), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("Chiudere il programma"), std::string::npos) << refusal;
        EXPECT_EQ(TempPrefix::get(file_), before);

        holder->Stop();
        for (const Operation& op : operations)
            EXPECT_EQ(ErrorOf(op.run), 0) << op.name << " after the other program let go";
        fs::remove(copy);
    }
}

TEST_F(Sharing, WhatThisProcessHoldsExclusivelyOthersCannotOpen) {
    DBEngine engine;
    const std::string copy = (dir_ / "copia.mdb").string();
    for (bool reservation : {false, true}) {
        SCOPED_TRACE(reservation ? "reservation" : "exclusive open");
        Database db;
        FileReservation r;
        if (reservation)
            r = engine.Reserve(file_);
        else
            db = engine.OpenDatabase(file_, true);
        CommandResult query = Daotool("query", "'SELECT * FROM Conti'");
        EXPECT_EQ(query.status, 1) << query.output;
        EXPECT_EQ(query.output.rfind("3356 ", 0), 0u) << query.output;
        CommandResult compact = Daotool("compact", ShellQuote(copy));
        EXPECT_EQ(compact.output.rfind("3356 ", 0), 0u) << compact.output;
        if (reservation) {
            // This process's own databases are not kept out.
            Database mine = engine.OpenDatabase(file_);
            mine.Execute("UPDATE Conti SET Nome = 'x' WHERE Codice = 1");
            mine.Close();
            r.Release();
        } else {
            db.Close();
        }
        EXPECT_EQ(Daotool("query", "'SELECT * FROM Conti'").status, 0);
    }
}

// A COMMIT that SQLite refuses: the transaction is rolled back, the error is the COMMIT's own, and the engine
// is outside any transaction, so the next one commits.
TEST_F(Sharing, RefusedCommitLeavesTheEngineClean) {
    InstallShim();
    struct Case {
        const char* name;
        std::function<std::unique_ptr<Background>(Sharing&)> holder; // or a fault
        Fault fault;
        int number;
    } cases[] = {
        {"another program reads", [](Sharing& t) { return t.SqliteReader(); }, Fault::None, 3045},
        {"I/O error", nullptr, Fault::Sync, 3043},
        {"disk full", nullptr, Fault::Full, 3026},
    };
    const auto newTable = [](Database& db) {
        TableDef t = db.CreateTableDef("Nuova");
        t.Fields().Append(t.CreateField("A", dbLong));
        db.TableDefs().Append(t);
    };
    struct Path {
        const char* name;
        std::function<void(Database&)> write; // writes rows 100.. and commits
    } paths[] = {
        {"BeginTrans",
         [](Database& db) {
             db.BeginTrans();
             db.Execute("INSERT INTO Conti VALUES (100, 'nuovo')");
             db.BeginTrans();
             db.Execute("INSERT INTO Conti VALUES (101, 'nuovo')");
             db.CommitTrans();
             db.CommitTrans();
         }},
        {"grouped row writes",
         [&](Database& db) {
             Recordset rs = db.OpenRecordset("Conti");
             for (int i = 100; i < 110; ++i)
                 Add(rs, {{"Codice", i}});
             rs.Close();
             db.Execute("UPDATE Conti SET Nome = 'z' WHERE Codice = 100");
             // A structure change joins the group; a transaction's commit commits the group too.
             newTable(db);
             db.BeginTrans();
             db.CommitTrans();
         }},
        {"structure change",
         [&](Database& db) {
             newTable(db);
             db.BeginTrans();
             db.CommitTrans(); // commits the group that holds it
         }},
    };
    for (const Case& k : cases) {
        for (const Path& p : paths) {
            SCOPED_TRACE(std::string(k.name) + ", " + p.name);
            DBEngine engine;
            Database db = engine.OpenDatabase(file_);
            const int tables = db.TableDefs().Count();
            std::unique_ptr<Background> holder;
            if (k.holder) holder = k.holder(*this);
            g_fault = k.fault;
            const std::string failure = Failure([&] { p.write(db); });
            g_fault = Fault::None;
            if (holder) holder->Stop();
            EXPECT_EQ(std::atoi(failure.c_str()), k.number) << failure;
            EXPECT_EQ(failure.find("transaction"), std::string::npos) << failure;

            // Nothing of it reached the file or stayed in the engine.
            EXPECT_EQ(Rows(db), 3);
            EXPECT_EQ(db.TableDefs().Count(), tables);
            EXPECT_EQ(ErrorOf([&] { db.CommitTrans(); }), 3034);

            // The next transaction starts clean and commits.
            db.BeginTrans();
            db.Execute("INSERT INTO Conti VALUES (200, 'dopo')");
            db.CommitTrans();
            db.Execute("DELETE FROM Conti WHERE Codice = 200");
            db.Close();
            DBEngine other;
            Database again = other.OpenDatabase(file_);
            EXPECT_EQ(Rows(again), 3);
            EXPECT_EQ(again.TableDefs().Count(), tables);
            again.Close();
        }
    }
}

// A program that stopped while it wrote the archive left half of a change in it (its journal beside it), or
// changes it committed in a write-ahead log: the reservation settles both before anyone copies or links the
// file alone, which would keep what the archive is not.
TEST_F(Sharing, WhatAStoppedProgramLeftBesideTheArchiveIsSettledByItsReservation) {
    const auto raw = [](const std::string& path) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        return std::unique_ptr<sqlite3, int (*)(sqlite3*)>(db, sqlite3_close);
    };
    const auto exec = [](sqlite3* db, const char* sql) {
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    };
    {
        auto db = raw(file_);
        exec(db.get(), "WITH RECURSIVE n(i) AS (SELECT 4 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                       "INSERT INTO Conti SELECT i, 'conto ' || i FROM n");
    }
    const std::string whole = Bytes(file_);
    const auto copyBeside = [&](const std::string& suffix, const std::string& to) {
        fs::copy_file(file_, to);
        fs::copy_file(file_ + suffix, to + suffix);
    };

    // Half of a change: the transaction's pages spill into the file before its commit.
    const std::string half = (dir_ / "Meta.mdb").string();
    {
        auto db = raw(file_);
        exec(db.get(), "PRAGMA cache_size=4");
        exec(db.get(), "BEGIN");
        exec(db.get(), "UPDATE Conti SET Nome = printf('%040d', Codice)");
        copyBeside("-journal", half);
        exec(db.get(), "ROLLBACK");
    }
    ASSERT_TRUE(Bytes(half) != whole); // the file alone holds half of the change

    // Committed changes in a log that nobody copied into the file.
    const std::string logged = (dir_ / "Registro.mdb").string();
    {
        auto db = raw(file_);
        exec(db.get(), "PRAGMA journal_mode=WAL");
        exec(db.get(), "PRAGMA wal_autocheckpoint=0");
        exec(db.get(), "INSERT INTO Conti VALUES (5000, 'nel registro')");
        copyBeside("-wal", logged);
    }
    ASSERT_FALSE(fs::exists(file_ + "-wal"));

    DBEngine engine;
    {
        FileReservation r = engine.Reserve(half);
        EXPECT_TRUE(r.UndidHalfMadeChange());
        EXPECT_FALSE(fs::exists(half + "-journal"));
        EXPECT_TRUE(Bytes(half) == whole);
    }
    {
        FileReservation r = engine.Reserve(logged);
        EXPECT_FALSE(r.UndidHalfMadeChange());
        EXPECT_FALSE(fs::exists(logged + "-wal"));
        // The file alone is the archive with the logged row, in the journal's mode that SQLite and the
        // engine write.
        fs::copy_file(logged, Path("Copia.mdb"));
        EXPECT_EQ(Sqlite("Copia.mdb", "SELECT count(*) FROM Conti WHERE Codice = 5000"),
                  std::vector<std::string>{"1"});
        EXPECT_EQ(Bytes(logged).substr(18, 2), std::string("\x01\x01", 2));
    }
    // A file left as it was is not touched.
    const std::string before = Bytes(file_);
    EXPECT_FALSE(engine.Reserve(file_).UndidHalfMadeChange());
    EXPECT_TRUE(Bytes(file_) == before);
}

} // namespace
