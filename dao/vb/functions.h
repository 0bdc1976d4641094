#pragma once
// VB's conversion rules and the SQL functions that translated Jet SQL calls (registered on a connection by
// RegisterJetFunctions, dao/sql/jetsql.h).
//
// Values follow the storage conventions of dao/sql/jetsql.h: Boolean -1/0, Date as a REAL day number from
// 30 December 1899, Currency a REAL rounded to four decimals. The text forms are those of dao/vb/variant.h,
// so that SQL and recordsets agree:
//   - numbers print in VB's CStr form with "." as the decimal separator: Double to 15 significant digits,
//     Single to 7, an exponent when the number has more digits than that or is below 1E-4 ("1E+20",
//     "1.5E-05"); Currency without trailing zeros;
//   - text reads as a number with either "." or "," as the decimal separator (one of them, once), an
//     optional sign and exponent, blanks around it, "&H" hex and "&O" octal;
//   - dates print as "dd/mm/yyyy", "hh.nn.ss" or both (an Italian system's short date and time); text
//     reads as a date as "dd/mm/yyyy" (also with "-" or "."; a two-digit year 00-29 is 20xx, 30-99 19xx;
//     when day and month cannot be read that way but can be swapped, they are, as VB does),
//     "yyyy-mm-dd", each optionally followed by a time "hh:nn[:ss]" or "hh.nn[.ss]", or a time alone;
//   - Booleans print as "True"/"False" and text reads as a Boolean when it is "True"/"False" (any case)
//     or a number;
//   - Format applies the regional settings of an Italian system, as VB does: "," decimal and "."
//     thousands separator, "/" date and "." time separator (so "hh:nn" gives "09.05", like the "hh.nn.ss"
//     of CStr), Italian month and day names ("domenica 15 marzo 2020" is the Long Date), "€ 1.234,50"
//     for Currency, "Sì"/"No", "Vero"/"Falso", "On"/"Off" for the Yes/No, True/False, On/Off formats.
//     CStr, Str and & do not use the regional settings (see above), so their text reads back everywhere.
//   - InStr, InStrRev, Replace and StrComp compare without regard to case unless compare 0 (binary) is
//     given, as Jet's queries do.
//
// Storage loses the type of a value, so a function sees a Date as its day number and a Boolean as -1/0.
// Where the translator knows an expression is a date it calls jet_dtext(value) (CStr of a date) or
// jet_dformat(value, format...) (Format of a date) instead; elsewhere CStr, & and Format without a format
// print numbers (Format with a date format, Year, Month... read them as dates). jet_cast's fromType
// restores the type for field conversions.
//
// SQL functions (all deterministic except Date, Now, Time, Rnd), with VB's Null propagation:
//   jet_cast(value, daoType, size[, fromType]) -> the value converted for a field of that type, or Null
//       when it cannot be converted (text that is no number, a number out of range, a Binary into a
//       number...). Text longer than size (Text, Binary; size 0 means no limit) is cut to size
//       characters. fromType (a DAO type code) says what the value was when its storage does not show
//       it: a Date or Boolean source prints as a date or True/False when converted to text.
//       This is Execute's conversion without dbFailOnError.
//   jet_cast_strict(value, daoType, size[, fromType]) -> the same, but raises 3421 (conversion), 3349
//       (numeric overflow) or 3163 (text too long) instead.
//   The VB functions keep VB's errors: CLng("abc") raises 13, CInt(40000) 6, CStr(Null) 94...
//   An SQL function error reaches the caller of sqlite3_step as the message "<number> <description>";
//   FunctionError() turns it back into a ledrana::Error.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dao/vb/decimal.h"
#include "platform/error.h"

