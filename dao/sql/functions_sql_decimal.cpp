// Decimal in SQL: CDec, the arithmetic and comparisons the translator writes for Decimal values
// (jet_dadd, jet_dsub, jet_dmul, jet_ddiv, jet_dneg, jet_dcmp), Format of a Decimal, and the aggregates
// Sum, Avg, Min and Max over Decimal values (jet_dsum...). A Decimal travels as its exact text; Null
// makes Null, as in Jet.

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

// A value as CDec reads it: numbers, and text that reads as a number (every digit of it).
Decimal DecArg(sqlite3_value* v) {
    std::optional<Decimal> d;
    switch (Type(v)) {
    case SQLITE_INTEGER:
        return Decimal::FromInt(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        d = Decimal::FromDouble(sqlite3_value_double(v));
        break;
    case SQLITE_NULL:
        throw Raised{94};
    case SQLITE_TEXT:
        d = Decimal::Parse(RawText(v));
        if (!d && !ParseNumber(RawText(v))) throw Raised{13};
        break;
    default:
        throw Raised{13};
    }
    if (!d) throw Raised{6};
    return *d;
}

void ResultDecimal(sqlite3_context* ctx, const std::optional<Decimal>& d) {
    if (!d) throw Raised{6};
    ResultText(ctx, d->ToString());
}

void FnCDec(sqlite3_context* ctx, int, sqlite3_value** argv) {
    ResultDecimal(ctx, DecArg(argv[0]));
}

template <std::optional<Decimal> (*Op)(const Decimal&, const Decimal&)>
void FnArithmetic(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    const Decimal a = DecArg(argv[0]), b = DecArg(argv[1]);
    if (Op == &Divide && b.IsZero()) throw Raised{11};
    ResultDecimal(ctx, Op(a, b));
}

void FnNegate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    ResultDecimal(ctx, DecArg(argv[0]).Negated());
}

void FnCompare(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, Compare(DecArg(argv[0]), DecArg(argv[1])));
}

// jet_decformat(value[, format...]): Format of a Decimal, its digits exact in a number format.
void FnFormatDecimal(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string fbuf;
    const std::string_view format = argc > 1 && !IsNull(argv[1]) ? StrArg(argv[1], fbuf) : std::string_view();
    const Decimal d = DecArg(argv[0]);
    if (format.empty()) return ResultText(ctx, d.ToString());
    if (IsDateFormat(format)) return ResultText(ctx, FormatDate(d.ToDouble(), format));
    ResultText(ctx, FormatDecimal(d, format));
}

// The running state of a Decimal aggregate (in SQLite's aggregate context, zeroed at the start).
struct Running {
    Decimal* value; // sum, least or greatest so far; nullptr before the first value
    long long count;
    bool overflow;
};

template <int Kind> // 0 Sum, 1 Avg, 2 Min, 3 Max
void AggregateStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return;
    auto* s = static_cast<Running*>(sqlite3_aggregate_context(ctx, sizeof(Running)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    double ignored;
    if (Type(argv[0]) == SQLITE_BLOB || (Type(argv[0]) == SQLITE_TEXT && !CastNumber(argv[0], ignored)))
        return ReportError(ctx, 3464);
    const Decimal x = DecArg(argv[0]);
    ++s->count;
    if (!s->value) {
        s->value = new Decimal(x);
        return;
    }
    if (Kind <= 1) {
        const std::optional<Decimal> sum = Add(*s->value, x);
        if (sum)
            *s->value = *sum;
        else
            s->overflow = true;
    } else if ((Kind == 2) == (Compare(x, *s->value) < 0)) {
        *s->value = x;
    }
}

template <int Kind> void AggregateFinal(sqlite3_context* ctx) {
    auto* s = static_cast<Running*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->value) return sqlite3_result_null(ctx);
    const Decimal value = *s->value;
    delete s->value;
    s->value = nullptr;
    if (s->overflow) return ReportError(ctx, 6);
    if (Kind == 1) {
        const std::optional<Decimal> mean = Divide(value, Decimal::FromInt(s->count));
        if (!mean) return ReportError(ctx, 6);
        return ResultText(ctx, mean->ToString());
    }
    ResultText(ctx, value.ToString());
}

const Scalar kDecimals[] = {
    {"jet_cdec", 1, true, Call<FnCDec>},
    {"jet_dadd", 2, true, Call<FnArithmetic<&Add>>},
    {"jet_dsub", 2, true, Call<FnArithmetic<&Subtract>>},
    {"jet_dmul", 2, true, Call<FnArithmetic<&Multiply>>},
    {"jet_ddiv", 2, true, Call<FnArithmetic<&Divide>>},
    {"jet_dneg", 1, true, Call<FnNegate>},
    {"jet_dcmp", 2, true, Call<FnCompare>},
    {"jet_decformat", -1, true, Call<FnFormatDecimal>},
};

} // namespace

const std::span<const Scalar> kDecimalFunctions(kDecimals);

void RegisterDecimalAggregates(sqlite3* db) {
    const int agg = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "jet_dsum", 1, agg, nullptr, nullptr, Call<AggregateStep<0>>,
                               AggregateFinal<0>, nullptr);
    sqlite3_create_function_v2(db, "jet_davg", 1, agg, nullptr, nullptr, Call<AggregateStep<1>>,
                               AggregateFinal<1>, nullptr);
    sqlite3_create_function_v2(db, "jet_dmin", 1, agg, nullptr, nullptr, Call<AggregateStep<2>>,
                               AggregateFinal<2>, nullptr);
    sqlite3_create_function_v2(db, "jet_dmax", 1, agg, nullptr, nullptr, Call<AggregateStep<3>>,
                               AggregateFinal<3>, nullptr);
}

} // namespace ledrana::dao::sqlfn
