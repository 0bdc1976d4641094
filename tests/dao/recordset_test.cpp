// Recordsets: movement, editing, validation on Update, values and their conversions. Decimal: exact
// arithmetic beyond a Double's digits, fields that order their values as numbers, the aggregates and
// functions over them, and conversions to and from Currency and Double.

#include "dao/handles.h"
#include "dao_fixture.h"

#include <functional>
#include <map>

namespace ledrana::dao::testing {
namespace {

class RecordsetTest : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db_ = Create("a.mdb",
                     {"CREATE TABLE T (Cod TEXT(5) NOT NULL, Nome TEXT(10), N SHORT, Importo CURRENCY, "
                      "D DATETIME, B YESNO, CONSTRAINT PK PRIMARY KEY (Cod))"});
    }
};

TEST_F(RecordsetTest, TableRecordsetWalksAndCountsExactly) {
    Recordset empty = db_.OpenRecordset("T");
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.Bof());
    EXPECT_EQ(empty.RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { empty.Edit(); }), 3021);
    EXPECT_EQ(ErrorOf([&] { (void)empty.Fields()["Cod"].Value(); }), 3021);
    EXPECT_EQ(ErrorOf([&] { empty.MoveNext(); }), 3021);
    empty.Close();
    Recordset add = db_.OpenRecordset("T");
    for (int i = 0; i < 600; ++i)
        Add(add, {{"Cod", "K" + std::to_string(i)}});
    add.Close();
    Recordset rs = db_.OpenRecordset("t");
    EXPECT_EQ(rs.Type(), dbOpenTable);
    EXPECT_EQ(rs.RecordCount(), 600);
    EXPECT_EQ(rs.Fields()["cod"].Value(), Variant("K0"));
    int n = 0;
    for (; !rs.Eof(); rs.MoveNext())
        ++n;
    EXPECT_EQ(n, 600);
    rs.MoveLast();
    EXPECT_EQ(rs.Fields()["Cod"].Value(), Variant("K599"));
    rs.MovePrevious();
    EXPECT_EQ(rs.Fields()["Cod"].Value(), Variant("K598"));
    rs.MoveFirst();
    rs.Delete();
    EXPECT_EQ(ErrorOf([&] { (void)rs.Fields()["Cod"].Value(); }), 3167);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields()["Cod"].Value(), Variant("K1"));
    EXPECT_EQ(rs.RecordCount(), 599);
    rs.Close();
    // A walk of some fields only goes in the rows' order, even where the key's index holds them all and
    // sorts "K10" before "K2".
    Recordset some = db_.TableDefs()["T"].OpenRecordset({"cod", "Nome", "COD"});
    EXPECT_EQ(some.Fields().Count(), 2);
    for (int i = 1; i < 4; ++i, some.MoveNext())
        EXPECT_EQ(some.Fields()["Cod"].Value(), Variant("K" + std::to_string(i)));
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["T"].OpenRecordset({"Nessuno"}); }), 3265);
}

TEST_F(RecordsetTest, UpdateValidatesAsJet) {
    Recordset rs = db_.OpenRecordset("T");
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3020);
    EXPECT_EQ(ErrorOf([&] { rs.Fields()["Nome"].SetValue("x"); }), 3020);
    rs.AddNew();
    EXPECT_EQ(ErrorOf([&] { rs.AddNew(); }), 3023);
    EXPECT_EQ(ErrorOf([&] { rs.Fields()["Nome"].SetValue("undici car."); }), 3163);
    EXPECT_EQ(ErrorOf([&] { rs.Fields()["N"].SetValue("abc"); }), 3421);
    rs.Fields()["Nome"].SetValue("ok");
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3314); // Cod is required
    rs.Fields()["Cod"].SetValue("");
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3315); // zero-length not allowed
    Set(rs, {{"Cod", "A"}, {"N", 70000}});
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3349);
    rs.Fields()["N"].SetValue(7);
    rs.Update();
    rs.AddNew();
    rs.Fields()["Cod"].SetValue("a");
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3022); // the key compares without regard to case
    // The failed row keeps its buffer; cancelling drops it.
    EXPECT_EQ(rs.Fields()["Cod"].Value(), Variant("a"));
    rs.CancelUpdate();
    EXPECT_EQ(rs.RecordCount(), 1);
    // A new row that is not saved is discarded by a move.
    rs.AddNew();
    rs.Fields()["Cod"].SetValue("B");
    rs.MoveFirst();
    EXPECT_EQ(rs.RecordCount(), 1);
    Change(rs, {{"Nome", "cambiato"}});
    EXPECT_EQ(rs.Fields()["Nome"].Value(), Variant("cambiato"));
    rs.Close();
    EXPECT_EQ(Scalar(db_, "SELECT Nome FROM T WHERE Cod = 'A'"), Variant("cambiato"));
}

