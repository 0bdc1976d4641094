// VB's text functions on UTF-8 text, counted in characters: Left, Right, Mid, Len, Trim, UCase, LCase,
// InStr, InStrRev, Replace, Space, String, StrReverse, Chr and Asc (Windows-1252), StrComp, Hex, Oct.

#include "dao/sql/functions_sqlite.h"

namespace ledrana::dao::sqlfn {

namespace {

void FnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[1]);
    if (n < 0) throw Raised{5};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    if (static_cast<std::size_t>(n) >= s.size() && Type(argv[0]) == SQLITE_TEXT)
        return sqlite3_result_value(ctx, argv[0]);
    ResultText(ctx, s.substr(0, ByteOffset(s, static_cast<std::size_t>(n))));
}

void FnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[1]);
    if (n < 0) throw Raised{5};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    std::size_t count = CharCount(s);
    if (static_cast<std::size_t>(n) >= count) return ResultText(ctx, s);
    ResultText(ctx, s.substr(ByteOffset(s, count - static_cast<std::size_t>(n))));
}

void FnMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long start = LongArg(argv[1]);
    if (start < 1) throw Raised{5};
    long long len = -1;
    if (argc > 2) {
        len = LongArg(argv[2]);
        if (len < 0) throw Raised{5};
    }
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    std::size_t from = ByteOffset(s, static_cast<std::size_t>(start - 1));
    std::string_view rest = s.substr(from);
    if (len >= 0) rest = rest.substr(0, ByteOffset(rest, static_cast<std::size_t>(len)));
    ResultText(ctx, rest);
}

void FnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf;
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(CharCount(StrArg(argv[0], buf))));
}

template <bool Left, bool Right> void FnTrim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    if (Left)
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
    if (Right)
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
    ResultText(ctx, s);
}

template <bool Upper> void FnCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::string buf, out;
    std::string_view s = StrArg(argv[0], buf);
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = DecodeUtf8(s, i);
        AppendUtf8(out, Upper ? UpperCase(c) : FoldCase(c));
    }
    ResultText(ctx, out);
}

void FnInStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // InStr([start,] string1, string2[, compare]): with three arguments a number first is the start.
    int k = 0;
    long long start = 1;
    if (argc == 4 || (argc == 3 && (Type(argv[0]) == SQLITE_INTEGER || Type(argv[0]) == SQLITE_FLOAT))) {
        start = LongArg(argv[0]);
        if (start < 1) throw Raised{5};
        k = 1;
    }
    if (IsNull(argv[k]) || IsNull(argv[k + 1])) return sqlite3_result_null(ctx);
    std::string b1, b2;
    std::string_view hay = StrArg(argv[k], b1), needle = StrArg(argv[k + 1], b2);
    bool text = TextCompare(argc, argv, k + 2);
    if (static_cast<std::size_t>(start) > CharCount(hay)) return sqlite3_result_int(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    sqlite3_result_int64(ctx, Find(hay, needle, start, text));
}

void FnInStrRev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::string b1, b2;
    std::string hay(StrArg(argv[0], b1)), needle(StrArg(argv[1], b2));
    long long start = argc > 2 ? LongArg(argv[2]) : -1;
    if (start == 0 || start < -1) throw Raised{5};
    if (TextCompare(argc, argv, 3)) hay = Fold(hay), needle = Fold(needle);
    long long len = static_cast<long long>(CharCount(hay));
    if (start == -1) start = len;
    if (start > len) return sqlite3_result_int(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    // Last occurrence that ends at or before character start.
    std::size_t limit = ByteOffset(hay, static_cast<std::size_t>(start));
    if (needle.size() > limit) return sqlite3_result_int(ctx, 0);
    std::size_t at = hay.rfind(needle, limit - needle.size());
    if (at == std::string::npos) return sqlite3_result_int(ctx, 0);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(CharCount(std::string_view(hay).substr(0, at))) + 1);
}

void FnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    std::string b0, b1, b2;
    std::string_view s = StrArg(argv[0], b0), find = StrArg(argv[1], b1), with = StrArg(argv[2], b2);
    long long start = argc > 3 && !IsNull(argv[3]) ? LongArg(argv[3]) : 1;
    long long count = argc > 4 && !IsNull(argv[4]) ? LongArg(argv[4]) : -1;
    if (start < 1 || count < -1) throw Raised{5};
    bool text = TextCompare(argc, argv, 5);
    // VB returns the text from start on, with the replacements made.
    std::string_view rest = s.substr(ByteOffset(s, static_cast<std::size_t>(start - 1)));
    if (find.empty() || count == 0) return ResultText(ctx, rest);
    std::string folded, foldedFind;
    std::string_view hay = rest, needle = find;
    if (text) {
        // Folding keeps the byte length of the Latin letters it changes, so offsets stay valid.
        folded = Fold(rest), foldedFind = Fold(find);
        if (folded.size() == rest.size() && foldedFind.size() == find.size())
            hay = folded, needle = foldedFind;
    }
    std::string out;
    std::size_t pos = 0;
    while (count != 0) {
        std::size_t at = hay.find(needle, pos);
        if (at == std::string_view::npos) break;
        out.append(rest.substr(pos, at - pos));
        out.append(with);
        pos = at + needle.size();
        if (count > 0) --count;
    }
    out.append(rest.substr(pos));
    ResultText(ctx, out);
}

