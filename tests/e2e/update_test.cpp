// Successful updates of the sample installations: what the log, the boxes, the archives, the INI files,
// the templates, the demo company, the shortcuts and the progress bar show afterwards.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/e2e/machine.h"

namespace ledrana::e2e {
namespace {

// The templates the update installs, in the order of its copies.
const char* const kTemplates =
    "ZuBolla.mod ZuBollaPr.mod ZuBollaRifCli.mod ZuBolla_con_campi_personalizz.Mod ZuBV.mod ZuPatr.mod "
    "ZuEC.mod ZuFattAcc.mod ZuFattAccRa.mod ZuFattura.mod ZuFatturaRifCli.mod ZuFatturaRA.mod "
    "ZuMovimento.mod ZuMPC.mod ZuScontrinoScarico.mod ZuSPC.mod ZuSPD.mod ZuOrdCli.mod ZuOrdCliRifCli.mod "
    "ZuOrdFor.mod ZuRiva.mod ZuChiuIva.mod ZuGio.mod ZuConfr.mod ZuComm.mod ZuXProd.mod "
    "ZuXProdNoMoivim.mod ZuSitOrdCliFor.mod ZuSitCommesse.mod ZuEtichetta.eticf";

// The archives of the old installation: company, accounting archive, due-dates archive, password.
struct Company {
    const char* name;
    std::string cont, scad, password;
};
const std::vector<Company> kOld = {
    {"Alfa", kData + "\\Alfa\\Cont32.mdb", kData + "\\Alfa\\Scad32.mdb", ""},
    {"Beta", kData + "\\Beta\\CONT32.MDB", kData + "\\Beta\\SCAD32.MDB", "segreto"},
    {"DittaEsempio", kData + "\\DittaEsempio\\Cont32.mdb", kData + "\\DittaEsempio\\Scad32.mdb", ""},
    {"Gamma", kData + "\\Gamma\\Cont32.mdb", kData + "\\Gamma\\Scad32.mdb", ""},
};

// User tables whose rows an update keeps, with a value that sums or lists them.
struct Kept {
    const char* archive; // "cont" or "scad"
    const char* sql;
};
const Kept kKept[] = {
    {"cont", "SELECT Count(*) FROM CLIENTI"},
    {"cont", "SELECT Cod, RagSoc FROM CLIENTI ORDER BY Cod"},
    {"cont", "SELECT Count(*) FROM FORNITORI"},
    {"cont", "SELECT Count(*) FROM PIANOCONTI"},
    {"cont", "SELECT Count(*), Sum(ImpoDare), Sum(ImpoAvere) FROM MOVIMENTI"},
    {"cont", "SELECT Count(*) FROM ARTICOLI"},
    {"cont", "SELECT Count(*), Sum(Totale) FROM FATTURECLI"},
    {"cont", "SELECT Count(*) FROM FATTURECLI_R"},
    {"scad", "SELECT Count(*) FROM SCADENZE"},
};

const std::string kPrograms = "C:\\WINDOWS\\Start Menu\\Programs";

// The names in a folder, in order ([] when there is no folder).
std::vector<std::string> Listing(const Machine& m, const std::string& folder) {
    std::vector<std::string> names;
    if (!m.exists(folder)) return names;
    for (const auto& e : fs::directory_iterator(m.host(folder)))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The bar of a run that ends well: it never goes back nor passes its maximum, and ends full.
void ExpectBarEndsFull(const Outcome& o) {
    ASSERT_FALSE(o.bar.empty());
    int last = 0;
    for (const auto& [value, max] : o.bar) {
        EXPECT_LE(value, max);
        EXPECT_LE(max, 500);
        EXPECT_GE(value, last) << "the bar went back";
        last = value;
    }
    EXPECT_EQ(o.bar.back(), std::make_pair(500, 500));
}

// One update of the old installation, shared by the tests of this suite (each looks at one side of it).
class E2eOldUpdated : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        machine = std::make_unique<Machine>("old");
        machine->write(kPrograms + "\\Tessaro\\Calcolatrice.lnk", "link"); // the user's own, in an old group
        for (const Company& c : kOld) {
            if (std::string(c.name) == "DittaEsempio") continue; // rebuilt from the models, see below
            for (const Kept& k : kKept) {
                const std::string& db = std::string(k.archive) == "cont" ? c.cont : c.scad;
                before[std::string(c.name) + " " + k.sql] = machine->Query(db, k.sql, c.password);
            }
        }
        outcome = machine->Update();
    }
    static void TearDownTestSuite() { machine.reset(); }

