// The operators of Jet SQL as functions: & (concatenation, Null as ""), + on text or numbers, /, \, Mod,
// ^ and Like, with VB's Null propagation and errors (division by zero 11, overflow 6).

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

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

const Scalar kOperators[] = {
    {"jet_concat", -1, true, Call<FnConcat>}, {"jet_add", 2, true, Call<FnAdd>},
    {"jet_div", 2, true, Call<FnDiv>},        {"jet_idiv", 2, true, Call<FnIntDiv>},
    {"jet_mod", 2, true, Call<FnMod>},        {"jet_pow", 2, true, Call<FnPow>},
    {"jet_like", 2, true, Call<FnLike>},
};

} // namespace

const std::span<const Scalar> kOperatorFunctions(kOperators);

} // namespace ledrana::dao::sqlfn