// Longer texts than SQLite keeps are refused before they are built.
const long long kMaxText = 100000000;

void FnSpace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = LongArg(argv[0]);
    if (n < 0) throw Raised{5};
    if (n > kMaxText) throw Raised{7};
    ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

void FnString(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[1])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[0]);
    if (n < 0) throw Raised{5};
    if (n > kMaxText) throw Raised{7};
    std::string one;
    if (Type(argv[1]) == SQLITE_TEXT) {
        std::string_view s = RawText(argv[1]);
        if (s.empty()) throw Raised{5};
        one = std::string(s.substr(0, ByteOffset(s, 1)));
    } else {
        AppendUtf8(one, static_cast<char32_t>(LongArg(argv[1]) & 0xFF));
    }
    std::string out;
    for (long long k = 0; k < n; ++k)
        out += one;
    ResultText(ctx, out);
}

void FnStrReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw Raised{94};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    std::vector<char32_t> cps;
    for (std::size_t i = 0; i < s.size();)
        cps.push_back(DecodeUtf8(s, i));
    std::string out;
    for (auto it = cps.rbegin(); it != cps.rend(); ++it)
        AppendUtf8(out, *it);
    ResultText(ctx, out);
}

// Windows-1252 bytes 128-159, as Chr and Asc use them on an Italian system.
const char32_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                              0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                              0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};

void FnChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = LongArg(argv[0]);
    if (n < 0 || n > 255) throw Raised{5};
    std::string out;
    AppendUtf8(out, n >= 128 && n < 160 ? kCp1252[n - 128] : static_cast<char32_t>(n));
    ResultText(ctx, out);
}

void FnAsc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) throw Raised{94};
    std::string buf;
    std::string_view s = StrArg(argv[0], buf);
    if (s.empty()) throw Raised{5};
    std::size_t i = 0;
    char32_t c = DecodeUtf8(s, i);
    for (int k = 0; k < 32; ++k)
        if (kCp1252[k] == c && c > 0xFF) return sqlite3_result_int(ctx, 128 + k);
    sqlite3_result_int64(ctx, c <= 0xFF ? static_cast<sqlite3_int64>(c) : 63); // '?' outside the code page
}

void FnStrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::string b1, b2;
    std::string a(StrArg(argv[0], b1)), b(StrArg(argv[1], b2));
    if (TextCompare(argc, argv, 2)) a = Fold(a), b = Fold(b);
    int c = a.compare(b);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

template <int Base> void FnRadix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    long long n = LongArg(argv[0]);
    unsigned long long u = n >= -32768 && n < 0 ? static_cast<unsigned long long>(n & 0xFFFF)
                                                : static_cast<unsigned long long>(n & 0xFFFFFFFF);
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, u, Base);
    for (char* p = buf; p < r.ptr; ++p)
        if (*p >= 'a') *p = static_cast<char>(*p - 32);
    ResultText(ctx, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

const Scalar kText[] = {
    {"jet_left", 2, true, Call<FnLeft>},
    {"jet_right", 2, true, Call<FnRight>},
    {"jet_mid", 2, true, Call<FnMid>},
    {"jet_mid", 3, true, Call<FnMid>},
    {"jet_len", 1, true, Call<FnLen>},
    {"jet_trim", 1, true, Call<FnTrim<true, true>>},
    {"jet_ltrim", 1, true, Call<FnTrim<true, false>>},
    {"jet_rtrim", 1, true, Call<FnTrim<false, true>>},
    {"jet_ucase", 1, true, Call<FnCase<true>>},
    {"jet_lcase", 1, true, Call<FnCase<false>>},
    {"jet_instr", -1, true, Call<FnInStr>},
    {"jet_instrrev", -1, true, Call<FnInStrRev>},
    {"jet_replace", -1, true, Call<FnReplace>},
    {"jet_space", 1, true, Call<FnSpace>},
    {"jet_string", 2, true, Call<FnString>},
    {"jet_strreverse", 1, true, Call<FnStrReverse>},
    {"jet_chr", 1, true, Call<FnChr>},
    {"jet_asc", 1, true, Call<FnAsc>},
    {"jet_strcomp", -1, true, Call<FnStrComp>},
    {"jet_hex", 1, true, Call<FnRadix<16>>},
    {"jet_oct", 1, true, Call<FnRadix<8>>},
};

} // namespace

const std::span<const Scalar> kTextFunctions(kText);

} // namespace ledrana::dao::sqlfn
