// The Jet SQL translator: statements the program runs, the dialect, DDL results and Jet's error numbers.
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

TEST_F(Dialect, ExpressionsAsValues) {
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

TEST(JetNames, QuoteName) {
    EXPECT_EQ(QuoteName("Nome cliente"), "\"Nome cliente\"");
    EXPECT_EQ(QuoteName("a\"b"), "\"a\"\"b\"");
    // An unknown "name" is an error, never a string.
    TestDb db;
    db.Exec("CREATE TABLE T (a INTEGER)");
    EXPECT_THROW(db.Select("SELECT Missing FROM T"), Error);
}

} // namespace
} // namespace ledrana::dao
