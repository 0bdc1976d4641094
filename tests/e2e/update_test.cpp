// Successful updates of the sample installations: what the log, the boxes, the archives, the INI files,
// the templates, the demo company, the shortcuts, the progress bar and the run's report show afterwards; a
// preview changes no file and names what the real run then does. And the command-line programs explain
// themselves.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"
#include "window/run_report.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::ShellQuote;

// The templates the update installs, in the order of its copies.
const char* const kTemplates =
    "ZuBolla.mod ZuBollaPr.mod ZuBollaRifCli.mod ZuBolla_con_campi_personalizz.Mod ZuBV.mod ZuPatr.mod "
    "ZuEC.mod ZuFattAcc.mod ZuFattAccRa.mod ZuFattura.mod ZuFatturaRifCli.mod ZuFatturaRA.mod "
    "ZuMovimento.mod ZuMPC.mod ZuScontrinoScarico.mod ZuSPC.mod ZuSPD.mod ZuOrdCli.mod ZuOrdCliRifCli.mod "
    "ZuOrdFor.mod ZuRiva.mod ZuChiuIva.mod ZuGio.mod ZuConfr.mod ZuComm.mod ZuXProd.mod "
    "ZuXProdNoMoivim.mod ZuSitOrdCliFor.mod ZuSitCommesse.mod ZuEtichetta.eticf";

// The companies of the old installation in name order, with their archives as the run names them; the demo
// company is rebuilt from the models, not compared.
struct Company {
    std::string name, cont, scad, password;
    bool compared = true;
};
const Company kOld[] = {
    {"Alfa", kData + "\\Alfa\\CONT32.MDB", kData + "\\Alfa\\SCAD32.MDB", ""},
    {"Beta", kData + "\\BETA\\CONT32.MDB", kData + "\\BETA\\SCAD32.MDB", "segreto"},
    {"DittaEsempio", kData + "\\DittaEsempio\\CONT32.MDB", kData + "\\DittaEsempio\\SCAD32.MDB", "", false},
    {"Gamma", kData + "\\Gamma\\CONT32.MDB", kData + "\\Gamma\\SCAD32.MDB", ""},
};

// The archives the update compares, with their passwords.
std::vector<std::pair<std::string, std::string>> Compared() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Company& c : kOld)
        if (c.compared) out.insert(out.end(), {{c.cont, c.password}, {c.scad, ""}});
    return out;
}

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

// The section of an archive in a report, up to the next archive's.
std::string Section(const std::string& html, const std::string& archive) {
    const std::size_t at = html.find("<h3>" + archive + "</h3>");
    if (at == std::string::npos) return "";
    const std::size_t end = std::min(html.find("<div class=\"archive\"", at), html.find("</section>", at));
    return html.substr(at, end == std::string::npos ? end : end - at);
}

// The change rows of one kind in a section, each as its cells' texts (a journal without its time).
std::vector<std::vector<std::string>> Rows(const std::string& section, ChangeKind kind) {
    std::vector<std::vector<std::string>> rows;
    const std::regex row("<tr data-change=\"" + std::to_string(static_cast<int>(kind)) + "\">(.*)</tr>");
    const std::regex cell("<td[^>]*>(.*?)</td>"), tag("<[^>]*>"), time("_\\d{8}-\\d{6}\\.csv");
    for (std::sregex_iterator it(section.begin(), section.end(), row), end; it != end; ++it) {
        const std::string cells = (*it)[1].str();
        rows.emplace_back();
        for (std::sregex_iterator c(cells.begin(), cells.end(), cell); c != end; ++c)
            rows.back().push_back(
                std::regex_replace(std::regex_replace((*c)[1].str(), tag, ""), time, ".csv"));
    }
    return rows;
}

// The machine after a preview: as it was, with its report (and the report's folder) added.
void ExpectOnlyTheReportAdded(const Machine& m, const std::map<std::string, std::string>& untouched,
                              const Outcome& preview) {
    auto previewed = Snapshot(m.root());
    const fs::path report = fs::relative(preview.report, m.root());
    EXPECT_EQ(previewed.erase(report.string()), 1u) << preview.console;
    fs::path twin = report;
    EXPECT_EQ(previewed.erase(twin.replace_extension(".json").string()), 1u) << "no JSON twin";
    EXPECT_EQ(previewed.erase((report.parent_path() / "index.html").string()), 1u) << "no index";
    if (!untouched.count(report.parent_path().string())) previewed.erase(report.parent_path().string());
    EXPECT_TRUE(previewed == untouched) << "the preview changed the installation";
}

// What daotool's schema says of one table or field ("table T", "field T.F type=..."); "" when absent.
std::string SchemaLine(const std::string& schema, const std::string& what) {
    std::regex line("^" + what + "( .*)?$", std::regex::icase | std::regex::multiline);
    std::smatch m;
    return std::regex_search(schema, m, line) ? m[0].str() : "";
}

