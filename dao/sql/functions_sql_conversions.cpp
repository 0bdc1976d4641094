// VB's conversion functions (CBool, CByte, CInt, CLng, CCur, CSng, CDbl, CDate, CStr, CVar, Val, Str,
// IsNumeric, IsDate) and Format, with the rules of dao/vb/functions.h; jet_dtext and jet_dformat print a
// value the query knows is a date.

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

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

const Scalar kConversions[] = {
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
};

const Scalar kFormats[] = {
    {"jet_format", -1, true, Call<FnFormat>},
    {"jet_dtext", 1, true, Call<FnDateText>},
    {"jet_dformat", -1, true, Call<FnDateFormat>},
};

} // namespace

const std::span<const Scalar> kConversionFunctions(kConversions);
const std::span<const Scalar> kFormatFunctions(kFormats);

} // namespace ledrana::dao::sqlfn