    inline static std::unique_ptr<Machine> machine;
    inline static Outcome outcome;
    inline static std::map<std::string, std::vector<std::string>> before;
};

TEST_F(E2eOldUpdated, EveryCompanyIsUpdatedInNameOrderAndTheRunEndsWell) {
    EXPECT_EQ(outcome.status, 0) << outcome.console;
    const std::vector<std::string> expected = {
        "ditta Alfa.ini database C:\\ZU\\Alfa\\CONT32.MDB aggiornato",
        "ditta Alfa.ini database C:\\ZU\\Alfa\\SCAD32.MDB aggiornato",
        "ditta Beta.ini database C:\\ZU\\BETA\\CONT32.MDB aggiornato",
        "ditta Beta.ini database C:\\ZU\\BETA\\SCAD32.MDB aggiornato",
        "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\CONT32.MDB aggiornato",
        "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\SCAD32.MDB aggiornato",
        "ditta Gamma.ini database C:\\ZU\\Gamma\\CONT32.MDB aggiornato",
        "ditta Gamma.ini database C:\\ZU\\Gamma\\SCAD32.MDB aggiornato",
        "Aggiornamento eseguito",
    };
    EXPECT_EQ(outcome.entries, expected);
    EXPECT_EQ(outcome.log.substr(0, 4), "\r\n->");
    ExpectBarEndsFull(outcome);

    // Beyond the Null values that no neutral value replaces (Alfa's, before Beta), the boxes are Beta's
    // password, the end and the question.
    std::vector<Box> others;
    for (const Box& b : outcome.boxes) {
        if (b.text == "Tipo non previsto su VerificaCampiNull1") {
            EXPECT_TRUE(others.empty()) << "a Null box after " << others.back().text;
            EXPECT_EQ(b.style, 0);
        } else {
            others.push_back(b);
        }
    }
    ASSERT_EQ(others.size(), 3u) << outcome.console;
    EXPECT_TRUE(others[0].input);
    EXPECT_EQ(others[0].text, "Ditta: Beta\n E' PROTETTA:  IMPOSTARE LA PASSWORD");
    EXPECT_EQ(others[0].answer, "***"); // a password shows nowhere, on the console neither
    EXPECT_EQ(outcome.console.find("segreto"), std::string::npos);
    struct stat boxes {};
    ASSERT_EQ(::stat((machine->root() / "run" / "boxes.txt").c_str(), &boxes), 0);
    EXPECT_EQ(boxes.st_mode & 0777, 0600u);
    EXPECT_EQ(others[1].text, "Aggiornamento eseguito");
    EXPECT_EQ(others[1].style, 0);
    EXPECT_EQ(others[1].title, "AggiornaLedrana");
    EXPECT_EQ(others[2].text, "Aprire il programma adesso");
    EXPECT_EQ(others[2].style, 4);
    EXPECT_EQ(others[2].answer, "No");
}

TEST_F(E2eOldUpdated, EveryArchiveHasTheStructureOfItsModel) {
    const std::string cont = machine->Schema(Release("CONT32.MDB"));
    const std::string scad = machine->Schema(Release("SCAD32.MDB"));
    ASSERT_NE(cont.find("table CLIENTI"), std::string::npos);
    for (const Company& c : kOld) {
        EXPECT_EQ(StructureDifferences(cont, machine->Schema(c.cont, c.password)), "") << c.cont;
        EXPECT_EQ(StructureDifferences(scad, machine->Schema(c.scad)), "") << c.scad;
    }
}

TEST_F(E2eOldUpdated, UserDataIsKeptAndTheDataFixesAreMade) {
    for (const Company& c : kOld) {
        if (std::string(c.name) == "DittaEsempio") continue;
        for (const Kept& k : kKept) {
            const std::string& db = std::string(k.archive) == "cont" ? c.cont : c.scad;
            const auto& was = before[std::string(c.name) + " " + k.sql];
            EXPECT_FALSE(was.empty()) << c.name << ": " << k.sql;
            EXPECT_EQ(machine->Query(db, k.sql, c.password), was) << c.name << ": " << k.sql;
        }
    }
    // The data fixes ran on each archive: Alfa's and Beta's years are stamped with the new version, and
    // Gamma, which had none, gets the year of its 2005 entries.
    for (const Company& c : {kOld[0], kOld[1]})
        EXPECT_EQ(machine->Query(c.cont, "SELECT DISTINCT ver FROM anni", c.password),
                  std::vector<std::string>{"048.5"})
            << c.name;
    EXPECT_EQ(machine->Query(kOld[3].cont, "SELECT Anno FROM anni"), std::vector<std::string>{"2005"});
}

TEST_F(E2eOldUpdated, IniFilesTemplatesAndUserIniAreInstalled) {
    const std::string ini = kData + "\\LEDRANA\\INI\\INI.INI";
    EXPECT_EQ(machine->ini(ini, "Ver", "AggiornamentoLedrana"), "048.5");

    std::istringstream templates(kTemplates);
    int count = 0;
    for (std::string name; templates >> name; ++count)
        EXPECT_EQ(machine->read(kData + "\\LEDRANA\\INI\\" + name), ReleaseBytes(name)) << name;
    EXPECT_EQ(count, 30);
    EXPECT_NE(machine->read(kData + "\\LEDRANA\\INI\\ZuFatturaPersonale.mod").find("personalizzato"),
              std::string::npos);
    EXPECT_EQ(machine->read(kData + "\\Utenti\\Utente.ini"), ReleaseBytes("Utente.ini"));

    // Every company INI is completed: a switch set to NO and the values the user chose stay, what is
    // missing gets its default.
    struct Key {
        const char* company;
        const char* key;
        const char* value;
    } keys[] = {
        {"Alfa", "NuovoCliente", "NO"},
        {"Alfa", "ArrotImporto", "1"},
        {"Beta", "NuovoCliente", "Si"},
        {"Beta", "DirectoryRiba", "C:\\ZU\\RIBA\\"},
        {"Beta", "Ragsoc2", "DI ROSSI & BIANCHI"},
        {"Gamma", "DecP", "###"},
    };
    for (const Key& k : keys)
        EXPECT_EQ(machine->ini(kData + "\\ledrana\\" + k.company + ".ini", "Config", k.key), k.value)
            << k.company << " " << k.key;

    for (const Company& c : kOld) {
        const std::string folder = kData + "\\" + c.name;
        EXPECT_EQ(machine->read(folder + "\\immagini\\stampante.jpg"), ReleaseBytes("stampante.jpg"))
            << c.name;
        EXPECT_EQ(machine->read(folder + "\\descrizioni\\stampante.doc"), ReleaseBytes("stampante.doc"))
            << c.name;
    }
}

TEST_F(E2eOldUpdated, TheDemoCompanyIsRebuiltFromTheModels) {
    const std::string folder = kData + "\\DittaEsempio";
    for (const char* file : {"logo.jpg", "NoteFinaliOrdF.txt", "NoteFinaliOrdOC.txt", "NoteFinaliOrdFC.txt"})
        EXPECT_EQ(machine->read(folder + "\\" + file), ReleaseBytes(file)) << file;
    // The old demo company's own clients are gone: it holds the model's rows.
    for (const char* sql : {"SELECT Cod FROM CLIENTI ORDER BY Cod", "SELECT Count(*) FROM MOVIMENTI"})
        EXPECT_EQ(machine->Query(folder + "\\Cont32.mdb", sql), machine->Query(Release("CONT32.MDB"), sql))
            << sql;
    EXPECT_EQ(machine->Query(folder + "\\Scad32.mdb", "SELECT Cod FROM BANCHE ORDER BY Cod"),
              machine->Query(Release("SCAD32.MDB"), "SELECT Cod FROM BANCHE ORDER BY Cod"));
    EXPECT_NE(machine->Value(folder + "\\Cont32.mdb", "SELECT Count(*) FROM tipifatturecli"), "0");
    EXPECT_EQ(machine->Query(folder + "\\Cont32.mdb", "SELECT DISTINCT logo FROM tipifatturecli"),
              std::vector<std::string>{"logo.jpg"});

    const std::string ini = kData + "\\ledrana\\DittaEsempio.ini";
    EXPECT_EQ(machine->ini(ini, "Archivi", "Ledrana"), "Cont32.Mdb");
    EXPECT_EQ(machine->ini(ini, "Archivi", "Scadenzario"), "Scad32.Mdb");
    const std::pair<const char*, const char*> identity[] = {
        {"Ragsoc1", "DITTA DI PROVA"},
        {"Indirizzo", "VIA ROMA 3"},
        {"Piva", "12345678903"},
        {"CodFsc", "DDDGGG99H11U999K"},
        {"LogoOrdini", "logo.jpg"},
        {"ScrittaOrd", "Ord."},
        {"ScrittaCommessa", "Ns.Commessa"},
        {"CausaleErario", "038"},
        {"ContoArrotondamentiPagScad2C", "710.030"},
    };
    for (const auto& [key, value] : identity)
        EXPECT_EQ(machine->ini(ini, "Config", key), value) << key;
}

// The old versions' shortcuts are gone, and their groups unless the user put a shortcut of their own there.
TEST_F(E2eOldUpdated, OldShortcutsAndGroupsAreGoneAndTheUsersOwnStay) {
    EXPECT_EQ(Listing(*machine, "C:\\WINDOWS\\Desktop"), std::vector<std::string>{"Posta elettronica.lnk"});
    EXPECT_FALSE(machine->exists(kPrograms + "\\Ledrana"));
    EXPECT_EQ(Listing(*machine, kPrograms + "\\Tessaro"), std::vector<std::string>{"Calcolatrice.lnk"});
}

// A second run of the same version says so, then updates again changing no structure. Companies of their
// own, copies of Gamma's folder, tick the bar past its 500 in each run: it stops there.
TEST(E2eSecondRun, SameVersionSaysSoAndChangesNoStructure) {
    Machine m("old");
    const fs::path gamma = m.host("C:\\ZU\\Gamma");
    for (int i = 2; i <= 9; ++i) {
        const std::string name = "Gamma" + std::to_string(i);
        fs::copy(gamma, gamma.parent_path() / name, fs::copy_options::recursive);
        m.write("C:\\ZU\\ledrana\\" + name + ".ini",
                "[Archivi]\r\nLedrana=Cont32.mdb\r\nScadenzario=Scad32.mdb\r\n[Config]\r\nRagsoc1=" + name +
                    "\r\n");
    }
    const Outcome first = m.Update();
    ASSERT_EQ(first.status, 0) << first.console;
    EXPECT_NE(first.entry("ditta Gamma9.ini database C:\\ZU\\Gamma9\\SCAD32.MDB aggiornato"), -1);
    ExpectBarEndsFull(first);
    // Full by ticking before the end: the last repaint before it shows 499.
    ASSERT_GE(first.bar.size(), 2u);
    EXPECT_EQ(first.bar[first.bar.size() - 2], std::make_pair(499, 500));
    std::map<std::string, std::string> schemas;
    for (const Company& c : kOld) {
        schemas[c.cont] = m.Schema(c.cont, c.password);
        schemas[c.scad] = m.Schema(c.scad);
    }

    const Outcome second = m.Update();
    EXPECT_EQ(second.status, 0) << second.console;
    ASSERT_FALSE(second.boxes.empty());
    EXPECT_EQ(second.boxes[0].text,
              "il programma è già aggiornato, verrà effettuata la verifica degli archivi");
    EXPECT_EQ(second.boxes[0].style, 64);
    EXPECT_EQ(second.boxes[0].title, "AggiornaLedrana");
    // The notice, then the same update as the first time.
    std::vector<std::string> expected = {"già aggiornato, rieseguo"};
    expected.insert(expected.end(), first.entries.begin(), first.entries.end());
    EXPECT_EQ(second.entries, expected);
    for (const Company& c : kOld) {
        EXPECT_EQ(m.Schema(c.cont, c.password), schemas[c.cont]) << c.cont;
        EXPECT_EQ(m.Schema(c.scad), schemas[c.scad]) << c.scad;
    }
    ExpectBarEndsFull(second);
}

TEST(E2eOldLayout, TheSingleCompanyBecomesDitta2000AndIsUpdated) {
    Machine m("old-layout");
    const std::string cont = kData + "\\ditta2000\\cont32.mdb";
    const std::string scad = kData + "\\ditta\\scad32.mdb";
    const auto clients = m.Query(cont, "SELECT Cod FROM CLIENTI ORDER BY Cod");
    const Outcome o = m.Update();
    EXPECT_EQ(o.status, 0) << o.console;
    // The model's company INI, completed by the company update.
    const std::string model = platform::WindowsPath(Release("Ditta2000.ini"));
    for (const char* key : {"Ledrana", "Scadenzario"})
        EXPECT_EQ(m.ini(kData + "\\ledrana\\Ditta2000.ini", "Archivi", key), m.ini(model, "Archivi", key));
    EXPECT_EQ(m.ini(kData + "\\ledrana\\Ditta2000.ini", "Config", "DecP"), "###");
    const std::vector<std::string> expected = {
        "ditta Ditta2000.ini database C:\\ZU\\DITTA2000\\CONT32.MDB aggiornato",
        "ditta Ditta2000.ini database C:\\ZU\\DITTA\\SCAD32.MDB aggiornato",
        "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\CONT32.MDB aggiornato",
        "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\SCAD32.MDB aggiornato",
        "Aggiornamento eseguito",
    };
    EXPECT_EQ(o.entries, expected);
    EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(cont)), "");
    EXPECT_EQ(StructureDifferences(m.Schema(Release("SCAD32.MDB")), m.Schema(scad)), "");
    EXPECT_EQ(m.Query(cont, "SELECT Cod FROM CLIENTI ORDER BY Cod"), clients);
    EXPECT_FALSE(clients.empty());
}

