#pragma once
// Pieces shared by the SQL function sources (not part of the engine's interface).

#include <string>
#include <string_view>
#include <vector>

namespace ledrana::dao::vb {

// A Like pattern read once: * any run, ? one character, # one digit, [abc] [a-z] [!abc] one character of
// (or not of) a set; everything else, % and _ included, stands for itself. Case does not matter.
class LikePattern {
public:
    explicit LikePattern(std::string_view pattern);
    bool Matches(std::string_view text) const;

private:
    enum class Kind { Char, Any, Digit, Set, NotSet, Star };
    struct Element {
        Kind kind;
        char32_t c = 0;        // Char: folded
        std::size_t first = 0; // Set / NotSet: ranges_[first, first + count)
        std::size_t count = 0;
    };
    bool MatchOne(const Element& e, char32_t folded) const;

    std::vector<Element> elements_;
    std::vector<std::pair<char32_t, char32_t>> ranges_; // folded, inclusive
};

// The Italian description of an error number of the translator or a function.
std::string ErrorDescription(int number);

} // namespace ledrana::dao::vb
