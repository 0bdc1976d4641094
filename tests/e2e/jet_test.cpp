// An installation moved from Windows: one company's accounting archive is still a Jet file (Northwind,
// under the archive's name). The update converts it, compares it with the model, compacts it and goes on;
// the original stays beside it byte for byte, and the next run has nothing left to convert. An archive that
// cannot be used (a damaged or read-only Jet file, one open on another computer, no database at all, one in
// a folder that takes no file, one the main program holds) is left as it was, reported as an opening error,
// refused to the company's later steps, and the other companies are updated.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::TempPrefix;

const fs::path kCorpus = fs::path(LEDRANA_SOURCE_DIR) / "tests" / "data" / "jet";
const fs::path kNwind = kCorpus / "nwind.mdb";
const std::string kArchive = "C:\\ZU\\Alfa\\CONT32.MDB";

TEST(E2eJetArchive, IsConvertedUpdatedAndKeptBesideThenLeftAlone) {
    Machine machine("old");
    const std::string nwind = TempPrefix::get(kNwind);
    machine.write(kArchive, nwind);
    // Left by a computer that crashed with the file open: nobody holds it.
    machine.write("C:\\ZU\\Alfa\\Cont32.ldb", std::string("PC-UFFICIO") + std::string(54, '\0'));

    Outcome first = machine.Update();
    EXPECT_EQ(first.status, 0) << first.console;
    EXPECT_NE(first.entry("ditta Alfa.ini database " + kArchive + " aggiornato"), -1) << first.log;
    std::vector<std::string> converted = first.entriesWith("convertito dal formato Jet");
    ASSERT_EQ(converted.size(), 1u) << first.log;
    EXPECT_EQ(converted[0].rfind("archivio " + kArchive + " convertito", 0), 0u) << converted[0];
    EXPECT_NE(converted[0].find(".jet"), std::string::npos) << converted[0];
    EXPECT_NE(converted[0].find("Cont32.ldb di Jet (PC-UFFICIO) non è tenuto da nessuno"), std::string::npos)
        << converted[0];
    EXPECT_EQ(first.box("convertito"), -1) << "the conversion is logged without a box";

    EXPECT_EQ(machine.read(kArchive + ".jet"), nwind);
    EXPECT_NE(machine.read(kArchive).substr(0, 15), nwind.substr(0, 15));
    const std::string model = machine.Schema(Release("CONT32.MDB"));
    // Tables the comparison creates get the model's fields, indexes and queries but not its description
    // (the comparison's own rule): that alone may differ.
    const auto undescribed = [](const std::string& schema) {
        return std::regex_replace(schema, std::regex(" description=[^\n]*"), "");
    };
    EXPECT_EQ(StructureDifferences(undescribed(machine.Schema(Release("CONT32.MDB"))),
                                   undescribed(machine.Schema(kArchive))),
              "");

    Outcome second = machine.Update();
    EXPECT_EQ(second.status, 0) << second.console;
    EXPECT_TRUE(second.entriesWith("formato Jet").empty()) << second.log;
    EXPECT_NE(second.entry("ditta Alfa.ini database " + kArchive + " aggiornato"), -1) << second.log;
    EXPECT_FALSE(machine.exists(kArchive + ".jet2"));
    EXPECT_EQ(machine.read(kArchive + ".jet"), nwind);
}

// Links put, by anyone who may write in the data folder, at the names the update writes beside a Jet archive
// and its company INI: none is followed, and every file made from the archive takes its owner, group and
// mode (a private 1234:5678 0640 file stays private; as another user the owner cannot be given).
TEST(E2eJetArchive, NoPlantedLinkIsFollowedAndNothingMadeFromItWidens) {
    Machine machine("old");
    const std::string nwind = TempPrefix::get(kNwind);
    machine.write(kArchive, nwind);
    const std::string archive = machine.host(kArchive).string();
    const bool root = ::geteuid() == 0;
    ::chmod(archive.c_str(), 0640);
    if (root) {
        ASSERT_EQ(::chown(archive.c_str(), 1234, 5678), 0);
    }
    const fs::path outside = machine.root() / "outside", victim = outside / "victim";
    TempPrefix::put(victim, "untouched");
    const fs::path ini = machine.host("C:\\ZU\\ledrana\\Alfa.ini");
    const std::pair<fs::path, fs::path> links[] = {
        {archive + ".conversione", outside / "conversione"},
        {archive + ".jet", victim},
        {archive + ".tmp", outside / "tmp"},
        {archive + ".tmp2", victim},
        {archive + ".tmp-journal", outside / "journal"},
        {archive + "-journal", outside / "journal"},
        {ini.parent_path() / ("." + ini.filename().string() + ".part"), victim},
    };
    for (const auto& [at, to] : links)
        fs::create_symlink(to, at);

    const Outcome o = machine.Update();
    EXPECT_EQ(o.status, 0) << o.console;
    EXPECT_EQ(TempPrefix::get(victim), "untouched");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1)
        << "a file was made where a link led";
    EXPECT_TRUE(machine.read(kArchive + ".jet") == nwind) << "the original is not kept at .jet";
    for (const char* made : {"", ".jet", ".tmp", ".tmp2"}) {
        struct stat st {};
        ASSERT_EQ(::lstat(machine.host(kArchive + made).c_str(), &st), 0) << made;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << made;
        EXPECT_EQ(st.st_mode & 07777, 0640u) << made;
        if (root) {
            EXPECT_EQ(st.st_uid * 10000 + st.st_gid, 1234u * 10000 + 5678u) << made;
        }
    }
}

