#include "platform/profile.h"

#include "platform/files.h"
#include "platform/text.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <functional>

namespace fs = std::filesystem;
using namespace ledrana;
using namespace ledrana::platform;
using ledrana::testing::TempPrefix;

namespace {

std::string read(const std::string& section, const std::string& key, const std::string& file, int size = 256,
                 const std::string& def = "") {
    std::string out = "leftover";
    int n = GetPrivateProfileString(section, key, def, out, size, file);
    EXPECT_EQ(static_cast<std::size_t>(n), CharCount(out)) << section << "/" << key;
    return out;
}

const char* kSample = "; configurazione\r\n"
                      "chiave=fuori sezione\r\n"
                      "[Config]\r\n"
                      "  Nome  =  Ditta Esempio  \r\n"
                      "Quoted=\"  tra virgolette  \"\r\n"
                      "Single='x'\r\n"
                      "Mismatch=\"x'\r\n"
                      "Inline=valore ; non un commento\r\n"
                      ";Commented=no\r\n"
                      "Vuota=\r\n"
                      "SoloChiave\r\n"
                      "nome=secondo\r\n"
                      "[ Archivi ]\r\n"
                      "Ledrana=Cont32.Mdb\r\n"
                      "Citt\xe0=Forl\xec\r\n" // a line written on Windows (Windows-1252)
                      "[CONFIG]\r\n"
                      "Altro=solo nella seconda\r\n";

} // namespace

TEST(Profile, ReadRules) {
    TempPrefix p;
    TempPrefix::put(p.driveC() / "zu" / "ditta.ini", kSample);
    const std::string f = "C:\\ZU\\Ditta.INI";
    struct Case {
        const char *section, *key, *value;
    } cases[] = {
        {"Config", "Nome", "Ditta Esempio"},        // trimmed, inner blanks kept
        {"CONFIG", "NOME", "Ditta Esempio"},        // names without regard to case; first key wins
        {" config ", " nome ", "Ditta Esempio"},    // requested names trimmed
        {"Config", "Quoted", "  tra virgolette  "}, // one pair of quotes removed
        {"Config", "Single", "x"},
        {"Config", "Mismatch", "\"x'"},
        {"Config", "Inline", "valore ; non un commento"},
        {"Config", "Commented", ""},
        {"Config", "Vuota", ""},
        {"Config", "SoloChiave", ""},
        {"Config", "Altro", ""},              // only the first matching section is searched
        {"Config", "chiave", ""},             // a key before any section belongs to none
        {"archivi", "ledrana", "Cont32.Mdb"}, // section name trimmed inside its brackets
        {"ARCHIVI", "CITTÀ", "Forlì"}, // Windows-1252 line decoded; accented letters without regard to case
        {"Manca", "Nome", ""},
    };
    for (const Case& k : cases)
        EXPECT_EQ(read(k.section, k.key, f), k.value) << k.section << "/" << k.key;

    // The buffer size counts characters and the final NUL; the default is trimmed.
    const std::string long120(120, 'a');
    TempPrefix::put(p.driveC() / "x.ini", "\xEF\xBB\xBF[S]\nLungo=" + long120 + "\nAccenti=èèèè\n");
    EXPECT_EQ(read("S", "Lungo", "C:\\x.ini", 100), std::string(99, 'a'));
    EXPECT_EQ(read("S", "Lungo", "C:\\x.ini", 121), long120);
    EXPECT_EQ(read("S", "Accenti", "C:\\x.ini", 3), "èè"); // characters, not bytes
    EXPECT_EQ(read("S", "Lungo", "C:\\x.ini", 0), "");
    EXPECT_EQ(read("S", "Manca", "C:\\x.ini", 100, "predefinito  "), "predefinito");
    EXPECT_EQ(read("S", "Manca", "C:\\x.ini", 5, "predefinito"), "pred");
    // A missing file reads the default and creates nothing; so does an unreadable path.
    EXPECT_EQ(read("S", "Lungo", "C:\\nessuna\\x.ini", 100, "d"), "d");
    EXPECT_FALSE(fs::exists(p.driveC() / "nessuna"));
    EXPECT_EQ(read("S", "Lungo", "Q:\\x.ini", 100), "");
}

