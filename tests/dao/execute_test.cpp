// Execute and saved queries: Jet's handling of rows it cannot change, DDL, and the statements the
// program runs on company archives.

#include "dao_fixture.h"

#include <sqlite3.h>

namespace ledrana::dao::testing {
namespace {

using ExecuteTest = DaoTest;

// Rows Jet cannot change: skipped (or their value made Null, or cut) without dbFailOnError; with it the
// statement fails with the row's number and changes nothing.
TEST_F(ExecuteTest, RowsThatCannotChangeAreSkippedOrFailTheStatementWhole) {
    Database db =
        Create("a.mdb", {"CREATE TABLE T (Cod TEXT(3), N SHORT, CONSTRAINT PK PRIMARY KEY (Cod))",
                         "INSERT INTO T (Cod, N) VALUES ('a', 1)", "INSERT INTO T (Cod, N) VALUES ('b', 2)",
                         "INSERT INTO T (Cod, N) VALUES ('c', 3)"});
    struct Case {
        const char* sql;
        int options, error;
        const char* check; // a count or a value after the statement
        Variant expected;
    };
    const Case cases[] = {
        // A duplicate key.
        {"INSERT INTO T (Cod, N) VALUES ('A', 9)", 0, 0, "SELECT N FROM T WHERE Cod = 'a'", Variant(1)},
        {"UPDATE T SET Cod = 'b' WHERE Cod = 'a'", 0, 0, "SELECT count(*) FROM T WHERE Cod = 'a'",
         Variant(1)},
        {"UPDATE T SET Cod = 'c' WHERE Cod IN ('a', 'b')", dbFailOnError, 3022,
         "SELECT count(*) FROM T WHERE Cod IN ('a', 'b')", Variant(2)},
        // A Null in the primary key, however it would come.
        {"INSERT INTO T (N) VALUES (4)", 0, 0, "SELECT count(*) FROM T", Variant(3)},
        {"INSERT INTO T (N) VALUES (4)", dbFailOnError, 3058, "SELECT count(*) FROM T", Variant(3)},
        {"INSERT INTO T (Cod, N) SELECT IIf(N = 2, Null, Cod & 'x'), N FROM T", 0, 0,
         "SELECT count(*) FROM T WHERE Cod LIKE '?x'", Variant(2)},
        {"UPDATE T SET Cod = Null WHERE N = 1", 0, 0, "SELECT count(*) FROM T WHERE Cod IS NULL", Variant(0)},
        {"UPDATE T SET Cod = Null WHERE N = 1", dbFailOnError, 3058, "SELECT count(*) FROM T WHERE N = 1",
         Variant(2)},
        {"DELETE * FROM T WHERE Cod LIKE '?x'", 0, 0, "SELECT count(*) FROM T", Variant(3)},
        // A value that cannot be converted becomes Null.
        {"UPDATE T SET N = 'abc' WHERE Cod = 'a'", 0, 0, "SELECT count(*) FROM T WHERE N IS NULL",
         Variant(1)},
        {"UPDATE T SET N = N * 20000", dbFailOnError, 3349, "SELECT N FROM T WHERE Cod = 'c'", Variant(3)},
        {"UPDATE T SET N = 'x' & N", dbFailOnError, 3421, "SELECT N FROM T WHERE Cod = 'c'", Variant(3)},
        // Text too long is cut.
        {"INSERT INTO T (Cod, N) VALUES ('dddd', 4)", 0, 0, "SELECT N FROM T WHERE Cod = 'ddd'", Variant(4)},
        // A zero-length text where the field allows none.
        {"UPDATE T SET Cod = '' WHERE Cod = 'c'", 0, 0, "SELECT count(*) FROM T WHERE Cod = 'c'", Variant(1)},
        {"SELECT * FROM T", 0, 3065, "SELECT count(*) FROM T", Variant(4)},
        {"DELETE * FROM Manca", 0, 3078, "SELECT count(*) FROM T", Variant(4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { db.Execute(c.sql, c.options); }), c.error) << c.sql;
        EXPECT_EQ(Scalar(db, c.check), c.expected) << c.sql;
    }
    // Required and zero-length rules skip the row, or fail it.
    TableDef t = db.TableDefs()["T"];
    t.Fields()["N"].SetRequired(true);
    db.Execute("INSERT INTO T (Cod) VALUES ('e')");
    EXPECT_EQ(db.RecordsAffected(), 0);
    EXPECT_EQ(ErrorOf([&] { db.Execute("INSERT INTO T (Cod) VALUES ('e')", dbFailOnError); }), 3314);
    t.Fields()["Cod"].SetAllowZeroLength(true);
    db.Execute("UPDATE T SET Cod = '' WHERE Cod = 'c'");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM T WHERE Cod = ''"), Variant(1));
    // A recordset may not leave a key Null either.
    Recordset rs = db.OpenRecordset("T");
    rs.AddNew();
    rs.Fields()["N"].SetValue(5);
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3058);
    rs.CancelUpdate();
    rs.Edit();
    rs.Fields()["Cod"].SetValue(Variant::Null());
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3058);
    rs.CancelUpdate();
    rs.Close();
    db.Close();
}

