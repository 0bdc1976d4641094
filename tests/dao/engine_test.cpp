// Files, passwords, shared opening, transactions, compaction, and a writer killed halfway.

#include "dao_fixture.h"

#include <csignal>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace ledrana::dao::testing {
namespace {

using FilesTest = DaoTest;

TEST_F(FilesTest, FilesArePlainSqliteAndOpeningErrorsCarryJetNumbers) {
    EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(Path("missing.mdb")); }), 3024);
    EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(Path("nofolder/x.mdb")); }), 3044);
    std::ofstream(Path("text.mdb")) << "not a database at all, just some text that is long enough\n";
    EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(Path("text.mdb")); }), 3343);
    // A SQLite file without our catalog is not one of ours either.
    Sqlite("plain.db", "CREATE TABLE t(a)");
    EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(Path("plain.db")); }), 3343);
    Create("a.mdb", {"CREATE TABLE T (A LONG, B TEXT(10))", "INSERT INTO T VALUES (1, 'x')"}).Close();
    EXPECT_EQ(ErrorOf([&] { engine_.CreateDatabase(Path("a.mdb")); }), 3204);
    EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(Path("a.mdb")).Close(); }), 0);
    // Ours are SQLite files with a rollback journal, their tables SQLite's own.
    EXPECT_EQ(Sqlite("a.mdb", "PRAGMA journal_mode"), std::vector<std::string>{"delete"});
    EXPECT_EQ(Sqlite("a.mdb", "SELECT A || B FROM T"), std::vector<std::string>{"1x"});
}

TEST_F(FilesTest, ReadOnlyFileOpensOnlyForReading) {
    Create("ro.mdb", {"CREATE TABLE T (A LONG)", "INSERT INTO T VALUES (5)"}).Close();
    std::filesystem::permissions(Path("ro.mdb"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(Path("ro.mdb")); }), 3051);
    db_ = engine_.OpenDatabase(Path("ro.mdb"), false, true);
    EXPECT_EQ(Scalar(db_, "SELECT A FROM T"), Variant(5));
    EXPECT_EQ(ErrorOf([&] { db_.Execute("DELETE * FROM T"); }), 3027);
    Recordset rs = db_.OpenRecordset("T");
    EXPECT_EQ(ErrorOf([&] { rs.Edit(); }), 3027);
    rs.Close();
}

TEST_F(FilesTest, PasswordGuardsOpeningAndOnlyAHashIsStored) {
    Database db = engine_.CreateDatabase(Path("p.mdb"), ";pwd=Segreto42");
    db.Execute("CREATE TABLE T (A LONG)");
    db.Close();
    DBEngine other; // no remembered verification
    EXPECT_EQ(ErrorOf([&] { other.OpenDatabase(Path("p.mdb"), false, false, ";pwd=segreto42"); }), 3031);
    Database ok = other.OpenDatabase(Path("p.mdb"), false, false, ";pwd=Segreto42");
    EXPECT_EQ(ErrorOf([&] { ok.NewPassword("wrong", "x"); }), 3031);
    ok.NewPassword("Segreto42", "Nuova");
    ok.Close();
    const std::string bytes = Bytes(Path("p.mdb"));
    EXPECT_EQ(bytes.find("Nuova"), std::string::npos);
    EXPECT_EQ(bytes.find("Segreto42"), std::string::npos);
    DBEngine third;
    EXPECT_EQ(ErrorOf([&] { third.OpenDatabase(Path("p.mdb"), false, false, ";pwd=Segreto42"); }), 3031);
    Database again = third.OpenDatabase(Path("p.mdb"), false, false, "MS Access;PWD=Nuova");
    again.NewPassword("Nuova", "");
    again.Close();
    // Without a password any connect text opens it.
    DBEngine fourth;
    EXPECT_EQ(ErrorOf([&] { fourth.OpenDatabase(Path("p.mdb"), false, false, ";pwd=whatever").Close(); }), 0);
}

