// An installation moved from Windows: one company's accounting archive is still a Jet file (Northwind,
// under the archive's name). The update converts it, compares it with the model, compacts it and goes on;
// the original stays beside it byte for byte, and the next run has nothing left to convert. An archive that
// cannot be used (a damaged Jet file, a read-only archive, one the main program holds) is left as it was,
// reported as an opening error, refused to the company's later steps, and the other companies are updated.
// A Jet file that is read-only, open on another computer or in a folder that takes no file is refused by the
// engine with the same numbers (tests/dao/jet_import_test.cpp), a file that is no database at all by the
// comparison (tests/schema/ponteval_test.cpp): the later steps meet them as they meet these.

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::TempPrefix;

const fs::path kCorpus = fs::path(LEDRANA_SOURCE_DIR) / "tests" / "data" / "jet";
const fs::path kNwind = kCorpus / "nwind.mdb";
const std::string kArchive = "C:\\ZU\\Alfa\\CONT32.MDB";

// An update in which Gamma's accounting archive could not be used (the error `number`, whose text holds
// `said`): the comparison reports the opening's error, the company's later steps meet the same refusal and
// report it in their own words, the archive is left byte for byte as `before`, the run's report gives
// `advice` (as the page spells it), and the other archives (Gamma's due-dates archive too) are updated.
void ExpectGammaLeftAsItWas(const Machine& m, const Outcome& o, const std::string& before, int number,
                            const std::string& said, const std::string& advice) {
    EXPECT_EQ(m.read(kGammaCont), before);
    // The opening's error as the comparison reports it, the company update's own line, then each later step
    // of the company meets the same refusal from the engine and says so in its own words; the run ends well.
    const std::string n = std::to_string(number);
    ASSERT_NE(o.box(" " + n), -1) << o.console;
    const std::string error = o.boxes[o.box(" " + n)].text;
    EXPECT_EQ(error.rfind(" " + n, 0), 0u) << error;
    EXPECT_NE(error.find(said), std::string::npos) << error;
    const std::string company = "ditta Gamma.ini database " + kGammaCont;
    const std::string refused =
        "File " + kGammaCont + "\nFunz. ApreDb: err." + n + " " + error.substr(1 + n.size());
    const std::string undone = company + " non aggiornato correttamente";
    std::vector<std::string> expected{error, undone, refused, "91 |AggiornaCampiVari"};
    expected.insert(expected.end(), {"Agg.campi vari: " + undone, refused, "Agg.DIVERSI " + undone});
    for (const char* step : {"CopiaDatiCodiciCausaliTrasporto", "CopiaDatiCategorieFisse",
                             "CopiaDatiRitenute", "ModificaCausaliFisse"})
        expected.insert(expected.end(), {refused, std::string("91 |") + step});
    std::vector<std::string> boxes;
    for (std::size_t i = static_cast<std::size_t>(o.box(error));
         i < o.boxes.size() && boxes.size() < expected.size(); ++i) {
        const std::string& t = o.boxes[i].text;
        // A step's own report: its number, then the step's name among its lines.
        const auto funz = t.find("funz. ");
        boxes.push_back(t.rfind("91 ", 0) != 0 ? t
                        : funz == std::string::npos
                            ? "91 |" + t
                            : "91 |" + t.substr(funz + 6, t.find_first_of(" \n", funz + 6) - funz - 6));
    }
    EXPECT_EQ(boxes, expected) << o.console;
    ASSERT_GE(o.boxes.size(), 2u);
    EXPECT_EQ(o.boxes[o.boxes.size() - 2].text, "Aggiornamento eseguito");
    EXPECT_EQ(o.status, 5) << o.console;
    EXPECT_EQ(o.verdict(), "warn");
    EXPECT_NE(o.entry(undone), -1) << o.log;
    // The report: the error beside the archive among what did not succeed, and what the user can do.
    const std::string page = o.page();
    const std::size_t failed = page.find("Che cosa non è riuscito");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_NE(page.substr(failed, page.find("<h2>", failed + 10) - failed).find(n), std::string::npos);
    EXPECT_NE(page.find(advice), std::string::npos) << advice;

    EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema("C:\\ZU\\Alfa\\Cont32.mdb")),
              "");
    EXPECT_NE(o.entry("ditta Alfa.ini database C:\\ZU\\Alfa\\CONT32.MDB aggiornato"), -1) << o.log;
    EXPECT_EQ(StructureDifferences(m.Schema(Release("SCAD32.MDB")), m.Schema("C:\\ZU\\Gamma\\Scad32.mdb")),
              "");
    EXPECT_NE(o.entry("ditta Gamma.ini database C:\\ZU\\Gamma\\SCAD32.MDB aggiornato"), -1) << o.log;
}