TEST(Profile, WriteCreatesFileSectionAndKey) {
    TempPrefix p;
    fs::create_directories(p.driveC() / "zu" / "LEDRANA" / "INI");
    const std::string f = "C:\\zu\\ledrana\\ini\\INI.INI";
    ASSERT_TRUE(WritePrivateProfileString("Ver", "AggiornamentoLedrana", "048.5", f));
    ASSERT_TRUE(WritePrivateProfileString("VER", "Secondi", "5", f));
    ASSERT_TRUE(WritePrivateProfileString("Tempi", "Attesa", " 10 ", f));
    ASSERT_TRUE(WritePrivateProfileString("ver", "aggiornamentoledrana", "049.0", f));
    EXPECT_EQ(TempPrefix::get(p.driveC() / "zu" / "LEDRANA" / "INI" / "INI.INI"),
              "[Ver]\r\nAggiornamentoLedrana=049.0\r\nSecondi=5\r\n[Tempi]\r\nAttesa= 10 \r\n");
    // A bare name lives in the Windows folder.
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", "win.ini"));
    EXPECT_TRUE(fs::exists(p.driveC() / "WINDOWS" / "win.ini"));
    EXPECT_EQ(read("s", "K", "WIN.INI"), "v");

    // Writes that cannot be done return false and change nothing.
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", "C:\\manca\\x.ini"));
    EXPECT_FALSE(fs::exists(p.driveC() / "manca"));
    TempPrefix::put(p.driveC() / "ro.ini", "[S]\r\nk=old\r\n");
    fs::permissions(p.driveC() / "ro.ini", fs::perms::owner_read);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", "C:\\ro.ini"));
    EXPECT_EQ(TempPrefix::get(p.driveC() / "ro.ini"), "[S]\r\nk=old\r\n");
    fs::create_directories(p.driveC() / "cartella.ini");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", "C:\\cartella.ini"));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", "C:\\a|b.ini"));
}

TEST(Profile, WriteKeepsOtherLinesAndTheLineEnds) {
    TempPrefix p;
    const fs::path host = p.driveC() / "ditta.ini";
    TempPrefix::put(host, kSample);
    ASSERT_TRUE(WritePrivateProfileString("config", "NOME", "Nuovo", "C:\\DITTA.INI"));
    ASSERT_TRUE(WritePrivateProfileString("Archivi", "Scadenzario", "Scad32.Mdb", "C:\\DITTA.INI"));
    std::string expected = kSample;
    expected.replace(expected.find("  Nome  =  Ditta Esempio  "), 26, "Nome=Nuovo");
    expected.insert(expected.find("[CONFIG]"), "Scadenzario=Scad32.Mdb\r\n");
    EXPECT_EQ(TempPrefix::get(host), expected); // the Windows-1252 line kept as it was

    // A file with LF line ends, a blank line and no final line end keeps them.
    TempPrefix::put(p.driveC() / "lf.ini", "[A]\nx=1\n\n[B]\ny=2");
    ASSERT_TRUE(WritePrivateProfileString("A", "z", "3", "C:\\lf.ini"));
    ASSERT_TRUE(WritePrivateProfileString("B", "w", "4", "C:\\lf.ini"));
    ASSERT_TRUE(WritePrivateProfileString("C", "v", "5", "C:\\lf.ini"));
    EXPECT_EQ(TempPrefix::get(p.driveC() / "lf.ini"), "[A]\nx=1\nz=3\n\n[B]\ny=2\nw=4\n[C]\nv=5\n");
}

// A file keeps its encoding: UTF-16 (either byte order, with its mark) is read, and written back as
// UTF-16; a Windows-1252 file gets Windows-1252 text; a UTF-8 file UTF-8 text.
TEST(Profile, FilesKeepTheirEncoding) {
    const std::string before = "[Config]\r\nCittà=Forlì\r\n";
    const std::string after = "[Config]\r\nCittà=Forlì\r\nVia=Più€\r\n[Archivi]\r\nLedrana=Perché\r\n";
    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> encode;
    } cases[] = {
        {"UTF-16 LE", [](const std::string& t) { return "\xFF\xFE" + Utf8ToUtf16(t, false); }},
        {"UTF-16 BE", [](const std::string& t) { return "\xFE\xFF" + Utf8ToUtf16(t, true); }},
        {"Windows-1252", [](const std::string& t) { return Utf8ToCp1252(t); }},
        {"UTF-8", [](const std::string& t) { return t; }},
    };
    for (const Case& c : cases) {
        TempPrefix p;
        const fs::path host = p.driveC() / "ditta.ini";
        TempPrefix::put(host, c.encode(before));
        EXPECT_EQ(read("CONFIG", "città", "C:\\ditta.ini"), "Forlì") << c.what;
        ASSERT_TRUE(WritePrivateProfileString("Config", "Via", "Più€", "C:\\ditta.ini")) << c.what;
        ASSERT_TRUE(WritePrivateProfileString("Archivi", "Ledrana", "Perché", "C:\\ditta.ini")) << c.what;
        EXPECT_EQ(TempPrefix::get(host), c.encode(after)) << c.what;
    }
}
