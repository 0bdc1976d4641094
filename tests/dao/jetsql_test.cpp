// The Jet SQL translator: statements the program runs, the dialect, DDL results and Jet's error numbers;
// the SQL functions.
// Translated statements run on SQLite tables laid out as the engine stores them, so the tests check
// what the statements do, not the text they become.

#include <gtest/gtest.h>

#include "dao/dao.h"
#include "dao/sql/jetsql.h"
#include "dao/vb/functions.h"
#include "tests/dao/dao_fixture.h"

namespace ledrana::dao {
namespace {

// A small in-memory SQLite database: tables laid out as the engine stores them, and statements translated
// from Jet SQL.
class TestDb {
public:
    TestDb() {
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        db_ = detail::SqliteDb(db);
        RegisterJetFunctions(db);
    }

    // Runs SQLite text; throws the function error or a generic one with SQLite's message.
    void Exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "?";
            sqlite3_free(err);
            Fail(m, sql);
        }
    }

    // Rows of a query, each value rendered as "null", a number in SQLite's text or 'text'; values
    // separated by "|", rows by ";".
    std::string Query(const std::string& sql, const std::vector<std::string>& params = {}) {
        detail::Stmt st = Prepare(sql);
        for (std::size_t k = 0; k < params.size(); ++k)
            sqlite3_bind_text(st.get(), static_cast<int>(k + 1), params[k].c_str(), -1, SQLITE_TRANSIENT);
        std::string out;
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            if (!out.empty()) out += ";";
            for (int c = 0; c < sqlite3_column_count(st.get()); ++c)
                out += (c ? "|" : "") + Render(st.get(), c);
        }
        if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_.get()), sql);
        return out;
    }

    std::string Columns(const std::string& sql) {
        detail::Stmt st = Prepare(sql);
        std::string out;
        for (int c = 0; c < sqlite3_column_count(st.get()); ++c)
            out += (c ? "|" : "") + std::string(sqlite3_column_name(st.get(), c));
        return out;
    }

    std::string Select(const std::string& jet, const std::vector<std::string>& params = {}) {
        return Query(TranslateJetSql(jet).sql, params);
    }

private:
    detail::Stmt Prepare(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            Fail(sqlite3_errmsg(db_.get()), sql);
        return detail::Stmt(st);
    }
    [[noreturn]] static void Fail(const std::string& message, const std::string& sql) {
        if (auto e = vb::FunctionError(message)) throw *e;
        throw Error(-1, message + " in: " + sql);
    }

    static std::string Render(sqlite3_stmt* st, int c) {
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_NULL:
            return "null";
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_column_int64(st, c));
        case SQLITE_FLOAT: {
            char buf[40];
            snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(st, c));
            return buf;
        }
        default:
            return "'" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) + "'";
        }
    }

    detail::SqliteDb db_;
};

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