// Gamma's archive private (1234:5678 0640), with links put, by anyone who may write in the data folder, at
// the names the update writes beside it and its company INI. None is followed, and every file made from
// Gamma's archive takes its owner, group and mode (as another user the owner cannot be given). A lock file
// that nobody holds beside a Jet file is JetOpen.OpenDatabaseConvertsInPlaceKeepingTheOriginalBeside's.
TEST(E2eJetArchive, IsConvertedUpdatedAndKeptBesideFollowingNoLinkThenLeftAlone) {
    Machine machine("old");
    const std::string nwind = TempPrefix::get(kNwind);
    machine.write(kArchive, nwind);
    machine.write(kGammaCont, nwind);
    const std::string gamma = machine.host(kGammaCont).string();
    const bool root = ::geteuid() == 0;
    ::chmod(gamma.c_str(), 0640);
    if (root) {
        ASSERT_EQ(::chown(gamma.c_str(), 1234, 5678), 0);
    }
    const fs::path outside = machine.root() / "outside", victim = outside / "victim";
    TempPrefix::put(victim, "untouched");
    const std::pair<fs::path, fs::path> links[] = {
        {gamma + ".conversione", outside / "conversione"},
        {gamma + ".jet", victim},
        {gamma + ".tmp", outside / "tmp"},
        {gamma + ".tmp2", victim},
        {gamma + ".tmp-journal", outside / "journal"},
        {gamma + "-journal", outside / "journal"},
        {machine.host("C:\\ZU\\ledrana") / ".Gamma.ini.part", victim},
    };
    for (const auto& [at, to] : links)
        fs::create_symlink(to, at);

    Outcome first = machine.Update();
    EXPECT_EQ(first.status, 0) << first.console;
    EXPECT_NE(first.entry("ditta Alfa.ini database " + kArchive + " aggiornato"), -1) << first.log;
    EXPECT_EQ(first.entriesWith("convertito dal formato Jet").size(), 2u) << first.log;
    std::vector<std::string> converted = first.entriesWith("archivio " + kArchive + " convertito");
    ASSERT_EQ(converted.size(), 1u) << first.log;
    EXPECT_EQ(converted[0].rfind("archivio " + kArchive + " convertito", 0), 0u) << converted[0];
    EXPECT_NE(converted[0].find(".jet"), std::string::npos) << converted[0];
    EXPECT_EQ(first.box("convertito"), -1) << "the conversion is logged without a box";

    EXPECT_EQ(machine.read(kArchive + ".jet"), nwind);
    EXPECT_NE(machine.read(kArchive).substr(0, 15), nwind.substr(0, 15));
    // Tables the comparison creates get the model's fields, indexes and queries but not its description
    // (the comparison's own rule): that alone may differ.
    const auto undescribed = [](const std::string& schema) {
        return std::regex_replace(schema, std::regex(" description=[^\n]*"), "");
    };
    EXPECT_EQ(StructureDifferences(undescribed(machine.Schema(Release("CONT32.MDB"))),
                                   undescribed(machine.Schema(kArchive))),
              "");

    EXPECT_EQ(TempPrefix::get(victim), "untouched");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1)
        << "a file was made where a link led";
    EXPECT_TRUE(machine.read(kGammaCont + ".jet") == nwind) << "the original is not kept at .jet";
    for (const char* made : {"", ".jet", ".tmp", ".tmp2"}) {
        struct stat st {};
        ASSERT_EQ(::lstat(machine.host(kGammaCont + made).c_str(), &st), 0) << made;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << made;
        EXPECT_EQ(st.st_mode & 07777, 0640u) << made;
        if (root) {
            EXPECT_EQ(st.st_uid * 10000 + st.st_gid, 1234u * 10000 + 5678u) << made;
        }
    }

    Outcome second = machine.Update();
    EXPECT_EQ(second.status, 0) << second.console;
    EXPECT_TRUE(second.entriesWith("formato Jet").empty()) << second.log;
    EXPECT_NE(second.entry("ditta Alfa.ini database " + kArchive + " aggiornato"), -1) << second.log;
    EXPECT_FALSE(machine.exists(kArchive + ".jet2"));
    EXPECT_EQ(machine.read(kArchive + ".jet"), nwind);
}

