#pragma once
// The values of Jet files from their bytes: little-endian numbers, Jet 4 text, GUIDs, decimals, and the
// values of the fixed-size types. For the reader of Jet files (jet_file.cpp, jet_values.cpp).

#include "dao/jet/jet_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace ledrana::dao::jet {

// The longest long value (Memo, OLE Object, attachment) the reader takes.
constexpr std::size_t kMaxLongValue = std::size_t{1} << 30;

inline std::uint32_t Le16(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

inline std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline std::uint64_t Le64(const unsigned char* p) {
    return std::uint64_t(Le32(p)) | std::uint64_t(Le32(p + 4)) << 32;
}

// Jet 4 text: UTF-16LE, or "compressed" (0xFF 0xFE, then runs of one-byte characters and runs of
// two-byte ones, each run ended by a 0 byte).
std::string Jet4Text(const unsigned char* p, std::size_t n);
// The text of a GUID ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}) from its 16 bytes.
std::string GuidText(const unsigned char* k);
// The exact text of a decimal number: its 96-bit magnitude (high 32 bits, low 64) with `scale` of its
// digits after the point.
std::string DecimalText(std::uint32_t high, std::uint64_t low, int scale, bool negative);
// A Date/Time Extended value: ASCII digits, the days since 1 January of year 1 (19), a separator, the
// ten-millionths of a second since midnight (19), then ":7" and a 0 byte. False when it is not that.
bool ExtendedDate(const unsigned char* p, std::size_t n, Value& v);
// True for libmdb's types of a fixed size.
bool IsFixedType(int type);
// A value of a fixed-size type from its bytes. False when the type is not one, or the bytes are too few.
bool DecodeFixed(int type, const unsigned char* p, std::size_t n, Value& v);

} // namespace ledrana::dao::jet
