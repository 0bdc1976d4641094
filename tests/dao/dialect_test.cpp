// Jet SQL as Access databases hold it, run through the engine: dates that stay dates, the statements
// Access writes (crosstabs, make-table, updates over joins, ALTER COLUMN), names without regard to case,
// validation rules on every save, and the numbers of what Jet refuses.

#include "dao_fixture.h"

#include "dao/vb/functions.h"

namespace ledrana::dao::testing {
namespace {

class DialectTest : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db_ =
            Create("d.mdb",
                   {
                       "CREATE TABLE T (Id LONG, Nome TEXT(20), Data DATETIME, Importo CURRENCY, Flag YESNO)",
                       "INSERT INTO T VALUES (1, 'Rossi', #1/2/2021 10:30#, 12.5, True)",
                       "INSERT INTO T VALUES (2, 'Bianchi', #3/15/2020#, 7, False)",
                       "INSERT INTO T VALUES (3, 'Verdi', Null, 1, True)",
                   });
    }
    // The first value of a query and the type of its first column.
    std::pair<Variant, int> Typed(const std::string& sql) {
        Recordset rs = db_.OpenRecordset(sql);
        std::pair<Variant, int> out{rs.Fields()[0].Value(), rs.Fields()[0].Type()};
        rs.Close();
        return out;
    }
};

Variant Day(int y, int m, int d, int h = 0, int n = 0) {
    return Variant::FromDate(y, m, d, h, n);
}

// Dates keep their type through expressions; the $ forms and Jet's boolean names are understood.
TEST_F(DialectTest, ExpressionsKeepTheirValuesAndTypes) {
    struct Case {
        const char* sql;
        Variant value;
        int type; // 0: not checked
    } cases[] = {
        {"SELECT #2020-01-02 13:45#", Day(2020, 1, 2, 13, 45), dbDate},
        {"SELECT CStr(#1/2/2020#)", Variant("02/01/2020"), dbText},
        {"SELECT CStr(TimeSerial(10, 5, 0))", Variant("10.05.00"), dbText},
        {"SELECT CStr(Data) FROM T WHERE Id = 1", Variant("02/01/2021 10.30.00"), dbText},
        {"SELECT Data & '' FROM T WHERE Id = 2", Variant("15/03/2020"), dbText},
        {"SELECT 'Il ' & T.Data FROM T WHERE Id = 2", Variant("Il 15/03/2020"), dbText},
        {"SELECT Data & '' FROM T WHERE Id = 3", Variant(""), dbText},
        {"SELECT Max(Data) FROM T", Day(2021, 1, 2, 10, 30), dbDate},
        {"SELECT Min(Data) AS Primo FROM T", Day(2020, 3, 15), dbDate},
        {"SELECT CStr(Max(Data)) FROM T", Variant("02/01/2021 10.30.00"), dbText},
        {"SELECT DateSerial(2020, 2, 30)", Day(2020, 3, 1), dbDate},
        {"SELECT DateAdd('d', 1, Data) FROM T WHERE Id = 2", Day(2020, 3, 16), dbDate},
        {"SELECT Data + 1 FROM T WHERE Id = 2", Day(2020, 3, 16), dbDate},
        {"SELECT #1/3/2020# - #1/1/2020#", Variant(2.0), 0},
        {"SELECT Format(Data, 'dd mmmm yyyy') FROM T WHERE Id = 2", Variant("15 marzo 2020"), dbText},
        {"SELECT Format(Data) FROM T WHERE Id = 2", Variant("15/03/2020"), dbText},
        {"SELECT Left(Data, 5) FROM T WHERE Id = 2", Variant("15/03"), dbText},
        {"SELECT IIf(Id = 2, Data, Null) FROM T WHERE Id = 2", Day(2020, 3, 15), dbDate},
        {"SELECT Nz(Data, #1/1/2000#) FROM T WHERE Id = 3", Day(2000, 1, 1), dbDate},
        {"SELECT TOP 1 Data FROM T ORDER BY Data DESC", Day(2021, 1, 2, 10, 30), dbDate},
        // The $ forms of the text functions, and Jet's Yes/No/On/Off.
        {"SELECT Mid$('abcdef', 2, 3)", Variant("bcd"), dbText},
        {"SELECT Left$(Nome, 2) & Right$(Nome, 1) FROM T WHERE Id = 1", Variant("Roi"), dbText},
        {"SELECT UCase$ ('x') & Trim$(' y ')", Variant("Xy"), dbText},
        {"SELECT Format$(3.5, '0.00')", Variant("3,50"), dbText},
        {"SELECT Yes", Variant(-1), 0},
        {"SELECT No", Variant(0), 0},
        {"SELECT On", Variant(-1), 0},
        {"SELECT Off", Variant(0), 0},
    };
    for (const Case& c : cases) {
        auto [value, type] = Typed(c.sql);
        EXPECT_EQ(value, c.value) << c.sql;
        if (c.type) {
            EXPECT_EQ(type, c.type) << c.sql;
        }
        if (c.value.kind() == Variant::Kind::Date) {
            EXPECT_EQ(value.kind(), Variant::Kind::Date) << c.sql;
        }
    }
    EXPECT_EQ(Typed("SELECT Now()").second, dbDate);
    EXPECT_EQ(Typed("SELECT Date()").first.ToString().size(), 10u); // dd/mm/yyyy, no time
}

