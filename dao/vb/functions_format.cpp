// VB's Format for numbers, dates and text, with the regional settings of an Italian system: "," decimal
// and "." thousands separator, "/" date and "." time separator, Italian names of months and days.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "dao/vb/functions.h"
#include "platform/text.h"

namespace ledrana::dao::vb {

namespace {

const char kDecimal = ',';
const char kThousands = '.';
const char kDateSeparator = '/';
const char kTimeSeparator = '.';

const char* const kMonthNames[] = {"gennaio", "febbraio", "marzo",     "aprile",  "maggio",   "giugno",
                                   "luglio",  "agosto",   "settembre", "ottobre", "novembre", "dicembre"};
const char* const kMonthShort[] = {"gen", "feb", "mar", "apr", "mag", "giu",
                                   "lug", "ago", "set", "ott", "nov", "dic"};
const char* const kDayNames[] = {"domenica", "lunedì",  "martedì", "mercoledì",
                                 "giovedì",  "venerdì", "sabato"};
const char* const kDayShort[] = {"dom", "lun", "mar", "mer", "gio", "ven", "sab"};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool StartsNoCase(std::string_view s, std::size_t i, std::string_view prefix) {
    return s.size() - i >= prefix.size() && EqualsNoCase(s.substr(i, prefix.size()), prefix);
}

// Count of the same letter (any case) from i.
std::size_t Run(std::string_view s, std::size_t i) {
    std::size_t j = i;
    while (j < s.size() && Lower(s[j]) == Lower(s[i]))
        ++j;
    return j - i;
}

void Pad2(std::string& out, int v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

// v in two digits when `twoDigits`, else in as many as it has.
void AppendPart(std::string& out, int v, bool twoDigits) {
    if (twoDigits)
        Pad2(out, v);
    else
        out += std::to_string(v);
}

// Splits a format into its sections at ";" outside quotes and escapes.
std::vector<std::string_view> Sections(std::string_view f) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '"')
            quoted = !quoted;
        else if (f[i] == '\\' && !quoted)
            ++i;
        else if (f[i] == ';' && !quoted) {
            out.push_back(f.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(f.substr(start));
    return out;
}

void ReplaceDecimal(std::string& s) {
    for (char& c : s)
        if (c == '.') c = kDecimal;
}

// Digits of |v| rounded (half away from zero) to the given decimals: integer and fraction parts.
void Digits(double v, int decimals, std::string& integer, std::string& fraction) {
    char buf[400];
    double a = std::fabs(v);
    double scale = std::pow(10.0, decimals);
    double r = std::round(a * scale) / scale;
    if (std::isinf(a * scale)) r = a;
    std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
    std::string s = buf;
    std::size_t dot = s.find('.');
    integer = s.substr(0, dot);
    fraction = dot == std::string::npos ? "" : s.substr(dot + 1);
}

// The same digits of a Decimal's magnitude, exact.
void ExactDigits(const Decimal& d, int decimals, std::string& integer, std::string& fraction) {
    std::string s = d.ToString();
    if (!s.empty() && s[0] == '-') s.erase(0, 1);
    const std::size_t dot = s.find('.');
    integer = s.substr(0, dot);
    fraction = dot == std::string::npos ? "" : s.substr(dot + 1);
    const bool up =
        static_cast<int>(fraction.size()) > decimals && fraction[static_cast<std::size_t>(decimals)] >= '5';
    fraction.resize(static_cast<std::size_t>(decimals), '0');
    if (!up) return;
    std::string all = integer + fraction;
    int k = static_cast<int>(all.size()) - 1;
    for (; k >= 0 && all[static_cast<std::size_t>(k)] == '9'; --k)
        all[static_cast<std::size_t>(k)] = '0';
    if (k < 0)
        all.insert(all.begin(), '1');
    else
        ++all[static_cast<std::size_t>(k)];
    integer = all.substr(0, all.size() - fraction.size());
    fraction = all.substr(all.size() - fraction.size());
}

std::string Group(const std::string& digits) {
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += kThousands;
        out += digits[static_cast<std::size_t>(i)];
    }
    return out;
}

// One section of a user number format applied to |v| (the sign is the caller's); `exact`, when given, is
// the same value as a Decimal, whose digits are written instead of the Double's.
std::string FormatSection(double v, std::string_view f, const Decimal* exact = nullptr) {
    // Read the placeholders.
    int intZeros = 0, intDigits = 0, decZeros = 0, decDigits = 0, expZeros = 0;
    bool hasDecimal = false, thousands = false, percent = false, exponent = false, expPlus = false;
    char expLetter = 'E';
    std::size_t first = std::string_view::npos, last = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        char c = f[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == '\\') {
            ++i;
            continue;
        }
        if (exponent) {
            if (c == '0' || c == '#') {
                if (c == '0') ++expZeros;
                last = i;
            }
            continue;
        }
        if (c == '0' || c == '#') {
            if (first == std::string_view::npos) first = i;
            last = i;
            if (hasDecimal)
                (c == '0' ? decZeros : decDigits)++;
            else
                (c == '0' ? intZeros : intDigits)++;
        } else if (c == '.' && !hasDecimal) {
            hasDecimal = true;
            if (first == std::string_view::npos) first = i;
            last = i;
        } else if (c == ',' && !hasDecimal && first != std::string_view::npos) {
            thousands = true;
        } else if (c == '%') {
            percent = true;
        } else if ((c == 'E' || c == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-') &&
                   first != std::string_view::npos) {
            exponent = true;
            expLetter = c;
            expPlus = f[i + 1] == '+';
            ++i;
            last = i;
        }
    }
    std::optional<Decimal> scaled;
    if (exact) scaled = percent ? Multiply(*exact, Decimal::FromInt(100)) : *exact;
    if (percent) v *= 100;
    int decimals = decZeros + decDigits;

    std::string number;
    if (first != std::string_view::npos) {
        std::string integer, fraction;
        int exp = 0;
        if (exponent) {
            int intPlaces = intZeros + intDigits > 0 ? intZeros + intDigits : 1;
            if (v != 0) {
                exp = static_cast<int>(std::floor(std::log10(v))) - (intPlaces - 1);
                v /= std::pow(10.0, exp);
            }
            Digits(v, decimals, integer, fraction);
            if (integer.size() > static_cast<std::size_t>(intPlaces)) { // rounding carried a digit
                v /= 10;
                ++exp;
                Digits(v, decimals, integer, fraction);
            }
        } else if (scaled) {
            ExactDigits(*scaled, decimals, integer, fraction);
        } else {
            Digits(v, decimals, integer, fraction);
        }
        while (static_cast<int>(fraction.size()) > decZeros && !fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        if (integer == "0" && intZeros == 0) integer.clear();
        while (static_cast<int>(integer.size()) < intZeros)
            integer.insert(integer.begin(), '0');
        number = thousands ? Group(integer) : integer;
        if (hasDecimal) {
            number += kDecimal;
            number += fraction;
        }
        if (exponent) {
            number += expLetter;
            if (exp < 0)
                number += '-';
            else if (expPlus)
                number += '+';
            std::string e = std::to_string(std::abs(exp));
            while (static_cast<int>(e.size()) < expZeros)
                e.insert(e.begin(), '0');
            number += e;
        }
    }

    // Literals before, around and after the number.
    std::string out;
    quoted = false;
    bool placed = first == std::string_view::npos;
    for (std::size_t i = 0; i < f.size(); ++i) {
        char c = f[i];
        bool inNumber = !placed ? false : (first != std::string_view::npos && i >= first && i <= last);
        if (first != std::string_view::npos && i == first && !placed) {
            out += number;
            placed = true;
            i = last;
            continue;
        }
        (void)inNumber;
        if (c == '"') {
            std::size_t close = f.find('"', i + 1);
            if (close == std::string_view::npos) close = f.size();
            out.append(f.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '\\') {
            if (i + 1 < f.size()) out += f[++i];
        } else if (c == ',' && first != std::string_view::npos && i > first) {
        } else {
            out += c;
        }
    }
    if (!placed) out += number;
    return out;
}

std::string Named(double v, std::string_view f, bool& found) {
    found = true;
    std::string out;
    if (EqualsNoCase(f, "General Number")) {
        AppendDouble(out, v);
        ReplaceDecimal(out);
        return out;
    }
    if (EqualsNoCase(f, "Currency")) {
        out = FormatSection(std::fabs(v), "#,##0.00");
        return (v < 0 && out.find_first_not_of("0,.") != std::string::npos ? "-€ " : "€ ") + out;
    }
    if (EqualsNoCase(f, "Fixed")) return FormatNumber(v, "0.00");
    if (EqualsNoCase(f, "Standard")) return FormatNumber(v, "#,##0.00");
    if (EqualsNoCase(f, "Percent")) return FormatNumber(v, "0.00%");
    if (EqualsNoCase(f, "Scientific")) return FormatNumber(v, "0.00E+00");
    if (EqualsNoCase(f, "Yes/No")) return v != 0 ? "Sì" : "No";
    if (EqualsNoCase(f, "True/False")) return v != 0 ? "Vero" : "Falso";
    if (EqualsNoCase(f, "On/Off")) return v != 0 ? "On" : "Off";
    found = false;
    return out;
}

const char* const kNamedDates[] = {"General Date", "Long Date",   "Medium Date", "Short Date",
                                   "Long Time",    "Medium Time", "Short Time"};

void AppendDatePattern(std::string& out, double d, std::string_view f);

void AppendNamedDate(std::string& out, double d, std::string_view f) {
    if (EqualsNoCase(f, "General Date"))
        AppendDate(out, d);
    else if (EqualsNoCase(f, "Long Date"))
        AppendDatePattern(out, d, "dddd d mmmm yyyy");
    else if (EqualsNoCase(f, "Medium Date"))
        AppendDatePattern(out, d, "dd-mmm-yy");
    else if (EqualsNoCase(f, "Short Date"))
        AppendDatePattern(out, d, "dd/mm/yyyy");
    else if (EqualsNoCase(f, "Long Time"))
        AppendDatePattern(out, d, "hh:nn:ss");
    else if (EqualsNoCase(f, "Medium Time"))
        AppendDatePattern(out, d, "hh:nn AM/PM");
    else
        AppendDatePattern(out, d, "hh:nn");
}

bool IsNamedDate(std::string_view f) {
    for (const char* n : kNamedDates)
        if (EqualsNoCase(f, n)) return true;
    return false;
}

void AppendDatePattern(std::string& out, double d, std::string_view f) {
    CivilDate cd = SplitDayNumber(d);
    // A 12-hour clock when the format names AM/PM, A/P or AMPM.
    bool twelve = false;
    for (std::size_t i = 0; i < f.size(); ++i)
        if (StartsNoCase(f, i, "AM/PM") || StartsNoCase(f, i, "A/P") || StartsNoCase(f, i, "AMPM"))
            twelve = true;
    bool afterHour = false;
    for (std::size_t i = 0; i < f.size();) {
        char c = f[i];
        char lc = Lower(c);
        std::size_t n = Run(f, i);
        if (c == '"') {
            std::size_t close = f.find('"', i + 1);
            if (close == std::string_view::npos) close = f.size();
            out.append(f.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (c == '\\') {
            if (i + 1 < f.size()) out += f[i + 1];
            i += 2;
            continue;
        }
        if (StartsNoCase(f, i, "AM/PM") || StartsNoCase(f, i, "A/P")) {
            bool pm = cd.hour >= 12;
            bool full = StartsNoCase(f, i, "AM/PM");
            std::string_view token = f.substr(i, full ? 5 : 3);
            std::string_view pick =
                pm ? token.substr(full ? 3 : 2, full ? 2 : 1) : token.substr(0, full ? 2 : 1);
            out.append(pick);
            i += token.size();
            continue;
        }
        if (StartsNoCase(f, i, "AMPM")) {
            out += cd.hour >= 12 ? "PM" : "AM";
            i += 4;
            continue;
        }
        switch (lc) {
        case 'd':
            if (n >= 6)
                AppendNamedDate(out, std::trunc(d), "Long Date");
            else if (n == 5)
                AppendNamedDate(out, std::trunc(d), "Short Date");
            else if (n == 4)
                out += kDayNames[Weekday(d) - 1];
            else if (n == 3)
                out += kDayShort[Weekday(d) - 1];
            else
                AppendPart(out, cd.day, n == 2);
            i += n;
            continue;
        case 'm': {
            // m after an hour, or before seconds, is minutes.
            std::size_t j = i + n;
            while (j < f.size() && std::string_view("dmyhnswq").find(Lower(f[j])) == std::string_view::npos)
                ++j;
            bool beforeSeconds = j < f.size() && Lower(f[j]) == 's';
            if (n <= 2 && (afterHour || beforeSeconds))
                AppendPart(out, cd.minute, n == 2);
            else if (n >= 4)
                out += kMonthNames[cd.month - 1];
            else if (n == 3)
                out += kMonthShort[cd.month - 1];
            else
                AppendPart(out, cd.month, n == 2);
            i += n;
            continue;
        }
        case 'y':
            if (n >= 4) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "%04d", cd.year);
                out += buf;
                i += 4;
            } else if (n >= 2) {
                Pad2(out, cd.year % 100);
                i += 2;
            } else {
                out += std::to_string(static_cast<long long>(std::trunc(d) - DayNumber(cd.year, 1, 1)) + 1);
                i += 1;
            }
            continue;
        case 'h': {
            AppendPart(out, twelve ? (cd.hour % 12 == 0 ? 12 : cd.hour % 12) : cd.hour, n >= 2);
            afterHour = true;
            i += n >= 2 ? 2 : 1;
            continue;
        }
        case 'n':
        case 's':
            AppendPart(out, lc == 'n' ? cd.minute : cd.second, n >= 2);
            i += n >= 2 ? 2 : 1;
            continue;
        case 'w':
            if (n >= 2) {
                double jan1 = DayNumber(cd.year, 1, 1);
                out += std::to_string(
                    static_cast<long long>((std::trunc(d) - jan1 + (Weekday(jan1) - 1)) / 7) + 1);
            } else {
                out += std::to_string(Weekday(d));
            }
            i += n >= 2 ? 2 : 1;
            continue;
        case 'q':
            out += std::to_string((cd.month - 1) / 3 + 1);
            i += 1;
            continue;
        case 'c':
            AppendDate(out, d);
            i += 1;
            continue;
        case 't':
            if (n >= 5) {
                AppendNamedDate(out, d, "Long Time");
                i += 5;
                continue;
            }
            break;
        case ':':
            out += kTimeSeparator;
            i += 1;
            continue;
        case '/':
            out += kDateSeparator;
            i += 1;
            continue;
        default:
            break;
        }
        out += c;
        ++i;
    }
}

} // namespace

bool IsDateFormat(std::string_view f) {
    if (IsNamedDate(f)) return true;
    for (const char* n : {"General Number", "Currency", "Fixed", "Standard", "Percent", "Scientific",
                          "Yes/No", "True/False", "On/Off"})
        if (EqualsNoCase(f, n)) return false;
    bool quoted = false, dateLetter = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        char c = f[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '0' || c == '#' || c == '@' || c == '&') return false;
        if (std::string_view("dmyhnswqc").find(Lower(c)) != std::string_view::npos) dateLetter = true;
    }
    return dateLetter;
}

std::string FormatDate(double d, std::string_view f) {
    std::string out;
    if (IsNamedDate(f))
        AppendNamedDate(out, d, f);
    else
        AppendDatePattern(out, d, f);
    return out;
}

namespace {

std::string FormatNumber(double v, std::string_view f, const Decimal* exact) {
    bool named = false;
    std::string out = Named(v, f, named);
    if (named) return out;
    std::optional<Decimal> magnitude;
    if (exact) magnitude = exact->Negative() ? exact->Negated() : *exact;
    const Decimal* m = magnitude ? &*magnitude : nullptr;
    std::vector<std::string_view> sections = Sections(f);
    if (v < 0 && sections.size() >= 2 && !sections[1].empty()) return FormatSection(-v, sections[1], m);
    if (v == 0 && sections.size() >= 3 && !sections[2].empty()) return FormatSection(0, sections[2]);
    out = FormatSection(std::fabs(v), sections[0], m);
    // A minus sign only when something non-zero shows.
    if (v < 0 && out.find_first_of("123456789") != std::string::npos) out.insert(out.begin(), '-');
    return out;
}

} // namespace

std::string FormatNumber(double v, std::string_view f) {
    return FormatNumber(v, f, nullptr);
}

std::string FormatDecimal(const Decimal& d, std::string_view f) {
    return FormatNumber(d.ToDouble(), f, &d);
}

std::string FormatText(std::string_view text, std::string_view f) {
    bool lower = false, upper = false, leftToRight = false;
    int placeholders = 0;
    for (char c : f) {
        if (c == '<')
            lower = true;
        else if (c == '>')
            upper = true;
        else if (c == '!')
            leftToRight = true;
        else if (c == '@' || c == '&')
            ++placeholders;
    }
    std::string t;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = DecodeUtf8(text, i);
        AppendUtf8(t, lower ? FoldCase(c) : upper ? UpperCase(c) : c);
    }
    if (placeholders == 0) return t;
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t start = i;
        DecodeUtf8(t, i);
        chars.push_back(t.substr(start, i - start));
    }
    // Placeholders take characters from the right (or from the left with !); extra text goes first.
    std::vector<std::string> slot(static_cast<std::size_t>(placeholders));
    std::string extra;
    int count = static_cast<int>(chars.size());
    if (leftToRight) {
        for (int k = 0; k < placeholders && k < count; ++k)
            slot[static_cast<std::size_t>(k)] = chars[static_cast<std::size_t>(k)];
        for (int k = placeholders; k < count; ++k)
            extra += chars[static_cast<std::size_t>(k)];
    } else {
        for (int k = 0; k < placeholders && k < count; ++k)
            slot[static_cast<std::size_t>(placeholders - 1 - k)] =
                chars[static_cast<std::size_t>(count - 1 - k)];
        for (int k = 0; k < count - placeholders; ++k)
            extra += chars[static_cast<std::size_t>(k)];
    }
    std::string out = leftToRight ? "" : extra;
    int k = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        char c = f[i];
        if (c == '<' || c == '>' || c == '!') continue;
        if (c == '@' || c == '&') {
            std::string& s = slot[static_cast<std::size_t>(k++)];
            out += s.empty() && c == '@' ? " " : s;
        } else if (c == '\\' && i + 1 < f.size()) {
            out += f[++i];
        } else if (c == '"') {
            std::size_t close = f.find('"', i + 1);
            if (close == std::string_view::npos) close = f.size();
            out.append(f.substr(i + 1, close - i - 1));
            i = close;
        } else {
            out += c;
        }
    }
    if (leftToRight) out += extra;
    return out;
}

} // namespace ledrana::dao::vb
