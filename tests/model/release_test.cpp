// The release folder the build makes and the sample installations mkinstall makes, looked at from the
// outside with daotool, as the update will find them: the models hold what the update writes and reads,
// and an old installation really differs from them in every way the comparison has to handle.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "app/batch_dialogs.h"
#include "app/run.h"
#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using testing::ShellQuote;
using testing::TempPrefix;

const fs::path kRelease = ReleaseFolder();

// One archive's structure as daotool prints it, keyed by kind and lower-case name.
struct Object {
    std::string name; // as spelt
    std::map<std::string, std::string> props;
};
struct Structure {
    std::map<std::string, Object> tables, fields, indexes, queries;
};

Structure Parse(const std::string& text) {
    Structure s;
    for (const std::string& line : Lines(text)) {
        std::istringstream words(line);
        std::string kind, name;
        words >> kind >> name;
        Object o{name, {}};
        if (kind == "query") {
            o.props["sql"] = line.substr(line.find(" sql=") + 5);
        } else {
            for (std::string w; words >> w;) {
                const std::size_t eq = w.find('=');
                if (eq != std::string::npos) o.props[w.substr(0, eq)] = w.substr(eq + 1);
            }
        }
        auto& m = kind == "table"   ? s.tables
                  : kind == "field" ? s.fields
                  : kind == "index" ? s.indexes
                                    : s.queries;
        m[LCase(name)] = o;
    }
    return s;
}

constexpr int kCounter = 17; // dbAutoIncrField on a fixed Long

TEST(Models, HoldWhatTheUpdateReadsAndWrites) {
    const Machine m;
    const Structure cont = Parse(m.Schema(Release("CONT32.MDB"))),
                    scad = Parse(m.Schema(Release("SCAD32.MDB")));

    // The tables the data fixes use are made from the same model script by the reference-data suites; these
    // are the others the update and the sample installations rely on.
    for (const std::string t :
         {"FORNITORI", "PIANOCONTI", "CodiciIva", "PAGAMENTI", "PROVINCE", "NAZIONI", "Prodotti"})
        EXPECT_TRUE(cont.tables.count(LCase(t))) << t;

    // Every type of field, counter primary keys, and indexes of every shape.
    std::set<std::string> types;
    int counterKeys = 0;
    for (const Structure* s : {&cont, &scad}) {
        for (const auto& [key, f] : s->fields)
            types.insert(f.props.at("type"));
        for (const auto& [key, i] : s->indexes) {
            const std::string fields = i.props.at("fields"), table = key.substr(0, key.find('.'));
            if (i.props.at("primary") == "1" && fields.find(',') == std::string::npos &&
                s->fields.at(table + "." + LCase(fields)).props.at("attributes") == std::to_string(kCounter))
                ++counterKeys;
        }
    }
    for (const char* t : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "15"})
        EXPECT_TRUE(types.count(t)) << "type " << t;
    EXPECT_GE(counterKeys, 2);
    auto shape = [&](bool unique, bool multi) {
        return std::any_of(cont.indexes.begin(), cont.indexes.end(), [&](const auto& kv) {
            const auto& i = kv.second.props;
            return i.at("primary") == "0" && (i.at("unique") == "1") == unique &&
                   (i.at("fields").find(',') != std::string::npos) == multi;
        });
    };
    EXPECT_TRUE(shape(true, false) && shape(true, true) && shape(false, false) && shape(false, true));

    // Fixed tables and the tables the update copies rows from hold rows; the saved queries use what the
    // engine must translate.
    const std::set<std::string> copied{"codicicausalitrasporto", "categorie", "ritenute", "banche"};
    int fixed = 0;
    std::string sqls;
    for (const Structure* s : {&cont, &scad}) {
        const std::string file = Release(s == &cont ? "CONT32.MDB" : "SCAD32.MDB");
        for (const auto& [key, t] : s->tables) {
            const bool isFixed = t.props.count("description") && t.props.at("description") == "fissa";
            fixed += isFixed;
            if (isFixed || copied.count(key)) {
                EXPECT_NE(m.Value(file, "SELECT Count(*) FROM [" + t.name + "]"), "0") << t.name;
            }
        }
        for (const auto& [key, q] : s->queries)
            sqls += q.props.at("sql") + "\n";
    }
    EXPECT_GE(fixed, 4);
    EXPECT_GE(cont.queries.size() + scad.queries.size(), 10u);
    for (const char* word : {"JOIN", "Sum(", "Count(", "IIf(", "Format(", "Like", "PARAMETERS"})
        EXPECT_NE(sqls.find(word), std::string::npos) << word;

    // The version of the update, and no placeholder bank.
    EXPECT_EQ(m.Value(Release("CONT32.MDB"), "SELECT ver FROM anni"), "048.5");
    EXPECT_EQ(
        m.Value(Release("SCAD32.MDB"), "SELECT Count(*) FROM BANCHE WHERE contocorrente='123456789/99'"),
        "0");
}