TEST_F(DialectTest, DateTextFollowsTheRegionalSettings) {
    const vb::RegionalSettings italian = vb::Regional();
    vb::SetRegional({false, '/', ':'});
    EXPECT_EQ(Scalar(db_, "SELECT CStr(#1/2/2020 9:05#)"), Variant("01/02/2020 09:05:00"));
    EXPECT_EQ(Scalar(db_, "SELECT Data FROM T WHERE Id = 2").ToString(), "03/15/2020");
    vb::SetRegional(italian);
    EXPECT_EQ(Scalar(db_, "SELECT Data FROM T WHERE Id = 2").ToString(), "15/03/2020");
}

TEST_F(DialectTest, NamesMatchWithoutCaseForAccentedLetters) {
    db_.Execute("CREATE TABLE Società (Città TEXT(20), Perché LONG)");
    db_.Execute("INSERT INTO SOCIETÀ (CITTÀ, PERCHÉ) VALUES ('Udine', 1)");
    db_.Execute("UPDATE società SET città = UCase(CITTÀ) WHERE perché = 1");
    EXPECT_EQ(Scalar(db_, "SELECT CITTÀ FROM SOCIETÀ WHERE SOCIETÀ.PERCHÉ = 1"), Variant("UDINE"));
    EXPECT_EQ(Scalar(db_, "SELECT Count(*) FROM [SOCIETÀ] AS s WHERE s.[CITTÀ] = 'udine'"), Variant(1));
    db_.CreateQueryDef("Città Società", "SELECT CITTÀ FROM SOCIETÀ");
    EXPECT_EQ(Scalar(db_, "SELECT * FROM [CITTÀ SOCIETÀ]"), Variant("UDINE"));
}

TEST_F(DialectTest, UpdateOverJoins) {
    db_.Execute("CREATE TABLE Listino (Cod LONG, Prezzo CURRENCY)");
    db_.Execute("INSERT INTO Listino VALUES (1, 20)");
    db_.Execute("INSERT INTO Listino VALUES (2, 30)");
    db_.Execute("UPDATE T INNER JOIN Listino ON T.Id = Listino.Cod SET T.Importo = Listino.Prezzo * 2");
    EXPECT_EQ(db_.RecordsAffected(), 2);
    EXPECT_EQ(Scalar(db_, "SELECT Sum(Importo) FROM T"), Variant::FromCurrency(101));
    db_.Execute("UPDATE Listino AS L INNER JOIN T AS x ON L.Cod = x.Id SET L.Prezzo = x.Importo + 1 "
                "WHERE x.Nome = 'Bianchi'");
    EXPECT_EQ(db_.RecordsAffected(), 1);
    EXPECT_EQ(Scalar(db_, "SELECT Prezzo FROM Listino WHERE Cod = 2"), Variant::FromCurrency(61));
    db_.Execute("UPDATE (T INNER JOIN Listino ON T.Id = Listino.Cod) SET Nome = 'X' WHERE Listino.Cod = 1");
    EXPECT_EQ(Scalar(db_, "SELECT Nome FROM T WHERE Id = 1"), Variant("X"));
}

