// VB's conversions between text, numbers and dates, and its case rules, on the storage conventions of
// the engine (see dao/vb/functions.h).

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "dao/vb/calendar.h"
#include "dao/vb/functions.h"
#include "platform/text.h"

namespace ledrana::dao::vb {

namespace {

using calendar::CivilFromDays;
using calendar::DaysFromCivil;
using calendar::kEpoch;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    return TrimAny(s, " \t");
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool ValidDate(int y, int m, int d) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= ((m == 2 && !leap) ? 28 : days[m - 1]);
}

int ReadDigits(std::string_view s, std::size_t& i, int maxDigits, int& value) {
    std::size_t start = i;
    value = 0;
    while (i < s.size() && IsDigit(s[i]) && i - start < static_cast<std::size_t>(maxDigits))
        value = value * 10 + (s[i++] - '0');
    return static_cast<int>(i - start);
}

bool ReadTime(std::string_view s, std::size_t& i, double& fraction, bool sqlLiteral) {
    int h, n, sec = 0;
    if (!ReadDigits(s, i, 2, h) || i >= s.size() || (s[i] != ':' && (sqlLiteral || s[i] != '.')))
        return false;
    const char sep = s[i++];
    const int digits = sqlLiteral ? 1 : 2; // at least, for the minutes and the seconds
    if (ReadDigits(s, i, 2, n) < digits) return false;
    if (i < s.size() && s[i] == sep) {
        ++i;
        if (ReadDigits(s, i, 2, sec) < digits) return false;
    }
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    if (i + 2 <= s.size()) {
        std::string_view suffix = s.substr(i, 2);
        bool am = EqualsNoCase(suffix, "AM"), pm = EqualsNoCase(suffix, "PM");
        if (am || pm) {
            if (h < 1 || h > 12) return false;
            if (am && h == 12) h = 0;
            if (pm && h != 12) h += 12;
            i += 2;
        }
    }
    if (h > 23 || n > 59 || sec > 59) return false;
    fraction = TimeFraction(h, n, sec);
    return true;
}

namespace {

void Append2(std::string& out, int v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

// %G with the given precision, VB's exponent form, no "-0".
void AppendG(std::string& out, double v, int precision) {
    if (v == 0) {
        out += '0';
        return;
    }
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "%.*G", precision, v);
    out.append(buf, static_cast<std::size_t>(n));
}

} // namespace

// ---- Dates --------------------------------------------------------------------------------------------

double DayNumber(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               kEpoch);
}

double TimeFraction(int hour, int minute, int second) {
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

CivilDate SplitDayNumber(double v) {
    CivilDate c;
    if (!(v >= kMinDate && v <= kMaxDate)) v = v > 0 ? kMaxDate : kMinDate; // callers check the range
    double whole = std::trunc(v);
    long long day = static_cast<long long>(whole);
    long long secs = std::llround(std::fabs(v - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += 1;
    }
    CivilFromDays(day + kEpoch, c.year, c.month, c.day);
    c.hour = static_cast<int>(secs / 3600);
    c.minute = static_cast<int>(secs / 60 % 60);
    c.second = static_cast<int>(secs % 60);
    return c;
}

int Weekday(double v) {
    if (!(v >= kMinDate && v <= kMaxDate)) v = v > 0 ? kMaxDate : kMinDate;
    long long day = static_cast<long long>(std::trunc(v));
    long long w = ((day % 7) + 7) % 7; // 0 = Saturday (30 December 1899)
    return static_cast<int>((w + 6) % 7) + 1;
}

double NowDayNumber() {
    std::time_t t = std::time(nullptr);
    std::tm local = *std::localtime(&t);
    return DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           TimeFraction(local.tm_hour, local.tm_min, local.tm_sec);
}

// ---- Text to values ----------------------------------------------------------------------------------

std::optional<double> ParseNumber(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.empty()) return std::nullopt;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        unsigned long long v = 0;
        auto r = std::from_chars(s.data() + 2, s.data() + s.size(), v, base);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
        // &H and &O give 16-bit values up to 4 digits (&HFFFF = -1), 32-bit beyond, as VB does.
        if (s.size() - 2 <= (base == 16 ? 4u : 6u) && v <= 0xFFFF)
            return static_cast<double>(static_cast<std::int16_t>(v));
        if (v <= 0xFFFFFFFFull) return static_cast<double>(static_cast<std::int32_t>(v));
        return std::nullopt;
    }
    char buf[64];
    std::string big;
    char* out = buf;
    if (s.size() >= sizeof buf) {
        big.resize(s.size() + 1);
        out = big.data();
    }
    std::size_t n = 0, i = 0;
    if (s[i] == '+' || s[i] == '-') {
        if (s[i] == '-') out[n++] = '-';
        ++i;
        while (i < s.size() && IsBlank(s[i]))
            ++i;
    }
    int digits = 0;
    bool separator = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (IsDigit(c)) {
            out[n++] = c;
            ++digits;
        } else if ((c == '.' || c == ',') && !separator) {
            separator = true;
            out[n++] = '.';
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        out[n++] = 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) out[n++] = s[i++];
        int expDigits = 0;
        while (i < s.size() && IsDigit(s[i]))
            out[n++] = s[i++], ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    double v = 0;
    auto r = std::from_chars(out, out + n, v);
    if (r.ec != std::errc() || r.ptr != out + n) return std::nullopt;
    return v;
}