// SQLite ends a transaction by itself after some failures (a full disk): the next write finds it gone, gives
// up what it held, structure changes with it, and reads the catalog again. A save under way looks its table
// up after that (the sanitizer build sees a look at the catalog that was given up), and refuses to write
// into a field that went with the transaction.
TEST_F(RecordsetTest, ASaveAfterTheCatalogWasReadAgainLooksTheTableUpAnew) {
    const auto lose = [&] { sqlite3_exec(db_.impl()->C().handle(), "ROLLBACK", nullptr, nullptr, nullptr); };
    db_.Close(); // the table is written
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    Recordset rs = db_.OpenRecordset("T");
    Add(rs, {{"Cod", "PERSO"}});
    lose();
    Add(rs, {{"Cod", "K"}, {"Nome", "dopo"}});
    rs.Close();
    EXPECT_EQ(Rows(db_, "SELECT Cod, Nome FROM T"), "K|dopo");

    db_.Execute("ALTER TABLE T ADD COLUMN Nuovo LONG");
    rs = db_.OpenRecordset("T");
    lose();
    rs.AddNew();
    Set(rs, {{"Cod", "J"}, {"Nuovo", 1}});
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3420);
    rs.Close();
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Cod,Nome,N,Importo,D,B");
    EXPECT_EQ(Rows(db_, "SELECT Cod FROM T"), "K");
}

TEST_F(RecordsetTest, ValuesKeepTheirTypes) {
    Recordset rs = db_.OpenRecordset("T");
    // N rounds half to even.
    Add(rs, {{"Cod", "V"},
             {"N", 2.5},
             {"Importo", 0.1 + 0.2},
             {"D", Variant::FromDate(1980, 1, 1)},
             {"B", true}});
    rs.MoveFirst();
    // Exact: the Currency to four decimals, the Date as its day number, the Boolean as -1.
    std::string values;
    for (const char* f : {"N", "Importo", "D", "B"})
        values += rs.Fields()[f].Value().Describe() + ";";
    EXPECT_EQ(values, "Integer 2;Currency 0.3;Date 01/01/1980;Boolean True;");
    EXPECT_EQ(rs.Fields()["D"].Value().RawDouble(), 29221.0);
    EXPECT_EQ(rs.Fields()["B"].Value().RawInteger(), -1);
    Change(rs, {{"D", 29221}, {"B", 0}, {"Nome", 42}});
    EXPECT_EQ(rs.Fields()["Nome"].Value(), Variant("42"));
    rs.Close();
    EXPECT_EQ(Scalar(db_, "SELECT B FROM T"), Variant(0));
    EXPECT_EQ(Scalar(db_, "SELECT count(*) FROM T WHERE D = #1/1/1980#"), Variant(1));
}

TEST_F(RecordsetTest, DynasetsUpdatableOnlyOverOneTable) {
    db_.Execute("CREATE TABLE R (Cod TEXT(5), Riga LONG)");
    db_.Execute("INSERT INTO T (Cod, Nome) VALUES ('A', 'uno')");
    db_.Execute("INSERT INTO R VALUES ('A', 1)");
    Recordset one = db_.OpenRecordset("select * from T where Cod <> 'Z' order by Cod desc");
    EXPECT_EQ(one.Type(), dbOpenDynaset);
    EXPECT_TRUE(one.Updatable());
    one.Close();
    Recordset join = db_.OpenRecordset("SELECT T.Cod, R.Riga FROM T INNER JOIN R ON T.Cod = R.Cod");
    EXPECT_FALSE(join.Updatable());
    EXPECT_EQ(ErrorOf([&] { join.Edit(); }), 3027);
    join.Close();
    Recordset grouped = db_.OpenRecordset("SELECT Cod FROM T GROUP BY Cod");
    EXPECT_FALSE(grouped.Updatable());
    grouped.Close();
    EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("SELECT Nessuno FROM T"); }), 3061);
    EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("Manca"); }), 3078);
}

