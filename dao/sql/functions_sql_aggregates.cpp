// Jet's aggregates beyond SQLite's own: First and Last (the first and last value met, Null included),
// StDev, StDevP, Var and VarP (Nulls skipped; a value that is no number raises 3464).

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

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

} // namespace

void RegisterAggregateFunctions(sqlite3* db) {
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

} // namespace ledrana::dao::sqlfn