std::optional<double> ParseDate(std::string_view text) {
    std::string_view s = Trim(text);
    std::size_t i = 0;
    double fraction = 0, day = 0;
    int a, b, c;
    int lenA = ReadDigits(s, i, 4, a);
    if (lenA > 0 && i < s.size() && (s[i] == '/' || s[i] == '-' || s[i] == '.')) {
        char sep = s[i++];
        if (!ReadDigits(s, i, 2, b) || i >= s.size() || s[i] != sep) {
            // Not a date; perhaps a time alone such as 10.30.
            i = 0;
            if (!ReadTime(s, i, fraction) || i != s.size()) return std::nullopt;
            return fraction;
        }
        ++i;
        int lenC = ReadDigits(s, i, 4, c);
        if (!lenC) return std::nullopt;
        int y, m, d;
        if (lenA > 2) {
            y = a, m = b, d = c; // yyyy-mm-dd
        } else {
            d = a, m = b, y = c; // dd/mm/yyyy, the Italian order
            if (lenC <= 2) y += y < 30 ? 2000 : 1900;
            if (!ValidDate(y, m, d) && ValidDate(y, d, m)) std::swap(d, m);
        }
        if (!ValidDate(y, m, d)) return std::nullopt;
        day = DayNumber(y, m, d);
        if (i < s.size()) {
            if (!IsBlank(s[i])) return std::nullopt;
            while (i < s.size() && IsBlank(s[i]))
                ++i;
            if (!ReadTime(s, i, fraction)) return std::nullopt;
        }
    } else {
        i = 0;
        if (!ReadTime(s, i, fraction)) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    return day < 0 ? day - fraction : day + fraction;
}

std::optional<bool> ParseBoolean(std::string_view text) {
    std::string_view s = Trim(text);
    if (EqualsNoCase(s, "True")) return true;
    if (EqualsNoCase(s, "False")) return false;
    if (auto n = ParseNumber(s)) return *n != 0;
    return std::nullopt;
}

// ---- Values to text ----------------------------------------------------------------------------------

void AppendDouble(std::string& out, double v) {
    AppendG(out, v, 15);
}

void AppendSingle(std::string& out, double v) {
    AppendG(out, static_cast<float>(v), 7);
}

void AppendCurrency(std::string& out, double v) {
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%.4f", RoundCurrency(v));
    while (n > 0 && buf[n - 1] == '0')
        --n;
    if (n > 0 && buf[n - 1] == '.') --n;
    if (n == 2 && buf[0] == '-' && buf[1] == '0') {
        out += '0';
        return;
    }
    out.append(buf, static_cast<std::size_t>(n));
}

namespace {
RegionalSettings regional;
} // namespace

const RegionalSettings& Regional() {
    return regional;
}
void SetRegional(const RegionalSettings& settings) {
    regional = settings;
}

void AppendDate(std::string& out, double v) {
    CivilDate c = SplitDayNumber(v);
    bool hasTime = c.hour || c.minute || c.second;
    bool hasDate = std::trunc(v) != 0 || !hasTime;
    if (hasDate) {
        Append2(out, regional.dayFirst ? c.day : c.month);
        out += regional.dateSeparator;
        Append2(out, regional.dayFirst ? c.month : c.day);
        out += regional.dateSeparator;
        char buf[8];
        int n = std::snprintf(buf, sizeof buf, "%04d", c.year);
        out.append(buf, static_cast<std::size_t>(n));
    }
    if (hasTime) {
        if (hasDate) out += ' ';
        Append2(out, c.hour);
        out += regional.timeSeparator;
        Append2(out, c.minute);
        out += regional.timeSeparator;
        Append2(out, c.second);
    }
}

std::string DoubleText(double v) {
    std::string s;
    AppendDouble(s, v);
    return s;
}

std::string DateText(double v) {
    std::string s;
    AppendDate(s, v);
    return s;
}

double Val(std::string_view s) {
    char buf[64];
    std::size_t n = 0, i = 0;
    auto skip = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
            ++i;
    };
    auto put = [&](char c) {
        if (n < sizeof buf - 1) buf[n++] = c;
    };
    skip();
    if (i + 1 < s.size() && s[i] == '&' &&
        (s[i + 1] == 'H' || s[i + 1] == 'h' || s[i + 1] == 'O' || s[i + 1] == 'o')) {
        int base = (s[i + 1] == 'H' || s[i + 1] == 'h') ? 16 : 8;
        i += 2;
        long long v = 0;
        int digits = 0;
        for (; i < s.size(); ++i) {
            char c = s[i];
            int d = IsDigit(c)                                            ? c - '0'
                    : (base == 16 && std::strchr("abcdefABCDEF", c) && c) ? (c | 0x20) - 'a' + 10
                                                                          : -1;
            if (d < 0 || d >= base) break;
            v = v * base + d;
            ++digits;
        }
        if (digits <= (base == 16 ? 4 : 6) && v <= 0xFFFF) return static_cast<std::int16_t>(v);
        return static_cast<double>(static_cast<std::int32_t>(v));
    }
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        if (s[i] == '-') put('-');
        ++i;
    }
    bool dot = false, any = false;
    for (;; ++i) {
        skip();
        if (i >= s.size()) break;
        if (IsDigit(s[i]))
            put(s[i]), any = true;
        else if (s[i] == '.' && !dot)
            put('.'), dot = true;
        else
            break;
    }
    if (any && i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t save = i, saveN = n;
        put('e');
        ++i;
        skip();
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) put(s[i++]);
        bool expDigits = false;
        for (;; ++i) {
            skip();
            if (i >= s.size() || !IsDigit(s[i])) break;
            put(s[i]);
            expDigits = true;
        }
        if (!expDigits) i = save, n = saveN;
    }
    if (!any) return 0;
    double v = 0;
    std::from_chars(buf, buf + n, v);
    return v;
}

double RoundHalfEven(double v) {
    // nearbyint rounds half to even in the default rounding mode, which the program never changes.
    return std::nearbyint(v);
}

double RoundCurrency(double v) {
    return std::nearbyint(v * 10000.0) / 10000.0;
}

// ---- Text --------------------------------------------------------------------------------------------

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    switch (c) {
    case 0x160:
        return 0x161; // Š
    case 0x152:
        return 0x153; // Œ
    case 0x17D:
        return 0x17E; // Ž
    case 0x178:
        return 0xFF; // Ÿ
    default:
        return c;
    }
}

char32_t UpperCase(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    switch (c) {
    case 0x161:
        return 0x160;
    case 0x153:
        return 0x152;
    case 0x17E:
        return 0x17D;
    case 0xFF:
        return 0x178;
    default:
        return c;
    }
}

char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (len == 0 || i + len > s.size()) {
        ++i;
        return c;
    }
    char32_t cp = c & (0x3F >> (len - 1));
    for (int k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += len;
    return cp;
}

void AppendUtf8(std::string& out, char32_t c) {
    ledrana::AppendUtf8(out, c);
}

} // namespace ledrana::dao::vb
