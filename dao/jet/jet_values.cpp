// The values of Jet files from their bytes.

#include "dao/jet/jet_values.h"

#include "platform/text.h"

#include <mdbtools.h>

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace ledrana::dao::jet {

namespace {

// Year, month, day of a day number counted from 1 January 1970 (proleptic Gregorian calendar).
void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

} // namespace

bool ExtendedDate(const unsigned char* p, std::size_t n, Value& v) {
    if (n < 39) return false;
    auto number = [&](std::size_t from, std::size_t len, std::uint64_t& out) {
        out = 0;
        for (std::size_t i = from; i < from + len; ++i) {
            if (p[i] < '0' || p[i] > '9') return false;
            out = out * 10 + (p[i] - '0');
        }
        return true;
    };
    std::uint64_t days = 0, ticks = 0;
    if (!number(0, 19, days) || !number(20, 19, ticks) || days > 4000000 || ticks >= 864000000000ULL)
        return false;
    const std::uint64_t seconds = ticks / 10000000, fraction = ticks % 10000000;
    std::int64_t year = 0;
    int month = 0, day = 0;
    CivilFromDays(static_cast<std::int64_t>(days) - 719162, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02u:%02u:%02u.%07u", static_cast<long long>(year),
                  month, day, unsigned(seconds / 3600), unsigned(seconds / 60 % 60), unsigned(seconds % 60),
                  unsigned(fraction));
    const bool inRange = year >= 100 && year <= 9999;
    v.kind = inRange ? Value::Kind::Date : Value::Kind::Null;
    // Days from 30 December 1899; before it the time of day counts away from zero, as Dates do.
    const double serial = static_cast<double>(static_cast<std::int64_t>(days) - 693593);
    const double time = static_cast<double>(seconds) / 86400.0;
    v.d = serial < 0 ? serial - time : serial + time;
    if (!inRange || fraction != 0) v.exact = text;
    return true;
}

std::string Jet4Text(const unsigned char* p, std::size_t n) {
    const auto* bytes = reinterpret_cast<const char*>(p);
    if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) return Utf16ToUtf8(std::string_view(bytes, n), false);
    std::string units;
    units.reserve(2 * n);
    bool compressed = true;
    for (std::size_t i = 2; i < n;) {
        if (p[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            units += bytes[i++];
            units += '\0';
        } else if (i + 1 < n) {
            units.append(bytes + i, 2);
            i += 2;
        } else {
            break;
        }
    }
    return Utf16ToUtf8(units, false);
}

std::string GuidText(const unsigned char* k) {
    char b[40];
    std::snprintf(b, sizeof b, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", k[3],
                  k[2], k[1], k[0], k[5], k[4], k[7], k[6], k[8], k[9], k[10], k[11], k[12], k[13], k[14],
                  k[15]);
    return b;
}

std::string DecimalText(std::uint32_t high, std::uint64_t low, int scale, bool negative) {
    std::uint32_t limbs[3] = {high, static_cast<std::uint32_t>(low >> 32), static_cast<std::uint32_t>(low)};
    std::string digits;
    do {
        std::uint64_t rest = 0;
        for (auto& limb : limbs) {
            const std::uint64_t cur = rest << 32 | limb;
            limb = static_cast<std::uint32_t>(cur / 10);
            rest = cur % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rest));
    } while (limbs[0] != 0 || limbs[1] != 0 || limbs[2] != 0);
    if (scale > 0) {
        const auto sc = static_cast<std::size_t>(scale);
        if (digits.size() <= sc) digits.insert(0, sc + 1 - digits.size(), '0');
        digits.insert(digits.size() - sc, 1, '.');
    }
    return negative && digits.find_first_not_of("0.") != std::string::npos ? "-" + digits : digits;
}

bool IsFixedType(int type) {
    switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_REPID:
        return true;
    default:
        return false;
    }
}

bool DecodeFixed(int type, const unsigned char* p, std::size_t n, Value& v) {
    switch (type) {
    case MDB_BYTE:
        if (n < 1) return false;
        v.kind = Value::Kind::Byte;
        v.i = p[0];
        return true;
    case MDB_INT:
        if (n < 2) return false;
        v.kind = Value::Kind::Integer;
        v.i = static_cast<std::int16_t>(p[0] | p[1] << 8);
        return true;
    case MDB_LONGINT:
    case MDB_COMPLEX: // the reference number of the row's values
        if (n < 4) return false;
        v.kind = Value::Kind::Long;
        v.i = static_cast<std::int32_t>(Le32(p));
        return true;
    case MDB_MONEY:
        if (n < 8) return false;
        v.kind = Value::Kind::Currency;
        v.i = static_cast<std::int64_t>(Le64(p));
        return true;
    case MDB_FLOAT: {
        if (n < 4) return false;
        float x;
        const std::uint32_t bits = Le32(p);
        std::memcpy(&x, &bits, 4);
        v.kind = Value::Kind::Single;
        v.d = x;
        return true;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
        if (n < 8) return false;
        const std::uint64_t bits = Le64(p);
        std::memcpy(&v.d, &bits, 8);
        v.kind = type == MDB_DOUBLE ? Value::Kind::Double : Value::Kind::Date;
        return true;
    }
    case MDB_REPID:
        if (n < 16) return false;
        v.kind = Value::Kind::String;
        v.s = GuidText(p);
        return true;
    default:
        return false;
    }
}

bool ReadExtendedDate(std::string_view stored, Value& v) {
    return ExtendedDate(reinterpret_cast<const unsigned char*>(stored.data()), stored.size(), v);
}

std::optional<std::string> AttachmentBytes(std::string_view stored) {
    const auto* p = reinterpret_cast<const unsigned char*>(stored.data());
    if (stored.size() < 8) return std::nullopt;
    const std::uint32_t kind = Le32(p), length = Le32(p + 4); // length: the content's header and bytes
    std::string content;
    if (kind == 0) {
        content.assign(stored.substr(8));
    } else if (kind == 1) {
        if (length > kMaxLongValue) return std::nullopt;
        content.resize(length);
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return std::nullopt;
        z.next_in = const_cast<Bytef*>(p + 8);
        z.avail_in = static_cast<uInt>(stored.size() - 8);
        z.next_out = reinterpret_cast<Bytef*>(content.data());
        z.avail_out = static_cast<uInt>(content.size());
        const int rc = inflate(&z, Z_FINISH);
        content.resize(z.total_out);
        inflateEnd(&z);
        if (rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && content.size() == length)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (content.size() < 4) return std::nullopt;
    const std::uint32_t headerLen = Le32(reinterpret_cast<const unsigned char*>(content.data()));
    if (headerLen < 4 || headerLen > length || length > content.size()) return std::nullopt;
    return content.substr(headerLen, length - headerLen);
}

} // namespace ledrana::dao::jet
