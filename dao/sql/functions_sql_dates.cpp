// VB's date functions on day numbers: Date, Now, Time, Year...Second, Weekday, DateSerial, TimeSerial,
// DateValue, TimeValue, DateAdd, DateDiff, DatePart, MonthName and WeekdayName (Italian names).

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

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

const Scalar kDates[] = {
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
};

} // namespace

const std::span<const Scalar> kDateFunctions(kDates);

} // namespace ledrana::dao::sqlfn