TEST_F(FilesTest, TwoOpeningsOfOneFileSeeEachOtherAtOnce) {
    Create("a.mdb", {"CREATE TABLE T (A LONG, B TEXT(10))"}).Close();
    Database one = engine_.OpenDatabase(Path("a.mdb"));
    Database two = engine_.OpenDatabase(Path("a.mdb"), false, false, ";pwd=");
    Recordset rs = one.OpenRecordset("T");
    Add(rs, {{"A", 7}});
    // The row is still in the group of writes of the first recordset, yet visible through the other object.
    EXPECT_EQ(Scalar(two, "SELECT count(*) FROM T"), Variant(1));
    two.Execute("UPDATE T SET B = 'due'");
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields()["B"].Value(), Variant("due"));
    rs.Close();
    two.TableDefs()["T"].Fields().Append(two.TableDefs()["T"].CreateField("C", dbLong));
    EXPECT_EQ(one.TableDefs()["T"].Fields().Count(), 3);
    two.Close();
    EXPECT_EQ(Scalar(one, "SELECT A FROM T"), Variant(7));
    one.Close();
}

TEST_F(FilesTest, ClosedObjectsFailWith3420) {
    Database db = Create("a.mdb", {"CREATE TABLE T (A LONG)"});
    TableDef t = db.TableDefs()["T"];
    Field f = t.Fields()["A"];
    Recordset rs = db.OpenRecordset("T");
    Field rf = rs.Fields()["A"];
    rs.Close();
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), 3420);
    EXPECT_EQ(ErrorOf([&] { (void)rf.Value(); }), 3420);
    EXPECT_EQ(ErrorOf([&] { rs.Close(); }), 3420);
    Recordset open = db.OpenRecordset("T");
    db.Close();
    EXPECT_EQ(ErrorOf([&] { (void)t.Name(); }), 3420);
    EXPECT_EQ(ErrorOf([&] { (void)f.Type(); }), 3420);
    EXPECT_EQ(ErrorOf([&] { (void)open.Eof(); }), 3420);
    EXPECT_EQ(ErrorOf([&] { db.Execute("DELETE FROM T"); }), 3420);
    EXPECT_EQ(ErrorOf([&] { db.Close(); }), 3420);
    EXPECT_EQ(ErrorOf([] { Database().TableDefs(); }), 91);
}

// With or without grouped writes pending before them (they are committed with the transaction, and stay
// when it is rolled back, or left open at the close).
// Also on a scratch copy, which syncs nothing and keeps its journal in memory, or on disk when it is large,
// and on a file whose commits are synced later, which keeps its journal on disk whatever its size.
TEST_F(FilesTest, TransactionsCommitAndRollBack) {
    for (const auto& [pending, scratch, large, later] : {std::tuple{0, false, false, false},
                                                         {10, false, false, false},
                                                         {10, true, false, false},
                                                         {10, true, true, false},
                                                         {10, false, false, true}}) {
        SCOPED_TRACE(std::to_string(pending) + (scratch ? " scratch" : "") + (large ? " large" : "") +
                     (later ? " synced later" : ""));
        const std::string file = "t" + std::to_string(pending) + (scratch ? "s" : "") + (large ? "l" : "") +
                                 (later ? "d" : "") + ".mdb";
        Database db = Create(file, {"CREATE TABLE T (A LONG)", "CREATE TABLE Big (B LONGBINARY)"});
        if (scratch || later) {
            db.Close();
            if (large) Sqlite(file, "INSERT INTO Big VALUES (zeroblob(65 << 20))");
            if (scratch) engine_.SetScratch(Path(file), true);
            if (later) engine_.SetDeferredSync(Path(file), true);
            db = engine_.OpenDatabase(Path(file));
        }
        if (pending) db.Execute("INSERT INTO T (A) VALUES (10)");
        db.BeginTrans();
        db.Execute("INSERT INTO T (A) VALUES (1)");
        // A process stopped here leaves the file whole only with the journal on disk.
        EXPECT_EQ(std::filesystem::exists(Path(file) + "-journal"), !scratch || large);
        db.BeginTrans();
        db.Execute("INSERT INTO T (A) VALUES (2)");
        db.Rollback();
        db.CommitTrans();
        db.BeginTrans();
        db.Execute("INSERT INTO T (A) VALUES (3)");
        db.TableDefs()["T"].Fields().Append(db.TableDefs()["T"].CreateField("B", dbText, 5));
        db.Rollback();
        EXPECT_EQ(Scalar(db, "SELECT sum(A) FROM T"), Variant(1 + pending));
        EXPECT_EQ(db.TableDefs()["T"].Fields().Count(), 1);
        EXPECT_EQ(ErrorOf([&] { db.CommitTrans(); }), 3034);
        if (pending) db.Execute("INSERT INTO T (A) VALUES (20)");
        db.BeginTrans();
        db.Execute("INSERT INTO T (A) VALUES (4)");
        db.Close();
        EXPECT_EQ(std::filesystem::exists(Path(file) + "-journal"), large);
        db = engine_.OpenDatabase(Path(file));
        EXPECT_EQ(Scalar(db, "SELECT sum(A) FROM T"), Variant(1 + pending * 3));
        db.Close();
    }
}