TEST(ReleaseFolder, HoldsEveryFileTheRunInstallsOrOpens) {
    // The other files the run copies are compared byte for byte where the end-to-end runs put them (a missing
    // stampante.doc is a box too many there); LEDRANA.EXE is run on the current sample below.
    EXPECT_TRUE(fs::is_regular_file(kRelease / "AggiornaLedrana"));
    // Templates with their sections; pictures that are JPEG files.
    for (const char* m : kModelliStampa) {
        ASSERT_TRUE(fs::is_regular_file(kRelease / m)) << m;
        const std::string text = "\n" + TempPrefix::get(kRelease / m);
        EXPECT_TRUE(text.find("\n[Modulo]") != std::string::npos ||
                    text.find("\n[Foglio]") != std::string::npos)
            << m;
    }
    for (const char* jpg : {"logo.jpg", "stampante.jpg"})
        EXPECT_EQ(ReleaseBytes(jpg).substr(0, 3), "\xFF\xD8\xFF") << jpg;

    // The manuals: whole PDF files with pages of text in an embedded font, each with its own title.
    for (const auto& [pdf, title] :
         std::map<std::string, std::string>{{"zAggiornaLedrana-ZuDuvo.pdf", "procedura di aggiornamento"},
                                            {"ZZGeneral-ZuDuvo1.pdf", "manuale generale"}}) {
        const std::string bytes = TempPrefix::get(kRelease / "ZuDuvoPdf" / pdf);
        EXPECT_EQ(bytes.substr(0, 5), "%PDF-") << pdf;
        EXPECT_NE(bytes.find("%%EOF", bytes.size() > 64 ? bytes.size() - 64 : 0), std::string::npos) << pdf;
        EXPECT_NE(bytes.find("/Type /Page\n"), std::string::npos) << pdf;
        EXPECT_NE(bytes.find("/FontFile"), std::string::npos) << pdf;
        EXPECT_NE(bytes.find(Utf8ToUtf16(title, true)), std::string::npos) << pdf;
    }
}

TEST(SampleInstallations, CurrentAndOldLayoutAndLarge) {
    {
        const Machine current("current");
        std::string out;
        EXPECT_EQ(current.Shell(ShellQuote(Release("LEDRANA.EXE")) + " --testo", &out), 0) << out;
        // Every company of the data folder with its archives' version stamp.
        for (const char* row : {"\nAlfa\tLedrana\tC:\\ZU\\Alfa\\Cont32.mdb\t048.5\t",
                                "\nGamma\tLedrana\tC:\\ZU\\Gamma\\Cont32.mdb\t048.5\t",
                                "\nBeta\tLedrana\tC:\\ZU\\Beta\\CONT32.MDB\t-\tprotetto da password",
                                "\nDittaEsempio\tScadenzario\t"})
            EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
        EXPECT_EQ(current.ini("C:\\ZU\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana"), "048.5");
        EXPECT_TRUE(fs::exists(current.root() / "risposte.txt"));
    }
    {
        const Machine layout("old-layout");
        const std::string ver = layout.Value("C:\\ZU\\ditta2000\\cont32.mdb", "SELECT ver FROM anni");
        EXPECT_LT(ver, "048.5");
        EXPECT_FALSE(ver.empty() || ver == "<no row>") << ver;
        EXPECT_FALSE(fs::exists(layout.root() / "risposte.txt")); // nothing protected
        EXPECT_NE(TempPrefix::get(layout.root() / "LEGGIMI.txt").find("old-layout"), std::string::npos);
    }
    {
        const Machine large("large --rows 3000");
        // The lines asked for, beside the few hand-made ones of the old kind.
        const long lines =
            std::stol(large.Value("C:\\ZU\\Alfa\\Cont32.mdb", "SELECT Count(*) FROM MOVIMENTI"));
        EXPECT_GE(lines, 3000);
        EXPECT_LT(lines, 3100);
    }
}

