#pragma once
// Programs of the build run as a user runs them: a shell command line with a prefix as the machine.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace ledrana::testing {

// `s` as one word of a POSIX shell command line.
inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CommandResult {
    int status = -1;    // the exit status; -1 when the command did not end normally
    std::string output; // standard output and standard error, together
};

// Runs `command` with TESSARO_PREFIX set to `prefix`.
inline CommandResult RunWithPrefix(const std::string& command, const std::filesystem::path& prefix) {
    CommandResult r;
    const std::string line = "TESSARO_PREFIX=" + ShellQuote(prefix.string()) + " " + command + " 2>&1";
    FILE* p = popen(line.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        r.output.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

} // namespace ledrana::testing
