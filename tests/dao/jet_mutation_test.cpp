// Jet files with random bytes changed, as a damaged disk or a copy cut short leaves them: each is converted
// or refused with a Jet error number naming it, never touched, and whatever the reader meets (a crash, a
// page chain without end) ends its own process, not this one. The mutations come from a fixed seed, so a
// failure repeats.

#include "dao/jet_import.h"
#include "dao_fixture.h"

#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

namespace ledrana::dao::testing {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(JetMutation, EveryMutatedFileIsConvertedOrRefusedWithAJetNumber) {
    constexpr int kCopies = 300;
    const fs::path corpus = fs::path(LEDRANA_SOURCE_DIR) / "tests" / "data" / "jet";
    // The smaller files, for speed; the damaged ones too, whose mutations often crash the reader.
    std::vector<std::pair<std::string, std::string>> bases;
    for (const fs::path& folder : {corpus, corpus / "damaged"})
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".mdb" && e.file_size() < 600 * 1024)
                bases.emplace_back(e.path().filename().string(), Bytes(e.path()));
    std::sort(bases.begin(), bases.end());
    ASSERT_GE(bases.size(), 20u);

    std::string tmpl = (fs::temp_directory_path() / "ledrana-mutation-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    const fs::path dir = tmpl;
    const std::string source = (dir / "Cont32.mdb").string();
    const std::string destination = (dir / "Cont32.mdb.conversione").string();
    std::mt19937 rng(20261207);
    std::map<std::string, int> outcomes;
    DBEngine engine;
    for (int copy = 0; copy < kCopies; ++copy) {
        const auto& [name, original] = bases[std::uniform_int_distribution<std::size_t>(0, bases.size() - 1)(rng)];
        std::string bytes = original;
        const int changes = std::uniform_int_distribution<int>(1, 64)(rng);
        for (int k = 0; k < changes; ++k) {
            const auto at = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng);
            const int kind = std::uniform_int_distribution<int>(0, 2)(rng);
            bytes[at] = static_cast<char>(kind == 0 ? 0 : kind == 1 ? 0xff : rng() & 0xff);
        }
        SCOPED_TRACE("copy " + std::to_string(copy) + " of " + name + ", " + std::to_string(changes) +
                     " bytes changed");
        { std::ofstream(source, std::ios::binary) << bytes; }
        try {
            ImportJetFile(engine, source, destination, "Cont32.mdb");
            EXPECT_TRUE(engine.IsWholeDatabase(destination));
            ++outcomes["converted"];
        } catch (const Error& e) {
            EXPECT_TRUE(e.number() >= 3000 && e.number() < 4000) << e.number() << " " << e.description();
            EXPECT_NE(e.description().find("Cont32.mdb"), std::string::npos) << e.description();
            const bool died = e.description().find("la lettura si è interrotta") != std::string::npos;
            ++outcomes[std::to_string(e.number()) + (died ? " (reader ended)" : "")];
            EXPECT_FALSE(fs::exists(destination));
        }
        EXPECT_FALSE(fs::exists(destination + "-journal"));
        EXPECT_EQ(Bytes(source), bytes) << "the source must stay untouched";
        fs::remove(destination);
    }
    for (const auto& [outcome, count] : outcomes)
        std::cout << outcome << ": " << count << "\n";
    fs::remove_all(dir);
}

} // namespace
} // namespace ledrana::dao::testing
