#include "platform/paths.h"

#include "platform/files.h"
#include "platform/vb_errors.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::TempPrefix;

namespace {

int errorOf(const std::string& windowsPath) {
    return ledrana::testing::ErrorOf([&] { HostPath(windowsPath); });
}

// A Windows path, and its host path or, when that is empty, the error number it gives.
struct Spelling {
    std::string windows, host;
    int number;
};
void ExpectHostPaths(const std::vector<Spelling>& cases) {
    for (const Spelling& k : cases) {
        EXPECT_EQ(errorOf(k.windows), k.number) << k.windows;
        if (k.number == 0) {
            EXPECT_EQ(HostPath(k.windows), k.host) << k.windows;
        }
    }
}

} // namespace

TEST(Paths, EverySpellingReachesOneFolderAndNewOnesKeepTheirCase) {
    TempPrefix p;
    MkDir("C:\\LEDRANA");
    MkDir("C:\\LEDRANA\\Ini");
    const fs::path expected = p.driveC() / "LEDRANA" / "Ini";
    for (const char* spelling :
         {"C:\\LEDRANA\\Ini", "C:\\LEDRANA\\INI", "c:\\ledrana\\ini", "c:/Ledrana/iNI/"})
        EXPECT_EQ(HostPath(spelling), expected.string()) << spelling;

    // A file written through one spelling is read through another.
    WriteOneLine("c:\\ledrana\\ini\\Ini.ini", "x");
    EXPECT_TRUE(fs::exists(expected / "Ini.ini"));
    EXPECT_EQ(ReadFirstLine("C:\\LEDRANA\\INI\\INI.INI"), "x");

    // Missing components keep their case.
    fs::create_directories(p.driveC() / "Zu");
    EXPECT_EQ(HostPath("C:\\ZU\\NuovaDitta\\Cont32.mdb"),
              (p.driveC() / "Zu" / "NuovaDitta" / "Cont32.mdb").string());
    MkDir("c:\\zu\\NuovaDitta");
    EXPECT_TRUE(fs::is_directory(p.driveC() / "Zu" / "NuovaDitta"));

    // ditte and DITTE both on disk: every spelling reaches the first of them in byte order, so what is
    // written through one spelling is read through any other.
    fs::create_directories(p.driveC() / "ditte");
    fs::create_directories(p.driveC() / "DITTE");
    for (const char* spelling : {"C:\\DITTE", "C:\\ditte", "C:\\Ditte", "c:/dITTE/"})
        EXPECT_EQ(HostPath(spelling), (p.driveC() / "DITTE").string()) << spelling;
    WriteAllBytes("C:\\ditte\\Ditta.ini", "[Archivi]\r\nLedrana=Cont32.Mdb\r\n");
    EXPECT_EQ(ReadAllBytes("C:\\DITTE\\DITTA.INI"), "[Archivi]\r\nLedrana=Cont32.Mdb\r\n");
    EXPECT_TRUE(fs::is_empty(p.driveC() / "ditte"));
}

