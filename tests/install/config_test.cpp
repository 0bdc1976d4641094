// Company INI, installation INI, product image folders and old shortcuts, on a temporary prefix.

#include "install/collegamenti.h"
#include "install/companyini.h"
#include "install/fileutil.h"
#include "install/immagini.h"
#include "install/inifile.h"

#include "platform/profile.h"
#include "tests/common/archive_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace ledrana;
using ledrana::testing::TempPrefix;

namespace {

class Config : public ::testing::Test, protected ledrana::testing::ArchiveFixture {
protected:
    void SetUp() override { fs::create_directories(folder); }
    std::string read(const std::string& section, const std::string& key, const std::string& file) {
        return readinifile(w, section, key, file);
    }
    const std::string ini = "C:\\ZU\\ledrana\\Rossi.ini";
    const fs::path folder = prefix.driveC() / "ZU" / "ledrana"; // C:\ZU\ledrana
};

// Keys of a section as the file holds them, in order.
std::vector<std::string> keysOf(const fs::path& file, const std::string& section) {
    std::vector<std::string> keys;
    std::istringstream in(TempPrefix::get(file));
    std::string current;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('\r'));
        if (line.size() > 1 && line.front() == '[')
            current = line.substr(1, line.size() - 2);
        else if (current == section && line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

} // namespace

TEST_F(Config, ModificaFileIniAddsOnlyWhatIsMissingAndIsIdempotent) {
    const fs::path host = folder / "Rossi.ini";
    TempPrefix::put(host,
                    "[Config]\r\nNuovoCliente=no\r\nNuovoFornitore=SI\r\nRegAutoIntraCee=0\r\nDecP=##\r\n"
                    "DecQ=\r\nRagsoc1=ROSSI SPA\r\n");
    ASSERT_TRUE(ModificaFileIni(w, ini));
    const std::string once = TempPrefix::get(host);
    for (const std::string& line : std::vector<std::string>{
             "NuovoCliente=no", "NuovoFornitore=Si", "RegAutoIntraCee=Si", "RegAutoBolleDoganali=Si",
             "DecP=##", "DecQ=####", "ArrotImporto=0", "RegistrazioneContabilePagScad2=1",
             "DirectoryRiba=" + GetDirDocumenti() + "\\"})
        EXPECT_NE(once.find(line + "\r\n"), std::string::npos) << line << " in\n" << once;
    EXPECT_EQ(read("Config", "Ragsoc1", ini), "ROSSI SPA"); // not the demo company: identity untouched
    EXPECT_EQ(read("Config", "CausaleErario", ini), "");
    EXPECT_TRUE(dialogs.records().empty());

    ASSERT_TRUE(ModificaFileIni(w, ini));
    EXPECT_EQ(TempPrefix::get(host), once);
}

TEST_F(Config, CreaFileIniOnTheDemoCompanyWritesIdentityAndAccounts) {
    const std::string demo = "C:\\ZU\\ledrana\\DittaEsempio.ini";
    ASSERT_TRUE(CreaFileIni(w, demo));
    const fs::path host = folder / "DittaEsempio.ini";
    EXPECT_EQ(keysOf(host, "Archivi"), (std::vector<std::string>{"Ledrana", "Scadenzario"}));
    // One section, each key once: keys written to "config" in lower case reach it too.
    const auto config = keysOf(host, "Config");
    EXPECT_EQ(std::set<std::string>(config.begin(), config.end()).size(), config.size());
    EXPECT_EQ(std::count(config.begin(), config.end(), "ScrittaOrd"), 1);
    EXPECT_EQ(config.back(), "RegistrazioneContabilePagScad2");
    EXPECT_EQ(read("Config", "Ragsoc2", demo), "DI ZORTEL KABU &C");
    EXPECT_EQ(read("Config", "ContoArrotondamentiPagScad1C", demo), "540.080");
    EXPECT_EQ(read("Config", "ContoArrotondamentiPagScad1F", demo), "710.030");
    EXPECT_EQ(read("Config", "InvertoDAinNoteCredito", demo), "1");

    // The user's change to a demo key is replaced at the next update.
    writeinifile(w, "Config", "Localita", "TORINO", demo);
    ASSERT_TRUE(ModificaFileIni(w, "c:\\zu\\LEDRANA\\dittaesempio.ini"));
    EXPECT_EQ(read("Config", "Localita", demo), "MILANO");
}

TEST_F(Config, ModificaFileIniPuntoIniRecordsTheVersion) {
    // No ledrana\ini folder: every write fails, and that is no error.
    EXPECT_TRUE(CreaFileIni(w, "C:\\ZU\\manca\\DittaEsempio.ini"));
    EXPECT_TRUE(ModificaFileIniPuntoIni(w, "048.5", "C:\\ZU\\LEDRANA\\INI\\INI.INI"));
    EXPECT_FALSE(fs::exists(prefix.driveC() / "ZU" / "manca"));
    EXPECT_FALSE(fs::exists(folder / "ini"));
    EXPECT_TRUE(dialogs.records().empty());

    TempPrefix::put(folder / "ini" / "Ini.ini", "[Ver]\r\nAggiornamentoLedrana=027\r\nAltro=x\r\n");
    ASSERT_TRUE(ModificaFileIniPuntoIni(w, "048.5", "C:\\ZU\\LEDRANA\\INI\\INI.INI"));
    const std::string file = "C:\\ZU\\ledrana\\ini\\ini.ini";
    EXPECT_EQ(read("Ver", "AggiornamentoLedrana", file), "048.5");
    EXPECT_EQ(read("Ver", "Altro", file), "X");
    EXPECT_EQ(read("Tempo", "Secondi", file), "0");
    const std::string text = TempPrefix::get(folder / "ini" / "Ini.ini");
    EXPECT_NE(text.find("Condiz=Si"), std::string::npos) << text;
    EXPECT_NE(text.find("Pwd=SI"), std::string::npos) << text;
}

TEST_F(Config, ImmaginiXProdotti) {
    TempPrefix::put(prefix.driveC() / "rel" / "stampante.jpg", "jpg");
    TempPrefix::put(prefix.driveC() / "rel" / "stampante.doc", "doc");
    fs::create_directories(prefix.driveC() / "ZU" / "Rossi");
    writeinifile(w, "Config", "DirectoryDoc", "miei\\", ini);

    ASSERT_TRUE(ImmaginiXProdotti(w, "C:\\rel", "C:\\ZU\\ROSSI\\cont32.mdb", ini));
    EXPECT_EQ(TempPrefix::get(prefix.driveC() / "ZU" / "Rossi" / "immagini" / "stampante.jpg"), "jpg");
    EXPECT_EQ(TempPrefix::get(prefix.driveC() / "ZU" / "Rossi" / "descrizioni" / "stampante.doc"), "doc");
    EXPECT_EQ(read("Config", "DirectoryImm", ini), "IMMAGINI\\");
    EXPECT_EQ(read("Config", "DirectoryDoc", ini), "MIEI\\"); // the user's folder is kept
    ASSERT_TRUE(ImmaginiXProdotti(w, "C:\\rel", "C:\\ZU\\ROSSI\\cont32.mdb", ini));
    EXPECT_TRUE(dialogs.records().empty());

    // No picture sample: reported by the copy, no description sample, keys still set.
    fs::create_directories(prefix.driveC() / "ZU" / "Bianchi");
    const std::string ini2 = "C:\\ZU\\ledrana\\Bianchi.ini";
    fs::remove(prefix.driveC() / "rel" / "stampante.jpg");
    ASSERT_TRUE(ImmaginiXProdotti(w, "C:\\rel", "C:\\ZU\\Bianchi\\Cont32.Mdb", ini2));
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0].rfind("53 ", 0), 0u) << BoxTexts()[0];
    EXPECT_FALSE(fs::exists(prefix.driveC() / "ZU" / "Bianchi" / "descrizioni" / "stampante.doc"));
    EXPECT_EQ(read("Config", "DirectoryDoc", ini2), "DESCRIZIONI\\");

    // An archive path without \CONT32.MDB creates nothing.
    dialogs = ScriptedDialogs();
    EXPECT_FALSE(ImmaginiXProdotti(w, "C:\\rel", "C:\\ZU\\Verdi\\contab.mdb", ini2));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"5 Chiamata di routine o argomento non validi\n"
                                                   "funz. ImmaginiXProdotti \nC:\\ZU\\ledrana\\Bianchi.ini\n"
                                                   "C:\\ZU\\Verdi\\contab.mdb"});
    EXPECT_FALSE(fs::exists(prefix.driveC() / "ZU" / "Verdi"));
}

