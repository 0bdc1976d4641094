// Jet SQL statements to SQLite: the statement level of the reader (queries and changes of rows; the
// statements that change the structure in jetsql_ddl.cpp).

#include "dao/sql/jetsql.h"

#include <cctype>
#include <cstdlib>

#include "dao/sql/jetsql_parser.h"
#include "dao/vb/constants.h"
#include "platform/text.h"

namespace ledrana::dao {

std::string QuoteName(std::string_view name) {
    return QuoteWith(name, '"');
}

JetStatement TranslateJetSql(std::string_view jetSql, const JetNames* names) {
    jetsql::Parser parser(jetSql, names);
    return parser.Parse();
}

std::string TranslateJetRule(std::string_view rule, std::string_view field,
                             const std::function<std::string(std::string_view)>& column) {
    jetsql::Parser parser(rule);
    return parser.ParseRule(field, column);
}

std::string BuildCrosstab(const JetStatement::CrosstabParts& x, const std::vector<std::string>& headings) {
    std::string sql = x.select;
    std::string text = x.headingIsDate ? "jet_dtext(" + x.heading + ")" : "jet_cstr(" + x.heading + ")";
    for (const std::string& h : headings) {
        // Each aggregate of the value counts the rows of its column only.
        std::string filter = " FILTER (WHERE " + text + " = " + jetsql::StringLiteral(h) + ")";
        std::string cell;
        for (char ch : x.value) {
            if (ch == '\x01')
                cell += filter;
            else
                cell += ch;
        }
        // A cell without rows is empty, even for Count.
        sql += ", (CASE WHEN count(*)" + filter + " > 0 THEN " + cell + " END) AS " + QuoteName(h);
    }
    sql += x.body;
    if (!x.orderBy.empty()) sql += " ORDER BY " + x.orderBy;
    return sql;
}

namespace jetsql {

namespace {

// Words that cannot stand bare as a name or an alias.
const char* const kReserved[] = {
    "ADD",        "ALL",    "ALTER",  "AND",    "AS",         "ASC",         "BETWEEN", "BY",      "COLUMN",
    "CONSTRAINT", "CREATE", "DELETE", "DESC",   "DISTINCT",   "DISTINCTROW", "DROP",    "EQV",     "EXISTS",
    "FALSE",      "FROM",   "GROUP",  "HAVING", "IMP",        "IN",          "INDEX",   "INNER",   "INSERT",
    "INTO",       "IS",     "JOIN",   "KEY",    "LEFT",       "LIKE",        "MOD",     "NOT",     "NULL",
    "ON",         "OR",     "ORDER",  "OUTER",  "PARAMETERS", "PERCENT",     "PIVOT",   "PRIMARY", "RIGHT",
    "SELECT",     "SET",    "TABLE",  "TOP",    "TRANSFORM",  "TRUE",        "UNION",   "UNIQUE",  "UPDATE",
    "VALUES",     "WHERE",  "WITH",   "XOR",
};

} // namespace

struct Parser::Core {
    std::string select;    // SELECT [DISTINCT] list
    std::string body;      // FROM ... WHERE ... GROUP BY ... HAVING ...
    std::string fromWhere; // FROM ... WHERE ... alone
    bool distinct = false;
    bool grouped = false;
    bool top = false;
    bool percent = false;
    std::string topCount;
};

Parser::Parser(std::string_view sql, const JetNames* names) : sql_(sql), tokens_(Lex(sql)), names_(names) {}

std::string Parser::ParseRule(std::string_view field,
                              const std::function<std::string(std::string_view)>& column) {
    ruleField_ = std::string(field);
    ruleColumn_ = &column;
    Expr e = TopExpression({});
    if (Peek().kind != Tok::End) ExprFail();
    return e.Is(Expr::Bool) ? e.sql : "(" + Value(e) + " <> 0)";
}

std::string Parser::Quoted(const std::string& name) const {
    if (names_)
        for (unsigned char ch : name)
            if (ch >= 0x80) return QuoteName(names_->Spelling(name));
    return QuoteName(name);
}

// ---- Tokens -----------------------------------------------------------------------------------------

const Token& Parser::Peek(std::size_t ahead) const {
    std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& Parser::Next() {
    const Token& t = Peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
}

bool Parser::IsKeyword(const Token& t, const char* keyword) const {
    return t.kind == Tok::Name && EqualsNoCase(t.text, keyword);
}

bool Parser::AtKeyword(const char* keyword, std::size_t ahead) const {
    return IsKeyword(Peek(ahead), keyword);
}

bool Parser::AcceptKeyword(const char* keyword) {
    if (!AtKeyword(keyword)) return false;
    Next();
    return true;
}

void Parser::ExpectKeyword(const char* keyword) {
    if (!AcceptKeyword(keyword)) Fail();
}

bool Parser::AtOp(const char* op, std::size_t ahead) const {
    const Token& t = Peek(ahead);
    return t.kind == Tok::Op && t.text == op;
}

bool Parser::AcceptOp(const char* op) {
    if (!AtOp(op)) return false;
    Next();
    return true;
}

void Parser::ExpectOp(const char* op) {
    if (!AcceptOp(op)) Fail();
}

bool Parser::AtEnd() const {
    return Peek().kind == Tok::End || (AtOp(";") && Peek(1).kind == Tok::End);
}

bool Parser::IsReserved(const Token& t) const {
    if (t.kind != Tok::Name) return false;
    for (const char* w : kReserved)
        if (EqualsNoCase(t.text, w)) return true;
    return false;
}

bool Parser::AtName() const {
    const Token& t = Peek();
    return t.kind == Tok::Bracketed || (t.kind == Tok::Name && !IsReserved(t));
}

std::string Parser::ReadName() {
    if (!AtName()) Fail();
    return Next().text;
}

void Parser::Fail() const {
    throw SqlError(statementError_);
}

void Parser::ExpectStatementEnd() {
    AcceptOp(";");
    if (Peek().kind != Tok::End) {
        if (st_.kind == JetStatement::Kind::Select) throw SqlError(3142);
        Fail();
    }
}

void Parser::AddSource(const std::string& name) {
    for (const std::string& s : st_.sources)
        if (EqualsNoCase(s, name)) return;
    st_.sources.push_back(name);
}

// ---- Statements --------------------------------------------------------------------------------------

JetStatement Parser::Parse() {
    if (AtKeyword("PARAMETERS")) ParseParameters();
    if (AtKeyword("TRANSFORM"))
        ParseTransform();
    else if (AtKeyword("SELECT") || (AtOp("(") && IsKeyword(Peek(1), "SELECT")))
        ParseSelectStatement();
    else if (AtKeyword("INSERT"))
        ParseInsert();
    else if (AtKeyword("UPDATE"))
        ParseUpdate();
    else if (AtKeyword("DELETE"))
        ParseDelete();
    else if (AtKeyword("CREATE"))
        ParseCreate();
    else if (AtKeyword("ALTER"))
        ParseAlter();
    else if (AtKeyword("DROP"))
        ParseDrop();
    else
        throw SqlError(3129);
    return std::move(st_);
}

void Parser::ParseParameters() {
    statementError_ = 3141;
    Next();
    while (true) {
        JetParameter p;
        p.name = ReadName();
        // [Forms]![Dialog]![Field]: a name in parts.
        while (AtOp("!") || AtOp("."))
            Next(), p.name += "!" + ReadName();
        if (Peek().kind != Tok::Name) Fail();
        const TypeName* type = FindType(Next().text);
        if (!type || type->counter) Fail();
        p.type = type->type;
        if (AcceptOp("(")) { // Text(255)
            if (Peek().kind != Tok::Number) Fail();
            Next();
            ExpectOp(")");
        }
        st_.parameters.push_back(std::move(p));
        if (AcceptOp(";")) break;
        ExpectOp(",");
    }
    statementError_ = 3129;
}

void Parser::ParseSelectStatement() {
    st_.kind = JetStatement::Kind::Select;
    statementError_ = 3141;
    std::size_t sourcesBefore = st_.sources.size();
    columnTypes_ = &st_.columnTypes;
    st_.sql = ParseQuery(0);
    (void)sourcesBefore;
    ExpectStatementEnd();
    if (!intoTable_.empty()) {
        st_.kind = JetStatement::Kind::MakeTable;
        st_.table = intoTable_;
    }
}

// TRANSFORM value SELECT rows FROM ... GROUP BY rows [ORDER BY ...] PIVOT heading [IN (...)]
void Parser::ParseTransform() {
    st_.kind = JetStatement::Kind::Crosstab;
    statementError_ = 3141;
    Next();
    JetStatement::CrosstabParts& x = st_.crosstab;
    // The aggregates of the value are marked, so that each column's cell can filter their rows.
    crosstabValue_ = true;
    Expr value = TopExpression({"SELECT", "AS"});
    crosstabValue_ = false;
    if (!value.Is(Expr::Aggregate)) throw SqlError(3122);
    x.value = Value(value);
    x.valueType = value.Is(Expr::Date)       ? dbDate
                  : value.Is(Expr::Currency) ? dbCurrency
                  : value.Is(Expr::Decimal)  ? dbDecimal
                                             : 0;
    if (AcceptKeyword("AS")) ReadName();
    if (!AtKeyword("SELECT")) Fail();
    Core c = ParseCore(0);
    x.select = c.select;
    x.body = c.body;
    if (AtKeyword("ORDER")) x.orderBy = ParseOrderBy();
    if (!AcceptKeyword("PIVOT")) Fail();
    pivotHeading_ = true;
    Expr heading = TopExpression({"IN"});
    pivotHeading_ = false;
    x.heading = Value(heading);
    x.headingIsDate = heading.Is(Expr::Date);
    if (AcceptKeyword("IN")) {
        ExpectOp("(");
        while (true) {
            const Token& t = Peek();
            if (t.kind == Tok::String || t.kind == Tok::Number)
                x.listed.push_back(t.text);
            else
                Fail();
            Next();
            if (AcceptOp(")")) break;
            ExpectOp(",");
        }
    }
    std::string text = x.headingIsDate ? "jet_dtext(h)" : "jet_cstr(h)";
    x.headingsSql = "SELECT " + text + " FROM (SELECT DISTINCT " + x.heading + " AS h" + c.fromWhere +
                    ") WHERE h IS NOT NULL ORDER BY h";
    st_.updatable = false;
    ExpectStatementEnd();
}

// SELECT ... [UNION [ALL] SELECT ...]... [ORDER BY ...], TOP with ties.
std::string Parser::ParseQuery(int depth) {
    std::vector<Core> cores;
    std::vector<std::string> unions;
    while (true) {
        int parens = 0;
        while (AtOp("(") && IsKeyword(Peek(1), "SELECT"))
            ++parens, Next(); // (SELECT ...) UNION (...)
        if (!AtKeyword("SELECT")) Fail();
        cores.push_back(ParseCore(depth));
        while (parens-- > 0)
            ExpectOp(")");
        if (!AtKeyword("UNION")) break;
        Next();
        unions.push_back(AcceptKeyword("ALL") ? " UNION ALL " : " UNION ");
    }
    std::string orderBy;
    if (AtKeyword("ORDER")) orderBy = ParseOrderBy();

    if (depth == 0) st_.updatable = cores.size() == 1 && st_.updatable;

    std::string out;
    if (cores.size() == 1) {
        const Core& c = cores[0];
        out = c.select + c.body;
        if (!orderBy.empty()) out += " ORDER BY " + orderBy;
        if (c.top) {
            std::string ranked;
            if (orderBy.empty()) {
                if (c.percent)
                    out += " LIMIT (SELECT (count(*) * " + c.topCount + " + 99) / 100 FROM (SELECT 1" +
                           c.body + "))";
                else
                    out += " LIMIT " + c.topCount;
            } else if (c.distinct) {
                // Ties are not kept when DISTINCT is combined with TOP.
                out += c.percent ? " LIMIT (SELECT (count(*) * " + c.topCount + " + 99) / 100 FROM (" +
                                       c.select + c.body + "))"
                                 : " LIMIT " + c.topCount;
            } else {
                // The first n rows and those that tie with the n-th on the sort keys, as Jet returns them.
                std::string window = "SELECT rank() OVER (ORDER BY " + orderBy + ") AS r";
                if (c.percent)
                    out += " LIMIT (SELECT count(*) FROM (" + window + ", count(*) OVER () AS c" + c.body +
                           ") WHERE r <= (c * " + c.topCount + " + 99) / 100)";
                else
                    out += " LIMIT (SELECT count(*) FROM (" + window + c.body + ") WHERE r <= " + c.topCount +
                           ")";
            }
        }
        return out;
    }
    for (std::size_t i = 0; i < cores.size(); ++i) {
        const Core& c = cores[i];
        std::string member = c.select + c.body;
        if (c.top) member = "SELECT * FROM (" + member + " LIMIT " + c.topCount + ")";
        if (i > 0) out += unions[i - 1];
        out += member;
    }
    if (!orderBy.empty()) out += " ORDER BY " + orderBy;
    return out;
}

Parser::Core Parser::ParseCore(int depth) {
    Core c;
    ExpectKeyword("SELECT");
    c.select = "SELECT ";
    bool distinctRow = false;
    if (AcceptKeyword("DISTINCT")) {
        c.distinct = true;
        c.select += "DISTINCT ";
    } else if (AcceptKeyword("DISTINCTROW")) {
        distinctRow = true;
    } else {
        AcceptKeyword("ALL");
    }
    if (AcceptKeyword("TOP")) {
        if (Peek().kind != Tok::Number || Peek().text.find_first_not_of("0123456789") != std::string::npos)
            Fail();
        c.top = true;
        c.topCount = Next().text;
        c.percent = AcceptKeyword("PERCENT");
    }
    bool hasAggregate = false;
    c.select += ParseSelectList(depth, hasAggregate);
    if (AtKeyword("INTO")) {
        // SELECT ... INTO table [IN 'database'] FROM ...: a make-table query.
        if (depth != 0 || !intoTable_.empty()) Fail();
        Next();
        intoTable_ = ReadName();
        if (AtKeyword("IN")) throw SqlError(3131);
    }
    int tableCount = 0;
    bool hasJoin = false;
    if (AcceptKeyword("FROM")) {
        statementError_ = 3131;
        c.body = " FROM " + ParseFrom(depth, tableCount, hasJoin);
        c.fromWhere = c.body;
        // What follows the tables must start a clause: "FROM My Table" is a name with a blank.
        const Token& t = Peek();
        bool clause = t.kind == Tok::End || AtOp(";") || AtOp(")");
        for (const char* w : {"WHERE", "GROUP", "HAVING", "ORDER", "UNION", "WITH", "PIVOT"})
            if (IsKeyword(t, w)) clause = true;
        if (!clause) Fail();
        statementError_ = 3141;
        // DISTINCTROW drops the rows a join repeats; the rows of one table are distinct already. Access
        // outputs whole records (or their keys) in such queries, so DISTINCT on the output does the same.
        if (distinctRow && (hasJoin || tableCount > 1)) {
            c.distinct = true;
            c.select.insert(7, "DISTINCT ");
        }
    }
    if (AcceptKeyword("WHERE")) {
        const std::size_t start = pos_;
        Expr e = TopExpression({"GROUP", "HAVING", "ORDER", "UNION", "WITH", "PIVOT"});
        // The rows are chosen before they are grouped: an aggregate belongs in HAVING (a subquery's
        // aggregates are its own).
        if (e.Is(Expr::Aggregate)) throw SqlError(3096, ExpressionText(start));
        c.body += " WHERE " + Condition(e);
        c.fromWhere = c.body;
    }
    if (AtKeyword("GROUP")) {
        Next();
        ExpectKeyword("BY");
        c.grouped = true;
        c.body += " GROUP BY ";
        for (bool first = true;; first = false) {
            if (!first) c.body += ", ";
            c.body += Value(TopExpression({"HAVING", "ORDER", "UNION", "WITH", "PIVOT"}));
            if (!AcceptOp(",")) break;
        }
    }
    if (AcceptKeyword("HAVING")) {
        c.grouped = true;
        c.body += " HAVING " + Condition(TopExpression({"ORDER", "UNION", "WITH", "PIVOT"}));
    }
    if (AtKeyword("WITH") && IsKeyword(Peek(1), "OWNERACCESS")) {
        Next();
        Next();
        ExpectKeyword("OPTION");
    }
    if (depth == 0) st_.updatable = tableCount == 1 && !hasJoin && !c.distinct && !c.grouped && !hasAggregate;
    return c;
}

std::string Parser::ParseSelectList(int depth, bool& hasAggregate) {
    std::string out;
    // Only the first SELECT of the statement names its output columns.
    std::vector<std::pair<std::string, int>>* types = depth == 0 ? columnTypes_ : nullptr;
    columnTypes_ = nullptr;
    for (bool first = true;; first = false) {
        if (!first) out += ", ";
        if (AcceptOp("*")) {
            out += "*";
        } else if (AtName() && AtOp(".", 1) && AtOp("*", 2)) {
            out += Quoted(Next().text) + ".*";
            Next();
            Next();
        } else {
            Expr e = TopExpression({"AS", "FROM", "INTO", "UNION", "ORDER", "WHERE", "PIVOT"});
            if (e.Is(Expr::Aggregate)) hasAggregate = true;
            out += Value(e);
            std::string name;
            if (AcceptKeyword("AS")) {
                name = ReadName();
                out += " AS " + QuoteName(name);
            } else if (!e.Is(Expr::Column)) {
                name = "Expr" + std::to_string(exprCounter_++);
                out += " AS " + QuoteName(name);
            }
            if (types && !name.empty() && e.Is(Expr::Date)) types->emplace_back(name, dbDate);
            if (types && !name.empty() && e.Is(Expr::Currency)) types->emplace_back(name, dbCurrency);
            if (types && !name.empty() && e.Is(Expr::Decimal)) types->emplace_back(name, dbDecimal);
        }
        if (!AcceptOp(",")) break;
    }
    return out;
}

std::string Parser::ParseFrom(int depth, int& tableCount, bool& hasJoin) {
    std::string out = ParseTableRef(depth, tableCount, hasJoin);
    while (AcceptOp(","))
        out += ", " + ParseTableRef(depth, tableCount, hasJoin);
    return out;
}

std::string Parser::ParseTableRef(int depth, int& tableCount, bool& hasJoin) {
    std::string out = ParseTablePrimary(depth, tableCount, hasJoin);
    while (true) {
        std::string join;
        if (AtKeyword("INNER") && AtKeyword("JOIN", 1)) {
            join = " INNER JOIN ";
            Next();
        } else if ((AtKeyword("LEFT") || AtKeyword("RIGHT")) &&
                   (AtKeyword("JOIN", 1) || (AtKeyword("OUTER", 1) && AtKeyword("JOIN", 2)))) {
            join = AtKeyword("LEFT") ? " LEFT JOIN " : " RIGHT JOIN ";
            Next();
            AcceptKeyword("OUTER");
        } else if (AtKeyword("JOIN")) {
            throw SqlError(3135);
        } else {
            break;
        }
        ExpectKeyword("JOIN");
        hasJoin = true;
        out += join + ParseTablePrimary(depth, tableCount, hasJoin);
        if (!AcceptKeyword("ON")) throw SqlError(3135);
        Expr on = TopExpression({"INNER", "LEFT", "RIGHT", "WHERE", "GROUP", "HAVING", "ORDER", "UNION"});
        out += " ON " + Condition(on);
    }
    return out;
}

std::string Parser::ParseTablePrimary(int depth, int& tableCount, bool& hasJoin) {
    std::string out;
    if (AtOp("(")) {
        Next();
        if (AtKeyword("SELECT")) {
            int saved = statementError_;
            statementError_ = 3141;
            out = "(" + ParseQuery(depth + 1) + ")";
            statementError_ = saved;
            ExpectOp(")");
            tableCount += 2; // a derived table is not updatable
        } else {
            out = "(" + ParseTableRef(depth, tableCount, hasJoin) + ")";
            ExpectOp(")");
            return out;
        }
    } else {
        std::string name = ReadName();
        AddSource(name);
        ++tableCount;
        out = Quoted(name);
    }
    if (AcceptKeyword("AS"))
        out += " AS " + QuoteName(ReadName());
    else if (AtName())
        out += " AS " + QuoteName(ReadName());
    return out;
}

std::string Parser::ParseOrderBy() {
    int saved = statementError_;
    statementError_ = 3138;
    ExpectKeyword("ORDER");
    ExpectKeyword("BY");
    if (AtEnd()) Fail();
    std::string out;
    for (bool first = true;; first = false) {
        if (!first) out += ", ";
        const Expr e = TopExpression({"ASC", "DESC", "UNION", "WITH", "PIVOT"});
        out += Value(e);
        // A Decimal column brings its collation; a computed one needs it.
        if (e.Is(Expr::Decimal) && !e.Is(Expr::Column)) out += " COLLATE " + std::string(kDecimalCollation);
        if (AcceptKeyword("DESC"))
            out += " DESC";
        else
            AcceptKeyword("ASC");
        if (!AcceptOp(",")) break;
    }
    statementError_ = saved;
    return out;
}

void Parser::ParseInsert() {
    st_.kind = JetStatement::Kind::Insert;
    statementError_ = 3134;
    Next();
    ExpectKeyword("INTO");
    st_.table = ReadName();
    AddSource(st_.table);
    if (AcceptOp("(")) {
        while (true) {
            std::string c = ReadName();
            if (AcceptOp(".")) c = ReadName(); // T.field
            st_.columns.push_back(std::move(c));
            if (AcceptOp(")")) break;
            ExpectOp(",");
        }
    }
    if (AcceptKeyword("VALUES")) {
        ExpectOp("(");
        while (true) {
            st_.values.push_back(Value(TopExpression({})));
            if (AcceptOp(")")) break;
            ExpectOp(",");
        }
        if (!st_.columns.empty() && st_.columns.size() != st_.values.size()) throw SqlError(3346);
    } else if (AtKeyword("SELECT") || AtOp("(")) {
        statementError_ = 3141;
        st_.sql = ParseQuery(1);
        statementError_ = 3134;
    } else {
        Fail();
    }
    ExpectStatementEnd();
}

void Parser::ParseUpdate() {
    st_.kind = JetStatement::Kind::Update;
    statementError_ = 3144;
    Next();
    // UPDATE a INNER JOIN b ON ... SET ...: the tables of the join (name, alias) and their conditions.
    struct Joined {
        std::string name, alias;
    };
    std::vector<Joined> joined;
    std::vector<std::string> on;
    std::function<void()> primary;
    // A source followed by its INNER JOINs, each with its ON condition.
    auto joins = [&] {
        primary();
        while (AcceptKeyword("INNER")) {
            ExpectKeyword("JOIN");
            primary();
            ExpectKeyword("ON");
            on.push_back(Condition(TopExpression({"INNER", "SET", "LEFT", "RIGHT"})));
        }
    };
    primary = [&] {
        if (AcceptOp("(")) {
            joins();
            if (AtKeyword("LEFT") || AtKeyword("RIGHT")) Fail();
            ExpectOp(")");
            return;
        }
        Joined j;
        j.name = ReadName();
        AddSource(j.name);
        if (AcceptKeyword("AS") || AtName()) j.alias = ReadName();
        joined.push_back(std::move(j));
    };
    joins();
    // Outer joins in an UPDATE would set the fields of unmatched rows to Null: not read.
    if (AtKeyword("LEFT") || AtKeyword("RIGHT") || AtOp(",")) Fail();
    ExpectKeyword("SET");
    std::string qualifier;
    while (true) {
        std::string column = ReadName();
        if (AcceptOp(".")) { // T.field
            if (qualifier.empty()) qualifier = column;
            column = ReadName();
        }
        ExpectOp("=");
        Expr e = TopExpression({"WHERE"});
        st_.assignments.emplace_back(std::move(column), Value(e));
        if (!AcceptOp(",")) break;
    }
    if (AcceptKeyword("WHERE")) st_.where = Condition(TopExpression({}));
    ExpectStatementEnd();
    // The target is the table the assignments name (the first one when they name none).
    std::size_t target = 0;
    for (std::size_t k = 0; k < joined.size(); ++k)
        if (!qualifier.empty() && (EqualsNoCase(joined[k].alias, qualifier) ||
                                   (joined[k].alias.empty() && EqualsNoCase(joined[k].name, qualifier))))
            target = k;
    st_.table = joined[target].name;
    st_.updateAlias = joined[target].alias;
    for (std::size_t k = 0; k < joined.size(); ++k) {
        if (k == target) continue;
        if (!st_.updateFrom.empty()) st_.updateFrom += ", ";
        st_.updateFrom += Quoted(joined[k].name);
        if (!joined[k].alias.empty()) st_.updateFrom += " AS " + QuoteName(joined[k].alias);
    }
    for (const std::string& c : on)
        st_.where = st_.where.empty() ? c : "(" + st_.where + ") AND " + c;
}

void Parser::ParseDelete() {
    st_.kind = JetStatement::Kind::Delete;
    statementError_ = 3128;
    Next();
    // DELETE [* | T.* | fields] FROM T: the list before FROM says nothing for a single table.
    while (!AtKeyword("FROM")) {
        if (AcceptOp("*")) {
        } else if (AtName()) {
            Next();
            if (AcceptOp(".") && !AcceptOp("*")) ReadName();
        } else {
            Fail();
        }
        if (!AcceptOp(",")) break;
    }
    ExpectKeyword("FROM");
    statementError_ = 3131;
    st_.table = ReadName();
    AddSource(st_.table);
    if (!AtKeyword("WHERE") && !AtEnd()) Fail();
    statementError_ = 3128;
    if (AcceptKeyword("WHERE")) st_.where = Condition(TopExpression({}));
    ExpectStatementEnd();
}

} // namespace jetsql
} // namespace ledrana::dao
