// Execute and saved queries: Jet's handling of rows it cannot change, DDL, and attached tables (the
// statements the program runs on company archives are checked with the procedures that run them); rows
// appended from another file.

#include "dao_fixture.h"

namespace ledrana::dao::testing {
namespace {

using ExecuteTest = DaoTest;

// Rows Jet cannot change: skipped (or their value made Null, or cut) without dbFailOnError; with it the
// statement fails with the row's number and changes nothing.
TEST_F(ExecuteTest, RowsThatCannotChangeAreSkippedOrFailTheStatementWhole) {
    db_ = Create("a.mdb", {"CREATE TABLE T (Cod TEXT(3), N SHORT, CONSTRAINT PK PRIMARY KEY (Cod))",
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
        EXPECT_EQ(ErrorOf([&] { db_.Execute(c.sql, c.options); }), c.error) << c.sql;
        EXPECT_EQ(Scalar(db_, c.check), c.expected) << c.sql;
    }
    // Required and zero-length rules skip the row, or fail it.
    TableDef t = db_.TableDefs()["T"];
    t.Fields()["N"].SetRequired(true);
    db_.Execute("INSERT INTO T (Cod) VALUES ('e')");
    EXPECT_EQ(db_.RecordsAffected(), 0);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("INSERT INTO T (Cod) VALUES ('e')", dbFailOnError); }), 3314);
    t.Fields()["Cod"].SetAllowZeroLength(true);
    db_.Execute("UPDATE T SET Cod = '' WHERE Cod = 'c'");
    EXPECT_EQ(Scalar(db_, "SELECT count(*) FROM T WHERE Cod = ''"), Variant(1));
    // A recordset may not leave a key Null either.
    Recordset rs = db_.OpenRecordset("T");
    EXPECT_EQ(ErrorOf([&] { Add(rs, {{"N", 5}}); }), 3058);
    rs.CancelUpdate();
    EXPECT_EQ(ErrorOf([&] { Change(rs, {{"Cod", Variant::Null()}}); }), 3058);
    rs.CancelUpdate();
    rs.Close();
}

// A row that another program stored with a Null key stays: it is counted, read and updated.
TEST_F(ExecuteTest, OldRowsWithANullKeyStayUpdatable) {
    Create("a.mdb", {"CREATE TABLE T (Cod TEXT(3), N LONG, CONSTRAINT PK PRIMARY KEY (Cod))",
                     "INSERT INTO T VALUES ('a', 1)"})
        .Close();
    Sqlite("a.mdb", "INSERT INTO T (Cod, N) VALUES (NULL, 2), (NULL, 3)");
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    EXPECT_EQ(db_.TableDefs()["T"].NullKeyRows(), 2);
    db_.Execute("UPDATE T SET N = N * 10", dbFailOnError);
    Recordset rs = db_.OpenRecordset("SELECT * FROM T WHERE Cod IS NULL ORDER BY N");
    Change(rs, {{"N", 7}});
    rs.Close();
    EXPECT_EQ(Scalar(db_, "SELECT Sum(N) FROM T"), Variant(47));
}

TEST_F(ExecuteTest, JetDdlBuildsTheCatalog) {
    db_ = Create("a.mdb", {"CREATE TABLE [Tab Uno] (Id COUNTER, Cod TEXT(8) NOT NULL, Descr MEMO, "
                           "Importo CURRENCY, Giorno DATETIME, Flag YESNO, Peso SINGLE, Qta SHORT, "
                           "Num LONG, Valore DOUBLE, Bin LONGBINARY, CONSTRAINT PK PRIMARY KEY (Id))",
                           "CREATE UNIQUE INDEX ixCod ON [Tab Uno] (Cod)",
                           "ALTER TABLE [Tab Uno] ADD COLUMN Extra TEXT(12)"});
    TableDef t = db_.TableDefs()["tab uno"];
    // Each field's name, type, size and attributes, in order.
    std::string fields;
    for (int i = 0; i < t.Fields().Count(); ++i) {
        const Field f = t.Fields()[i];
        fields += f.Name() + " " + std::to_string(f.Type()) + " " + std::to_string(f.Size()) + " " +
                  std::to_string(f.Attributes()) + ";";
    }
    EXPECT_EQ(fields, "Id 4 4 17;Cod 10 8 2;Descr 12 0 2;Importo 5 8 1;Giorno 8 8 1;Flag 1 1 1;Peso 6 4 1;"
                      "Qta 3 2 1;Num 4 4 1;Valore 7 8 1;Bin 11 0 2;Extra 10 12 2;");
    EXPECT_EQ(ErrorOf([&] { db_.Execute("ALTER TABLE [Tab Uno] DROP COLUMN Cod"); }), 3280);
    db_.Execute("DROP INDEX ixCod ON [Tab Uno]");
    db_.Execute("ALTER TABLE [Tab Uno] DROP COLUMN Cod");
    EXPECT_EQ(t.Fields().Count(), 11);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE TABLE [TAB UNO] (A LONG)"); }), 3010);
    // A name with a blank written without brackets does not read, as in Jet.
    EXPECT_NE(ErrorOf([&] { db_.Execute("update Tab Uno set Extra=Extra"); }), 0);
    EXPECT_NE(ErrorOf([&] { db_.OpenRecordset("select * from Tab Uno"); }), 0);
    db_.Execute("DROP TABLE [Tab Uno]");
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Tab Uno"]; }), 3265);
}

