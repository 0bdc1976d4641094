// The way back from an update: `aggiorna-batch --ripristina` puts the data folder, and what the run changed
// beside archives outside it, back as the run's restore point holds it, byte for byte, so that the next run
// updates again; the archives go back as copies, so the point keeps what it holds however they are written
// afterwards; an archive someone has worked in since the run stays as it is until the restore is forced, and
// then what it held is kept in a restore point.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "platform/paths.h"
#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::ShellQuote;

const std::string kGamma = "C:\\ZU\\Gamma\\Cont32.mdb";

// Every file of the data folder but the reports, the restore points and the lock, with its bytes.
std::map<std::string, std::string> DataFiles(const Machine& m) {
    std::map<std::string, std::string> out;
    for (const auto& [name, value] : Snapshot(m.host(kData))) {
        const std::string u = UCase(name);
        if (u.rfind("LEDRANA/RAPPORTI", 0) == 0 || u.rfind("LEDRANA/RIPRISTINO", 0) == 0 ||
            u == "LEDRANA/UPDATE.LOCK" || fs::is_directory(m.host(kData) / name))
            continue;
        out[name] = value;
    }
    return out;
}

int Restore(const Machine& m, const std::string& options, std::string* out) {
    return m.Shell(ShellQuote(E2E_AGGIORNA_BATCH) + " --prefix " + ShellQuote(m.root().string()) +
                       " --ripristina " + options,
                   out);
}

// A row written into Gamma's archive in place, as the main program does.
const std::vector<std::string> kWriteGamma = {
    "UPDATE CLIENTI SET RagSoc = 'Scritto dopo' WHERE Cod = (SELECT Min(Cod) FROM CLIENTI)"};

std::vector<std::string> Points(const Machine& m) {
    return Names(m.host(kData + "\\LEDRANA\\ripristino"));
}

