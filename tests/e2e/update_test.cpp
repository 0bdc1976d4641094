// Successful updates of the sample installations: what the log, the boxes, the archives, the INI files,
// the templates, the demo company, the shortcuts, the progress bar and the run's report show afterwards; a
// preview changes no file and names what the real run then does; a second run, and what an interrupted run
// left. And the command-line programs explain themselves.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"
#include "window/run_report.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::ShellQuote;

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
    {"cont", "SELECT Cod, RagSoc FROM CLIENTI ORDER BY Cod"},
    {"cont", "SELECT Count(*) FROM FORNITORI"},
    {"cont", "SELECT Count(*) FROM PIANOCONTI"},
    {"cont", "SELECT Count(*), Sum(ImpoDare), Sum(ImpoAvere) FROM MOVIMENTI"},
    {"cont", "SELECT Count(*) FROM ARTICOLI"},
    {"cont", "SELECT Count(*), Sum(Totale) FROM FATTURECLI"},
    {"cont", "SELECT Count(*) FROM FATTURECLI_R"},
    {"scad", "SELECT Count(*) FROM SCADENZE"},
};

// The log of a run that updates the demo company alone.
const std::vector<std::string> kDemoUpdated = {
    "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\CONT32.MDB aggiornato",
    "ditta DittaEsempio.ini database C:\\ZU\\DittaEsempio\\SCAD32.MDB aggiornato", "Aggiornamento eseguito"};

const std::string kPrograms = "C:\\WINDOWS\\Start Menu\\Programs";

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

// One preview and one update of the old installation, with values that the new type of CLIENTI.Fido rounds
// and a field that an older rebuild of a counter could have left (its name and "zz"), shared by the tests of
// this suite (each looks at one side of it).
class E2eOldUpdated : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setupFailure = FailureOf(Prepare); }
    void SetUp() override { ASSERT_EQ(setupFailure, "") << "the machine or its runs could not be made"; }

    static void Prepare() {
        machine = std::make_unique<Machine>("old");
        machine->Exec(kOld[0].cont,
                      {"UPDATE CLIENTI SET Fido = 1.234567", "ALTER TABLE TOTALIIVA ADD COLUMN IDzz LONG",
                       "UPDATE TOTALIIVA SET IDzz = 7"});
        totaliiva = machine->Value(kOld[0].cont, "SELECT Count(*) FROM TOTALIIVA");
        for (const Company& c : kOld) {
            if (!c.compared) continue;
            for (const Kept& k : kKept) {
                const std::string& db = std::string(k.archive) == "cont" ? c.cont : c.scad;
                kept[c.name + " " + k.sql] = machine->Query(db, k.sql, c.password);
            }
        }
        for (const auto& [path, password] : Compared())
            schemas[path] = machine->Schema(path, password);
        const auto untouched = Digest(machine->root());
        preview = machine->Update(kAnswers, ReleaseFolder(), "--anteprima");
        previewChanged = ChangedSince(untouched, machine->root(), preview.report);
        // The rows of the tables that the preview says the run removes, counted before it does.
        for (const auto& [path, password] : Compared())
            for (const auto& row : Rows(Section(preview.page(), path), ChangeKind::TableRemoved))
                if (row[1] != "—")
                    rows[path + row[0]] = machine->Value(path, "SELECT Count(*) FROM " + row[0], password);
        outcome = machine->Update();
    }
    static void TearDownTestSuite() { machine.reset(); }

    inline static std::unique_ptr<Machine> machine;
    inline static Outcome preview, outcome;
    inline static std::map<std::string, std::vector<std::string>> kept;
    inline static std::map<std::string, std::string> schemas, rows;
    inline static std::string totaliiva; // Alfa's rows
    inline static std::string setupFailure, previewChanged;
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
    // The bar never goes back nor passes its maximum, and ends full.
    ASSERT_FALSE(outcome.bar.empty());
    int last = 0;
    for (const auto& [value, max] : outcome.bar) {
        EXPECT_LE(value, max);
        EXPECT_LE(max, 500);
        EXPECT_GE(value, last) << "the bar went back";
        last = value;
    }
    EXPECT_EQ(outcome.bar.back(), std::make_pair(500, 500));

    // Beyond the Null values that no neutral value replaces (Alfa's, before Beta), the boxes are Beta's
    // password, the end and the question.
    std::vector<Box> others;
    for (const Box& b : outcome.boxes) {
        if (b.text == "Tipo non previsto su VerificaCampiNull1") {
            EXPECT_TRUE(others.empty()) << "a Null box after " << others.back().text;
        } else {
            others.push_back(b);
        }
    }
    ASSERT_EQ(others.size(), 3u) << outcome.console;
    EXPECT_TRUE(others[0].input);
    EXPECT_EQ(others[0].text, "Ditta: Beta\n E' PROTETTA:  IMPOSTARE LA PASSWORD");
    EXPECT_EQ(outcome.console.find("segreto"), std::string::npos); // a password shows nowhere
    EXPECT_EQ(fs::status(machine->root() / "run" / "boxes.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(others[1].text, "Aggiornamento eseguito");
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
    // The counter of TOTALIIVA is rebuilt adding no field of its own: IDzz goes as a surplus field, its
    // values copied first into the recovery archive, and the counter is numbered 1, 2, 3... in the rows'
    // order, as the engine numbers a counter it appends.
    EXPECT_EQ(machine->Value(kOld[0].cont, "SELECT Max(ID) FROM TOTALIIVA"), totaliiva);
    const auto recovery = platform::ListFiles("C:\\ZU\\Alfa", "CONT32_RIMOSSI_*");
    ASSERT_EQ(recovery.size(), 1u);
    EXPECT_EQ(machine->Query("C:\\ZU\\Alfa\\" + recovery[0],
                             "SELECT Count(*), Min(IDzz), Max(IDzz) FROM TOTALIIVA_IDzz"),
              std::vector<std::string>{totaliiva + "\t7\t7"});
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
        const std::string gamma = Section(o->page(), kOld[3].cont);
        for (const char* row : {"<b>Movimenti.Anno</b> 4002 righe: 0 → 2005;",
                                "<b>anni</b> 1 riga aggiunta (Anno=2005, EURO=False, …)"})
            EXPECT_NE(gamma.find(row), std::string::npos) << row;
    }
}

