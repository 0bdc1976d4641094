// Jet SQL expressions to SQLite: operators with VB's precedence, literals, names, functions.

#include <cctype>
#include <cstdlib>
#include <iterator>

#include "dao/sql/jetsql_parser.h"
#include "dao/vb/constants.h"

namespace ledrana::dao::jetsql {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int AggregateOf(const Expr& a) {
    return a.flags & Expr::Aggregate;
}

// Decimal with any number is Decimal, as in VB (a date stays out of it).
bool DecimalOf(const Expr& a, const Expr& b) {
    return (a.Is(Expr::Decimal) || b.Is(Expr::Decimal)) && !a.Is(Expr::Date) && !b.Is(Expr::Date);
}

// Currency with Currency or a whole number stays Currency, as in VB (with Single or Double it is Double).
int CurrencyOf(const Expr& a, const Expr& b) {
    if (DecimalOf(a, b)) return 0;
    const bool ca = a.Is(Expr::Currency), cb = b.Is(Expr::Currency);
    if (!ca && !cb) return 0;
    return (ca || a.Is(Expr::Whole)) && (cb || b.Is(Expr::Whole)) ? Expr::Currency : 0;
}

Expr Make(std::string sql, int flags, const Expr& a) {
    return Expr{std::move(sql), flags | AggregateOf(a)};
}
Expr Make(std::string sql, int flags, const Expr& a, const Expr& b) {
    return Expr{std::move(sql), flags | AggregateOf(a) | AggregateOf(b)};
}

// The SQL call fn(a, b) on the Jet values of two operands.
std::string CallSql(const char* fn, const Expr& a, const Expr& b) {
    return std::string(fn) + "(" + Parser::Value(a) + ", " + Parser::Value(b) + ")";
}

enum class Fn { Scalar, Aggregate, Special };

struct Function {
    const char* name; // Jet's name, upper case
    int minArgs;
    int maxArgs;
    Fn kind;
    const char* sqlite; // SQLite name; nullptr: "jet_" + the name in lower case
};

// The functions Jet takes from VBA, and its aggregates. Anything else is 3085.
const Function kFunctions[] = {
    {"ABS", 1, 1, Fn::Scalar, nullptr},          {"ASC", 1, 1, Fn::Scalar, nullptr},
    {"ATN", 1, 1, Fn::Scalar, nullptr},          {"CBOOL", 1, 1, Fn::Scalar, nullptr},
    {"CBYTE", 1, 1, Fn::Scalar, nullptr},        {"CCUR", 1, 1, Fn::Scalar, nullptr},
    {"CDATE", 1, 1, Fn::Scalar, nullptr},        {"CDBL", 1, 1, Fn::Scalar, nullptr},
    {"CDEC", 1, 1, Fn::Scalar, nullptr},         {"CINT", 1, 1, Fn::Scalar, nullptr},
    {"CLNG", 1, 1, Fn::Scalar, nullptr},         {"CSNG", 1, 1, Fn::Scalar, nullptr},
    {"CSTR", 1, 1, Fn::Scalar, nullptr},         {"CVAR", 1, 1, Fn::Scalar, nullptr},
    {"CVDATE", 1, 1, Fn::Scalar, "jet_cdate"},   {"CHR", 1, 1, Fn::Scalar, nullptr},
    {"COS", 1, 1, Fn::Scalar, nullptr},          {"DATEADD", 3, 3, Fn::Scalar, nullptr},
    {"DATEDIFF", 3, 5, Fn::Scalar, nullptr},     {"DATEPART", 2, 4, Fn::Scalar, nullptr},
    {"DATESERIAL", 3, 3, Fn::Scalar, nullptr},   {"DATEVALUE", 1, 1, Fn::Scalar, nullptr},
    {"DAY", 1, 1, Fn::Scalar, nullptr},          {"EXP", 1, 1, Fn::Scalar, nullptr},
    {"FIX", 1, 1, Fn::Scalar, nullptr},          {"FORMAT", 1, 4, Fn::Scalar, nullptr},
    {"HEX", 1, 1, Fn::Scalar, nullptr},          {"HOUR", 1, 1, Fn::Scalar, nullptr},
    {"INSTR", 2, 4, Fn::Scalar, nullptr},        {"INSTRREV", 2, 4, Fn::Scalar, nullptr},
    {"INT", 1, 1, Fn::Scalar, nullptr},          {"ISDATE", 1, 1, Fn::Scalar, nullptr},
    {"ISNUMERIC", 1, 1, Fn::Scalar, nullptr},    {"LCASE", 1, 1, Fn::Scalar, nullptr},
    {"LEFT", 2, 2, Fn::Scalar, nullptr},         {"LEN", 1, 1, Fn::Scalar, nullptr},
    {"LOG", 1, 1, Fn::Scalar, nullptr},          {"LTRIM", 1, 1, Fn::Scalar, nullptr},
    {"MID", 2, 3, Fn::Scalar, nullptr},          {"MINUTE", 1, 1, Fn::Scalar, nullptr},
    {"MONTH", 1, 1, Fn::Scalar, nullptr},        {"MONTHNAME", 1, 2, Fn::Scalar, nullptr},
    {"OCT", 1, 1, Fn::Scalar, nullptr},          {"REPLACE", 3, 6, Fn::Scalar, nullptr},
    {"RIGHT", 2, 2, Fn::Scalar, nullptr},        {"RND", 0, 1, Fn::Scalar, nullptr},
    {"ROUND", 1, 2, Fn::Scalar, nullptr},        {"RTRIM", 1, 1, Fn::Scalar, nullptr},
    {"SECOND", 1, 1, Fn::Scalar, nullptr},       {"SGN", 1, 1, Fn::Scalar, nullptr},
    {"SIN", 1, 1, Fn::Scalar, nullptr},          {"SPACE", 1, 1, Fn::Scalar, nullptr},
    {"SQR", 1, 1, Fn::Scalar, nullptr},          {"STR", 1, 1, Fn::Scalar, nullptr},
    {"STRCOMP", 2, 3, Fn::Scalar, nullptr},      {"STRING", 2, 2, Fn::Scalar, nullptr},
    {"STRREVERSE", 1, 1, Fn::Scalar, nullptr},   {"TAN", 1, 1, Fn::Scalar, nullptr},
    {"TIMESERIAL", 3, 3, Fn::Scalar, nullptr},   {"TIMEVALUE", 1, 1, Fn::Scalar, nullptr},
    {"TRIM", 1, 1, Fn::Scalar, nullptr},         {"UCASE", 1, 1, Fn::Scalar, nullptr},
    {"VAL", 1, 1, Fn::Scalar, nullptr},          {"WEEKDAY", 1, 2, Fn::Scalar, nullptr},
    {"WEEKDAYNAME", 1, 3, Fn::Scalar, nullptr},  {"YEAR", 1, 1, Fn::Scalar, nullptr},
    {"DATE", 0, 0, Fn::Scalar, nullptr},         {"NOW", 0, 0, Fn::Scalar, nullptr},
    {"TIME", 0, 0, Fn::Scalar, nullptr},         {"COUNT", 1, 1, Fn::Aggregate, "count"},
    {"SUM", 1, 1, Fn::Aggregate, "sum"},         {"AVG", 1, 1, Fn::Aggregate, "avg"},
    {"MIN", 1, 1, Fn::Aggregate, "min"},         {"MAX", 1, 1, Fn::Aggregate, "max"},
    {"FIRST", 1, 1, Fn::Aggregate, "jet_first"}, {"LAST", 1, 1, Fn::Aggregate, "jet_last"},
    {"STDEV", 1, 1, Fn::Aggregate, "jet_stdev"}, {"STDEVP", 1, 1, Fn::Aggregate, "jet_stdevp"},
    {"VAR", 1, 1, Fn::Aggregate, "jet_var"},     {"VARP", 1, 1, Fn::Aggregate, "jet_varp"},
    {"IIF", 3, 3, Fn::Special, nullptr},         {"NZ", 1, 2, Fn::Special, nullptr},
    {"ISNULL", 1, 1, Fn::Special, nullptr},      {"SWITCH", 2, 64, Fn::Special, nullptr},
    {"CHOOSE", 2, 64, Fn::Special, nullptr},
};

// Functions whose result is a date.
bool ReturnsDate(std::string_view upperName) {
    for (const char* n : {"CDATE", "CVDATE", "DATEADD", "DATESERIAL", "DATEVALUE", "TIMESERIAL", "TIMEVALUE",
                          "DATE", "NOW", "TIME"})
        if (upperName == n) return true;
    return false;
}

// Functions that read their arguments as text: a date argument is its CStr text. (Format and CStr are
// handled apart.)
bool TakesText(std::string_view upperName) {
    for (const char* n : {"LEFT", "RIGHT", "MID", "LEN", "TRIM", "LTRIM", "RTRIM", "UCASE", "LCASE", "INSTR",
                          "INSTRREV", "REPLACE", "STRCOMP", "ASC", "STRREVERSE", "VAL"})
        if (upperName == n) return true;
    return false;
}

// The functions with a "$" form (the same function typed String in VB).
bool HasDollarForm(std::string_view upperName) {
    for (const char* n : {"CHR", "FORMAT", "HEX", "LCASE", "LEFT", "LTRIM", "MID", "OCT", "RIGHT", "RTRIM",
                          "SPACE", "STR", "STRING", "TRIM", "UCASE"})
        if (upperName == n) return true;
    return false;
}

const Function* FindFunction(std::string_view upperName) {
    for (const Function& f : kFunctions)
        if (upperName == f.name) return &f;
    return nullptr;
}

// Words that end a clause: the text of a faulty expression stops before them.
const char* const kClauseWords[] = {"FROM",   "WHERE", "GROUP", "HAVING", "ORDER", "UNION", "SET",
                                    "VALUES", "ON",    "INNER", "LEFT",   "RIGHT", "JOIN",  "AS"};

} // namespace

