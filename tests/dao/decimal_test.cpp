// Decimal: exact arithmetic beyond a Double's digits, fields that order their values as numbers, the
// aggregates and functions over them, and conversions to and from Currency and Double.

#include "dao_fixture.h"

namespace ledrana::dao::testing {
namespace {

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
        {'+', "0.1", "0.2", "0.3"},
        {'+', "12345678901234567890.12345678", "0.00000001", "12345678901234567890.12345679"},
        {'-', "1", "0.0000000000000000000000000001", "0.9999999999999999999999999999"},
        {'+', "7922816251426433759354395033.5", "0.5", "7922816251426433759354395034"},
        {'+', "79228162514264337593543950335", "1", ""},
        {'*', "1.5", "-2.25", "-3.375"},
        {'*', "0.0000000000001", "0.0000000000001", "0.00000000000000000000000001"},
        {'*', "3.14159265358979323846264338", "2", "6.28318530717958647692528676"},
        {'*', "79228162514264337593543950335", "2", ""},
        {'/', "1", "3", "0.3333333333333333333333333333"},
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
    Database db = Create("a.mdb", {"CREATE TABLE T (Id LONG, D DECIMAL(28,10), P DEC(18,4), "
                                   "CONSTRAINT PK PRIMARY KEY (D))"});
    Field d = db.TableDefs()["T"].Fields()["D"];
    EXPECT_EQ(d.Type(), dbDecimal);
    EXPECT_EQ(d.Size(), 16);
    EXPECT_EQ(d.Precision(), 28);
    EXPECT_EQ(d.Scale(), 10);
    EXPECT_EQ(db.TableDefs()["T"].Fields()["P"].Precision(), 18);
    const char* values[] = {"100", "-5", "9.5", "123456789012345678.0000000001", "10", "0.0000000001"};
    for (int i = 0; i < 6; ++i)
        db.Execute("INSERT INTO T (Id, D) VALUES (" + std::to_string(i + 1) + ", '" + values[i] + "')",
                   dbFailOnError);
    // The primary index compares numbers: 10.00 is 10.
    db.Execute("INSERT INTO T (Id, D) VALUES (7, 10.00)");
    EXPECT_EQ(db.RecordsAffected(), 0);

    EXPECT_EQ(Rows(db, "SELECT D FROM T ORDER BY D"),
              "-5;0.0000000001;9.5;10;100;123456789012345678.0000000001");

    // A copy keeps the field's digits; a computed Decimal gets ten decimals.
    db.Execute("SELECT Id, D, D / 3 AS E INTO Copia FROM T", dbFailOnError);
    EXPECT_EQ(db.TableDefs()["Copia"].Fields()["D"].Scale(), 10);
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
        {"SELECT CDec('0.1') + CDec('0.2') FROM T WHERE Id = 1", "0.3"},
        {"SELECT Format(D, '#,##0.0000000000') FROM T WHERE Id = 4", "123.456.789.012.345.678,0000000001"},
        {"SELECT Format(D, '0.00') FROM T WHERE Id = 3", "9,50"},
    };
    for (const auto& [sql, expected] : cases)
        EXPECT_EQ(Scalar(db, sql).ToString(), expected) << sql;
    EXPECT_EQ(Scalar(db, "SELECT Sum(D) FROM T").kind(), Variant::Kind::Decimal);

    // Values are rounded half to even to the field's decimals; too many digits are refused.
    Recordset rs = db.OpenRecordset("T");
    rs.Edit();
    rs.Fields()["P"].SetValue(Variant::FromDecimal(D("1.23455")));
    rs.Update();
    EXPECT_EQ(rs.Fields()["P"].Value(), Variant::FromDecimal(D("1.2346")));
    rs.Edit();
    rs.Fields()["P"].SetValue("1.23465");
    rs.Update();
    EXPECT_EQ(rs.Fields()["P"].Value().ToString(), "1.2346");
    rs.Edit();
    EXPECT_EQ(ErrorOf([&] {
                  rs.Fields()["P"].SetValue("100000000000000");
                  rs.Update();
              }),
              3349);
    rs.CancelUpdate();
    rs.Close();
    EXPECT_EQ(ErrorOf([&] { db.Execute("UPDATE T SET P = 1E+14", dbFailOnError); }), 3349);

    // A free-standing field brings its precision and scale; the file keeps them.
    Field r;
    r.SetName("R");
    r.SetType(dbDecimal);
    r.SetPrecision(10);
    r.SetScale(3);
    EXPECT_EQ(ErrorOf([&] { r.SetScale(29); }), 3219);
    db.TableDefs()["T"].Fields().Append(r);
    db.Close();
    db = engine_.OpenDatabase(Path("a.mdb"));
    r = db.TableDefs()["T"].Fields()["R"];
    EXPECT_EQ(r.Precision() * 100 + r.Scale(), 1003);
    EXPECT_EQ(r.Size(), 16);
    EXPECT_EQ(Scalar(db, "SELECT D FROM T ORDER BY D DESC").ToString(), "123456789012345678.0000000001");
    db.Close();
}

// The conversions a field rebuild makes (UPDATE T SET new = old) between Decimal, Currency and Double.
TEST_F(DecimalFields, ConvertToAndFromCurrencyAndDouble) {
    Database db =
        Create("a.mdb", {"CREATE TABLE T (C CURRENCY, F DOUBLE, D2 DECIMAL(18,2), D DECIMAL(28,10))"});
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
        db.Execute("DELETE * FROM T");
        db.Execute(std::string("INSERT INTO T (") + c.set + ") VALUES (" + c.from + ")", dbFailOnError);
        db.Execute(std::string("UPDATE T SET ") + c.to + " = " + c.set);
        const Variant v = Scalar(db, std::string("SELECT ") + c.to + " FROM T");
        EXPECT_EQ(v, c.expected) << c.set << " " << c.from << " -> " << c.to;
        if (!c.expected.IsNull()) {
            EXPECT_EQ(v.kind(), c.expected.kind()) << c.from;
        }
    }
    db.Close();
}

} // namespace
} // namespace ledrana::dao::testing
