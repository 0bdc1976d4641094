// The copy of a fixed table on a real archive pair: replaced rows, the confirmation, and copies that fail
// leaving the table as it was.

#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::dbLong;
using dao::dbText;
using dao::Variant;

class Fisse : public SchemaTest {
protected:
    void Make(std::vector<FieldSpec> modelFields, std::vector<std::vector<Variant>> modelRows,
              std::vector<IndexSpec> archiveIndexes = {}) {
        MakePair({"CAUSALI", std::move(modelFields), {}, "fissa", std::move(modelRows)},
                 {"CAUSALI",
                  {{"COD", dbLong}, {"DESCR", dbText, 10}, {"EXTRA", dbText, 10}},
                  std::move(archiveIndexes),
                  "fissa",
                  {{1, "vecchia", "e"}, {9, "solo", "f"}}});
    }
    void Copy() { Confr_CopiaDatiTabella(w, TD1, TD2); }
    const Strings oldRows = {"Long 1 | String \"vecchia\" | String \"e\"",
                             "Long 9 | String \"solo\" | String \"f\""};
};

// With the option unticked the copy is asked, and No keeps the rows; as the window is delivered it is not
// asked. Every copy is counted in the report.
TEST_F(Fisse, ArchiveRowsAreReplacedByTheModelsAndCountedInTheReport) {
    Make({{"COD", dbLong}, {"DESCR", dbText, 10}}, {{1, "uno"}, {2, "due"}});
    w.Check3.value = 0;
    Copy(); // the default button, No
    const Box question{"CONFERMA\n\r\n\r\n\rCopia i dati della tabella CAUSALI", 292,
                       "Confr_CopiaDatiTabella"};
    EXPECT_EQ(Boxes(), std::vector<Box>{question});
    EXPECT_EQ(Rows(archive, "CAUSALI"), oldRows);
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

TEST_F(Fisse, FailingCopyLeavesTheOldRows) {
    struct Case {
        const char* what;
        std::vector<FieldSpec> fields;
        std::vector<std::vector<Variant>> rows;
        std::vector<IndexSpec> archiveIndexes;
        int number;
    };
    const std::vector<Case> cases = {
        {"a model field the archive lacks", {{"COD", dbLong}, {"NUOVO", dbText, 5}}, {{1, "a"}}, {}, 3265},
        {"a duplicate on the second row",
         {{"COD", dbLong}, {"DESCR", dbText, 10}},
         {{1, "a"}, {2, "A"}},
         {{"IXD", {"DESCR"}, false, true}},
         3022},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make(c.fields, c.rows, c.archiveIndexes);
        const std::string error = Failure([&] { Copy(); });
        EXPECT_EQ(error.substr(0, 5), std::to_string(c.number) + " ") << error;
        EXPECT_EQ(Rows(archive, "CAUSALI"), oldRows);
        // The archive is still usable for the rest of the comparison.
        w.Db2.Execute("delete * from CAUSALI where COD = 9");
        EXPECT_EQ(Rows(archive, "CAUSALI").size(), 1u);
        EXPECT_TRUE(LogEntries().empty());
        ResetPair();
    }
}

} // namespace
} // namespace ledrana::testing
