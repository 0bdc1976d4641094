#pragma once
// What the SQL functions share (functions_sql_*.cpp, registered by RegisterJetFunctions in functions.cpp):
// how a function raises a VB error (Raised, reported to SQLite as "number description" by Call), how it
// reads its arguments with VB's conversions and returns its result, UTF-8 character positions, and each
// group's table of scalar functions.

#include <sqlite3.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <span>

#include "dao/sql/jetsql.h"
#include "dao/vb/constants.h"
#include "dao/vb/functions.h"
#include "dao/vb/functions_internal.h"

namespace ledrana::dao::sqlfn {

using namespace vb;

// An error a function raises: caught by Call, which reports it to SQLite as "number description".
struct Raised {
    int number;
};

inline void ReportError(sqlite3_context* ctx, int number) {
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

inline int Type(sqlite3_value* v) {
    return sqlite3_value_type(v);
}
inline bool IsNull(sqlite3_value* v) {
    return Type(v) == SQLITE_NULL;
}

inline std::string_view RawText(sqlite3_value* v) {
    const unsigned char* p = sqlite3_value_text(v);
    return {reinterpret_cast<const char*>(p), p ? static_cast<std::size_t>(sqlite3_value_bytes(v)) : 0u};
}

inline std::string_view RawBlob(sqlite3_value* v) {
    const void* p = sqlite3_value_blob(v);
    return {static_cast<const char*>(p), p ? static_cast<std::size_t>(sqlite3_value_bytes(v)) : 0u};
}

inline void AppendInt(std::string& out, sqlite3_int64 i) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    out.append(buf, r.ptr);
}

// The text of a value as VB's CStr gives it; numbers are formatted into buf. Null must be handled first.
inline std::string_view StrArg(sqlite3_value* v, std::string& buf) {
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
inline double NumArg(sqlite3_value* v) {
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
inline double DateArg(sqlite3_value* v) {
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

inline long long LongArg(sqlite3_value* v) {
    double d = RoundHalfEven(NumArg(v));
    if (d < -2147483648.0 || d > 2147483647.0) throw Raised{6};
    return static_cast<long long>(d);
}

// Text compare mode of InStr, Replace, StrComp: 0 binary, otherwise without regard to case.
inline bool TextCompare(int argc, sqlite3_value** argv, int index) {
    if (index >= argc || IsNull(argv[index])) return true;
    return LongArg(argv[index]) != 0;
}

inline void ResultText(sqlite3_context* ctx, std::string_view s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

inline void ResultBool(sqlite3_context* ctx, bool b) {
    sqlite3_result_int(ctx, b ? -1 : 0);
}

// Result of an arithmetic that VB keeps integer while it fits a Long.
inline void ResultNumber(sqlite3_context* ctx, double d) {
    if (d == std::trunc(d) && std::fabs(d) <= 9007199254740992.0)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    else
        sqlite3_result_double(ctx, d);
}

// ---- UTF-8 characters --------------------------------------------------------------------------------

inline std::size_t CharCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();)
        DecodeUtf8(s, i), ++n;
    return n;
}

// Byte offset of character index k (0-based), or s.size().
inline std::size_t ByteOffset(std::string_view s, std::size_t k) {
    std::size_t i = 0;
    while (k > 0 && i < s.size())
        DecodeUtf8(s, i), --k;
    return i;
}

inline std::string Fold(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        AppendUtf8(out, FoldCase(DecodeUtf8(s, i)));
    return out;
}

// Character position (1-based) of needle in hay from character start, 0 when absent.
inline long long Find(std::string_view hay, std::string_view needle, long long start, bool text) {
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

// ---- Tables -----------------------------------------------------------------------------------------------

struct Scalar {
    const char* name;
    int args; // -1: any number
    bool deterministic;
    Body body;
};

// The scalar functions of each group, in the order RegisterJetFunctions registers them.
extern const std::span<const Scalar> kOperatorFunctions;   // functions_sql_operators.cpp
extern const std::span<const Scalar> kCastFunctions;       // functions_sql_casts.cpp
extern const std::span<const Scalar> kConversionFunctions; // functions_sql_conversions.cpp
extern const std::span<const Scalar> kTextFunctions;       // functions_sql_text.cpp
extern const std::span<const Scalar> kMathFunctions;       // functions_sql_math.cpp
extern const std::span<const Scalar> kDateFunctions;       // functions_sql_dates.cpp
extern const std::span<const Scalar> kFormatFunctions;     // functions_sql_conversions.cpp
extern const std::span<const Scalar> kDecimalFunctions;    // functions_sql_decimal.cpp

// The number in a value, for a numeric field; false when it is no number (functions_sql_casts.cpp).
bool CastNumber(sqlite3_value* v, double& out);

// First, Last, StDev, StDevP, Var and VarP (functions_sql_aggregates.cpp).
void RegisterAggregateFunctions(sqlite3* db);
// Sum, Avg, Min and Max of Decimal values (functions_sql_decimal.cpp).
void RegisterDecimalAggregates(sqlite3* db);

} // namespace ledrana::dao::sqlfn
