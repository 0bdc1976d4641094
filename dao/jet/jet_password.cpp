// The database password in a Jet header page.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dao/jet/jet_password.h"
#include "platform/text.h"

namespace ledrana::dao::jet {

namespace {

constexpr std::size_t kMaskedStart = 0x18;  // the masked part of the header starts here
constexpr std::size_t kMaskedLength = 128;  // 126 in Jet 3; the fields below lie within both
constexpr std::size_t kDatabaseKey = 0x3e;  // 4 bytes, non-zero when the pages are encrypted
constexpr std::size_t kPassword = 0x42;     // 20 bytes (Jet 3), 40 bytes (Jet 4, ACE)
constexpr std::size_t kCreationDate = 0x72; // 8 bytes, a Date (Jet 4, ACE)
constexpr std::size_t kVersion = 0x14;      // 0 Jet 3, 1 Jet 4, 2 and above ACE

} // namespace

// The fixed RC4 stream Jet masks the header with: RC4 under the key C7 DA 39 6B.
void UnmaskHeader(unsigned char* data, std::size_t length) {
    const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

DatabasePassword DecodeDatabasePassword(const unsigned char* header, std::size_t size) {
    DatabasePassword out;
    if (!header || size < kMaskedStart + kMaskedLength) return out;
    if (std::memcmp(header + 4, "Standard Jet DB", 15) != 0 &&
        std::memcmp(header + 4, "Standard ACE DB", 15) != 0)
        return out;
    const bool jet3 = header[kVersion] == 0;

    unsigned char page[kMaskedStart + kMaskedLength];
    std::memcpy(page, header, sizeof page);
    UnmaskHeader(page + kMaskedStart, jet3 ? 126 : 128);

    out.encrypted =
        (page[kDatabaseKey] | page[kDatabaseKey + 1] | page[kDatabaseKey + 2] | page[kDatabaseKey + 3]) != 0;

    unsigned char* pwd = page + kPassword;
    if (jet3) {
        std::size_t n = std::find(pwd, pwd + 20, 0) - pwd;
        out.password = Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(pwd), n));
        return out;
    }
    // Jet 4 masks the password once more with the whole days of the creation date, 4 bytes little-endian.
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | page[kCreationDate + i];
    double created;
    std::memcpy(&created, &bits, sizeof created);
    std::int32_t days = 0;
    if (std::isfinite(created))
        days = static_cast<std::int32_t>(std::clamp(created, double(std::numeric_limits<std::int32_t>::min()),
                                                    double(std::numeric_limits<std::int32_t>::max())));
    const auto udays = static_cast<std::uint32_t>(days);
    for (std::size_t i = 0; i < 40; ++i)
        pwd[i] ^= static_cast<unsigned char>(udays >> (8 * (i % 4)));
    // UTF-16LE up to the first NUL character.
    std::size_t units = 0;
    while (units < 20 && (pwd[2 * units] | pwd[2 * units + 1]) != 0)
        ++units;
    out.password = Utf16ToUtf8(std::string_view(reinterpret_cast<const char*>(pwd), 2 * units), false);
    return out;
}

} // namespace ledrana::dao::jet