TEST_F(ExecuteTest, SavedQueriesAreCheckedKeptAsWrittenAndUsableInFrom) {
    db_ = Create("a.mdb", {"CREATE TABLE Clienti (Cod TEXT(5), Citta TEXT(20), Fido CURRENCY)",
                           "INSERT INTO Clienti VALUES ('A', 'Roma', 100)",
                           "INSERT INTO Clienti VALUES ('B', 'Milano', 50)"});
    EXPECT_EQ(ErrorOf([&] { db_.CreateQueryDef("Q0", "SELECT * FROM Nessuna"); }), 3078);
    EXPECT_NE(ErrorOf([&] { db_.CreateQueryDef("Q0", "SELECT * FRM Clienti"); }), 0);
    EXPECT_EQ(db_.QueryDefs().Count(), 0);
    const std::string sql = "SELECT Cod, Fido\r\nFROM Clienti\r\nWHERE Citta = \"Roma\";";
    db_.CreateQueryDef("ClientiRoma", sql).Close();
    EXPECT_EQ(db_.QueryDefs()["clientiroma"].SQL(), sql);
    db_.CreateQueryDef("Grandi", "SELECT Cod FROM ClientiRoma WHERE Fido > 10");
    EXPECT_EQ(Scalar(db_, "Grandi"), Variant("A"));
    EXPECT_EQ(Rows(db_.QueryDefs()["Grandi"].OpenRecordset()), "A");
    EXPECT_EQ(ErrorOf([&] { db_.CreateQueryDef("GRANDI", "SELECT * FROM Clienti"); }), 3012);
    db_.QueryDefs().Delete("ClientiRoma");
    EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("Grandi"); }), 3078);
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
    Add(rs, {{"Cod", "02"}});
    rs.Close();
    db.TableDefs().Delete("BancheEsterne");
    db.Close();
    Database again = engine_.OpenDatabase(Path("src.mdb"));
    EXPECT_EQ(Scalar(again, "SELECT count(*) FROM Banche"), Variant(2));
    again.Close();
}

// AppendRows: the rows of a table appended to a table of another file, each value as the source's Recordset
// reads it and as a save into the destination stores it; all of them or none.
const std::string kFields =
    "Vbool YESNO, Vbyte BYTE, Vint SHORT, Vlong LONG, Vcur CURRENCY, Vsng SINGLE, "
    "Vdbl DOUBLE, Vdate DATETIME, Tx TEXT(20), Me MEMO, Vbin BINARY(4), Vlbin LONGBINARY, "
    "Vguid GUID, Vdec DECIMAL(28,10)";

