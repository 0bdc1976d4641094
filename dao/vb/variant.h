#pragma once
// The value of a field, a property or an expression, as VB's Variant holds it: Empty, Null, Boolean
// (True is -1), Byte, Integer (16 bit), Long (32 bit), Currency (exact, four decimals), Single, Double,
// Date (days from 30 December 1899, the fraction is the time of day), String (UTF-8), Binary (bytes) and
// Decimal (exact to 28 digits, dao/vb/decimal.h; VB's subtype 14, held as its text).
//
// Conversions follow VB's rules (CBool, CByte, CInt, CLng, CCur, CSng, CDbl, CDate, CStr):
//   - numbers round to integers half to even (2.5 -> 2, 3.5 -> 4); CDec keeps every digit of a Decimal, a
//     Currency or a text and the first 15 significant digits of a Double;
//   - a value outside the target's range throws Error 6 ("Overflow");
//   - text is read as a number when it is one ("12", " 3.5", "1e3", "&H1F", "-7"; both "." and "," are
//     accepted as the decimal separator), as a date for CDate ("yyyy-mm-dd[ hh:nn[:ss]]", "dd/mm/yyyy
//     [hh:nn[:ss]]"), as "True"/"False" (any case) for CBool; anything else throws Error 13
//     ("Tipo non corrispondente");
//   - Null throws Error 94 ("Utilizzo non valido di Null") for every conversion except CStr of Empty ("")
//     and the Is... questions; Empty reads as 0, False or "";
//   - CStr: Boolean "True"/"False", numbers with "." as decimal separator, Double to 15 significant
//     digits and Single to 7 ("3.5", "0.1", "12", "1E+20", "1.5E-05"), Currency without trailing zeros, Date
//     as "dd/mm/yyyy", "hh.nn.ss" or both (the short date and time of an Italian system), Binary as its
//     bytes.

#include "dao/vb/decimal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ledrana::dao {

class Variant {
public:
    enum class Kind {
        Empty,
        Null,
        Boolean,
        Byte,
        Integer,
        Long,
        Currency,
        Single,
        Double,
        Date,
        String,
        Binary,
        Decimal,
    };

    Variant() = default;           // Empty
    Variant(bool b);               // Boolean
    Variant(int v);                // Long
    Variant(long v);               // Long when it fits, otherwise Double
    Variant(long long v);          // Long when it fits, otherwise Double
    Variant(unsigned v);           // likewise
    Variant(unsigned long v);      // likewise (sizes and counts)
    Variant(unsigned long long v); // likewise
    Variant(double v);             // Double
    Variant(const char* s);
    Variant(std::string s);
    Variant(std::string_view s);

    static Variant Null();
    static Variant FromByte(std::uint8_t v);
    static Variant FromInteger(std::int16_t v);
    static Variant FromLong(std::int32_t v);
    static Variant FromCurrency(double v); // rounded to four decimals
    static Variant FromCurrencyScaled(std::int64_t tenThousandths);
    static Variant FromSingle(float v);
    static Variant FromDouble(double v);
    static Variant FromDate(double days); // days from 30 December 1899
    static Variant FromDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    static Variant FromBinary(std::string bytes);
    static Variant FromDecimal(const Decimal& d);

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }
    bool IsEmpty() const { return kind_ == Kind::Empty; }
    bool IsNumber() const;  // of a number kind: Boolean, Byte ... Double, Decimal (Date excluded)
    bool IsNumeric() const; // VB's IsNumeric: a number kind, Empty, or text that reads as a number
    bool IsText() const { return kind_ == Kind::String; }

    // VB conversions (see the rules above). Throw ledrana::Error 6, 13 or 94.
    bool ToBoolean() const;
    std::uint8_t ToByte() const;
    std::int16_t ToInteger() const;
    std::int32_t ToLong() const;
    std::int64_t ToCurrencyScaled() const; // CCur in ten-thousandths
    float ToSingle() const;
    double ToDouble() const;
    double ToDate() const;     // CDate as a day number
    Decimal ToDecimal() const; // CDec
    std::string ToString() const;

    // The raw value without conversion (valid only for the matching kinds).
    std::int64_t RawInteger() const { return i_; } // Boolean (-1/0), Byte, Integer, Long, Currency (scaled)
    double RawDouble() const { return d_; }        // Single, Double, Date
    const std::string& RawString() const { return s_; } // String, Binary, Decimal (its text)

    // Identity of values, for tests and comparisons of stored data: Null equals Null, Empty equals
    // Empty, numbers (Boolean included) compare by numeric value whatever their kind, Date only with Date,
    // text and binary byte by byte. Text never equals a number.
    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

    // Debugging form: kind and value, e.g. "Long 12", "String \"x\"", "Null".
    std::string Describe() const;

private:
    Variant(Kind kind, std::int64_t i, double d, std::string s)
        : kind_(kind), i_(i), d_(d), s_(std::move(s)) {}

    Kind kind_ = Kind::Empty;
    std::int64_t i_ = 0;
    double d_ = 0;
    std::string s_;
};

// Day number of a calendar date and time (30 December 1899 is 0). Dates before it count backwards as VB
// does (the fraction still adds the time of day).
double DateSerial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The calendar parts of a day number.
struct DateParts {
    int year, month, day, hour, minute, second;
};
DateParts SplitDate(double days);

} // namespace ledrana::dao