TEST_F(Config, CollegamentiDesktopRemovesOnlyTheOldShortcuts) {
    const auto desktop = prefix.driveC() / "WINDOWS" / "Desktop";
    const auto programs = prefix.driveC() / "WINDOWS" / "Start Menu" / "Programs";
    TempPrefix::put(desktop / "Tessaro.lnk", "x");
    TempPrefix::put(desktop / (std::string("FORUM ") + kIndirizzoForum + ".lnk"), "x");
    TempPrefix::put(desktop / "Posta.lnk", "x");
    TempPrefix::put(programs / "Ledrana" / "2 Leggimi.lnk", "x");
    TempPrefix::put(programs / "Ledrana" / "5 Aggiorna Ledrana.lnk", "x");
    TempPrefix::put(programs / "Tessaro" / "3 Brevant.lnk", "x");
    TempPrefix::put(programs / "Tessaro" / "Mio.lnk", "x");

    CollegamentiDesktop();
    EXPECT_FALSE(fs::exists(desktop / "Tessaro.lnk"));
    EXPECT_FALSE(fs::exists(desktop / (std::string("FORUM ") + kIndirizzoForum + ".lnk")));
    EXPECT_TRUE(fs::exists(desktop / "Posta.lnk"));
    EXPECT_FALSE(fs::exists(programs / "Ledrana")); // emptied, then removed
    EXPECT_FALSE(fs::exists(programs / "Tessaro" / "3 Brevant.lnk"));
    EXPECT_TRUE(fs::exists(programs / "Tessaro" / "Mio.lnk")); // a foreign shortcut keeps its group

    CollegamentiDesktop(); // nothing left to do
    EXPECT_TRUE(fs::exists(programs / "Tessaro" / "Mio.lnk"));
}