TEST(E2eOldLayout, NothingIsCopiedWithOneArchiveOnlyOrWithoutDirTxt) {
    for (const char* variant : {"one archive", "no dir.txt"}) {
        SCOPED_TRACE(variant);
        Machine m("old-layout");
        if (std::string(variant) == "one archive")
            fs::remove(m.host(kData + "\\ditta\\scad32.mdb"));
        else
            fs::remove(m.host("C:\\WINDOWS\\dir.txt"));
        const Outcome o = m.Update();
        EXPECT_EQ(o.status, 0) << o.console;
        EXPECT_FALSE(m.exists(kData + "\\ledrana\\Ditta2000.ini"));
        EXPECT_EQ(o.entries.size(), 3u) << o.log; // the demo company's two lines and the end
        EXPECT_EQ(o.entry("Aggiornamento eseguito"), 2);
    }
}

// Without dir.txt, on a new machine or over the current version, the run writes it and is an update (the
// installed version is not looked at); a new machine gets the folder tree and the demo company.
TEST(E2eFirstRun, WithoutDirTxtTheRunWritesItAndIsAnUpdate) {
    for (const char* kind : {"", "current"}) {
        SCOPED_TRACE(kind);
        Machine m(kind);
        fs::remove(m.host("C:\\WINDOWS\\dir.txt"));
        const Outcome o = m.Update();
        EXPECT_EQ(o.status, 0) << o.console;
        EXPECT_EQ(platform::ReadFirstLine("C:\\WINDOWS\\dir.txt"), "C:\\ZU");
        EXPECT_EQ(o.box("già aggiornato"), -1);
        EXPECT_EQ(o.entry("già aggiornato, rieseguo"), -1);
        if (*kind) continue;
        const std::vector<std::string> expected = {
            "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\CONT32.MDB aggiornato",
            "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\SCAD32.MDB aggiornato",
            "Aggiornamento eseguito",
        };
        EXPECT_EQ(o.entries, expected);
        ASSERT_EQ(o.boxes.size(), 2u) << o.console;
        EXPECT_EQ(o.boxes[0].text, "Aggiornamento eseguito");
        EXPECT_EQ(o.boxes[1].text, "Aprire il programma adesso");
        EXPECT_TRUE(fs::is_directory(m.host(kData + "\\ledrana\\ini")));
        EXPECT_EQ(m.ini(kData + "\\ledrana\\DittaEsempio.ini", "Config", "Ragsoc1"), "DITTA DI PROVA");
        EXPECT_EQ(m.ini(kData + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "048.5");
        EXPECT_EQ(m.read(kData + "\\LEDRANA\\INI\\ZuEtichetta.eticf"), ReleaseBytes("ZuEtichetta.eticf"));
    }
}

} // namespace
} // namespace ledrana::e2e
