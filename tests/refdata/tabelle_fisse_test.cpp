// The reference tables copied from the model into a company archive.

#include "refdata/refdata.h"
#include "tests/common/archive_fixture.h"

namespace ledrana::testing {
namespace {

class TabelleFisse : public ArchiveTest {
protected:
    const std::string modello = CompanyPath("MODELLO.MDB");
    const std::string ditta = CompanyPath("CONT32.MDB");
};

TEST_F(TabelleFisse, CausaliTrasportoAndCategorieAddWhatIsMissingAndKeepTheCompanyRows) {
    MakeFromModel(
        modello, {"CodiciCausaliTrasporto", "Categorie"},
        {"INSERT INTO CodiciCausaliTrasporto (cod, Descrizione) VALUES ('V', 'Vendita')",
         "INSERT INTO CodiciCausaliTrasporto (cod, Descrizione) VALUES ('R', 'Reso')",
         "INSERT INTO CodiciCausaliTrasporto (cod, Descrizione) VALUES ('CL', 'Conto lavorazione')",
         "INSERT INTO Categorie (cod, Descrizione, NonModif, Sconto) VALUES ('SERV', 'Servizi', True, 0)",
         "INSERT INTO Categorie (cod, Descrizione, NonModif, Sconto) VALUES ('MERCI', 'Merci', True, 5)",
         "INSERT INTO Categorie (cod, Descrizione, NonModif) VALUES ('VARIE', 'Varie', False)",
         "INSERT INTO Categorie (cod, Descrizione) VALUES ('ALTRO', 'Senza indicazione')"});
    MakeFromModel(ditta, {"CodiciCausaliTrasporto", "Categorie"},
                  {"INSERT INTO CodiciCausaliTrasporto (cod, Descrizione) VALUES ('r', 'Reso nostro')",
                   "INSERT INTO CodiciCausaliTrasporto (cod, Descrizione) VALUES ('OM', 'Omaggio')",
                   "INSERT INTO Categorie (cod, Descrizione, NonModif, Sconto) VALUES ('MERCI', 'Le merci', "
                   "False, 9)"});
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        CopiaDatiCodiciCausaliTrasporto(w, modello, ditta);
        CopiaDatiCategorieFisse(w, modello, ditta);
        EXPECT_EQ(RowsAt(ditta, "SELECT * FROM CodiciCausaliTrasporto ORDER BY cod", {"cod", "Descrizione"}),
                  (Strings{"CL|Conto lavorazione", "OM|Omaggio", "r|Reso nostro", "V|Vendita"}));
        EXPECT_EQ(RowsAt(ditta, "SELECT * FROM Categorie ORDER BY cod",
                         {"cod", "Descrizione", "NonModif", "Sconto"}),
                  (Strings{"MERCI|Le merci|False|9", "SERV|Servizi|True|0"}));
    }
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_TRUE(LogEntries().empty());
}

TEST_F(TabelleFisse, RitenuteOnlyIntoAnEmptyTableWithoutAccountAndCausal) {
    MakeFromModel(modello, {"Ritenute"},
                  {"INSERT INTO Ritenute (cod, Descrizione, perc, conto, causale, CodTributo) "
                   "VALUES ('RA20', 'Ritenuta d''acconto 20%', 20, '4010', 'RIT', '1040')",
                   "INSERT INTO Ritenute (cod, Descrizione, perc, conto, causale, CodTributo) "
                   "VALUES ('RA4', 'Ritenuta condomini 4%', 4.5, '4011', 'RIT', '1019')"});
    MakeFromModel(CompanyPath("PROPRIA.MDB"), {"Ritenute"},
                  {"INSERT INTO Ritenute (cod, Descrizione, perc) VALUES ('MIA', 'La nostra', 10)"});
    CreateFromModel(ditta, {"Ritenute"}).Close();
    CopiaDatiRitenute(w, modello, CompanyPath("PROPRIA.MDB"));
    EXPECT_EQ(RowsAt(CompanyPath("PROPRIA.MDB"), "SELECT * FROM Ritenute", {"cod"}), Strings{"MIA"});

    CopiaDatiRitenute(w, modello, ditta);
    EXPECT_EQ(RowsAt(ditta, "SELECT * FROM Ritenute ORDER BY cod",
                     {"cod", "Descrizione", "perc", "conto", "causale", "CodTributo"}),
              (Strings{"RA20|Ritenuta d'acconto 20%|20|||<Null>", "RA4|Ritenuta condomini 4%|4.5|||<Null>"}));
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(TabelleFisse, BanchePlaceholderDeletedAndCopiedBackWhenTheModelHasIt) {
    const char* campi = "(cod, Descrizione, ABI, contocorrente, Attiva)";
    MakeFromModel(modello, {"BANCHE"},
                  {std::string("INSERT INTO BANCHE ") + campi +
                   " VALUES ('ISP', 'Intesa Sanpaolo', '03069', '', True)"},
                  "scad32.sql");
    MakeFromModel(CompanyPath("SCAD32.MDB"), {"BANCHE"},
                  {std::string("INSERT INTO BANCHE ") + campi +
                       " VALUES ('ESEMP', 'Banca di prova', '', '123456789/99', True)",
                   std::string("INSERT INTO BANCHE ") + campi +
                       " VALUES ('ISP', 'La nostra Intesa', '03069', '1000/12', False)"},
                  "scad32.sql");
    const std::string scad = CompanyPath("SCAD32.MDB");
    CopiaDatiBanche(w, modello, scad);
    EXPECT_EQ(RowsAt(CompanyPath("SCAD32.MDB"), "SELECT * FROM BANCHE ORDER BY cod",
                     {"cod", "Descrizione", "contocorrente", "Attiva"}),
              Strings{"ISP|La nostra Intesa|1000/12|False"});

    // A model that ships the placeholder gives it back, with the model's values, at every run.
    ExecuteAt(modello, std::string("INSERT INTO BANCHE ") + campi +
                           " VALUES ('ESEMP', 'Banca esempio', '', '123456789/99', False)");
    ExecuteAt(scad, "UPDATE BANCHE SET Descrizione='Cambiata' WHERE cod='ISP'");
    for (int run = 1; run <= 2; ++run) {
        CopiaDatiBanche(w, modello, scad);
        EXPECT_EQ(RowsAt(scad, "SELECT * FROM BANCHE ORDER BY cod",
                         {"cod", "Descrizione", "contocorrente", "Attiva"}),
                  (Strings{"ESEMP|Banca esempio|123456789/99|False", "ISP|Cambiata|1000/12|False"}))
            << "run " << run;
    }
    EXPECT_TRUE(dialogs.records().empty());
}

// Each member reports an unexpected error with its own name and the two paths, then stops copying.
TEST_F(TabelleFisse, AnUnexpectedErrorIsReportedWithTheMemberAndBothPaths) {
    struct Caso {
        void (*membro)(Aggiorna&, const std::string&, const std::string&);
        const char* tabella;
        const char* modello;
        const char* riga;
        const char* funz;
    };
    const Caso casi[] = {
        {CopiaDatiCodiciCausaliTrasporto, "CodiciCausaliTrasporto", "cont32.sql",
         "INSERT INTO CodiciCausaliTrasporto (cod, Descrizione) VALUES ('V', 'Vendita')",
         "funz. CopiaDatiCodiciCausaliTrasporto "},
        {CopiaDatiCategorieFisse, "Categorie", "cont32.sql",
         "INSERT INTO Categorie (cod, Descrizione, NonModif) VALUES ('SERV', 'Servizi', True)",
         "funz. CopiaDatiCategorieFisse "},
        {CopiaDatiBanche, "BANCHE", "scad32.sql",
         "INSERT INTO BANCHE (cod, Descrizione) VALUES ('ISP', 'Intesa')", "funz. CopiaDatiBanche "},
    };
    int n = 0;
    for (const Caso& c : casi) {
        const std::string nm = "M" + std::to_string(n) + ".MDB", nd = "D" + std::to_string(n) + ".MDB";
        ++n;
        MakeFromModel(CompanyPath(nm), {c.tabella},
                      {c.riga, std::string("ALTER TABLE ") + c.tabella + " ADD COLUMN Nuovo TEXT(5)",
                       std::string("INSERT INTO ") + c.tabella + " (cod, Nuovo) VALUES ('ZZ', 'x')"},
                      c.modello);
        CreateFromModel(CompanyPath(nd), {c.tabella}, c.modello).Close();
        w.Text1.text.clear();
        dialogs = ScriptedDialogs();

        c.membro(w, CompanyPath(nm), CompanyPath(nd));
        const std::string atteso = "3265 " + dao::JetErrorText(3265) + "\n" + c.funz + "\n" +
                                   CompanyPath(nm) + "\n" + CompanyPath(nd);
        EXPECT_EQ(LogEntries(), Strings{atteso}) << c.funz;
        EXPECT_EQ(BoxTexts(), Strings{atteso});
        EXPECT_EQ(RowsAt(CompanyPath(nd), std::string("SELECT * FROM ") + c.tabella, {"cod"}), Strings{})
            << c.funz;
    }

    // A company archive that lacks the table: the report names the withholding-tax member.
    w.Text1.text.clear();
    CreateFromModel(CompanyPath("VECCHIO.MDB"), {"Categorie"}).Close();
    CopiaDatiRitenute(w, CompanyPath("M0.MDB"), CompanyPath("VECCHIO.MDB"));
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(LogEntries()[0].substr(LogEntries()[0].find('\n')),
              "\nfunz. CopiaDatiRitenute \n" + CompanyPath("M0.MDB") + "\n" + CompanyPath("VECCHIO.MDB"));
}

} // namespace
} // namespace ledrana::testing