class AppendRowsTest : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        src_ = Create("a.mdb");
        src_.Execute("CREATE TABLE S (" + kFields + ")");
        const std::vector<std::vector<Variant>> rows = {
            {Variant(true), Variant::FromByte(255), Variant::FromInteger(-32768),
             Variant::FromLong(2147483647), Variant::FromCurrency(-922337203685.4775),
             Variant::FromSingle(0.1f), Variant(1e300), Variant::FromDate(2026, 12, 7, 23, 59, 58),
             Variant("Perché è così"), Variant(std::string(5000, 'x') + "€"),
             Variant::FromBinary(std::string("\0\x01\xff", 3)),
             Variant::FromBinary(std::string(1000, '\0') + "z"),
             Variant("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"),
             Variant::FromDecimal(*Decimal::Parse("-123456789012345678.0123456789"))},
            std::vector<Variant>(14, Variant::Null()),
            {Variant(false), Variant::FromByte(0), Variant::FromInteger(7), Variant::FromLong(-1),
             Variant::FromCurrency(0.0001), Variant::FromSingle(-3.4e38f), Variant(-0.5),
             Variant::FromDate(-657434.0), Variant("x"), Variant("riga"), Variant::FromBinary(""),
             Variant::FromBinary("b"), Variant::Null(), Variant::FromDecimal(*Decimal::Parse("1E-10"))}};
        // Enough rows for whole batches of the copy and the rows after the last one.
        Recordset rs = src_.OpenRecordset("S");
        for (int n = 0; n < 50; ++n)
            for (const std::vector<Variant>& row : rows) {
                rs.AddNew();
                for (std::size_t i = 0; i < row.size(); ++i)
                    rs.Fields()[static_cast<int>(i)].SetValue(row[i]);
                rs.Update();
            }
        rs.Close();
        // The memo's Null reads completed, a value the rows take at the next compaction only.
        ASSERT_EQ(src_.TableDefs()["S"].FillNulls({{"Me", Variant("completato")}}),
                  std::vector<std::int64_t>{50});
        dst_ = engine_.CreateDatabase(Path("b.mdb"), ";pwd=segreta");
    }
    void TearDown() override {
        for (Database* db : {&src_, &dst_})
            if (db->IsOpen()) db->Close();
        DaoTest::TearDown();
    }
    std::int64_t Append(const std::string& table, const RowCopy& copy) {
        return AppendRows(src_.TableDefs()["S"], dst_.TableDefs()[table], copy);
    }
    Database src_, dst_;
};

TEST_F(AppendRowsTest, EveryValueArrivesAsTheSourceReadsIt) {
    dst_.Execute("CREATE TABLE D (Pos LONG, " + kFields + ")");
    EXPECT_EQ(Append("D", {{}, "", "Pos"}), 150);
    Recordset a = src_.OpenRecordset("S"), b = dst_.OpenRecordset("D");
    for (int pos = 1; !a.Eof(); a.MoveNext(), b.MoveNext(), ++pos) {
        EXPECT_EQ(b.Fields()["Pos"].Value().Describe(), Variant::FromLong(pos).Describe());
        for (int i = 0; i < a.Fields().Count(); ++i)
            EXPECT_EQ(b.Fields()[a.Fields()[i].Name()].Value().Describe(), a.Fields()[i].Value().Describe())
                << pos << " " << a.Fields()[i].Name();
    }
    EXPECT_EQ(Scalar(dst_, "SELECT Me FROM D WHERE Pos = 2"), Variant("completato"));
}

// With the source's file attached, the rows go in one statement when every value goes as it is; a value that
// a save converts, and every refusal, have them copied as without it.
TEST_F(AppendRowsTest, AnAttachedSourceGivesTheSameRowsAndRefusals) {
    // A Decimal, and a Currency of more than four decimals, are converted by a save: all fields but those go
    // as they are.
    const std::string asStored =
        "Vbool YESNO, Vbyte BYTE, Vint SHORT, Vlong LONG, Vsng SINGLE, Vdbl DOUBLE, "
        "Vdate DATETIME, Tx TEXT(20), Me MEMO, Vbin BINARY(4), Vlbin LONGBINARY, Vguid GUID";
    for (const char* table : {"Plain", "D"})
        dst_.Execute("CREATE TABLE " + std::string(table) + " (" + asStored + ")");
    for (const char* table : {"PlainAll", "Tutti"})
        dst_.Execute("CREATE TABLE " + std::string(table) + " (" + kFields + ")");
    dst_.Execute("CREATE TABLE L (X LONG)");
    dst_.Execute("CREATE TABLE E (Tx TEXT(5))");
    // A Decimal of fewer decimals takes the values rounded, as a save stores them.
    for (const char* table : {"Dec2Plain", "Dec2"})
        dst_.Execute("CREATE TABLE " + std::string(table) + " (Vdec DECIMAL(28,2))");
    EXPECT_EQ(Append("Dec2Plain", {{"Vdec"}, "", ""}), 150);
    const RowCopy fields{
        {"Vbool", "Vbyte", "Vint", "Vlong", "Vsng", "Vdbl", "Vdate", "Tx", "Me", "Vbin", "Vlbin", "Vguid"},
        "",
        ""};
    EXPECT_EQ(Append("Plain", fields), 150);
    EXPECT_EQ(Append("PlainAll", {}), 150);
    dst_.AttachForCopies(src_);
    EXPECT_EQ(Append("D", fields), 150);
    EXPECT_EQ(Rows(dst_, "SELECT * FROM D", true), Rows(dst_, "SELECT * FROM Plain", true));
    EXPECT_EQ(Append("Tutti", {}), 150);
    EXPECT_EQ(Rows(dst_, "SELECT * FROM Tutti", true), Rows(dst_, "SELECT * FROM PlainAll", true));
    EXPECT_EQ(Append("Dec2", {{"Vdec"}, "", ""}), 150);
    EXPECT_EQ(Rows(dst_, "SELECT * FROM Dec2", true), Rows(dst_, "SELECT * FROM Dec2Plain", true));
    EXPECT_EQ(Append("L", {{"Vint"}, "Vint", "", {"X"}}), 100); // a Short into a Long: converted
    EXPECT_EQ(Scalar(dst_, "SELECT sum(X) FROM L"), Variant(50.0 * (7 - 32768)));
    EXPECT_EQ(ErrorOf([&] { Append("E", {{"Tx"}, "", ""}); }), 3163);
    EXPECT_EQ(Scalar(dst_, "SELECT count(*) FROM E"), Variant(0));
}

