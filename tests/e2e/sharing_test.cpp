// Updates of an installation shared with other programs: an archive that another program holds, two runs at
// once.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/runlock.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::Background;

// Held by the main program (the engine); what other programs hold is the engine suite's.
TEST(E2eSharing, AnArchiveAnotherProgramHoldsIsLeftAloneAndUpdatedByTheNextRun) {
    Machine m("old");
    const std::string before = m.read(kGammaCont);
    Background holder({E2E_DAOTOOL, "hold", m.host(kGammaCont).string(), "600"}, m.root());
    ASSERT_TRUE(holder.WaitForLine("tengo aperto")) << holder.output();
    const Outcome held = m.Update();
    ExpectGammaLeftAsItWas(m, held, before, 3045, "file già in uso",
                           "Quando l'archivio sarà libero, eseguire di nuovo l'aggiornamento.");
    EXPECT_NE(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(kGammaCont)), "");

    holder.Stop();
    const Outcome next = m.Update();
    EXPECT_EQ(next.status, 0) << next.log;
    EXPECT_NE(next.entry("ditta Gamma.ini database " + kGammaCont + " aggiornato"), -1) << next.log;
    EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(kGammaCont)), "");
}

TEST(E2eSharing, TwoRunsAtOnceOneUpdatesTheOtherEndsTouchingNothing) {
    Machine m("old");
    const fs::path dir = m.root() / "run-first";
    fs::create_directories(dir);
    std::ofstream(dir / "answers.txt") << kAnswers;
    fs::permissions(dir / "answers.txt", fs::perms::owner_read | fs::perms::owner_write);
    // The first run is stopped just before its second change: it holds the data folder's lock (its first
    // change made the lock file) and has changed nothing else yet.
    Background first({E2E_AGGIORNA_GUASTI, "--stop-at", "2", "--prefix", m.root().string(), "--model",
                      ReleaseFolder().string(), "--answers", (dir / "answers.txt").string(), "--log",
                      (dir / "log.txt").string()},
                     m.root());
    ASSERT_TRUE(first.WaitForLine("stopped")) << first.output();
    const auto before = Snapshot(m.root());

    const Outcome second = m.Update();
    EXPECT_EQ(second.status, 6) << second.console;
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

} // namespace
} // namespace ledrana::e2e
