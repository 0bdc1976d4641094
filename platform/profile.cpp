#include "platform/profile.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

#include <optional>
#include <vector>

namespace ledrana::platform {

namespace {

// Blanks around a line, a section or key name and a value: spaces, tabs, a stray CR, and DOS's end-of-file
// mark.
std::string_view trim(std::string_view s) {
    return TrimAny(s, " \t\r\x1a");
}

// One physical line of the file: its bytes without the line end, and the line end it had.
struct Line {
    std::string text;
    std::string eol; // "\r\n", "\n" or "" for a last line without one
};

std::vector<Line> splitLines(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t j = bytes.find('\n', i);
        if (j == std::string::npos) {
            lines.push_back({bytes.substr(i), ""});
            break;
        }
        if (j > i && bytes[j - 1] == '\r')
            lines.push_back({bytes.substr(i, j - 1 - i), "\r\n"});
        else
            lines.push_back({bytes.substr(i, j - i), "\n"});
        i = j + 1;
    }
    return lines;
}

// What a line means to the profile rules.
struct Parsed {
    enum Kind { Blank, Comment, Section, Key } kind = Blank;
    std::string name;  // section or key name (decoded, trimmed)
    std::string value; // key value (decoded, trimmed, quotes kept)
};

// How a profile file is stored. A file keeps its encoding when it is written: UTF-16 with its byte-order
// mark stays UTF-16, a file that is not valid UTF-8 is Windows-1252 (ANSI, as Windows writes it) and gets
// Windows-1252 text; anything else, and a new file, is UTF-8.
enum class Encoding { Utf8, Cp1252, Utf16Le, Utf16Be };

// The file's lines as 8-bit text: UTF-16 is turned into UTF-8, the other encodings are kept as stored.
struct Profile {
    Encoding encoding = Encoding::Utf8;
    std::string text;
};

Profile decodeProfile(const std::string& bytes) {
    Profile p;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        p.encoding = Encoding::Utf16Le;
        p.text = Utf16ToUtf8(std::string_view(bytes).substr(2), false);
    } else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
        p.encoding = Encoding::Utf16Be;
        p.text = Utf16ToUtf8(std::string_view(bytes).substr(2), true);
    } else {
        p.encoding = IsValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Cp1252;
        p.text = bytes;
    }
    return p;
}

// UTF-8 text of a line as the file stores it, and the bytes of the whole file.
std::string encodeLine(Encoding e, const std::string& utf8) {
    return e == Encoding::Cp1252 ? Utf8ToCp1252(utf8) : utf8;
}

std::string encodeProfile(Encoding e, const std::string& text) {
    if (e == Encoding::Utf16Le) return "\xFF\xFE" + Utf8ToUtf16(text, false);
    if (e == Encoding::Utf16Be) return "\xFE\xFF" + Utf8ToUtf16(text, true);
    return text;
}

std::string decodeLine(Encoding e, const std::string& raw) {
    return e == Encoding::Cp1252 ? Cp1252ToUtf8(raw) : DecodeText(raw);
}

Parsed parseLine(const std::string& raw, Encoding e) {
    std::string decoded = decodeLine(e, raw);
    std::string_view s = decoded;
    if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3); // a UTF-8 byte order mark
    s = trim(s);
    Parsed p;
    if (s.empty()) return p;
    if (s.front() == ';') {
        p.kind = Parsed::Comment;
        return p;
    }
    if (s.front() == '[') {
        std::size_t close = s.rfind(']');
        if (close != std::string_view::npos) {
            p.kind = Parsed::Section;
            p.name = std::string(trim(s.substr(1, close - 1)));
            return p;
        }
    }
    p.kind = Parsed::Key;
    std::size_t eq = s.find('=');
    if (eq == std::string_view::npos) {
        p.name = std::string(s);
    } else {
        p.name = std::string(trim(s.substr(0, eq)));
        p.value = std::string(trim(s.substr(eq + 1)));
    }
    return p;
}

