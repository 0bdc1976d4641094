#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;

namespace {

class QueryTest : public SchemaTest {
protected:
    const TableSpec clienti{"CLIENTI", {{"ID", dao::dbLong}, {"NOME", dao::dbText, 40}}};
    const std::string sql = "SELECT ID, NOME FROM CLIENTI WHERE ID > 10";
};

TEST_F(QueryTest, MissingQueryIsCreatedOnYesOnly) {
    MakeDatabase(model, {clienti}, {{"QUno", sql}, {"QDue", "SELECT NOME FROM CLIENTI"}});
    MakeDatabase(archive, {clienti});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains("QDue", vbNo);
    OpenPair();
    for (int i = 0; i < 2; ++i)
        Confr_CreaQueryDef(w, w.Db1.QueryDefs()[i], w.Db2);
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{{"la query QDue non esiste: la creo", vbYesNo, "Confr_CreaQueryDef"},
                                {"la query QUno non esiste: la creo", vbYesNo, "Confr_CreaQueryDef"}}));
    w.Db2.Close();
    EXPECT_EQ(Names("query", archive), Strings{"QUno"});
    EXPECT_EQ(Open(archive).QueryDefs()["QUno"].SQL(), sql);
}

TEST_F(QueryTest, QueryIsRecreatedOnlyWhenItsTextDiffersBeyondCase) {
    struct Case {
        std::string archiveSql;
        bool recreated;
    } cases[] = {
        {"select id, nome from clienti where id > 10", false},
        {"SELECT ID, NOME FROM CLIENTI WHERE ID >  10", true},
        {"SELECT ID, NOME FROM CLIENTI\r\nWHERE ID > 10", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archiveSql);
        ResetPair();
        MakeDatabase(model, {clienti}, {{"QClienti", sql}});
        MakeDatabase(archive, {clienti}, {{"qclienti", c.archiveSql}});
        w.Check2.value = 1;
        OpenPair();
        dao::QueryDef QD2 = w.Db2.QueryDefs()["QClienti"];
        const dao::QueryDef original = QD2;
        Confr_ModificaQueryDef(w, w.Db1.QueryDefs()["QClienti"], QD2);
        const Box told{"la query QClienti e variata(forse!): la modifico", 0, "Confr_ModificaQueryDef"};
        EXPECT_EQ(Boxes(), c.recreated ? std::vector<Box>{told} : std::vector<Box>{});
        EXPECT_EQ(QD2.impl() != original.impl(), c.recreated); // the caller's query is the new one
        w.Db1.Close();
        w.Db2.Close();
        // The one query, recreated with the name as the first database writes it.
        const std::string structure = Structure(archive);
        EXPECT_EQ(structure.substr(structure.find("\nquery ") + 1),
                  (c.recreated ? "query QClienti: " + sql : "query qclienti: " + c.archiveSql) + "\n");
    }
}

TEST_F(QueryTest, SurplusQueriesAreAskedAndDb2IsReopened) {
    MakeDatabase(model, {clienti}, {{"QClienti", sql}});
    MakeDatabase(archive, {clienti}, {{"QClienti", sql}, {"QTenuta", sql}, {"QVecchia", sql}});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains("QVecchia", vbYes);
    OpenPair();
    const dao::Database before = w.Db2;
    Confr_VerificaQueryInPiuSuSecondoDB(w);
    auto question = [](const std::string& name) {
        return Box{"ATTENZIONE \nsul secondo database la query " + name +
                       "  del secondo database \nnon esiste sul primo database \nELIMINO ?",
                   260, "Confr_VerificaQueryInPiuSuSecondoDB"};
    };
    EXPECT_EQ(Boxes(), (std::vector<Box>{question("QTenuta"), question("QVecchia")}));
    EXPECT_FALSE(before.IsOpen());
    EXPECT_TRUE(w.Db2.IsOpen());
    w.Db2.Close();
    EXPECT_EQ(Names("query", archive), (Strings{"QClienti", "QTenuta"}));
}

} // namespace
