// Updates that stop early or skip a company: what the user is shown, what is left undone, and the version
// the next run goes by (an update after 027 is E2eOldUpdated's, a check after 048.5 E2eSecondRun's).

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/e2e/machine.h"

namespace ledrana::e2e {
namespace {

// The failure end of a run stopped by the copy of `name`, missing from the model, to `to`: the copy's report
// as the last box but one, then the final line and box, nothing asked; the bar stays where it was.
void ExpectFailureEnd(const Outcome& o, const ModelFolder& model, const std::string& name,
                      const std::string& to) {
    const std::string report = "53 Impossibile trovare il file\nfunz. CopiaFile \n" +
                               platform::WindowsPath(model.path().string()) + "\\" + name + "\n" + to;
    EXPECT_EQ(o.status, 1) << o.console;
    ASSERT_GE(o.entries.size(), 2u);
    EXPECT_EQ(o.entries[o.entries.size() - 2], report);
    EXPECT_EQ(o.entries.back(), kFailed);
    ASSERT_GE(o.boxes.size(), 2u);
    EXPECT_EQ(o.boxes[o.boxes.size() - 2].text, report);
    EXPECT_EQ(o.boxes.back().text, kFailed);
    EXPECT_EQ(o.box("Aprire il programma adesso"), -1);
    ASSERT_FALSE(o.bar.empty());
    EXPECT_LT(o.bar.back().first, 500);
    EXPECT_EQ(o.bar.back().second, 500);
}

TEST(E2eStops, AMissingUserIniStopsBeforeTheVersionAndTheTemplates) {
    ModelFolder model;
    model.remove("Utente.ini");
    Machine m("old");
    const Outcome o = m.Update(kAnswers, model.path());
    ExpectFailureEnd(o, model, "Utente.ini", kData + "\\Utenti\\Utente.ini");
    // The companies were updated; the user INI, the version and the templates were not.
    EXPECT_NE(o.entry("ditta Gamma.ini database C:\\ZU\\Gamma\\SCAD32.MDB aggiornato"), -1);
    EXPECT_NE(m.read(kData + "\\Utenti\\Utente.ini").find("UltimaDitta=Alfa"), std::string::npos);
    EXPECT_EQ(m.ini(kData + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "027");
    EXPECT_FALSE(m.exists(kData + "\\LEDRANA\\INI\\ZuBolla_con_campi_personalizz.Mod"));
    EXPECT_NE(m.read(kData + "\\LEDRANA\\INI\\ZuFattura.mod").find("Tessaro 027"), std::string::npos);
}

TEST(E2eStops, AMissingLastTemplateStopsAfterTheOthersWithTheVersionRecorded) {
    ModelFolder model;
    model.remove("ZuEtichetta.eticf");
    Machine m("old");
    const Outcome o = m.Update(kAnswers, model.path());
    ExpectFailureEnd(o, model, "ZuEtichetta.eticf", kData + "\\LEDRANA\\INI\\ZuEtichetta.eticf");
    for (const char* name : {"ZuBolla.mod", "ZuFattura.mod", "ZuSitCommesse.mod", "ZuXProdNoMoivim.mod"})
        EXPECT_EQ(m.read(kData + "\\LEDRANA\\INI\\" + name), ReleaseBytes(name)) << name;
    EXPECT_FALSE(m.exists(kData + "\\LEDRANA\\INI\\ZuEtichetta.eticf"));
    EXPECT_EQ(m.ini(kData + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "048.5");
}

// Companies whose archives are not there are skipped after their INI and image folders, and the others are
// updated: delta.ini, which names no archives (its own folder, when it has one, is not an archive); Gamma
// without its due-dates archive, whose accounting archive is neither compared nor fixed; Alfa, whose
// accounting archive is missing beside the files of its last compaction, which stay as they were (nothing
// is put back from them).
TEST(E2eCompanies, OnesWithoutTheirArchivesAreSkippedAfterTheirIniUpdate) {
    std::size_t boxesWithoutFolder = 0;
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "with delta's folder" : "without delta's folder");
        Machine m("old");
        const std::string ini = kData + "\\ledrana\\delta.ini"; // lower case: before DittaEsempio
        m.write(ini, "[Config]\r\nRagsoc1=DELTA S.R.L.\r\n");
        if (folder) m.write(kData + "\\delta\\note.txt", "una cartella che non è un archivio");
        fs::remove(m.host(kData + "\\Gamma\\Scad32.mdb"));
        const std::string gamma = kData + "\\Gamma\\Cont32.mdb", alfa = kData + "\\Alfa\\CONT32.MDB";
        const std::string bytes = m.read(gamma), whole = m.read(alfa);
        fs::rename(m.host(alfa), m.host(alfa).string() + ".tmp2");
        m.write(alfa + ".tmp", whole.substr(0, whole.size() / 2));
        const Outcome o = m.Update();
        EXPECT_EQ(o.status, 5) << o.console; // companies left undone
        EXPECT_EQ(o.verdict(), "warn");
        EXPECT_TRUE(!folder || o.boxes.size() == boxesWithoutFolder) << o.boxes.size() << " boxes\n" << o.log;
        boxesWithoutFolder = o.boxes.size();
        for (const std::string company : {"Alfa", "delta", "Gamma"}) {
            EXPECT_NE(o.entry("Impossibile aggiornare la ditta " + company + ".ini"), -1) << o.log;
            EXPECT_NE(o.box("Impossibile aggiornare la ditta " + company + ".ini"), -1) << company;
            EXPECT_TRUE(o.entriesWith("ditta " + company + ".ini database").empty()) << o.log;
        }

        // delta: in name order between Beta and the demo company, after the image folders' report, with a
        // box.
        const int skipped = o.entry("Impossibile aggiornare la ditta delta.ini");
        ASSERT_GE(skipped, 2) << o.log;
        EXPECT_EQ(o.entries[skipped - 2], "ditta Beta.ini database C:\\ZU\\BETA\\SCAD32.MDB aggiornato");
        EXPECT_NE(o.entries[skipped - 1].find("funz. ImmaginiXProdotti "), std::string::npos);
        EXPECT_EQ(o.entries[skipped + 1],
                  "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\CONT32.MDB aggiornato");
        // Its archive path names the company folder alone: the image folders cannot be worked out from it.
        const int images = o.box("funz. ImmaginiXProdotti ");
        ASSERT_NE(images, -1) << o.console;
        EXPECT_LT(images, o.box("Impossibile aggiornare la ditta delta.ini"));
        EXPECT_EQ(o.boxes[images].text.substr(o.boxes[images].text.find('\n')),
                  "\nfunz. ImmaginiXProdotti \n" + ini + "\n" + kData + "\\delta\\");
        EXPECT_EQ(o.boxes[images].text.substr(0, 2), "5 ");
        EXPECT_EQ(m.ini(ini, "Config", "NuovoCliente"), "Si");
        EXPECT_EQ(m.ini(ini, "Config", "Ragsoc1"), "DELTA S.R.L.");
        EXPECT_EQ(m.ini(ini, "Config", "DirectoryImm"), "<missing>");
        EXPECT_EQ(m.exists(kData + "\\delta"), folder);

        // Gamma, the last company: its accounting archive untouched, its INI and image folders handled
        // before the archives were looked for.
        EXPECT_EQ(o.entries[o.entry("Impossibile aggiornare la ditta Gamma.ini") + 1],
                  "Aggiornamento eseguito");
        EXPECT_EQ(m.read(gamma), bytes) << "the accounting archive was touched";
        EXPECT_FALSE(m.exists(gamma + ".tmp"));
        EXPECT_EQ(m.Value(gamma, "SELECT Count(*) FROM anni"), "0");
        EXPECT_EQ(m.ini(kData + "\\ledrana\\Gamma.ini", "Config", "NuovoCliente"), "Si");
        EXPECT_EQ(m.ini(kData + "\\ledrana\\Gamma.ini", "Config", "DirectoryImm"), "immagini\\");
        EXPECT_EQ(m.read(kData + "\\Gamma\\immagini\\stampante.jpg"), ReleaseBytes("stampante.jpg"));

        // Alfa: the archive still missing, the compaction's files as they were.
        EXPECT_FALSE(m.exists(alfa));
        EXPECT_EQ(m.read(alfa + ".tmp2"), whole);
        EXPECT_EQ(m.read(alfa + ".tmp"), whole.substr(0, whole.size() / 2));
    }
}

} // namespace
} // namespace ledrana::e2e
