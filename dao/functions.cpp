// The SQL functions that translated Jet SQL calls, registered on each connection.

#include "dao/functions.h"

#include <sqlite3.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>

#include "dao/dao.h"
#include "dao/functions_internal.h"
#include "dao/jetsql.h"

namespace ledrana::dao {

namespace {

using namespace vb;

// An error a function raises: caught by Call, which reports it to SQLite as "number description".
struct Raised {
    int number;
};

void ReportError(sqlite3_context* ctx, int number) {
    std::string m = std::to_string(number) + " " + ErrorDescription(number);
    sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
}

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

template <Body F> void Call(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    try {
        F(ctx, argc, argv);
    } catch (const Raised& r) {
        ReportError(ctx, r.number);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (...) {
        ReportError(ctx, 5);
    }
}

// ---- Arguments ------------------------------------------------------------------------------------------

int Type(sqlite3_value* v) {
    return sqlite3_value_type(v);
}
bool IsNull(sqlite3_value* v) {
    return Type(v) == SQLITE_NULL;
}

std::string_view RawText(sqlite3_value* v) {
    const unsigned char* p = sqlite3_value_text(v);
    return {reinterpret_cast<const char*>(p), p ? static_cast<std::size_t>(sqlite3_value_bytes(v)) : 0u};
}

std::string_view RawBlob(sqlite3_value* v) {
    const void* p = sqlite3_value_blob(v);
    return {static_cast<const char*>(p), p ? static_cast<std::size_t>(sqlite3_value_bytes(v)) : 0u};
}

void AppendInt(std::string& out, sqlite3_int64 i) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    out.append(buf, r.ptr);
}

// The text of a value as VB's CStr gives it; numbers are formatted into buf. Null must be handled first.
std::string_view StrArg(sqlite3_value* v, std::string& buf) {
    switch (Type(v)) {
    case SQLITE_INTEGER:
        buf.clear();
        AppendInt(buf, sqlite3_value_int64(v));
        return buf;
    case SQLITE_FLOAT:
        buf.clear();
        AppendDouble(buf, sqlite3_value_double(v));
        return buf;
    case SQLITE_BLOB:
        return RawBlob(v);
    default:
        return RawText(v);
    }
}

// A number as VB converts it: text must read as a number (13), Null is 94.
double NumArg(sqlite3_value* v) {
    switch (Type(v)) {
    case SQLITE_INTEGER:
        return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_NULL:
        throw Raised{94};
    case SQLITE_TEXT:
        if (auto n = ParseNumber(RawText(v))) return *n;
        [[fallthrough]];
    default:
        throw Raised{13};
    }
}

// A date as VB converts it: numbers are day numbers, text must read as a date.
double DateArg(sqlite3_value* v) {
    switch (Type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        double d = sqlite3_value_double(v);
        if (d < kMinDate || d > kMaxDate) throw Raised{6};
        return d;
    }
    case SQLITE_NULL:
        throw Raised{94};
    case SQLITE_TEXT:
        if (auto d = ParseDate(RawText(v))) return *d;
        [[fallthrough]];
    default:
        throw Raised{13};
    }
}

long long LongArg(sqlite3_value* v) {
    double d = RoundHalfEven(NumArg(v));
    if (d < -2147483648.0 || d > 2147483647.0) throw Raised{6};
    return static_cast<long long>(d);
}

// Text compare mode of InStr, Replace, StrComp: 0 binary, otherwise without regard to case.
bool TextCompare(int argc, sqlite3_value** argv, int index) {
    if (index >= argc || IsNull(argv[index])) return true;
    return LongArg(argv[index]) != 0;
}

void ResultText(sqlite3_context* ctx, std::string_view s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void ResultBool(sqlite3_context* ctx, bool b) {
    sqlite3_result_int(ctx, b ? -1 : 0);
}

// Result of an arithmetic that VB keeps integer while it fits a Long.
void ResultNumber(sqlite3_context* ctx, double d) {
    if (d == std::trunc(d) && std::fabs(d) <= 9007199254740992.0)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    else
        sqlite3_result_double(ctx, d);
}

// ---- UTF-8 characters --------------------------------------------------------------------------------

std::size_t CharCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();)
        DecodeUtf8(s, i), ++n;
    return n;
}

// Byte offset of character index k (0-based), or s.size().
std::size_t ByteOffset(std::string_view s, std::size_t k) {
    std::size_t i = 0;
    while (k > 0 && i < s.size())
        DecodeUtf8(s, i), --k;
    return i;
}

std::string Fold(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        AppendUtf8(out, FoldCase(DecodeUtf8(s, i)));
    return out;
}

// Character position (1-based) of needle in hay from character start, 0 when absent.
long long Find(std::string_view hay, std::string_view needle, long long start, bool text) {
    std::string fh, fn;
    if (text) {
        fh = Fold(hay), fn = Fold(needle);
        hay = fh, needle = fn;
    }
    std::size_t from = ByteOffset(hay, static_cast<std::size_t>(start - 1));
    std::size_t at = hay.find(needle, from);
    if (at == std::string_view::npos) return 0;
    return static_cast<long long>(CharCount(hay.substr(0, at))) + 1;
}

// ---- Operators -----------------------------------------------------------------------------------------

void FnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out, buf;
    bool any = false;
    for (int k = 0; k < argc; ++k) {
        if (IsNull(argv[k])) continue;
        any = true;
        out += StrArg(argv[k], buf);
    }
    if (any)
        ResultText(ctx, out);
    else
        sqlite3_result_null(ctx);
}

void FnAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    if (Type(argv[0]) == SQLITE_TEXT && Type(argv[1]) == SQLITE_TEXT) {
        std::string s(RawText(argv[0]));
        s += RawText(argv[1]);
        return ResultText(ctx, s);
    }
    if (Type(argv[0]) == SQLITE_INTEGER && Type(argv[1]) == SQLITE_INTEGER) {
        sqlite3_int64 r;
        if (!__builtin_add_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), &r))
            return sqlite3_result_int64(ctx, r);
    }
    sqlite3_result_double(ctx, NumArg(argv[0]) + NumArg(argv[1]));
}

void FnDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    double b = NumArg(argv[1]);
    if (b == 0) throw Raised{11};
    sqlite3_result_double(ctx, NumArg(argv[0]) / b);
}

void FnIntDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    long long a = LongArg(argv[0]), b = LongArg(argv[1]);
    if (b == 0) throw Raised{11};
    sqlite3_result_int64(ctx, a / b);
}

void FnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    long long a = LongArg(argv[0]), b = LongArg(argv[1]);
    if (b == 0) throw Raised{11};
    sqlite3_result_int64(ctx, a % b);
}

void FnPow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    double a = NumArg(argv[0]), b = NumArg(argv[1]);
    if (a < 0 && b != std::trunc(b)) throw Raised{5};
    ResultNumber(ctx, std::pow(a, b));
}

void DeletePattern(void* p) {
    delete static_cast<LikePattern*>(p);
}

void FnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    // The pattern is nearly always a constant: read it once per statement.
    auto* pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 1));
    if (!pattern) {
        std::string buf;
        pattern = new LikePattern(StrArg(argv[1], buf));
        sqlite3_set_auxdata(ctx, 1, pattern, DeletePattern);
        pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 1));
        if (!pattern) {
            std::string pb;
            LikePattern once(StrArg(argv[1], pb));
            std::string tb;
            return sqlite3_result_int(ctx, once.Matches(StrArg(argv[0], tb)) ? 1 : 0);
        }
    }
    std::string buf;
    sqlite3_result_int(ctx, pattern->Matches(StrArg(argv[0], buf)) ? 1 : 0);
}

// ---- Conversions ---------------------------------------------------------------------------------------

void FnCBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    if (IsNull(v)) throw Raised{94};
    if (Type(v) == SQLITE_TEXT) {
        auto b = ParseBoolean(RawText(v));
        if (!b) throw Raised{13};
        return ResultBool(ctx, *b);
    }
    ResultBool(ctx, NumArg(v) != 0);
}

template <long long Min, long long Max> void FnCInteger(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = RoundHalfEven(NumArg(argv[0]));
    if (d < static_cast<double>(Min) || d > static_cast<double>(Max)) throw Raised{6};
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
}

void FnCCur(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = RoundCurrency(NumArg(argv[0]));
    if (std::fabs(d) > 922337203685477.5807) throw Raised{6};
    sqlite3_result_double(ctx, d);
}

void FnCSng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = NumArg(argv[0]);
    if (std::fabs(d) > FLT_MAX) throw Raised{6};
    sqlite3_result_double(ctx, static_cast<float>(d));
}

void FnCDbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_double(ctx, NumArg(argv[0]));
}

void FnCDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_double(ctx, DateArg(argv[0]));
}

void FnCStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw Raised{94};
    std::string buf;
    ResultText(ctx, StrArg(argv[0], buf));
}

void FnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// jet_dtext(date): CStr of a value the query knows is a date (its day number in storage); Null stays Null.
void FnDateText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int t = Type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (t != SQLITE_INTEGER && t != SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
    const double d = sqlite3_value_double(argv[0]);
    if (!(d >= kMinDate && d <= kMaxDate)) throw Raised{6};
    ResultText(ctx, DateText(d));
}

// jet_dformat(date[, format...]): Format of a date: without a format its CStr text, with a date format the
// date so written, with a number format its day number so written.
void FnDateFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int t = Type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string fbuf;
    std::string_view format = argc > 1 && !IsNull(argv[1]) ? StrArg(argv[1], fbuf) : std::string_view();
    if (t != SQLITE_INTEGER && t != SQLITE_FLOAT) return FnFormat(ctx, argc, argv);
    const double d = sqlite3_value_double(argv[0]);
    if (!(d >= kMinDate && d <= kMaxDate)) return FnFormat(ctx, argc, argv);
    if (format.empty()) return ResultText(ctx, DateText(d));
    if (IsDateFormat(format)) return ResultText(ctx, FormatDate(d, format));
    ResultText(ctx, FormatNumber(d, format));
}

void FnCVar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, argv[0]);
}

void FnVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw Raised{94};
    std::string buf;
    sqlite3_result_double(ctx, Val(StrArg(argv[0], buf)));
}

void FnStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    double d = NumArg(argv[0]);
    std::string s = d >= 0 ? " " : "";
    if (Type(argv[0]) == SQLITE_INTEGER)
        AppendInt(s, sqlite3_value_int64(argv[0]));
    else
        AppendDouble(s, d);
    ResultText(ctx, s);
}

void FnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (Type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return ResultBool(ctx, true);
    case SQLITE_TEXT:
        return ResultBool(ctx, ParseNumber(RawText(argv[0])).has_value());
    default:
        return ResultBool(ctx, false);
    }
}

void FnIsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    ResultBool(ctx, Type(argv[0]) == SQLITE_TEXT && ParseDate(RawText(argv[0])).has_value());
}

// ---- Text functions ------------------------------------------------------------------------------------

void FnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[1]);
    if (n < 0) throw Raised{5};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    if (static_cast<std::size_t>(n) >= s.size() && Type(argv[0]) == SQLITE_TEXT)
        return sqlite3_result_value(ctx, argv[0]);
    ResultText(ctx, s.substr(0, ByteOffset(s, static_cast<std::size_t>(n))));
}

void FnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[1]);
    if (n < 0) throw Raised{5};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    std::size_t count = CharCount(s);
    if (static_cast<std::size_t>(n) >= count) return ResultText(ctx, s);
    ResultText(ctx, s.substr(ByteOffset(s, count - static_cast<std::size_t>(n))));
}

void FnMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long start = LongArg(argv[1]);
    if (start < 1) throw Raised{5};
    long long len = -1;
    if (argc > 2) {
        len = LongArg(argv[2]);
        if (len < 0) throw Raised{5};
    }
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    std::size_t from = ByteOffset(s, static_cast<std::size_t>(start - 1));
    std::string_view rest = s.substr(from);
    if (len >= 0) rest = rest.substr(0, ByteOffset(rest, static_cast<std::size_t>(len)));
    ResultText(ctx, rest);
}

void FnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf;
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(CharCount(StrArg(argv[0], buf))));
}

template <bool Left, bool Right> void FnTrim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    if (Left)
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
    if (Right)
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
    ResultText(ctx, s);
}

template <bool Upper> void FnCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf, out;
    std::string_view s = StrArg(argv[0], buf);
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = DecodeUtf8(s, i);
        AppendUtf8(out, Upper ? UpperCase(c) : FoldCase(c));
    }
    ResultText(ctx, out);
}

void FnInStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // InStr([start,] string1, string2[, compare]): with three arguments a number first is the start.
    int k = 0;
    long long start = 1;
    if (argc == 4 || (argc == 3 && (Type(argv[0]) == SQLITE_INTEGER || Type(argv[0]) == SQLITE_FLOAT))) {
        start = LongArg(argv[0]);
        if (start < 1) throw Raised{5};
        k = 1;
    }
    if (IsNull(argv[k]) || IsNull(argv[k + 1])) return sqlite3_result_null(ctx);
    std::string b1, b2;
    std::string_view hay = StrArg(argv[k], b1), needle = StrArg(argv[k + 1], b2);
    bool text = TextCompare(argc, argv, k + 2);
    if (static_cast<std::size_t>(start) > CharCount(hay)) return sqlite3_result_int(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    sqlite3_result_int64(ctx, Find(hay, needle, start, text));
}

void FnInStrRev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::string b1, b2;
    std::string hay(StrArg(argv[0], b1)), needle(StrArg(argv[1], b2));
    long long start = argc > 2 ? LongArg(argv[2]) : -1;
    if (start == 0 || start < -1) throw Raised{5};
    if (TextCompare(argc, argv, 3)) hay = Fold(hay), needle = Fold(needle);
    long long len = static_cast<long long>(CharCount(hay));
    if (start == -1) start = len;
    if (start > len) return sqlite3_result_int(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    // Last occurrence that ends at or before character start.
    std::size_t limit = ByteOffset(hay, static_cast<std::size_t>(start));
    if (needle.size() > limit) return sqlite3_result_int(ctx, 0);
    std::size_t at = hay.rfind(needle, limit - needle.size());
    if (at == std::string::npos) return sqlite3_result_int(ctx, 0);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(CharCount(std::string_view(hay).substr(0, at))) + 1);
}

void FnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    std::string b0, b1, b2;
    std::string_view s = StrArg(argv[0], b0), find = StrArg(argv[1], b1), with = StrArg(argv[2], b2);
    long long start = argc > 3 && !IsNull(argv[3]) ? LongArg(argv[3]) : 1;
    long long count = argc > 4 && !IsNull(argv[4]) ? LongArg(argv[4]) : -1;
    if (start < 1 || count < -1) throw Raised{5};
    bool text = TextCompare(argc, argv, 5);
    // VB returns the text from start on, with the replacements made.
    std::string_view rest = s.substr(ByteOffset(s, static_cast<std::size_t>(start - 1)));
    if (find.empty() || count == 0) return ResultText(ctx, rest);
    std::string folded, foldedFind;
    std::string_view hay = rest, needle = find;
    if (text) {
        // Folding keeps the byte length of the Latin letters it changes, so offsets stay valid.
        folded = Fold(rest), foldedFind = Fold(find);
        if (folded.size() == rest.size() && foldedFind.size() == find.size())
            hay = folded, needle = foldedFind;
    }
    std::string out;
    std::size_t pos = 0;
    while (count != 0) {
        std::size_t at = hay.find(needle, pos);
        if (at == std::string_view::npos) break;
        out.append(rest.substr(pos, at - pos));
        out.append(with);
        pos = at + needle.size();
        if (count > 0) --count;
    }
    out.append(rest.substr(pos));
    ResultText(ctx, out);
}

// Longer texts than SQLite keeps are refused before they are built.
const long long kMaxText = 100000000;

void FnSpace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = LongArg(argv[0]);
    if (n < 0) throw Raised{5};
    if (n > kMaxText) throw Raised{7};
    ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

void FnString(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[1])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[0]);
    if (n < 0) throw Raised{5};
    if (n > kMaxText) throw Raised{7};
    std::string one;
    if (Type(argv[1]) == SQLITE_TEXT) {
        std::string_view s = RawText(argv[1]);
        if (s.empty()) throw Raised{5};
        one = std::string(s.substr(0, ByteOffset(s, 1)));
    } else {
        AppendUtf8(one, static_cast<char32_t>(LongArg(argv[1]) & 0xFF));
    }
    std::string out;
    for (long long k = 0; k < n; ++k)
        out += one;
    ResultText(ctx, out);
}

void FnStrReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw Raised{94};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    std::vector<char32_t> cps;
    for (std::size_t i = 0; i < s.size();)
        cps.push_back(DecodeUtf8(s, i));
    std::string out;
    for (auto it = cps.rbegin(); it != cps.rend(); ++it)
        AppendUtf8(out, *it);
    ResultText(ctx, out);
}

// Windows-1252 bytes 128-159, as Chr and Asc use them on an Italian system.
const char32_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                              0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                              0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};

void FnChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = LongArg(argv[0]);
    if (n < 0 || n > 255) throw Raised{5};
    std::string out;
    AppendUtf8(out, n >= 128 && n < 160 ? kCp1252[n - 128] : static_cast<char32_t>(n));
    ResultText(ctx, out);
}

