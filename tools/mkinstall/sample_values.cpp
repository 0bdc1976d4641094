// What the rows of a sample company are made of.

#include "tools/mkinstall/sample_values.h"

#include <cstdio>

namespace ledrana::mkinstall {

const std::array<City, 30> kCities = {{
    {"20121", "MILANO", "MI"},  {"00184", "ROMA", "RM"},
    {"10121", "TORINO", "TO"},  {"80133", "NAPOLI", "NA"},
    {"40121", "BOLOGNA", "BO"}, {"50123", "FIRENZE", "FI"},
    {"37121", "VERONA", "VR"},  {"35121", "PADOVA", "PD"},
    {"25121", "BRESCIA", "BS"}, {"24121", "BERGAMO", "BG"},
    {"20900", "MONZA", "MB"},   {"21100", "VARESE", "VA"},
    {"22100", "COMO", "CO"},    {"31100", "TREVISO", "TV"},
    {"36100", "VICENZA", "VI"}, {"30121", "VENEZIA", "VE"},
    {"16121", "GENOVA", "GE"},  {"43121", "PARMA", "PR"},
    {"41121", "MODENA", "MO"},  {"42121", "REGGIO EMILIA", "RE"},
    {"70121", "BARI", "BA"},    {"90133", "PALERMO", "PA"},
    {"95131", "CATANIA", "CT"}, {"09124", "CAGLIARI", "CA"},
    {"23900", "LECCO", "LC"},   {"26100", "CREMONA", "CR"},
    {"27100", "PAVIA", "PV"},   {"20099", "SESTO SAN GIOVANNI", "MI"},
    {"20025", "LEGNANO", "MI"}, {"20017", "RHO", "MI"},
}};

const std::array<const char*, 5> kBankAbi = {"03069", "02008", "05034", "01030", "05696"};

Variant Cents(std::int64_t cents) {
    return Variant::FromCurrencyScaled(cents * 100);
}

Variant Text(const std::string& s) {
    return Variant(s);
}

Variant Short(int v) {
    return Variant::FromInteger(static_cast<std::int16_t>(v));
}

Variant Long(std::int64_t v) {
    return Variant::FromLong(static_cast<std::int32_t>(v));
}

std::string Code(const char* prefix, int n, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%0*d", prefix, width, n);
    return buf;
}

std::string Digits(Rng& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>('0' + rng.Range(0, 9));
    return s;
}

// An Italian IBAN (check digits computed; the national check letter is not).
std::string Iban(Rng& rng, const std::string& abi, const std::string& cab, const std::string& account) {
    const std::string bban = std::string(1, static_cast<char>('A' + rng.Range(0, 25))) + abi + cab + account;
    std::string digits;
    for (char c : bban + "IT00")
        digits += (c >= 'A' && c <= 'Z') ? std::to_string(c - 'A' + 10) : std::string(1, c);
    int mod = 0;
    for (char c : digits)
        mod = (mod * 10 + (c - '0')) % 97;
    const int check = 98 - mod;
    return std::string("IT") + static_cast<char>('0' + check / 10) + static_cast<char>('0' + check % 10) +
           bban;
}

} // namespace ledrana::mkinstall