TEST(E2eJetArchive, OneThatCannotBeUsedIsReportedLeftAsItWasAndTheOthersAreUpdated) {
    const std::string gamma = kGammaCont, ldb = "C:\\ZU\\Gamma\\Cont32.ldb";
    const std::string notOurs = "Verificare che sia un archivio di Tessaro";
    const std::string writable = "Dare il permesso di scrittura sul file e sulla sua cartella";
    enum How { kAsIs, kReadOnly, kInUse, kLockedFolder, kHeld };
    struct Case {
        const char* file; // of the corpus, or the text the archive holds ("" keeps the sample's archive)
        int number;
        const char* named;  // in the error's text
        std::string advice; // in the report
        How how; // kInUse: open on the computer PC-CASSA (its Jet lock file beside, held by another process);
                 // kLockedFolder: its folder takes no new file (immutable, even for root); kHeld: the main
                 // program holds it, then lets it go for the next run, which updates it
    } cases[] = {
        {"damaged/crash_s3_624_delTestV2000.mdb", 3049, "la lettura si è interrotta", notOurs, kAsIs},
        {"testV1997.mdb", 3051, "'C:\\ZU\\Gamma\\CONT32.MDB'", writable, kReadOnly},
        {"testV1997.mdb", 3045, "(aperto su PC-CASSA (utente Admin))", "Quando l'archivio sarà libero",
         kInUse},
        {"Questo file non e' un archivio.\r\n", 3343, "non riconosciuto", notOurs, kAsIs},
        {"", 3051, "'C:\\ZU\\Gamma\\CONT32.MDB'", writable, kLockedFolder},
        {"", 3045, "file già in uso", "Quando l'archivio sarà libero, eseguire di nuovo l'aggiornamento.",
         kHeld},
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
        const std::string file = c.file;
        const std::string bytes = file.empty()             ? m.read(gamma)
                                  : file.ends_with(".mdb") ? TempPrefix::get(kCorpus / c.file)
                                                           : file;
        m.write(gamma, bytes);
        if (c.how == kReadOnly) fs::permissions(m.host(gamma), fs::perms::owner_read | fs::perms::group_read);
        std::optional<ledrana::testing::ChildWhile> other;
        if (c.how == kInUse) {
            m.write(ldb, "PC-CASSA" + std::string(24, '\0') + "Admin" + std::string(27, '\0'));
            other.emplace([&] { return ledrana::testing::LockRange(m.host(ldb).string(), 0x10000001, 1); });
            ASSERT_TRUE(other->held());
        }
        std::optional<ledrana::testing::Background> holder;
        if (c.how == kHeld) {
            holder.emplace(std::vector<std::string>{E2E_DAOTOOL, "hold", m.host(gamma).string(), "600"},
                           m.root());
            ASSERT_TRUE(holder->WaitForLine("tengo aperto")) << holder->output();
        }
        const fs::path folder = m.host(gamma).parent_path();
        const bool locked = c.how == kLockedFolder;
        if (locked && std::system(("chattr +i '" + folder.string() + "' 2>/dev/null").c_str()) != 0) {
            std::cout << "[  SKIPPED ] an immutable folder: chattr +i refused here\n";
            continue;
        }
        const std::set<std::string> before = listing(folder);

        const Outcome o = m.Update();
        if (locked) std::system(("chattr -i '" + folder.string() + "'").c_str());
        ExpectGammaLeftAsItWas(m, o, bytes, c.number, c.named, c.advice, !locked);
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
