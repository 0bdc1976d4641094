// The way back from an update: `aggiorna-batch --ripristina` puts the data folder back as the run's restore
// point holds it, byte for byte, so that the next run updates again; an archive someone has worked in since
// the run stays as it is until the restore is forced, and then what it held is kept in a restore point.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

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

// The files that differ between two listings, one line each; "" when none does.
std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& now) {
    std::string out;
    for (const auto& [name, value] : before) {
        const auto it = now.find(name);
        if (it == now.end())
            out += "missing: " + name + "\n";
        else if (it->second != value)
            out += "changed: " + name + "\n";
    }
    for (const auto& [name, value] : now)
        if (!before.count(name)) out += "added:   " + name + "\n";
    return out;
}

int Restore(const Machine& m, const std::string& options, std::string* out) {
    return m.Shell(ShellQuote(E2E_AGGIORNA_BATCH) + " --prefix " + ShellQuote(m.root().string()) +
                       " --ripristina " + options,
                   out);
}

std::vector<std::string> Points(const Machine& m) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m.host(kData + "\\LEDRANA\\ripristino")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(E2eRestore, PutsTheDataFolderBackByteForByteAndTheNextRunUpdatesAgain) {
    Machine m("old");
    const auto before = DataFiles(m);
    const Outcome run = m.Update();
    ASSERT_EQ(run.status, 0) << run.console;
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
    EXPECT_EQ(m.ini(kData + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "027");

    const Outcome again = m.Update();
    EXPECT_EQ(again.status, 0) << again.console;
    EXPECT_TRUE(again.entriesWith("già aggiornato").empty()) << again.log;
    // The restore's own point stays; the first run's goes once the second has completed its own.
    const std::vector<std::string> points = Points(m);
    EXPECT_EQ(points.size(), 2u);
    EXPECT_EQ(std::count(points.begin(), points.end(), point), 0);
}

TEST(E2eRestore, LeavesAnArchiveWrittenSinceTheRunUntilForcedAndKeepsWhatWasWritten) {
    Machine m("old");
    const auto before = DataFiles(m);
    ASSERT_EQ(m.Update().status, 0);
    std::string out;
    ASSERT_EQ(m.Shell(ShellQuote(E2E_DAOTOOL) + " exec " + ShellQuote(m.host(kGamma).string()) +
                          " \"UPDATE CLIENTI SET RagSoc = 'Scritto dopo' WHERE Cod = (SELECT Min(Cod) FROM "
                          "CLIENTI)\"",
                      &out),
              0)
        << out;
    const std::string written = m.read(kGamma);

    EXPECT_EQ(Restore(m, "", &out), 7) << out;
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

} // namespace
} // namespace ledrana::e2e
