// The fixed causals of the VAT registers.

#include "refdata/refdata.h"
#include "tests/common/archive_fixture.h"

namespace ledrana::testing {
namespace {

class Causali : public ArchiveTest {
protected:
    const std::string ditta = CompanyPath("CONT32.MDB");

    Strings TutteLeCausali() {
        return RowsAt(ditta, "SELECT * FROM causali ORDER BY cod",
                      {"cod", "Descrizione", "Ripete", "ContoDare"});
    }
};

TEST_F(Causali, SixCausalsForRegistersVAndAOtherCausalsUntouched) {
    MakeFromModel(
        ditta, {"REGISTRIIVA", "causali"},
        {"INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (2023, 'V', '01')",
         "INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (2023, 'A', '03')",
         "INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (2024, 'V', '01')",
         "INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (2024, 'Z''', '99')",
         "INSERT INTO causali (cod, Descrizione, Ripete, ContoDare) VALUES ('2V', 'Cambiata', True, "
         "'1010')",
         "INSERT INTO causali (cod, Descrizione, Ripete, ContoDare) VALUES ('4V', 'Nostra', True, '1')",
         "INSERT INTO causali (cod, Descrizione, Ripete, ContoDare) VALUES ('INC', 'Incasso', True, '2')"});
    // A code with a quote is a code like the others.
    const Strings atteso{
        "1A|Fatture/Note cred.IVA Acquisti|False|<Null>",
        "1V|Fatture/Note cred. IVA Vendite|False|<Null>",
        "1Z'||False|<Null>",
        "2A|Fatture/Note cred.IVA Acquisti|False|<Null>",
        "2V|Fatture/Note cred. IVA Vendite|False|<Null>",
        "2Z'||False|<Null>",
        "3A|Fatture/Note cred.IVA Acquisti|False|<Null>",
        "3V|Fatture/Note cred. IVA Vendite|False|<Null>",
        "3Z'||False|<Null>",
        "4V|Nostra|True|1",
        "INC|Incasso|True|2",
    };
    for (int run = 1; run <= 2; ++run) {
        ModificaCausaliFisse(w, ditta);
        EXPECT_EQ(TutteLeCausali(), atteso) << "run " << run;
    }
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_TRUE(LogEntries().empty());
}

// Each of the seven types of register has a description of its own; a type outside them, or none, has the
// empty one, also right after a known type (a description left over from it would show).
TEST_F(Causali, DescriptionByRegisterTypeAndEmptyOutsideTheTable) {
    {
        dao::Database d = CreateFromModel(ditta, {"REGISTRIIVA", "causali"});
        const char* tipi[] = {"'01'", "'02'", "'03'", "'04'", "'05'", "'06'", "'07'", "'99'", "''", "Null"};
        for (int i = 0; i < 10; ++i)
            Execute(d, "INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (2024, 'R" + std::to_string(i) +
                           "', " + tipi[i] + ")");
        d.Close();
    }
    ModificaCausaliFisse(w, ditta);
    const auto count = [&](const std::string& where) {
        return RowsAt(
            ditta, "SELECT Count(*) AS n FROM (SELECT DISTINCT Descrizione FROM causali WHERE " + where + ")",
            {"n"});
    };
    EXPECT_EQ(count("cod LIKE '1R[0-6]' AND Descrizione <> ''"), Strings{"7"});
    EXPECT_EQ(count("cod LIKE '?R[7-9]'"), Strings{"1"});
    EXPECT_EQ(RowsAt(ditta, "SELECT Descrizione FROM causali WHERE cod = '3R9'", {"Descrizione"}),
              Strings{""});
}

TEST_F(Causali, WithoutRegistersNothingIsDeletedOrAddedAndWithoutTheirTableItIsReported) {
    MakeFromModel(ditta, {"REGISTRIIVA", "causali"},
                  {"INSERT INTO causali (cod, Descrizione, Ripete) VALUES ('1V', 'Vecchia', True)"});
    ModificaCausaliFisse(w, ditta);
    EXPECT_EQ(TutteLeCausali(), Strings{"1V|Vecchia|True|<Null>"});
    EXPECT_TRUE(dialogs.records().empty());

    // An old archive without the registers table is reported.
    const std::string vecchio = CompanyPath("VECCHIO.MDB");
    CreateFromModel(vecchio, {"causali"}).Close();
    w.NomeDb1 = "C:\\Programmi\\Tessaro\\CONT32.MDB";
    ModificaCausaliFisse(w, vecchio);
    ASSERT_EQ(LogEntries().size(), 1u);
    const std::string report = LogEntries()[0];
    EXPECT_EQ(report.substr(0, 5), "3078 ");
    EXPECT_EQ(report.substr(report.find('\n')),
              "\nfunz. ModificaCausaliFisse \n" + w.NomeDb1 + "\n" + vecchio);
    EXPECT_EQ(BoxTexts(), Strings{report});
}

} // namespace
} // namespace ledrana::testing