void FnAsc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw Raised{94};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    if (s.empty()) throw Raised{5};
    std::size_t i = 0;
    char32_t c = DecodeUtf8(s, i);
    for (int k = 0; k < 32; ++k)
        if (kCp1252[k] == c && c > 0xFF) return sqlite3_result_int(ctx, 128 + k);
    sqlite3_result_int64(ctx, c <= 0xFF ? static_cast<sqlite3_int64>(c) : 63); // '?' outside the code page
}

void FnStrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::string b1, b2;
    std::string a(StrArg(argv[0], b1)), b(StrArg(argv[1], b2));
    if (TextCompare(argc, argv, 2)) a = Fold(a), b = Fold(b);
    int c = a.compare(b);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

template <int Base> void FnRadix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[0]);
    unsigned long long u = n >= -32768 && n < 0 ? static_cast<unsigned long long>(n & 0xFFFF)
                                                : static_cast<unsigned long long>(n & 0xFFFFFFFF);
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, u, Base);
    for (char* p = buf; p < r.ptr; ++p)
        if (*p >= 'a') *p = static_cast<char>(*p - 32);
    ResultText(ctx, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

// ---- Numbers -----------------------------------------------------------------------------------------

template <double (*Op)(double)> void FnMath(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, Op(NumArg(argv[0])));
}

double Atn(double x) {
    return std::atan(x);
}
double Cos(double x) {
    return std::cos(x);
}
double Sin(double x) {
    return std::sin(x);
}
double Tan(double x) {
    return std::tan(x);
}
double Exp(double x) {
    double r = std::exp(x);
    if (std::isinf(r)) throw Raised{6};
    return r;
}
double Log(double x) {
    if (x <= 0) throw Raised{5};
    return std::log(x);
}
double Sqr(double x) {
    if (x < 0) throw Raised{5};
    return std::sqrt(x);
}

// Abs, Int, Fix, Sgn keep an integer an integer.
void FnAbs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    if (Type(argv[0]) == SQLITE_INTEGER &&
        sqlite3_value_int64(argv[0]) != std::numeric_limits<sqlite3_int64>::min())
        return sqlite3_result_int64(ctx, std::llabs(sqlite3_value_int64(argv[0])));
    sqlite3_result_double(ctx, std::fabs(NumArg(argv[0])));
}

template <bool Floor> void FnIntPart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    if (Type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    double d = NumArg(argv[0]);
    sqlite3_result_double(ctx, Floor ? std::floor(d) : std::trunc(d));
}

void FnSgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    double d = NumArg(argv[0]);
    sqlite3_result_int(ctx, d > 0 ? 1 : d < 0 ? -1 : 0);
}

void FnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long digits = argc > 1 ? LongArg(argv[1]) : 0;
    if (digits < 0 || digits > 22) throw Raised{5};
    if (Type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    double d = NumArg(argv[0]);
    double scale = std::pow(10.0, static_cast<double>(digits));
    double r = std::nearbyint(d * scale) / scale;
    if (std::isinf(d * scale)) r = d;
    sqlite3_result_double(ctx, r);
}

void FnRnd(sqlite3_context* ctx, int, sqlite3_value**) {
    unsigned int r;
    sqlite3_randomness(sizeof r, &r);
    sqlite3_result_double(ctx, (r >> 8) / 16777216.0);
}

// ---- Dates -----------------------------------------------------------------------------------------------

void FnDate(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, std::floor(NowDayNumber()));
}
void FnNow(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, NowDayNumber());
}
void FnTime(sqlite3_context* ctx, int, sqlite3_value**) {
    double now = NowDayNumber();
    sqlite3_result_double(ctx, now - std::floor(now));
}

enum class Part { Year, Month, Day, Hour, Minute, Second };

template <Part P> void FnDatePart1(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    CivilDate c = SplitDayNumber(DateArg(argv[0]));
    int v = P == Part::Year     ? c.year
            : P == Part::Month  ? c.month
            : P == Part::Day    ? c.day
            : P == Part::Hour   ? c.hour
            : P == Part::Minute ? c.minute
                                : c.second;
    sqlite3_result_int(ctx, v);
}

int FirstDay(int argc, sqlite3_value** argv, int index) {
    if (index >= argc || IsNull(argv[index])) return 1;
    long long f = LongArg(argv[index]);
    if (f < 0 || f > 7) throw Raised{5};
    return f == 0 ? 1 : static_cast<int>(f); // 0: the system's first day, Sunday here
}

int WeekdayFrom(double day, int firstDay) {
    return (Weekday(day) - firstDay + 7) % 7 + 1;
}

void FnWeekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, WeekdayFrom(DateArg(argv[0]), FirstDay(argc, argv, 1)));
}

// DateSerial with VB's carrying of months and days out of range.
double Serial(long long y, long long m, long long d) {
    if (y >= 0 && y < 30)
        y += 2000;
    else if (y >= 30 && y < 100)
        y += 1900;
    long long m0 = m - 1;
    y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    m0 = ((m0 % 12) + 12) % 12;
    if (y < 100 || y > 9999) throw Raised{5};
    double r = DayNumber(static_cast<int>(y), static_cast<int>(m0 + 1), 1) + static_cast<double>(d - 1);
    if (r < kMinDate || r > kMaxDate) throw Raised{5};
    return r;
}

void FnDateSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, Serial(LongArg(argv[0]), LongArg(argv[1]), LongArg(argv[2])));
}

// A day number as one linear count (before 1899 VB stores the day backwards but the time forwards).
double LinearDays(double v) {
    double whole = std::trunc(v);
    return whole + std::fabs(v - whole);
}

double FromLinear(double linear) {
    linear = std::nearbyint(linear * 86400.0) / 86400.0;
    double whole = std::floor(linear);
    double frac = linear - whole;
    return whole >= 0 ? whole + frac : whole - frac;
}

void FnTimeSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    double secs = static_cast<double>(LongArg(argv[0]) * 3600 + LongArg(argv[1]) * 60 + LongArg(argv[2]));
    sqlite3_result_double(ctx, FromLinear(secs / 86400.0));
}

void FnDateValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, std::trunc(DateArg(argv[0])));
}

void FnTimeValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    double d = DateArg(argv[0]);
    sqlite3_result_double(ctx, std::fabs(d - std::trunc(d)));
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval IntervalArg(sqlite3_value* v) {
    if (IsNull(v)) throw Raised{94};
    std::string s = Fold(RawText(v));
    if (s == "yyyy") return Interval::Year;
    if (s == "q") return Interval::Quarter;
    if (s == "m") return Interval::Month;
    if (s == "y") return Interval::DayOfYear;
    if (s == "d") return Interval::Day;
    if (s == "w") return Interval::Weekday;
    if (s == "ww") return Interval::Week;
    if (s == "h") return Interval::Hour;
    if (s == "n") return Interval::Minute;
    if (s == "s") return Interval::Second;
    throw Raised{5};
}

void FnDateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    Interval iv = IntervalArg(argv[0]);
    double count = std::trunc(NumArg(argv[1]));
    if (!(std::fabs(count) < 1e9)) throw Raised{5}; // beyond any date anyway
    long long n = static_cast<long long>(count);
    double date = DateArg(argv[2]);
    double r;
    if (iv == Interval::Year || iv == Interval::Quarter || iv == Interval::Month) {
        long long months = iv == Interval::Year ? n * 12 : iv == Interval::Quarter ? n * 3 : n;
        CivilDate c = SplitDayNumber(date);
        long long total = static_cast<long long>(c.year) * 12 + (c.month - 1) + months;
        long long y = total >= 0 ? total / 12 : -((11 - total) / 12);
        int m = static_cast<int>(total - y * 12) + 1;
        if (y < 100 || y > 9999) throw Raised{5};
        static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        int maxDay = (m == 2 && !leap) ? 28 : days[m - 1];
        int d = c.day > maxDay ? maxDay : c.day;
        double day = DayNumber(static_cast<int>(y), m, d);
        double time = TimeFraction(c.hour, c.minute, c.second);
        r = day < 0 ? day - time : day + time;
    } else {
        double unit = iv == Interval::Hour     ? 1.0 / 24
                      : iv == Interval::Minute ? 1.0 / 1440
                      : iv == Interval::Second ? 1.0 / 86400
                      : iv == Interval::Week   ? 7.0
                                               : 1.0;
        r = FromLinear(LinearDays(date) + static_cast<double>(n) * unit);
    }
    if (r < kMinDate || r > kMaxDate) throw Raised{5};
    sqlite3_result_double(ctx, r);
}

long long Floor(double v) {
    return static_cast<long long>(std::floor(v + 1e-9));
}

void FnDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    Interval iv = IntervalArg(argv[0]);
    double d1 = DateArg(argv[1]), d2 = DateArg(argv[2]);
    CivilDate a = SplitDayNumber(d1), b = SplitDayNumber(d2);
    double l1 = LinearDays(d1), l2 = LinearDays(d2);
    long long r = 0;
    switch (iv) {
    case Interval::Year:
        r = b.year - a.year;
        break;
    case Interval::Quarter:
        r = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
        break;
    case Interval::Month:
        r = (b.year * 12 + b.month) - (a.year * 12 + a.month);
        break;
    case Interval::DayOfYear:
    case Interval::Day:
        r = Floor(l2) - Floor(l1);
        break;
    case Interval::Weekday:
        r = (Floor(l2) - Floor(l1)) / 7;
        break;
    case Interval::Week: {
        // Number of first days of the week between the two dates.
        int first = FirstDay(argc, argv, 3);
        long long s1 = Floor(l1) - (WeekdayFrom(std::floor(l1), first) - 1);
        long long s2 = Floor(l2) - (WeekdayFrom(std::floor(l2), first) - 1);
        r = (s2 - s1) / 7;
        break;
    }
    case Interval::Hour:
        r = Floor(l2 * 24) - Floor(l1 * 24);
        break;
    case Interval::Minute:
        r = Floor(l2 * 1440) - Floor(l1 * 1440);
        break;
    case Interval::Second:
        r = std::llround(l2 * 86400) - std::llround(l1 * 86400);
        break;
    }
    sqlite3_result_int64(ctx, r);
}

void FnDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[1])) return sqlite3_result_null(ctx);
    Interval iv = IntervalArg(argv[0]);
    double d = DateArg(argv[1]);
    CivilDate c = SplitDayNumber(d);
    long long r = 0;
    switch (iv) {
    case Interval::Year:
        r = c.year;
        break;
    case Interval::Quarter:
        r = (c.month - 1) / 3 + 1;
        break;
    case Interval::Month:
        r = c.month;
        break;
    case Interval::DayOfYear:
        r = static_cast<long long>(std::trunc(d) - DayNumber(c.year, 1, 1)) + 1;
        break;
    case Interval::Day:
        r = c.day;
        break;
    case Interval::Weekday:
        r = WeekdayFrom(d, FirstDay(argc, argv, 2));
        break;
    case Interval::Week: {
        int first = FirstDay(argc, argv, 2);
        double jan1 = DayNumber(c.year, 1, 1);
        r = static_cast<long long>((std::trunc(d) - jan1 + (WeekdayFrom(jan1, first) - 1)) / 7) + 1;
        break;
    }
    case Interval::Hour:
        r = c.hour;
        break;
    case Interval::Minute:
        r = c.minute;
        break;
    case Interval::Second:
        r = c.second;
        break;
    }
    sqlite3_result_int64(ctx, r);
}

const char* const kMonths[] = {"gennaio", "febbraio", "marzo",     "aprile",  "maggio",   "giugno",
                               "luglio",  "agosto",   "settembre", "ottobre", "novembre", "dicembre"};
