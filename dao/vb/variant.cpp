// Variant values and VB's conversion rules.

#include "dao/vb/variant.h"
#include "dao/vb/functions.h"

#include "dao/vb/calendar.h"

#include "platform/error.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ledrana::dao {
namespace {

Error Overflow() {
    return VbError(6);
}
Error Mismatch() {
    return VbError(13);
}
Error InvalidNull() {
    return VbError(94);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Reads text as VB's Val-like strict number: the whole text must be a number.
bool ParseNumber(std::string_view text, double& out) {
    std::string_view s = Trim(text);
    if (s.empty()) return false;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        long long v = 0;
        auto r = std::from_chars(s.data() + 2, s.data() + s.size(), v, base);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
        out = static_cast<double>(v);
        return true;
    }
    std::string buf(s);
    if (buf[0] == '+') buf.erase(0, 1);
    for (char& c : buf)
        if (c == ',') c = '.';
    if (buf.empty()) return false;
    auto r = std::from_chars(buf.data(), buf.data() + buf.size(), out);
    if (r.ec != std::errc() || r.ptr != buf.data() + buf.size()) return false;
    return std::isfinite(out);
}

using calendar::CivilFromDays;
using calendar::DaysFromCivil;
using calendar::kEpoch;

bool ParseInts(std::string_view s, char sep, int* parts, int maxParts, int& count) {
    count = 0;
    std::size_t i = 0;
    while (i <= s.size() && count < maxParts) {
        std::size_t j = s.find(sep, i);
        if (j == std::string_view::npos) j = s.size();
        std::string_view p = s.substr(i, j - i);
        if (p.empty()) return false;
        int v = 0;
        auto r = std::from_chars(p.data(), p.data() + p.size(), v);
        if (r.ec != std::errc() || r.ptr != p.data() + p.size()) return false;
        parts[count++] = v;
        i = j + 1;
        if (j == s.size()) return true;
    }
    return i > s.size();
}

bool ParseTime(std::string_view s, double& frac) {
    int p[3] = {0, 0, 0};
    int n = 0;
    char sep = s.find(':') != std::string_view::npos ? ':' : '.';
    if (!ParseInts(s, sep, p, 3, n) || n < 2) return false;
    if (p[0] < 0 || p[0] > 23 || p[1] < 0 || p[1] > 59 || p[2] < 0 || p[2] > 59) return false;
    frac = (p[0] * 3600 + p[1] * 60 + p[2]) / 86400.0;
    return true;
}

bool ParseDateText(std::string_view text, double& out) {
    std::string_view s = Trim(text);
    if (s.empty()) return false;
    std::string_view datePart = s, timePart;
    auto sp = s.find(' ');
    if (sp != std::string_view::npos) {
        datePart = s.substr(0, sp);
        timePart = Trim(s.substr(sp + 1));
    }
    int p[3];
    int n = 0;
    int y = 0, m = 0, d = 0;
    bool haveDate = false;
    if (datePart.find('-') != std::string_view::npos && ParseInts(datePart, '-', p, 3, n) && n == 3) {
        y = p[0], m = p[1], d = p[2];
        haveDate = true;
    } else if (datePart.find('/') != std::string_view::npos && ParseInts(datePart, '/', p, 3, n) && n == 3) {
        d = p[0], m = p[1], y = p[2];
        if (y < 100) y += y < 30 ? 2000 : 1900;
        haveDate = true;
    } else if (timePart.empty() && datePart.find(':') != std::string_view::npos) {
        timePart = datePart;
    } else {
        return false;
    }
    double frac = 0;
    if (!timePart.empty() && !ParseTime(timePart, frac)) return false;
    if (haveDate) {
        if (m < 1 || m > 12 || d < 1 || d > 31) return false;
        int cy, cm, cd;
        CivilFromDays(DaysFromCivil(y, m, d), cy, cm, cd);
        if (cm != m) return false;
        double days = static_cast<double>(DaysFromCivil(y, m, d) - kEpoch);
        out = days >= 0 ? days + frac : days - frac;
    } else {
        out = frac;
    }
    return true;
}

std::string VbNumber(double v, int digits) {
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    std::string s(buf);
    auto epos = s.find('E');
    std::string mant = epos == std::string::npos ? s : s.substr(0, epos);
    std::string rest = epos == std::string::npos ? "" : s.substr(epos);
    if (mant.find('.') != std::string::npos) {
        while (!mant.empty() && mant.back() == '0')
            mant.pop_back();
        if (!mant.empty() && mant.back() == '.') mant.pop_back();
    }
    s = mant + rest;
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

std::string CurrencyText(std::int64_t scaled) {
    bool neg = scaled < 0;
    unsigned long long a =
        neg ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
    std::string s = std::to_string(a / 10000);
    unsigned frac = static_cast<unsigned>(a % 10000);
    if (frac) {
        char b[8];
        std::snprintf(b, sizeof b, "%04u", frac);
        std::string f = b;
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        s += "." + f;
    }
    return neg ? "-" + s : s;
}

double RoundHalfEven(double v) {
    return std::nearbyint(v);
}

} // namespace

double DateSerial(int year, int month, int day, int hour, int minute, int second) {
    // Months and days out of range roll over as in VB's DateSerial.
    int y = year + (month - 1) / 12;
    int m = (month - 1) % 12;
    if (m < 0) {
        m += 12;
        --y;
    }
    double days = static_cast<double>(DaysFromCivil(y, m + 1, 1) - kEpoch + (day - 1));
    double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return days >= 0 ? days + frac : days - frac;
}

DateParts SplitDate(double v) {
    double ip = std::trunc(v);
    double frac = std::fabs(v - ip);
    long long secs = std::llround(frac * 86400.0);
    long long day = static_cast<long long>(ip);
    if (secs >= 86400) {
        secs -= 86400;
        day += v >= 0 ? 1 : -1;
    }
    DateParts p{};
    CivilFromDays(day + kEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

Variant::Variant(bool b) : kind_(Kind::Boolean), i_(b ? -1 : 0) {}
Variant::Variant(int v) : kind_(Kind::Long), i_(v) {}
Variant::Variant(long v) : Variant(static_cast<long long>(v)) {}
Variant::Variant(long long v) {
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()) {
        kind_ = Kind::Long;
        i_ = v;
    } else {
        kind_ = Kind::Double;
        d_ = static_cast<double>(v);
    }
}
Variant::Variant(unsigned v) : Variant(static_cast<long long>(v)) {}
Variant::Variant(unsigned long v) : Variant(static_cast<unsigned long long>(v)) {}
Variant::Variant(unsigned long long v) {
    if (v <= static_cast<unsigned long long>(std::numeric_limits<std::int32_t>::max())) {
        kind_ = Kind::Long;
        i_ = static_cast<std::int64_t>(v);
    } else {
        kind_ = Kind::Double;
        d_ = static_cast<double>(v);
    }
}
Variant::Variant(double v) : kind_(Kind::Double), d_(v) {}
Variant::Variant(const char* s) : kind_(Kind::String), s_(s ? s : "") {}
Variant::Variant(std::string s) : kind_(Kind::String), s_(std::move(s)) {}
Variant::Variant(std::string_view s) : kind_(Kind::String), s_(s) {}

Variant Variant::Null() {
    return Variant(Kind::Null, 0, 0, {});
}
Variant Variant::FromByte(std::uint8_t x) {
    return Variant(Kind::Byte, x, 0, {});
}
Variant Variant::FromInteger(std::int16_t x) {
    return Variant(Kind::Integer, x, 0, {});
}
Variant Variant::FromLong(std::int32_t x) {
    return Variant(Kind::Long, x, 0, {});
}
Variant Variant::FromCurrency(double x) {
    return FromCurrencyScaled(static_cast<std::int64_t>(RoundHalfEven(x * 10000.0)));
}
Variant Variant::FromCurrencyScaled(std::int64_t scaled) {
    return Variant(Kind::Currency, scaled, 0, {});
}
Variant Variant::FromSingle(float x) {
    return Variant(Kind::Single, 0, x, {});
}
Variant Variant::FromDouble(double x) {
    return Variant(x);
}
Variant Variant::FromDate(double days) {
    return Variant(Kind::Date, 0, days, {});
}
Variant Variant::FromDate(int year, int month, int day, int hour, int minute, int second) {
    return FromDate(DateSerial(year, month, day, hour, minute, second));
}
Variant Variant::FromDecimal(const Decimal& d) {
    return Variant(Kind::Decimal, 0, 0, d.ToString());
}
Variant Variant::FromBinary(std::string bytes) {
    return Variant(Kind::Binary, 0, 0, std::move(bytes));
}

bool Variant::IsNumber() const {
    switch (kind_) {
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::Currency:
    case Kind::Single:
    case Kind::Double:
    case Kind::Decimal:
        return true;
    default:
        return false;
    }
}

bool Variant::IsNumeric() const {
    if (IsNumber() || kind_ == Kind::Empty) return true;
    double d;
    return kind_ == Kind::String && ParseNumber(s_, d);
}

double Variant::ToDouble() const {
    switch (kind_) {
    case Kind::Empty:
        return 0;
    case Kind::Null:
        throw InvalidNull();
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
        return static_cast<double>(i_);
    case Kind::Currency:
        return static_cast<double>(i_) / 10000.0;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date:
        return d_;
    case Kind::Decimal:
        return ToDecimal().ToDouble();
    case Kind::String: {
        double d;
        if (ParseNumber(s_, d)) return d;
        if (ParseDateText(s_, d)) return d;
        throw Mismatch();
    }
    case Kind::Binary:
        throw Mismatch();
    }
    throw Mismatch();
}

bool Variant::ToBoolean() const {
    switch (kind_) {
    case Kind::Empty:
        return false;
    case Kind::Null:
        throw InvalidNull();
    case Kind::String: {
        std::string_view t = Trim(s_);
        if (EqualsNoCase(t, "True") || EqualsNoCase(t, "Vero")) return true;
        if (EqualsNoCase(t, "False") || EqualsNoCase(t, "Falso")) return false;
        double d;
        if (ParseNumber(s_, d)) return d != 0;
        throw Mismatch();
    }
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::Currency:
        return i_ != 0;
    case Kind::Decimal:
        return !ToDecimal().IsZero();
    default:
        return ToDouble() != 0;
    }
}

namespace {
long long ToIntegral(const Variant& v, long long lo, long long hi) {
    switch (v.kind()) {
    case Variant::Kind::Boolean:
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
        if (v.RawInteger() < lo || v.RawInteger() > hi) throw Overflow();
        return v.RawInteger();
    case Variant::Kind::Decimal: {
        const std::optional<std::int64_t> whole = v.ToDecimal().ToScaled(0);
        if (!whole || *whole < lo || *whole > hi) throw Overflow();
        return *whole;
    }
    default:
        break;
    }
    double d = RoundHalfEven(v.ToDouble());
    if (d < static_cast<double>(lo) || d > static_cast<double>(hi)) throw Overflow();
    return static_cast<long long>(d);
}
} // namespace

std::uint8_t Variant::ToByte() const {
    return static_cast<std::uint8_t>(ToIntegral(*this, 0, 255));
}
std::int16_t Variant::ToInteger() const {
    return static_cast<std::int16_t>(ToIntegral(*this, -32768, 32767));
}
std::int32_t Variant::ToLong() const {
    return static_cast<std::int32_t>(ToIntegral(*this, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max()));
}

std::int64_t Variant::ToCurrencyScaled() const {
    switch (kind_) {
    case Kind::Currency:
        return i_;
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
        return i_ * 10000;
    case Kind::Decimal: {
        const std::optional<std::int64_t> scaled = ToDecimal().ToScaled(4);
        if (!scaled) throw Overflow();
        return *scaled;
    }
    default:
        break;
    }
    double d = ToDouble();
    double scaled = RoundHalfEven(d * 10000.0);
    if (std::fabs(scaled) >= 9.2233720368547758e18) throw Overflow();
    return static_cast<std::int64_t>(scaled);
}

float Variant::ToSingle() const {
    double d = ToDouble();
    if (std::fabs(d) > std::numeric_limits<float>::max()) throw Overflow();
    return static_cast<float>(d);
}

double Variant::ToDate() const {
    if (kind_ == Kind::String) {
        double d;
        if (ParseDateText(s_, d)) return d;
        if (ParseNumber(s_, d)) return d;
        throw Mismatch();
    }
    return ToDouble();
}

Decimal Variant::ToDecimal() const {
    std::optional<Decimal> d;
    switch (kind_) {
    case Kind::Empty:
        return Decimal{};
    case Kind::Null:
        throw InvalidNull();
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
        return Decimal::FromInt(i_);
    case Kind::Currency:
        return Decimal::FromScaled(i_, 4);
    case Kind::Decimal:
        d = Decimal::Parse(s_);
        break;
    case Kind::String: {
        double x;
        if (!ParseNumber(s_, x)) {
            if (!ParseDateText(s_, x)) throw Mismatch();
            d = Decimal::FromDouble(x);
            break;
        }
        // Every digit of the text counts (a hexadecimal or octal number is read as a Double first).
        std::string_view t = Trim(s_);
        d = t.size() > 1 && t[0] == '&' ? Decimal::FromDouble(x) : Decimal::Parse(t);
        if (!d && std::fabs(x) < 7.9228162514264338e28) throw Mismatch();
        break;
    }
    case Kind::Binary:
        throw Mismatch();
    default:
        d = Decimal::FromDouble(d_);
        break;
    }
    if (!d) throw Overflow();
    return *d;
}

std::string Variant::ToString() const {
    switch (kind_) {
    case Kind::Empty:
        return {};
    case Kind::Null:
        throw InvalidNull();
    case Kind::Boolean:
        return i_ ? "True" : "False";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
        return std::to_string(i_);
    case Kind::Currency:
        return CurrencyText(i_);
    case Kind::Single:
        return VbNumber(d_, 7);
    case Kind::Double:
        return VbNumber(d_, 15);
    case Kind::Date:
        return vb::DateText(d_); // the short date and time of the engine's regional settings
    case Kind::String:
    case Kind::Binary:
    case Kind::Decimal:
        return s_;
    }
    return {};
}

bool Variant::operator==(const Variant& o) const {
    if (kind_ == Kind::Null || o.kind_ == Kind::Null) return kind_ == o.kind_;
    if (kind_ == Kind::Empty || o.kind_ == Kind::Empty) return kind_ == o.kind_;
    if (IsNumber() && o.IsNumber()) {
        if (kind_ == Kind::Decimal || o.kind_ == Kind::Decimal)
            return Compare(ToDecimal(), o.ToDecimal()) == 0;
        if (kind_ == Kind::Currency || o.kind_ == Kind::Currency)
            return ToCurrencyScaled() == o.ToCurrencyScaled();
        return ToDouble() == o.ToDouble();
    }
    if (kind_ == Kind::Date || o.kind_ == Kind::Date) return kind_ == o.kind_ && d_ == o.d_;
    if ((kind_ == Kind::String || kind_ == Kind::Binary) && kind_ == o.kind_) return s_ == o.s_;
    return false;
}

std::string Variant::Describe() const {
    static constexpr const char* kNames[] = {"Empty",  "Null",     "Boolean", "Byte",   "Integer",
                                             "Long",   "Currency", "Single",  "Double", "Date",
                                             "String", "Binary",   "Decimal"};
    const std::string name = kNames[static_cast<int>(kind_)];
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null:
        return name;
    case Kind::Boolean:
        return name + (i_ ? " True" : " False");
    case Kind::String:
        return name + " \"" + s_ + "\"";
    case Kind::Binary:
        return name + " (" + std::to_string(s_.size()) + " bytes)";
    case Kind::Decimal:
        return name + " " + s_;
    default:
        return name + " " + ToString();
    }
}

} // namespace ledrana::dao