// Literals, operators, and Like with Jet's wildcards, without regard to case: the rows each WHERE clause
// of a group picks.
TEST_F(Dialect, WhereClauses) {
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {"",
         {"[Nome cliente] = 'it''s' OR s = \"a\"\"b\"", "d = #13/3/2020#" /* 13 March: accepted */,
          "n = 1 Xor n = 1", "[Nome cliente] Like '%'", "[Nome cliente] Like 'r_ssi'"}},
        {"'Rossi'", {"d = #1/1/2020#", "d = #2020-01-01#"}},
        {"'bianchi'",
         {"d = #3/15/2020 12:00:00#", "d = #3/15/2020 12:00 PM#", "x Is Null", "IsNull(x)", "2 + 3 * n = 8",
          "[Nome cliente] Like '[b-c]*'"}},
        {"'rossi'", {"d >= #12/31/2020#", "s Like 'a_c'"}},
        {"'Verdi'",
         {"[Nome cliente] In ('VERDI', 'x')", "n / 2 = 1.5", "-n ^ 2 = -9", "[Nome cliente] Like '?erdi'",
          "s Like '50[%]'", "s Like '5#%'", "s Not Like 'a*'"}},
        {"'Rossi';'Verdi'", {"flag = True", "flag"}},
        {"'bianchi';'rossi'", {"flag = False AND d Is Not Null", "Not flag", "n Mod 2 = 0"}},
        {"'bianchi';'Verdi'",
         {"n Between 3 And 2", "n Not In (SELECT n FROM T WHERE x > 1)", "n \\ 2 = 1",
          "[Nome cliente] Like '[!r]*'"}},
        {"'Verdi';'rossi'", {"T.n > 3 OR T.[Nome cliente] = 'verdi'"}},
        {"'Rossi';'rossi'",
         {"[Nome cliente] = \"ROSSI\"", "n Not Between 2 And 3", "n In (1, 4)",
          "UCase([Nome cliente]) = 'rossi'", "[Nome cliente] Like 'ros*'", "[Nome cliente] Like 'R[o]ss[]i'",
          "[Nome cliente] Like 'ro' & '*'"}},
        {"'Rossi';'bianchi';'Verdi'", {"Exists (SELECT * FROM T AS U WHERE U.n = T.n + 1)"}},
        {"'Rossi';'bianchi';'Verdi';'rossi'", {"[Nome cliente] Like '*I'"}},
    };
    for (const auto& [names, clauses] : cases)
        for (const char* where : clauses) {
            const std::string sql =
                "SELECT [Nome cliente] FROM T WHERE " + std::string(where) + " ORDER BY n";
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

TEST(JetDdl, StatementsDeclareTablesColumnsAndIndexes) {
    const std::pair<const char*, const char*> cases[] = {
        // Sizes given, sizes by default and counters; INTEGER is Jet's Long.
        {"CREATE TABLE T (A TEXT(20), B TEXT, C VARCHAR, D CHAR(5), E MEMO, F BYTE, G INTEGER, H BINARY(16), "
         "I GUID, J COUNTER, K AUTOINCREMENT(1, 1))",
         "CreateTable T; A 10 20; B 10 255; C 10 255; D 10 5; E 12 0; F 2 0; G 4 0; H 9 16; I 15 0; "
         "J 4 0 counter; K 4 0 counter"},
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

// Jet's numbers, each for every statement of its group, and its descriptions quoting the expression or the
// function. A blank in a name the text does not enclose is an error, and a bare table name is not SQL.
TEST(JetErrors, NumbersAsJetGivesThem) {
    const std::pair<int, std::vector<const char*>> cases[] = {
        {3129, {"", "SELEC * FROM T", "tipifatturecli"}},
        {3141, {"TRANSFORM Sum(a) SELECT b FROM T GROUP BY b", "SELECT * FROM (SELECT * INTO X FROM T)"}},
        {3122, {"TRANSFORM Nome SELECT Id FROM T GROUP BY Id PIVOT Flag"}},
        {3075,
         {"SELECT My Field FROM T", "SELECT a FROM T WHERE a = 'open",
          "SELECT a FROM T WHERE d = #31/31/2020#", "SELECT a FROM T WHERE (a = 1",
          "SELECT a FROM T WHERE a = ", "SELECT Left(a) FROM T", "UPDATE T SET a = 1 b = 2"}},
        {3085, {"SELECT Nz2(a) FROM T", "SELECT Foo$('x')", "SELECT Len$('x')"}},
        {3131,
         {"SELECT * FROM", "select * from My Table", "DELETE * FROM My Table",
          "SELECT * INTO X IN 'a.mdb' FROM T"}},
        {3135, {"SELECT * FROM T INNER JOIN R"}},
        {3138, {"SELECT * FROM T ORDER BY"}},
        {3096,
         {"SELECT b FROM T WHERE Sum(a) > 1 GROUP BY b",
          "SELECT b FROM T WHERE b = 1 And (Avg(a) > 1) GROUP BY b"}},
        {3142, {"SELECT * FROM T; x"}},
        {3144,
         {"UPDATE T a = 1", "update A set B C zz=B C", "update My Table set Bzz=B", "UPDATE T SET a 1",
          "UPDATE T LEFT JOIN B ON T.Id = B.Id SET T.Nome = 'x'", "UPDATE T, B SET T.Nome = 'x'"}},
        {3128, {"DELETE * T"}},
        {3134, {"INSERT T VALUES (1)", "INSERT INTO T VALUES 1"}},
        {3346, {"INSERT INTO U (a, b) VALUES (1)"}},
        {3290, {"CREATE TABLE My Table (a TEXT)"}},
        {3292, {"CREATE TABLE T (a TEXTO)", "CREATE TABLE T (a TEXT(300))", "ALTER TABLE T ALTER COLUMN a"}},
        {3289, {"CREATE TABLE T (a TEXT, CONSTRAINT PRIMARY KEY (a))"}},
        {3291, {"CREATE INDEX i T (a)"}},
        {3293, {"ALTER TABLE T RENAME a", "ALTER TABLE T ALTER a TEXT(5) NOT"}},
        {3295, {"DROP VIEW v"}},
    };
    for (const auto& [number, statements] : cases)
        for (const char* sql : statements)
            EXPECT_EQ(testing::ErrorOf([&] { TranslateJetSql(sql); }), number) << sql;
    EXPECT_EQ(
        testing::Failure([] { TranslateJetSql("SELECT a FROM T WHERE Nome Cliente = 'x' ORDER BY a"); }),
        "3075 Errore di sintassi (operatore mancante) nell'espressione della query 'Nome Cliente = 'x''.");
    EXPECT_EQ(testing::Failure([] { TranslateJetSql("SELECT Pippo(a) FROM T"); }),
              "3085 Funzione 'Pippo' non definita nell'espressione.");
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

// Each row: expressions, evaluated one by one, against their values by "|".
void Check(const std::vector<std::pair<std::vector<const char*>, const char*>>& rows) {
    TestDb db;
    for (const auto& [exprs, expected] : rows) {
        std::string values;
        for (std::size_t i = 0; i < exprs.size(); ++i)
            values += (i ? "|" : "") + Eval(db, exprs[i]);
        EXPECT_EQ(values, expected) << exprs[0];
    }
}

TEST(VbFunctions, GiveVbsValuesAndErrorNumbers) {
    Check({
        // Conversions.
        {{"CStr(1.5)", "CStr(0.1 + 0.2)", "CStr(1E+20)", "CStr(0.00001)", "CStr(-2)", "CStr(Null)"},
         "'1.5'|'0.3'|'1E+20'|'1E-05'|'-2'|error 94"},
        {{"CLng(2.5)", "CLng(3.5)", "CLng(-2.5)", "CLng(' 3,5 ')", "CLng('1.5')", "CLng('abc')",
          "CLng(3000000000)"},
         "2|4|-2|4|2|error 13|error 6"},
        {{"CInt(40000)", "CInt(-32768)", "CByte(256)", "CByte(-0.4)", "CCur(1.23456)", "CSng(1.1)"},
         "error 6|-32768|error 6|0|1.2346|1.10000002384186"},
        {{"CDbl('1,25')", "CDbl('1e3')", "CDbl('&H1F')", "CDbl('&HFFFF')", "CDbl('')"},
         "1.25|1000|31|-1|error 13"},
        {{"CDate('15/03/2020')", "CDate('2020-03-15 12:00')", "CDate('12/25/2020')", "CDate('13/25/2020')",
          "CDate('10.30')", "CDate(43905)"},
         "43905|43905.5|44190|error 13|0.4375|43905"},
        {{"CBool('True')", "CBool('false')", "CBool(5)", "CBool('x')"}, "-1|0|-1|error 13"},
        {{"Val('12abc')", "Val(' 1 2 . 5')", "Val('1,5')", "Val('&H10')", "Val('')", "Val('-3e2x')",
          "Val(Null)"},
         "12|12.5|1|16|0|-300|error 94"},
        {{"IsNumeric('1,5')", "IsNumeric('x')", "IsDate('31/12/2020')"}, "-1|0|-1"},
        // Text.
        {{"Left('abcdef', 2)", "Right('abcdef', 2)", "Mid('abcdef', 2, 3)", "Mid('abcdef', 5)",
          "Mid('abc', 5)", "Mid('abc', 0)"},
         "'ab'|'ef'|'bcd'|'ef'|''|error 5"},
        {{"Left('àèìò', 2)", "Right('àèìò', 1)", "Len('àèì')", "Len(12.5)", "Len(Null)", "Left(Null, 2)",
          "Left('a', -1)"},
         "'àè'|'ò'|3|4|null|null|error 5"},
        {{"Trim('  a b  ')", "LTrim('  a ')", "RTrim(' a  ')", "UCase('perché')", "LCase('ÀB')"},
         "'a b'|'a '|' a'|'PERCHÉ'|'àb'"},
        {{"InStr('abcabc', 'C')", "InStr(4, 'abcabc', 'c')", "InStr(1, 'abc', 'C', 0)", "InStr('abc', '')",
          "InStr('àbc', 'C')", "InStr(Null, 'a')", "InStrRev('abcabc', 'b')"},
         "3|6|0|1|3|null|5"},
        {{"Replace('aXbxc', 'x', '-')", "Space(3)", "String(3, 'xy')", "StrComp('a', 'A')",
          "StrComp('a', 'B', 0)", "StrReverse('àbc')"},
         "'a-b-c'|'   '|'xxx'|0|1|'cbà'"},
        {{"Chr(128)", "Asc('€')", "Str(5)", "Hex(255)"}, "'€'|128|' 5'|'FF'"},
        // Dates.
        {{"Year(#3/15/2020 10:30#)", "Month(#3/15/2020 10:30#)", "Day(#3/15/2020 10:30#)",
          "Hour(#3/15/2020 10:30#)", "Minute(#3/15/2020 10:30#)", "Weekday(#3/15/2020#)"},
         "2020|3|15|10|30|1"},
        {{"Year('15/03/2020')", "Year(Null)", "Year('abc')", "Day(#12/29/1899 06:00#)"},
         "2020|null|error 13|29"},
        {{"DateSerial(2020, 14, 1)", "DateSerial(2020, 3, 0)", "DateAdd('m', 1, #1/31/2020#)",
          "DateAdd('d', -1, #1/1/2020#)", "DateAdd('h', 36, #1/1/2020#)"},
         "44228|43890|43890|43830|43832.5"},
        {{"DateDiff('d', #1/1/2020#, #3/15/2020#)", "DateDiff('m', #1/31/2020#, #2/1/2020#)",
          "DateDiff('yyyy', #12/31/2019#, #1/1/2020#)", "DatePart('q', #5/1/2020#)"},
         "74|1|1|2"},
        {{"TimeSerial(12, 30, 0)", "DateValue(#3/15/2020 10:30#)", "Date() = Int(Now())",
          "Year(Date()) >= 2024"},
         "0.520833333333333|43905|-1|-1"},
        // Format, in the Italian settings.
        {{"Format(#3/15/2020 9:05:07#, 'dd/mm/yyyy hh:nn:ss')", "Format(#3/15/2020#, 'dddd d mmmm yyyy')",
          "Format(#3/15/2020#, 'Short Date')", "Format(#3/15/2020#, 'Long Date')"},
         "'15/03/2020 09.05.07'|'domenica 15 marzo 2020'|'15/03/2020'|'domenica 15 marzo 2020'"},
        {{"Format(#3/15/2020#, 'ddd dd-mmm-yy')", "Format(#3/15/2020 15:00#, 'h AM/PM')",
          "Format(#3/15/2020 15:04#, 'hh:mm')", "Format('2020-03-15', 'yyyy')",
          "Format(Year(#3/15/2020#), '0000')"},
         "'dom 15-mar-20'|'3 PM'|'15.04'|'2020'|'2020'"},
        {{"Format(1234.5, '#,##0.00')", "Format(0.5, '0.00%')", "Format(-3, '0;(0)')",
          "Format(0, '0;-0;\"zero\"')", "Format(1234.5, 'Standard')", "Format(1234.5, 'Currency')",
          "Format(1234.5, 'Fixed')"},
         "'1.234,50'|'50,00%'|'(3)'|'zero'|'1.234,50'|'€ 1.234,50'|'1234,50'"},
        {{"Format(12345, '0.00E+00')", "Format(5, '000')", "Format(2.5, '0')", "Format(0.25, '#.##')",
          "Format(-0.001, '0.00')", "Format(1, 'Yes/No')", "Format(1.5)"},
         "'1,23E+04'|'005'|'3'|',25'|'0,00'|'Sì'|'1.5'"},
        {{"Format('abc', '>')", "Format('abc', '@@@@@')", "Format(Null, '0')",
          "Format(CDec('12345678901234567890.125'), '#,##0.00')"},
         "'ABC'|'  abc'|null|'12.345.678.901.234.567.890,13'"},
        // Operators and arithmetic.
        {{"'a' & Null & 1.5", "Null & Null", "'1' + '2'", "'1' + 2", "1 + Null"}, "'a1.5'|null|'12'|3|null"},
        {{"10 Mod 3", "-7 Mod 3", "5.5 Mod 2", "7 \\ 2", "-7 \\ 2", "5.5 \\ 2", "1 / 0", "10 Mod 0",
          "Null Mod 2"},
         "1|-1|0|3|-3|3|error 11|error 11|null"},
        {{"IIf(Null, 1, 2)", "Nz(Null, 'x')", "Abs(-3)", "Int(-2.5)", "Fix(-2.5)", "Round(2.5)",
          "Round(1.2345, 2)", "Sgn(-0.1)", "Sqr(-1)"},
         "2|'x'|3|-3|-2|2|1.23|-1|error 5"},
        // Decimal: exact, 28 digits.
        {{"CDec('0.1') + 0.2", "CDec(1) / 3", "-CDec('2.5') * 2", "CDec('10') > 9.5"},
         "'0.3'|'0.3333333333333333333333333333'|'-5'|-1"},
        {{"CDec(1) / 0", "CDec('79228162514264337593543950335') + 1", "CDec('abc')", "CDec(Null)"},
         "error 11|error 6|error 13|error 94"},
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