const char* const kDays[] = {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"};

std::string Abbreviation(const char* name) {
    std::string_view s = name;
    return std::string(s.substr(0, ByteOffset(s, 3)));
}

void FnMonthName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    long long m = LongArg(argv[0]);
    if (m < 1 || m > 12) throw Raised{5};
    bool abbreviate = argc > 1 && !IsNull(argv[1]) && NumArg(argv[1]) != 0;
    ResultText(ctx, abbreviate ? Abbreviation(kMonths[m - 1]) : std::string(kMonths[m - 1]));
}

void FnWeekdayName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    long long w = LongArg(argv[0]);
    if (w < 1 || w > 7) throw Raised{5};
    bool abbreviate = argc > 1 && !IsNull(argv[1]) && NumArg(argv[1]) != 0;
    int first = FirstDay(argc, argv, 2);
    const char* name = kDays[(w - 1 + first - 1) % 7];
    ResultText(ctx, abbreviate ? Abbreviation(name) : std::string(name));
}

// ---- Format ------------------------------------------------------------------------------------------

void FnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf, fbuf;
    std::string_view format = argc > 1 && !IsNull(argv[1]) ? StrArg(argv[1], fbuf) : std::string_view();
    int t = Type(argv[0]);
    if (format.empty()) return ResultText(ctx, StrArg(argv[0], buf));
    if (IsDateFormat(format)) {
        std::optional<double> d;
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
            d = sqlite3_value_double(argv[0]);
        else if (t == SQLITE_TEXT)
            d = ParseDate(RawText(argv[0]));
        // A value that is no date (or out of the dates' range) comes back as its text, as VB's Format does.
        if (!d || !(*d >= kMinDate && *d <= kMaxDate)) return ResultText(ctx, StrArg(argv[0], buf));
        return ResultText(ctx, FormatDate(*d, format));
    }
    std::optional<double> n;
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
        n = sqlite3_value_double(argv[0]);
    else if (t == SQLITE_TEXT)
        n = ParseNumber(RawText(argv[0]));
    if (!n) return ResultText(ctx, FormatText(StrArg(argv[0], buf), format));
    ResultText(ctx, FormatNumber(*n, format));
}

// ---- Casts for field values ----------------------------------------------------------------------------

enum CastResult { kCastOk, kCastConversion, kCastOverflow, kCastTooLong };

// The number in a value, for a numeric field; false when it is no number.
bool CastNumber(sqlite3_value* v, double& out) {
    switch (Type(v)) {
    case SQLITE_INTEGER:
        out = static_cast<double>(sqlite3_value_int64(v));
        return true;
    case SQLITE_FLOAT:
        out = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT:
        if (auto n = ParseNumber(RawText(v))) {
            out = *n;
            return true;
        }
        return false;
    default:
        return false;
    }
}

CastResult CastInteger(sqlite3_context* ctx, sqlite3_value* v, double min, double max) {
    if (Type(v) == SQLITE_INTEGER) {
        sqlite3_int64 i = sqlite3_value_int64(v);
        if (i < min || i > max) return kCastOverflow;
        sqlite3_result_value(ctx, v);
        return kCastOk;
    }
    double d;
    if (!CastNumber(v, d)) return kCastConversion;
    d = RoundHalfEven(d);
    if (!(d >= min && d <= max)) return kCastOverflow;
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    return kCastOk;
}

