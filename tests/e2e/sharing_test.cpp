// Updates of an installation shared with other programs: an archive that another program holds, two runs at
// once, a data folder on a share named by its Windows name.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>

#include "platform/filelock.h"
#include "platform/runlock.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::Background;

// Every file and folder of a machine but the runs' own folders: kind and mode, content or link target.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = fs::relative(it->path(), root).string();
        if (name.rfind("run", 0) == 0) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        ::lstat(it->path().c_str(), &st);
        std::string& v = out[name] = std::to_string(st.st_mode) + " ";
        if (S_ISREG(st.st_mode)) v += ledrana::testing::TempPrefix::get(it->path());
        if (S_ISLNK(st.st_mode)) v += fs::read_symlink(it->path()).string();
    }
    return out;
}

TEST(E2eSharing, AnArchiveAnotherProgramHoldsIsReportedOnceAndUpdatedByTheNextRun) {
    struct Holder {
        const char* name;
        std::function<std::unique_ptr<Background>(const Machine&, const std::string&)> start;
    } holders[] = {
        {"the main program (the engine)",
         [](const Machine& m, const std::string& host) {
             auto h = std::make_unique<Background>(std::vector<std::string>{E2E_DAOTOOL, "hold", host, "600"},
                                                   m.root());
             EXPECT_TRUE(h->WaitForLine("holding")) << h->output();
             return h;
         }},
        {"a reader inside a transaction (the sqlite3 tool)",
         [](const Machine& m, const std::string& host) {
             auto h = std::make_unique<Background>(
                 std::vector<std::string>{"sqlite3", host, "BEGIN;", "SELECT count(*) FROM MSysTables;",
                                          ".shell sleep 600"},
                 m.root());
             const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             while (!platform::LockedElsewhere(host, 0x40000000, 512) &&
                    std::chrono::steady_clock::now() < until)
                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
             EXPECT_TRUE(platform::LockedElsewhere(host, 0x40000000, 512)) << h->output();
             return h;
         }},
    };
    for (const Holder& h : holders) {
        SCOPED_TRACE(h.name);
        Machine m("old");
        const std::string before = m.read(kGammaCont);
        auto holder = h.start(m, m.host(kGammaCont).string());
        const Outcome held = m.Update();
        ExpectGammaReportedOnce(m, held, before, 3045, "eseguire di nuovo l'aggiornamento");
        EXPECT_NE(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(kGammaCont)), "");

        holder->Stop();
        const Outcome next = m.Update();
        EXPECT_EQ(next.status, 0) << next.log;
        EXPECT_NE(next.entry("ditta Gamma.ini database " + kGammaCont + " aggiornato"), -1) << next.log;
        EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(kGammaCont)), "");
    }
}

TEST(E2eSharing, TwoRunsAtOnceOneUpdatesTheOtherEndsTouchingNothing) {
    Machine m("old");
    const fs::path dir = m.root() / "run-first";
    fs::create_directories(dir);
    std::ofstream(dir / "answers.txt") << kAnswers;
    // The first run is stopped just before its second change: it holds the data folder's lock (its first
    // change made the lock file) and has changed nothing else yet.
    Background first({E2E_AGGIORNA_GUASTI, "--stop-at", "2", "--prefix", m.root().string(), "--model",
                      ReleaseFolder().string(), "--answers", (dir / "answers.txt").string(), "--log",
                      (dir / "log.txt").string()},
                     m.root());
    ASSERT_TRUE(first.WaitForLine("stopped")) << first.output();
    const auto before = Snapshot(m.root());

    const Outcome second = m.Update();
    EXPECT_EQ(second.status, 1) << second.console;
    const int box = second.box("Un altro aggiornamento della cartella dati C:\\ZU è in corso dal computer " +
                               platform::ComputerName() + " (utente ");
    ASSERT_NE(box, -1) << second.console;
    EXPECT_NE(second.boxes[box].text.find(", iniziato il "), std::string::npos) << second.boxes[box].text;
    EXPECT_EQ(second.entries, std::vector<std::string>{kFailed}) << second.log;
    EXPECT_EQ(Snapshot(m.root()) == before, true) << "the second run changed a file";

    EXPECT_EQ(first.Continue(), 0) << first.output();
    EXPECT_NE(ledrana::testing::TempPrefix::get(dir / "log.txt").find("\r\n->Aggiornamento eseguito"),
              std::string::npos);
}

TEST(E2eSharing, ADataFolderOnAShareNamedByItsWindowsName) {
    Machine m("old");
    const std::string share = m.MoveDataToShare();

    const Outcome o = m.Update();
    EXPECT_EQ(o.status, 0) << o.log;
    for (const char* company : {"Alfa", "Gamma"}) {
        for (const char* archive : {"CONT32.MDB", "SCAD32.MDB"}) {
            const std::string path = share + "\\" + company + "\\" + archive;
            EXPECT_NE(o.entry("ditta " + std::string(company) + ".ini database " + path + " aggiornato"), -1)
                << path << "\n"
                << o.log;
            EXPECT_EQ(StructureDifferences(m.Schema(Release(archive)), m.Schema(path)), "") << path;
        }
    }
    // Beta's paths come from its INI, upper-cased as every INI value.
    EXPECT_NE(o.entry("ditta Beta.ini database \\\\SERVER\\DATI\\ZU\\BETA\\CONT32.MDB aggiornato"), -1)
        << o.log;
    EXPECT_EQ(o.box("non è attualmente disponibile"), -1);
    EXPECT_FALSE(fs::exists(m.root() / "drive_c" / "ZU"));
    EXPECT_EQ(m.ini(share + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "048.5");
}

} // namespace
} // namespace ledrana::e2e
