#include "platform/shell.h"

#include "platform/shell_folders.h"
#include "tests/platform/temp_prefix.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::TempPrefix;

namespace {

void putScript(const fs::path& p, const std::string& body) {
    TempPrefix::put(p, "#!/bin/sh\n" + body + "\n");
    fs::permissions(p, fs::perms::owner_all);
}

} // namespace

TEST(Shell, StartProgramStartsHostExecutablesOnly) {
    TempPrefix p;
    const fs::path out = p.root() / "started.txt";
    putScript(p.driveC() / "Tessaro" / "avvia", "echo \"$1\" > '" + out.string() + "'");
    EXPECT_EQ(StartProgram("C:\\TESSARO\\AVVIA", {"ciao"}), StartResult::Started);
    EXPECT_EQ(TempPrefix::getLine(out), "ciao\n");

    TempPrefix::put(p.driveC() / "Tessaro" / "LEDRANA.EXE", std::string("MZ\x90\0", 4));
    fs::permissions(p.driveC() / "Tessaro" / "LEDRANA.EXE", fs::perms::owner_all);
    EXPECT_EQ(StartProgram("C:\\Tessaro\\LEDRANA.EXE"), StartResult::NotExecutable);
    EXPECT_EQ(StartProgram("C:\\Tessaro\\manca.exe"), StartResult::NotFound);
    EXPECT_EQ(StartProgram("C:\\Tessaro\\a|b"), StartResult::NotFound);

    // Turned off (unattended runs): nothing is started.
    fs::remove(out);
    SetProgramStarting(false);
    EXPECT_EQ(StartProgram("C:\\TESSARO\\AVVIA", {"ancora"}), StartResult::Disabled);
    EXPECT_EQ(StartProgram("C:\\Tessaro\\manca.exe"), StartResult::Disabled); // nothing to report either
    SetProgramStarting(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(out));
}

// Shell links are named relative to the Programs folder; where the special folders are.
TEST(Shell, RemoveShellLinkRelativeToProgramsAndSpecialFolders) {
    TempPrefix p;
    const fs::path desktop = p.driveC() / "WINDOWS" / "Desktop";
    const fs::path group = p.driveC() / "WINDOWS" / "Start Menu" / "Programs" / "Ledrana";
    TempPrefix::put(desktop / "Tessaro.lnk", "");
    TempPrefix::put(group / "2 Leggimi.lnk", "");
    EXPECT_TRUE(RemoveShellLink("..\\..\\Desktop", "tessaro"));
    EXPECT_TRUE(RemoveShellLink("Ledrana", "2 Leggimi"));
    EXPECT_FALSE(RemoveShellLink("Ledrana", "2 Leggimi"));
    EXPECT_FALSE(RemoveShellLink("Tessaro", "1 Tessaro Pellor Quilder"));
    EXPECT_TRUE(fs::is_empty(desktop));
    EXPECT_TRUE(fs::is_empty(group));

    EXPECT_EQ(GetWindowsDirectory(), "C:\\WINDOWS");
    EXPECT_EQ(SpecialFolderPath(CSIDL_PROGRAMS), "C:\\WINDOWS\\Start Menu\\Programs");
    EXPECT_EQ(SpecialFolderPath(CSIDL_DESKTOP_FOLDER), "C:\\WINDOWS\\Desktop");
    EXPECT_EQ(SpecialFolderPath(0x7777), "");

    const fs::path home = p.root() / "home";
    fs::create_directories(home);
    const ledrana::testing::ScopedEnv h("HOME", home.string()),
        x("XDG_CONFIG_HOME", (home / ".config").string());
    fs::create_directories(home / "Documents"); // user-dirs.dirs names another folder: that one counts
    fs::create_directories(home / "Documenti");
    TempPrefix::put(home / ".config" / "user-dirs.dirs",
                    "XDG_DESKTOP_DIR=\"$HOME/Scrivania\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documenti\"\n");
    EXPECT_EQ(SpecialFolderPath(CSIDL_PERSONAL), WindowsPath((home / "Documenti").string()));
    // Without user-dirs.dirs the folder is Documents, and without that one there is none.
    fs::remove(home / ".config" / "user-dirs.dirs");
    EXPECT_EQ(SpecialFolderPath(CSIDL_PERSONAL), WindowsPath((home / "Documents").string()));
    fs::remove(home / "Documents");
    EXPECT_EQ(SpecialFolderPath(CSIDL_PERSONAL), "");
}