std::string Parser::Text(const Expr& e) {
    return e.Is(Expr::Date) ? "jet_dtext(" + e.sql + ")" : Value(e);
}

std::string Parser::Value(const Expr& e) {
    return e.Is(Expr::Bool) ? "(-" + e.sql + ")" : e.sql;
}

std::string Parser::Condition(const Expr& e) {
    return e.sql;
}

std::string Parser::ExpressionText(std::size_t from) const {
    if (from >= tokens_.size()) return {};
    int depth = 0;
    std::size_t last = from;
    for (std::size_t i = from; i < tokens_.size(); ++i) {
        const Token& t = tokens_[i];
        if (t.kind == Tok::End) break;
        if (t.kind == Tok::Op) {
            if (t.text == "(") ++depth;
            if (t.text == ")" && --depth < 0) break;
            if (depth == 0 && (t.text == "," || t.text == ";")) break;
        }
        if (depth == 0 && i > from && t.kind == Tok::Name) {
            bool clause = false;
            for (const char* w : kClauseWords)
                if (IsKeyword(t, w)) clause = true;
            if (clause) break;
        }
        last = i;
    }
    return std::string(sql_.substr(tokens_[from].begin, tokens_[last].end - tokens_[from].begin));
}

void Parser::ExprFail() const {
    std::size_t at = exprDepth_ > 0 ? exprStart_ : pos_;
    throw ExpressionError(ExprFault::MissingOperator, ExpressionText(at));
}

