// Holds seen by other processes. The other process is a child of the test, forked with the file named.

#include "platform/filelock.h"

#include "platform/error.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::TempPrefix;

namespace {

using ledrana::testing::ChildWhile;

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
        const char* name;
        HoldMode other, mine;
        bool granted;
    } cases[] = {
        {"shared elsewhere, shared here", HoldMode::Shared, HoldMode::Shared, true},
        {"shared elsewhere, exclusive here", HoldMode::Shared, HoldMode::Exclusive, false},
        {"exclusive elsewhere, shared here", HoldMode::Exclusive, HoldMode::Shared, false},
        {"exclusive elsewhere, exclusive here", HoldMode::Exclusive, HoldMode::Exclusive, false},
    };
    for (const Case& k : cases) {
        // Another process that takes a hold and keeps it until the object goes.
        ChildWhile other([&] { return (new FileHold(FileHold::Take(file, k.other)))->held(); });
        ASSERT_TRUE(other.held()) << k.name;
        EXPECT_EQ(FileHold::Take(file, k.mine).held(), k.granted) << k.name;
    }
    // Once the other process has gone, everything is granted.
    EXPECT_TRUE(FileHold::Take(file, HoldMode::Exclusive).held());
    EXPECT_THROW(FileHold::Take((p.root() / "manca.mdb").string(), HoldMode::Shared), Error);
}

TEST(FileHold, HoldsOfOneProcessAreCountedTogether) {
    TempPrefix p;
    const std::string file = NewFile(p);
    auto childGets = [&](HoldMode mode) {
        return ChildWhile([&] { return FileHold::Take(file, mode).held(); }).held();
    };
    {
        FileHold a = FileHold::Take(file, HoldMode::Shared);
        FileHold b = FileHold::Take(file, HoldMode::Exclusive);
        FileHold c = FileHold::Take(file, HoldMode::Shared);
        ASSERT_TRUE(a.held() && b.held() && c.held());
        EXPECT_FALSE(childGets(HoldMode::Shared));
        b.Release(); // the file is held shared again
        EXPECT_TRUE(childGets(HoldMode::Shared));
        EXPECT_FALSE(childGets(HoldMode::Exclusive));
        FileHold moved = std::move(a);
        c.Release();
        EXPECT_FALSE(childGets(HoldMode::Exclusive));
    }
    EXPECT_TRUE(childGets(HoldMode::Exclusive));
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
        return ChildWhile([&] { return LockedElsewhere(file, 0x40000000, 512); }).held();
    };
    ASSERT_TRUE(sqliteLocked());
    EXPECT_FALSE(LockedElsewhere(file, 0x40000000, 512)); // this process's own locks do not count
    for (int i = 0; i < 3; ++i) {
        FileHold h = FileHold::Take(file, i == 1 ? HoldMode::Exclusive : HoldMode::Shared);
        EXPECT_TRUE(h.held());
    }
    EXPECT_TRUE(sqliteLocked());
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    EXPECT_FALSE(sqliteLocked());
    sqlite3_close(db);
}
