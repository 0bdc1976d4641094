#pragma once
// The recursive-descent reader of Jet SQL: statements in jetsql.cpp, those that change the structure in
// jetsql_ddl.cpp, expressions in jetsql_expr.cpp.

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "dao/sql/jetsql.h"
#include "dao/sql/jetsql_internal.h"

namespace ledrana::dao::jetsql {

// A data type as Jet SQL names it (jetsql_ddl.cpp).
struct TypeName {
    const char* name;
    int type;
    bool counter;
    bool sized; // takes an optional (n)
};

// The type of a name (case ignored); nullptr for none.
const TypeName* FindType(std::string_view name);

// An SQLite expression with what the reader knows of it.
struct Expr {
    enum Flag {
        Bool = 1,       // a comparison or logical result (SQLite's 1/0; Jet's -1/0 as a value)
        NumLit = 2,     // a number or date literal
        StrLit = 4,     // a string literal
        Column = 8,     // a field reference
        Aggregate = 16, // contains an aggregate call
        Date = 32,      // a date (storage holds its day number)
        Currency = 64,  // a Currency value (storage holds a REAL that arithmetic may blur)
        Whole = 128,    // a whole number (integer literal, Boolean, Byte, Integer or Long field)
        Decimal = 256,  // a Decimal value (its exact text; arithmetic, comparison and aggregates are ours)
    };
    std::string sql;
    int flags = 0;
    bool Is(Flag f) const { return (flags & f) != 0; }
};

class Parser {
public:
    explicit Parser(std::string_view sql, const JetNames* names = nullptr);
    JetStatement Parse();
    // A validation rule (see TranslateJetRule).
    std::string ParseRule(std::string_view field, const std::function<std::string(std::string_view)>& column);

    // Expressions (jetsql_expr.cpp).
    // A whole expression that must end at one of the follower keywords, ',', ')', ';' or the end.
    Expr TopExpression(std::initializer_list<const char*> followers);
    // Jet value of an expression (a Bool result becomes -1/0) and SQLite condition of one.
    static std::string Value(const Expr& e);
    static std::string Condition(const Expr& e);

private:
    // Tokens.
    const Token& Peek(std::size_t ahead = 0) const;
    const Token& Next();
    bool IsKeyword(const Token& t, const char* keyword) const;
    bool AtKeyword(const char* keyword, std::size_t ahead = 0) const;
    bool AcceptKeyword(const char* keyword);
    void ExpectKeyword(const char* keyword);
    bool AtOp(const char* op, std::size_t ahead = 0) const;
    bool AcceptOp(const char* op);
    void ExpectOp(const char* op);
    bool AtEnd() const;
    bool IsReserved(const Token& t) const;
    bool AtName() const;
    std::string ReadName(); // a bare (not reserved) or bracketed name
    [[noreturn]] void Fail() const;

    // Statements (jetsql.cpp).
    void ParseParameters();
    void AddSource(const std::string& name);
    std::string ParseQuery(int depth); // SELECT ... [UNION ...] [ORDER BY ...]
    struct Core;
    Core ParseCore(int depth);
    std::string ParseSelectList(int depth, bool& hasAggregate);
    std::string ParseFrom(int depth, int& tableCount, bool& hasJoin);
    std::string ParseTableRef(int depth, int& tableCount, bool& hasJoin);
    std::string ParseTablePrimary(int depth, int& tableCount, bool& hasJoin);
    std::string ParseOrderBy();
    void ParseSelectStatement();
    void ParseInsert();
    void ParseUpdate();
    void ParseDelete();
    // Structure (jetsql_ddl.cpp).
    void ParseCreate();
    void ParseAlter();
    void ParseDrop();
    JetColumnDef ParseColumnDef(std::vector<JetIndexDef>& indexes, const std::string& table);
    JetIndexDef ParseTableConstraint(const std::string& table);
    // "[CONSTRAINT name] PRIMARY KEY" or "[CONSTRAINT name] UNIQUE" into an index of the table (an unnamed
    // primary key is called PrimaryKey); Other when neither keyword follows the optional name.
    enum class ConstraintHead { PrimaryKey, Unique, Other };
    ConstraintHead ParseConstraintHead(JetIndexDef& index, const std::string& table);
    std::vector<std::string> ParseNameList(std::vector<bool>* descending);
    void ExpectStatementEnd();

    // Expressions (jetsql_expr.cpp).
    Expr ParseExpr();
    Expr ParseLogical(std::size_t level); // Imp, Eqv, Xor, Or, And from `level` down
    Expr ParseNot();
    Expr ParseComparison();
    Expr ParseConcat();
    Expr ParseAdditive();
    Expr ParseMod();
    Expr ParseIntDiv();
    Expr ParseMultiplicative();
    Expr ParseUnary();
    Expr ParsePower();
    Expr ParsePrimary();
    Expr ParseNameOrCall();
    Expr ParseCall(const std::string& name);
    std::string ExpressionText(std::size_t fromToken) const;
    // A name for the SQLite text: quoted, in the catalog's spelling.
    std::string Quoted(const std::string& name) const;
    // The text of a value for a string function: a date as CStr writes it.
    static std::string Text(const Expr& e);
    // A field reference (or the implicit field of a rule).
    Expr FieldReference(const std::vector<std::string>& parts);
    void ParseTransform();
    [[noreturn]] void ExprFail() const;

    std::string_view sql_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    JetStatement st_;
    int statementError_ = 3129; // the number of a structural error in the statement being read
    std::size_t exprStart_ = 0; // first token of the outermost expression being read
    int exprDepth_ = 0;
    int exprCounter_ = 1000; // Jet's names Expr1000, Expr1001... of unnamed output columns
    const JetNames* names_ = nullptr;
    // Rules: the field a comparison without left operand applies to, and how fields are written.
    std::string ruleField_;
    const std::function<std::string(std::string_view)>* ruleColumn_ = nullptr;
    // The output columns of the outermost SELECT with a known type.
    std::vector<std::pair<std::string, int>>* columnTypes_ = nullptr;
    std::string intoTable_;      // SELECT ... INTO
    bool pivotHeading_ = false;  // reading a PIVOT heading: IN lists the headings
    bool crosstabValue_ = false; // reading the value of a TRANSFORM: its aggregates get a mark
};

} // namespace ledrana::dao::jetsql
