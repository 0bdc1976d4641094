#include "platform/files.h"

#include "platform/box.h"

#include "platform/child.h"
#include "platform/notices.h"

#include "platform/vb_errors.h"
#include "tests/platform/temp_prefix.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::TempPrefix;

namespace {

// The error number a call throws (0 for none), whose description must be VB's for it.
int errorOf(const std::function<void()>& call) {
    const std::string failure = ledrana::testing::Failure(call);
    const int number = std::atoi(failure.c_str());
    EXPECT_TRUE(number == 0 || failure == std::to_string(number) + " " + VbErrorDescription(number))
        << failure;
    return number;
}

// C:\zu with a file, a read-only file, an empty file and a folder holding one file.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        zu = p.driveC() / "zu";
        TempPrefix::put(zu / "a.txt", "uno\r\ndue\r\n");
        TempPrefix::put(zu / "ro.txt", "fisso");
        fs::permissions(zu / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
        TempPrefix::put(zu / "empty.txt", "");
        TempPrefix::put(zu / "full" / "x.ini", "[a]");
    }
    TempPrefix p;
    fs::path zu;
};

// While a box is set, a change outside it is refused before it is made, also through a link that leads
// out; the box's folders and the process's temporary folders take changes.
TEST(Box, ChangesOutsideTheBoxAreRefused) {
    const TempPrefix p;
    fs::create_directories(p.driveC() / "box");
    fs::create_directories(p.driveC() / "fuori");
    fs::create_directory_symlink(p.driveC() / "fuori", p.driveC() / "box" / "esce");
    const std::string temp = MakeTempFolder();
    {
        const WriteBox box({(p.driveC() / "box").string()});
        const struct {
            const char* what;
            std::function<void()> change;
            int number;
        } cases[] = {
            {"folder inside", [] { MkDir("C:\\box\\nuova"); }, 0},
            {"file inside", [] { WriteOneLine("C:\\box\\dir.txt", "C:\\ZU"); }, 0},
            {"temporary folder", [&] { WriteNewFile(WindowsPath(temp + "/x.txt"), "x"); }, 0},
            {"folder outside", [] { MkDir("C:\\nuova"); }, kErrPermissionDenied},
            {"file outside", [] { WriteOneLine("C:\\fuori\\dir.txt", "C:\\ZU"); }, kErrPermissionDenied},
            {"through a link", [] { MkDir("C:\\box\\esce\\immagini"); }, kErrPermissionDenied},
            {"removing outside", [] { RmDir("C:\\fuori"); }, kErrPermissionDenied},
        };
        for (const auto& c : cases)
            EXPECT_EQ(errorOf(c.change), c.number) << c.what;
    }
    EXPECT_TRUE(fs::is_empty(p.driveC() / "fuori"));
    EXPECT_FALSE(fs::exists(p.driveC() / "nuova"));
    MkDir("C:\\nuova");
    RemoveTempFolder(temp);
}

} // namespace

