// Holds seen by other processes. The other process is a child of the test, forked with the file named.

#include "platform/filelock.h"

#include "platform/error.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::TempPrefix;

namespace {

// Runs `body` in a child process while the parent waits; the child's answer is its exit status.
int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A child that takes a hold and keeps it until the object goes.
class ChildHold {
public:
    ChildHold(const std::string& file, HoldMode mode) {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(up[0]);
            close(down[1]);
            FileHold h = FileHold::Take(file, mode);
            const char ok = h.held() ? 'y' : 'n';
            (void)!write(up[1], &ok, 1);
            char c;
            (void)!read(down[0], &c, 1);
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        release_ = down[1];
        char c = 0;
        held_ = read(up[0], &c, 1) == 1 && c == 'y';
        close(up[0]);
    }
    ~ChildHold() {
        close(release_);
        waitpid(pid_, nullptr, 0);
    }
    bool held() const { return held_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool held_ = false;
};

std::string NewFile(const TempPrefix& p) {
    const std::string file = (p.root() / "archivio.mdb").string();
    TempPrefix::put(file, "dati");
    return file;
}

} // namespace

TEST(FileHold, ConflictsBetweenProcesses) {
    TempPrefix p;
    const std::string file = NewFile(p);
    struct Case {
        HoldMode other, mine;
        bool granted;
    } cases[] = {
        {HoldMode::Shared, HoldMode::Shared, true},
        {HoldMode::Shared, HoldMode::Exclusive, false},
        {HoldMode::Exclusive, HoldMode::Shared, false},
        {HoldMode::Exclusive, HoldMode::Exclusive, false},
    };
    for (const Case& k : cases) {
        const std::string name = std::string(k.other == HoldMode::Shared ? "shared" : "exclusive") +
                                 " elsewhere, " + (k.mine == HoldMode::Shared ? "shared" : "exclusive") +
                                 " here";
        ChildHold other(file, k.other);
        ASSERT_TRUE(other.held()) << name;
        FileHold mine = FileHold::Take(file, k.mine);
        EXPECT_EQ(mine.held(), k.granted) << name;
    }
    // Once the other process has gone, everything is granted.
    EXPECT_TRUE(FileHold::Take(file, HoldMode::Exclusive).held());
    EXPECT_THROW(FileHold::Take((p.root() / "manca.mdb").string(), HoldMode::Shared), Error);
}

TEST(FileHold, HoldsOfOneProcessAreCountedTogether) {
    TempPrefix p;
    const std::string file = NewFile(p);
    auto childGets = [&](HoldMode mode) {
        return InChild([&] { return FileHold::Take(file, mode).held() ? 0 : 1; });
    };
    {
        FileHold a = FileHold::Take(file, HoldMode::Shared);
        FileHold b = FileHold::Take(file, HoldMode::Exclusive);
        FileHold c = FileHold::Take(file, HoldMode::Shared);
        ASSERT_TRUE(a.held() && b.held() && c.held());
        EXPECT_EQ(childGets(HoldMode::Shared), 1);
        b.Release(); // the file is held shared again
        EXPECT_EQ(childGets(HoldMode::Shared), 0);
        EXPECT_EQ(childGets(HoldMode::Exclusive), 1);
        FileHold moved = std::move(a);
        c.Release();
        EXPECT_EQ(childGets(HoldMode::Exclusive), 1);
    }
    EXPECT_EQ(childGets(HoldMode::Exclusive), 0);
}

// Closing a descriptor drops every POSIX lock of the process on the file: holds must never do that to the
// locks SQLite keeps, and must not meet them.
TEST(FileHold, SqliteLocksSurviveHoldsComingAndGoing) {
    TempPrefix p;
    const std::string file = (p.root() / "archivio.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(a); INSERT INTO t VALUES (1); BEGIN; SELECT * FROM t;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const auto sqliteLocked = [&] {
        return InChild([&] { return LockedElsewhere(file, 0x40000000, 512) ? 0 : 1; });
    };
    ASSERT_EQ(sqliteLocked(), 0);
    EXPECT_FALSE(LockedElsewhere(file, 0x40000000, 512)); // this process's own locks do not count
    for (int i = 0; i < 3; ++i) {
        FileHold h = FileHold::Take(file, i == 1 ? HoldMode::Exclusive : HoldMode::Shared);
        EXPECT_TRUE(h.held());
    }
    EXPECT_EQ(sqliteLocked(), 0);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    EXPECT_EQ(sqliteLocked(), 1);
    sqlite3_close(db);
}
