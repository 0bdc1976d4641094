#pragma once
// Pieces of the Jet SQL translator shared by its source files (not part of the engine's interface).

#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace ledrana::dao::jetsql {

enum class Tok {
    End,
    Name,      // bare word, as written
    Bracketed, // [name]: text between the brackets
    String,    // '...' or "...": the value, quotes undone
    Number,    // as written
    Date,      // #...#: text is the SQLite literal of the day number
    Op,        // operator or punctuation, as written (<= >= <> are one token)
};

struct Token {
    Tok kind = Tok::End;
    std::string text;
    std::size_t begin = 0; // offsets into the statement text
    std::size_t end = 0;
};

// Splits a statement into tokens; the last token is End. Throws 3075 for an unterminated string or
// bracket and for a #date# that is not a date.
std::vector<Token> Lex(std::string_view sql);

// Day number of a Jet date literal's text (between the #): m/d/yyyy or yyyy-mm-dd, either optionally
// followed by a time h:nn[:ss] [AM|PM], or a time alone. False when it is not a date.
bool ParseDateLiteral(std::string_view text, double& dayNumber);

// SQLite text of a REAL literal that reads back as exactly the same double.
std::string RealLiteral(double v);

// SQLite text of a string literal.
std::string StringLiteral(std::string_view s);

// Jet's errors raised by the translator, with their Italian description; '|' in the description
// is replaced by the argument.
Error SqlError(int number, std::string_view argument = {});

// 3075 for a faulty expression, with the wording Jet uses for each fault.
enum class ExprFault { MissingOperator, String, Date, Bracket, Function };
Error ExpressionError(ExprFault fault, std::string_view expression);

} // namespace ledrana::dao::jetsql
