// Recordsets: movement, editing, validation on Update, values and their conversions.

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
    void TearDown() override {
        if (db_.IsOpen()) db_.Close();
        DaoTest::TearDown();
    }
    Database db_;
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
    for (int i = 0; i < 600; ++i) {
        add.AddNew();
        add.Fields()["Cod"].SetValue("K" + std::to_string(i));
        add.Update();
    }
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
    rs.Fields()["Cod"].SetValue("A");
    rs.Fields()["N"].SetValue(70000);
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
    rs.Edit();
    rs.Fields()["Nome"].SetValue("cambiato");
    rs.Update();
    EXPECT_EQ(rs.Fields()["Nome"].Value(), Variant("cambiato"));
    rs.Close();
    EXPECT_EQ(Scalar(db_, "SELECT Nome FROM T WHERE Cod = 'A'"), Variant("cambiato"));
}

TEST_F(RecordsetTest, ValuesKeepTheirTypes) {
    Recordset rs = db_.OpenRecordset("T");
    rs.AddNew();
    rs.Fields()["Cod"].SetValue("V");
    rs.Fields()["N"].SetValue(2.5); // rounds half to even
    rs.Fields()["Importo"].SetValue(0.1 + 0.2);
    rs.Fields()["D"].SetValue(Variant::FromDate(1980, 1, 1));
    rs.Fields()["B"].SetValue(true);
    rs.Update();
    rs.MoveFirst();
    // Exact: the Currency to four decimals, the Date as its day number, the Boolean as -1.
    std::string values;
    for (const char* f : {"N", "Importo", "D", "B"})
        values += rs.Fields()[f].Value().Describe() + ";";
    EXPECT_EQ(values, "Integer 2;Currency 0.3;Date 01/01/1980;Boolean True;");
    EXPECT_EQ(rs.Fields()["D"].Value().RawDouble(), 29221.0);
    EXPECT_EQ(rs.Fields()["B"].Value().RawInteger(), -1);
    rs.Edit();
    rs.Fields()["D"].SetValue(29221);
    rs.Fields()["B"].SetValue(0);
    rs.Fields()["Nome"].SetValue(42);
    rs.Update();
    EXPECT_EQ(rs.Fields()["Nome"].Value(), Variant("42"));
    rs.Close();
    EXPECT_EQ(Scalar(db_, "SELECT B FROM T"), Variant(0));
    EXPECT_EQ(Scalar(db_, "SELECT count(*) FROM T WHERE D = #1/1/1980#"), Variant(1));
}

TEST_F(RecordsetTest, DynasetsUpdatableOnlyOverOneTable) {
    db_.Execute("CREATE TABLE R (Cod TEXT(5), Riga LONG)");
    db_.Execute("INSERT INTO T (Cod, Nome) VALUES ('A', 'uno')");
    db_.Execute("INSERT INTO T (Cod, Nome) VALUES ('B', 'due')");
    db_.Execute("INSERT INTO R VALUES ('A', 1)");
    Recordset one = db_.OpenRecordset("select * from T where Cod <> 'Z' order by Cod desc");
    EXPECT_EQ(one.Type(), dbOpenDynaset);
    EXPECT_TRUE(one.Updatable());
    EXPECT_EQ(one.RecordCount(), 2);
    EXPECT_EQ(one.Fields()["Cod"].Value(), Variant("B"));
    while (!one.Eof()) {
        one.Edit();
        one.Fields()["N"].SetValue(static_cast<int>(one.Fields()["Nome"].Value().ToString().size()));
        one.Update();
        one.MoveNext();
    }
    one.Close();
    EXPECT_EQ(Scalar(db_, "SELECT sum(N) FROM T"), Variant(6));
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
        {Variant::FromDate(1980, 1, 1), 'S', "01/01/1980"},
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
    Recordset expr = db_.OpenRecordset("select N=2 from T where N=2");
    EXPECT_EQ(expr.Fields()[0].Value(), Variant(true));
    expr.Close();

    // After a change of structure the same text sees the new field.
    TableDef t = db_.TableDefs()["T"];
    t.Fields().Append(t.CreateField("Nuovo", dbLong));
    Recordset after = db_.OpenRecordset("select * from T where N=2 order by Cod");
    EXPECT_EQ(after.Fields().Count(), 7);
    EXPECT_TRUE(after.Fields()["Nuovo"].Value().IsNull());
    after.Close();
}

} // namespace
} // namespace ledrana::dao::testing