TEST_F(E2eOldUpdated, IniFilesTemplatesAndUserIniAreInstalledAndOldShortcutsGone) {
    int templates = 0;
    for (const auto& e : fs::directory_iterator(ReleaseFolder())) {
        const std::string name = e.path().filename().string(), ext = UCase(e.path().extension().string());
        if (ext != ".MOD" && ext != ".ETICF") continue;
        EXPECT_EQ(machine->read(kData + "\\LEDRANA\\INI\\" + name), ReleaseBytes(name)) << name;
        ++templates;
    }
    EXPECT_EQ(templates, 30);
    EXPECT_NE(machine->read(kData + "\\LEDRANA\\INI\\ZuFatturaPersonale.mod").find("personalizzato"),
              std::string::npos);
    EXPECT_EQ(machine->read(kData + "\\Utenti\\Utente.ini"), ReleaseBytes("Utente.ini"));

    // Every company INI is completed: a switch set to NO and the values the user chose stay, what is
    // missing gets its default.
    const char* const keys[][3] = {{"Alfa", "NuovoCliente", "NO"},
                                   {"Alfa", "ArrotImporto", "1"},
                                   {"Beta", "NuovoCliente", "Si"},
                                   {"Beta", "DirectoryRiba", "C:\\ZU\\RIBA\\"},
                                   {"Beta", "Ragsoc2", "DI ROSSI & BIANCHI"},
                                   {"Gamma", "DecP", "###"}};
    for (const auto& k : keys)
        EXPECT_EQ(machine->ini(kData + "\\ledrana\\" + k[0] + ".ini", "Config", k[1]), k[2]) << k[0] << k[1];

    // Every company gets its image folders (what goes into them is the install suite's).
    for (const Company& c : kOld)
        EXPECT_EQ(machine->read(kData + "\\" + c.name + "\\immagini\\stampante.jpg"),
                  ReleaseBytes("stampante.jpg"))
            << c.name;
    // The old versions' shortcuts are gone, and their groups (a group the user put a shortcut of their own in
    // stays: the install suite's).
    EXPECT_EQ(Names(machine->host("C:\\WINDOWS\\Desktop")),
              std::vector<std::string>{"Posta elettronica.lnk"});
    EXPECT_FALSE(machine->exists(kPrograms + "\\Ledrana"));
    EXPECT_FALSE(machine->exists(kPrograms + "\\Tessaro"));
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
    EXPECT_EQ(machine->Query(folder + "\\Cont32.mdb", "SELECT DISTINCT logo FROM tipifatturecli"),
              std::vector<std::string>{"logo.jpg"});

    // Its INI is written anew (the identity and accounts it gets are the install suite's).
    const std::string ini = kData + "\\ledrana\\DittaEsempio.ini";
    EXPECT_EQ(machine->ini(ini, "Archivi", "Ledrana"), "Cont32.Mdb");
    EXPECT_EQ(machine->ini(ini, "Archivi", "Scadenzario"), "Scad32.Mdb");
    EXPECT_EQ(machine->ini(ini, "Config", "Ragsoc1"), "DITTA DI PROVA");
    EXPECT_EQ(machine->ini(ini, "Config", "LogoOrdini"), "logo.jpg");
}

