#include "install/fileutil.h"
#include "install/inifile.h"

#include "platform/files.h"
#include "tests/common/archive_fixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace ledrana;
using ledrana::testing::TempPrefix;

namespace {

class Install : public ::testing::Test, protected ledrana::testing::ArchiveFixture {
protected:
    void SetUp() override { TempPrefix::put(prefix.driveC() / "zu" / "a.txt", "contenuto"); }
};

} // namespace

TEST_F(Install, CreaCartella) {
    EXPECT_TRUE(CreaCartella(w, "C:\\ZU\\ledrana", true));
    EXPECT_TRUE(fs::is_directory(prefix.driveC() / "zu" / "ledrana"));
    EXPECT_TRUE(dialogs.records().empty());

    EXPECT_TRUE(CreaCartella(w, "C:\\ZU\\LEDRANA", false));
    EXPECT_TRUE(w.Text1.text.empty());
    EXPECT_TRUE(CreaCartella(w, "C:\\ZU\\LEDRANA", true));
    EXPECT_EQ(w.Text1.text, "\r\n->Cartella C:\\ZU\\LEDRANA Già Esistente");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Cartella C:\\ZU\\LEDRANA Già Esistente"});

    dialogs = ScriptedDialogs();
    EXPECT_FALSE(CreaCartella(w, "C:\\ZU\\manca\\Ini", true));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "76 Impossibile trovare il percorso\nfunz. CreaCartella \nC:\\ZU\\manca\\Ini"});
    EXPECT_EQ(w.Pb.value, 4);
}

// A copy that replaces a file, and a missing source (53, in the log and a box), are the end-to-end runs'
// (E2eOldUpdated's templates over the old ones, E2eStops' missing model files).
TEST_F(Install, CopiaFile) {
    EXPECT_FALSE(CopiaFile(w, "C:\\zu\\a.txt", "C:\\zu\\no\\c.txt"));
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{
                  "76 Impossibile trovare il percorso\nfunz. CopiaFile \nC:\\zu\\a.txt\nC:\\zu\\no\\c.txt"});
    EXPECT_EQ(LogEntries(), BoxTexts());
}

TEST_F(Install, EsisteFileAndEsisteCartella) {
    EXPECT_TRUE(EsisteFile(w, "C:\\ZU\\A.TXT", true));
    EXPECT_FALSE(EsisteFile(w, "C:\\zu\\manca.txt", true));
    EXPECT_FALSE(EsisteFile(w, "C:\\manca\\a.txt", true));
    EXPECT_TRUE(EsisteCartella(w, "c:\\zu", true));
    EXPECT_TRUE(EsisteCartella(w, "C:\\zu\\a.txt", true)); // 32 >= 16: any file passes the test
    EXPECT_FALSE(EsisteCartella(w, "C:\\zu\\manca", true));
    EXPECT_FALSE(EsisteCartella(w, "", false));
    EXPECT_TRUE(dialogs.records().empty());

    // A malformed path is not a "missing" answer: it is reported when asked for.
    EXPECT_FALSE(EsisteFile(w, "C:\\zu\\a|b.txt", false));
    EXPECT_FALSE(EsisteCartella(w, "C:\\zu\\a|b", false));
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_FALSE(EsisteFile(w, "C:\\zu\\a|b.txt", true));
    EXPECT_FALSE(EsisteCartella(w, "Q:\\zu", true));
    EXPECT_FALSE(EsisteCartella(w, "C:\\zu\\a|b", true));
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{
                  "52 Nome o numero di file non valido\nfunz. Esistefile \nfile C:\\zu\\a|b.txt",
                  "52 Nome o numero di file non valido\nfunz. EsisteCartella \ncartella C:\\zu\\a|b",
              }));
    EXPECT_EQ(w.Pb.value, 12);
}

TEST_F(Install, ReadAndWriteIni) {
    const std::string ini = "C:\\zu\\ledrana\\Ditta2000.ini";
    EXPECT_EQ(readinifile(w, "Config", "Nome", ini), "");
    EXPECT_FALSE(fs::exists(prefix.driveC() / "zu" / "ledrana"));

    platform::MkDir("C:\\zu\\ledrana");
    EXPECT_EQ(writeinifile(w, "Archivi", "Ledrana", "Cont32.Mdb", ini), "");
    EXPECT_EQ(readinifile(w, "Archivi", "Ledrana", "C:\\ZU\\LEDRANA\\DITTA2000.INI"), "CONT32.MDB");

    writeinifile(w, "Config", "Lunga", std::string(60, 'a') + std::string(60, 'b'), ini);
    EXPECT_EQ(readinifile(w, "Config", "Manca", ini), "");
    EXPECT_EQ(readinifile(w, "Config", "Lunga", ini), std::string(60, 'A') + std::string(39, 'B'));

    EXPECT_EQ(GetWinDir(w), "C:\\WINDOWS");
    EXPECT_TRUE(w.Text1.text.empty());
    EXPECT_EQ(w.Pb.value, 7);
}