// Text of at most size characters (0: no limit); the cut text or the error.
CastResult CastText(sqlite3_context* ctx, std::string_view s, sqlite3_value* same, int size, bool strict) {
    if (size > 0 && s.size() > static_cast<std::size_t>(size)) {
        std::size_t cut = ByteOffset(s, static_cast<std::size_t>(size));
        if (cut < s.size()) {
            if (strict) return kCastTooLong;
            ResultText(ctx, s.substr(0, cut));
            return kCastOk;
        }
    }
    if (same)
        sqlite3_result_value(ctx, same);
    else
        ResultText(ctx, s);
    return kCastOk;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from text with or without braces, or from 16 bytes.
bool GuidText(sqlite3_value* v, std::string& out) {
    static const char* kHex = "0123456789ABCDEF";
    out.clear();
    if (Type(v) == SQLITE_BLOB) {
        std::string_view b = RawBlob(v);
        if (b.size() != 16) return false;
        static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        out += '{';
        for (int k = 0; k < 16; ++k) {
            if (k == 4 || k == 6 || k == 8 || k == 10) out += '-';
            unsigned char c = static_cast<unsigned char>(b[static_cast<std::size_t>(order[k])]);
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        out += '}';
        return true;
    }
    if (Type(v) != SQLITE_TEXT) return false;
    std::string_view s = RawText(v);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36) return false;
    out += '{';
    for (std::size_t k = 0; k < 36; ++k) {
        bool dash = k == 8 || k == 13 || k == 18 || k == 23;
        if (dash != (s[k] == '-')) return false;
        if (!dash && !IsHex(s[k])) return false;
        out += dash ? '-' : static_cast<char>(s[k] >= 'a' ? s[k] - 32 : s[k]);
    }
    out += '}';
    return true;
}

CastResult Cast(sqlite3_context* ctx, sqlite3_value* v, int type, int size, int fromType, bool strict) {
    int t = Type(v);
    if (t == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return kCastOk;
    }
    double d = 0;
    switch (type) {
    case dbBoolean:
        if (t == SQLITE_TEXT) {
            auto b = ParseBoolean(RawText(v));
            if (!b) return kCastConversion;
            ResultBool(ctx, *b);
            return kCastOk;
        }
        if (!CastNumber(v, d)) return kCastConversion;
        ResultBool(ctx, d != 0);
        return kCastOk;
    case dbByte:
        return CastInteger(ctx, v, 0, 255);
    case dbInteger:
        return CastInteger(ctx, v, -32768, 32767);
    case dbLong:
        return CastInteger(ctx, v, -2147483648.0, 2147483647.0);
    case dbCurrency:
        if (!CastNumber(v, d)) return kCastConversion;
        d = RoundCurrency(d);
        if (!(std::fabs(d) <= 922337203685477.5807)) return kCastOverflow;
        sqlite3_result_double(ctx, d);
        return kCastOk;
    case dbSingle:
        if (!CastNumber(v, d)) return kCastConversion;
        if (!(std::fabs(d) <= FLT_MAX)) return kCastOverflow;
        sqlite3_result_double(ctx, static_cast<float>(d));
        return kCastOk;
    case dbDouble:
        if (t == SQLITE_FLOAT) {
            sqlite3_result_value(ctx, v);
            return kCastOk;
        }
        if (!CastNumber(v, d)) return kCastConversion;
        sqlite3_result_double(ctx, d);
        return kCastOk;
    case dbDate:
        if (t == SQLITE_TEXT) {
            auto date = ParseDate(RawText(v));
            if (!date) return kCastConversion;
            d = *date;
        } else if (!CastNumber(v, d)) {
            return kCastConversion;
        }
        if (!(d >= kMinDate && d <= kMaxDate)) return kCastOverflow;
        sqlite3_result_double(ctx, d);
        return kCastOk;
    case dbText:
    case dbMemo: {
        int limit = type == dbText ? size : 0;
        if (t == SQLITE_TEXT) return CastText(ctx, RawText(v), v, limit, strict);
        std::string s;
        if (t == SQLITE_BLOB) {
            s = std::string(RawBlob(v));
        } else if (fromType == dbBoolean) {
            s = sqlite3_value_double(v) != 0 ? "True" : "False";
        } else if (fromType == dbDate) {
            AppendDate(s, sqlite3_value_double(v));
        } else if (t == SQLITE_INTEGER) {
            AppendInt(s, sqlite3_value_int64(v));
        } else if (fromType == dbCurrency) {
            AppendCurrency(s, sqlite3_value_double(v));
        } else if (fromType == dbSingle) {
            AppendSingle(s, sqlite3_value_double(v));
        } else {
            AppendDouble(s, sqlite3_value_double(v));
        }
        return CastText(ctx, s, nullptr, limit, strict);
    }
    case dbBinary:
    case dbLongBinary: {
        if (t != SQLITE_BLOB && t != SQLITE_TEXT) return kCastConversion;
        std::string_view b = t == SQLITE_BLOB ? RawBlob(v) : RawText(v);
        if (type == dbBinary && size > 0 && b.size() > static_cast<std::size_t>(size)) {
            if (strict) return kCastTooLong;
            b = b.substr(0, static_cast<std::size_t>(size));
        }
        sqlite3_result_blob(ctx, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        return kCastOk;
    }
    case dbGUID: {
        std::string g;
        if (!GuidText(v, g)) return kCastConversion;
        ResultText(ctx, g);
        return kCastOk;
    }
    default:
        sqlite3_result_value(ctx, v);
        return kCastOk;
    }
}

template <bool Strict> void FnCast(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int type = sqlite3_value_int(argv[1]);
    int size = sqlite3_value_int(argv[2]);
    int fromType = argc > 3 ? sqlite3_value_int(argv[3]) : 0;
    CastResult r = Cast(ctx, argv[0], type, size, fromType, Strict);
    if (r == kCastOk) return;
    if (!Strict) return sqlite3_result_null(ctx);
    ReportError(ctx, r == kCastOverflow ? 3349 : r == kCastTooLong ? 3163 : 3421);
}

// ---- Aggregates --------------------------------------------------------------------------------------

struct FirstLast {
    sqlite3_value* value;
    bool seen;
};

template <bool Last> void FirstLastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(ctx, sizeof(FirstLast)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    if (s->seen && !Last) return;
    if (s->value) sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(argv[0]);
    s->seen = true;
}

void FirstLastFinal(sqlite3_context* ctx) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

struct Spread {
    long long n;
    double mean, m2;
};

void SpreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return;
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    double x;
    if (!CastNumber(argv[0], x)) return ReportError(ctx, 3464);
    ++s->n;
    double delta = x - s->mean;
    s->mean += delta / static_cast<double>(s->n);
    s->m2 += delta * (x - s->mean);
}

template <bool Population, bool Root> void SpreadFinal(sqlite3_context* ctx) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
    long long n = s ? s->n : 0;
    if (n == 0 || (!Population && n < 2)) return sqlite3_result_null(ctx);
    double var = s->m2 / static_cast<double>(Population ? n : n - 1);
    sqlite3_result_double(ctx, Root ? std::sqrt(var) : var);
}

// ---- Registration ----------------------------------------------------------------------------------------

struct Scalar {
    const char* name;
    int args; // -1: any number
    bool deterministic;
    Body body;
};

