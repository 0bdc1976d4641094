// The report of a run and the preview: a preview of the old installation changes no file of it and names
// what the real run then does; the real run's report agrees with what its archives hold afterwards. And the
// command-line programs explain themselves.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <set>

#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"
#include "window/run_report.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::ShellQuote;

// Every file of the machine and its bytes, but the test's own run folder.
std::map<std::string, std::string> Files(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        if (e.is_regular_file() && rel.rfind("run/", 0) != 0)
            files[rel] = ledrana::testing::TempPrefix::get(e.path());
    }
    return files;
}

// The section of an archive in a report, up to the next archive's.
std::string Section(const std::string& html, const std::string& archive) {
    const std::size_t at = html.find("<h3>" + archive + "</h3>");
    if (at == std::string::npos) return "";
    return html.substr(at, html.find("</div>", at) - at);
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

// The files of the machine after a preview: as they were, and its report.
void ExpectOnlyTheReportAdded(const Machine& m, const std::map<std::string, std::string>& untouched,
                              const Outcome& preview) {
    auto previewed = Files(m.root());
    EXPECT_EQ(previewed.erase(fs::relative(preview.report, m.root()).string()), 1u) << preview.console;
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

struct Archive {
    std::string path; // as the run names it
    const char* password;
};
const Archive kArchives[] = {
    {"C:\\ZU\\Alfa\\CONT32.MDB", ""},        {"C:\\ZU\\Alfa\\SCAD32.MDB", ""},
    {"C:\\ZU\\BETA\\CONT32.MDB", "segreto"}, {"C:\\ZU\\BETA\\SCAD32.MDB", ""},
    {"C:\\ZU\\Gamma\\CONT32.MDB", ""},       {"C:\\ZU\\Gamma\\SCAD32.MDB", ""},
};

// The old installation, with values that the new type of CLIENTI.Fido rounds; previewed, then updated.
class E2eReport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        machine = std::make_unique<Machine>("old");
        std::string out;
        ASSERT_EQ(machine->Shell(ShellQuote(E2E_DAOTOOL) + " exec " +
                                     ShellQuote(machine->host("C:\\ZU\\Alfa\\Cont32.mdb").string()) +
                                     " 'UPDATE CLIENTI SET Fido = 1.234567'",
                                 &out),
                  0)
            << out;
        for (const Archive& a : kArchives)
            before[a.path] = machine->Schema(a.path, a.password);
        untouched = Files(machine->root());
        preview = machine->Update(kAnswers, ReleaseFolder(), "--anteprima");
        ExpectOnlyTheReportAdded(*machine, untouched, preview);
        // The rows of the tables that the preview says the run removes, counted before it does.
        for (const Archive& a : kArchives)
            for (const auto& row : Rows(Section(Html(preview), a.path), ChangeKind::TableRemoved))
                if (row[1] != "—")
                    rows[a.path + row[0]] =
                        machine->Value(a.path, "SELECT Count(*) FROM " + row[0], a.password);
        real = machine->Update();
    }
    static void TearDownTestSuite() { machine.reset(); }

    inline static std::unique_ptr<Machine> machine;
    inline static std::map<std::string, std::string> before, rows, untouched;
    inline static Outcome preview, real;
};

TEST_F(E2eReport, PreviewChangesNoFileAndNamesEveryCompanyAndTheChangesTheRealRunMakes) {
    ASSERT_EQ(preview.status, 0) << preview.console;
    ASSERT_EQ(real.status, 0) << real.console;
    const std::string name = fs::relative(preview.report, machine->root()).string();
    EXPECT_TRUE(
        std::regex_match(name, std::regex("drive_c/ZU/LEDRANA/rapporti/anteprima-\\d{8}-\\d{6}\\.html")))
        << name;
    const std::string seen = Html(preview), done = Html(real);
    EXPECT_NE(seen.find("Anteprima dell'aggiornamento"), std::string::npos);
    for (const char* company : {"Alfa.ini", "Beta.ini", "DittaEsempio.ini", "Gamma.ini"})
        EXPECT_NE(seen.find("Ditta " + std::string(company) + "</h3>"), std::string::npos) << company;
    std::size_t changes = 0;
    for (const Archive& a : kArchives) {
        for (int k = 0; k < kChangeKinds; ++k) {
            const auto shown = Rows(Section(seen, a.path), static_cast<ChangeKind>(k));
            EXPECT_EQ(shown, Rows(Section(done, a.path), static_cast<ChangeKind>(k)))
                << a.path << " kind " << k;
            changes += shown.size();
        }
    }
    EXPECT_GT(changes, 100u);
}

TEST_F(E2eReport, RealRunsCountsAgreeWithTheArchives) {
    const std::string done = Html(real);
    EXPECT_NE(done.find("<th>Ditte aggiornate</th><td>4</td>"), std::string::npos);
    EXPECT_NE(done.find("<td>***</td>"), std::string::npos) << "Beta's password box";
    EXPECT_EQ(done.find("segreto"), std::string::npos);
    for (const Archive& a : kArchives) {
        SCOPED_TRACE(a.path);
        const std::string section = Section(done, a.path);
        const std::string after = machine->Schema(a.path, a.password);
        const std::string& was = before[a.path];
        for (const auto& row : Rows(section, ChangeKind::TableCreated)) {
            EXPECT_EQ(SchemaLine(was, "table " + row[0]), "") << row[0];
            EXPECT_NE(SchemaLine(after, "table " + row[0]), "") << row[0];
        }
        // A removed table's rows as the archive held them before the run (an attached one has none).
        for (const auto& row : Rows(section, ChangeKind::TableRemoved)) {
            EXPECT_EQ(SchemaLine(after, "table " + row[0]), "") << row[0];
            EXPECT_EQ(row[1], row[1] == "—" ? "—" : rows[a.path + row[0]]) << row[0];
        }
        // Fields: there or not; a created one was not there before, a changed one is now as the model has it.
        const std::string model =
            machine->Schema(Release(a.path.find("CONT") != std::string::npos ? "CONT32.MDB" : "SCAD32.MDB"));
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
    ASSERT_TRUE(holder.WaitForLine("holding")) << holder.output();

    const auto untouched = Files(m.root());
    const Outcome preview = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
    holder.Stop();
    ASSERT_EQ(preview.status, 0) << preview.console;
    ExpectOnlyTheReportAdded(m, untouched, preview);

    const std::string html = Html(preview);
    for (const std::string& shown :
         {"l&#39;archivio " + share + "\\Gamma\\Cont32.mdb non è stato copiato perché è in uso",
          "ditta Beta.ini database " + UCase(elsewhere) + " aggiornato",
          "ditta Alfa.ini database " + share + "\\Alfa\\CONT32.MDB aggiornato",
          "<tr><th>Cartella dati</th><td>" + share + "</td></tr>"})
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
        {E2E_AGGIORNA_BATCH, "--frobnicate", 2, {"uso: aggiorna-batch"}},
        {E2E_AGGIORNA_BATCH, "--prefix", 2, {"uso: aggiorna-batch"}},
        {E2E_DAOTOOL, "--help", 0, {"create", "exec", "query", "import", "hold", "--pwd", "exit status"}},
        {E2E_DAOTOOL, "frobnicate x", 2, {"usage: daotool"}},
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
