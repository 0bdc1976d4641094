// The temporary folders of a process, and what becomes of those a killed process left.

#include "platform/files.h"
#include "platform/paths.h"

#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::ChildWhile;
using ledrana::testing::ScopedEnv;
using ledrana::testing::TempPrefix;

namespace {

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

} // namespace