TEST(E2eJetArchive, OneThatCannotBeUsedIsReportedLeftAsItWasAndTheOthersAreUpdated) {
    const std::string gamma = kGammaCont;
    enum How { kAsIs, kReadOnly, kHeld };
    struct Case {
        const char* file; // of the corpus ("" keeps the sample's archive)
        int number;
        const char* named;  // in the error's text
        std::string advice; // in the report
        How how; // kHeld: the main program holds it, then lets it go for the next run, which updates it
    } cases[] = {
        {"damaged/crash_s3_624_delTestV2000.mdb", 3049, "la lettura si è interrotta",
         "Verificare che sia un archivio di Tessaro", kAsIs},
        {"", 3051, "'C:\\ZU\\Gamma\\CONT32.MDB'",
         "Dare il permesso di scrittura sul file e sulla sua cartella", kReadOnly},
        {"", 3045, "file già in uso",
         "Quando l&#39;archivio sarà libero, eseguire di nuovo l&#39;aggiornamento.", kHeld},
    };
    // What stands beside the archive under its name (Cont32.mdb.jet, .tmp, .conversione...).
    const auto listing = [](const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            if (UCase(e.path().filename().string()).rfind("CONT32.", 0) == 0)
                names.insert(e.path().filename().string());
        return names;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        Machine m("old");
        const std::string bytes = *c.file ? TempPrefix::get(kCorpus / c.file) : m.read(gamma);
        m.write(gamma, bytes);
        if (c.how == kReadOnly) fs::permissions(m.host(gamma), fs::perms::owner_read | fs::perms::group_read);
        std::optional<ledrana::testing::Background> holder;
        if (c.how == kHeld) {
            holder.emplace(std::vector<std::string>{E2E_DAOTOOL, "hold", m.host(gamma).string(), "600"},
                           m.root());
            ASSERT_TRUE(holder->WaitForLine("tengo aperto")) << holder->output();
        }
        const fs::path folder = m.host(gamma).parent_path();
        const std::set<std::string> before = listing(folder);

        const Outcome o = m.Update();
        ExpectGammaLeftAsItWas(m, o, bytes, c.number, c.named, c.advice);
        EXPECT_EQ(listing(folder), before) << "nothing is left beside the archive";
        if (!holder) continue;
        holder->Stop();
        const Outcome next = m.Update();
        EXPECT_EQ(next.status, 0) << next.log;
        EXPECT_NE(next.entry("ditta Gamma.ini database " + gamma + " aggiornato"), -1) << next.log;
        EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema(gamma)), "");
    }
}

// A Jet archive whose name is not the model's: the pair check asks first, and No leaves it as it is, not
// converted, with nothing made beside it; the steps after the comparison cannot work on it and say so.
TEST(E2eJetArchive, DeclinedIsNotConvertedAndItsCompanyFolderStaysAsItWas) {
    Machine m("old");
    const std::string archive = "C:\\ZU\\Gamma\\Contab.mdb";
    const std::string nwind = TempPrefix::get(kNwind);
    m.write(archive, nwind);
    fs::remove(m.host(kGammaCont));
    // The company's due-dates archive lies elsewhere: its update leaves the company folder alone.
    fs::create_directories(m.root() / "drive_c" / "ZU" / "GammaScad");
    fs::rename(m.host("C:\\ZU\\Gamma\\Scad32.mdb"), m.root() / "drive_c" / "ZU" / "GammaScad" / "Scad32.mdb");
    const std::string ini = "C:\\ZU\\LEDRANA\\Gamma.ini";
    std::string text = m.read(ini);
    text.replace(text.find("Ledrana=Cont32.mdb"), 18, "Ledrana=" + archive);
    text.replace(text.find("Scadenzario=Scad32.mdb"), 22, "Scadenzario=C:\\ZU\\GammaScad\\Scad32.mdb");
    m.write(ini, text);
    const auto before = Snapshot(m.host("C:\\ZU\\Gamma"));

    const Outcome o = m.Update(std::string(kAnswers) + "if IL SECONDO DATABASE NON E' CONT32.MDB -> No\n");
    const std::string warning = "ATTENZIONE: IL SECONDO DATABASE NON E' CONT32.MDB";
    EXPECT_NE(o.box(warning + "\nproseguo ?"), -1) << o.console;
    EXPECT_NE(o.entry(warning + "\nproseguo ? 7"), -1) << o.log;
    EXPECT_NE(o.entry("ditta Gamma.ini database " + UCase(archive) + " non aggiornato correttamente"), -1)
        << o.log;
    EXPECT_TRUE(o.entriesWith("convertito dal formato Jet").empty()) << o.log;
    EXPECT_EQ(Snapshot(m.host("C:\\ZU\\Gamma")) == before, true) << "the company folder changed";
    EXPECT_NE(o.entry("ditta Gamma.ini database C:\\ZU\\GAMMASCAD\\SCAD32.MDB aggiornato"), -1) << o.log;
}

} // namespace
} // namespace ledrana::e2e