namespace ledrana::dao::vb {

// ---- Dates --------------------------------------------------------------------------------------------

// Day number of a calendar date (30 December 1899 is 0). Year 100-9999, month and day normal.
double DayNumber(int year, int month, int day);
// Fraction of the day for a time of day.
double TimeFraction(int hour, int minute, int second);

struct CivilDate {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
// The calendar parts of a day number (time rounded to the second, as VB shows it).
CivilDate SplitDayNumber(double dayNumber);
// Day of the week, 1 = Sunday ... 7 = Saturday.
int Weekday(double dayNumber);

// Valid Date range: 1 January 100 to 31 December 9999.
inline constexpr double kMinDate = -657434.0;
inline constexpr double kMaxDate = 2958465.999988426;

// The day number the system clock shows now (local time).
double NowDayNumber();

// ---- Regional settings --------------------------------------------------------------------------------

// How CStr writes a date: the short date and time of the system's regional settings. One setting for the
// whole engine, an Italian system's by default (dd/mm/yyyy hh.nn.ss), which every text the program builds
// relies on; a United States system writes mm/dd/yyyy hh:nn:ss.
struct RegionalSettings {
    bool dayFirst = true;
    char dateSeparator = '/';
    char timeSeparator = '.';
};
const RegionalSettings& Regional();
void SetRegional(const RegionalSettings& settings);

// ---- Text <-> number, date, Boolean ------------------------------------------------------------------

// A number written in text (rules above). Empty when it is not one.
std::optional<double> ParseNumber(std::string_view text);
// A date written in text (rules above). Empty when it is not one.
std::optional<double> ParseDate(std::string_view text);
// A Boolean written in text: "True"/"False" or a number. Empty when it is neither.
std::optional<bool> ParseBoolean(std::string_view text);

// The pieces of date texts that ParseDate and Jet SQL's #date# literals share: whether y-m-d is a day of
// the calendar (years 100 to 9999); up to maxDigits decimal digits at s[i], giving how many were read; a
// time of day at s[i] as a fraction of a day: h:nn[:ss] or h.nn[.ss] with two-digit minutes and seconds
// (in a SQL literal, `sqlLiteral`: ':' only, one or two digits each), blanks, then an optional AM/PM.
bool ValidDate(int y, int m, int d);
int ReadDigits(std::string_view s, std::size_t& i, int maxDigits, int& value);
bool ReadTime(std::string_view s, std::size_t& i, double& fraction, bool sqlLiteral = false);

// CStr of numbers and dates (rules above). The results are appended to out, without allocation when
// out has room.
void AppendDouble(std::string& out, double v);
void AppendSingle(std::string& out, double v);
void AppendCurrency(std::string& out, double v);
void AppendDate(std::string& out, double dayNumber);
std::string DoubleText(double v);
std::string DateText(double dayNumber);

// VB's Val: the number at the start of the text, "." as decimal separator, blanks ignored; 0 if none.
double Val(std::string_view text);

// Round half to even, as CInt, CLng and CByte do.
double RoundHalfEven(double v);
// CCur's rounding to four decimals (half to even).
double RoundCurrency(double v);

// ---- Text --------------------------------------------------------------------------------------------

// Case folding of one code point, as Windows does on an Italian system (ASCII and Latin-1 letters).
char32_t FoldCase(char32_t c);
char32_t UpperCase(char32_t c);
// Decodes one UTF-8 code point at s[i] and advances i; an invalid byte is returned as itself.
char32_t DecodeUtf8(std::string_view s, std::size_t& i);
void AppendUtf8(std::string& out, char32_t c);

// VB's Like on UTF-8 text, without regard to case.
bool Like(std::string_view text, std::string_view pattern);

// VB's Format(value, format) for a number or a date (isDate tells which the value is).
std::string FormatNumber(double v, std::string_view format);
// The same for a Decimal: a format of digit placeholders writes its digits exactly.
std::string FormatDecimal(const Decimal& d, std::string_view format);
std::string FormatDate(double dayNumber, std::string_view format);
// Format of a text value with a text format (@ & < > !), or returned unchanged.
std::string FormatText(std::string_view text, std::string_view format);
// True when the format names a date (named date formats, or d m y h n s w q c outside quotes).
bool IsDateFormat(std::string_view format);

// ---- Errors ------------------------------------------------------------------------------------------

// The error an SQL function reported, from the text sqlite3_errmsg gives ("13 Tipo non corrispondente");
// empty when the message is not one of ours.
std::optional<Error> FunctionError(std::string_view sqliteMessage);

} // namespace ledrana::dao::vb
