// Decimal arithmetic on a 128-bit coefficient (products on four 64-bit limbs).

#include "dao/vb/decimal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ledrana::dao {
namespace {

__extension__ typedef unsigned __int128 U128;
__extension__ typedef __int128 I128;

constexpr U128 kMaxCoef = (static_cast<U128>(1) << 96) - 1;

U128 Pow10(int n) {
    U128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

int DigitCount(U128 v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// v / 10^k rounded half to even.
U128 DivRound(U128 v, int k) {
    if (k <= 0) return v;
    if (k > 38) return 0;
    const U128 p = Pow10(k);
    U128 q = v / p;
    const U128 r = v % p, half = p / 2;
    if (r > half || (r == half && (q & 1))) ++q;
    return q;
}

std::string Digits(U128 v) {
    std::string s;
    do {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v);
    return s;
}

// A 256-bit magnitude, least significant limb first.
struct Wide {
    std::uint64_t limb[4] = {0, 0, 0, 0};
    bool FitsIn128() const { return limb[2] == 0 && limb[3] == 0; }
    U128 Low() const { return (static_cast<U128>(limb[1]) << 64) | limb[0]; }
    unsigned DivideBy10() {
        U128 rem = 0;
        for (int i = 3; i >= 0; --i) {
            const U128 cur = (rem << 64) | limb[i];
            limb[i] = static_cast<std::uint64_t>(cur / 10);
            rem = cur % 10;
        }
        return static_cast<unsigned>(rem);
    }
};

Wide MultiplyWide(U128 a, U128 b) {
    const std::uint64_t a0 = static_cast<std::uint64_t>(a), a1 = static_cast<std::uint64_t>(a >> 64);
    const std::uint64_t b0 = static_cast<std::uint64_t>(b), b1 = static_cast<std::uint64_t>(b >> 64);
    Wide w;
    auto add = [&w](int at, U128 v) {
        for (int i = at; i < 4 && v; ++i) {
            const U128 sum = static_cast<U128>(w.limb[i]) + static_cast<std::uint64_t>(v);
            w.limb[i] = static_cast<std::uint64_t>(sum);
            v = (v >> 64) + (sum >> 64);
        }
    };
    add(0, static_cast<U128>(a0) * b0);
    add(1, static_cast<U128>(a0) * b1);
    add(1, static_cast<U128>(a1) * b0);
    add(2, static_cast<U128>(a1) * b1);
    return w;
}

} // namespace

std::optional<Decimal> Decimal::Make(bool negative, U128 coef, int scale) {
    // Fewer decimals until the coefficient fits: one rounding over all the digits dropped.
    int drop = scale > kMaxScale ? scale - kMaxScale : 0;
    while (drop < scale && DivRound(coef, drop) > kMaxCoef)
        ++drop;
    coef = DivRound(coef, drop);
    scale -= drop;
    if (coef > kMaxCoef) return std::nullopt;
    Decimal d;
    d.negative_ = negative && coef != 0;
    d.coef_ = coef;
    d.scale_ = scale;
    return d;
}

Decimal Decimal::FromInt(std::int64_t v) {
    return FromScaled(v, 0);
}

Decimal Decimal::FromScaled(std::int64_t v, int scale) {
    Decimal d;
    d.negative_ = v < 0;
    d.coef_ = v < 0 ? static_cast<U128>(-static_cast<I128>(v)) : static_cast<U128>(v);
    d.scale_ = scale < 0 ? 0 : scale > kMaxScale ? kMaxScale : scale;
    return d;
}

std::optional<Decimal> Decimal::FromDouble(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    return Parse(buf);
}

std::optional<Decimal> Decimal::Parse(std::string_view text) {
    std::size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t'))
        --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string digits; // significant digits, without leading zeros
    long exponent = 0;  // value = digits * 10^exponent
    bool any = false, point = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (!digits.empty() || c != '0') digits += c;
            if (point) --exponent;
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i == n) return std::nullopt;
        long e = 0;
        for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
            if (e < 100000) e = e * 10 + (text[i] - '0');
        exponent += expNegative ? -e : e;
    }
    if (i != n) return std::nullopt;
    if (digits.empty()) return Decimal{};
    // Digits beyond the last decimal kept, and beyond what 128 bits hold, are rounded away here.
    long scale = exponent < 0 ? -exponent : 0;
    long keep = static_cast<long>(digits.size());
    if (scale > kMaxScale) {
        keep -= scale - kMaxScale;
        scale = kMaxScale;
    }
    if (keep + (exponent > 0 ? exponent : 0) > 38) {
        // Only decimals can go; an integer part this long overflows.
        const long excess = keep + (exponent > 0 ? exponent : 0) - 38;
        if (excess > scale) return std::nullopt;
        keep -= excess;
        scale -= excess;
    }
    if (keep < 0) return Decimal{};
    U128 coef = 0;
    for (long k = 0; k < keep; ++k)
        coef = coef * 10 + static_cast<unsigned>(digits[k] - '0');
    if (keep < static_cast<long>(digits.size())) {
        const char first = digits[keep];
        bool rest = false;
        for (std::size_t k = keep + 1; k < digits.size(); ++k)
            rest = rest || digits[k] != '0';
        if (first > '5' || (first == '5' && (rest || (coef & 1)))) ++coef;
    }
    for (long k = 0; k < exponent; ++k)
        coef *= 10;
    return Make(negative, coef, static_cast<int>(scale));
}