// A folder left alone for a while is listed once; a name added, removed or renamed in it afterwards is seen
// at the next look all the same.
TEST(Paths, ASettledFolderSeesTheNamesChangedInItLater) {
    TempPrefix p;
    const fs::path zu = p.driveC() / "Zu";
    fs::create_directories(zu / "Gamma");
    const auto settle = [&] {
        fs::last_write_time(zu, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    };
    settle();
    EXPECT_EQ(HostPath("C:\\ZU\\GAMMA"), (zu / "Gamma").string());
    EXPECT_EQ(HostPath("C:\\ZU\\gamma"), (zu / "Gamma").string()); // from the listing
    fs::create_directories(zu / "GAMMA");
    EXPECT_EQ(HostPath("C:\\ZU\\gamma"), (zu / "GAMMA").string());
    settle();
    EXPECT_EQ(HostPath("C:\\ZU\\gamma"), (zu / "GAMMA").string());
    fs::remove(zu / "GAMMA");
    EXPECT_EQ(HostPath("C:\\ZU\\gamma"), (zu / "Gamma").string());
    settle();
    EXPECT_EQ(HostPath("C:\\ZU\\Delta"), (zu / "Delta").string());
    fs::rename(zu / "Gamma", zu / "delta");
    EXPECT_EQ(HostPath("C:\\ZU\\Delta"), (zu / "delta").string());
    EXPECT_EQ(HostPath("C:\\ZU\\Gamma"), (zu / "Gamma").string()); // missing: the spelling given
}

// Dots, drives and the names Windows refuses: the host path, or the error number.
TEST(Paths, DotsDrivesDosDevicesAndErrorNumbers) {
    TempPrefix p;
    const std::string c = p.driveC().string();
    ExpectHostPaths({
        {"C:\\WINDOWS\\Start Menu\\Programs\\..\\..\\Desktop", c + "/WINDOWS/Desktop", 0},
        {"C:\\windows\\.\\desktop", c + "/WINDOWS/Desktop", 0},
        {"C:\\..\\..\\WINDOWS", c + "/WINDOWS", 0},
        {"C:\\", c, 0},
        {"c:", c, 0},
        {"Z:\\", "/", 0},
        {"Z:\\TMP", "/tmp", 0},
        {"z:/usr//bin", "/usr/bin", 0},
        {"Q:\\x", "", kErrPathNotFound},
        {"\\\\server\\share\\x", "", kErrPathNotFound},
        {"", "", kErrBadFileName},
        {"C:\\a<b", "", kErrBadFileName},
        {"C:\\a\\b?", "", kErrBadFileName},
        {"C:\\a:b", "", kErrBadFileName},
    });
    // Other drives, through dosdevices.
    fs::create_directories(p.root() / "share" / "Dati");
    fs::create_directories(p.root() / "dosdevices");
    fs::create_directory_symlink(p.root() / "share", p.root() / "dosdevices" / "s:");
    EXPECT_EQ(HostPath("S:\\DATI\\x.mdb"), (p.root() / "dosdevices" / "s:" / "Dati" / "x.mdb").string());
    EXPECT_TRUE(FolderExists("s:\\dati"));
    EXPECT_EQ(errorOf("T:\\dati"), kErrPathNotFound);
}

// A share is reached by its Windows name where it is mounted: <prefix>/unc/server/share.
TEST(Paths, SharesByTheirWindowsName) {
    TempPrefix p;
    const fs::path mount = p.root() / "unc" / "Server" / "dati";
    fs::create_directories(mount / "ZU" / "Ledrana");
    fs::create_directories(p.root() / "altrove" / "Archivi");
    fs::create_directory_symlink(p.root() / "altrove", p.root() / "unc" / "Server" / "vecchi");
    const std::string zu = (mount / "ZU").string();
    ExpectHostPaths({
        {"\\\\SERVER\\dati\\ZU", zu, 0},
        {"\\\\server\\DATI\\zu\\ledrana\\Ditta.ini", zu + "/Ledrana/Ditta.ini", 0},
        {"//Server/dati/ZU/", zu, 0},
        {"\\\\SERVER\\dati\\..\\..\\ZU", zu, 0}, // ".." stops at the share
        {"\\\\SERVER\\VECCHI\\archivi", (p.root() / "unc" / "Server" / "vecchi" / "Archivi").string(),
         0}, // a link
        {"\\\\SERVER\\dati", mount.string(), 0},
        {"\\\\SERVER\\altri\\ZU", "", kErrPathNotFound}, // a share not mounted
        {"\\\\ALTRO\\dati\\ZU", "", kErrPathNotFound},   // a server without shares here
        {"\\\\SERVER", "", kErrPathNotFound},
        {"\\\\SERVER\\da?ti", "", kErrBadFileName},
    });
    EXPECT_TRUE(FolderExists("\\\\server\\dati\\zu"));
    EXPECT_FALSE(FolderExists("\\\\server\\altri\\zu"));
    WriteOneLine("\\\\SERVER\\DATI\\ZU\\prova.txt", "x");
    EXPECT_TRUE(fs::exists(mount / "ZU" / "prova.txt"));

    // Host paths in a share have its Windows spelling, names as on disk; the folders above it do not.
    EXPECT_EQ(WindowsPath((mount / "ZU" / "Ledrana").string()), "\\\\Server\\dati\\ZU\\Ledrana");
    EXPECT_EQ(WindowsPath(mount.string()), "\\\\Server\\dati");
    EXPECT_EQ(WindowsPath((p.root() / "unc" / "Server").string()).rfind("Z:", 0), 0u);
    EXPECT_EQ(NormalizeWindowsPath("\\\\Server\\dati\\ZU\\..\\..\\x/"), "\\\\Server\\dati\\x");
    EXPECT_EQ(NormalizeWindowsPath("//Server/dati/"), "\\\\Server\\dati");
}

TEST(Paths, WindowsSpellingOfHostPathsAndThePrefix) {
    TempPrefix p;
    EXPECT_EQ(WindowsPath("/opt/x"), "Z:\\opt\\x");
    EXPECT_EQ(WindowsPath("/"), "Z:\\");
    EXPECT_EQ(WindowsPath((p.driveC() / "ZU" / "ledrana").string()), "C:\\ZU\\ledrana");
    EXPECT_EQ(WindowsPath(p.driveC().string() + "/"), "C:\\");
    std::string other = "Z:" + p.root().string() + "\\drive_cx\\a";
    std::replace(other.begin(), other.end(), '/', '\\');
    EXPECT_EQ(WindowsPath(p.root().string() + "/drive_cx/a"), other);
    // Round trip through both directions.
    for (const std::string w : {"C:\\WINDOWS\\Desktop", "Z:\\usr\\share"})
        EXPECT_EQ(WindowsPath(HostPath(w)), w);
    // A path without a drive is taken on the current folder, which has a Z: spelling.
    EXPECT_EQ(HostPath("sub\\file.txt"), (fs::current_path() / "sub" / "file.txt").string());
    EXPECT_EQ(NormalizeWindowsPath("c:/zu//ledrana/./ini/../INI/"), "c:\\zu\\ledrana\\INI");

    // The prefix's skeleton, and the prefix taken when none is set.
    EXPECT_TRUE(fs::is_directory(p.driveC() / "WINDOWS" / "Start Menu" / "Programs"));
    EXPECT_TRUE(fs::is_directory(p.driveC() / "WINDOWS" / "Desktop"));

    {
        const ledrana::testing::ScopedEnv set("TESSARO_PREFIX", "/srv/tessaro-test");
        EXPECT_EQ(DefaultPrefix(), "/srv/tessaro-test");
    }
    const ledrana::testing::ScopedEnv empty("TESSARO_PREFIX", "");
    EXPECT_EQ(DefaultPrefix(), std::string(std::getenv("HOME")) + "/.tessaro");
}
