#pragma once
// Jet SQL in, SQLite SQL out. The translator knows the dialect, not the catalog: names of tables and
// fields are passed through (quoted), and what SQLite then rejects ("no such table", "no such column")
// the engine maps to Jet's numbers (3078, 3061). Statements that change structure or write rows come
// back parsed, so that the engine can apply its catalog (types, sizes, counters, conversions) itself.
//
// Storage conventions shared with the engine (dao/):
//   Boolean        INTEGER -1 / 0
//   Byte, Integer, Long   INTEGER
//   Currency       REAL, always rounded to four decimals
//   Single, Double REAL
//   Date           REAL, days from 30 December 1899 (fraction = time of day)
//   Text, Memo     TEXT, columns declared COLLATE NOCASE (Jet compares text without regard to case)
//   GUID           TEXT "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
//   Binary, LongBinary    BLOB
//   Decimal        TEXT, the exact value ("-12.5"), columns declared COLLATE jet_decimal, a collation that
//                  orders the texts as numbers (indexes, ORDER BY, Min/Max, comparisons with the column);
//                  28 digits exceed both SQLite's INTEGER and its REAL, so neither could keep the values
// Literals are translated accordingly: True -1, False 0, #date# the day number, "text" and 'text' strings.
//
// The translation, beyond the obvious:
//   - a comparison with a text literal compares without regard to case (the literal gets COLLATE NOCASE);
//     a comparison used as a value is -1/0 as in Jet, a condition stays SQLite's;
//   - Not, And, Or are logical, not bitwise: right for Booleans (-1/0) and conditions, not for other
//     numbers (Jet's 5 And 3 is 1);
//   - TOP n with ORDER BY keeps the rows that tie with the n-th on the sort keys (not with DISTINCT, nor
//     inside a UNION); DISTINCTROW over a join is DISTINCT, over one table nothing;
//   - an unnamed computed output column is named Expr1000, Expr1001... as in Jet;
//   - dates keep their type where the reader can see it (a #date# literal, a Date field the catalog names,
//     DateSerial, DateAdd, Now..., Min/Max/First/Last of a date, a date plus or minus a number): such an
//     expression turned into text (CStr, &, Format without a format, the string functions) reads as
//     CStr of a date, and an output column made of it is reported in columnTypes;
//   - a Decimal field, CDec and what is computed of them are Decimal: + - * / and unary minus, Sum, Avg,
//     Min, Max and comparisons other than with a Decimal column run exactly in our functions (jet_d...);
//   - UPDATE a INNER JOIN b ON ... SET ... is SQLite's UPDATE ... FROM; SELECT ... INTO and TRANSFORM
//     come back parsed for the engine to run; IN 'external database' is not read (3131).

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace ledrana::dao {

// The collation of Decimal columns (registered by the engine on every connection).
inline constexpr const char* kDecimalCollation = "jet_decimal";

// A column as Jet DDL declares it.
struct JetColumnDef {
    std::string name;
    int type = 0; // DAO type code: dbBoolean 1 ... dbGUID 15
    int size = 0; // Text: 1-255 (default 255 in DDL); other types: 0 (the engine fills the fixed size)
    int precision = 0, scale = 0; // DECIMAL(precision, scale); 0, 0: the engine's 18, 0
    bool counter = false;         // COUNTER / AUTOINCREMENT: Long with dbAutoIncrField
    bool notNull = false;         // NOT NULL
    std::string defaultValue;     // DEFAULT literal, as Jet text ("" for none)
};

// An index as Jet DDL declares it (CREATE INDEX, or a CONSTRAINT clause of CREATE/ALTER TABLE).
struct JetIndexDef {
    std::string name;
    std::string table;
    std::vector<std::string> fields; // in index order
    std::vector<bool> descending;    // one per field
    bool primary = false;
    bool unique = false;      // primary implies unique
    bool required = false;    // WITH DISALLOW NULL (primary implies it too)
    bool ignoreNulls = false; // WITH IGNORE NULL
};

// A parameter declared with PARAMETERS name type, ...;
struct JetParameter {
    std::string name;
    int type = 0; // DAO type code
};

struct JetStatement {
    enum class Kind {
        Select,          // sql: a complete SQLite SELECT (WITH ... allowed)
        Insert,          // table, columns (empty = all, in ordinal order), values or select
        Update,          // table, assignments, where
        Delete,          // table, where
        CreateTable,     // table, columnDefs, indexes (from CONSTRAINT clauses)
        AlterAddColumn,  // table, columnDefs (one), indexes (an optional CONSTRAINT)
        AlterDropColumn, // table, column
        CreateIndex,     // indexes (one)
        DropTable,       // table
        DropIndex,       // table, indexName
        AlterColumn,     // table, columnDefs (one): the field's new type and size
        MakeTable,       // table (the new one), sql: the SELECT whose rows fill it
        Crosstab,        // crosstab: see the member of that name
    };
    Kind kind = Kind::Select;

    std::string sql;   // Select: the whole statement; Insert with SELECT: the SELECT
    std::string table; // target table, as written (brackets removed)

    // Insert
    std::vector<std::string> columns;
    std::vector<std::string> values; // SQLite expressions, one per column

    // Update: column name and SQLite expression
    std::vector<std::pair<std::string, std::string>> assignments;
    // Update over a join: the other tables of the join, as SQLite's FROM list (", " separated), and the
    // join conditions, already joined to `where`.
    std::string updateFrom;
    std::string updateAlias; // the alias of the target in the join, "" for none
    std::string where;       // SQLite expression, "" when there is no WHERE (Update, Delete)

    // DDL
    std::vector<JetColumnDef> columnDefs;
    std::vector<JetIndexDef> indexes;
    std::string column;    // AlterDropColumn
    std::string indexName; // DropIndex

    // Every table or saved query the statement reads or writes (FROM, JOIN, subqueries, the target),
    // as written (brackets removed), each once (compared without regard to case), in order of appearance.
    std::vector<std::string> sources;

    // Select: true when the rows come from one table without DISTINCT, GROUP BY, aggregates or UNION,
    // so that a recordset on it can be updatable (rowid of that table available as sources[0]).
    bool updatable = false;

    // Declared parameters, in order, then the controls of forms the text names without declaring them
    // ([Forms]![Orders]![OrderID], type 0). In the SQLite text a reference to the k-th parameter is written
    // ?k (1-based), so the engine binds values by position.
    std::vector<JetParameter> parameters;

    // Select: output columns computed by an expression whose type the reader knows (DAO type code), by
    // output name: Date and Currency, which storage would show as plain numbers.
    std::vector<std::pair<std::string, int>> columnTypes;

    // Crosstab: TRANSFORM value SELECT rows... PIVOT heading [IN (...)]. The engine reads the headings
    // (`headingsSql`, one column, distinct, sorted) unless they are listed, then builds `sql` with
    // BuildCrosstab.
    struct CrosstabParts {
        std::string value;   // SQLite aggregate expression of the cells
        std::string heading; // SQLite expression of the column heading
        std::string select;  // "SELECT <row columns>" of the rows (without the value)
        std::string body;    // " FROM ... [WHERE ...] GROUP BY <rows>" (HAVING included)
        std::string orderBy; // "" or the ORDER BY list
        std::string headingsSql;
        std::vector<std::string> listed; // PIVOT ... IN (...): the headings, as text
        bool headingIsDate = false;
        int valueType = 0; // DAO type of the cells when the reader knows it (Date, Currency)
    } crosstab;
};

// What the translator may ask of the catalog it translates for.
class JetNames {
public:
    virtual ~JetNames() = default;
    // DAO type of a field of `table` (a table name as written, or "" when the reference has no table or
    // names an alias); for "" the type the fields of that name agree on in every table. 0 when unknown.
    virtual int FieldType(std::string_view table, std::string_view field) const = 0;
    // The catalog's spelling of a table, query or field name written with other letter case (SQLite
    // matches names without case for ASCII letters only); the name itself when the catalog has none.
    virtual std::string Spelling(std::string_view name) const = 0;
};

// The SELECT of a crosstab for its headings (each heading a column named by its text, in the given order).
std::string BuildCrosstab(const JetStatement::CrosstabParts& x, const std::vector<std::string>& headings);

// Translates one Jet SQL statement (a trailing ";" is allowed). Throws ledrana::Error with Jet's number on
// a statement it cannot read: 3075 for an expression error, 3144 (UPDATE), 3129 (unknown statement kind),
// 3131 (FROM clause), 3134 (INSERT INTO), 3290 (CREATE TABLE), 3292 (field definition), 3000-range others.
// A name with a blank outside brackets is a syntax error, as in Jet.
JetStatement TranslateJetSql(std::string_view jetSql, const JetNames* names = nullptr);

// A validation rule as an SQLite expression that is 0 when a row breaks it (1 or Null otherwise). A field's
// rule may leave out the field before its comparisons (">0", "Between 1 And 9 Or Is Null"): `field` names it.
// A table's rule (`field` empty) names its fields. `column` gives the SQLite expression for a field name
// ("" to write the name itself). Throws 3075 like an expression of a query.
std::string TranslateJetRule(std::string_view rule, std::string_view field,
                             const std::function<std::string(std::string_view)>& column);

// Quotes a name for SQLite ("name" with embedded quotes doubled). The only place SQL names are quoted.
std::string QuoteName(std::string_view name);

// Registers the functions that translated SQL calls (Like, IIf, Nz, Year, Format, CStr, Val...) on one
// connection, and turns off SQLite's reading of an unknown "name" as a string (so that a misspelt field
// fails as in Jet). The engine calls it on every connection it opens. The functions, their conversions
// and how their errors come back are described in dao/vb/functions.h.
void RegisterJetFunctions(sqlite3* db);

} // namespace ledrana::dao
