// The fixed causals of the VAT registers.

#include "refdata/refdata.h"
#include "tests/common/archive_fixture.h"

namespace ledrana::testing {
namespace {

using Strings = std::vector<std::string>;

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
         "INSERT INTO causali (cod, Descrizione, Ripete, ContoDare) VALUES ('2V', 'Cambiata', True, "
         "'1010')",
         "INSERT INTO causali (cod, Descrizione, Ripete, ContoDare) VALUES ('4V', 'Nostra', True, '1')",
         "INSERT INTO causali (cod, Descrizione, Ripete, ContoDare) VALUES ('INC', 'Incasso', True, '2')"});
    const Strings atteso{
        "1A|Fatture/Note cred.IVA Acquisti|False|<Null>",
        "1V|Fatture/Note cred. IVA Vendite|False|<Null>",
        "2A|Fatture/Note cred.IVA Acquisti|False|<Null>",
        "2V|Fatture/Note cred. IVA Vendite|False|<Null>",
        "3A|Fatture/Note cred.IVA Acquisti|False|<Null>",
        "3V|Fatture/Note cred. IVA Vendite|False|<Null>",
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

TEST_F(Causali, DescriptionByRegisterTypeAndEmptyOutsideTheTable) {
    {
        dao::Database d = CreateFromModel(ditta, {"REGISTRIIVA", "causali"});
        // An unknown type right after a known one would show a description left over from it.
        const char* registri[][2] = {{"A1", "01"}, {"A2", "02"}, {"A3", "03"}, {"A4", "04"}, {"A5", "05"},
                                     {"A6", "06"}, {"A7", "07"}, {"A8", "99"}, {"A9", ""}};
        for (const auto& r : registri)
            Execute(d, std::string("INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (2024, '") + r[0] +
                           "', '" + r[1] + "')");
        Execute(d, "INSERT INTO REGISTRIIVA (Anno, cod) VALUES (2024, 'B0')");
        d.Close();
    }
    ModificaCausaliFisse(w, ditta);
    EXPECT_EQ(RowsAt(ditta, "SELECT * FROM causali WHERE cod LIKE '1*' ORDER BY cod", {"cod", "Descrizione"}),
              (Strings{"1A1|Fatture/Note cred. IVA Vendite", "1A2|Incassi corrispettivi",
                       "1A3|Fatture/Note cred.IVA Acquisti", "1A4|Autofatt./rev.charge/Intrac.",
                       "1A5|Fatt.passive rev.charge/Intra", "1A6|Fatture in sospensione IVA",
                       "1A7|Corrispettivi(Ventilaz.su Acq)", "1A8|", "1A9|", "1B0|"}));
    EXPECT_EQ(RowsAt(ditta, "SELECT Count(*) AS n FROM causali", {"n"}), Strings{"30"});
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
    ASSERT_EQ(dialogs.messageBoxes().size(), 1u);
    EXPECT_EQ(dialogs.messageBoxes()[0].text, report);
}

} // namespace
} // namespace ledrana::testing
