// The Jet SQL translator: statements the program runs, the dialect, DDL results and Jet's error numbers;
// the SQL functions.
// Translated statements run on SQLite tables laid out as the engine stores them, so the tests check
// what the statements do, not the text they become.

#include <gtest/gtest.h>

#include "dao/dao.h"
#include "tests/dao/dao_fixture.h"
#include "tests/dao/jet_test_db.h"

namespace ledrana::dao {
namespace {

using testing::TestDb;

// ---- Dialect -------------------------------------------------------------------------------------------

class Dialect : public ::testing::Test {
protected:
    void SetUp() override {
        db.Exec(R"(
            CREATE TABLE T ("Nome cliente" TEXT COLLATE NOCASE, n INTEGER, x REAL, d REAL, flag INTEGER, s TEXT COLLATE NOCASE);
            INSERT INTO T VALUES ('Rossi', 1, 1.5, 43831, -1, 'abc'), ('bianchi', 2, NULL, 43905.5, 0, NULL),
                                 ('Verdi', 3, -2.5, NULL, -1, '50%'), ('rossi', 4, 10, 44196, 0, 'a_c');
        )");
    }
    TestDb db;
};

// Literals, operators, and Like with Jet's wildcards, without regard to case.
TEST_F(Dialect, WhereClauses) {
    const std::pair<const char*, const char*> cases[] = {
        {"[Nome cliente] = \"ROSSI\"", "'Rossi';'rossi'"},
        {"[Nome cliente] = 'it''s' OR s = \"a\"\"b\"", ""},
        {"d = #1/1/2020#", "'Rossi'"},
        {"d = #2020-01-01#", "'Rossi'"},
        {"d = #3/15/2020 12:00:00#", "'bianchi'"},
        {"d = #3/15/2020 12:00 PM#", "'bianchi'"},
        {"d = #13/3/2020#", ""}, // 13 March: not a row, but accepted
        {"d >= #12/31/2020#", "'rossi'"},
        {"flag = True", "'Rossi';'Verdi'"},
        {"flag = False AND d Is Not Null", "'bianchi';'rossi'"},
        {"flag", "'Rossi';'Verdi'"},
        {"Not flag", "'bianchi';'rossi'"},
        {"T.n > 3 OR T.[Nome cliente] = 'verdi'", "'Verdi';'rossi'"},
        {"n Between 3 And 2", "'bianchi';'Verdi'"},
        {"n Not Between 2 And 3", "'Rossi';'rossi'"},
        {"n In (1, 4)", "'Rossi';'rossi'"},
        {"[Nome cliente] In ('VERDI', 'x')", "'Verdi'"},
        {"n Not In (SELECT n FROM T WHERE x > 1)", "'bianchi';'Verdi'"},
        {"Exists (SELECT * FROM T AS U WHERE U.n = T.n + 1)", "'Rossi';'bianchi';'Verdi'"},
        {"x Is Null", "'bianchi'"},
        {"IsNull(x)", "'bianchi'"},
        {"UCase([Nome cliente]) = 'rossi'", "'Rossi';'rossi'"},
        {"n = 1 Xor n = 1", ""},
        {"n Mod 2 = 0", "'bianchi';'rossi'"},
        {"n \\ 2 = 1", "'bianchi';'Verdi'"},
        {"n / 2 = 1.5", "'Verdi'"},
        {"-n ^ 2 = -9", "'Verdi'"},
        {"2 + 3 * n = 8", "'bianchi'"},
        {"[Nome cliente] Like 'ros*'", "'Rossi';'rossi'"},
        {"[Nome cliente] Like '?erdi'", "'Verdi'"},
        {"[Nome cliente] Like '*I'", "'Rossi';'bianchi';'Verdi';'rossi'"},
        {"[Nome cliente] Like '[b-c]*'", "'bianchi'"},
        {"[Nome cliente] Like '[!r]*'", "'bianchi';'Verdi'"},
        {"[Nome cliente] Like 'R[o]ss[]i'", "'Rossi';'rossi'"},
        {"[Nome cliente] Like '%'", ""},
        {"[Nome cliente] Like 'r_ssi'", ""},
        {"s Like '50[%]'", "'Verdi'"},
        {"s Like '5#%'", "'Verdi'"},
        {"s Like 'a_c'", "'rossi'"},
        {"s Not Like 'a*'", "'Verdi'"},
        {"[Nome cliente] Like 'ro' & '*'", "'Rossi';'rossi'"},
    };
    for (const auto& [where, names] : cases) {
        const std::string sql = "SELECT [Nome cliente] FROM T WHERE " + std::string(where) + " ORDER BY n";
        EXPECT_EQ(db.Select(sql), names) << TranslateJetSql(sql).sql;
    }
}

TEST_F(Dialect, ExpressionsAsValuesAndNames) {
    // & treats one Null as "", two as Null; + on texts propagates Null.
    EXPECT_EQ(
        db.Select("SELECT s & 'z', s & x, s + 'z', n & '' FROM T ORDER BY n"),
        "'abcz'|'abc1.5'|'abcz'|'1';'z'|null|null|'2';'50%z'|'50%-2.5'|'50%z'|'3';'a_cz'|'a_c10'|'a_cz'|'4'");
    EXPECT_EQ(
        db.Select("SELECT IIf(x > 0, 'pos', 'neg'), Nz(x, 0), Nz(s), n > 2, IsNull(x) FROM T ORDER BY n"),
        "'pos'|1.5|'abc'|0|0;'neg'|0|''|0|-1;'neg'|-2.5|'50%'|-1|0;'pos'|10|'a_c'|-1|0");
    EXPECT_EQ(db.Select("SELECT n + 1, 7 / 2, 7 \\ 2, 7.5 Mod 2, 2 ^ 3 FROM T WHERE n = 1"), "2|3.5|3|0|8");
    EXPECT_EQ(
        db.Select("SELECT Switch(n = 1, 'uno', n = 2, 'due'), Choose(n, 'a', 'b', 'c') FROM T ORDER BY n"),
        "'uno'|'a';'due'|'b';null|'c';null|null");
    // Unnamed expressions get Jet's names, fields keep theirs.
    EXPECT_EQ(
        db.Columns(
            TranslateJetSql("SELECT n, n + 1, T.x, Count(*) AS Quanti, Year(d) FROM T GROUP BY n, x, d").sql),
        "n|Expr1000|x|Quanti|Expr1001");
    EXPECT_EQ(QuoteName("Nome cliente"), "\"Nome cliente\"");
    EXPECT_EQ(QuoteName("a\"b"), "\"a\"\"b\"");
    // An unknown "name" is an error, never a string.
    EXPECT_THROW(db.Select("SELECT Missing FROM T"), Error);
}

TEST_F(Dialect, AggregatesFirstLastAndTop) {
    EXPECT_EQ(db.Select("SELECT Count(*), Count(x), Sum(n), Min([Nome cliente]), Max(d) FROM T"),
              "4|3|10|'bianchi'|44196");
    EXPECT_EQ(db.Select("SELECT First(n), Last(n) FROM (SELECT n FROM T ORDER BY n DESC)"), "4|1");
    db.Exec("INSERT INTO T (\"Nome cliente\", n) VALUES ('Neri', 3)");
    // TOP keeps the rows that tie with the last one.
    EXPECT_EQ(db.Select("SELECT TOP 3 n FROM T ORDER BY n"), "1;2;3;3");
    EXPECT_EQ(db.Select("SELECT TOP 2 n FROM T ORDER BY n DESC"), "4;3;3");
    EXPECT_EQ(db.Select("SELECT TOP 1 n FROM T WHERE n > 1 ORDER BY n"), "2");
    EXPECT_EQ(db.Select("SELECT TOP 40 PERCENT n FROM T ORDER BY n"), "1;2");
    EXPECT_EQ(db.Select("SELECT TOP 2 n FROM T WHERE n = 3"), "3;3");
    EXPECT_EQ(db.Select("SELECT DISTINCTROW [Nome cliente] FROM T WHERE n = 3 ORDER BY 1"), "'Neri';'Verdi'");
    EXPECT_EQ(db.Select("SELECT DISTINCT TOP 2 n FROM T ORDER BY n DESC"), "4;3");
}

TEST_F(Dialect, ParametersAreBoundByPosition) {
    JetStatement s = TranslateJetSql("PARAMETERS [Da data] DateTime, Minimo Long; SELECT n FROM T WHERE d >= "
                                     "[Da data] AND n >= Minimo ORDER BY n;");
    ASSERT_EQ(s.parameters.size(), 2u);
    EXPECT_EQ(s.parameters[0].name, "Da data");
    EXPECT_EQ(s.parameters[0].type, dbDate);
    EXPECT_EQ(s.parameters[1].type, dbLong);
    EXPECT_EQ(db.Query(s.sql, {"43900", "2"}), "2;4");
    // A form's control the text does not declare is a parameter too, after the declared ones; a name of
    // two parts is a table's field, and a subquery's aggregate in WHERE is the subquery's.
    s = TranslateJetSql("PARAMETERS Minimo Long; SELECT T.n FROM T WHERE T!n >= Minimo AND n <= "
                        "[Forms]![Dlg]![Max] AND n <> Forms!Dlg!Max - (SELECT Min(n) FROM T) ORDER BY n");
    ASSERT_EQ(s.parameters.size(), 2u);
    EXPECT_EQ(s.parameters[1].name, "Forms!Dlg!Max");
    EXPECT_EQ(db.Query(s.sql, {"2", "4"}), "2;4");
}

TEST_F(Dialect, JoinsAsAccessWritesThem) {
    db.Exec("CREATE TABLE R (n INTEGER, v TEXT COLLATE NOCASE); INSERT INTO R VALUES (1, 'r1'), (2, 'r2'), "
            "(9, 'r9');"
            "CREATE TABLE Q (v TEXT COLLATE NOCASE, w INTEGER); INSERT INTO Q VALUES ('R1', 10), ('r2', 20)");
    JetStatement s = TranslateJetSql(
        "SELECT T.n, R.v, Q.w FROM (T INNER JOIN R ON T.n = R.n) INNER JOIN Q ON R.v = Q.v ORDER BY T.n");
    EXPECT_FALSE(s.updatable);
    EXPECT_EQ(s.sources, (std::vector<std::string>{"T", "R", "Q"}));
    EXPECT_EQ(db.Query(s.sql), "1|'r1'|10;2|'r2'|20");
    EXPECT_EQ(db.Select("SELECT T.n, R.v FROM T LEFT JOIN R ON T.n = R.n ORDER BY T.n"),
              "1|'r1';2|'r2';3|null;4|null");
    EXPECT_EQ(db.Select("SELECT R.n, T.n FROM T RIGHT OUTER JOIN R ON T.n = R.n ORDER BY R.n"),
              "1|1;2|2;9|null");
    EXPECT_EQ(db.Select("SELECT X.n FROM T AS X, R Y WHERE X.n = Y.n ORDER BY 1"), "1;2");
    EXPECT_EQ(
        db.Select("SELECT T.n FROM T INNER JOIN (R INNER JOIN Q ON R.v = Q.v) ON (T.n = R.n AND Q.w > 10)"),
        "2");
    EXPECT_EQ(db.Select("SELECT n FROM T WHERE n < 3 UNION SELECT n FROM R ORDER BY n"), "1;2;9");
    // DISTINCTROW keeps one row per record of the output table however many rows the join matches.
    db.Exec("INSERT INTO R VALUES (1, 'r1bis')");
    EXPECT_EQ(db.Select("SELECT DISTINCTROW T.* FROM T INNER JOIN R ON T.n = R.n ORDER BY T.n"),
              "'Rossi'|1|1.5|43831|-1|'abc';'bianchi'|2|null|43905.5|0|null");
    EXPECT_EQ(db.Select("SELECT T.n FROM T INNER JOIN R ON T.n = R.n ORDER BY T.n"), "1;1;2");
}

TEST_F(Dialect, InsertValuesAndSelect) {
    db.Exec("CREATE TABLE U (a INTEGER, b TEXT COLLATE NOCASE, c REAL)");
    JetStatement s = db.Insert("INSERT INTO U (a, b, c) VALUES (1, \"uno\", #1/2/2020#)");
    EXPECT_EQ(s.kind, JetStatement::Kind::Insert);
    EXPECT_EQ(s.columns, (std::vector<std::string>{"a", "b", "c"}));
    db.Insert("INSERT INTO [U] SELECT n, [Nome cliente], d FROM T WHERE n > 3");
    db.Insert("INSERT INTO U (b) VALUES (True)");
    EXPECT_EQ(db.Query("SELECT * FROM U"), "1|'uno'|43832;4|'rossi'|44196;null|'-1'|null");
    EXPECT_EQ(testing::ErrorOf([] { TranslateJetSql("INSERT INTO U (a, b) VALUES (1)"); }), 3346);
}

// ---- DDL -------------------------------------------------------------------------------------------------

// A DDL statement as text: its kind and the names it gives, each column ("name type size", counter, not null)
// and each index ("name on table (fields)", primary, unique, required, ignore nulls).
std::string Describe(const JetStatement& s) {
    const char* kinds[] = {"Select",      "Insert",     "Update",      "Delete",    "CreateTable",
                           "AddColumn",   "DropColumn", "CreateIndex", "DropTable", "DropIndex",
                           "AlterColumn", "MakeTable",  "Crosstab"};
    std::string out = kinds[static_cast<int>(s.kind)] + (s.table.empty() ? "" : " " + s.table);
    out += (s.column.empty() ? "" : " column " + s.column) +
           (s.indexName.empty() ? "" : " index " + s.indexName);
    for (const JetColumnDef& c : s.columnDefs)
        out += "; " + c.name + " " + std::to_string(c.type) + " " + std::to_string(c.size) +
               (c.counter ? " counter" : "") + (c.notNull ? " not null" : "");
    for (const JetIndexDef& i : s.indexes) {
        out += "; " + i.name + " on " + i.table + " (";
        for (std::size_t k = 0; k < i.fields.size(); ++k)
            out += (k ? ", " : "") + i.fields[k] + (i.descending.at(k) ? " desc" : "");
        out += std::string(")") + (i.primary ? " primary" : "") + (i.unique ? " unique" : "") +
               (i.required ? " required" : "") + (i.ignoreNulls ? " ignore nulls" : "");
    }
    return out;
}

TEST(JetDdl, TypeNames) {
    struct Case {
        const char* type;
        int dao;
        int size;
        bool counter;
    } cases[] = {
        {"TEXT(20)", dbText, 20, false},
        {"TEXT", dbText, 255, false},
        {"CHAR(5)", dbText, 5, false},
        {"VARCHAR", dbText, 255, false},
        {"MEMO", dbMemo, 0, false},
        {"LONGTEXT", dbMemo, 0, false},
        {"BYTE", dbByte, 0, false},
        {"SHORT", dbInteger, 0, false},
        {"SMALLINT", dbInteger, 0, false},
        {"INTEGER", dbLong, 0, false},
        {"LONG", dbLong, 0, false},
        {"SINGLE", dbSingle, 0, false},
        {"REAL", dbSingle, 0, false},
        {"DOUBLE", dbDouble, 0, false},
        {"FLOAT", dbDouble, 0, false},
        {"CURRENCY", dbCurrency, 0, false},
        {"MONEY", dbCurrency, 0, false},
        {"DATETIME", dbDate, 0, false},
        {"DATE", dbDate, 0, false},
        {"YESNO", dbBoolean, 0, false},
        {"BIT", dbBoolean, 0, false},
        {"LOGICAL", dbBoolean, 0, false},
        {"COUNTER", dbLong, 0, true},
        {"AUTOINCREMENT(1, 1)", dbLong, 0, true},
        {"BINARY(16)", dbBinary, 16, false},
        {"LONGBINARY", dbLongBinary, 0, false},
        {"OLEOBJECT", dbLongBinary, 0, false},
        {"GUID", dbGUID, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Describe(TranslateJetSql(std::string("CREATE TABLE T (F ") + c.type + ")")),
                  "CreateTable T; F " + std::to_string(c.dao) + " " + std::to_string(c.size) +
                      (c.counter ? " counter" : ""))
            << c.type;
}

TEST(JetDdl, StatementsDeclareTablesColumnsAndIndexes) {
    const std::pair<const char*, const char*> cases[] = {
        {"CREATE TABLE [Righe ordine] (Id COUNTER CONSTRAINT pk PRIMARY KEY, Codice TEXT(10) NOT NULL, "
         "Nota MEMO, Dt DATETIME, CONSTRAINT uq UNIQUE (Codice, Dt DESC));",
         "CreateTable Righe ordine; Id 4 0 counter; Codice 10 10 not null; Nota 12 0; Dt 8 0; pk on Righe "
         "ordine (Id) primary unique required; uq on Righe ordine (Codice, Dt desc) unique"},
        {"ALTER TABLE T ADD COLUMN Prezzo CURRENCY", "AddColumn T; Prezzo 5 0"},
        {"ALTER TABLE T ADD Codice TEXT(5) CONSTRAINT ix UNIQUE",
         "AddColumn T; Codice 10 5; ix on T (Codice) unique"},
        {"ALTER TABLE T DROP COLUMN Prezzo", "DropColumn T column Prezzo"},
        {"ALTER TABLE T DROP Prezzo", "DropColumn T column Prezzo"},
        {"ALTER TABLE T ADD CONSTRAINT PrimaryKey PRIMARY KEY (a, b)",
         "CreateIndex T; PrimaryKey on T (a, b) primary unique required"},
        {"CREATE UNIQUE INDEX Chiave ON Clienti (Codice ASC, Anno DESC) WITH DISALLOW NULL",
         "CreateIndex Clienti; Chiave on Clienti (Codice, Anno desc) unique required"},
        {"CREATE INDEX PrimaryKey ON Clienti (Codice) WITH PRIMARY",
         "CreateIndex Clienti; PrimaryKey on Clienti (Codice) primary unique required"},
        {"CREATE INDEX x ON T (a) WITH IGNORE NULL", "CreateIndex T; x on T (a) ignore nulls"},
        {"DROP TABLE [Vecchia tabella]", "DropTable Vecchia tabella"},
        {"DROP INDEX Chiave ON Clienti;", "DropIndex Clienti index Chiave"},
    };
    for (const auto& [sql, declared] : cases)
        EXPECT_EQ(Describe(TranslateJetSql(sql)), declared) << sql;
}

// ---- Errors -----------------------------------------------------------------------------------------------

// Jet's numbers, and its descriptions quoting the expression or the function.
TEST(JetErrors, NumbersAsJetGivesThem) {
    struct Case {
        const char* sql;
        int number;
        const char* description = "";
    } cases[] = {
        {"", 3129},
        {"SELEC * FROM T", 3129},
        {"TRANSFORM Sum(a) SELECT b FROM T GROUP BY b", 3141},
        {"SELECT My Field FROM T", 3075},
        {"SELECT a FROM T WHERE a = 'open", 3075},
        {"SELECT a FROM T WHERE d = #31/31/2020#", 3075},
        {"SELECT a FROM T WHERE (a = 1", 3075},
        {"SELECT a FROM T WHERE a = ", 3075},
        {"SELECT Nz2(a) FROM T", 3085},
        {"SELECT Left(a) FROM T", 3075},
        {"SELECT * FROM", 3131},
        {"SELECT * FROM T INNER JOIN R", 3135},
        {"SELECT * FROM T ORDER BY", 3138},
        {"SELECT b FROM T WHERE Sum(a) > 1 GROUP BY b", 3096},
        {"SELECT b FROM T WHERE b = 1 And (Avg(a) > 1) GROUP BY b", 3096},
        {"SELECT * FROM T; x", 3142},
        {"UPDATE T a = 1", 3144},
        // A blank in a name that the text does not enclose.
        {"update A set B C zz=B C", 3144},
        {"update My Table set Bzz=B", 3144},
        {"select * from My Table", 3131},
        {"UPDATE T SET a 1", 3144},
        {"UPDATE T SET a = 1 b = 2", 3075},
        {"DELETE * FROM My Table", 3131},
        {"DELETE * T", 3128},
        {"INSERT T VALUES (1)", 3134},
        {"INSERT INTO T VALUES 1", 3134},
        {"CREATE TABLE My Table (a TEXT)", 3290},
        {"CREATE TABLE T (a TEXTO)", 3292},
        {"CREATE TABLE T (a TEXT(300))", 3292},
        {"CREATE TABLE T (a TEXT, CONSTRAINT PRIMARY KEY (a))", 3289},
        {"CREATE INDEX i T (a)", 3291},
        {"ALTER TABLE T RENAME a", 3293},
        {"DROP VIEW v", 3295},
        {"tipifatturecli", 3129}, // a bare table name is not SQL
        {"SELECT a FROM T WHERE Nome Cliente = 'x' ORDER BY a", 3075,
         "Errore di sintassi (operatore mancante) nell'espressione della query 'Nome Cliente = 'x''."},
        {"SELECT Pippo(a) FROM T", 3085, "Funzione 'Pippo' non definita nell'espressione."},
    };
    for (const Case& c : cases) {
        const std::string f = testing::Failure([&] { TranslateJetSql(c.sql); });
        EXPECT_EQ(std::atoi(f.c_str()), c.number) << c.sql;
        if (*c.description) {
            EXPECT_EQ(f, std::to_string(c.number) + " " + c.description);
        }
    }
}

// ---- Functions -------------------------------------------------------------------------------------------
// The SQL functions with VB's semantics, reached through translated Jet expressions, and the field casts
// the engine wraps values in.

// The value of a Jet expression, or of SQLite's own with `jet` false ("null", a number, 'text'), or "error
// N".
std::string Eval(TestDb& db, const std::string& expr, bool jet = true) {
    try {
        return jet ? db.Select("SELECT " + expr + " AS X") : db.Query("SELECT " + expr);
    } catch (const Error& e) {
        return "error " + std::to_string(e.number());
    }
}

// Each expression against the value it gives.
void Check(std::initializer_list<std::pair<const char*, const char*>> cases) {
    TestDb db;
    for (const auto& [expr, expected] : cases)
        EXPECT_EQ(Eval(db, expr), expected) << expr;
}

TEST(VbFunctions, GiveVbsValuesAndErrorNumbers) {
    Check({
        // Conversions.
        {"CStr(1.5)", "'1.5'"},
        {"CStr(0.1 + 0.2)", "'0.3'"},
        {"CStr(1E+20)", "'1E+20'"},
        {"CStr(0.00001)", "'1E-05'"},
        {"CStr(-2)", "'-2'"},
        {"CStr(Null)", "error 94"},
        {"CLng(2.5)", "2"},
        {"CLng(3.5)", "4"},
        {"CLng(-2.5)", "-2"},
        {"CLng(' 3,5 ')", "4"},
        {"CLng('1.5')", "2"},
        {"CLng('abc')", "error 13"},
        {"CLng(3000000000)", "error 6"},
        {"CInt(40000)", "error 6"},
        {"CInt(-32768)", "-32768"},
        {"CByte(256)", "error 6"},
        {"CByte(-0.4)", "0"},
        {"CDbl('1,25')", "1.25"},
        {"CDbl('1e3')", "1000"},
        {"CDbl('&H1F')", "31"},
        {"CDbl('&HFFFF')", "-1"},
        {"CDbl('')", "error 13"},
        {"CCur(1.23456)", "1.2346"},
        {"CSng(1.1)", "1.10000002384186"},
        {"CDate('15/03/2020')", "43905"},
        {"CDate('2020-03-15 12:00')", "43905.5"},
        {"CDate('12/25/2020')", "44190"},
        {"CDate('13/25/2020')", "error 13"},
        {"CDate('10.30')", "0.4375"},
        {"CDate(43905)", "43905"},
        {"CBool('True')", "-1"},
        {"CBool('false')", "0"},
        {"CBool(5)", "-1"},
        {"CBool('x')", "error 13"},
        {"Val('12abc')", "12"},
        {"Val(' 1 2 . 5')", "12.5"},
        {"Val('1,5')", "1"},
        {"Val('&H10')", "16"},
        {"Val('')", "0"},
        {"Val('-3e2x')", "-300"},
        {"Val(Null)", "error 94"},
        {"IsNumeric('1,5')", "-1"},
        {"IsNumeric('x')", "0"},
        {"IsDate('31/12/2020')", "-1"},
        // Text.
        {"Left('abcdef', 2)", "'ab'"},
        {"Right('abcdef', 2)", "'ef'"},
        {"Mid('abcdef', 2, 3)", "'bcd'"},
        {"Mid('abcdef', 5)", "'ef'"},
        {"Mid('abc', 5)", "''"},
        {"Mid('abc', 0)", "error 5"},
        {"Left('àèìò', 2)", "'àè'"},
        {"Right('àèìò', 1)", "'ò'"},
        {"Len('àèì')", "3"},
        {"Len(12.5)", "4"},
        {"Len(Null)", "null"},
        {"Left(Null, 2)", "null"},
        {"Left('a', -1)", "error 5"},
        {"Trim('  a b  ')", "'a b'"},
        {"LTrim('  a ')", "'a '"},
        {"RTrim(' a  ')", "' a'"},
        {"UCase('perché')", "'PERCHÉ'"},
        {"LCase('ÀB')", "'àb'"},
        {"InStr('abcabc', 'C')", "3"},
        {"InStr(4, 'abcabc', 'c')", "6"},
        {"InStr(1, 'abc', 'C', 0)", "0"},
        {"InStr('abc', '')", "1"},
        {"InStr('àbc', 'C')", "3"},
        {"InStr(Null, 'a')", "null"},
        {"InStrRev('abcabc', 'b')", "5"},
        {"Replace('aXbxc', 'x', '-')", "'a-b-c'"},
        {"Space(3)", "'   '"},
        {"String(3, 'xy')", "'xxx'"},
        {"StrComp('a', 'A')", "0"},
        {"StrComp('a', 'B', 0)", "1"},
        {"StrReverse('àbc')", "'cbà'"},
        {"Chr(128)", "'€'"},
        {"Asc('€')", "128"},
        {"Str(5)", "' 5'"},
        {"Hex(255)", "'FF'"},
        // Dates.
        {"Year(#3/15/2020 10:30#)", "2020"},
        {"Month(#3/15/2020 10:30#)", "3"},
        {"Day(#3/15/2020 10:30#)", "15"},
        {"Hour(#3/15/2020 10:30#)", "10"},
        {"Minute(#3/15/2020 10:30#)", "30"},
        {"Weekday(#3/15/2020#)", "1"},
        {"Year('15/03/2020')", "2020"},
        {"Year(Null)", "null"},
        {"Year('abc')", "error 13"},
        {"Day(#12/29/1899 06:00#)", "29"},
        {"DateSerial(2020, 14, 1)", "44228"},
        {"DateSerial(2020, 3, 0)", "43890"},
        {"DateAdd('m', 1, #1/31/2020#)", "43890"},
        {"DateAdd('d', -1, #1/1/2020#)", "43830"},
        {"DateAdd('h', 36, #1/1/2020#)", "43832.5"},
        {"DateDiff('d', #1/1/2020#, #3/15/2020#)", "74"},
        {"DateDiff('m', #1/31/2020#, #2/1/2020#)", "1"},
        {"DateDiff('yyyy', #12/31/2019#, #1/1/2020#)", "1"},
        {"DatePart('q', #5/1/2020#)", "2"},
        {"TimeSerial(12, 30, 0)", "0.520833333333333"},
        {"DateValue(#3/15/2020 10:30#)", "43905"},
        {"Date() = Int(Now())", "-1"},
        {"Year(Date()) >= 2024", "-1"},
        // Format, in the Italian settings.
        {"Format(#3/15/2020 9:05:07#, 'dd/mm/yyyy hh:nn:ss')", "'15/03/2020 09.05.07'"},
        {"Format(#3/15/2020#, 'dddd d mmmm yyyy')", "'domenica 15 marzo 2020'"},
        {"Format(#3/15/2020#, 'Short Date')", "'15/03/2020'"},
        {"Format(#3/15/2020#, 'Long Date')", "'domenica 15 marzo 2020'"},
        {"Format(#3/15/2020#, 'ddd dd-mmm-yy')", "'dom 15-mar-20'"},
        {"Format(#3/15/2020 15:00#, 'h AM/PM')", "'3 PM'"},
        {"Format(#3/15/2020 15:04#, 'hh:mm')", "'15.04'"},
        {"Format('2020-03-15', 'yyyy')", "'2020'"},
        {"Format(Year(#3/15/2020#), '0000')", "'2020'"},
        {"Format(1234.5, '#,##0.00')", "'1.234,50'"},
        {"Format(0.5, '0.00%')", "'50,00%'"},
        {"Format(-3, '0;(0)')", "'(3)'"},
        {"Format(0, '0;-0;\"zero\"')", "'zero'"},
        {"Format(1234.5, 'Standard')", "'1.234,50'"},
        {"Format(1234.5, 'Currency')", "'€ 1.234,50'"},
        {"Format(1234.5, 'Fixed')", "'1234,50'"},
        {"Format(12345, '0.00E+00')", "'1,23E+04'"},
        {"Format(5, '000')", "'005'"},
        {"Format(2.5, '0')", "'3'"},
        {"Format(0.25, '#.##')", "',25'"},
        {"Format(-0.001, '0.00')", "'0,00'"},
        {"Format(1, 'Yes/No')", "'Sì'"},
        {"Format(1.5)", "'1.5'"},
        {"Format('abc', '>')", "'ABC'"},
        {"Format('abc', '@@@@@')", "'  abc'"},
        {"Format(Null, '0')", "null"},
        {"Format(CDec('12345678901234567890.125'), '#,##0.00')", "'12.345.678.901.234.567.890,13'"},
        // Operators and arithmetic.
        {"'a' & Null & 1.5", "'a1.5'"},
        {"Null & Null", "null"},
        {"'1' + '2'", "'12'"},
        {"'1' + 2", "3"},
        {"1 + Null", "null"},
        {"10 Mod 3", "1"},
        {"-7 Mod 3", "-1"},
        {"5.5 Mod 2", "0"},
        {"7 \\ 2", "3"},
        {"-7 \\ 2", "-3"},
        {"5.5 \\ 2", "3"},
        {"1 / 0", "error 11"},
        {"10 Mod 0", "error 11"},
        {"Null Mod 2", "null"},
        {"IIf(Null, 1, 2)", "2"},
        {"Nz(Null, 'x')", "'x'"},
        {"Abs(-3)", "3"},
        {"Int(-2.5)", "-3"},
        {"Fix(-2.5)", "-2"},
        {"Round(2.5)", "2"},
        {"Round(1.2345, 2)", "1.23"},
        {"Sgn(-0.1)", "-1"},
        {"Sqr(-1)", "error 5"},
        // Decimal: exact, 28 digits.
        {"CDec('0.1') + 0.2", "'0.3'"},
        {"CDec(1) / 3", "'0.3333333333333333333333333333'"},
        {"-CDec('2.5') * 2", "'-5'"},
        {"CDec('10') > 9.5", "-1"},
        {"CDec(1) / 0", "error 11"},
        {"CDec('79228162514264337593543950335') + 1", "error 6"},
        {"CDec('abc')", "error 13"},
        {"CDec(Null)", "error 94"},
    });
}

// jet_cast(value, type, size[, fromType]) as the engine writes a value into a field.
TEST(FieldCast, ConvertsOrGivesNull) {
    struct CastCase {
        const char* args;
        const char* loose;  // jet_cast
        const char* strict; // jet_cast_strict
    } cases[] = {
        {"'12', 4, 0", "12", "12"},
        {"'abc', 4, 0", "null", "error 3421"},
        {"3.5, 3, 0", "4", "4"},
        {"40000, 3, 0", "null", "error 3349"},
        {"2.5, 2, 0", "2", "2"},
        {"-1, 2, 0", "null", "error 3349"},
        {"'1,5', 7, 0", "1.5", "1.5"},
        {"5, 7, 0", "5", "5"},
        {"1e300, 6, 0", "null", "error 3349"},
        {"1.23456, 5, 0", "1.2346", "1.2346"},
        {"'abcdef', 10, 3", "'abc'", "error 3163"},
        {"'àèìò', 10, 2", "'àè'", "error 3163"},
        {"'àè', 10, 2", "'àè'", "'àè'"},
        {"'abcdef', 12, 3", "'abcdef'", "'abcdef'"},
        {"1.5, 10, 0", "'1.5'", "'1.5'"},
        {"12, 10, 50", "'12'", "'12'"},
        {"43905.5, 10, 50, 8", "'15/03/2020 12.00.00'", "'15/03/2020 12.00.00'"},
        {"-1, 10, 50, 1", "'True'", "'True'"},
        {"'15/03/2020', 8, 0", "43905", "43905"},
        {"'x', 8, 0", "null", "error 3421"},
        {"1, 1, 0", "-1", "-1"},
        {"'False', 1, 0", "0", "0"},
        {"'{a0b1c2d3-e4f5-a6b7-c8d9-e0f1a2b3c4d5}', 15, 0", "'{A0B1C2D3-E4F5-A6B7-C8D9-E0F1A2B3C4D5}'",
         "'{A0B1C2D3-E4F5-A6B7-C8D9-E0F1A2B3C4D5}'"},
        {"'nope', 15, 0", "null", "error 3421"},
        {"NULL, 4, 0", "null", "null"},
        {"x'0102', 4, 0", "null", "error 3421"},
        {"'abc', 9, 2", "'ab'", "error 3163"},
        {"'2,5', 3, 0", "2", "2"},
        // Decimal(18, 2): size is precision * 256 + scale.
        {"'1.235', 20, 4610", "'1.24'", "'1.24'"},
        {"1e17, 20, 4610", "null", "error 3349"},
        {"'x', 20, 4610", "null", "error 3421"},
    };
    TestDb db;
    // Blobs render as text in this suite; the Binary case checks the cut only.
    for (const CastCase& c : cases) {
        EXPECT_EQ(Eval(db, std::string("jet_cast(") + c.args + ")", false), c.loose) << c.args;
        EXPECT_EQ(Eval(db, std::string("jet_cast_strict(") + c.args + ")", false), c.strict) << c.args;
    }
}

TEST(FunctionErrors, MessagesComeBackAsErrors) {
    auto e = vb::FunctionError("13 Tipo non corrispondente");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->number(), 13);
    EXPECT_EQ(e->description(), "Tipo non corrispondente");
    EXPECT_FALSE(vb::FunctionError("no such column: x").has_value());
    EXPECT_FALSE(vb::FunctionError("1").has_value());
}

} // namespace
} // namespace ledrana::dao
