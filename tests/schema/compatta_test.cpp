#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;
using dao::Variant;

namespace {

// VB's Str$ of an error number, as the report writes it.
std::string Str(int n) {
    return (n >= 0 ? " " : "") + std::to_string(n);
}

class CompattaTest : public SchemaTest {
protected:
    std::vector<bool> frameShown; // FrameAttendere's visibility at each of its refreshes

    void SetUp() override {
        w.onRefresh = [this](const Control* c) {
            if (c == &w.FrameAttendere) frameShown.push_back(w.FrameAttendere.visible);
        };
    }

    // An archive whose compact copy is well over the threshold, with free pages left by a deletion so
    // that compaction changes its bytes.
    void MakeLargeArchive(const std::string& password = "") {
        TableSpec t{"RIGHE", {{"ID", dao::dbLong}, {"TESTO", dao::dbText, 255}}};
        for (int i = 1; i <= 3000; ++i)
            t.rows.push_back({Variant(i), Variant(std::string(200, 'a' + i % 26))});
        MakeDatabase(archive, {t}, {}, password);
        dao::Database db = Open(archive, password);
        db.Execute("DELETE FROM RIGHE WHERE ID > 2000");
        db.Close();
    }
    std::string Bytes(const std::string& path) { return TempPrefix::get(Host(path)); }
    std::int64_t Rows(const std::string& path, const std::string& password = "") {
        dao::Database db = Open(path, password);
        std::int64_t n = db.TableDefs()["RIGHE"].RecordCount();
        db.Close();
        return n;
    }
};

TEST_F(CompattaTest, FirstCompactionLeavesThreeFilesAndTheNextCleansThemFirst) {
    MakeLargeArchive();
    const std::string original = Bytes(archive);
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries(), std::vector<std::string>{});
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(frameShown, (std::vector<bool>{true, false}));
    const std::string compacted = Bytes(archive);
    EXPECT_GT(compacted.size(), 200000u);
    EXPECT_LT(compacted.size(), original.size());
    EXPECT_EQ(Bytes(archive + ".tmp"), compacted);
    EXPECT_EQ(Bytes(archive + ".tmp2"), original);
    EXPECT_EQ(Rows(archive), 2000);

    TempPrefix::put(Host(archive + ".tmp"), "avanzo");
    TempPrefix::put(Host(archive + ".tmp2"), "avanzo");
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries(), std::vector<std::string>{});
    EXPECT_EQ(Bytes(archive + ".tmp2"), compacted);
    EXPECT_EQ(Bytes(archive + ".tmp"), Bytes(archive));
    EXPECT_EQ(Rows(archive), 2000);
}

TEST_F(CompattaTest, ACopyOfAtMostTheThresholdIsNotUsed) {
    MakeDatabase(archive, {{"T", {{"ID", dao::dbLong}}, {}, "", {{Variant(1)}}}});
    const std::string original = Bytes(archive);
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries(), std::vector<std::string>{});
    EXPECT_EQ(Bytes(archive), original);
    EXPECT_TRUE(std::filesystem::exists(Host(archive + ".tmp")));
    EXPECT_LE(std::filesystem::file_size(Host(archive + ".tmp")), 200000u);
    EXPECT_FALSE(std::filesystem::exists(Host(archive + ".tmp2")));
}

TEST_F(CompattaTest, ProtectedArchiveUsesThePasswordOfTheList) {
    MakeLargeArchive("segreta");
    const std::string original = Bytes(archive);
    // Not opened before: compacted with the empty password, which the engine refuses.
    std::string refused;
    try {
        engine.CompactDatabase(archive, archive + ".prova");
    } catch (const Error& e) {
        refused = Str(e.number()) + e.description();
    }
    ASSERT_EQ(refused.substr(0, 5), " 3031");
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries(), std::vector<std::string>{refused});
    EXPECT_EQ(Boxes(), (std::vector<Box>{{refused, 0, kAppTitle}}));
    EXPECT_EQ(frameShown, (std::vector<bool>{true, false}));
    EXPECT_EQ(Bytes(archive), original);

    dialogs.QueueInput("segreta");
    ApreDb(w, archive).Close();
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(dialogs.records().size(), 2u); // the box above and the one input box
    EXPECT_EQ(Rows(archive, "segreta"), 2000);
    EXPECT_THROW(Open(archive + ".tmp"), Error); // the copy keeps the password
}