TEST_F(DialectTest, MakeTableKeepsFieldTypes) {
    db_.Execute("SELECT Id, Nome, Data, Importo * 2 AS Doppio, Max(Data) AS Ultima INTO Copia FROM T "
                "WHERE Id < 3 GROUP BY Id, Nome, Data, Importo");
    EXPECT_EQ(db_.RecordsAffected(), 2);
    TableDef t = db_.TableDefs()["Copia"];
    const std::pair<const char*, int> fields[] = {
        {"Id", dbLong}, {"Nome", dbText}, {"Data", dbDate}, {"Doppio", dbCurrency}, {"Ultima", dbDate}};
    for (const auto& [field, type] : fields)
        EXPECT_EQ(t.Fields()[field].Type(), type) << field;
    EXPECT_EQ(t.Fields()["Nome"].Size(), 20);
    EXPECT_EQ(Scalar(db_, "SELECT Ultima FROM Copia WHERE Id = 2"), Day(2020, 3, 15));
    EXPECT_EQ(ErrorOf([&] { db_.Execute("SELECT * INTO Copia FROM T"); }), 3010);
}

TEST_F(DialectTest, CrosstabHeadingsFromDataOrListed) {
    db_.Execute("CREATE TABLE Vendite (Anno SHORT, Mese SHORT, Importo DOUBLE)");
    for (const char* v : {"(2020, 1, 10)", "(2020, 1, 5)", "(2020, 3, 7)", "(2021, 2, 4)"})
        db_.Execute(std::string("INSERT INTO Vendite VALUES ") + v);
    EXPECT_EQ(
        Rows(db_, "TRANSFORM Sum(Importo) AS Totale SELECT Anno FROM Vendite GROUP BY Anno PIVOT Mese", true),
        "Anno|1|2|3;2020|15|Null|7;2021|Null|4|Null");
    EXPECT_EQ(Rows(db_,
                   "TRANSFORM Count(*) SELECT Anno, Sum(Importo) AS Tot FROM Vendite WHERE Importo > 4 "
                   "GROUP BY Anno ORDER BY Anno DESC PIVOT 'M' & Mese IN ('M3', 'M1', 'M9')",
                   true),
              "Anno|Tot|M3|M1|M9;2020|22|1|2|Null");
}

TEST_F(DialectTest, AlterColumnConvertsValues) {
    db_.Execute("CREATE TABLE A (Cod TEXT(10), Num TEXT(10), K LONG, CONSTRAINT PK PRIMARY KEY (K))");
    db_.Execute("INSERT INTO A VALUES ('abcdef', '12', 1)");
    db_.Execute("INSERT INTO A VALUES ('g', 'x', 2)");
    db_.Execute("ALTER TABLE A ALTER COLUMN Cod TEXT(3)");
    db_.Execute("ALTER TABLE A ALTER COLUMN Num LONG");
    TableDef t = db_.TableDefs()["A"];
    EXPECT_EQ(t.Fields()["Cod"].Size(), 3);
    EXPECT_EQ(t.Fields()[0].Name(), "Cod");
    EXPECT_EQ(t.Fields()["Num"].Type(), dbLong);
    EXPECT_EQ(Scalar(db_, "SELECT Cod & '/' & Num FROM A WHERE K = 1"), Variant("abc/12"));
    EXPECT_TRUE(Scalar(db_, "SELECT Num FROM A WHERE K = 2").IsNull());
    EXPECT_EQ(ErrorOf([&] { db_.Execute("ALTER TABLE A ALTER COLUMN K TEXT(5)"); }), 3280);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("ALTER TABLE A ALTER COLUMN Manca LONG"); }), 3265);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("ALTER TABLE Manca ALTER COLUMN X LONG"); }), 3078);
}