// A row that another program stored with a Null key stays: it is counted, read and updated.
TEST_F(ExecuteTest, OldRowsWithANullKeyStayUpdatable) {
    Create("a.mdb", {"CREATE TABLE T (Cod TEXT(3), N LONG, CONSTRAINT PK PRIMARY KEY (Cod))",
                     "INSERT INTO T VALUES ('a', 1)"})
        .Close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(Path("a.mdb").c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(raw, "INSERT INTO T (Cod, N) VALUES (NULL, 2), (NULL, 3)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(raw);
    Database db = engine_.OpenDatabase(Path("a.mdb"));
    EXPECT_EQ(db.TableDefs()["T"].NullKeyRows(), 2);
    db.Execute("UPDATE T SET N = N * 10", dbFailOnError);
    Recordset rs = db.OpenRecordset("SELECT * FROM T WHERE Cod IS NULL ORDER BY N");
    rs.Edit();
    rs.Fields()["N"].SetValue(7);
    rs.Update();
    rs.Close();
    EXPECT_EQ(Scalar(db, "SELECT Sum(N) FROM T"), Variant(47));
    db.Close();
}

TEST_F(ExecuteTest, JetDdlBuildsTheCatalog) {
    Database db = Create("a.mdb", {"CREATE TABLE [Tab Uno] (Id COUNTER, Cod TEXT(8) NOT NULL, Descr MEMO, "
                                   "Importo CURRENCY, Giorno DATETIME, Flag YESNO, Peso SINGLE, Qta SHORT, "
                                   "Num LONG, Valore DOUBLE, Bin LONGBINARY, CONSTRAINT PK PRIMARY KEY (Id))",
                                   "CREATE UNIQUE INDEX ixCod ON [Tab Uno] (Cod)",
                                   "ALTER TABLE [Tab Uno] ADD COLUMN Extra TEXT(12)"});
    TableDef t = db.TableDefs()["tab uno"];
    struct Expect {
        const char* field;
        int type, size, attributes;
    };
    for (Expect e :
         {Expect{"Id", dbLong, 4, 17}, Expect{"Cod", dbText, 8, 2}, Expect{"Descr", dbMemo, 0, 2},
          Expect{"Importo", dbCurrency, 8, 1}, Expect{"Giorno", dbDate, 8, 1},
          Expect{"Flag", dbBoolean, 1, 1}, Expect{"Peso", dbSingle, 4, 1}, Expect{"Qta", dbInteger, 2, 1},
          Expect{"Num", dbLong, 4, 1}, Expect{"Valore", dbDouble, 8, 1}, Expect{"Bin", dbLongBinary, 0, 2},
          Expect{"Extra", dbText, 12, 2}}) {
        Field f = t.Fields()[e.field];
        EXPECT_EQ(f.Type(), e.type) << e.field;
        EXPECT_EQ(f.Size(), e.size) << e.field;
        EXPECT_EQ(f.Attributes(), e.attributes) << e.field;
    }
    EXPECT_TRUE(t.Fields()["Cod"].Required());
    EXPECT_TRUE(t.Indexes()["PK"].Primary());
    EXPECT_TRUE(t.Indexes()["ixCod"].Unique());
    EXPECT_EQ(ErrorOf([&] { db.Execute("ALTER TABLE [Tab Uno] DROP COLUMN Cod"); }), 3280);
    db.Execute("DROP INDEX ixCod ON [Tab Uno]");
    db.Execute("ALTER TABLE [Tab Uno] DROP COLUMN Cod");
    EXPECT_EQ(t.Fields().Count(), 11);
    EXPECT_EQ(ErrorOf([&] { db.Execute("CREATE TABLE [TAB UNO] (A LONG)"); }), 3010);
    // A name with a blank written without brackets does not read, as in Jet.
    EXPECT_NE(ErrorOf([&] { db.Execute("update Tab Uno set Extra=Extra"); }), 0);
    EXPECT_NE(ErrorOf([&] { db.OpenRecordset("select * from Tab Uno"); }), 0);
    db.Execute("DROP TABLE [Tab Uno]");
    EXPECT_EQ(ErrorOf([&] { db.TableDefs()["Tab Uno"]; }), 3265);
    db.Close();
}

TEST_F(ExecuteTest, SavedQueriesAreCheckedKeptAsWrittenAndUsableInFrom) {
    Database db = Create("a.mdb", {"CREATE TABLE Clienti (Cod TEXT(5), Citta TEXT(20), Fido CURRENCY)",
                                   "INSERT INTO Clienti VALUES ('A', 'Roma', 100)",
                                   "INSERT INTO Clienti VALUES ('B', 'Milano', 50)"});
    EXPECT_EQ(ErrorOf([&] { db.CreateQueryDef("Q0", "SELECT * FROM Nessuna"); }), 3078);
    EXPECT_NE(ErrorOf([&] { db.CreateQueryDef("Q0", "SELECT * FRM Clienti"); }), 0);
    EXPECT_EQ(db.QueryDefs().Count(), 0);
    const std::string sql = "SELECT Cod, Fido\r\nFROM Clienti\r\nWHERE Citta = \"Roma\";";
    db.CreateQueryDef("ClientiRoma", sql).Close();
    EXPECT_EQ(db.QueryDefs()["clientiroma"].SQL(), sql);
    db.CreateQueryDef("Grandi", "SELECT Cod FROM ClientiRoma WHERE Fido > 10");
    EXPECT_EQ(Scalar(db, "Grandi"), Variant("A"));
    Recordset rs = db.QueryDefs()["Grandi"].OpenRecordset();
    EXPECT_EQ(rs.Fields()[0].Value(), Variant("A"));
    rs.Close();
    EXPECT_EQ(ErrorOf([&] { db.CreateQueryDef("GRANDI", "SELECT * FROM Clienti"); }), 3012);
    db.QueryDefs().Delete("ClientiRoma");
    EXPECT_EQ(ErrorOf([&] { db.OpenRecordset("Grandi"); }), 3078);
    db.Close();
}

// The statements the update runs on company archives, with the rows they must leave.
TEST_F(ExecuteTest, StatementsOfTheCompanyUpdate) {
    Database db = Create(
        "a.mdb",
        {
            "CREATE TABLE anni (ver TEXT(10), Anno INTEGER, EURO YESNO)",
            "CREATE TABLE FATTURECLI (CLIFOR TEXT(10), CLIENTE TEXT(10), CFP TEXT(1))",
            "CREATE TABLE ORDINIFOR (TIPODOC TEXT(1))",
            "CREATE TABLE TIPIFATTURECLI (CFP TEXT(1), TIPO TEXT(40), tipostampa TEXT(20), logo TEXT(50))",
            "CREATE TABLE CLIENTI (PREZZI123 INTEGER)",
            "CREATE TABLE Articoli (Dt DATETIME, ANNO INTEGER, NumDoc LONG, Riva TEXT(5), conto TEXT(10))",
            "CREATE TABLE MOVIMENTI (ANNO INTEGER, NumDoc LONG, posi INTEGER, ImpoDare CURRENCY)",
            "CREATE TABLE BANCHE (contocorrente TEXT(20))",
            "CREATE TABLE causali (cod TEXT(5), Descrizione TEXT(40), Ripete YESNO)",
        });
    for (auto* f : {"FATTURECLI.CLIENTE", "FATTURECLI.CLIFOR", "TIPIFATTURECLI.TIPO", "TIPIFATTURECLI.CFP",
                    "ORDINIFOR.TIPODOC", "anni.ver"}) {
        std::string s = f;
        db.TableDefs()[s.substr(0, s.find('.'))].Fields()[s.substr(s.find('.') + 1)].SetAllowZeroLength(true);
    }
    for (const char* s :
         {"INSERT INTO anni VALUES ('027', 2023, False)", "INSERT INTO FATTURECLI VALUES ('', 'C1', 'F')",
          "INSERT INTO FATTURECLI VALUES (NULL, 'C2', 'F')", "INSERT INTO ORDINIFOR VALUES ('')",
          "INSERT INTO TIPIFATTURECLI VALUES ('', '', 'FATTURA', NULL)",
          "INSERT INTO TIPIFATTURECLI VALUES ('X', '', 'BOLLA', NULL)",
          "INSERT INTO TIPIFATTURECLI VALUES ('X', '', 'SCONTRINOSCARICO', NULL)",
          "INSERT INTO CLIENTI VALUES (0)", "INSERT INTO Articoli VALUES (#3/15/2024#, 0, 1, NULL, 'x')",
          "INSERT INTO Articoli VALUES (#12/1/2024#, 0, 2, 'V', 'y')",
          "INSERT INTO MOVIMENTI VALUES (0, 1, 2, 5)", "INSERT INTO MOVIMENTI VALUES (0, 1, 1, 0)",
          "INSERT INTO BANCHE VALUES ('123456789/99')", "INSERT INTO BANCHE VALUES ('1')",
          "INSERT INTO causali VALUES ('1v', 'vecchia', True)"})
        db.Execute(s);
    struct Case {
        const char* sql;
        const char* check;
        Variant expected;
    };
    const Case cases[] = {
        {"UPDATE ANNI SET VER='048.5'", "SELECT ver FROM anni", Variant("048.5")},
        {"Update FATTURECLI   set CLIFOR=CLIENTE,CFP='C',CLIENTE='' where CLIFOR='' OR CLIFOR=NULL",
         "SELECT count(*) FROM FATTURECLI WHERE CLIFOR = 'C1' AND CFP = 'C' AND CLIENTE = ''", Variant(1)},
        // "= NULL" is never true: the Null row stays as it was.
        {"Update FATTURECLI   set CLIFOR=CLIENTE,CFP='C',CLIENTE='' where CLIFOR='' OR CLIFOR=NULL",
         "SELECT CLIENTE FROM FATTURECLI WHERE CLIFOR IS NULL", Variant("C2")},
        {"Update ORDINIFOR   set TIPODOC='O' where TIPODOC='' OR TIPODOC=NULL",
         "SELECT TIPODOC FROM ORDINIFOR", Variant("O")},
        {"Update TIPIFATTURECLI set CFP='C' where CFP='' OR CFP=NULL",
         "SELECT count(*) FROM TIPIFATTURECLI WHERE CFP = 'C'", Variant(1)},
        {"Update TIPIFATTURECLI set TIPO='Fattura' where tipostampa='FATTURA' and (tipo='' OR tipo=NULL)",
         "SELECT TIPO FROM TIPIFATTURECLI WHERE tipostampa = 'fattura'", Variant("Fattura")},
        {"Update TIPIFATTURECLI set TIPO='Documento di trasporto D.D.T.' where tipostampa='BOLLA' and "
         "(tipo='' OR tipo=NULL)",
         "SELECT TIPO FROM TIPIFATTURECLI WHERE tipostampa = 'BOLLA'",
         Variant("Documento di trasporto D.D.T.")},
        {"Update TIPIFATTURECLI set TIPO='Scontr.scarico(non fiscale)' where tipostampa='SCONTRINOSCARICO' "
         "and (tipo='' OR tipo=NULL)",
         "SELECT TIPO FROM TIPIFATTURECLI WHERE tipostampa = 'SCONTRINOSCARICO'",
         Variant("Scontr.scarico(non fiscale)")},
        {"Update CLIENTI set PREZZI123=1 ", "SELECT PREZZI123 FROM CLIENTI", Variant(1)},
        {"UPDATE ARTICOLI SET ANNO=2024 WHERE ANNO=0", "SELECT count(*) FROM Articoli WHERE ANNO = 2024",
         Variant(2)},
        {"UPDATE MOVIMENTI SET ANNO=2024 WHERE ANNO=0", "SELECT count(*) FROM MOVIMENTI WHERE ANNO = 2024",
         Variant(2)},
        {"delete * from BANCHE where contocorrente='123456789/99'", "SELECT count(*) FROM BANCHE",
         Variant(1)},
        {"Delete * from causali where cod='1V'", "SELECT count(*) FROM causali", Variant(0)},
        {"delete * from BANCHE", "SELECT count(*) FROM BANCHE", Variant(0)},
    };
    for (const Case& c : cases) {
        db.Execute(c.sql);
        EXPECT_EQ(Scalar(db, c.check), c.expected) << c.sql;
    }
    Recordset years = db.OpenRecordset("SELECT Year([Dt]) AS ANNO From Articoli GROUP BY Year([Dt])");
    EXPECT_EQ(years.RecordCount(), 1);
    EXPECT_EQ(years.Fields()["Anno"].Value(), Variant(2024));
    years.Close();
    Recordset art = db.OpenRecordset("select * from articoli order by anno,numdoc");
    EXPECT_TRUE(art.Updatable());
    Recordset mov =
        db.OpenRecordset("select * from movimenti where NumDoc=" + art.Fields()["NumDoc"].Value().ToString() +
                         " and anno=" + art.Fields()["Anno"].Value().ToString() + " order by posi");
    EXPECT_EQ(mov.Fields()["posi"].Value(), Variant(1));
    mov.Close();
    art.Edit();
    art.Fields()["conto"].SetValue("DIVERSI");
    art.Update();
    art.Close();
    EXPECT_EQ(Scalar(db, "SELECT conto FROM Articoli WHERE NumDoc = 1"), Variant("DIVERSI"));
    db.Close();
}

TEST_F(ExecuteTest, AttachedTablesReadTheirSourceAndDeleteOnlyTheLink) {
    Database src = Create("src.mdb", {"CREATE TABLE Banche (Cod TEXT(5), Nome TEXT(30))",
                                      "INSERT INTO Banche VALUES ('01', 'Banca Uno')"});
    src.Close();
    Database db = Create("a.mdb");
    TableDef link = db.CreateTableDef("BancheEsterne", 0, "Banche", ";DATABASE=" + Path("src.mdb"));
    db.TableDefs().Append(link);
    TableDef t = db.TableDefs()["bancheesterne"];
    EXPECT_EQ(t.Attributes(), dbAttachedTable);
    EXPECT_EQ(t.Connect(), ";DATABASE=" + Path("src.mdb"));
    EXPECT_EQ(t.RecordCount(), -1);
    EXPECT_EQ(t.Fields()["Nome"].Size(), 30);
    EXPECT_EQ(Scalar(db, "SELECT Nome FROM BancheEsterne WHERE Cod = '01'"), Variant("Banca Uno"));
    Recordset rs = db.OpenRecordset("BancheEsterne");
    EXPECT_EQ(rs.Type(), dbOpenDynaset);
    rs.AddNew();
    rs.Fields()["Cod"].SetValue("02");
    rs.Update();
    rs.Close();
    db.TableDefs().Delete("BancheEsterne");
    db.Close();
    Database again = engine_.OpenDatabase(Path("src.mdb"));
    EXPECT_EQ(Scalar(again, "SELECT count(*) FROM Banche"), Variant(2));
    again.Close();
}

} // namespace
} // namespace ledrana::dao::testing
