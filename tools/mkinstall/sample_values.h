#pragma once
// What the rows of a sample company are made of (sample_data.cpp, sample_due_dates.cpp): a seeded source of
// numbers, Italian places and banks, and the values written.

#include "dao/dao.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ledrana::mkinstall {

using dao::Variant;

// splitmix64: the same rows on every machine.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Range(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool Chance(int percent) { return Range(1, 100) <= percent; }
    template <typename T, std::size_t N> const T& Pick(const std::array<T, N>& a) { return a[Next() % N]; }

private:
    std::uint64_t state_;
};

struct City {
    const char* cap;
    const char* name;
    const char* prov;
};

extern const std::array<City, 30> kCities;
extern const std::array<const char*, 5> kBankAbi;

// Values as the fields take them: a Currency of so many cents, a Text, an Integer, a Long.
Variant Cents(std::int64_t cents);
Variant Text(const std::string& s);
Variant Short(int v);
Variant Long(std::int64_t v);
// A code of a prefix and a number of `width` digits ("C00042"); `n` random digits.
std::string Code(const char* prefix, int n, int width = 5);
std::string Digits(Rng& rng, int n);
// An Italian IBAN (check digits computed; the national check letter is not).
std::string Iban(Rng& rng, const std::string& abi, const std::string& cab, const std::string& account);

} // namespace ledrana::mkinstall