TEST_F(DialectTest, ValidationRulesOnEverySave) {
    TableDef t = db_.TableDefs()["T"];
    t.Fields()["Importo"].SetValidationRule(">0 Or Is Null");
    t.Fields()["Importo"].SetValidationText("L'importo deve essere positivo");
    t.Fields()["Nome"].SetValidationRule("Not Like '*!*'");
    t.SetValidationRule("[Id] < 100 Or [Flag] = True");

    Recordset rs = db_.OpenRecordset("T");
    rs.AddNew();
    Set(rs, {{"Id", 4}, {"Importo", -1}});
    EXPECT_EQ(Failure([&] { rs.Update(); }), "3317 L'importo deve essere positivo");
    Set(rs, {{"Importo", Variant::Null()}, {"Nome", "Ahi!"}});
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3317);
    Set(rs, {{"Nome", "Neri"}, {"Id", 200}, {"Flag", false}});
    const std::string tableRule = Failure([&] { rs.Update(); });
    EXPECT_EQ(tableRule.rfind("3316 ", 0), 0u) << tableRule;
    EXPECT_NE(tableRule.find("[Id] < 100 Or [Flag] = True"), std::string::npos) << tableRule;
    rs.Fields()["Flag"].SetValue(true);
    rs.Update();
    rs.Close();
    // Execute: rows that break a rule are skipped, or fail the statement with dbFailOnError.
    struct Case {
        const char* sql;
        int options;
        int error;
        std::int64_t affected;
    } cases[] = {
        {"UPDATE T SET Importo = Importo - 5", 0, 0, 3}, // Id 3 would go to -4; Null - 5 passes
        {"UPDATE T SET Importo = 0 WHERE Id = 1", dbFailOnError, 3317, 0},
        {"INSERT INTO T (Id, Importo) VALUES (5, -2)", 0, 0, 0},
        {"INSERT INTO T (Id, Importo) VALUES (5, -2)", dbFailOnError, 3317, 0},
        {"INSERT INTO T (Id, Flag) VALUES (500, False)", dbFailOnError, 3316, 0},
        {"INSERT INTO T (Id, Flag) VALUES (500, True)", dbFailOnError, 0, 1},
        {"UPDATE T SET Id = Id + 1000 WHERE Flag = False", 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { db_.Execute(c.sql, c.options); }), c.error) << c.sql;
        if (!c.error) {
            EXPECT_EQ(db_.RecordsAffected(), c.affected) << c.sql;
        }
    }
    EXPECT_EQ(Scalar(db_, "SELECT Sum(Importo) FROM T"), Variant(7.5 + 2 + 1));
}

TEST_F(DialectTest, ParametersOfSavedQueries) {
    db_.CreateQueryDef("Dal", "PARAMETERS Inizio DateTime; SELECT Nome FROM T WHERE Data >= Inizio");
    EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("Dal"); }), 3061);
    EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("SELECT * FROM Dal"); }), 3061);

    QueryDef q = db_.QueryDefs()["Dal"];
    ASSERT_EQ(q.Parameters().Count(), 1);
    EXPECT_EQ(q.Parameters()[0].Type(), dbDate);
    q.Parameters()["INIZIO"].SetValue("01/01/2021");
    EXPECT_EQ(q.Parameters()[0].Value(), Day(2021, 1, 1));
    EXPECT_EQ(Rows(q.OpenRecordset()), "Rossi");

    db_.CreateQueryDef("Alza",
                       "PARAMETERS Quanto Currency, Chi Text; UPDATE T SET Importo = Importo + Quanto "
                       "WHERE Nome = Chi");
    QueryDef alza = db_.QueryDefs()["Alza"];
    alza.Parameters()["Quanto"].SetValue(2);
    EXPECT_EQ(ErrorOf([&] { alza.Execute(); }), 3061);
    alza.Parameters()["Chi"].SetValue("verdi");
    alza.Execute();
    EXPECT_EQ(alza.RecordsAffected(), 1);
    EXPECT_EQ(Scalar(db_, "SELECT Importo FROM T WHERE Id = 3"), Variant::FromCurrency(3));

    db_.CreateQueryDef("Anno", "PARAMETERS [Forms]![Dlg]![Anno] Short; SELECT Count(*) FROM T "
                               "WHERE Year(Data) = [Forms]![Dlg]![Anno]");
    QueryDef anno = db_.QueryDefs()["Anno"];
    EXPECT_EQ(anno.Parameters()[0].Name(), "Forms!Dlg!Anno");
    anno.Parameters()[0].SetValue(2020);
    EXPECT_EQ(Rows(anno.OpenRecordset()), "1");
}

} // namespace
} // namespace ledrana::dao::testing