TEST_F(E2eOldUpdated, PreviewChangesNoFileAndNamesEveryCompanyAndTheChangesTheRealRunMakes) {
    ASSERT_EQ(preview.status, 0) << preview.console;
    EXPECT_EQ(previewChanged, "") << preview.console;
    EXPECT_EQ(preview.verdict(), "ok");
    ASSERT_EQ(outcome.status, 0) << outcome.console;
    const std::string name = fs::relative(preview.report, machine->root()).string();
    EXPECT_TRUE(
        std::regex_match(name, std::regex("drive_c/ZU/LEDRANA/rapporti/anteprima-\\d{8}-\\d{6}\\.html")))
        << name;
    const std::string seen = preview.page(), done = outcome.page();
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
    const std::string done = outcome.page();
    EXPECT_NE(done.find("<th>Ditte aggiornate</th><td>4</td>"), std::string::npos);
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
    const auto journals = platform::ListFiles("C:\\ZU\\Alfa", "*_conversioni_*");
    ASSERT_EQ(journals.size(), 1u);
    EXPECT_EQ("C:\\ZU\\Alfa\\" + std::regex_replace(journals[0], std::regex("_\\d{8}-\\d{6}"), ""), cells[2]);
    const std::string csv = machine->read("C:\\ZU\\Alfa\\" + journals[0]);
    const auto lines = std::count(csv.begin(), csv.end(), '\n') - 1;
    EXPECT_EQ(std::to_string(lines), cells[3]);
    EXPECT_EQ(cells[3], machine->Value("C:\\ZU\\Alfa\\CONT32.MDB", "SELECT Count(*) FROM CLIENTI"));
}

// What an interrupted run left beside an archive (a recovery archive, a journal) is named by the next run's
// report, with its time, once; a link planted at an archive's rollback journal is removed, not followed, and
// the archive updated. A second run of the same version says so, finds the leftovers named already, and
// updates again changing no structure.
TEST(E2eSecondRun, SameVersionSaysSoAndChangesNoStructureAndLeftoversAreNamedOnce) {
    Machine m("old");
    const std::string left[] = {"C:\\ZU\\Alfa\\CONT32_rimossi_20260101-101010.mdb",
                                "C:\\ZU\\Alfa\\CONT32_conversioni_20260101-101010.csv"};
    m.write(left[0], m.read("C:\\ZU\\Alfa\\CONT32.MDB"));
    m.write(left[1], "Tabella;Chiave;Campo;Valore precedente;Valore nuovo\r\n");
    const fs::path journal = m.host(kGammaCont).string() + "-journal";
    fs::create_symlink(m.root() / "altrove", journal);
    const Outcome first = m.Update();
    ASSERT_EQ(first.status, 0) << first.console;
    EXPECT_EQ(first.verdict(), "ok");
    EXPECT_FALSE(fs::exists(fs::symlink_status(journal)));
    EXPECT_FALSE(fs::exists(m.root() / "altrove"));
    const std::string page = first.page();
    const std::size_t section = page.find("Lasciato da un aggiornamento interrotto");
    ASSERT_NE(section, std::string::npos);
    for (const std::string& path : left)
        EXPECT_NE(page.find(path, section), std::string::npos) << path;
    const auto schemas = [&m] {
        std::vector<std::string> out;
        for (const Company& c : kOld)
            out.insert(out.end(), {m.Schema(c.cont, c.password), m.Schema(c.scad)});
        return out;
    };
    const std::vector<std::string> before = schemas();

    const Outcome second = m.Update();
    EXPECT_EQ(second.status, 0) << second.console;
    EXPECT_EQ(second.page().find("Lasciato da un aggiornamento interrotto"), std::string::npos);
    ASSERT_FALSE(second.boxes.empty());
    EXPECT_EQ(second.boxes[0].text,
              "il programma è già aggiornato, verrà effettuata la verifica degli archivi");
    EXPECT_EQ(second.boxes[0].style, 64);
    // The notice, then the same update as the first time.
    std::vector<std::string> expected = {"già aggiornato, rieseguo"};
    expected.insert(expected.end(), first.entries.begin(), first.entries.end());
    EXPECT_EQ(second.entries, expected);
    EXPECT_EQ(schemas(), before);
}