// The type, size and attributes of a field line.
std::string Definition(const std::string& fieldLine) {
    std::smatch m;
    return std::regex_search(fieldLine, m, std::regex("type=\\d+ size=\\d+ attributes=\\d+")) ? m[0].str()
                                                                                              : "";
}

std::string Html(const Outcome& o) {
    return ledrana::testing::TempPrefix::get(o.report);
}

// One preview and one update of the old installation, with values that the new type of CLIENTI.Fido rounds
// and a shortcut of the user's own in an old group, shared by the tests of this suite (each looks at one
// side of it).
class E2eOldUpdated : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        machine = std::make_unique<Machine>("old");
        machine->write(kPrograms + "\\Tessaro\\Calcolatrice.lnk", "link");
        std::string out;
        ASSERT_EQ(machine->Shell(ShellQuote(E2E_DAOTOOL) + " exec " +
                                     ShellQuote(machine->host("C:\\ZU\\Alfa\\Cont32.mdb").string()) +
                                     " 'UPDATE CLIENTI SET Fido = 1.234567'",
                                 &out),
                  0)
            << out;
        for (const Company& c : kOld) {
            if (!c.compared) continue;
            for (const Kept& k : kKept) {
                const std::string& db = std::string(k.archive) == "cont" ? c.cont : c.scad;
                kept[c.name + " " + k.sql] = machine->Query(db, k.sql, c.password);
            }
        }
        for (const auto& [path, password] : Compared())
            schemas[path] = machine->Schema(path, password);
        untouched = Snapshot(machine->root());
        preview = machine->Update(kAnswers, ReleaseFolder(), "--anteprima");
        ExpectOnlyTheReportAdded(*machine, untouched, preview);
        // The rows of the tables that the preview says the run removes, counted before it does.
        for (const auto& [path, password] : Compared())
            for (const auto& row : Rows(Section(Html(preview), path), ChangeKind::TableRemoved))
                if (row[1] != "—")
                    rows[path + row[0]] = machine->Value(path, "SELECT Count(*) FROM " + row[0], password);
        outcome = machine->Update();
    }
    static void TearDownTestSuite() { machine.reset(); }

    inline static std::unique_ptr<Machine> machine;
    inline static Outcome preview, outcome;
    inline static std::map<std::string, std::vector<std::string>> kept;
    inline static std::map<std::string, std::string> schemas, rows, untouched;
};

