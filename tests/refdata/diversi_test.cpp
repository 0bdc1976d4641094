// The counterpart summary of the journal entries.

#include "refdata/refdata.h"
#include "tests/common/archive_fixture.h"

namespace ledrana::testing {
namespace {

class Diversi : public ArchiveTest {
protected:
    const std::string ditta = CompanyPath("CONT32.MDB");
    dao::Database d = CreateFromModel(ditta, {"Articoli", "MOVIMENTI"});

    // An entry whose summary holds old values, so that every field shows whether it was written.
    void Articolo(int anno, int numDoc, const char* riva = "Null") {
        Execute(d, "INSERT INTO Articoli (Anno, NumDoc, Riva, conto, CFP, ContoA, CfpA) VALUES (" +
                       std::to_string(anno) + ", " + std::to_string(numDoc) + ", " + riva +
                       ", 'VECCHIO', 'X', 'VECCHIOA', 'Y')");
    }
    void Riga(int anno, int numDoc, int posi, const char* dare, const char* avere, const char* conto,
              const char* cfp) {
        Execute(d, "INSERT INTO MOVIMENTI (Anno, NumDoc, posi, ImpoDare, ImpoAvere, conto, CFP) VALUES (" +
                       std::to_string(anno) + ", " + std::to_string(numDoc) + ", " + std::to_string(posi) +
                       ", " + dare + ", " + avere + ", " + conto + ", " + cfp + ")");
    }
    Strings Riepiloghi() {
        return RowsAt(ditta, "SELECT * FROM Articoli ORDER BY Anno, NumDoc",
                      {"Anno", "NumDoc", "conto", "CFP", "ContoA", "CfpA"});
    }
};

TEST_F(Diversi, EachSideNamesItsOnlyAccountOrDiversi) {
    Articolo(2024, 1); // one debit line, one credit line
    Riga(2024, 1, 1, "100", "0", "'A'", "'C'");
    Riga(2024, 1, 2, "0", "100", "'B'", "'F'");
    Articolo(2024, 2); // two debit lines, one credit line
    Riga(2024, 2, 1, "60", "0", "'D1'", "'P'");
    Riga(2024, 2, 2, "40", "0", "'D2'", "'P'");
    Riga(2024, 2, 3, "0", "100", "'B'", "'F'");
    Articolo(2024, 3);        // no lines
    Articolo(2024, 4, "'V'"); // a VAT registration
    Riga(2024, 4, 1, "100", "0", "'A'", "'C'");
    Articolo(2024, 5); // Null and zero amounts count on neither side
    Riga(2024, 5, 1, "Null", "0", "'A'", "'C'");
    Riga(2024, 5, 2, "0", "Null", "'B'", "'F'");
    Articolo(2024, 6, "''"); // an empty account: the next line of its side is taken as the first
    Riga(2024, 6, 2, "50", "0", "'D2'", "'P'");
    Riga(2024, 6, 1, "50", "0", "''", "'Z'");
    Riga(2024, 6, 3, "0", "100", "'B'", "'F'");
    Articolo(2024, 7); // a line with both amounts counts on both sides
    Riga(2024, 7, 1, "10", "-10", "'A'", "'C'");
    Articolo(2023, 1); // same number, other year: its own lines only
    Riga(2023, 1, 1, "0", "5", "'OLD'", "'C'");
    d.Close();

    EXPECT_TRUE(AggiornaDiversi(w, ditta));
    const Strings atteso{
        "2023|1|||OLD|C",
        "2024|1|A|C|B|F",
        "2024|2|DIVERSI||B|F",
        "2024|3||||",
        "2024|4|VECCHIO|X|VECCHIOA|Y",
        "2024|5||||",
        "2024|6|D2|P|B|F",
        "2024|7|A|C|A|C",
    };
    EXPECT_EQ(Riepiloghi(), atteso);
    EXPECT_TRUE(AggiornaDiversi(w, ditta));
    EXPECT_EQ(Riepiloghi(), atteso);
    EXPECT_TRUE(LogEntries().empty());
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(Diversi, ANullAccountOnALineWithAnAmountStopsAtThatEntryWithoutAWord) {
    Articolo(2024, 1);
    Riga(2024, 1, 1, "100", "0", "'A'", "'C'");
    Articolo(2024, 2);
    Riga(2024, 2, 1, "100", "0", "Null", "'C'");
    Articolo(2024, 3);
    Riga(2024, 3, 1, "0", "100", "'B'", "'F'");
    d.Close();

    EXPECT_FALSE(AggiornaDiversi(w, ditta));
    EXPECT_EQ(Riepiloghi(),
              (Strings{"2024|1|A|C||", "2024|2|VECCHIO|X|VECCHIOA|Y", "2024|3|VECCHIO|X|VECCHIOA|Y"}));

    // An archive without the lines table fails as silently.
    MakeFromModel(CompanyPath("VECCHIO.MDB"), {"Articoli"},
                  {"INSERT INTO Articoli (Anno, NumDoc, conto) VALUES (2024, 1, 'A')"});
    EXPECT_FALSE(AggiornaDiversi(w, CompanyPath("VECCHIO.MDB")));
    EXPECT_TRUE(LogEntries().empty());
    EXPECT_TRUE(dialogs.records().empty());
}

} // namespace
} // namespace ledrana::testing
