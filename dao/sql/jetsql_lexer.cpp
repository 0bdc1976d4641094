// Tokens of Jet SQL, and its literals in SQLite form.

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "dao/sql/jetsql_internal.h"
#include "dao/vb/functions.h"
#include "platform/text.h"

namespace ledrana::dao::jetsql {

namespace {

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

void SkipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
}

[[noreturn]] void LexError(std::string_view sql, std::size_t from, ExprFault fault) {
    throw ExpressionError(fault, sql.substr(from));
}

} // namespace

bool ParseDateLiteral(std::string_view s, double& dayNumber) {
    std::size_t i = 0;
    SkipBlanks(s, i);
    std::size_t start = i;
    int a = 0, b = 0, c = 0;
    double fraction = 0;
    if (vb::ReadDigits(s, i, 4, a) && i < s.size() && (s[i] == '/' || s[i] == '-')) {
        bool yearFirst = i - start > 2;
        char sep = s[i++];
        if (!vb::ReadDigits(s, i, 2, b) || i >= s.size() || s[i] != sep) return false;
        ++i;
        if (!vb::ReadDigits(s, i, 4, c)) return false;
        int y, m, d;
        if (yearFirst) {
            y = a, m = b, d = c; // yyyy-mm-dd
        } else {
            m = a, d = b, y = c; // U.S. m/d/yyyy, whatever the regional settings
            if (y < 100) y += y < 30 ? 2000 : 1900;
            // 13/1/2020 is 13 January
            if (!vb::ValidDate(y, m, d) && vb::ValidDate(y, d, m)) std::swap(m, d);
        }
        if (!vb::ValidDate(y, m, d)) return false;
        dayNumber = vb::DayNumber(y, m, d);
        SkipBlanks(s, i);
        if (i < s.size() && !vb::ReadTime(s, i, fraction, true)) return false;
    } else {
        i = start;
        if (!vb::ReadTime(s, i, fraction, true)) return false;
        dayNumber = 0;
    }
    SkipBlanks(s, i);
    if (i != s.size()) return false;
    // Before 1899 the day counts backwards but the time still adds to it, as VB stores it.
    dayNumber = dayNumber < 0 ? dayNumber - fraction : dayNumber + fraction;
    return true;
}

std::string RealLiteral(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

std::string StringLiteral(std::string_view s) {
    return QuoteWith(s, '\'');
}

std::vector<Token> Lex(std::string_view sql) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (true) {
        while (i < n && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n'))
            ++i;
        Token t;
        t.begin = i;
        if (i >= n) {
            t.kind = Tok::End;
            t.end = i;
            tokens.push_back(std::move(t));
            return tokens;
        }
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if (IsNameStart(c)) {
            while (i < n && IsNameChar(static_cast<unsigned char>(sql[i])))
                ++i;
            // Left$(...), Mid$(...): the text-returning form of a function keeps its "$".
            if (i < n && sql[i] == '$') {
                std::size_t j = i + 1;
                while (j < n && (sql[j] == ' ' || sql[j] == '\t'))
                    ++j;
                if (j < n && sql[j] == '(') ++i;
            }
            t.kind = Tok::Name;
            t.text = std::string(sql.substr(t.begin, i - t.begin));
        } else if (std::isdigit(c) ||
                   (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                ++i;
            if (i < n && sql[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                    ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
                if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                        ++i;
                }
            }
            t.kind = Tok::Number;
            t.text = std::string(sql.substr(t.begin, i - t.begin));
        } else if (c == '\'' || c == '"') {
            ++i;
            t.kind = Tok::String;
            while (true) {
                if (i >= n) LexError(sql, t.begin, ExprFault::String);
                if (static_cast<unsigned char>(sql[i]) == c) {
                    if (i + 1 < n && static_cast<unsigned char>(sql[i + 1]) == c) {
                        t.text += sql[i];
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += sql[i++];
            }
        } else if (c == '[') {
            std::size_t close = sql.find(']', i + 1);
            if (close == std::string_view::npos) LexError(sql, t.begin, ExprFault::Bracket);
            t.kind = Tok::Bracketed;
            t.text = std::string(sql.substr(i + 1, close - i - 1));
            i = close + 1;
            if (t.text.empty()) LexError(sql, t.begin, ExprFault::Bracket);
        } else if (c == '#') {
            std::size_t close = sql.find('#', i + 1);
            double day = 0;
            if (close == std::string_view::npos || !ParseDateLiteral(sql.substr(i + 1, close - i - 1), day))
                LexError(sql, t.begin, ExprFault::Date);
            t.kind = Tok::Date;
            t.text = RealLiteral(day);
            i = close + 1;
        } else {
            t.kind = Tok::Op;
            std::string_view two = sql.substr(i, 2);
            if (two == "<=" || two == ">=" || two == "<>") {
                t.text = std::string(two);
                i += 2;
            } else {
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        t.end = i;
        tokens.push_back(std::move(t));
    }
}

} // namespace ledrana::dao::jetsql
