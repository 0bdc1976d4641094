// What the program makes: folders and files that take their folder's owner, the temporary folders of a
// process, the skeleton of a machine.

#include "platform/files.h"
#include "platform/paths.h"

#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <functional>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::ChildWhile;
using ledrana::testing::ScopedEnv;
using ledrana::testing::TempPrefix;

namespace {

struct stat Stat(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(lstat(p.c_str(), &st), 0) << p;
    return st;
}

// A folder made in a shared folder is the shared folder's (owner, group, mode and its set-group-ID bit);
// a file that a run as root makes there is its owner's too.
TEST(Made, FoldersTakeTheirFoldersOwnerGroupAndModeAndARootRunsFilesItsOwner) {
    const TempPrefix p;
    const fs::path shared = p.driveC() / "ZU";
    fs::create_directories(shared);
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || chown(shared.c_str(), 4242, 4243) == 0);
    fs::permissions(shared, fs::perms(root ? 02770 : 0750));
    TempPrefix::put(p.root() / "modello.ini", "[a]\r\n");
    MkDir("C:\\ZU\\ledrana");
    WriteNewFile("C:\\ZU\\rapporto.html", "<html>");
    FileCopy(WindowsPath((p.root() / "modello.ini").string()), "C:\\ZU\\Ditta.ini");
    const struct stat folder = Stat(shared / "ledrana");
    EXPECT_EQ(folder.st_mode & 07777, root ? 02770u : 0750u);
    for (const fs::path& made : {shared / "ledrana", shared / "rapporto.html", shared / "Ditta.ini"}) {
        EXPECT_EQ(Stat(made).st_uid, root ? 4242u : geteuid()) << made;
        EXPECT_EQ(Stat(made).st_gid, root ? 4243u : Stat(shared).st_gid) << made;
    }
}

// Temporary folders: the one a killed process left is removed once nobody holds it; a live process's, one
// still held (by a process this one cannot see) and this process's own stay. Removing never follows a link.
TEST(TempFolders, AFolderAKilledProcessLeftIsRemovedOnceNobodyHoldsIt) {
    const TempPrefix p;
    const fs::path temp = p.root() / "tmp", outside = p.root() / "fuori";
    fs::create_directories(temp);
    TempPrefix::put(outside / "tenere.txt", "intatto");
    const ScopedEnv tmpdir("TMPDIR", temp.string());

    const pid_t killed = fork();
    if (killed == 0) {
        const fs::path f = MakeTempFolder();
        TempPrefix::put(f / "copia" / "dati.mdb", "x");
        fs::create_directory_symlink(outside, f / "copia" / "collegamento");
        _exit(0);
    }
    waitpid(killed, nullptr, 0);
    const ChildWhile alive([] { return !MakeTempFolder().empty(); });
    ASSERT_TRUE(alive.held());
    // A dead process's name, held by a process of another namespace.
    const fs::path elsewhere = temp / ("ledrana-" + std::to_string(killed) + "-zzzzzz");
    fs::create_directory(elsewhere);
    const ChildWhile holder([&] { return flock(open(elsewhere.c_str(), O_RDONLY), LOCK_EX) == 0; });
    const std::string own = MakeTempFolder();
    EXPECT_EQ(fs::path(own).filename().string().rfind("ledrana-" + std::to_string(getpid()) + "-", 0), 0u);
    ASSERT_EQ(std::distance(fs::directory_iterator(temp), {}), 4);

    EXPECT_EQ(RemoveAbandonedTempFolders(), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp), {}), 3);
    EXPECT_TRUE(fs::exists(elsewhere));
    EXPECT_TRUE(fs::exists(own));
    EXPECT_EQ(TempPrefix::get(outside / "tenere.txt"), "intatto");
    EXPECT_TRUE(RemoveTempFolder(own));
    EXPECT_FALSE(fs::exists(own));
}

// A machine gets its skeleton at its first use, never when it is only looked at.
TEST(Skeleton, ComesWithTheFirstUseNeverOnAMachineOnlyLookedAt) {
    const TempPrefix p;
    const std::string looked = (p.root() / "guardata").string();
    fs::create_directories(looked);
    ExaminePrefix(looked);
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\dir.txt"));
    EXPECT_TRUE(fs::is_empty(looked));
    const std::string used = (p.root() / "usata").string();
    SetPrefix(used);
    EXPECT_FALSE(fs::exists(used));
    HostPath("C:\\ZU");
    EXPECT_TRUE(fs::is_directory(fs::path(used) / "drive_c" / "WINDOWS" / "Start Menu" / "Programs"));
    EXPECT_TRUE(fs::is_directory(fs::path(used) / "drive_c" / "WINDOWS" / "Desktop"));
}

} // namespace