// MkDir without its parent, FileCopy without its source or target folder and GetAttr of a bad name fail in
// install_test.cpp's CreaCartella, CopiaFile and EsisteCartella, checked there with their descriptions.
TEST_F(Files, ErrorNumbers) {
    struct Case {
        const char* what;
        std::function<void()> call;
        int number;
    } cases[] = {
        {"MkDir existing folder", [] { MkDir("C:\\ZU\\FULL"); }, kErrPathFileAccess},
        {"MkDir over a file", [] { MkDir("C:\\zu\\a.txt"); }, kErrPathFileAccess},
        {"MkDir unknown drive", [] { MkDir("Q:\\new"); }, kErrPathNotFound},
        {"MkDir bad name", [] { MkDir("C:\\zu\\a*b"); }, kErrBadFileName},
        {"RmDir missing", [] { RmDir("C:\\zu\\none"); }, kErrPathNotFound},
        {"RmDir not empty", [] { RmDir("C:\\zu\\full"); }, kErrPathFileAccess},
        {"Kill missing file", [] { Kill("C:\\zu\\none.txt"); }, kErrFileNotFound},
        {"Kill missing folder", [] { Kill("C:\\zu\\none\\a.txt"); }, kErrPathNotFound},
        {"Kill a folder", [] { Kill("C:\\zu\\full"); }, kErrFileNotFound},
        {"Kill read-only", [] { Kill("C:\\zu\\RO.TXT"); }, kErrPathFileAccess},
        {"FileCopy source folder missing", [] { FileCopy("C:\\no\\a.txt", "C:\\zu\\b.txt"); },
         kErrPathNotFound},
        {"FileCopy onto a folder", [] { FileCopy("C:\\zu\\a.txt", "C:\\zu\\full"); }, kErrPathFileAccess},
        {"FileCopy onto read-only", [] { FileCopy("C:\\zu\\a.txt", "C:\\zu\\ro.txt"); }, kErrPathFileAccess},
        {"FileCopy a folder", [] { FileCopy("C:\\zu\\full", "C:\\zu\\b.txt"); }, kErrFileNotFound},
        {"FileLen missing file", [] { FileLen("C:\\zu\\none.txt"); }, kErrFileNotFound},
        {"FileLen missing folder", [] { FileLen("C:\\none\\a.txt"); }, kErrPathNotFound},
        {"FileLen through a file", [] { FileLen("C:\\zu\\a.txt\\b"); }, kErrPathNotFound},
        {"GetAttr missing file", [] { GetAttr("C:\\zu\\none"); }, kErrFileNotFound},
        {"GetAttr missing folder", [] { GetAttr("C:\\none\\x"); }, kErrPathNotFound},
        {"ReadFirstLine missing", [] { ReadFirstLine("C:\\zu\\none.txt"); }, kErrFileNotFound},
        {"ReadFirstLine empty", [] { ReadFirstLine("C:\\zu\\empty.txt"); }, kErrInputPastEnd},
        {"ReadFirstLine folder", [] { ReadFirstLine("C:\\zu\\full"); }, kErrPathFileAccess},
        {"WriteOneLine missing folder", [] { WriteOneLine("C:\\none\\dir.txt", "x"); }, kErrPathNotFound},
        {"WriteOneLine read-only", [] { WriteOneLine("C:\\zu\\ro.txt", "x"); }, kErrPathFileAccess},
        {"RenameFile missing", [] { RenameFile("C:\\zu\\none", "C:\\zu\\b"); }, kErrFileNotFound},
        {"RenameFile onto existing", [] { RenameFile("C:\\zu\\a.txt", "C:\\zu\\empty.txt"); },
         kErrFileExists},
        {"RenameFile target folder missing", [] { RenameFile("C:\\zu\\a.txt", "C:\\no\\a.txt"); },
         kErrPathNotFound},
        {"ListFiles missing folder", [] { ListFiles("C:\\none", "*.ini"); }, kErrPathNotFound},
    };
    for (const Case& k : cases)
        EXPECT_EQ(errorOf(k.call), k.number) << k.what;
    // Nothing was changed by the failures.
    EXPECT_EQ(TempPrefix::get(zu / "ro.txt"), "fisso");
    EXPECT_TRUE(fs::exists(zu / "a.txt"));
    EXPECT_FALSE(fs::exists(zu / "b.txt"));
}