// A scratch copy of a small file is held in memory: nothing of it on disk, every opening reaches the same
// bytes until it is let go, and a compaction reads it into a file (its deleted fields dropped, or as stored);
// with the limit at 0 the copy is a file.
TEST_F(FilesTest, AScratchCopyOfASmallFileIsHeldInMemory) {
    Database src = Create("src.mdb", {"CREATE TABLE T (A LONG, B TEXT(5))", "INSERT INTO T VALUES (1, 'x')"});
    src.Close();
    const std::string before = Bytes(Path("src.mdb"));
    const std::uintmax_t limit = DBEngine::ScratchMemoryLimit();
    for (const auto& [deleteField, onDisk] : {std::pair{true, false}, {false, false}, {false, true}}) {
        SCOPED_TRACE(std::string(deleteField ? "field deleted" : "") + (onDisk ? " on disk" : ""));
        const std::string copy = Path("copy.mdb"), out = Path("out.mdb");
        if (onDisk) DBEngine::SetScratchMemoryLimit(0);
        engine_.MakeScratchCopy(Path("src.mdb"), copy);
        DBEngine::SetScratchMemoryLimit(limit);
        EXPECT_EQ(std::filesystem::exists(copy), onDisk);
        Database db = engine_.OpenDatabase(copy);
        db.BeginTrans();
        db.Execute("INSERT INTO T (A) VALUES (2)");
        db.TableDefs()["T"].Fields().Append(db.TableDefs()["T"].CreateField("C", dbText, 5));
        db.Rollback();
        db.Execute("INSERT INTO T (A) VALUES (3)");
        if (deleteField) db.TableDefs()["T"].Fields().Delete("B");
        db.Close();
        db = engine_.OpenDatabase(copy);
        EXPECT_EQ(Scalar(db, "SELECT sum(A) FROM T"), Variant(4));
        db.Close();
        {
            // What another engine of the process changed in between is seen by the next opening.
            DBEngine other;
            Database o = other.OpenDatabase(copy);
            o.TableDefs()["T"].Fields().Append(o.TableDefs()["T"].CreateField("D", dbLong));
            o.Close();
        }
        db = engine_.OpenDatabase(copy);
        EXPECT_TRUE(db.TableDefs()["T"].Fields().Count() == (deleteField ? 2 : 3));
        db.Close();
        // A new copy under the name is opened as it is, whatever the earlier one held.
        engine_.MakeScratchCopy(Path("src.mdb"), copy);
        db = engine_.OpenDatabase(copy);
        EXPECT_EQ(Scalar(db, "SELECT sum(A) FROM T"), Variant(1));
        EXPECT_EQ(db.TableDefs()["T"].Fields().Count(), 2);
        db.Execute("INSERT INTO T (A) VALUES (3)");
        if (deleteField) db.TableDefs()["T"].Fields().Delete("B");
        db.Close();
        engine_.CompactDatabase(copy, out);
        EXPECT_EQ(std::filesystem::exists(copy), onDisk);
        engine_.SetScratch(copy, false);
        EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(copy); }), onDisk ? 0 : 3024);
        std::filesystem::remove(copy);
        EXPECT_EQ(Sqlite("out.mdb", "SELECT count(*) FROM pragma_table_xinfo('T')")[0],
                  deleteField ? "1" : "2");
        db = engine_.OpenDatabase(out);
        EXPECT_EQ(Scalar(db, "SELECT sum(A) FROM T"), Variant(4));
        db.Close();
        std::filesystem::remove(out);
    }
    EXPECT_EQ(Bytes(Path("src.mdb")), before);
}

