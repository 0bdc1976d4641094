// jet_cast and jet_cast_strict: a value converted for a field of a DAO type, as Execute converts it; the
// lenient form gives Null where the strict one raises 3421 (conversion), 3349 (overflow) or 3163 (too long).

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

enum CastResult { kCastOk, kCastConversion, kCastOverflow, kCastTooLong };

} // namespace

// The number in a value, for a numeric field; false when it is no number.
bool CastNumber(sqlite3_value* v, double& out) {
    switch (Type(v)) {
    case SQLITE_INTEGER:
        out = static_cast<double>(sqlite3_value_int64(v));
        return true;
    case SQLITE_FLOAT:
        out = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT:
        if (auto n = ParseNumber(RawText(v))) {
            out = *n;
            return true;
        }
        return false;
    default:
        return false;
    }
}

namespace {

CastResult CastInteger(sqlite3_context* ctx, sqlite3_value* v, double min, double max) {
    if (Type(v) == SQLITE_INTEGER) {
        sqlite3_int64 i = sqlite3_value_int64(v);
        if (i < min || i > max) return kCastOverflow;
        sqlite3_result_value(ctx, v);
        return kCastOk;
    }
    double d;
    if (!CastNumber(v, d)) return kCastConversion;
    d = RoundHalfEven(d);
    if (!(d >= min && d <= max)) return kCastOverflow;
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    return kCastOk;
}

// Text of at most size characters (0: no limit); the cut text or the error.
CastResult CastText(sqlite3_context* ctx, std::string_view s, sqlite3_value* same, int size, bool strict) {
    if (size > 0 && s.size() > static_cast<std::size_t>(size)) {
        std::size_t cut = ByteOffset(s, static_cast<std::size_t>(size));
        if (cut < s.size()) {
            if (strict) return kCastTooLong;
            ResultText(ctx, s.substr(0, cut));
            return kCastOk;
        }
    }
    if (same)
        sqlite3_result_value(ctx, same);
    else
        ResultText(ctx, s);
    return kCastOk;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from text with or without braces, or from 16 bytes.
bool GuidText(sqlite3_value* v, std::string& out) {
    static const char* kHex = "0123456789ABCDEF";
    out.clear();
    if (Type(v) == SQLITE_BLOB) {
        std::string_view b = RawBlob(v);
        if (b.size() != 16) return false;
        static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        out += '{';
        for (int k = 0; k < 16; ++k) {
            if (k == 4 || k == 6 || k == 8 || k == 10) out += '-';
            unsigned char c = static_cast<unsigned char>(b[static_cast<std::size_t>(order[k])]);
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        out += '}';
        return true;
    }
    if (Type(v) != SQLITE_TEXT) return false;
    std::string_view s = RawText(v);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36) return false;
    out += '{';
    for (std::size_t k = 0; k < 36; ++k) {
        bool dash = k == 8 || k == 13 || k == 18 || k == 23;
        if (dash != (s[k] == '-')) return false;
        if (!dash && !IsHex(s[k])) return false;
        out += dash ? '-' : static_cast<char>(s[k] >= 'a' ? s[k] - 32 : s[k]);
    }
    out += '}';
    return true;
}

CastResult Cast(sqlite3_context* ctx, sqlite3_value* v, int type, int size, int fromType, bool strict) {
    int t = Type(v);
    if (t == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return kCastOk;
    }
    double d = 0;
    switch (type) {
    case dbBoolean:
        if (t == SQLITE_TEXT) {
            auto b = ParseBoolean(RawText(v));
            if (!b) return kCastConversion;
            ResultBool(ctx, *b);
            return kCastOk;
        }
        if (!CastNumber(v, d)) return kCastConversion;
        ResultBool(ctx, d != 0);
        return kCastOk;
    case dbByte:
        return CastInteger(ctx, v, 0, 255);
    case dbInteger:
        return CastInteger(ctx, v, -32768, 32767);
    case dbLong:
        return CastInteger(ctx, v, -2147483648.0, 2147483647.0);
    case dbCurrency:
        if (!CastNumber(v, d)) return kCastConversion;
        d = RoundCurrency(d);
        if (!(std::fabs(d) <= 922337203685477.5807)) return kCastOverflow;
        sqlite3_result_double(ctx, d);
        return kCastOk;
    case dbSingle:
        if (!CastNumber(v, d)) return kCastConversion;
        if (!(std::fabs(d) <= FLT_MAX)) return kCastOverflow;
        sqlite3_result_double(ctx, static_cast<float>(d));
        return kCastOk;
    case dbDouble:
        if (t == SQLITE_FLOAT) {
            sqlite3_result_value(ctx, v);
            return kCastOk;
        }
        if (!CastNumber(v, d)) return kCastConversion;
        sqlite3_result_double(ctx, d);
        return kCastOk;
    case dbDate:
        if (t == SQLITE_TEXT) {
            auto date = ParseDate(RawText(v));
            if (!date) return kCastConversion;
            d = *date;
        } else if (!CastNumber(v, d)) {
            return kCastConversion;
        }
        if (!(d >= kMinDate && d <= kMaxDate)) return kCastOverflow;
        sqlite3_result_double(ctx, d);
        return kCastOk;
    case dbText:
    case dbMemo: {
        int limit = type == dbText ? size : 0;
        if (t == SQLITE_TEXT) return CastText(ctx, RawText(v), v, limit, strict);
        std::string s;
        if (t == SQLITE_BLOB) {
            s = std::string(RawBlob(v));
        } else if (fromType == dbBoolean) {
            s = sqlite3_value_double(v) != 0 ? "True" : "False";
        } else if (fromType == dbDate) {
            AppendDate(s, sqlite3_value_double(v));
        } else if (t == SQLITE_INTEGER) {
            AppendInt(s, sqlite3_value_int64(v));
        } else if (fromType == dbCurrency) {
            AppendCurrency(s, sqlite3_value_double(v));
        } else if (fromType == dbSingle) {
            AppendSingle(s, sqlite3_value_double(v));
        } else {
            AppendDouble(s, sqlite3_value_double(v));
        }
        return CastText(ctx, s, nullptr, limit, strict);
    }
    case dbBinary:
    case dbLongBinary: {
        if (t != SQLITE_BLOB && t != SQLITE_TEXT) return kCastConversion;
        std::string_view b = t == SQLITE_BLOB ? RawBlob(v) : RawText(v);
        if (type == dbBinary && size > 0 && b.size() > static_cast<std::size_t>(size)) {
            if (strict) return kCastTooLong;
            b = b.substr(0, static_cast<std::size_t>(size));
        }
        sqlite3_result_blob(ctx, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        return kCastOk;
    }
    case dbDecimal: {
        // size: precision * 256 + scale, as MSysFields keeps them.
        std::optional<Decimal> x;
        if (t == SQLITE_INTEGER)
            x = Decimal::FromInt(sqlite3_value_int64(v));
        else if (t == SQLITE_FLOAT)
            x = Decimal::FromDouble(sqlite3_value_double(v));
        else if (t == SQLITE_TEXT)
            x = Decimal::Parse(RawText(v));
        if (!x) return t == SQLITE_BLOB || !CastNumber(v, d) ? kCastConversion : kCastOverflow;
        const int precision = size / 256 ? size / 256 : 18, scale = size % 256;
        const Decimal r = x->Rounded(scale);
        if (!r.Fits(precision, scale)) return kCastOverflow;
        ResultText(ctx, r.ToString());
        return kCastOk;
    }
    case dbGUID: {
        std::string g;
        if (!GuidText(v, g)) return kCastConversion;
        ResultText(ctx, g);
        return kCastOk;
    }
    default:
        sqlite3_result_value(ctx, v);
        return kCastOk;
    }
}

template <bool Strict> void FnCast(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int type = sqlite3_value_int(argv[1]);
    int size = sqlite3_value_int(argv[2]);
    int fromType = argc > 3 ? sqlite3_value_int(argv[3]) : 0;
    CastResult r = Cast(ctx, argv[0], type, size, fromType, Strict);
    if (r == kCastOk) return;
    if (!Strict) return sqlite3_result_null(ctx);
    ReportError(ctx, r == kCastOverflow ? 3349 : r == kCastTooLong ? 3163 : 3421);
}

const Scalar kCasts[] = {
    {"jet_cast", 3, true, Call<FnCast<false>>},
    {"jet_cast", 4, true, Call<FnCast<false>>},
    {"jet_cast_strict", 3, true, Call<FnCast<true>>},
    {"jet_cast_strict", 4, true, Call<FnCast<true>>},
};

} // namespace

const std::span<const Scalar> kCastFunctions(kCasts);

} // namespace ledrana::dao::sqlfn