Expr Parser::TopExpression(std::initializer_list<const char*> followers) {
    if (exprDepth_ == 0) exprStart_ = pos_;
    ++exprDepth_;
    Expr e = ParseExpr();
    --exprDepth_;
    const Token& t = Peek();
    bool ok = t.kind == Tok::End || AtOp(",") || AtOp(")") || AtOp(";");
    for (const char* f : followers)
        if (IsKeyword(t, f)) ok = true;
    if (!ok) {
        ++exprDepth_;
        ExprFail();
    }
    return e;
}

namespace {

// VB's logical operators from the loosest to the tightest, each a chain from the left over the next; the
// SQL of "a OP b" is `before`, a's condition, `middle`, b's condition, `after`.
struct LogicalOperator {
    const char* keyword;
    const char* before;
    const char* middle;
    const char* after;
};
constexpr LogicalOperator kLogicalOperators[] = {
    {"IMP", "((NOT ", ") OR ", ")"},
    {"EQV", "((", " <> 0) = (", " <> 0))"},
    {"XOR", "((", " <> 0) <> (", " <> 0))"},
    {"OR", "(", " OR ", ")"},
    {"AND", "(", " AND ", ")"},
};

} // namespace

Expr Parser::ParseExpr() {
    return ParseLogical(0);
}

