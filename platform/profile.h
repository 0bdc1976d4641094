#pragma once
// Profile (INI) files, with the rules of Windows' GetPrivateProfileString / WritePrivateProfileString.
//
// Reading:
//   - Section and key are matched without regard to case; surrounding blanks of the requested names are
//     ignored. The first matching section is the only one searched; in it the first matching key wins.
//   - Every line is trimmed of surrounding blanks (space, tab, CR, ^Z). A line whose first character is
//     ';' is a comment. "[name]" opens a section (name up to the last ']'); a key line is "key=value",
//     key and value trimmed; a line without '=' is a key with an empty value. A value enclosed in one pair
//     of matching quotes (' or ") loses them. An inline ';' is part of the value.
//   - A file that begins with a UTF-16 byte-order mark (either byte order) is UTF-16. Any other file is
//     UTF-8 when all of it is valid UTF-8, otherwise Windows-1252 (as Windows writes ANSI files), so
//     files written on Windows keep their accents. Sizes and truncation count characters.
// Writing:
//   - Creates the file, the section (appended at the end of the file) and the key (after the last
//     non-blank line of its section); an existing key is rewritten in place as "key=value" with the key's
//     spelling in the file. Every other line is kept byte for byte. New lines end with CR LF when the file
//     has CR LF (or is new), with LF when the file uses LF. The value is written exactly as given.
//   - The file keeps its encoding: UTF-16 is written back as UTF-16 with its byte-order mark, a
//     Windows-1252 file gets the new text in Windows-1252 (a character it lacks becomes '?'), a UTF-8 or
//     new file gets UTF-8.
//   - The file is replaced as WriteAllBytes does (platform/files.h): never half-written, with its mode,
//     owner and group kept, through a symbolic link to its target.
// A bare file name (no drive, no separator) names a file in the Windows folder, as on Windows.

#include <string>

namespace ledrana::platform {

// GetPrivateProfileString(section, key, default, buffer, size, file). Puts into `out` the value (or
// `defaultValue` with its trailing blanks removed when the file, the section or the key is missing),
// cut to size - 1 characters, and returns its length in characters. size 0 gives "" and 0.
// Never throws: a file that cannot be resolved or read counts as missing. Creates nothing.
int GetPrivateProfileString(const std::string& section, const std::string& key,
                            const std::string& defaultValue, std::string& out, int size,
                            const std::string& file);

// WritePrivateProfileString(section, key, value, file). True when written; false, with nothing changed,
// when it cannot be done (malformed path, missing folder, read-only file, a folder of that name, a host
// refusal). Never throws.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file);

} // namespace ledrana::platform
