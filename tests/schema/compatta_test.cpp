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

TEST_F(CompattaTest, AFailureAfterTheArchiveWasDeletedPutsTheBackupBack) {
    MakeLargeArchive();
    const std::string original = Bytes(archive);
    // A folder where the copy onto the archive writes its temporary sibling makes that copy fail.
    const std::string probe = "C:\\ZU\\Ditta2000\\Prova.mdb";
    std::filesystem::create_directory(Host("C:\\ZU\\Ditta2000\\.Prova.mdb.part"));
    std::filesystem::create_directory(Host("C:\\ZU\\Ditta2000\\.Cont32.mdb.part"));
    std::string failure;
    try {
        platform::FileCopy(archive, probe);
    } catch (const Error& e) {
        failure = Str(e.number()) + e.description();
    }
    ASSERT_FALSE(failure.empty()) << "the copy no longer writes a .part sibling: this test needs another way";

    CompattaArchivio(w, archive);
    const std::string restored = "Compattamento non riuscito: l'archivio " + archive +
                                 " è stato ripristinato dalla copia " + archive + ".tmp2";
    EXPECT_EQ(LogEntries(), (std::vector<std::string>{failure, restored}));
    EXPECT_EQ(Boxes(), (std::vector<Box>{{failure, 0, kAppTitle}, {restored, 0, kAppTitle}}));
    EXPECT_EQ(Bytes(archive), original);
    EXPECT_EQ(Rows(archive), 2000);
    EXPECT_FALSE(w.FrameAttendere.visible);
}

} // namespace