TEST_F(FilesTest, CompactionCopiesEverythingAndRefusesWhatJetRefuses) {
    Database db = engine_.CreateDatabase(Path("src.mdb"), ";pwd=pw");
    db.Execute("CREATE TABLE T (A LONG, B TEXT(20), CONSTRAINT PK PRIMARY KEY (A))");
    db.Execute("INSERT INTO T (A, B) VALUES (1, 'uno')");
    TableDef t = db.TableDefs()["T"];
    t.Properties().Append(t.CreateProperty("description", dbText, Variant("fissa")));
    db.CreateQueryDef("Q", "SELECT B FROM T WHERE A = 1");
    db.Close();
    EXPECT_EQ(ErrorOf([&] { engine_.CompactDatabase(Path("none.mdb"), Path("x.mdb")); }), 3024);
    EXPECT_EQ(ErrorOf([&] { engine_.CompactDatabase(Path("src.mdb"), Path("src.mdb"), ";pwd=pw"); }), 3204);
    DBEngine fresh;
    EXPECT_EQ(ErrorOf([&] { fresh.CompactDatabase(Path("src.mdb"), Path("dst.mdb")); }), 3031);
    fresh.CompactDatabase(Path("src.mdb"), Path("dst.mdb"), ";pwd=pw");
    DBEngine check;
    EXPECT_EQ(ErrorOf([&] { check.OpenDatabase(Path("dst.mdb")); }), 3031);
    Database out = check.OpenDatabase(Path("dst.mdb"), false, false, ";pwd=pw");
    EXPECT_EQ(Scalar(out, "SELECT * FROM Q"), Variant("uno"));
    EXPECT_EQ(out.TableDefs()["t"].Properties()["Description"].Value(), Variant("fissa"));
    EXPECT_TRUE(out.TableDefs()["T"].Indexes()["PK"].Primary());
    EXPECT_EQ(ErrorOf([&] { out.Execute("INSERT INTO T (A, B) VALUES (1, 'again')", dbFailOnError); }), 3022);
    out.Close();
}

// A child process killed at random moments while it writes: the file must always open and hold a prefix
// of the operations the child completed.
using CrashTest = DaoTest;

// Operation k (1-based) of the child: rows are added one by one through recordsets that are closed every
// 37 rows; every 100th operation is an Execute, every 250th a structure change.
[[noreturn]] void Child(const std::string& path) {
    DBEngine engine;
    Database db = engine.OpenDatabase(path);
    Recordset rs = db.OpenRecordset("T");
    for (long k = 1;; ++k) {
        if (k % 250 == 0) {
            TableDef t = db.TableDefs()["T"];
            t.Fields().Append(t.CreateField("F" + std::to_string(k), dbLong));
        } else if (k % 100 == 0) {
            db.Execute("INSERT INTO T (K) VALUES (" + std::to_string(k) + ")");
        } else {
            rs.AddNew();
            rs.Fields()["K"].SetValue(static_cast<int>(k));
            rs.Update();
        }
        if (k % 37 == 0) {
            rs.Close();
            rs = db.OpenRecordset("T");
        }
    }
}

TEST_F(CrashTest, KilledWriterLeavesAPrefixOfItsOperations) {
    Create("c.mdb", {"CREATE TABLE T (K LONG)"}).Close();
    std::mt19937 rng(12345);
    long lastSeen = 0;
    for (int run = 0; run < 6; ++run) {
        // Each run starts over on a fresh table so that the prefix is easy to state.
        {
            Database db = engine_.OpenDatabase(Path("c.mdb"));
            db.TableDefs().Delete("T");
            db.Execute("CREATE TABLE T (K LONG)");
            db.Close();
        }
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                Child(Path("c.mdb"));
            } catch (...) {
            }
            _exit(3);
        }
        usleep(std::uniform_int_distribution<int>(150, 900)(rng) * 1000);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself, run " << run;

        DBEngine fresh;
        Database db = fresh.OpenDatabase(Path("c.mdb"));
        long rows = 0, maxRow = 0;
        {
            Recordset rs = db.OpenRecordset("SELECT K FROM T ORDER BY K");
            for (; !rs.Eof(); rs.MoveNext()) {
                long k = rs.Fields()[0].Value().ToLong();
                ++rows;
                EXPECT_GT(k, maxRow) << "run " << run;
                maxRow = k;
            }
            rs.Close();
        }
        // The rows are exactly the row operations 1..maxRow: none missing in between.
        long rowOps = maxRow - maxRow / 250;
        EXPECT_EQ(rows, rowOps) << "run " << run << ": a gap before " << maxRow;
        // Every structure change before the last row is there, none after the last completed operation.
        int fields = db.TableDefs()["T"].Fields().Count();
        EXPECT_GE(fields - 1, maxRow / 250) << "run " << run;
        EXPECT_LE(fields - 1, maxRow / 250 + 1) << "run " << run;
        lastSeen = std::max(lastSeen, maxRow);
        db.Close();
    }
    EXPECT_GT(lastSeen, 0) << "no operation ever completed";
}

} // namespace
} // namespace ledrana::dao::testing
