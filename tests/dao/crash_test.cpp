// A child process killed at random moments while it writes: the file must always open and hold a prefix
// of the operations the child completed.

#include "dao_fixture.h"

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace ledrana::dao::testing {
namespace {

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
