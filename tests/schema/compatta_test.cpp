#include <sys/stat.h>

#include <set>

#include "platform/files.h"
#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;
using dao::Variant;

namespace {

class CompattaTest : public SchemaTest {
protected:
    std::vector<bool> frameShown; // FrameAttendere's visibility at each of its refreshes

    void SetUp() override {
        w.onRefresh = [this](const Control* c) {
            if (c == &w.FrameAttendere) frameShown.push_back(w.FrameAttendere.visible);
        };
    }

    // An archive whose compact copy is well over the threshold, with free pages left by a deletion so
    // that compaction changes its bytes; made anew, without the files of an earlier compaction.
    void MakeLargeArchive(const std::string& password = "") {
        for (const char* leftover : {"", ".tmp", ".tmp2"})
            std::filesystem::remove(Host(archive + leftover));
        TableSpec t{"RIGHE", {{"ID", dao::dbLong}, {"TESTO", dao::dbText, 255}}};
        for (int i = 1; i <= 3000; ++i)
            t.rows.push_back({Variant(i), Variant(std::string(200, 'a' + i % 26))});
        MakeDatabase(archive, {t}, {}, password);
        dao::Database db = Open(archive, password);
        db.Execute("DELETE FROM RIGHE WHERE ID > 2000");
        db.Close();
    }
    std::string Bytes(const std::string& path) { return TempPrefix::get(Host(path)); }
};

// A first compaction leaves the archive compacted, A.tmp the same content as a file of its own and A.tmp2
// the archive as it was, all three with the archive's owner and mode; the next one deletes the leftovers
// first. The archive's rows are written once, into the compacted copy: the backup is the archive's own file
// (a copy on a share without links), the copy is renamed over the archive and only A.tmp is made again (a
// clone where the file system has them).
TEST_F(CompattaTest, LeavesThreeFilesAndWritesTheArchiveOnce) {
    const bool root = ::geteuid() == 0;
    for (const bool share : {false, true}) {
        SCOPED_TRACE(share ? "no links nor clones" : "links");
        MakeLargeArchive();
        ::chmod(Host(archive).c_str(), 0640);
        if (root) {
            ASSERT_EQ(::chown(Host(archive).c_str(), 1234, 5678), 0);
        }
        const std::string original = Bytes(archive);
        struct stat before {};
        ASSERT_EQ(::stat(Host(archive).c_str(), &before), 0);
        std::set<std::string> written; // cloned or written (the copy made again: cloned), by final name
        platform::SetFileSystemProbe([&](const char*, const std::string&) { return !share; });
        platform::SetFileOperationHook([&](const char* op, const std::string& path) {
            std::string name = std::filesystem::path(path).filename().string();
            if (name.starts_with(".Cont32.mdb.tmp2.")) name = "Cont32.mdb.tmp2";
            if (op == std::string("clone") || (op == std::string("write") && name != "Cont32.mdb.tmp"))
                written.insert(op + (" " + name));
        });
        CompattaArchivio(w, archive);
        platform::SetFileOperationHook({});
        platform::SetFileSystemProbe({});
        EXPECT_EQ(LogEntries(), Strings{});
        const std::string compacted = Bytes(archive);
        EXPECT_LT(compacted.size(), original.size());
        EXPECT_EQ(Bytes(archive + ".tmp"), compacted);
        EXPECT_EQ(Bytes(archive + ".tmp2"), original);
        EXPECT_EQ(Rows(archive, "RIGHE").size(), 2000u);
        EXPECT_EQ(written, (std::set<std::string>{share ? "write Cont32.mdb.tmp2" : "clone Cont32.mdb.tmp"}));
        struct stat st[3]{};
        const char* names[] = {"", ".tmp", ".tmp2"};
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(::lstat(Host(archive + names[i]).c_str(), &st[i]), 0) << names[i];
            EXPECT_EQ(st[i].st_mode, S_IFREG | 0640u) << names[i];
            if (root) {
                EXPECT_EQ(st[i].st_uid * 10000 + st[i].st_gid, 1234u * 10000 + 5678u) << names[i];
            }
        }
        EXPECT_NE(st[0].st_ino, st[1].st_ino);
        EXPECT_EQ(st[2].st_ino == before.st_ino, !share);
    }

    TempPrefix::put(Host(archive + ".tmp"), "avanzo");
    std::filesystem::remove(Host(archive + ".tmp2"));
    std::filesystem::create_symlink(Host(archive + ".tmp"), Host(archive + ".tmp2"));
    const std::string compacted = Bytes(archive);
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries(), Strings{});
    EXPECT_EQ(Bytes(archive + ".tmp2"), compacted);
    EXPECT_FALSE(std::filesystem::is_symlink(Host(archive + ".tmp2")));
    EXPECT_EQ(Bytes(archive + ".tmp"), Bytes(archive));
}

TEST_F(CompattaTest, ProtectedArchiveUsesThePasswordOfTheList) {
    MakeLargeArchive("segreta");
    const std::string original = Bytes(archive);
    // Not opened before: compacted with the empty password, which the engine refuses. The report writes
    // the number as VB's Str$ does, the description right after it.
    const std::string error = Failure([&] { engine.CompactDatabase(archive, archive + ".prova"); });
    const std::string refused = " 3031" + error.substr(5);
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries(), Strings{refused});
    EXPECT_EQ(Boxes(), (std::vector<Box>{{refused, 0, kAppTitle}}));
    EXPECT_EQ(frameShown, (std::vector<bool>{true, false}));
    EXPECT_EQ(Bytes(archive), original);

    dialogs.QueueInput("segreta");
    ApreDb(w, archive).Close();
    CompattaArchivio(w, archive);
    EXPECT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(dialogs.records().size(), 2u); // the box above and the one input box
    EXPECT_EQ(Rows(archive, "RIGHE", "segreta").size(), 2000u);
}

// Before every change that the compaction makes to the file system the archive is there, whole: as it
// was or compacted. A step that fails is reported and leaves the archive whole: as it was when the backup or
// the replacement fails, compacted when only A.tmp could not be made again.
TEST_F(CompattaTest, TheArchiveIsNeverAbsentNorHalfWritten) {
    struct Case {
        const char* op;   // the change that fails ("" none)
        const char* name; // on the first file whose name begins so
        bool compacted;   // the archive is compacted afterwards
    } cases[] = {
        {"", "", true},
        {"link", "Cont32.mdb.tmp2", false},
        {"rename", "Cont32.mdb", false},
        {"open", ".Cont32.mdb.tmp.part", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.name);
        MakeLargeArchive();
        const std::string original = Bytes(archive);
        Strings seen;
        platform::SetFileOperationHook([&](const char* op, const std::string& path) {
            if (Bytes(archive) != original && !engine.IsWholeDatabase(archive))
                seen.push_back(std::string(op) + " " + path);
            if (op == std::string(c.op) &&
                std::filesystem::path(path).filename().string().starts_with(c.name))
                throw Error(70, "negato");
        });
        CompattaArchivio(w, archive);
        platform::SetFileOperationHook({});
        EXPECT_EQ(seen, Strings{}) << "the archive was absent or not whole before these";
        EXPECT_EQ(LogEntries().size(), *c.op ? 1u : 0u);
        w.Text1.text.clear();
        EXPECT_EQ(Bytes(archive) != original, c.compacted);
        EXPECT_EQ(Rows(archive, "RIGHE").size(), 2000u);
        EXPECT_FALSE(w.FrameAttendere.visible);
    }
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
