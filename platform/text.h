#pragma once
// Text helpers for the one string type of the core, UTF-8 std::string. Case rules follow what VB's
// UCase and Windows' case-insensitive comparisons do on an Italian (Windows-1252) system: ASCII letters,
// the accented Latin-1 letters and the few Windows-1252 extras (Š, Œ, Ž, Ÿ) change case; nothing else.

#include <string>
#include <string_view>

namespace ledrana {

// VB's UCase / LCase on UTF-8 text. Bytes that are not valid UTF-8 are kept as they are.
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);

// True when a and b are equal without regard to case (by the rule above).
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when s is entirely valid UTF-8.
bool IsValidUtf8(std::string_view s);

// s with each byte that does not begin a well-formed UTF-8 sequence (by IsValidUtf8's rule) replaced by
// U+FFFD: text from another program made fit for a page or a JSON document.
std::string ValidUtf8(std::string_view s);

// Converts Windows-1252 bytes to UTF-8 (the 5 bytes Windows-1252 leaves undefined map to U+0081 etc.).
std::string Cp1252ToUtf8(std::string_view s);

// UTF-8 text as Windows-1252 bytes; a character that Windows-1252 lacks becomes '?', and bytes that are
// not valid UTF-8 are kept as they are.
std::string Utf8ToCp1252(std::string_view s);

// UTF-16 bytes (without their byte-order mark) to UTF-8, and back. A lone surrogate reads as U+FFFD; an
// odd last byte is dropped. Utf8ToUtf16 reads bytes that are not valid UTF-8 as Windows-1252.
std::string Utf16ToUtf8(std::string_view s, bool bigEndian);
std::string Utf8ToUtf16(std::string_view s, bool bigEndian);

// s when it is valid UTF-8, otherwise s read as Windows-1252 and converted to UTF-8.
std::string DecodeText(std::string_view s);

// Number of characters (code points) in UTF-8 text; an invalid byte counts as one character.
std::size_t CharCount(std::string_view s);

// Appends one code point to a UTF-8 text.
void AppendUtf8(std::string& out, char32_t cp);

// The first n characters of UTF-8 text (VB's Left$ on characters, not bytes).
std::string LeftChars(std::string_view s, std::size_t n);

// The shortest decimal text that reads back as exactly this double (or float), with a decimal point.
std::string ShortestText(double d);
std::string ShortestText(float f);

// s without the characters of `chars` at either end.
std::string_view TrimAny(std::string_view s, std::string_view chars);

// s between two `quote` characters, each one inside it doubled (how SQL and CSV quote).
std::string QuoteWith(std::string_view s, char quote);

// s as a JSON string, quotes included: '"', '\\' and control characters escaped, other bytes as they are.
std::string JsonString(std::string_view s);

} // namespace ledrana
