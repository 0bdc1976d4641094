#pragma once
// Decimal numbers as VB's Decimal subtype and Jet's Decimal fields hold them: a sign, a whole coefficient
// of at most 96 bits (79228162514264337593543950335) and a scale of 0 to 28 decimals. Every operation is
// exact while its result fits; beyond that it rounds half to even to fewer decimals, and a result that
// needs more than 96 bits with no decimals left is an overflow (nullopt; VB's error 6).
//
// Text forms: Parse reads "12", " -3,50 ", "1.5E+3" ("." or "," as separator); ToString writes the value
// with "." and without trailing zeros ("-3.5", "0.001", "0").
//
// Storage: a Decimal field's values are their ToString text in a TEXT column declared with the collation
// jet_decimal, which orders and compares the texts as numbers (dao/sql/jetsql.h). 28 digits exceed SQLite's
// INTEGER (19) and REAL (15-17), so neither numeric class could keep them exact; a fixed-width encoded
// form would sort with the plain byte order but no other tool could read it. The text is readable by any
// SQLite tool; ordering, comparing or writing such a column there needs the collation (as an index on it
// does). A Variant of subtype Decimal (VB's vbDecimal, 14) holds the same text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ledrana::dao {

class Decimal {
public:
    static constexpr int kMaxScale = 28;
    static constexpr int kMaxPrecision = 28; // of a Decimal field

    Decimal() = default; // 0
    static Decimal FromInt(std::int64_t v);
    // v / 10^scale (Currency is FromScaled(tenThousandths, 4)).
    static Decimal FromScaled(std::int64_t v, int scale);
    // A Double as VB's CDec reads it: its first 15 significant digits. nullopt: not finite or too large.
    static std::optional<Decimal> FromDouble(double d);
    // nullopt when the text is no number or too large; more than 28 decimals round.
    static std::optional<Decimal> Parse(std::string_view text);

    std::string ToString() const;
    double ToDouble() const;
    // The value times 10^scale, rounded half to even; nullopt when it does not fit in 64 bits.
    std::optional<std::int64_t> ToScaled(int scale) const;
    // Rounded half to even to at most `scale` decimals.
    Decimal Rounded(int scale) const;
    // True when the value, rounded to `scale` decimals, has at most `precision` digits in all.
    bool Fits(int precision, int scale) const;

    bool IsZero() const { return coef_ == 0; }
    bool Negative() const { return negative_ && coef_ != 0; }
    int Scale() const { return scale_; }
    Decimal Negated() const;

    friend int Compare(const Decimal& a, const Decimal& b); // -1, 0, 1
    friend bool operator==(const Decimal& a, const Decimal& b) { return Compare(a, b) == 0; }
    friend std::optional<Decimal> Add(const Decimal& a, const Decimal& b);
    friend std::optional<Decimal> Subtract(const Decimal& a, const Decimal& b);
    friend std::optional<Decimal> Multiply(const Decimal& a, const Decimal& b);
    // nullopt also for a zero divisor (the caller tells the two apart).
    friend std::optional<Decimal> Divide(const Decimal& a, const Decimal& b);

private:
    __extension__ typedef unsigned __int128 U128;
    static std::optional<Decimal> Make(bool negative, U128 coef, int scale);
    bool negative_ = false;
    int scale_ = 0;
    U128 coef_ = 0;
};

int Compare(const Decimal& a, const Decimal& b);
std::optional<Decimal> Add(const Decimal& a, const Decimal& b);
std::optional<Decimal> Subtract(const Decimal& a, const Decimal& b);
std::optional<Decimal> Multiply(const Decimal& a, const Decimal& b);
std::optional<Decimal> Divide(const Decimal& a, const Decimal& b);

} // namespace ledrana::dao