TEST(VariantTest, ConversionsFollowVb) {
    struct Case {
        Variant value;
        char to;              // L CLng, I CInt, F CDbl, S CStr, T CDate, C CDec
        const char* expected; // the result as CStr writes it, or "#n" for error n
    };
    const Case cases[] = {
        {true, 'L', "-1"},
        {"12", 'L', "12"},
        {" 3,5", 'F', "3.5"},
        {3.5, 'I', "4"},
        {-2.5, 'L', "-2"},
        {40000, 'I', "#6"},
        {"abc", 'L', "#13"},
        {Variant::Null(), 'S', "#94"},
        {Variant::FromCurrency(1.23456), 'S', "1.2346"},
        {0.1, 'S', "0.1"},
        {1e20, 'S', "1E+20"},
        {"1980-01-01", 'T', "29221"},
        {"31/12/1899 12:00", 'T', "1.5"},
        {Variant::FromCurrencyScaled(-12345), 'C', "-1.2345"},
        {"12345678901234567890.123456789", 'C', "12345678901234567890.123456789"},
        {1.0 / 3, 'C', "0.333333333333333"},
        {"1e30", 'C', "#6"},
        {Variant::FromDecimal(*Decimal::Parse("2.5")), 'I', "2"},
        {Variant::FromDecimal(*Decimal::Parse("79228162514264337593543950335")), 'L', "#6"},
    };
    const std::map<char, std::function<std::string(const Variant&)>> convert = {
        {'L', [](const Variant& v) { return std::to_string(v.ToLong()); }},
        {'I', [](const Variant& v) { return std::to_string(v.ToInteger()); }},
        {'F', [](const Variant& v) { return Variant(v.ToDouble()).ToString(); }},
        {'T', [](const Variant& v) { return Variant(v.ToDate()).ToString(); }},
        {'C', [](const Variant& v) { return Variant::FromDecimal(v.ToDecimal()).ToString(); }},
        {'S', [](const Variant& v) { return v.ToString(); }},
    };
    for (const Case& c : cases) {
        std::string got;
        try {
            got = convert.at(c.to)(c.value);
        } catch (const Error& e) {
            got = "#" + std::to_string(e.number());
        }
        EXPECT_EQ(got, c.expected) << c.value.Describe() << " " << c.to;
    }
    DateParts p = SplitDate(DateSerial(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 20240229);
    EXPECT_EQ(p.hour * 3600 + p.minute * 60 + p.second, 86399);
    EXPECT_FALSE(Variant(1) == Variant(true));
    EXPECT_TRUE(Variant::FromInteger(-1) == Variant(true));
    EXPECT_FALSE(Variant("1") == Variant(1));
    EXPECT_TRUE(Variant::FromDecimal(Decimal::FromInt(3)) == Variant::FromCurrencyScaled(30000));
}

TEST_F(RecordsetTest, QueriesThatDifferOnlyInTheirNumbersEachFindTheirOwnRows) {
    for (const char* row : {"'A', 'uno', 1", "'B', 'due', 2", "'C', 'tre', 2", "'D', '12', 12"})
        db_.Execute(std::string("INSERT INTO T (Cod, Nome, N) VALUES (") + row + ")");
    auto names = [&](const std::string& sql) {
        Recordset rs = db_.OpenRecordset(sql);
        std::string out;
        for (; !rs.Eof(); rs.MoveNext())
            out += rs.Fields()["Nome"].Value().ToString() + ";";
        rs.Close();
        return out;
    };
    // Open side by side, closed and opened again, in the criteria only: each text keeps its own numbers.
    Recordset one = db_.OpenRecordset("select * from T where N=1 order by Cod");
    Recordset two = db_.OpenRecordset("select * from T where N=2 order by Cod");
    EXPECT_EQ(one.Fields()["Cod"].Value(), Variant("A"));
    EXPECT_EQ(two.Fields()["Cod"].Value(), Variant("B"));
    one.Close();
    EXPECT_EQ(names("select * from T where N=2 order by Cod"), "due;tre;");
    two.MoveNext();
    EXPECT_EQ(two.Fields()["Cod"].Value(), Variant("C"));
    two.Close();
    EXPECT_EQ(names("select * from T where N=12 or N < 2 order by Cod"), "uno;12;");
    EXPECT_EQ(names("select * from T where N>=2 and Nome='12' order by Cod"), "12;");
    EXPECT_EQ(names("select * from T where Nome=12"), "12;"); // a text column against a number
    EXPECT_EQ(names("select * from T where N=1.5"), "");
    EXPECT_EQ(Scalar(db_, "select N=2 from T where N=2"), Variant(true));

    // After a change of structure the same text sees the new field.
    TableDef t = db_.TableDefs()["T"];
    t.Fields().Append(t.CreateField("Nuovo", dbLong));
    Recordset after = db_.OpenRecordset("select * from T where N=2 order by Cod");
    EXPECT_EQ(after.Fields().Count(), 7);
    EXPECT_TRUE(after.Fields()["Nuovo"].Value().IsNull());
    after.Close();
}

Decimal D(const char* text) {
    std::optional<Decimal> d = Decimal::Parse(text);
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal{});
}

