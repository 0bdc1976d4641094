// Jet's Like: VB wildcards on UTF-8 text, without regard to case.

#include "dao/vb/functions.h"
#include "dao/vb/functions_internal.h"

namespace ledrana::dao::vb {

LikePattern::LikePattern(std::string_view p) {
    std::size_t i = 0;
    while (i < p.size()) {
        char32_t c = DecodeUtf8(p, i);
        Element e{Kind::Char};
        if (c == '*') {
            if (!elements_.empty() && elements_.back().kind == Kind::Star) continue;
            e.kind = Kind::Star;
        } else if (c == '?') {
            e.kind = Kind::Any;
        } else if (c == '#') {
            e.kind = Kind::Digit;
        } else if (c == '[' && p.find(']', i) != std::string_view::npos) {
            std::size_t close = p.find(']', i);
            std::string_view body = p.substr(i, close - i);
            i = close + 1;
            if (body.empty()) continue; // [] matches the empty string
            std::size_t j = 0;
            e.kind = Kind::Set;
            if (body[0] == '!' && body.size() > 1) {
                e.kind = Kind::NotSet;
                j = 1;
            }
            e.first = ranges_.size();
            while (j < body.size()) {
                char32_t lo = FoldCase(DecodeUtf8(body, j)), hi = lo;
                if (j + 1 < body.size() && body[j] == '-') {
                    ++j;
                    hi = FoldCase(DecodeUtf8(body, j));
                }
                ranges_.emplace_back(lo, hi);
            }
            e.count = ranges_.size() - e.first;
        } else {
            e.c = FoldCase(c);
        }
        elements_.push_back(e);
    }
}

bool LikePattern::MatchOne(const Element& e, char32_t folded) const {
    switch (e.kind) {
    case Kind::Char:
        return e.c == folded;
    case Kind::Any:
        return true;
    case Kind::Digit:
        return folded >= '0' && folded <= '9';
    case Kind::Set:
    case Kind::NotSet: {
        bool in = false;
        for (std::size_t k = e.first; k < e.first + e.count && !in; ++k)
            in = folded >= ranges_[k].first && folded <= ranges_[k].second;
        return in == (e.kind == Kind::Set);
    }
    case Kind::Star:
        return false;
    }
    return false;
}

bool LikePattern::Matches(std::string_view text) const {
    // Every element but * takes one character, so one backtracking point (the last *) is enough.
    std::size_t p = 0, t = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    const std::size_t n = elements_.size();
    while (t < text.size()) {
        if (p < n && elements_[p].kind == Kind::Star) {
            starP = ++p;
            starT = t;
            continue;
        }
        std::size_t next = t;
        char32_t c = FoldCase(DecodeUtf8(text, next));
        if (p < n && MatchOne(elements_[p], c)) {
            ++p;
            t = next;
            continue;
        }
        if (starP == std::string_view::npos) return false;
        p = starP;
        DecodeUtf8(text, starT);
        t = starT;
    }
    while (p < n && elements_[p].kind == Kind::Star)
        ++p;
    return p == n;
}

bool Like(std::string_view text, std::string_view pattern) {
    return LikePattern(pattern).Matches(text);
}

} // namespace ledrana::dao::vb