TEST_F(AppendRowsTest, RowsWithAValueKeepTheirPlaceAndAFailedCopyLeavesNothing) {
    dst_.Execute("CREATE TABLE K (N COUNTER, Riga LONG, Tx TEXT(20))");
    Recordset open = dst_.OpenRecordset("K");
    const RowCopy texts{{"Tx"}, "Tx", "Riga"};
    dst_.BeginTrans();
    EXPECT_EQ(Append("K", texts), 100);
    dst_.Rollback();
    EXPECT_EQ(open.RecordCount(), 0);
    EXPECT_EQ(Append("K", texts), 100);
    EXPECT_EQ(open.RecordCount(), 100);
    open.AddNew();
    open.Update();
    open.Close();
    // Every third row has no text: left out, it keeps its place. The counter numbers the rows copied, then
    // the new one.
    Recordset rs = dst_.OpenRecordset("SELECT N, Riga FROM K WHERE N IN (1, 2, 3, 100, 101) ORDER BY N");
    std::string rows;
    for (; !rs.Eof(); rs.MoveNext())
        rows += rs.Fields()[0].Value().Describe() + "|" + rs.Fields()[1].Value().Describe() + ";";
    rs.Close();
    EXPECT_EQ(rows, "Long 1|Long 1;Long 2|Long 3;Long 3|Long 4;Long 100|Long 150;Long 101|Null;");

    struct Case {
        const char* table;
        RowCopy copy;
        int error;
    } cases[] = {
        {"CREATE TABLE E1 (Tx TEXT(5))", {{"Tx"}, "", ""}, 3163},
        {"CREATE TABLE E2 (Tx LONG)", {{"Tx"}, "", ""}, 3421},
        {"CREATE TABLE E3 (Tx TEXT(20) NOT NULL)", {{"Tx"}, "", ""}, 3314},
        {"CREATE TABLE E4 (Vlong BYTE)", {{"Vlong"}, "", ""}, 3349},
        {"CREATE TABLE E5 (Tx TEXT(20))", {{"Nessuno"}, "", ""}, 3265},
        {"CREATE TABLE E6 (Tx TEXT(20), CONSTRAINT PK PRIMARY KEY (Tx))", {{"Tx"}, "Tx", ""}, 3022},
    };
    for (const Case& c : cases) {
        dst_.Execute(c.table);
        const std::string table = std::string(c.table).substr(13, 2);
        EXPECT_EQ(ErrorOf([&] { Append(table, c.copy); }), c.error) << c.table;
        EXPECT_EQ(Scalar(dst_, "SELECT count(*) FROM " + table), Variant(0)) << c.table;
    }
    EXPECT_EQ(ErrorOf([&] { AppendRows(src_.TableDefs()["S"], src_.TableDefs()["S"]); }), 3219);
}

} // namespace
} // namespace ledrana::dao::testing
