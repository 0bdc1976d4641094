#include "platform/paths.h"

#include "platform/host_state.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace ledrana::platform {

namespace detail {
HostState& State() {
    static HostState state;
    return state;
}
} // namespace detail

namespace {

struct WinPath {
    char drive = 0;                 // upper-case letter; 0 for a share
    std::string server, share;      // a share (\\server\share) as written
    std::vector<std::string> parts; // components after the root, "." and ".." applied
};

bool badNameChar(unsigned char c) {
    return c < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' || c == ':';
}

// Splits text after the root into components, applying "." and "..".
void appendParts(std::vector<std::string>& parts, const std::string& rest, bool checkNames) {
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = rest.find('\\', i);
        if (j == std::string::npos) j = rest.size();
        std::string part = rest.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        if (checkNames)
            for (char c : part)
                if (badNameChar(static_cast<unsigned char>(c))) throw VbError(kErrBadFileName);
        parts.push_back(std::move(part));
    }
}

std::string slashesToBackslashes(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

WinPath parse(const std::string& windowsPath);

WinPath currentFolder() {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (ec) cwd = "/";
    return parse(WindowsPath(cwd.string()));
}

bool isUnc(const std::string& s) {
    return s.size() >= 2 && s[0] == '\\' && s[1] == '\\';
}

// Splits "\\server\share\rest" (backslashes only) into its server, its share and the rest. A name without a
// share names no folder: 76.
void splitUnc(const std::string& s, std::string& server, std::string& share, std::string& rest,
              bool checkNames) {
    const std::size_t a = s.find('\\', 2);
    const std::size_t b = a == std::string::npos ? a : s.find('\\', a + 1);
    server = s.substr(2, a == std::string::npos ? a : a - 2);
    share = a == std::string::npos ? "" : s.substr(a + 1, b == std::string::npos ? b : b - a - 1);
    rest = b == std::string::npos ? "" : s.substr(b);
    if (server.empty() || share.empty() || server == "." || server == ".." || share == "." || share == "..")
        throw VbError(kErrPathNotFound);
    if (checkNames)
        for (const std::string* name : {&server, &share})
            for (char c : *name)
                if (badNameChar(static_cast<unsigned char>(c))) throw VbError(kErrBadFileName);
}

WinPath parse(const std::string& windowsPath) {
    if (windowsPath.empty()) throw VbError(kErrBadFileName);
    std::string s = slashesToBackslashes(windowsPath);
    WinPath out;
    if (isUnc(s)) {
        std::string rest;
        splitUnc(s, out.server, out.share, rest, true);
        appendParts(out.parts, rest, true);
        return out;
    }
    if (s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':') {
        out.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
        appendParts(out.parts, s.substr(2), true);
    } else if (s[0] == '\\') {
        WinPath cur = currentFolder();
        out.drive = cur.drive;
        out.server = cur.server;
        out.share = cur.share;
        appendParts(out.parts, s, true);
    } else {
        out = currentFolder();
        appendParts(out.parts, s, true);
    }
    return out;
}

fs::path driveRoot(char drive) {
    fs::path prefix = Prefix();
    if (drive == 'C') {
        MakeSkeleton();
        return prefix / "drive_c";
    }
    if (drive == 'Z') return "/";
    std::string device(1, static_cast<char>(std::tolower(static_cast<unsigned char>(drive))));
    device += ':';
    fs::path link = prefix / "dosdevices" / device;
    std::error_code ec;
    if (fs::is_directory(link, ec)) return link;
    throw VbError(kErrPathNotFound);
}

std::string findNoCase(const fs::path& folder, const std::string& name);

// The folder where \\server\share is mounted: <prefix>/unc/server/share, names matched without regard to
// case. A share that is not mounted there is unknown, like a missing drive (76).
fs::path shareRoot(const std::string& server, const std::string& share) {
    MakeSkeleton();
    fs::path cur = fs::path(Prefix()) / "unc";
    for (const std::string* name : {&server, &share}) {
        std::error_code ec;
        if (fs::is_directory(cur / *name, ec)) {
            cur /= *name;
            continue;
        }
        const std::string found = findNoCase(cur, *name);
        if (found.empty() || !fs::is_directory(cur / found, ec)) throw VbError(kErrPathNotFound);
        cur /= found;
    }
    return cur;
}

// A folder's entries by their name in upper case, each the first in byte order of its case variants, as
// they stood when the folder was listed, with what identifies that state of the folder. Every name added,
// removed or renamed in a folder sets its modification time, so a folder whose identity and times are those
// of its listing still has those entries: unless it was changed within the same tick of the clock as the
// listing was taken. A listing is therefore kept only when the folder had been left alone for a while.
struct Listing {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{}, changed{};
    std::unordered_map<std::string, std::string> firstByUpper;
};

constexpr std::int64_t kSettledNs = 2'000'000'000; // a folder unchanged this long is listed once
constexpr std::size_t kListingsKept = 256;

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool SameState(const Listing& l, const struct stat& st) {
    return l.device == st.st_dev && l.inode == st.st_ino &&
           Nanoseconds(l.modified) == Nanoseconds(st.st_mtim) &&
           Nanoseconds(l.changed) == Nanoseconds(st.st_ctim);
}

// The entry of `folder` equal to `name` without regard to case; "" when there is none. The folders on the
// way to every archive are looked up again and again: a folder left alone since its last listing is not
// listed again.
std::string findNoCase(const fs::path& folder, const std::string& name) {
    // Each thread its own: no lock, which a child forked while another thread held it could never take.
    thread_local std::unordered_map<std::string, Listing> listings;
    struct stat st {};
    const std::string key = folder.string();
    const bool known = ::stat(key.c_str(), &st) == 0;
    const auto firstOf = [&](const Listing& l) {
        const auto entry = l.firstByUpper.find(UCase(name));
        return entry == l.firstByUpper.end() ? std::string() : entry->second;
    };
    if (known) {
        if (const auto it = listings.find(key); it != listings.end()) {
            if (SameState(it->second, st)) return firstOf(it->second);
            listings.erase(it);
        }
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    Listing listing;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        std::string& first = listing.firstByUpper[UCase(entry)];
        if (first.empty() || entry < first) first = std::move(entry);
    }
    std::string best = firstOf(listing);
    if (known && !ec && Nanoseconds(now) - Nanoseconds(st.st_mtim) >= kSettledNs) {
        struct stat after {};
        listing.device = st.st_dev;
        listing.inode = st.st_ino;
        listing.modified = st.st_mtim;
        listing.changed = st.st_ctim;
        // Kept only when the folder did not change while it was listed.
        if (::stat(key.c_str(), &after) == 0 && SameState(listing, after)) {
            if (listings.size() >= kListingsKept) listings.clear();
            listings.insert_or_assign(key, std::move(listing));
        }
    }
    return best;
}

bool isUnder(const fs::path& p, const fs::path& base, fs::path& rel) {
    auto pi = p.begin();
    for (auto bi = base.begin(); bi != base.end(); ++bi, ++pi) {
        if (bi->empty()) continue; // trailing separator of base
        if (pi == p.end() || *pi != *bi) return false;
    }
    rel.clear();
    for (; pi != p.end(); ++pi)
        if (!pi->empty()) rel /= *pi;
    return true;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

} // namespace

std::string DefaultPrefix() {
    const char* env = std::getenv("TESSARO_PREFIX");
    if (env && *env) return env;
    return (fs::path(homeFolder()) / ".tessaro").string();
}

std::string Prefix() {
    auto& state = detail::State();
    if (!state.prefix) SetPrefix(DefaultPrefix());
    return *state.prefix;
}

void SetPrefix(const std::string& hostFolder) {
    ExaminePrefix(hostFolder);
    detail::State().skeletonPending = true;
}

void ExaminePrefix(const std::string& hostFolder) {
    std::error_code ec;
    fs::path p = fs::absolute(hostFolder, ec).lexically_normal();
    if (ec) p = fs::path(hostFolder).lexically_normal();
    std::string text = p.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    detail::State().prefix = text;
    detail::State().skeletonPending = false;
}

void MakeSkeleton() {
    auto& state = detail::State();
    if (!state.skeletonPending || !state.prefix) return;
    state.skeletonPending = false;
    // The skeleton of a fresh machine; an existing one is left as it is.
    std::error_code ec;
    const fs::path windows = fs::path(*state.prefix) / "drive_c" / "WINDOWS";
    fs::create_directories(windows / "Start Menu" / "Programs", ec);
    fs::create_directories(windows / "Desktop", ec);
}

ScopedPrefix::ScopedPrefix(const std::string& hostFolder) {
    auto& state = detail::State();
    previous_ = state.prefix.value_or("");
    previousPending_ = state.skeletonPending;
    SetPrefix(hostFolder);
}

ScopedPrefix::~ScopedPrefix() {
    auto& state = detail::State();
    if (previous_.empty())
        state.prefix.reset();
    else
        state.prefix = previous_;
    state.skeletonPending = previousPending_;
}

std::string HostPath(const std::string& windowsPath) {
    WinPath w = parse(windowsPath);
    fs::path cur = w.drive ? driveRoot(w.drive) : shareRoot(w.server, w.share);
    bool lookUp = true;
    for (const std::string& part : w.parts) {
        if (lookUp) {
            // Every spelling of a name must reach the same entry, so an exact match is not preferred to
            // the first case variant (findNoCase); a name without letters has no variants.
            std::error_code ec;
            const bool caseless = std::none_of(part.begin(), part.end(), [](char c) {
                return std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
            });
            if (caseless && fs::exists(fs::symlink_status(cur / part, ec))) {
                cur /= part;
                continue;
            }
            std::string found = findNoCase(cur, part);
            if (!found.empty()) {
                cur /= found;
                continue;
            }
            lookUp = false; // nothing below a missing component can exist
        }
        cur /= part;
    }
    return cur.string();
}

std::string WindowsPath(const std::string& hostPath) {
    std::error_code ec;
    fs::path p = fs::absolute(hostPath.empty() ? "." : hostPath, ec).lexically_normal();
    fs::path driveC = (fs::path(Prefix()) / "drive_c").lexically_normal();
    fs::path unc = (fs::path(Prefix()) / "unc").lexically_normal();
    // Below <prefix>/unc, a server's share and what it holds: \\server\share\...
    auto share = [](const fs::path& rel, std::string& out) {
        if (std::distance(rel.begin(), rel.end()) < 2) return false;
        out = "\\\\" + rel.string();
        return true;
    };
    fs::path rel;
    std::string out;
    if (isUnder(p, driveC, rel)) {
        out = "C:\\" + rel.string();
    } else if (isUnder(p, unc, rel) && share(rel, out)) {
    } else {
        fs::path canonP = fs::weakly_canonical(p, ec);
        fs::path canonC = fs::weakly_canonical(driveC, ec);
        fs::path canonU = fs::weakly_canonical(unc, ec);
        if (!ec && isUnder(canonP, canonC, rel))
            out = "C:\\" + rel.string();
        else if (!ec && isUnder(canonP, canonU, rel) && share(rel, out)) {
        } else
            out = "Z:" + p.string();
    }
    out = slashesToBackslashes(out);
    while (out.size() > 3 && out.back() == '\\')
        out.pop_back();
    return out;
}

std::string NormalizeWindowsPath(const std::string& windowsPath) {
    std::string s = slashesToBackslashes(windowsPath);
    std::string head;
    if (isUnc(s)) {
        // ".." stops at the share, as it stops at a drive's root.
        std::string server, share, rest;
        try {
            splitUnc(s, server, share, rest, false);
        } catch (const Error&) {
            return s;
        }
        head = "\\\\" + server + "\\" + share;
        s = rest;
    } else if (s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':') {
        head = s.substr(0, 2);
        s = s.substr(2);
    }
    bool rooted = !s.empty() && s[0] == '\\';
    std::vector<std::string> parts;
    appendParts(parts, s, false);
    std::string out = head;
    if (rooted && !(isUnc(head) && parts.empty())) out += '\\';
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '\\';
        out += parts[i];
    }
    return out;
}

} // namespace ledrana::platform
