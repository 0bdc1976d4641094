// Index steps on real archive pairs: creation then completion, rebuilds, surplus indexes (the indexes of a
// rebuilt field go in Campi.ChangedFieldsAreRebuiltKeepingTheirValues).

#include <regex>

#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::dbLong;
using dao::dbText;

class Chiavi : public SchemaTest {
protected:
    // A table CLIENTI with the fields A, B, C and the given indexes.
    static TableSpec Clienti(std::vector<IndexSpec> indexes) {
        return {"CLIENTI",
                {{"A", dbLong}, {"B", dbText, 10}, {"C", dbLong}},
                std::move(indexes),
                "",
                {{1, "x", 7}, {2, "y", 8}}};
    }

    void Make(std::vector<IndexSpec> model, std::vector<IndexSpec> archive) {
        MakePair(Clienti(std::move(model)), Clienti(std::move(archive)));
    }

    // The archive's indexes as Structure() lists them, written "name primary unique (fields)".
    Strings Indexes() {
        Strings out;
        std::istringstream lines(Structure(archive));
        for (std::string l; std::getline(lines, l);)
            if (l.starts_with("  index "))
                out.push_back(
                    std::regex_replace(l.substr(8), std::regex(" primary=(.) unique=(.)"), " $1$2"));
        return out;
    }
};

TEST_F(Chiavi, TwoFieldIndexIsCreatedWithItsFirstFieldThenCompleted) {
    Make({{"IXAB", {"A", "B"}, false, true}}, {});
    w.Check2.value = 1; // asked twice, Yes both times (the default button of style 4)

    Confr_CreaChiavi(w, TD1, TD2);
    EXPECT_EQ(Indexes(), (Strings{"IXAB 00 (A)"}));
    Confr_ModificaChiavi(w, TD1, TD2);
    EXPECT_EQ(Indexes(), (Strings{"IXAB 01 (A,B)"}));

    EXPECT_EQ(Boxes(), (std::vector<Box>{
                           {"tabella CLIENTI non esiste chiave IXAB\nLA CREO ?", 4, "Confr_CreaChiavi"},
                           {"tabella CLIENTI chiave IXAB diversa\nLA MODIFICO ? ", 4, "Confr_ModificaChiavi"},
                       }));
    EXPECT_FALSE(w.ErroreConfronto);
    EXPECT_TRUE(LogEntries().empty());
}

TEST_F(Chiavi, FieldOrderIsIgnoredWhilePrimaryAndUniqueDifferencesAreRebuilt) {
    Make({{"PK", {"A", "B"}, true, true}, {"IXC", {"C"}, false, true}, {"IXB", {"B"}, false, false}},
         {{"PK", {"B", "A"}, true, true}, {"IXC", {"C"}, false, false}, {"ixb", {"B"}, false, true}});
    Confr_CreaChiavi(w, TD1, TD2);
    Confr_ModificaChiavi(w, TD1, TD2);
    Confr_VerificaChiaviInPiuSuSecondoDB(w, TD1, TD2);
    EXPECT_EQ(Indexes(), (Strings{"IXB 00 (B)", "IXC 01 (C)", "PK 11 (B,A)"}));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(w.ErroreConfronto);
}

TEST_F(Chiavi, DeclinedCreationIsReportedByTheRebuildWhichStopsThere) {
    Make({{"IXA", {"A"}}, {"IXB", {"B"}, false, true}}, {{"IXB", {"B"}}});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains("LA CREO", vbNo);

    Confr_CreaChiavi(w, TD1, TD2);
    Confr_ModificaChiavi(w, TD1, TD2);

    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(LogEntries()[0], "Funz. Confr_ModificaChiavi\n3265 " + dao::JetErrorText(3265) +
                                   "\ntabella CLIENTI\nCHIAVE IXA");
    EXPECT_TRUE(w.ErroreConfronto);
    // IXB, which comes after IXA, was not examined.
    EXPECT_EQ(Indexes(), (Strings{"IXB 00 (B)"}));
}

TEST_F(Chiavi, SurplusIndexesAreDeletedUnlessDeclined) {
    Make({{"IXA", {"A"}}}, {{"IXA", {"A"}}, {"VECCHIA", {"B"}}, {"ZETA", {"C"}}});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains("chiave ZETA", vbYes); // VECCHIA gets the default answer, No

    Confr_VerificaChiaviInPiuSuSecondoDB(w, TD1, TD2);
    EXPECT_EQ(Indexes(), (Strings{"IXA 00 (A)", "VECCHIA 00 (B)"}));
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0],
              (Box{"ATTENZIONE \nsulla tabella CLIENTI  del secondo database \nesiste la chiave VECCHIA"
                   "\nche sulla tabella del primo database non esiste\nELIMINO ?",
                   260, "Confr_VerificaChiaviInPiuSuSecondoDB"}));

    dialogs.Clear();
    w.Check2.value = 0; // no question: deleted
    Confr_VerificaChiaviInPiuSuSecondoDB(w, TD1, TD2);
    EXPECT_EQ(Indexes(), (Strings{"IXA 00 (A)"}));
    EXPECT_EQ(Boxes().size(), 2u);
}

} // namespace
} // namespace ledrana::testing