TEST(DecimalTest, ArithmeticIsExactAndRoundsHalfToEvenPast28Decimals) {
    struct Case {
        char op; // + - * / or p (Parse of a alone)
        const char* a;
        const char* b;
        const char* expected; // "" for none: overflow, division by zero, no number
    };
    const Case cases[] = {
        {'+', "12345678901234567890.12345678", "0.00000001", "12345678901234567890.12345679"},
        {'-', "1", "0.0000000000000000000000000001", "0.9999999999999999999999999999"},
        {'+', "7922816251426433759354395033.5", "0.5", "7922816251426433759354395034"},
        {'*', "1.5", "-2.25", "-3.375"},
        {'*', "0.0000000000001", "0.0000000000001", "0.00000000000000000000000001"},
        {'*', "3.14159265358979323846264338", "2", "6.28318530717958647692528676"},
        {'*', "79228162514264337593543950335", "2", ""},
        {'/', "2", "3", "0.6666666666666666666666666667"},
        {'/', "1", "0.0001", "10000"},
        {'/', "1", "0", ""},
        {'p', " -0,50 ", "", "-0.5"},
        {'p', "1.5E+3", "", "1500"},
        {'p', "0.00000000000000000000000000005", "", "0"},
        {'p', "0.000000000000000000000000000051", "", "0.0000000000000000000000000001"},
        {'p', "1e29", "", ""},
        {'p', "12a", "", ""},
    };
    for (const Case& c : cases) {
        const std::optional<Decimal> r = c.op == '+'   ? Add(D(c.a), D(c.b))
                                         : c.op == '-' ? Subtract(D(c.a), D(c.b))
                                         : c.op == '*' ? Multiply(D(c.a), D(c.b))
                                         : c.op == '/' ? Divide(D(c.a), D(c.b))
                                                       : Decimal::Parse(c.a);
        EXPECT_EQ(r ? r->ToString() : "", c.expected) << c.a << " " << c.op << " " << c.b;
    }
    EXPECT_LT(Compare(D("-5"), D("0.0000000001")), 0);
    EXPECT_EQ(Compare(D("9.50"), D("9.5")), 0);
    EXPECT_GT(Compare(D("100"), D("99.9999999999999999999999999")), 0);
}

using DecimalFields = DaoTest;

