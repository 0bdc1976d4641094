#include <gtest/gtest.h>
#include <sys/stat.h>

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
    struct stat before {};
    ASSERT_EQ(::stat(Host(archive).c_str(), &before), 0);
    CompattaArchivio(w, archive);
    // The backup is the archive's own file, not a copy written again: the archive is replaced by a rename.
    struct stat backup {};
    ASSERT_EQ(::stat(Host(archive + ".tmp2").c_str(), &backup), 0);
    EXPECT_EQ(backup.st_ino, before.st_ino);
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

// Beside a missing archive nothing is put back: the compaction's files are told apart by their bytes alone
// and described in the run's report, and stay as they were.
TEST_F(CompattaTest, FilesBesideAMissingArchiveAreDescribedNotRestored) {
    MakeLargeArchive();
    CompattaArchivio(w, archive);
    const std::string whole = Bytes(archive + ".tmp2");
    std::string jet(4096, '\0');
    jet.replace(1, 1, "\1");
    jet.replace(4, 15, "Standard Jet DB");
    struct Case {
        const char* what;
        std::string bytes; // "" for no file
        FileKind kind;
        const char* said;
    } cases[] = {
        {"whole archive", whole, FileKind::Archive, "è un archivio completo"},
        {"archive cut short", whole.substr(0, whole.size() / 2), FileKind::CutArchive,
         "è un archivio incompleto"},
        {"Jet file", jet, FileKind::Jet, "è un archivio in formato Jet"},
        {"text", "avanzo", FileKind::Other, "non è un archivio"},
        {"none", "", FileKind::Missing, nullptr},
    };
    std::filesystem::remove(Host(archive));
    std::filesystem::remove(Host(archive + ".tmp"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Host(archive + ".tmp2"));
        if (!c.bytes.empty()) TempPrefix::put(Host(archive + ".tmp2"), c.bytes);
        EXPECT_EQ(KindOfFile(archive + ".tmp2"), c.kind);
        w.runReport = RunReport();
        NoteFilesBesideMissingArchive(w, archive);
        EXPECT_FALSE(std::filesystem::exists(Host(archive)));
        EXPECT_TRUE(LogEntries().empty());
        if (c.said == nullptr) {
            EXPECT_TRUE(w.runReport.notes().empty());
            continue;
        }
        EXPECT_EQ(Bytes(archive + ".tmp2"), c.bytes);
        ASSERT_EQ(w.runReport.notes().size(), 1u);
        const std::string& note = w.runReport.notes()[0].text;
        EXPECT_EQ(w.runReport.notes()[0].archive, archive);
        const std::string start = "L'archivio " + archive + " non c'è; accanto c'è " + archive +
                                  ".tmp2 (la copia dell'archivio com'era prima dell'ultimo compattamento), " +
                                  std::to_string(c.bytes.size()) + " byte, modificato il ";
        EXPECT_TRUE(note.starts_with(start)) << note;
        EXPECT_NE(note.find(c.said), std::string::npos) << note;
    }
}

} // namespace