TEST(E2eRestore, PutsTheDataFolderBackByteForByteAndTheNextRunUpdatesAgain) {
    Machine m("old");
    // Beta's archives lie outside the data folder, beside a picture of its own that the run replaces.
    const fs::path outside = m.root() / "altrove";
    fs::create_directories(outside / "immagini");
    for (const char* f : {"CONT32.MDB", "SCAD32.MDB"})
        fs::rename(m.host(kData + "\\Beta\\" + f), outside / f);
    fs::remove(m.host(kData + "\\Beta"));
    ledrana::testing::TempPrefix::put(outside / "immagini" / "stampante.jpg", "la foto di Beta");
    const std::string elsewhere = platform::WindowsPath(outside.string());
    std::string beta = m.read(kData + "\\ledrana\\Beta.ini");
    for (std::size_t at; (at = beta.find("C:\\ZU\\Beta")) != std::string::npos;)
        beta.replace(at, 10, elsewhere);
    m.write(kData + "\\ledrana\\Beta.ini", beta);
    const auto before = DataFiles(m);
    const auto outsideBefore = Snapshot(outside);
    const Outcome run = m.Update();
    ASSERT_EQ(run.status, 0) << run.console;
    ASSERT_NE(run.entry("ditta Beta.ini database " + UCase(elsewhere) + "\\CONT32.MDB aggiornato"), -1)
        << run.log;
    ASSERT_FALSE(Snapshot(outside) == outsideBefore);
    ASSERT_EQ(Points(m).size(), 1u);
    const std::string point = Points(m)[0];
    EXPECT_NE(ledrana::testing::TempPrefix::get(run.report).find("--ripristina " + point), std::string::npos);
    ASSERT_NE(Differences(before, DataFiles(m)), "");

    std::string out;
    const auto updated = Snapshot(m.root());
    EXPECT_EQ(Restore(m, "--anteprima", &out), 0) << out;
    EXPECT_TRUE(Snapshot(m.root()) == updated) << "the preview of the restore changed a file";

    EXPECT_EQ(Restore(m, point, &out), 0) << out;
    EXPECT_EQ(Differences(before, DataFiles(m)), "") << out;
    EXPECT_TRUE(Snapshot(outside) == outsideBefore) << out;
    EXPECT_EQ(m.ini(kData + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "027");

    // The archive went back as a copy: written in place now, it leaves the point as it was, and a forced
    // restore puts the point's content back again.
    const std::string kept = kData + "\\LEDRANA\\ripristino\\" + point + "\\Gamma\\Cont32.mdb";
    const std::string keptBytes = m.read(kept);
    m.Exec(kGamma, kWriteGamma);
    ASSERT_TRUE(m.read(kGamma) != keptBytes);
    EXPECT_TRUE(m.read(kept) == keptBytes) << "writing the restored archive changed the restore point";
    EXPECT_EQ(Restore(m, point + " --forza", &out), 0) << out;
    EXPECT_EQ(Differences(before, DataFiles(m)), "") << out;

    const Outcome again = m.Update();
    EXPECT_EQ(again.status, 0) << again.console;
    EXPECT_TRUE(again.entriesWith("già aggiornato").empty()) << again.log;
    // The restores' own points stay; the first run's goes once the second has completed its own.
    const std::vector<std::string> points = Points(m);
    EXPECT_EQ(points.size(), 3u);
    EXPECT_EQ(std::count(points.begin(), points.end(), point), 0);
}

TEST(E2eRestore, LeavesAnArchiveWrittenSinceTheRunUntilForcedAndKeepsWhatWasWritten) {
    Machine m("old");
    const auto before = DataFiles(m);
    ASSERT_EQ(m.Update().status, 0);
    m.Exec(kGamma, kWriteGamma);
    std::string out;
    const std::string written = m.read(kGamma);
    // An archive that is still the point's own file (as a restore of an earlier version left it) is given a
    // file of its own.
    const fs::path alfa = m.host(kData + "\\Alfa\\Scad32.mdb"),
                   itsPoint = m.host(kData + "\\LEDRANA\\ripristino\\" + Points(m)[0] + "\\Alfa\\Scad32.mdb");
    fs::remove(alfa);
    fs::create_hard_link(itsPoint, alfa);

    EXPECT_EQ(Restore(m, "", &out), 7) << out;
    EXPECT_NE(
        out.find("C:\\ZU\\Alfa\\Scad32.mdb: era ancora il file del punto di ripristino, com'era: ora ne è "
                 "una copia a sé"),
        std::string::npos)
        << out;
    EXPECT_FALSE(fs::equivalent(alfa, itsPoint));
    EXPECT_TRUE(
        std::regex_search(out, std::regex(R"(C:\\ZU\\Gamma\\Cont32\.mdb: non ripristinato: è cambiato )"
                                          R"(dopo l'aggiornamento \(contatore delle modifiche \d+ → \d+)")))
        << out;
    EXPECT_NE(out.find("--forza"), std::string::npos) << out;
    EXPECT_EQ(m.read(kGamma), written);
    auto restored = DataFiles(m);
    EXPECT_EQ(restored.erase("Gamma/Cont32.mdb"), 1u);
    // The compacted copy is a second name of the archive's file: written with it, it stays with it.
    EXPECT_EQ(restored.erase("Gamma/CONT32.MDB.tmp"), 1u);
    auto expected = before;
    expected.erase("Gamma/Cont32.mdb");
    EXPECT_EQ(Differences(expected, restored), "") << out;

    EXPECT_EQ(Restore(m, "--forza", &out), 0) << out;
    EXPECT_EQ(Differences(before, DataFiles(m)), "") << out;
    std::smatch kept;
    ASSERT_TRUE(std::regex_search(out, kept, std::regex(R"(nel punto di ripristino (C:\\[^\n]*))"))) << out;
    EXPECT_EQ(m.read(kept[1].str() + "\\Gamma\\Cont32.mdb"), written);
}

// An archive that a program stopped in the middle of writing (half of a change in the file, its journal
// beside it): the run undoes the half-made change before it keeps or copies the archive, and says so. The
// point keeps the archive as it was before that change, the update starts from it, and a restore puts it
// back.
TEST(E2eRestore, AnArchiveLeftHalfWrittenIsKeptAndUpdatedWhole) {
    Machine m("old");
    const fs::path gamma = m.host(kGamma);
    const std::string whole = m.read(kGamma);
    m.LeaveHalfWritten(kGamma);
    std::string out;

    const Outcome run = m.Update();
    ASSERT_EQ(run.status, 0) << run.console;
    EXPECT_NE(run.entry("ditta Gamma.ini database C:\\ZU\\Gamma\\CONT32.MDB aggiornato"), -1) << run.log;
    EXPECT_NE(ledrana::testing::TempPrefix::get(run.report).find("modifica lasciata a metà"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(gamma.string() + "-journal"));
    EXPECT_EQ(m.Value(kGamma, "SELECT count(*) FROM CLIENTI WHERE RagSoc IS NULL"), "0");
    EXPECT_EQ(m.Shell("sqlite3 " + ShellQuote(gamma.string()) + " 'SELECT count(*) FROM Mezza'", &out) == 0,
              false)
        << out;
    const std::string point = Points(m).at(0);
    EXPECT_TRUE(m.read(kData + "\\LEDRANA\\ripristino\\" + point + "\\Gamma\\Cont32.mdb") == whole);

    EXPECT_EQ(Restore(m, point, &out), 0) << out;
    EXPECT_TRUE(m.read(kGamma) == whole);
}

} // namespace
} // namespace ledrana::e2e