std::string unquote(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// A bare file name lives in the Windows folder.
std::string profilePath(const std::string& file) {
    if (file.find_first_of("\\/:") == std::string::npos) return GetWindowsDirectory() + "\\" + file;
    return file;
}

std::optional<std::string> lookUp(const std::string& section, const std::string& key,
                                  const std::string& file) {
    Profile profile;
    try {
        profile = decodeProfile(ReadAllBytes(profilePath(file)));
    } catch (const Error&) {
        return std::nullopt;
    }
    std::string wantSection(trim(section)), wantKey(trim(key));
    bool inSection = false, seenSection = false;
    for (const Line& line : splitLines(profile.text)) {
        Parsed p = parseLine(line.text, profile.encoding);
        if (p.kind == Parsed::Section) {
            if (inSection) return std::nullopt; // only the first matching section is searched
            if (!seenSection && EqualsNoCase(p.name, wantSection)) inSection = seenSection = true;
        } else if (p.kind == Parsed::Key && inSection && EqualsNoCase(p.name, wantKey)) {
            return unquote(p.value);
        }
    }
    return std::nullopt;
}

} // namespace

int GetPrivateProfileString(const std::string& section, const std::string& key,
                            const std::string& defaultValue, std::string& out, int size,
                            const std::string& file) {
    out.clear();
    if (size <= 0) return 0;
    std::optional<std::string> value = lookUp(section, key, file);
    std::string text;
    if (value) {
        text = *value;
    } else {
        text = defaultValue;
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
    }
    auto max = static_cast<std::size_t>(size - 1);
    out = CharCount(text) > max ? LeftChars(text, max) : text;
    return static_cast<int>(CharCount(out));
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
    try {
        std::string path = profilePath(file);
        Profile profile;
        bool exists = FileExists(path);
        if (exists) {
            if (GetAttr(path) & vbReadOnly) return false;
            profile = decodeProfile(ReadAllBytes(path));
        }
        const std::string& bytes = profile.text;
        const Encoding enc = profile.encoding;
        std::vector<Line> lines = splitLines(bytes);
        std::string eol = "\r\n";
        if (exists && bytes.find('\n') != std::string::npos && bytes.find("\r\n") == std::string::npos)
            eol = "\n";

        std::string wantSection(trim(section)), wantKey(trim(key));
        std::optional<std::size_t> sectionAt, keyAt, lastEntry;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            Parsed p = parseLine(lines[i].text, enc);
            if (p.kind == Parsed::Section) {
                if (sectionAt) break;
                if (EqualsNoCase(p.name, wantSection)) sectionAt = lastEntry = i;
            } else if (sectionAt && p.kind != Parsed::Blank) {
                lastEntry = i;
                if (p.kind == Parsed::Key && !keyAt && EqualsNoCase(p.name, wantKey)) keyAt = i;
            }
        }

        // The line that the last entry of the file ends with must end before anything is appended.
        auto terminate = [&](std::size_t i) {
            if (lines[i].eol.empty()) lines[i].eol = eol;
        };
        if (keyAt) {
            std::string stored = std::string(trim(decodeLine(enc, lines[*keyAt].text)));
            std::size_t eq = stored.find('=');
            std::string name = std::string(trim(std::string_view(stored).substr(0, eq)));
            lines[*keyAt].text = encodeLine(enc, name + "=" + value);
        } else if (sectionAt) {
            terminate(*lastEntry);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastEntry) + 1,
                         Line{encodeLine(enc, key + "=" + value), eol});
        } else {
            if (!lines.empty()) terminate(lines.size() - 1);
            lines.push_back({encodeLine(enc, "[" + section + "]"), eol});
            lines.push_back({encodeLine(enc, key + "=" + value), eol});
        }

        std::string outBytes;
        for (const Line& l : lines)
            outBytes += l.text + l.eol;
        WriteAllBytes(path, encodeProfile(enc, outBytes));
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace ledrana::platform
