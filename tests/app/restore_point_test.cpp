// The restore point's own parts: the change counter read from a real database, the manifest through its
// text, an archive the run left alone kept as a copy of its own, and which points the pruning removes.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "app/restore_point.h"
#include "platform/files.h"
#include "tests/platform/temp_prefix.h"

namespace ledrana {
namespace {

using testing::TempPrefix;

void Exec(const std::string& hostPath, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(hostPath.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(RestorePoint, TheMarkOfAnArchiveCountsEachWriteAndSaysWhatDiffers) {
    TempPrefix prefix;
    const std::string host = (prefix.driveC() / "a.mdb").string();
    Exec(host, "PRAGMA journal_mode=DELETE; CREATE TABLE t (x INTEGER)");
    const ArchiveMark before = MarkOf("C:\\a.mdb");
    ASSERT_TRUE(before.exists && before.counter);
    Exec(host, "INSERT INTO t VALUES (1)");
    const ArchiveMark after = MarkOf("C:\\a.mdb");
    ASSERT_TRUE(after.counter);
    EXPECT_EQ(*after.counter, *before.counter + 1);
    EXPECT_NE(MarkDifferences(before, after)
                  .find("contatore delle modifiche " + std::to_string(*before.counter) + " → " +
                        std::to_string(*after.counter)),
              std::string::npos);

    TempPrefix::put(prefix.driveC() / "b.txt", std::string(100, 'x'));
    EXPECT_FALSE(MarkOf("C:\\b.txt").counter);
    EXPECT_FALSE(MarkOf("C:\\nessuno.mdb").exists);
}

TEST(RestorePoint, TheManifestGivesBackWhatItWasGivenAndRefusesAnotherText) {
    Manifest m;
    m.dataFolder = "C:\\ZU è";
    m.opened = "20261207-021901";
    m.archives.push_back({"C:\\ZU\\Alfa\\Cont32.mdb",
                          "Alfa\\Cont32.mdb",
                          {true, 40960, 1796664434412410453, 12},
                          ArchiveMark{true, 45056, 1796664437676664717, 4294967295u}});
    m.archives.push_back({"\\\\SERVER\\dati\\50%\tsconto.mdb",
                          "altrove\\1\\50%\tsconto.mdb",
                          {true, 7, 1, std::nullopt},
                          ArchiveMark{}});
    m.archives.push_back({"C:\\ZU\\Beta\\CONT32.MDB", "Beta\\CONT32.MDB", {true, 1, 2, 3}, std::nullopt});
    m.files.push_back({"C:\\ZU\\LEDRANA\\riga\nnuova.ini", "LEDRANA\\riga\nnuova.ini"});
    m.found = {{"Alfa", true}, {"Alfa\\Cont32.mdb", false}};
    const std::string open = ManifestText(m);
    const Manifest reread = ParseManifest(open);
    EXPECT_FALSE(reread.complete());
    EXPECT_EQ(ManifestText(reread), open);
    ASSERT_EQ(reread.archives.size(), 3u);
    EXPECT_EQ(reread.archives[1].path, m.archives[1].path);
    EXPECT_EQ(reread.archives[1].found, m.archives[1].found);
    EXPECT_FALSE(reread.archives[2].left);

    m.outside = {"Z:\\altrove"};
    m.foundOutside = {{"Z:\\altrove", true}, {"Z:\\altrove\\CONT32.MDB", false}};
    m.created = {{"Alfa\\immagini", true, 0, 5},
                 {"Alfa\\CONT32.MDB.tmp", false, 4096, 6},
                 {"Z:\\altrove\\CONT32.MDB.tmp", false, 4096, 7, true}};
    m.closed = "20261207-022312";
    const Manifest closed = ParseManifest(ManifestText(m));
    EXPECT_TRUE(closed.complete());
    EXPECT_EQ(closed.archives[0].left, m.archives[0].left);
    EXPECT_EQ(closed.archives[1].left, ArchiveMark{});
    EXPECT_EQ(closed.foundOutside.size(), 2u);
    ASSERT_EQ(closed.created.size(), 3u);
    EXPECT_TRUE(closed.created[2].outside && !closed.created[1].outside);
    EXPECT_EQ(ManifestText(closed), ManifestText(m));

    for (const std::string& bad : {std::string(""), std::string("Altro file\t1\n"),
                                   open + "archivio\tC:\\a\tA\t12x\t1\t-\n", open + "lasciato\tC:\\a\t1\n"}) {
        EXPECT_EQ(testing::ErrorOf([&] { ParseManifest(bad); }), 5) << bad;
    }
}

TEST(RestorePoint, PruningKeepsTheNewestRunsAndEveryRestoreAndLeavesTheArchivesAlone) {
    TempPrefix prefix;
    const std::string data = "C:\\ZU";
    TempPrefix::put(prefix.driveC() / "ZU" / "Alfa" / "Cont32.mdb", "archivio");
    std::filesystem::create_directories(prefix.driveC() / "ZU" / "LEDRANA");
    const std::string archive = (prefix.driveC() / "ZU" / "Alfa" / "Cont32.mdb").string();
    ::chmod(archive.c_str(), 0444); // read-only: the point's second name shares the mode

    const auto at = [](int seconds) { return ReportClock::from_time_t(1796625000 + seconds); };
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        RestorePoint p(data, at(i), i == 1);
        p.KeepArchive(data + "\\Alfa\\Cont32.mdb");
        EXPECT_EQ(p.Complete(), std::vector<std::string>{});
        names.push_back(p.name());
        // An archive nothing replaced is given a copy in the point, so that writing it leaves the point.
        const std::string kept = p.folder() + "\\Alfa\\Cont32.mdb";
        EXPECT_NE(platform::FileIdentity(kept), platform::FileIdentity(data + "\\Alfa\\Cont32.mdb"));
        EXPECT_EQ(platform::ReadAllBytes(kept), "archivio");
    }
    // A point cut short before its manifest: a run's.
    std::filesystem::create_directories(prefix.driveC() / "ZU" / "LEDRANA" / "ripristino" /
                                        "20000101-000000");

    EXPECT_TRUE(PruneRestorePoints(data, 2).empty());
    std::vector<std::string> left;
    for (const RestorePointEntry& e : RestorePoints(data))
        left.push_back(e.name);
    EXPECT_EQ(left, (std::vector<std::string>{names[1], names[3], names[4]}));
    struct stat st {};
    ASSERT_EQ(::stat(archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(TempPrefix::get(archive), "archivio");
}

} // namespace
} // namespace ledrana