// Before every change that the compaction makes to the file system the archive is there, whole: as it
// was or compacted. A replacement that fails leaves it as it was.
TEST_F(CompattaTest, TheArchiveIsNeverAbsentAndAFailedReplacementLeavesItAsItWas) {
    MakeLargeArchive();
    const std::string original = Bytes(archive);
    const std::string host = Host(archive);
    std::vector<std::string> seen;
    platform::SetFileOperationHook([&](const char* op, const std::string& path) {
        const std::string now = TempPrefix::get(host);
        if (now != original && (now.size() <= 200000 || now != TempPrefix::get(host + ".tmp")))
            seen.push_back(std::string(op) + " " + path);
    });
    CompattaArchivio(w, archive);
    platform::SetFileOperationHook({});
    EXPECT_EQ(seen, std::vector<std::string>{}) << "the archive was absent or not whole before these changes";
    EXPECT_LT(Bytes(archive).size(), original.size());

    // A folder where the copy onto the archive writes its sibling makes the replacement fail.
    for (const char* leftover : {"", ".tmp", ".tmp2"})
        std::filesystem::remove(Host(archive + leftover));
    MakeLargeArchive();
    const std::string before = Bytes(archive);
    std::filesystem::create_directory(Host("C:\\ZU\\Ditta2000\\.Cont32.mdb.part"));
    CompattaArchivio(w, archive);
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(Bytes(archive), before);
    EXPECT_EQ(Rows(archive), 2000);
    EXPECT_FALSE(w.FrameAttendere.visible);
}

// An archive that an earlier version deleted before copying its compacted copy onto it comes back from
// the backup, when that backup is a whole database.
TEST_F(CompattaTest, AMissingArchiveComesBackFromAWholeBackupOnly) {
    MakeLargeArchive();
    CompattaArchivio(w, archive);
    const std::string backup = Bytes(archive + ".tmp2");
    const std::string restored = "Archivio " + archive + " mancante: ripristinato dalla copia " + archive +
                                 ".tmp2 fatta dal compattamento precedente";
    struct Case {
        const char* what;
        std::string backupBytes; // "" for no backup
        bool archivePresent;
        bool putBack;
    } cases[] = {
        {"whole backup", backup, false, true},
        {"backup cut short", backup.substr(0, backup.size() / 2), false, false},
        {"backup that is no database", "avanzo", false, false},
        {"no backup", "", false, false},
        {"archive present", backup, true, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Host(archive + ".tmp2"));
        if (!c.backupBytes.empty()) TempPrefix::put(Host(archive + ".tmp2"), c.backupBytes);
        if (c.archivePresent)
            TempPrefix::put(Host(archive), "presente");
        else
            std::filesystem::remove(Host(archive));
        const std::size_t logged = LogEntries().size();
        EXPECT_EQ(RipristinaArchivioMancante(w, archive), c.putBack) << c.what;
        if (c.putBack) {
            EXPECT_EQ(Bytes(archive), backup) << c.what;
            EXPECT_EQ(Rows(archive), 2000) << c.what;
            EXPECT_EQ(LogEntries().back(), restored) << c.what;
            EXPECT_EQ(Boxes().back().text, restored) << c.what;
        } else {
            EXPECT_EQ(LogEntries().size(), logged) << c.what;
            EXPECT_EQ(std::filesystem::exists(Host(archive)), c.archivePresent) << c.what;
        }
    }
}

} // namespace
