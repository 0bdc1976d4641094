// The version stamp and the repairs of document fields; the first year of an archive without years.

#include <ctime>

#include "platform/paths.h"

#include "refdata/refdata.h"
#include "tests/common/archive_fixture.h"

namespace ledrana::testing {
namespace {

class CampiVari : public ArchiveTest {
protected:
    CampiVari() { w.Aggiornamento.caption = "048.5"; }
    const std::string ditta = CompanyPath("CONT32.MDB");

    // An archive of a company with two years, the first stamped `ver` (Null for nullptr), and documents
    // that older versions left incomplete; two clients when `clienti` is true, no clients table otherwise.
    void ArchivioConAnni(const char* ver, bool clienti) {
        Strings tabelle{"anni", "FATTURECLI", "FATTURECLI_R", "ORDINIFOR", "ORDINIFOR_R", "TIPIFATTURECLI"};
        if (clienti) tabelle.push_back("CLIENTI");
        dao::Database d = CreateFromModel(ditta, tabelle);
        if (clienti) {
            Execute(d, "INSERT INTO CLIENTI (Cod, PREZZI123) VALUES ('C001', 2)");
            Execute(d, "INSERT INTO CLIENTI (Cod, PREZZI123) VALUES ('C002', 3)");
        }
        const std::string v = ver ? std::string("'") + ver + "'" : "Null";
        Execute(d, "INSERT INTO anni (Anno, ver, EURO) VALUES (2023, " + v + ", True)");
        Execute(d, "INSERT INTO anni (Anno, ver, EURO) VALUES (2024, '999', True)");
        for (const char* t : {"FATTURECLI", "FATTURECLI_R"}) {
            const std::string ins = std::string("INSERT INTO ") + t + " (ID, CLIFOR, CLIENTE, CFP) VALUES ";
            Execute(d, ins + "(1, '', 'C001', '')");
            Execute(d, ins + "(2, 'F01', 'C002', 'F')");
            Execute(d, ins + "(3, Null, 'C003', Null)");
        }
        for (const char* t : {"ORDINIFOR", "ORDINIFOR_R"}) {
            Execute(d, std::string("INSERT INTO ") + t + " (ID, TIPODOC) VALUES (1, '')");
            Execute(d, std::string("INSERT INTO ") + t + " (ID, TIPODOC) VALUES (2, 'P')");
        }
        const char* tipi[][4] = {{"FT", "FATTURA", "", ""},         {"FA", "FATTACC", "", "F"},
                                 {"BO", "BOLLA", "", ""},           {"SC", "SCONTRINOSCARICO", "", ""},
                                 {"MIA", "FATTURA", "Nostra", "F"}, {"ALT", "ALTRO", "", ""}};
        for (const auto& t : tipi)
            Execute(d, std::string("INSERT INTO TIPIFATTURECLI (Cod, tipostampa, TIPO, CFP) VALUES ('") +
                           t[0] + "', '" + t[1] + "', '" + t[2] + "', '" + t[3] + "')");
        d.Close();
    }
};

TEST_F(CampiVari, VersionPathStampsRepairsAndTouchesClientsUpTo028) {
    struct Caso {
        const char* ver; // nullptr: Null
        bool clientiToccati;
    };
    const Caso casi[] = {{"027", true}, {"028", true}, {"029", false},  {nullptr, true},
                         {"", true},    {"1", false},  {"048.5", false}};
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.ver ? std::string("'") + c.ver + "'" : "Null");
        std::filesystem::remove(platform::HostPath(ditta));
        ArchivioConAnni(c.ver, true);
        w.Text1.text.clear();

        EXPECT_TRUE(AggiornaCampiVari(w, ditta));
        EXPECT_TRUE(LogEntries().empty());
        EXPECT_EQ(RowsAt(ditta, "SELECT * FROM anni ORDER BY Anno", {"Anno", "ver"}),
                  (Strings{"2023|048.5", "2024|048.5"}));
        for (const std::string t : {"FATTURECLI", "FATTURECLI_R"})
            EXPECT_EQ(RowsAt(ditta, "SELECT * FROM " + t + " ORDER BY ID", {"CLIFOR", "CLIENTE", "CFP"}),
                      (Strings{"C001||C", "F01|C002|F", "<Null>|C003|<Null>"}))
                << t;
        for (const std::string t : {"ORDINIFOR", "ORDINIFOR_R"})
            EXPECT_EQ(RowsAt(ditta, "SELECT * FROM " + t + " ORDER BY ID", {"TIPODOC"}), (Strings{"O", "P"}))
                << t;
        EXPECT_EQ(RowsAt(ditta, "SELECT * FROM TIPIFATTURECLI ORDER BY Cod", {"Cod", "TIPO", "CFP"}),
                  (Strings{"ALT||C", "BO|Documento di trasporto D.D.T.|C", "FA|Fattura|F", "FT|Fattura|C",
                           "MIA|Nostra|F", "SC|Scontr.scarico(non fiscale)|C"}));
        EXPECT_EQ(RowsAt(ditta, "SELECT * FROM CLIENTI ORDER BY Cod", {"PREZZI123"}),
                  c.clientiToccati ? (Strings{"1", "1"}) : (Strings{"2", "3"}));
    }
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(CampiVari, MissingClientsTableIsReportedAtStep5AfterTheEarlierFixes) {
    ArchivioConAnni("", false);
    w.Pb.max = 500;
    w.Pb.value = 7;
    EXPECT_FALSE(AggiornaCampiVari(w, ditta));
    EXPECT_EQ(w.Pb.value, 8);
    ASSERT_EQ(LogEntries().size(), 1u);
    const std::string report = LogEntries()[0];
    EXPECT_EQ(report.substr(0, 5), "3078 ") << report;
    EXPECT_EQ(report.substr(report.find('\n')), "\nfunz. AggiornaCampiVari\nfile " + ditta + " f=5");
    EXPECT_EQ(BoxTexts(), Strings{report});

    EXPECT_EQ(RowsAt(ditta, "SELECT * FROM anni ORDER BY Anno", {"ver"}), (Strings{"048.5", "048.5"}));
    EXPECT_EQ(RowsAt(ditta, "SELECT * FROM FATTURECLI WHERE ID=1", {"CLIFOR"}), Strings{"C001"});
    EXPECT_EQ(RowsAt(ditta, "SELECT * FROM TIPIFATTURECLI WHERE Cod='SC'", {"TIPO"}),
              Strings{"Scontr.scarico(non fiscale)"});
}

class AnnoDaArticoli : public ArchiveTest {
protected:
    const std::string ditta = CompanyPath("CONT32.MDB");