Expr Parser::ParseLogical(std::size_t level) {
    if (level == std::size(kLogicalOperators)) return ParseNot();
    const LogicalOperator& op = kLogicalOperators[level];
    Expr left = ParseLogical(level + 1);
    while (AcceptKeyword(op.keyword)) {
        Expr right = ParseLogical(level + 1);
        left = Make(op.before + Condition(left) + op.middle + Condition(right) + op.after, Expr::Bool, left,
                    right);
    }
    return left;
}

Expr Parser::ParseNot() {
    if (AcceptKeyword("NOT")) {
        Expr e = ParseNot();
        return Make("(NOT " + Condition(e) + ")", Expr::Bool, e);
    }
    return ParseComparison();
}

Expr Parser::ParseComparison() {
    Expr left;
    const Token& first = Peek();
    // A field's validation rule leaves the field out before its operator: ">0", "Like 'A*'", "Is Null".
    if (!ruleField_.empty() &&
        ((first.kind == Tok::Op && (first.text == "=" || first.text == "<>" || first.text == "<" ||
                                    first.text == ">" || first.text == "<=" || first.text == ">=")) ||
         AtKeyword("LIKE") || AtKeyword("BETWEEN") || AtKeyword("IN") || AtKeyword("IS") ||
         (AtKeyword("NOT") && (AtKeyword("LIKE", 1) || AtKeyword("BETWEEN", 1) || AtKeyword("IN", 1)))))
        left = FieldReference({ruleField_});
    else
        left = ParseConcat();
    while (true) {
        const Token& t = Peek();
        if (t.kind == Tok::Op && (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" ||
                                  t.text == "<=" || t.text == ">=")) {
            std::string op = Next().text;
            Expr right = ParseConcat();
            // Text compares without regard to case; a column brings its NOCASE collation, a literal needs it.
            std::string l = Value(left), r = Value(right);
            // A Decimal column compares by its collation; other Decimal values by value.
            if (DecimalOf(left, right)) {
                const bool column = (left.Is(Expr::Decimal) && left.Is(Expr::Column)) ||
                                    (right.Is(Expr::Decimal) && right.Is(Expr::Column));
                left = Make(column ? "(" + l + " " + op + " " + r + ")"
                                   : "(jet_dcmp(" + l + ", " + r + ") " + op + " 0)",
                            Expr::Bool, left, right);
                continue;
            }
            if (right.Is(Expr::StrLit))
                r += " COLLATE NOCASE";
            else if (left.Is(Expr::StrLit))
                l += " COLLATE NOCASE";
            left = Make("(" + l + " " + op + " " + r + ")", Expr::Bool, left, right);
            continue;
        }
        bool negated =
            AtKeyword("NOT") && (AtKeyword("LIKE", 1) || AtKeyword("BETWEEN", 1) || AtKeyword("IN", 1));
        if (AtKeyword("IS")) {
            Next();
            bool isNot = AcceptKeyword("NOT");
            if (!AcceptKeyword("NULL")) ExprFail();
            left = Make("(" + Value(left) + (isNot ? " IS NOT NULL)" : " IS NULL)"), Expr::Bool, left);
            continue;
        }
        if (pivotHeading_ && AtKeyword("IN")) break; // PIVOT heading IN (...) lists the headings
        if (negated) Next();
        if (AcceptKeyword("LIKE")) {
            Expr pattern = ParseConcat();
            std::string call = "jet_like(" + Text(left) + ", " + Value(pattern) + ")";
            left = Make(negated ? "(NOT " + call + ")" : call, Expr::Bool, left, pattern);
        } else if (AcceptKeyword("BETWEEN")) {
            Expr low = ParseConcat();
            if (!AcceptKeyword("AND")) ExprFail();
            Expr high = ParseConcat();
            // Jet takes the bounds in either order.
            std::string lo = Value(low), hi = Value(high);
            if (low.Is(Expr::NumLit) && high.Is(Expr::NumLit)) {
                if (std::strtod(lo.c_str(), nullptr) > std::strtod(hi.c_str(), nullptr)) std::swap(lo, hi);
            } else {
                std::string a = lo;
                lo = "min(" + a + ", " + hi + ")";
                hi = "max(" + a + ", " + hi + ")";
            }
            std::string sql =
                "(" + Value(left) + (negated ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi + ")";
            left = Make(sql, Expr::Bool | AggregateOf(low) | AggregateOf(high), left);
        } else if (AcceptKeyword("IN")) {
            if (!AcceptOp("(")) ExprFail();
            std::string list;
            bool hasText = false;
            int flags = Expr::Bool;
            if (AtKeyword("SELECT")) {
                int saved = statementError_;
                statementError_ = 3141;
                list = ParseQuery(1);
                statementError_ = saved;
            } else {
                for (bool first = true;; first = false) {
                    Expr item = ParseExpr();
                    if (item.Is(Expr::StrLit)) hasText = true;
                    flags |= AggregateOf(item);
                    if (!first) list += ", ";
                    list += Value(item);
                    if (!AcceptOp(",")) break;
                }
            }
            if (!AcceptOp(")")) throw ExpressionError(ExprFault::Bracket, ExpressionText(exprStart_));
            std::string l = Value(left);
            if (hasText && !left.Is(Expr::Column)) l += " COLLATE NOCASE";
            left = Make("(" + l + (negated ? " NOT IN (" : " IN (") + list + "))", flags, left);
        } else {
            if (negated) ExprFail();
            break;
        }
    }
    return left;
}

Expr Parser::ParseConcat() {
    Expr first = ParseAdditive();
    if (!AtOp("&")) return first;
    // a & b & c: one call; Null counts as "" unless every operand is Null.
    std::string sql = "jet_concat(" + Text(first);
    int flags = AggregateOf(first);
    while (AcceptOp("&")) {
        Expr next = ParseAdditive();
        sql += ", " + Text(next);
        flags |= AggregateOf(next);
    }
    return Expr{sql + ")", flags};
}

Expr Parser::ParseAdditive() {
    Expr left = ParseMod();
    while (AtOp("+") || AtOp("-")) {
        bool plus = Next().text == "+";
        Expr right = ParseMod();
        std::string sql;
        if (DecimalOf(left, right)) {
            left = Make(CallSql(plus ? "jet_dadd" : "jet_dsub", left, right), Expr::Decimal, left, right);
            continue;
        }
        if (!plus)
            sql = "(" + Value(left) + " - " + Value(right) + ")";
        else if (left.Is(Expr::NumLit) || right.Is(Expr::NumLit))
            sql = "(" + Value(left) + " + " + Value(right) + ")"; // a number: arithmetic for sure
        else
            sql = CallSql("jet_add", left, right); // text + text concatenates
        // A date plus or minus a number is a date; the difference of two dates is a number.
        int date =
            (left.Is(Expr::Date) != right.Is(Expr::Date)) && (plus || left.Is(Expr::Date)) ? Expr::Date : 0;
        if (date && plus && !(left.Is(Expr::NumLit) || right.Is(Expr::NumLit)))
            sql = "(" + Value(left) + " + " + Value(right) + ")";
        left =
            Make(sql, date | CurrencyOf(left, right) | (left.flags & right.flags & Expr::Whole), left, right);
    }
    return left;
}

Expr Parser::ParseMod() {
    Expr left = ParseIntDiv();
    while (AcceptKeyword("MOD")) {
        Expr right = ParseIntDiv();
        left = Make(CallSql("jet_mod", left, right), 0, left, right);
    }
    return left;
}

Expr Parser::ParseIntDiv() {
    Expr left = ParseMultiplicative();
    while (AcceptOp("\\")) {
        Expr right = ParseMultiplicative();
        left = Make(CallSql("jet_idiv", left, right), 0, left, right);
    }
    return left;
}

Expr Parser::ParseMultiplicative() {
    Expr left = ParseUnary();
    while (AtOp("*") || AtOp("/")) {
        bool times = Next().text == "*";
        Expr right = ParseUnary();
        if (DecimalOf(left, right)) {
            left = Make(CallSql(times ? "jet_dmul" : "jet_ddiv", left, right), Expr::Decimal, left, right);
            continue;
        }
        std::string sql =
            times ? "(" + Value(left) + " * " + Value(right) + ")" : CallSql("jet_div", left, right);
        left = Make(sql, times ? CurrencyOf(left, right) | (left.flags & right.flags & Expr::Whole) : 0, left,
                    right);
    }
    return left;
}

Expr Parser::ParseUnary() {
    if (AcceptOp("-")) {
        Expr e = ParseUnary();
        if (e.Is(Expr::NumLit) && !e.sql.empty() && e.sql[0] != '-')
            return Expr{"-" + e.sql, e.flags & (Expr::NumLit | Expr::Whole)};
        if (e.Is(Expr::Decimal)) return Make("jet_dneg(" + Value(e) + ")", Expr::Decimal, e);
        return Make("(-" + Value(e) + ")", e.flags & (Expr::Currency | Expr::Whole), e);
    }
    if (AcceptOp("+")) return ParseUnary();
    return ParsePower();
}

Expr Parser::ParsePower() {
    Expr base = ParsePrimary();
    while (AcceptOp("^")) {
        bool negative = AcceptOp("-");
        Expr exponent = ParsePrimary();
        std::string e = negative ? "(-" + Value(exponent) + ")" : Value(exponent);
        base = Make("jet_pow(" + Value(base) + ", " + e + ")", 0, base, exponent);
    }
    return base;
}

Expr Parser::ParsePrimary() {
    const Token& t = Peek();
    switch (t.kind) {
    case Tok::Number: {
        Next();
        std::string text = t.text;
        if (text[0] == '.') text = "0" + text;
        const bool whole = text.find_first_not_of("0123456789") == std::string::npos;
        return Expr{text, Expr::NumLit | (whole ? Expr::Whole : 0)};
    }
    case Tok::Date:
        Next();
        return Expr{t.text, Expr::NumLit | Expr::Date};
    case Tok::String:
        Next();
        return Expr{StringLiteral(t.text), Expr::StrLit};
    case Tok::Bracketed:
        return ParseNameOrCall();
    case Tok::Name:
        if (IsKeyword(t, "TRUE") || IsKeyword(t, "YES") || IsKeyword(t, "ON"))
            return Next(), Expr{"-1", Expr::NumLit};
        if (IsKeyword(t, "FALSE") || IsKeyword(t, "NO") || IsKeyword(t, "OFF"))
            return Next(), Expr{"0", Expr::NumLit};
        if (IsKeyword(t, "NULL")) return Next(), Expr{"NULL", 0};
        if (IsKeyword(t, "EXISTS")) {
            Next();
            if (!AcceptOp("(") || !AtKeyword("SELECT")) ExprFail();
            int saved = statementError_;
            statementError_ = 3141;
            std::string q = ParseQuery(1);
            statementError_ = saved;
            if (!AcceptOp(")")) throw ExpressionError(ExprFault::Bracket, ExpressionText(exprStart_));
            return Expr{"(EXISTS (" + q + "))", Expr::Bool};
        }
        return ParseNameOrCall();
    case Tok::Op:
        if (t.text == "(") {
            Next();
            if (AtKeyword("SELECT")) {
                int saved = statementError_;
                statementError_ = 3141;
                std::string q = ParseQuery(1);
                statementError_ = saved;
                if (!AcceptOp(")")) throw ExpressionError(ExprFault::Bracket, ExpressionText(exprStart_));
                return Expr{"(" + q + ")", 0};
            }
            Expr e = ParseExpr();
            if (!AcceptOp(")")) throw ExpressionError(ExprFault::Bracket, ExpressionText(exprStart_));
            return Expr{"(" + e.sql + ")", e.flags & ~(Expr::Column | Expr::StrLit)};
        }
        break;
    default:
        break;
    }
    ExprFail();
}

Expr Parser::ParseNameOrCall() {
    const Token& t = Peek();
    if (t.kind == Tok::Name && AtOp("(", 1)) {
        std::string name = t.text;
        Next();
        return ParseCall(name);
    }
    if (t.kind == Tok::Name && IsReserved(t)) ExprFail();
    std::vector<std::string> parts{Next().text};
    bool bang = false;
    while (AtOp(".") || AtOp("!")) {
        bang = bang || AtOp("!");
        Next();
        if (!AtName()) ExprFail();
        parts.push_back(Next().text);
    }
    const bool implicit = bang && parts.size() >= 3;
    if (st_.parameters.empty() && !implicit) return FieldReference(parts);
    std::string written = parts[0];
    for (std::size_t k = 1; k < parts.size(); ++k)
        written += "!" + parts[k];
    for (std::size_t k = 0; k < st_.parameters.size(); ++k) {
        const std::string& p = st_.parameters[k].name;
        if (Upper(p) == Upper(written))
            return Expr{"?" + std::to_string(k + 1), st_.parameters[k].type == 8 ? Expr::Date : 0};
    }
    // [Forms]![Orders]![OrderID]: a control of a form, which no table can name (a field is at most
    // table!field). Outside Access it is a parameter the text does not declare; it is listed after the
    // declared ones, without a type (its value is taken as given), and the query wants a value for it.
    if (implicit) {
        st_.parameters.push_back(JetParameter{written, 0});
        return Expr{"?" + std::to_string(st_.parameters.size()), 0};
    }
    return FieldReference(parts);
}

Expr Parser::FieldReference(const std::vector<std::string>& parts) {
    int flags = Expr::Column;
    if (names_ && !parts.empty() && parts.size() <= 2) {
        const int type = names_->FieldType(parts.size() == 2 ? parts[0] : std::string(), parts.back());
        if (type == dbDate) flags |= Expr::Date;
        if (type == dbCurrency) flags |= Expr::Currency;
        if (type == dbDecimal) flags |= Expr::Decimal;
        if (type == dbBoolean || type == dbByte || type == dbInteger || type == dbLong) flags |= Expr::Whole;
    }
    if (ruleColumn_ && parts.size() == 1) {
        std::string written = (*ruleColumn_)(parts[0]);
        if (!written.empty()) return Expr{written, flags & ~Expr::Column};
    }
    std::string sql;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k) sql += '.';
        sql += Quoted(parts[k]);
    }
    return Expr{sql, flags};
}

