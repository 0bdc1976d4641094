#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;
using dao::Variant;

namespace {

class TabelleTest : public SchemaTest {
protected:
    const FieldSpec id{"ID", dao::dbLong}, nome{"NOME", dao::dbText, 40}, note{"NOTE", dao::dbMemo},
        prezzo{"PREZZO", dao::dbCurrency};
};

TEST_F(TabelleTest, NewTableGetsEveryFieldWithNameTypeAndSizeOnlyAndDb2IsReopened) {
    const FieldSpec counter{"NUM", dao::dbLong, 0, dao::dbAutoIncrField};
    MakeDatabase(model, {{"Clienti", {counter, nome, note, prezzo}, {{"PK", {"NUM"}, true, true}}}});
    MakeDatabase(archive, {{"ALTRA", {id}}});
    w.Check2.value = 1;
    OpenPair();
    dao::Database before = w.Db2;

    Confr_CreaTabella(w, w.Db1.TableDefs()["Clienti"], w.Db2);
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{{"la tabella Clienti non esiste: la creo", 0, "Confr_CreaTabella"}}));
    EXPECT_FALSE(before.IsOpen());
    ASSERT_TRUE(w.Db2.IsOpen());
    w.Db2.Close();
    w.Db1.Close();
    // Not the counter attribute, not the index: later steps deal with those.
    EXPECT_EQ(Structure(archive), "table ALTRA\n"
                                  "  field ID type=4 size=4 attr=1 zl=0 req=0 default=\n"
                                  "table Clienti\n"
                                  "  field NUM type=4 size=4 attr=1 zl=0 req=0 default=\n"
                                  "  field NOME type=10 size=40 attr=2 zl=0 req=0 default=\n"
                                  "  field NOTE type=12 size=0 attr=2 zl=0 req=0 default=\n"
                                  "  field PREZZO type=5 size=8 attr=1 zl=0 req=0 default=\n");
}

// Missing fields are asked and appended at the end; surplus ones are asked with No preselected and deleted
// on Yes.
TEST_F(TabelleTest, MissingAndSurplusFieldsAreAsked) {
    const FieldSpec vecchio{"VECCHIO", dao::dbText, 10}, altro{"ALTRO", dao::dbText, 10};
    MakeDatabase(model, {{"T", {id, nome, note, prezzo}}});
    MakeDatabase(archive,
                 {{"t",
                   {{"id", dao::dbLong}, vecchio, altro},
                   {},
                   "",
                   {{Variant(1), Variant("v"), Variant("a")}, {Variant(2), Variant("w"), Variant("b")}}}});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains("field NOTE", vbNo);
    dialogs.AnswerWhenContains("field VECCHIO", vbYes);
    OpenPair();
    Confr_CreaField(w, w.Db1.TableDefs()["T"], w.Db2.TableDefs()["T"], false);
    Confr_VerificaFieldInPiuSuSecondoDB(w, w.Db1.TableDefs()["T"], w.Db2.TableDefs()["T"]);
    const auto surplus = [](const std::string& field) {
        return Box{"ATTENZIONE \nsulla tabella t  del secondo database \nesiste il field " + field +
                       "\nche sulla tabella del primo database non esiste\nELIMINO ?",
                   260, "Confr_VerificaFieldInPiuSuSecondoDB"};
    };
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"tabella T non esiste field NOME lo creo", vbYesNo, kAppTitle},
                                         {"tabella T non esiste field NOTE lo creo", vbYesNo, kAppTitle},
                                         {"tabella T non esiste field PREZZO lo creo", vbYesNo, kAppTitle},
                                         surplus("VECCHIO"),
                                         surplus("ALTRO")}));
    EXPECT_FALSE(w.ErroreConfronto);
    w.Db2.Close();
    EXPECT_EQ(FieldNames(archive, "T"), (Strings{"id", "ALTRO", "NOME", "PREZZO"}));
    EXPECT_EQ(Rows(archive, "T"),
              (Strings{"Long 1 | String \"a\" | Null | Null", "Long 2 | String \"b\" | Null | Null"}));
}

TEST_F(TabelleTest, RefusedFieldDeletionIsReportedWithTheFieldAtTheListPosition) {
    // X is indexed, so the engine refuses its deletion. The report names the field of the table at the
    // loop counter (list position 1, table position 1: ID), and Y, later in the list, stays.
    MakeDatabase(model, {{"T", {id}}});
    MakeDatabase(archive, {{"T", {{"X", dao::dbLong}, id, {"Y", dao::dbLong}}, {{"IX", {"X"}}}}});
    OpenPair();
    const std::string refused = Failure([&] { Open(archive).TableDefs()["T"].Fields().Delete("X"); });
    Confr_VerificaFieldInPiuSuSecondoDB(w, w.Db1.TableDefs()["T"], w.Db2.TableDefs()["T"]);
    const std::string report =
        "Funz. Confr_VerificaFieldInPiuSuSecondoDB\n" + refused + "\ntabella T\nfield ID";
    EXPECT_EQ(Boxes(), (std::vector<Box>{{report, 0, kAppTitle}}));
    EXPECT_EQ(LogEntries(), Strings{report});
    EXPECT_TRUE(w.ErroreConfronto);
    w.Db2.Close();
    EXPECT_EQ(FieldNames(archive, "T"), (Strings{"X", "ID", "Y"}));
}

TEST_F(TabelleTest, SurplusTablesIncludingAttachedAndMsysNamedOnesAndDb2IsReopened) {
    const std::string other = "C:\\ZU\\Ditta2000\\Altro.mdb";
    auto question = [](const std::string& name, const std::string& note) {
        return Box{"ATTENZIONE \nsul secondo database la Tabella " + name + "  del secondo database " + note +
                       "\nnon esiste sul primo database \nELIMINO ?",
                   260, "Confr_VerificaTabelleInPiuSuSecondoDB"};
    };
    const struct {
        int check2;
        std::vector<Box> boxes;
        Strings kept;
    } cases[] = {
        {1,
         {question("Allegata", " (allegata da db ;DATABASE=" + other + ") "), question("MSysVecchia", ""),
          question("Tenuta", ""), question("Vecchia", "")},
         {"CLIENTI", "MSysVecchia", "Tenuta"}},
        {0, {}, {"CLIENTI", "MSysVecchia"}}, // nothing asked: all go but the engine's names
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check2);
        MakeDatabase(other, {{"ORIGINE", {id}, {}, "", {{Variant(3)}}}});
        MakeDatabase(model, {{"Clienti", {id}}});
        MakeDatabase(archive, {{"CLIENTI", {id}}, {"MSysVecchia", {id}}, {"Tenuta", {id}}, {"Vecchia", {id}}},
                     {}, "", {{"Allegata", other, "ORIGINE"}});
        w.Check2.value = c.check2;
        dialogs.AnswerWhenContains("Tabella Tenuta", vbNo);
        dialogs.AnswerWhenContains("ELIMINO", vbYes);
        OpenPair();
        dao::Database before = w.Db2;
        Confr_VerificaTabelleInPiuSuSecondoDB(w);

        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_FALSE(before.IsOpen());
        EXPECT_TRUE(w.Db2.IsOpen());
        w.Db2.Close();
        EXPECT_EQ(Names("table", archive), c.kept);
        EXPECT_EQ(Rows(other, "ORIGINE"), Strings{"Long 3"}); // only the attachment went
        std::filesystem::remove(Host(other));
        ResetPair();
    }
}

} // namespace
