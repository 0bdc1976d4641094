// VB's number functions: Atn, Cos, Sin, Tan, Exp, Log, Sqr (with VB's error 5 outside their domain),
// Abs, Int, Fix, Sgn, Round (to even) and Rnd.

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

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

const Scalar kMath[] = {
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
};

} // namespace

const std::span<const Scalar> kMathFunctions(kMath);

} // namespace ledrana::dao::sqlfn