TEST_F(DecimalFields, KeepEveryDigitOrderAsNumbersAndAddPastADouble) {
    db_ = Create("a.mdb", {"CREATE TABLE T (Id LONG, D DECIMAL(28,10), P DEC(18,4), "
                           "CONSTRAINT PK PRIMARY KEY (D))"});
    Field d = db_.TableDefs()["T"].Fields()["D"];
    EXPECT_EQ(d.Type(), dbDecimal);
    EXPECT_EQ(d.Size(), 16);
    EXPECT_EQ(d.Precision(), 28);
    EXPECT_EQ(d.Scale(), 10);
    EXPECT_EQ(db_.TableDefs()["T"].Fields()["P"].Precision(), 18);
    const char* values[] = {"100", "-5", "9.5", "123456789012345678.0000000001", "10", "0.0000000001"};
    for (int i = 0; i < 6; ++i)
        db_.Execute("INSERT INTO T (Id, D) VALUES (" + std::to_string(i + 1) + ", '" + values[i] + "')",
                    dbFailOnError);
    // The primary index compares numbers: 10.00 is 10.
    db_.Execute("INSERT INTO T (Id, D) VALUES (7, 10.00)");
    EXPECT_EQ(db_.RecordsAffected(), 0);

    EXPECT_EQ(Rows(db_, "SELECT D FROM T ORDER BY D"),
              "-5;0.0000000001;9.5;10;100;123456789012345678.0000000001");

    // A copy keeps the field's digits; a computed Decimal gets ten decimals.
    db_.Execute("SELECT Id, D, D / 3 AS E INTO Copia FROM T", dbFailOnError);
    EXPECT_EQ(db_.TableDefs()["Copia"].Fields()["D"].Scale(), 10);
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT Sum(D) FROM T", "123456789012345792.5000000002"},
        {"SELECT Sum(D) FROM Copia", "123456789012345792.5000000002"},
        {"SELECT E FROM Copia WHERE Id = 1", "33.3333333333"},
        {"SELECT Id FROM T WHERE D = '9.50'", "3"},
        {"SELECT Max(D) FROM T", "123456789012345678.0000000001"},
        {"SELECT Min(D) FROM T", "-5"},
        {"SELECT Avg(D) FROM T WHERE D BETWEEN 9 AND 10", "9.75"},
        {"SELECT count(*) FROM T WHERE D > 9.6", "3"},
        {"SELECT D * 3 + 1 FROM T WHERE Id = 4", "370370367037037035.0000000003"},
        {"SELECT -D / 4 FROM T WHERE Id = 3", "-2.375"},
        {"SELECT Id FROM T WHERE D * 2 = 19", "3"},
        {"SELECT Format(D, '#,##0.0000000000') FROM T WHERE Id = 4", "123.456.789.012.345.678,0000000001"},
        {"SELECT Format(D, '0.00') FROM T WHERE Id = 3", "9,50"},
    };
    for (const auto& [sql, expected] : cases)
        EXPECT_EQ(Scalar(db_, sql).ToString(), expected) << sql;
    EXPECT_EQ(Scalar(db_, "SELECT Sum(D) FROM T").kind(), Variant::Kind::Decimal);

    // Values are rounded half to even to the field's decimals; too many digits are refused.
    Recordset rs = db_.OpenRecordset("T");
    Change(rs, {{"P", Variant::FromDecimal(D("1.23455"))}});
    EXPECT_EQ(rs.Fields()["P"].Value(), Variant::FromDecimal(D("1.2346")));
    Change(rs, {{"P", "1.23465"}});
    EXPECT_EQ(rs.Fields()["P"].Value().ToString(), "1.2346");
    EXPECT_EQ(ErrorOf([&] { Change(rs, {{"P", "100000000000000"}}); }), 3349);
    rs.CancelUpdate();
    rs.Close();
    EXPECT_EQ(ErrorOf([&] { db_.Execute("UPDATE T SET P = 1E+14", dbFailOnError); }), 3349);

    // A free-standing field brings its precision and scale; the file keeps them.
    Field r;
    r.SetName("R");
    r.SetType(dbDecimal);
    r.SetPrecision(10);
    r.SetScale(3);
    EXPECT_EQ(ErrorOf([&] { r.SetScale(29); }), 3219);
    db_.TableDefs()["T"].Fields().Append(r);
    db_.Close();
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    r = db_.TableDefs()["T"].Fields()["R"];
    EXPECT_EQ(r.Precision() * 100 + r.Scale(), 1003);
    EXPECT_EQ(r.Size(), 16);
    EXPECT_EQ(Scalar(db_, "SELECT D FROM T ORDER BY D DESC").ToString(), "123456789012345678.0000000001");
}

// The conversions a field rebuild makes (UPDATE T SET new = old) between Decimal, Currency and Double.
TEST_F(DecimalFields, ConvertToAndFromCurrencyAndDouble) {
    db_ = Create("a.mdb", {"CREATE TABLE T (C CURRENCY, F DOUBLE, D2 DECIMAL(18,2), D DECIMAL(28,10))"});
    struct Case {
        const char* from; // a value of field `set` as written in SQL
        const char* set;
        const char* to;
        Variant expected; // Null: it does not fit
    };
    const Case cases[] = {
        {"1.2345", "C", "D2", Variant::FromDecimal(D("1.23"))},
        {"123456789.1234", "C", "D", Variant::FromDecimal(D("123456789.1234"))},
        {"'1.23456789'", "D", "C", Variant::FromCurrencyScaled(12346)},
        {"'12345678901234567.5'", "D", "C", Variant::Null()},
        {"0.1", "F", "D", Variant::FromDecimal(D("0.1"))},
        {"1E+20", "F", "D2", Variant::Null()},
        {"'1234567890123456.7890123457'", "D", "F", Variant(1234567890123456.7890123457)},
        {"'0.0000000001'", "D", "F", Variant(1e-10)},
    };
    for (const Case& c : cases) {
        db_.Execute("DELETE * FROM T");
        db_.Execute(std::string("INSERT INTO T (") + c.set + ") VALUES (" + c.from + ")", dbFailOnError);
        db_.Execute(std::string("UPDATE T SET ") + c.to + " = " + c.set);
        const Variant v = Scalar(db_, std::string("SELECT ") + c.to + " FROM T");
        EXPECT_EQ(v, c.expected) << c.set << " " << c.from << " -> " << c.to;
        if (!c.expected.IsNull()) {
            EXPECT_EQ(v.kind(), c.expected.kind()) << c.from;
        }
    }
}

} // namespace
} // namespace ledrana::dao::testing
