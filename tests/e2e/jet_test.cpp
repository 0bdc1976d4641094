// An installation moved from Windows: one company's accounting archive is still a Jet file (Northwind,
// under the archive's name). The update converts it, compares it with the model, compacts it and goes on;
// the original stays beside it byte for byte, and the next run has nothing left to convert.

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e/machine.h"
#include "tests/platform/temp_prefix.h"

namespace ledrana::e2e {
namespace {

const fs::path kNwind = fs::path(LEDRANA_SOURCE_DIR) / "tests" / "data" / "jet" / "nwind.mdb";
const std::string kArchive = "C:\\ZU\\Alfa\\CONT32.MDB";

std::vector<std::string> Containing(const Outcome& o, const std::string& fragment) {
    std::vector<std::string> out;
    for (const auto& e : o.entries)
        if (e.find(fragment) != std::string::npos) out.push_back(e);
    return out;
}

TEST(E2eJetArchive, IsConvertedUpdatedAndKeptBesideThenLeftAlone) {
    Machine machine("old");
    const std::string nwind = ledrana::testing::TempPrefix::get(kNwind);
    machine.write(kArchive, nwind);

    Outcome first = machine.Update();
    EXPECT_EQ(first.status, 0) << first.console;
    EXPECT_NE(first.entry("ditta Alfa.ini database " + kArchive + " aggiornato"), -1) << first.log;
    std::vector<std::string> converted = Containing(first, "convertito dal formato Jet");
    ASSERT_EQ(converted.size(), 1u) << first.log;
    EXPECT_EQ(converted[0].rfind("archivio " + kArchive + " convertito", 0), 0u) << converted[0];
    EXPECT_NE(converted[0].find(".jet"), std::string::npos) << converted[0];
    EXPECT_EQ(first.box("convertito"), -1) << "the conversion is logged without a box";

    EXPECT_EQ(machine.read(kArchive + ".jet"), nwind);
    EXPECT_NE(machine.read(kArchive).substr(0, 15), nwind.substr(0, 15));
    const std::string model = machine.Schema((ReleaseFolder() / "CONT32.MDB").string());
    // Tables the comparison creates get the model's fields, indexes and queries but not its description
    // (the comparison's own rule): only those table lines may differ.
    std::string differences;
    std::multiset<std::string> modelTables, archiveTables;
    std::istringstream lines(StructureDifferences(model, machine.Schema(kArchive)));
    for (std::string line; std::getline(lines, line);) {
        const bool fromModel = line.rfind("model:   table ", 0) == 0;
        if (!fromModel && line.rfind("archive: table ", 0) != 0) {
            differences += line + "\n";
            continue;
        }
        std::string table = line.substr(line.find("table "));
        table = table.substr(0, table.find(" description="));
        (fromModel ? modelTables : archiveTables).insert(table);
    }
    EXPECT_EQ(differences, "");
    EXPECT_EQ(modelTables, archiveTables);

    Outcome second = machine.Update();
    EXPECT_EQ(second.status, 0) << second.console;
    EXPECT_TRUE(Containing(second, "formato Jet").empty()) << second.log;
    EXPECT_NE(second.entry("ditta Alfa.ini database " + kArchive + " aggiornato"), -1) << second.log;
    EXPECT_FALSE(machine.exists(kArchive + ".jet2"));
    EXPECT_EQ(machine.read(kArchive + ".jet"), nwind);
}

// Links put, by anyone who may write in the data folder, at the names the update writes beside a Jet archive
// and its company INI: none is followed, and every file made from the archive takes its owner, group and
// mode (a private 1234:5678 0640 file stays private; as another user the owner cannot be given).
TEST(E2eJetArchive, NoPlantedLinkIsFollowedAndNothingMadeFromItWidens) {
    using ledrana::testing::TempPrefix;
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

} // namespace
} // namespace ledrana::e2e
