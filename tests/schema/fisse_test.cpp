// The copy of a fixed table on a real archive pair: replaced rows, the confirmation, the count in the report
// (a copy that fails leaves the table as it was: PontevalTest.OnlyTablesDescribedExactlyAsFissa...).

#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::dbLong;
using dao::dbText;

class Fisse : public SchemaTest {
protected:
    void Copy() { Confr_CopiaDatiTabella(w, TD1, TD2); }
};

// With the option unticked the copy is asked, and No keeps the rows; as the window is delivered it is not
// asked. Every copy is counted in the report.
TEST_F(Fisse, ArchiveRowsAreReplacedByTheModelsAndCountedInTheReport) {
    MakePair({"CAUSALI", {{"COD", dbLong}, {"DESCR", dbText, 10}}, {}, "fissa", {{1, "uno"}, {2, "due"}}},
             {"CAUSALI",
              {{"COD", dbLong}, {"DESCR", dbText, 10}, {"EXTRA", dbText, 10}},
              {},
              "fissa",
              {{1, "vecchia", "e"}, {9, "solo", "f"}}});
    w.Check3.value = 0;
    Copy(); // the default button, No
    const Box question{"CONFERMA\n\r\n\r\n\rCopia i dati della tabella CAUSALI", 292,
                       "Confr_CopiaDatiTabella"};
    EXPECT_EQ(Boxes(), std::vector<Box>{question});
    EXPECT_EQ(Rows(archive, "CAUSALI"), (Strings{"Long 1 | String \"vecchia\" | String \"e\"",
                                                 "Long 9 | String \"solo\" | String \"f\""}));
    dialogs.QueueAnswer(vbYes);
    Copy();
    EXPECT_EQ(Rows(archive, "CAUSALI"),
              (Strings{"Long 1 | String \"uno\" | Null", "Long 2 | String \"due\" | Null"}));
    w.Check3.value = 1;
    w.Db1.Execute("delete * from CAUSALI"); // an empty model table empties the archive's
    Copy();
    EXPECT_TRUE(Rows(archive, "CAUSALI").empty());
    EXPECT_EQ(Boxes(), (std::vector<Box>{question, question}));
    ASSERT_EQ(w.runReport.archives().size(), 1u);
    const auto& copies = w.runReport.archives()[0].changes;
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].count, 2);
    EXPECT_EQ(copies[1].count, 0);
    EXPECT_TRUE(LogEntries().empty());
}

} // namespace
} // namespace ledrana::testing