const Scalar kScalars[] = {
    {"jet_concat", -1, true, Call<FnConcat>},
    {"jet_add", 2, true, Call<FnAdd>},
    {"jet_div", 2, true, Call<FnDiv>},
    {"jet_idiv", 2, true, Call<FnIntDiv>},
    {"jet_mod", 2, true, Call<FnMod>},
    {"jet_pow", 2, true, Call<FnPow>},
    {"jet_like", 2, true, Call<FnLike>},
    {"jet_cast", 3, true, Call<FnCast<false>>},
    {"jet_cast", 4, true, Call<FnCast<false>>},
    {"jet_cast_strict", 3, true, Call<FnCast<true>>},
    {"jet_cast_strict", 4, true, Call<FnCast<true>>},
    {"jet_cbool", 1, true, Call<FnCBool>},
    {"jet_cbyte", 1, true, Call<FnCInteger<0, 255>>},
    {"jet_cint", 1, true, Call<FnCInteger<-32768, 32767>>},
    {"jet_clng", 1, true, Call<FnCInteger<-2147483648LL, 2147483647LL>>},
    {"jet_ccur", 1, true, Call<FnCCur>},
    {"jet_csng", 1, true, Call<FnCSng>},
    {"jet_cdbl", 1, true, Call<FnCDbl>},
    {"jet_cdate", 1, true, Call<FnCDate>},
    {"jet_cstr", 1, true, Call<FnCStr>},
    {"jet_cvar", 1, true, Call<FnCVar>},
    {"jet_val", 1, true, Call<FnVal>},
    {"jet_str", 1, true, Call<FnStr>},
    {"jet_isnumeric", 1, true, Call<FnIsNumeric>},
    {"jet_isdate", 1, true, Call<FnIsDate>},
    {"jet_left", 2, true, Call<FnLeft>},
    {"jet_right", 2, true, Call<FnRight>},
    {"jet_mid", 2, true, Call<FnMid>},
    {"jet_mid", 3, true, Call<FnMid>},
    {"jet_len", 1, true, Call<FnLen>},
    {"jet_trim", 1, true, Call<FnTrim<true, true>>},
    {"jet_ltrim", 1, true, Call<FnTrim<true, false>>},
    {"jet_rtrim", 1, true, Call<FnTrim<false, true>>},
    {"jet_ucase", 1, true, Call<FnCase<true>>},
    {"jet_lcase", 1, true, Call<FnCase<false>>},
    {"jet_instr", -1, true, Call<FnInStr>},
    {"jet_instrrev", -1, true, Call<FnInStrRev>},
    {"jet_replace", -1, true, Call<FnReplace>},
    {"jet_space", 1, true, Call<FnSpace>},
    {"jet_string", 2, true, Call<FnString>},
    {"jet_strreverse", 1, true, Call<FnStrReverse>},
    {"jet_chr", 1, true, Call<FnChr>},
    {"jet_asc", 1, true, Call<FnAsc>},
    {"jet_strcomp", -1, true, Call<FnStrComp>},
    {"jet_hex", 1, true, Call<FnRadix<16>>},
    {"jet_oct", 1, true, Call<FnRadix<8>>},
    {"jet_abs", 1, true, Call<FnAbs>},
    {"jet_int", 1, true, Call<FnIntPart<true>>},
    {"jet_fix", 1, true, Call<FnIntPart<false>>},
    {"jet_sgn", 1, true, Call<FnSgn>},
    {"jet_round", -1, true, Call<FnRound>},
    {"jet_atn", 1, true, Call<FnMath<Atn>>},
    {"jet_cos", 1, true, Call<FnMath<Cos>>},
    {"jet_sin", 1, true, Call<FnMath<Sin>>},
    {"jet_tan", 1, true, Call<FnMath<Tan>>},
    {"jet_exp", 1, true, Call<FnMath<Exp>>},
    {"jet_log", 1, true, Call<FnMath<Log>>},
    {"jet_sqr", 1, true, Call<FnMath<Sqr>>},
    {"jet_rnd", -1, false, Call<FnRnd>},
    {"jet_date", 0, false, Call<FnDate>},
    {"jet_now", 0, false, Call<FnNow>},
    {"jet_time", 0, false, Call<FnTime>},
    {"jet_year", 1, true, Call<FnDatePart1<Part::Year>>},
    {"jet_month", 1, true, Call<FnDatePart1<Part::Month>>},
    {"jet_day", 1, true, Call<FnDatePart1<Part::Day>>},
    {"jet_hour", 1, true, Call<FnDatePart1<Part::Hour>>},
    {"jet_minute", 1, true, Call<FnDatePart1<Part::Minute>>},
    {"jet_second", 1, true, Call<FnDatePart1<Part::Second>>},
    {"jet_weekday", -1, true, Call<FnWeekday>},
    {"jet_dateserial", 3, true, Call<FnDateSerial>},
    {"jet_timeserial", 3, true, Call<FnTimeSerial>},
    {"jet_datevalue", 1, true, Call<FnDateValue>},
    {"jet_timevalue", 1, true, Call<FnTimeValue>},
    {"jet_dateadd", 3, true, Call<FnDateAdd>},
    {"jet_datediff", -1, true, Call<FnDateDiff>},
    {"jet_datepart", -1, true, Call<FnDatePart>},
    {"jet_monthname", -1, true, Call<FnMonthName>},
    {"jet_weekdayname", -1, true, Call<FnWeekdayName>},
    {"jet_format", -1, true, Call<FnFormat>},
    {"jet_dtext", 1, true, Call<FnDateText>},
    {"jet_dformat", -1, true, Call<FnDateFormat>},
};

} // namespace

void RegisterJetFunctions(sqlite3* db) {
    // "name" must always be a name: an unknown field then fails instead of reading as a string.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    for (const Scalar& f : kScalars) {
        int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS : 0);
        sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.body, nullptr, nullptr, nullptr);
    }
    const int agg = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "jet_first", 1, agg, nullptr, nullptr, Call<FirstLastStep<false>>,
                               FirstLastFinal, nullptr);
    sqlite3_create_function_v2(db, "jet_last", 1, agg, nullptr, nullptr, Call<FirstLastStep<true>>,
                               FirstLastFinal, nullptr);
    sqlite3_create_function_v2(db, "jet_stdev", 1, agg, nullptr, nullptr, SpreadStep,
                               SpreadFinal<false, true>, nullptr);
    sqlite3_create_function_v2(db, "jet_stdevp", 1, agg, nullptr, nullptr, SpreadStep,
                               SpreadFinal<true, true>, nullptr);
    sqlite3_create_function_v2(db, "jet_var", 1, agg, nullptr, nullptr, SpreadStep, SpreadFinal<false, false>,
                               nullptr);
    sqlite3_create_function_v2(db, "jet_varp", 1, agg, nullptr, nullptr, SpreadStep, SpreadFinal<true, false>,
                               nullptr);
}

} // namespace ledrana::dao
