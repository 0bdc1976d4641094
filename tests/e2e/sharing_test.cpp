// Updates of an installation shared with other programs: an archive that another program holds, an archive
// that is not a database, a data folder on a share named by its Windows name.

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

const std::string kFailed = "Aggiornamento NON eseguito completamente";
const std::string kGammaCont =
    "C:\\ZU\\Gamma\\CONT32.MDB"; // as the run names it (INI values are upper-cased)

// The boxes of a run without the Null boxes that Alfa's archive always gives.
std::vector<std::string> Boxes(const Outcome& o) {
    std::vector<std::string> out;
    for (const Box& b : o.boxes)
        if (b.text != "Tipo non previsto su VerificaCampiNull1") out.push_back(b.text);
    return out;
}

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

// The entries of a run that name an archive path.
std::vector<std::string> EntriesAbout(const Outcome& o, const std::string& path) {
    std::vector<std::string> out;
    for (const std::string& e : o.entries)
        if (e.find(path) != std::string::npos) out.push_back(e);
    return out;
}

// An update in which Gamma's accounting archive could not be had: one report of it (a log entry and the same
// box), the archive left byte for byte, every other archive updated, the run incomplete.
void ExpectGammaReportedOnce(const Machine& m, const Outcome& o, const std::string& before, int number) {
    EXPECT_EQ(o.status, 1) << o.console;
    const std::vector<std::string> about = EntriesAbout(o, kGammaCont);
    ASSERT_EQ(about.size(), 1u) << o.log;
    const std::string& report = about[0];
    EXPECT_EQ(report.rfind("ditta Gamma.ini database " + kGammaCont + " non aggiornato: ", 0), 0u) << report;
    EXPECT_NE(report.find("\n" + std::to_string(number) + " "), std::string::npos) << report;
    EXPECT_NE(report.find("eseguire di nuovo l'aggiornamento"), std::string::npos) << report;
    const std::vector<std::string> expected = {"Ditta: Beta\n E' PROTETTA:  IMPOSTARE LA PASSWORD", report,
                                               kFailed};
    EXPECT_EQ(Boxes(o), expected);
    EXPECT_EQ(o.entries.back(), kFailed);
    EXPECT_EQ(m.read(kGammaCont), before);

    const std::string cont = m.Schema((ReleaseFolder() / "CONT32.MDB").string());
    const std::string scad = m.Schema((ReleaseFolder() / "SCAD32.MDB").string());
    EXPECT_EQ(StructureDifferences(cont, m.Schema("C:\\ZU\\Alfa\\Cont32.mdb")), "");
    EXPECT_EQ(StructureDifferences(scad, m.Schema("C:\\ZU\\Gamma\\Scad32.mdb")), "");
    EXPECT_NE(o.entry("ditta Gamma.ini database C:\\ZU\\Gamma\\SCAD32.MDB aggiornato"), -1) << o.log;
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
        ExpectGammaReportedOnce(m, held, before, 3045);
        EXPECT_NE(
            StructureDifferences(m.Schema((ReleaseFolder() / "CONT32.MDB").string()), m.Schema(kGammaCont)),
            "");

        holder->Stop();
        const Outcome next = m.Update();
        EXPECT_EQ(next.status, 0) << next.log;
        EXPECT_NE(next.entry("ditta Gamma.ini database " + kGammaCont + " aggiornato"), -1) << next.log;
        EXPECT_EQ(
            StructureDifferences(m.Schema((ReleaseFolder() / "CONT32.MDB").string()), m.Schema(kGammaCont)),
            "");
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

TEST(E2eSharing, AnArchiveThatIsNotADatabaseIsOneReportWithoutACascade) {
    Machine m("old");
    const std::string text = "Questo file non e' un archivio.\r\n";
    m.write(kGammaCont, text);
    const Outcome o = m.Update();
    ExpectGammaReportedOnce(m, o, text, 3343);
    for (const Box& b : o.boxes)
        EXPECT_EQ(b.text.find("Variabile oggetto"), std::string::npos) << b.text;
}

TEST(E2eSharing, ADataFolderOnAShareNamedByItsWindowsName) {
    Machine m("old");
    const std::string share = "\\\\SERVER\\dati\\ZU";
    const fs::path mount = m.root() / "unc" / "server" / "dati";
    fs::create_directories(mount);
    fs::rename(m.root() / "drive_c" / "ZU", mount / "ZU");
    m.write("C:\\WINDOWS\\dir.txt", share + "\r\n");
    // Beta's INI names its archives by full path, as an office that moved its data would have rewritten it.
    std::string beta = m.read(share + "\\ledrana\\Beta.ini");
    for (std::size_t at; (at = beta.find("C:\\ZU")) != std::string::npos;)
        beta.replace(at, 5, share);
    m.write(share + "\\ledrana\\Beta.ini", beta);

    const Outcome o = m.Update();
    EXPECT_EQ(o.status, 0) << o.log;
    for (const char* company : {"Alfa", "Gamma"}) {
        for (const char* archive : {"CONT32.MDB", "SCAD32.MDB"}) {
            const std::string path = share + "\\" + company + "\\" + archive;
            EXPECT_NE(o.entry("ditta " + std::string(company) + ".ini database " + path + " aggiornato"), -1)
                << path << "\n"
                << o.log;
            EXPECT_EQ(StructureDifferences(m.Schema((ReleaseFolder() / archive).string()), m.Schema(path)),
                      "")
                << path;
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