TEST(SampleInstallations, OldDiffersFromTheModelsInEveryWayTheComparisonHandles) {
    const Machine old("old");
    const std::string alfa = "C:\\ZU\\Alfa\\Cont32.mdb", beta = "C:\\ZU\\Beta\\CONT32.MDB";
    const Structure model = Parse(old.Schema(Release("CONT32.MDB"))), a = Parse(old.Schema(alfa));

    // Every kind of difference, named as it is found: eight of presence, six of definition.
    std::set<std::string> found;
    const std::pair<const char*, std::map<std::string, Object> Structure::*> kinds[] = {
        {"table", &Structure::tables},
        {"field", &Structure::fields},
        {"index", &Structure::indexes},
        {"query", &Structure::queries}};
    for (const auto& [kind, member] : kinds) {
        for (const auto& [key, o] : model.*member)
            if (!(a.*member).count(key)) found.insert(std::string(kind) + " only in the model");
        for (const auto& [key, o] : a.*member)
            if (!(model.*member).count(key)) found.insert(std::string(kind) + " only in the archive");
    }
    const std::string counter = std::to_string(kCounter);
    for (const auto& [key, f] : model.fields) {
        if (!a.fields.count(key)) continue;
        const auto& mine = a.fields.at(key).props;
        if (mine.at("type") == f.props.at("type") && mine.at("type") == "10" &&
            std::stoi(mine.at("size")) < std::stoi(f.props.at("size")))
            found.insert("smaller text");
        if (mine.at("type") != f.props.at("type")) found.insert("other type");
        if ((mine.at("attributes") == counter) != (f.props.at("attributes") == counter))
            found.insert("counter");
    }
    for (const auto& [key, t] : model.tables)
        if (a.tables.count(key) && a.tables.at(key).name != t.name) found.insert("name in other case");
    for (const auto& [key, q] : model.queries)
        if (a.queries.count(key) && LCase(a.queries.at(key).props.at("sql")) != LCase(q.props.at("sql")))
            found.insert("other SQL");
    for (const auto& [key, i] : model.indexes)
        if (a.indexes.count(key) &&
            LCase(a.indexes.at(key).props.at("fields")) != LCase(i.props.at("fields")))
            found.insert("other index fields");
    EXPECT_EQ(found.size(), 14u) << ::testing::PrintToString(found); // every name above

    // A Null in a field of every type that can hold one.
    std::set<std::string> withNull, types;
    for (const auto& [key, f] : a.fields) {
        const std::string type = f.props.at("type");
        if (f.props.at("attributes") == counter) continue;
        types.insert(type);
        if (withNull.count(type)) continue;
        const std::string table = f.name.substr(0, f.name.find('.')),
                          field = f.name.substr(f.name.find('.') + 1);
        if (old.Value(alfa, "SELECT Count(*) FROM [" + table + "] WHERE [" + field + "] Is Null") != "0")
            withNull.insert(type);
    }
    EXPECT_EQ(withNull, types);

    // The version stamp, the placeholder bank and archives big enough to be compacted (Beta's protection,
    // Gamma's missing year and INI.INI's 027 are those the end-to-end runs meet).
    EXPECT_EQ(old.Value(alfa, "SELECT ver FROM anni"), "027");
    EXPECT_EQ(old.Value("C:\\ZU\\Alfa\\Scad32.mdb",
                        "SELECT Count(*) FROM BANCHE WHERE contocorrente='123456789/99'"),
              "1"); // the placeholder bank that the update deletes
    EXPECT_GT(fs::file_size(old.host(alfa)), 200000u);
    EXPECT_GT(fs::file_size(old.host(beta)), 200000u);

    // Every shortcut of the old versions that the update removes, the forum ones included.
    const fs::path windows = old.host("C:\\WINDOWS"), programs = windows / "Start Menu" / "Programs";
    for (const auto& [folder, count] : {std::pair{windows / "Desktop", 9}, std::pair{programs / "Ledrana", 5},
                                        std::pair{programs / "Tessaro", 5}})
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), count) << folder;

    // The sample says what it holds; its answers give Beta's password box, and no other, the password
    // that opens Beta's archive.
    const std::string leggimi = TempPrefix::get(old.root() / "LEGGIMI.txt");
    for (const char* word : {"(old)", "Alfa", "Beta", "Gamma", "DittaEsempio", "password segreto"})
        EXPECT_NE(leggimi.find(word), std::string::npos) << word << "\n" << leggimi;
    BatchDialogs answers;
    answers.Load(TempPrefix::get(old.root() / "risposte.txt"));
    const std::string typed = answers.InputBox("Ditta: Beta\n E' PROTETTA:  IMPOSTARE LA PASSWORD", "");
    EXPECT_FALSE(Parse(old.Schema(beta, typed)).tables.empty());
    EXPECT_EQ(answers.InputBox("Ditta: Alfa\n E' PROTETTA:  IMPOSTARE LA PASSWORD", ""), "");
}

} // namespace
} // namespace ledrana::e2e