TEST_F(Files, PermissionDeniedByTheHost) {
    if (geteuid() == 0) GTEST_SKIP() << "the superuser is refused nothing";
    fs::create_directories(zu / "locked");
    fs::permissions(zu / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(errorOf([] { MkDir("C:\\zu\\locked\\x"); }), kErrPermissionDenied);
    EXPECT_EQ(errorOf([] { FileCopy("C:\\zu\\a.txt", "C:\\zu\\locked\\a.txt"); }), kErrPermissionDenied);
    fs::permissions(zu / "locked", fs::perms::owner_all);
}

TEST_F(Files, AttributesLengthCopyRenameAndDelete) {
    EXPECT_EQ(GetAttr("C:\\zu"), vbDirectory);
    EXPECT_EQ(GetAttr("C:\\zu\\a.txt"), vbArchive);
    EXPECT_EQ(GetAttr("C:\\zu\\ro.txt"), vbArchive | vbReadOnly);
    EXPECT_EQ(FileLen("C:\\zu\\A.TXT"), 10);
    EXPECT_EQ(FileLen("C:\\zu\\empty.txt"), 0);
    SetAttr("C:\\zu\\ro.txt", vbNormal);
    EXPECT_EQ(GetAttr("C:\\zu\\ro.txt"), vbArchive);
    SetAttr("C:\\zu\\a.txt", vbReadOnly);
    EXPECT_EQ(GetAttr("C:\\zu\\a.txt"), vbArchive | vbReadOnly);
    SetAttr("C:\\zu\\a.txt", vbNormal);

    TempPrefix::put(zu / "b.txt", "vecchio contenuto più lungo");
    FileCopy("C:\\ZU\\A.TXT", "C:\\zu\\B.TXT");
    EXPECT_EQ(TempPrefix::get(zu / "b.txt"), "uno\r\ndue\r\n");
    EXPECT_FALSE(fs::exists(zu / "B.TXT")); // replaced in place, under its stored name
    FileCopy("C:\\zu\\a.txt", "C:\\zu\\full\\Nuovo.TXT");
    EXPECT_EQ(TempPrefix::get(zu / "full" / "Nuovo.TXT"), "uno\r\ndue\r\n");
    Kill("c:\\zu\\full\\nuovo.txt");
    EXPECT_FALSE(fs::exists(zu / "full" / "Nuovo.TXT"));
    MkDir("C:\\zu\\vuota");
    RmDir("C:\\ZU\\VUOTA");
    EXPECT_FALSE(fs::exists(zu / "vuota"));
    // No temporary sibling is left behind.
    EXPECT_EQ(ListFiles("C:\\zu", "*.*"),
              (std::vector<std::string>{"a.txt", "b.txt", "empty.txt", "ro.txt"}));
    RenameFile("C:\\zu\\a.txt", "C:\\zu\\full\\moved.txt");
    EXPECT_EQ(TempPrefix::get(zu / "full" / "moved.txt"), "uno\r\ndue\r\n");
    RenameFile("C:\\zu\\full\\moved.txt", "C:\\zu\\full\\MOVED.TXT");
    EXPECT_TRUE(fs::exists(zu / "full" / "MOVED.TXT"));
}

// WriteOneLine's CR LF and a first line that is blank or ends at CR LF are dir.txt's in StartUp's tests.
TEST_F(Files, OneLineTextFiles) {
    TempPrefix::put(zu / "lf.txt", "Z:\\srv\\dati\nsecond");
    EXPECT_EQ(ReadFirstLine("C:\\zu\\lf.txt"), "Z:\\srv\\dati");
    TempPrefix::put(zu / "cp.txt", "C:\\Contabilit\xe0\r\n"); // written on Windows
    EXPECT_EQ(ReadFirstLine("C:\\zu\\cp.txt"), "C:\\Contabilità");
}

TEST_F(Files, ListingsAndExistence) {
    TempPrefix::put(zu / "ledrana" / "Ditta2000.ini", "");
    TempPrefix::put(zu / "ledrana" / "DittaEsempio.INI", "");
    TempPrefix::put(zu / "ledrana" / "altro.txt", "");
    TempPrefix::put(zu / "ledrana" / "ini.bak" / "x", "");
    EXPECT_EQ(ListFiles("C:\\ZU\\LEDRANA", "ditta????.ini"), (std::vector<std::string>{"Ditta2000.ini"}));
    EXPECT_EQ(ListFolders("C:\\zu"), (std::vector<std::string>{"full", "ledrana"}));
    EXPECT_TRUE(FileExists("c:\\zu\\A.txt"));
    EXPECT_FALSE(FileExists("C:\\zu\\full"));
    EXPECT_TRUE(FolderExists("C:\\ZU\\Full"));
    EXPECT_FALSE(FolderExists("C:\\zu\\a.txt"));
    EXPECT_FALSE(FileExists("Q:\\a.txt"));
    EXPECT_FALSE(FolderExists("C:\\a|b"));
    EXPECT_TRUE(MatchesPattern("più.ini", "PI?.INI"));
    EXPECT_FALSE(MatchesPattern("Ditta.ini.bak", "*.ini"));
}

// A lock that the file system refuses is said once per folder, naming it, however many files it holds.
TEST_F(Files, ALockFailureIsNoticedOncePerFolder) {
    TakeNotices();
    for (const fs::path& f : {zu / "a.txt", zu / "ro.txt", zu / "full" / "x.ini"})
        NoteLockFailure(f.string(), ENOLCK);
    const std::vector<Notice> notices = TakeNotices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].text.rfind("La cartella C:\\zu non permette di bloccare i file (", 0), 0u)
        << notices[0].text;
    EXPECT_EQ(notices[1].text.rfind("La cartella C:\\zu\\full non", 0), 0u) << notices[1].text;
    EXPECT_TRUE(TakeNotices().empty());
}