// The single company of the old layout becomes Ditta2000 and is updated where its archives are; with one of
// them or dir.txt missing nothing is copied, and the demo company alone is updated.
TEST(E2eOldLayout, TheSingleCompanyBecomesDitta2000WhenBothArchivesAndDirTxtAreThere) {
    const std::string cont = kData + "\\ditta2000\\cont32.mdb", scad = kData + "\\ditta\\scad32.mdb";
    for (const std::string& removed : {std::string(), scad, std::string("C:\\WINDOWS\\dir.txt")}) {
        SCOPED_TRACE(removed);
        Machine m("old-layout");
        if (!removed.empty()) fs::remove(m.host(removed));
        const auto clients = m.Query(cont, "SELECT Cod FROM CLIENTI ORDER BY Cod");
        const Outcome o = m.Update();
        EXPECT_EQ(o.status, 0) << o.console;
        std::vector<std::string> expected = kDemoUpdated;
        if (removed.empty())
            expected.insert(expected.begin(),
                            {"ditta Ditta2000.ini database C:\\ZU\\DITTA2000\\CONT32.MDB aggiornato",
                             "ditta Ditta2000.ini database C:\\ZU\\DITTA\\SCAD32.MDB aggiornato"});
        EXPECT_EQ(o.entries, expected);
        EXPECT_EQ(m.exists(kData + "\\ledrana\\Ditta2000.ini"), removed.empty());
        if (!removed.empty()) continue;
        // The model's company INI (its completion by the company update is E2eOldUpdated's, every INI alike).
        const std::string model = platform::WindowsPath(Release("Ditta2000.ini"));
        for (const char* key : {"Ledrana", "Scadenzario"})
            EXPECT_EQ(m.ini(kData + "\\ledrana\\Ditta2000.ini", "Archivi", key),
                      m.ini(model, "Archivi", key));
        EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(cont)), "");
        EXPECT_EQ(StructureDifferences(m.Schema(Release("SCAD32.MDB")), m.Schema(scad)), "");
        EXPECT_EQ(m.Query(cont, "SELECT Cod FROM CLIENTI ORDER BY Cod"), clients);
        EXPECT_FALSE(clients.empty());
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
        if (*kind) continue;
        EXPECT_EQ(o.entries, kDemoUpdated);
        EXPECT_EQ(o.boxes.size(), 2u) << o.console; // the end's box and question, nothing else
        EXPECT_TRUE(fs::is_directory(m.host(kData + "\\ledrana\\ini")));
    }
}

// A data folder on a share named by its Windows name, Beta's accounting archive in a folder of the host (Z:)
// and Gamma's held by the main program: the preview copies what it can, names Gamma's archive with the
// reason, and names Beta's by its real path; the installation stays as it was. Once Gamma is let go, the
// real run updates every archive where it is.
TEST(E2ePreview, OnAShareCopiesWhatItCanAndNamesTheRealPathsAsTheRunThen) {
    Machine m("old");
    // The data folder moved onto \\SERVER\dati\ZU (dir.txt names it) and Beta's INI rewritten to match, but
    // Beta's accounting archive put on the host.
    const std::string share = "\\\\SERVER\\dati\\ZU";
    fs::create_directories(m.root() / "unc" / "server" / "dati");
    fs::rename(m.root() / "drive_c" / "ZU", m.root() / "unc" / "server" / "dati" / "ZU");
    m.write("C:\\WINDOWS\\dir.txt", share + "\r\n");
    fs::create_directories(m.root() / "altrove");
    fs::rename(m.host(share + "\\Beta\\CONT32.MDB"), m.root() / "altrove" / "CONT32.MDB");
    const std::string elsewhere = platform::WindowsPath((m.root() / "altrove" / "CONT32.MDB").string());
    std::string beta = m.read(share + "\\ledrana\\Beta.ini");
    beta.replace(beta.find("C:\\ZU\\Beta\\CONT32.MDB"), 21, elsewhere);
    for (std::size_t at; (at = beta.find("C:\\ZU")) != std::string::npos;)
        beta.replace(at, 5, share);
    m.write(share + "\\ledrana\\Beta.ini", beta);
    ledrana::testing::Background holder(
        {E2E_DAOTOOL, "hold", m.host(share + "\\Gamma\\CONT32.MDB").string(), "600"}, m.root());
    ASSERT_TRUE(holder.WaitForLine("tengo aperto")) << holder.output();

    const auto untouched = Digest(m.root());
    const Outcome preview = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
    // Gamma's archive is in use while the preview looks: so would the real run find it.
    ASSERT_EQ(preview.status, 5) << preview.console;
    EXPECT_EQ(ChangedSince(untouched, m.root(), preview.report), "");
    holder.Stop();

    const std::string html = preview.page();
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