TEST_F(E2eOldUpdated, EveryCompanyIsUpdatedInNameOrderAndTheRunEndsWell) {
    EXPECT_EQ(outcome.status, 0) << outcome.console;
    EXPECT_EQ(outcome.verdict(), "ok");
    std::vector<std::string> expected;
    for (const Company& c : kOld)
        for (const std::string& archive : {c.cont, c.scad})
            expected.push_back("ditta " + c.name + ".ini database " + archive + " aggiornato");
    expected.push_back("Aggiornamento eseguito");
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
        if (!c.compared) continue;
        for (const Kept& k : kKept) {
            const std::string& db = std::string(k.archive) == "cont" ? c.cont : c.scad;
            const auto& was = kept[c.name + " " + k.sql];
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
    // Both reports say what the fixes wrote, read from the archive: the preview what the run then did.
    for (const Outcome* o : {&preview, &outcome}) {
        const std::string gamma = Section(Html(*o), kOld[3].cont);
        for (const char* row : {"<b>Movimenti.Anno</b> 4002 righe: 0 → 2005;",
                                "<b>anni</b> 1 riga aggiunta (Anno=2005, EURO=False, …)"})
            EXPECT_NE(gamma.find(row), std::string::npos) << row;
    }
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

    // Every company gets its image folders (what goes into them is the install suite's).
    for (const Company& c : kOld)
        EXPECT_EQ(machine->read(kData + "\\" + c.name + "\\immagini\\stampante.jpg"),
                  ReleaseBytes("stampante.jpg"))
            << c.name;
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

TEST_F(E2eOldUpdated, PreviewChangesNoFileAndNamesEveryCompanyAndTheChangesTheRealRunMakes) {
    ASSERT_EQ(preview.status, 0) << preview.console;
    EXPECT_EQ(preview.verdict(), "ok");
    ASSERT_EQ(outcome.status, 0) << outcome.console;
    const std::string name = fs::relative(preview.report, machine->root()).string();
    EXPECT_TRUE(
        std::regex_match(name, std::regex("drive_c/ZU/LEDRANA/rapporti/anteprima-\\d{8}-\\d{6}\\.html")))
        << name;
    const std::string seen = Html(preview), done = Html(outcome);
    EXPECT_NE(seen.find("Anteprima dell'aggiornamento"), std::string::npos);
    for (const char* company : {"Alfa.ini", "Beta.ini", "DittaEsempio.ini", "Gamma.ini"})
        EXPECT_NE(seen.find("Ditta " + std::string(company) + "</h3>"), std::string::npos) << company;
    std::size_t changes = 0;
    for (const auto& [path, password] : Compared()) {
        for (int k = 0; k < kChangeKinds; ++k) {
            const auto shown = Rows(Section(seen, path), static_cast<ChangeKind>(k));
            EXPECT_EQ(shown, Rows(Section(done, path), static_cast<ChangeKind>(k))) << path << " kind " << k;
            changes += shown.size();
        }
    }
    EXPECT_GT(changes, 100u);
}

TEST_F(E2eOldUpdated, RealRunsCountsAgreeWithTheArchives) {
    const std::string done = Html(outcome);
    EXPECT_NE(done.find("<th>Ditte aggiornate</th><td>4</td>"), std::string::npos);
    EXPECT_NE(done.find("<td>***</td>"), std::string::npos) << "Beta's password box";
    EXPECT_EQ(done.find("segreto"), std::string::npos);
    for (const auto& [path, password] : Compared()) {
        SCOPED_TRACE(path);
        const std::string section = Section(done, path);
        const std::string after = machine->Schema(path, password);
        const std::string& was = schemas[path];
        for (const auto& row : Rows(section, ChangeKind::TableCreated)) {
            EXPECT_EQ(SchemaLine(was, "table " + row[0]), "") << row[0];
            EXPECT_NE(SchemaLine(after, "table " + row[0]), "") << row[0];
        }
        // A removed table's rows as the archive held them before the run (an attached one has none).
        for (const auto& row : Rows(section, ChangeKind::TableRemoved)) {
            EXPECT_EQ(SchemaLine(after, "table " + row[0]), "") << row[0];
            EXPECT_EQ(row[1], row[1] == "—" ? "—" : rows[path + row[0]]) << row[0];
        }
        // Fields: there or not; a created one was not there before, a changed one is now as the model has it.
        const std::string model =
            machine->Schema(Release(path.find("CONT") != std::string::npos ? "CONT32.MDB" : "SCAD32.MDB"));
        for (ChangeKind kind :
             {ChangeKind::FieldCreated, ChangeKind::FieldChanged, ChangeKind::FieldRemoved}) {
            for (const auto& row : Rows(section, kind)) {
                const std::string what = "field " + row[0] + "\\." + row[1];
                const std::string field = SchemaLine(after, what);
                EXPECT_EQ(field.empty(), kind == ChangeKind::FieldRemoved) << what;
                EXPECT_TRUE(kind != ChangeKind::FieldCreated || SchemaLine(was, what).empty()) << what;
                if (kind != ChangeKind::FieldChanged) continue;
                EXPECT_EQ(Definition(field), Definition(SchemaLine(model, what))) << what;
                EXPECT_NE(Definition(field), Definition(SchemaLine(was, what))) << what;
            }
        }
    }
    // The values of CLIENTI.Fido that the currency type rounds: one journal line each.
    const auto journalled = Rows(Section(done, "C:\\ZU\\Alfa\\CONT32.MDB"), ChangeKind::ValuesJournalled);
    ASSERT_EQ(journalled.size(), 1u);
    const auto& cells = journalled[0];
    EXPECT_EQ(cells[0] + "|" + cells[1], "CLIENTI|Fido");
    std::vector<fs::path> journals;
    for (const auto& e : fs::directory_iterator(machine->host("C:\\ZU\\Alfa")))
        if (e.path().filename().string().find("_conversioni_") != std::string::npos)
            journals.push_back(e.path());
    ASSERT_EQ(journals.size(), 1u);
    EXPECT_EQ("C:\\ZU\\Alfa\\" +
                  std::regex_replace(journals[0].filename().string(), std::regex("_\\d{8}-\\d{6}"), ""),
              cells[2]);
    const std::string csv = ledrana::testing::TempPrefix::get(journals[0]);
    const auto lines = std::count(csv.begin(), csv.end(), '\n') - 1;
    EXPECT_EQ(std::to_string(lines), cells[3]);
    EXPECT_EQ(cells[3], machine->Value("C:\\ZU\\Alfa\\CONT32.MDB", "SELECT Count(*) FROM CLIENTI"));
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
    for (const std::string& removed : {kData + "\\ditta\\scad32.mdb", std::string("C:\\WINDOWS\\dir.txt")}) {
        SCOPED_TRACE(removed);
        Machine m("old-layout");
        fs::remove(m.host(removed));
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

// A data folder on a share named by its Windows name, Beta's accounting archive in a folder of the host (Z:)
// and Gamma's held by the main program: the preview copies what it can, names Gamma's archive with the
// reason, and names Beta's by its real path; the installation stays as it was. Once Gamma is let go, the
// real run updates every archive where it is.
TEST(E2ePreview, OnAShareCopiesWhatItCanAndNamesTheRealPathsAsTheRunThen) {
    Machine m("old");
    const std::string share = m.MoveDataToShare();
    fs::create_directories(m.root() / "altrove");
    fs::rename(m.host(share + "\\Beta\\CONT32.MDB"), m.root() / "altrove" / "CONT32.MDB");
    std::string elsewhere = "Z:" + (m.root() / "altrove" / "CONT32.MDB").string();
    std::replace(elsewhere.begin(), elsewhere.end(), '/', '\\');
    std::string beta = m.read(share + "\\ledrana\\Beta.ini");
    const std::string was = share + "\\Beta\\CONT32.MDB";
    beta.replace(beta.find(was), was.size(), elsewhere);
    m.write(share + "\\ledrana\\Beta.ini", beta);
    ledrana::testing::Background holder(
        {E2E_DAOTOOL, "hold", m.host(share + "\\Gamma\\CONT32.MDB").string(), "600"}, m.root());
    ASSERT_TRUE(holder.WaitForLine("tengo aperto")) << holder.output();

    const auto untouched = Snapshot(m.root());
    const Outcome preview = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
    holder.Stop();
    // Gamma's archive is in use while the preview looks: so would the real run find it.
    ASSERT_EQ(preview.status, 5) << preview.console;
    ExpectOnlyTheReportAdded(m, untouched, preview);

    const std::string html = Html(preview);
    for (const std::string& shown :
         {"l&#39;archivio " + share + "\\Gamma\\Cont32.mdb non è stato copiato perché è in uso",
          "ditta Beta.ini database " + UCase(elsewhere) + " aggiornato",
          "ditta Alfa.ini database " + share + "\\Alfa\\CONT32.MDB aggiornato",
          "<tr><th>Cartella dati</th><td>" + share + " <span class=\"host\">"})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    EXPECT_EQ(html.find("ANTEPRIMA-"), std::string::npos);

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
    EXPECT_NE(o.entry("ditta Beta.ini database \\\\SERVER\\DATI\\ZU\\BETA\\SCAD32.MDB aggiornato"), -1)
        << o.log;
    EXPECT_EQ(o.box("non è attualmente disponibile"), -1);
    EXPECT_FALSE(fs::exists(m.root() / "drive_c" / "ZU"));
    EXPECT_EQ(m.ini(share + "\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "048.5");
}

TEST(E2eHelp, EveryProgramExplainsItselfAndRefusesWhatItDoesNotKnow) {
    const struct {
        const char* program;
        const char* arguments;
        int status;
        std::vector<const char*> says;
    } cases[] = {
        {E2E_AGGIORNA_BATCH,
         "--help",
         0,
         {"--prefix", "--model", "--answers", "--log", "--boxes", "--progress", "--anteprima",
          "Stato di uscita", "  3  "}},
        {E2E_AGGIORNA_BATCH, "-h", 0, {"--anteprima"}},
        {E2E_AGGIORNA_BATCH, "--frobnicate", 2, {"aggiorna-batch: opzione sconosciuta: --frobnicate\nuso: "}},
        {E2E_AGGIORNA_BATCH, "--version", 0, {"aggiorna-batch 048.5 (build "}},
        {E2E_MKINSTALL, "--version", 0, {"mkinstall 48.5 (build "}},
        {E2E_WINDOW, "--version", 0, {"AggiornaLedrana 048.5 (build "}},
        {E2E_AGGIORNA_BATCH, "--prefix", 2, {"uso: aggiorna-batch"}},
        {E2E_DAOTOOL,
         "--help",
         0,
         {"create", "exec", "query", "import", "hold", "--pwd-file", "Stato di uscita"}},
        {E2E_DAOTOOL, "frobnicate x", 2, {"daotool: comando sconosciuto: frobnicate\nuso: daotool"}},
        {E2E_MKINSTALL, "-h", 0, {"old-layout", "--rows", "--release"}},
        {E2E_MKINSTALL, "/tmp/x nuova", 2, {"uso: mkinstall"}},
        {E2E_MKINSTALL, "/tmp/x old --frobnicate", 2, {"uso: mkinstall"}},
    };
    const ledrana::testing::TempPrefix prefix;
    for (const auto& c : cases) {
        const auto r =
            ledrana::testing::RunWithPrefix(ShellQuote(c.program) + " " + c.arguments, prefix.root());
        EXPECT_EQ(r.status, c.status) << c.program << " " << c.arguments << "\n" << r.output;
        for (const char* text : c.says)
            EXPECT_NE(r.output.find(text), std::string::npos)
                << c.program << " " << c.arguments << ": " << text;
    }
}

} // namespace
} // namespace ledrana::e2e