// A link planted at a name the program writes (by anyone who may write in a shared folder) is never
// followed: its target keeps its content, a link that leads nowhere makes nothing appear where it points,
// and a file made from an archive takes the archive's owner, group and mode.
TEST_F(Files, NoLinkPlantedAtANameIsFollowed) {
    const bool root = ::geteuid() == 0;
    const fs::path src = zu / "src.mdb", victim = zu / "vittima.txt", nowhere = zu / "full" / "nuovo.txt";
    TempPrefix::put(src, "archivio");
    ::chmod(src.c_str(), 0640);
    if (root) {
        ASSERT_EQ(::chown(src.c_str(), 1234, 5678), 0);
    }
    const std::string S = "C:\\zu\\src.mdb";
    struct Case {
        const char* planted; // the name the link is put at
        std::function<void()> call;
        int error;        // the error the call ends with, 0 for none
        const char* made; // the file the call leaves, "" for none
        bool derived;     // made from src: its owner, group and mode
    } cases[] = {
        {".a.txt.part", [] { WriteAllBytes("C:\\zu\\a.txt", "nuovo"); }, 0, "a.txt", false},
        {".new.ini.part", [] { WriteOneLine("C:\\zu\\new.ini", "x"); }, 0, "new.ini", false},
        {"src.mdb.tmp2", [&] { CopyToNewFile(S, S + ".tmp2"); }, kErrFileExists, "", false},
        {"src.mdb.tmp",
         [&] {
             Kill(S + ".tmp");
             CopyToNewFile(S, S + ".tmp");
         },
         0, "src.mdb.tmp", true},
        {"src.mdb.jet", [&] { EXPECT_EQ(CopyToFreeName(S, S + ".jet"), S + ".jet"); }, 0, "src.mdb.jet",
         true},
        {"src.csv", [&] { WriteDerivedFile(S, "C:\\zu\\src.csv", "a;b"); }, 0, "src.csv", true},
        {"src.mdb.conversione", [&] { TakeOwnershipFrom(S, S + ".conversione"); }, kErrPathFileAccess, "",
         false},
        {"src.mdb-journal", [&] { RemoveLink(S + "-journal"); }, 0, "", false},
    };
    for (const Case& c : cases) {
        for (const fs::path& target : {victim, nowhere}) {
            const std::string what = std::string(c.planted) + " -> " + target.filename().string();
            TempPrefix::put(victim, "intatto");
            ::chmod(victim.c_str(), 0600);
            fs::remove(nowhere);
            fs::remove(zu / c.planted);
            fs::create_symlink(target, zu / c.planted);
            EXPECT_EQ(errorOf(c.call), c.error) << what;
            EXPECT_EQ(TempPrefix::get(victim), "intatto") << what;
            struct stat st {};
            ASSERT_EQ(::stat(victim.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0600u) << what;
            EXPECT_EQ(st.st_uid, ::geteuid()) << what;
            EXPECT_FALSE(fs::exists(nowhere)) << what;
            if (!*c.made) continue;
            ASSERT_EQ(::lstat((zu / c.made).c_str(), &st), 0) << what;
            EXPECT_TRUE(S_ISREG(st.st_mode)) << what;
            if (!c.derived) continue;
            EXPECT_EQ(st.st_mode & 07777, 0640u) << what;
            if (root) {
                EXPECT_EQ(st.st_uid * 10000 + st.st_gid, 1234u * 10000 + 5678u) << what;
            }
            fs::remove(zu / c.made);
        }
    }
    EXPECT_EQ(errorOf([&] { CopyToNewFile(S, "C:\\zu\\a.txt"); }), kErrFileExists);
}

// Every way of replacing a file keeps what the user set on it: its mode, owner and group, and the link that
// leads to it. A writable file in a folder that cannot be written is rewritten in place; the writer is a
// child process, which gives up the superuser's rights (the superuser writes any folder).
TEST_F(Files, ReplacingKeepsWhatTheUserSetOnTheFile) {
    const bool root = ::geteuid() == 0;
    TempPrefix::put(zu / "src.bin", "copiato");
    ::chmod((zu / "src.bin").c_str(), 0644);
    const struct {
        const char* what;
        std::function<void(const std::string& path)> write;
        std::string expected;
    } writers[] = {
        {"WriteAllBytes", [](const std::string& f) { WriteAllBytes(f, "tutto"); }, "tutto"},
        {"WriteOneLine", [](const std::string& f) { WriteOneLine(f, "riga"); }, "riga\r\n"},
        {"FileCopy", [](const std::string& f) { FileCopy("C:\\zu\\src.bin", f); }, "copiato"},
        {"ReplaceWithCopy", [](const std::string& f) { ReplaceWithCopy("C:\\zu\\src.bin", f); }, "copiato"},
    };
    fs::create_directories(zu / "altrove");
    const fs::path folder = zu / "chiusa", inside = folder / "dentro.ini";
    fs::create_directories(folder);
    // The child must reach the machine's temporary folder and list every folder on the way.
    fs::create_directories(p.driveC() / "WINDOWS" / "TEMP");
    ::chmod((p.driveC() / "WINDOWS" / "TEMP").c_str(), 0777);
    for (fs::path up = zu; up.string().size() >= p.root().string().size(); up = up.parent_path())
        ::chmod(up.c_str(), 0755);
    ::chmod((p.driveC() / "WINDOWS").c_str(), 0755);
    for (const auto& w : writers) {
        SCOPED_TRACE(w.what);
        struct stat st {};
        for (const std::string name : {"C:\\zu\\altrove\\vero.ini", "C:\\zu\\link.ini"}) {
            SCOPED_TRACE(name);
            const fs::path f = zu / "altrove" / "vero.ini";
            TempPrefix::put(f, "vecchio");
            ::chmod(f.c_str(), 0640);
            if (root) {
                ASSERT_EQ(::chown(f.c_str(), 1234, 4321), 0);
            }
            fs::remove(zu / "link.ini");
            fs::create_symlink("altrove/vero.ini", zu / "link.ini");
            w.write(name);
            ASSERT_EQ(::stat(f.c_str(), &st), 0);
            EXPECT_EQ(TempPrefix::get(f), w.expected);
            EXPECT_EQ(st.st_mode & 07777, 0640u);
            if (root) {
                EXPECT_EQ(st.st_uid * 10000 + st.st_gid, 1234u * 10000 + 4321u);
            }
            EXPECT_EQ(fs::read_symlink(zu / "link.ini"), "altrove/vero.ini");
            EXPECT_FALSE(fs::exists(zu / "altrove" / ".vero.ini.part"));
        }

        TempPrefix::put(inside, std::string(50, 'x'));
        ::chmod(inside.c_str(), 0666);
        ::chmod(folder.c_str(), 0555);
        ::stat(inside.c_str(), &st);
        const ino_t before = st.st_ino;
        const auto write = [&] {
            if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                return std::string("not another user");
            w.write("C:\\zu\\chiusa\\dentro.ini");
            return std::string("written");
        };
        EXPECT_EQ(RunInChild(write, std::chrono::seconds(30)).answer, "written");
        ::stat(inside.c_str(), &st);
        EXPECT_EQ(TempPrefix::get(inside), w.expected);
        EXPECT_EQ(st.st_ino, before) << "the file was replaced, not rewritten";
        EXPECT_EQ(fs::directory_iterator(p.driveC() / "WINDOWS" / "TEMP"), fs::directory_iterator())
            << "copies left behind";
        ::chmod(folder.c_str(), 0755);
    }
}