Expr Parser::ParseCall(const std::string& name) {
    std::string upper = Upper(name);
    if (upper.size() > 1 && upper.back() == '$') {
        upper.pop_back();
        if (!HasDollarForm(upper)) throw SqlError(3085, name);
    }
    ExpectOp("(");
    std::vector<Expr> args;
    // The aggregates of a crosstab's value carry a mark where each column's filter goes.
    const std::string mark = crosstabValue_ ? "\x01" : "";
    if (upper == "COUNT" && AtOp("*") && AtOp(")", 1)) {
        Next();
        Next();
        return Expr{"count(*)" + mark, Expr::Aggregate};
    }
    if (!AcceptOp(")")) {
        while (true) {
            args.push_back(ParseExpr());
            if (AcceptOp(")")) break;
            if (!AcceptOp(",")) throw ExpressionError(ExprFault::Bracket, ExpressionText(exprStart_));
        }
    }
    const Function* f = FindFunction(upper);
    if (!f) throw SqlError(3085, name);
    int n = static_cast<int>(args.size());
    if (n < f->minArgs || n > f->maxArgs)
        throw ExpressionError(ExprFault::Function, ExpressionText(exprStart_));
    int flags = 0;
    for (const Expr& a : args)
        flags |= AggregateOf(a);

    auto dateOrNull = [](const Expr& e) { return e.Is(Expr::Date) || e.sql == "NULL"; };
    if (f->kind == Fn::Special) {
        if (upper == "IIF") {
            if (dateOrNull(args[1]) && dateOrNull(args[2]) &&
                (args[1].Is(Expr::Date) || args[2].Is(Expr::Date)))
                flags |= Expr::Date;
            return Expr{"(CASE WHEN " + Condition(args[0]) + " THEN " + Value(args[1]) + " ELSE " +
                            Value(args[2]) + " END)",
                        flags};
        }
        if (upper == "NZ") {
            if (args[0].Is(Expr::Date) && (n == 1 || args[1].Is(Expr::Date))) flags |= Expr::Date;
            return Expr{"IFNULL(" + Value(args[0]) + ", " + (n > 1 ? Value(args[1]) : "''") + ")", flags};
        }
        if (upper == "ISNULL") return Expr{"(-(" + Value(args[0]) + " IS NULL))", flags};
        if (upper == "SWITCH") {
            if (n % 2) throw ExpressionError(ExprFault::Function, ExpressionText(exprStart_));
            std::string sql = "(CASE";
            for (int k = 0; k < n; k += 2)
                sql += " WHEN " + Condition(args[k]) + " THEN " + Value(args[k + 1]);
            return Expr{sql + " END)", flags};
        }
        // CHOOSE
        std::string sql = "(CASE CAST(round(" + Value(args[0]) + ") AS INTEGER)";
        for (int k = 1; k < n; ++k)
            sql += " WHEN " + std::to_string(k) + " THEN " + Value(args[k]);
        return Expr{sql + " END)", flags};
    }
    // A date turned into text reads as CStr writes it; Format of a date formats it as one.
    if (upper == "CSTR" && args[0].Is(Expr::Date)) return Expr{"jet_cstr(" + Text(args[0]) + ")", flags};
    std::string sql = f->sqlite ? f->sqlite : "jet_" + Lower(upper);
    if (upper == "FORMAT" && args[0].Is(Expr::Date)) sql = "jet_dformat";
    if (upper == "FORMAT" && args[0].Is(Expr::Decimal)) sql = "jet_decformat";
    // Sum, Avg, Min and Max of Decimal values are exact.
    const bool decimalAggregate = f->kind == Fn::Aggregate && !args.empty() && args[0].Is(Expr::Decimal) &&
                                  (upper == "SUM" || upper == "AVG" || upper == "MIN" || upper == "MAX");
    if (decimalAggregate) sql = "jet_d" + Lower(upper);
    const bool text = TakesText(upper);
    sql += '(';
    for (int k = 0; k < n; ++k) {
        if (k) sql += ", ";
        sql += text ? Text(args[k]) : Value(args[k]);
    }
    sql += ')';
    if (f->kind == Fn::Aggregate) {
        flags |= Expr::Aggregate;
        sql += mark;
        if (upper == "MIN" || upper == "MAX" || upper == "FIRST" || upper == "LAST")
            flags |= args[0].flags & (Expr::Date | Expr::Currency | Expr::Decimal);
        if (upper == "SUM") flags |= args[0].flags & Expr::Currency;
        if (decimalAggregate) flags |= Expr::Decimal;
    } else if (upper == "CDEC") {
        flags |= Expr::Decimal;
    } else if (ReturnsDate(upper)) {
        flags |= Expr::Date;
    } else if (upper == "CCUR") {
        flags |= Expr::Currency;
    } else if (upper == "CLNG" || upper == "CINT" || upper == "CBYTE") {
        flags |= Expr::Whole;
    }
    return Expr{sql, flags};
}

} // namespace ledrana::dao::jetsql