    // An archive without years whose rows still carry year 0; articles dated on the given days.
    void Archivio(std::initializer_list<const char*> date) {
        dao::Database d =
            CreateFromModel(ditta, {"anni", "Articoli", "MOVIMENTI", "REGISTRIIVA", "TOTALIIVA"});
        int n = 0;
        for (const char* dt : date) {
            ++n;
            Execute(d, "INSERT INTO Articoli (Anno, NumDoc, Dt) VALUES (0, " + std::to_string(n) + ", " + dt +
                           ")");
        }
        Execute(d, "INSERT INTO Articoli (Anno, NumDoc, Dt) VALUES (2001, 100, #2001-05-05#)");
        Execute(d, "INSERT INTO MOVIMENTI (Anno, NumDoc, posi) VALUES (0, 1, 1)");
        Execute(d, "INSERT INTO MOVIMENTI (Anno, NumDoc, posi) VALUES (2001, 100, 1)");
        Execute(d, "INSERT INTO REGISTRIIVA (Anno, cod, Tipo) VALUES (0, 'V', '01')");
        Execute(d, "INSERT INTO TOTALIIVA (Anno, Riva, Mese, CodIva) VALUES (0, 'V', 1, '22')");
        Execute(d, "INSERT INTO TOTALIIVA (Anno, Riva, Mese, CodIva) VALUES (2001, 'V', 2, '22')");
        d.Close();
    }

    Strings Anni() {
        Strings out;
        for (const char* t : {"Articoli", "MOVIMENTI", "REGISTRIIVA", "TOTALIIVA"})
            for (const std::string& r :
                 RowsAt(ditta, std::string("SELECT * FROM ") + t + " ORDER BY Anno", {"Anno"}))
                out.push_back(std::string(t) + " " + r);
        for (const std::string& r : RowsAt(ditta, "SELECT * FROM anni", {"Anno", "EURO"}))
            out.push_back("anni " + r);
        return out;
    }
};

// Articles of one year give it to every year 0 and a first row of the year table (the archive's own dates
// are in 2001 too); articles of two years change nothing; without articles the current year is taken.
TEST_F(AnnoDaArticoli, YearZeroBecomesTheArticlesOnlyYearOrTheCurrentOne) {
    Archivio({"#2001-01-31#", "#2001-12-01 10:30:00#"});
    EXPECT_TRUE(AggiornaCampiVari(w, ditta));
    EXPECT_EQ(Anni(),
              (Strings{"Articoli 2001", "Articoli 2001", "Articoli 2001", "MOVIMENTI 2001", "MOVIMENTI 2001",
                       "REGISTRIIVA 2001", "TOTALIIVA 2001", "TOTALIIVA 2001", "anni 2001|False"}));

    std::filesystem::remove(platform::HostPath(ditta));
    Archivio({"#2001-01-31#", "#2002-01-01#"});
    const Strings prima = Anni();
    EXPECT_FALSE(AggiornaCampiVari(w, ditta));
    EXPECT_EQ(Anni(), prima);

    std::filesystem::remove(platform::HostPath(ditta));
    MakeFromModel(ditta, {"anni", "Articoli", "MOVIMENTI", "REGISTRIIVA", "TOTALIIVA"},
                  {"INSERT INTO MOVIMENTI (Anno, NumDoc, posi) VALUES (0, 1, 1)"});
    const std::time_t now = std::time(nullptr);
    const std::string anno = std::to_string(std::localtime(&now)->tm_year + 1900);
    EXPECT_TRUE(AggiornaCampiVari(w, ditta));
    EXPECT_EQ(Anni(), (Strings{"MOVIMENTI " + anno, "anni " + anno + "|False"}));
    EXPECT_TRUE(LogEntries().empty());
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(AnnoDaArticoli, ANullYearIsAnErrorAtStep7) {
    MakeFromModel(ditta, {"anni", "Articoli"}, {"INSERT INTO Articoli (Anno, NumDoc) VALUES (0, 1)"});
    EXPECT_FALSE(AggiornaCampiVari(w, ditta));
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(LogEntries()[0].substr(0, 3), "94 ");
    EXPECT_EQ(LogEntries()[0].substr(LogEntries()[0].rfind(' ')), " f=7");
}

} // namespace
} // namespace ledrana::testing