std::string Decimal::ToString() const {
    std::string s = Digits(coef_);
    if (scale_ > 0) {
        if (static_cast<int>(s.size()) <= scale_)
            s.insert(0, static_cast<std::size_t>(scale_ + 1) - s.size(), '0');
        s.insert(s.size() - static_cast<std::size_t>(scale_), 1, '.');
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return Negative() ? "-" + s : s;
}

double Decimal::ToDouble() const {
    return std::strtod(ToString().c_str(), nullptr);
}

std::optional<std::int64_t> Decimal::ToScaled(int scale) const {
    const U128 scaled = scale >= scale_
                            ? (DigitCount(coef_) + scale - scale_ > 20 ? ~static_cast<U128>(0)
                                                                       : coef_ * Pow10(scale - scale_))
                            : DivRound(coef_, scale_ - scale);
    const U128 limit = static_cast<U128>(INT64_MAX) + (Negative() ? 1 : 0);
    if (scaled > limit) return std::nullopt;
    if (!Negative()) return static_cast<std::int64_t>(scaled);
    return static_cast<std::int64_t>(-static_cast<I128>(scaled));
}

Decimal Decimal::Rounded(int scale) const {
    if (scale < 0) scale = 0;
    if (scale >= scale_) return *this;
    Decimal d = *this;
    d.coef_ = DivRound(coef_, scale_ - scale);
    d.scale_ = scale;
    d.negative_ = negative_ && d.coef_ != 0;
    return d;
}

bool Decimal::Fits(int precision, int scale) const {
    const Decimal r = Rounded(scale);
    if (r.coef_ == 0) return true;
    return DigitCount(r.coef_) - r.scale_ <= precision - scale;
}

Decimal Decimal::Negated() const {
    Decimal d = *this;
    d.negative_ = !negative_ && coef_ != 0;
    return d;
}

int Compare(const Decimal& a, const Decimal& b) {
    const bool na = a.Negative(), nb = b.Negative();
    if (na != nb) return na ? -1 : 1;
    // Whole parts first, then the decimals brought to 28 places (both fit in 128 bits).
    const Decimal::U128 wa = a.coef_ / Pow10(a.scale_), wb = b.coef_ / Pow10(b.scale_);
    int c = 0;
    if (wa != wb) {
        c = wa < wb ? -1 : 1;
    } else {
        const Decimal::U128 fa = (a.coef_ % Pow10(a.scale_)) * Pow10(Decimal::kMaxScale - a.scale_);
        const Decimal::U128 fb = (b.coef_ % Pow10(b.scale_)) * Pow10(Decimal::kMaxScale - b.scale_);
        c = fa == fb ? 0 : fa < fb ? -1 : 1;
    }
    return na ? -c : c;
}

std::optional<Decimal> Add(const Decimal& a, const Decimal& b) {
    using U = Decimal::U128;
    // Both on the larger scale; where the other coefficient cannot take it, on fewer decimals.
    int scale = a.scale_ > b.scale_ ? a.scale_ : b.scale_;
    const U limit = (static_cast<U>(1) << 126);
    auto fits = [&](const Decimal& x) {
        const int up = scale - x.scale_;
        return up <= 0 || x.coef_ <= limit / Pow10(up);
    };
    while (scale > 0 && !(fits(a) && fits(b)))
        --scale;
    auto at = [&](const Decimal& x) {
        return scale >= x.scale_ ? x.coef_ * Pow10(scale - x.scale_) : DivRound(x.coef_, x.scale_ - scale);
    };
    if (!fits(a) || !fits(b)) return std::nullopt;
    const U x = at(a), y = at(b);
    const bool na = a.Negative(), nb = b.Negative();
    if (na == nb) return Decimal::Make(na, x + y, scale);
    if (x >= y) return Decimal::Make(na, x - y, scale);
    return Decimal::Make(nb, y - x, scale);
}

std::optional<Decimal> Subtract(const Decimal& a, const Decimal& b) {
    return Add(a, b.Negated());
}

std::optional<Decimal> Multiply(const Decimal& a, const Decimal& b) {
    Wide w = MultiplyWide(a.coef_, b.coef_);
    int scale = a.scale_ + b.scale_;
    // Down to 96 bits and 28 decimals, keeping the digits dropped for one rounding at the end.
    unsigned last = 0;
    bool sticky = false;
    bool dropped = false;
    while (!w.FitsIn128() || w.Low() > kMaxCoef || scale > Decimal::kMaxScale) {
        if (scale == 0) return std::nullopt;
        if (dropped) sticky = sticky || last != 0;
        last = w.DivideBy10();
        dropped = true;
        --scale;
    }
    Decimal::U128 coef = w.Low();
    if (dropped && (last > 5 || (last == 5 && (sticky || (coef & 1))))) ++coef;
    return Decimal::Make(a.Negative() != b.Negative(), coef, scale);
}

std::optional<Decimal> Divide(const Decimal& a, const Decimal& b) {
    using U = Decimal::U128;
    if (b.coef_ == 0) return std::nullopt;
    // a / b = (ca / cb) * 10^(sb - sa): the quotient's digits one by one while they fit.
    U q = a.coef_ / b.coef_, r = a.coef_ % b.coef_;
    int digits = 0; // decimals produced
    const int most = Decimal::kMaxScale - a.scale_ + b.scale_;
    while (r != 0 && digits < most && q <= (kMaxCoef - 9) / 10) {
        r *= 10;
        q = q * 10 + r / b.coef_;
        r %= b.coef_;
        ++digits;
    }
    if (r != 0) {
        const U twice = r * 2;
        if (twice > b.coef_ || (twice == b.coef_ && (q & 1))) ++q;
    }
    int scale = digits + a.scale_ - b.scale_;
    while (scale < 0) {
        if (q > kMaxCoef / 10) return std::nullopt;
        q *= 10;
        ++scale;
    }
    return Decimal::Make(a.Negative() != b.Negative(), q, scale);
}

} // namespace ledrana::dao
