#include "app/restore_point.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

namespace ledrana {

namespace {

constexpr const char* kFirstLine = "Punto di ripristino di Tessaro\t1";
constexpr const char* kManifest = "manifesto.txt";

std::string LocalTime(std::time_t t, const char* format) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    return std::strftime(buf, sizeof buf, format, &tm) ? std::string(buf) : std::string();
}

std::string Escape(const std::string& field) {
    std::string out;
    for (char c : field) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\t':
            out += "%09";
            break;
        case '\n':
            out += "%0A";
            break;
        case '\r':
            out += "%0D";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size()) {
            const std::string hex = field.substr(i + 1, 2);
            if (hex == "25" || hex == "09" || hex == "0A" || hex == "0D") {
                out += static_cast<char>(std::stoi(hex, nullptr, 16));
                i += 2;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string MarkFields(const ArchiveMark& m) {
    if (!m.exists) return "-\t-\t-";
    return std::to_string(m.size) + "\t" + std::to_string(m.modified) + "\t" +
           (m.counter ? std::to_string(*m.counter) : "-");
}

[[noreturn]] void Malformed(std::size_t line) {
    throw Error(kErrInvalidCall,
                "il manifesto del punto di ripristino non è leggibile (riga " + std::to_string(line) + ")");
}

std::int64_t Number(const std::string& text, std::size_t line) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) Malformed(line);
    try {
        return std::stoll(text);
    } catch (const std::exception&) {
        Malformed(line);
    }
}

ArchiveMark ParseMark(const std::vector<std::string>& f, std::size_t at, std::size_t line) {
    ArchiveMark m;
    if (f[at] == "-") return m;
    m.exists = true;
    m.size = Number(f[at], line);
    m.modified = Number(f[at + 1], line);
    if (f[at + 2] != "-") {
        const std::int64_t c = Number(f[at + 2], line);
        if (c > 0xFFFFFFFFLL) Malformed(line);
        m.counter = static_cast<std::uint32_t>(c);
    }
    return m;
}

std::string Canonical(const std::string& path) {
    return platform::WindowsPath(platform::HostPath(path));
}

// What the listings leave out: the reports, the restore points, the lock.
bool LeftOut(const std::string& relative) {
    const std::string u = UCase(relative);
    for (const char* folder : {"LEDRANA\\RAPPORTI", "LEDRANA\\RIPRISTINO"})
        if (u == folder || u.rfind(std::string(folder) + "\\", 0) == 0) return true;
    return u == "LEDRANA\\UPDATE.LOCK";
}

// Removes a folder of the program's own and everything in it, whatever the files' modes.
void RemoveTree(const std::string& folder) {
    const std::vector<platform::TreeEntry> entries = platform::ListTree(folder);
    for (const platform::TreeEntry& e : entries)
        if (!e.folder) platform::RemoveOwnFile(folder + "\\" + e.path);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->folder) platform::RmDir(folder + "\\" + it->path);
    platform::RmDir(folder);
}

} // namespace

std::optional<std::uint32_t> ChangeCounter(const std::string& header) {
    if (header.size() < 28 || header.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0) return {};
    std::uint32_t n = 0;
    for (int i = 24; i < 28; ++i)
        n = (n << 8) | static_cast<unsigned char>(header[i]);
    return n;
}

ArchiveMark MarkOf(const std::string& path) {
    const platform::FileState st = platform::StateOf(path);
    ArchiveMark m;
    if (!st.exists || st.folder) return m;
    m.exists = true;
    m.size = st.size;
    m.modified = st.modified;
    try {
        m.counter = ChangeCounter(platform::ReadFileStart(path, 100));
    } catch (const Error&) {
    }
    return m;
}

std::string MarkDifferences(const ArchiveMark& before, const ArchiveMark& now) {
    if (!before.exists) return "prima non c'era";
    if (!now.exists) return "non c'è più";
    const auto number = [](const std::optional<std::uint32_t>& c) { return c ? std::to_string(*c) : "-"; };
    const auto time = [](std::int64_t ns) {
        return LocalTime(static_cast<std::time_t>(ns / 1000000000), "%d/%m/%Y %H:%M:%S");
    };
    std::vector<std::string> parts;
    if (before.counter != now.counter)
        parts.push_back("contatore delle modifiche " + number(before.counter) + " → " + number(now.counter));
    if (before.size != now.size)
        parts.push_back("dimensione " + std::to_string(before.size) + " → " + std::to_string(now.size) +
                        " byte");
    if (before.modified != now.modified)
        parts.push_back("ultima modifica " + time(before.modified) + " → " + time(now.modified));
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : ", ") + p;
    return out;
}

std::string ManifestText(const Manifest& m) {
    std::string out = std::string(kFirstLine) + "\n";
    out += std::string("tipo\t") + (m.restore ? "ripristino" : "aggiornamento") + "\n";
    out += "cartella\t" + Escape(m.dataFolder) + "\n";
    out += "aperto\t" + Escape(m.opened) + "\n";
    for (const Manifest::Archive& a : m.archives)
        out += "archivio\t" + Escape(a.path) + "\t" + Escape(a.saved) + "\t" + MarkFields(a.found) + "\n";
    for (const Manifest::File& f : m.files)
        out += "file\t" + Escape(f.path) + "\t" + Escape(f.saved) + "\n";
    for (const platform::TreeEntry& e : m.found)
        out += "trovato\t" + Escape(e.path) + (e.folder ? "\tc\n" : "\tf\n");
    for (const std::string& folder : m.outside)
        out += "fuori\t" + Escape(folder) + "\n";
    for (const platform::TreeEntry& e : m.foundOutside)
        out += "trovato-fuori\t" + Escape(e.path) + (e.folder ? "\tc\n" : "\tf\n");
    for (const Manifest::Archive& a : m.archives)
        if (a.left) out += "lasciato\t" + Escape(a.path) + "\t" + MarkFields(*a.left) + "\n";
    for (const Manifest::Created& c : m.created)
        out += (c.outside ? "creato-fuori\t" : "creato\t") + Escape(c.path) + (c.folder ? "\tc\t" : "\tf\t") +
               std::to_string(c.size) + "\t" + std::to_string(c.modified) + "\n";
    if (m.complete()) out += "chiuso\t" + Escape(m.closed) + "\n";
    return out;
}

Manifest ParseManifest(const std::string& text) {
    Manifest m;
    std::size_t line = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(start, end - start);
        start = end + 1;
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (line == 1) {
            if (raw != kFirstLine) Malformed(line);
            continue;
        }
        if (raw.empty()) continue;
        std::vector<std::string> f;
        for (std::size_t at = 0;;) {
            const std::size_t tab = raw.find('\t', at);
            f.push_back(Unescape(raw.substr(at, tab == std::string::npos ? tab : tab - at)));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        const std::string& kind = f[0];
        const auto need = [&](std::size_t n) {
            if (f.size() < n) Malformed(line);
        };
        if (kind == "tipo") {
            need(2);
            m.restore = f[1] == "ripristino";
        } else if (kind == "cartella") {
            need(2);
            m.dataFolder = f[1];
        } else if (kind == "aperto") {
            need(2);
            m.opened = f[1];
        } else if (kind == "archivio") {
            need(6);
            m.archives.push_back({f[1], f[2], ParseMark(f, 3, line), std::nullopt});
        } else if (kind == "file") {
            need(3);
            m.files.push_back({f[1], f[2]});
        } else if (kind == "trovato" || kind == "trovato-fuori") {
            need(3);
            (kind == "trovato" ? m.found : m.foundOutside).push_back({f[1], f[2] == "c"});
        } else if (kind == "fuori") {
            need(2);
            m.outside.push_back(f[1]);
        } else if (kind == "lasciato") {
            need(5);
            for (Manifest::Archive& a : m.archives)
                if (a.path == f[1]) a.left = ParseMark(f, 2, line);
        } else if (kind == "creato" || kind == "creato-fuori") {
            need(5);
            m.created.push_back(
                {f[1], f[2] == "c", Number(f[3], line), Number(f[4], line), kind == "creato-fuori"});
        } else if (kind == "chiuso") {
            need(2);
            m.closed = f[1];
        }
    }
    if (line == 0) Malformed(1);
    return m;
}

std::vector<platform::TreeEntry> DataFolderListing(const std::string& dataFolder) {
    std::vector<platform::TreeEntry> out;
    for (platform::TreeEntry& e : platform::ListTree(dataFolder))
        if (!LeftOut(e.path)) out.push_back(std::move(e));
    return out;
}

std::vector<platform::TreeEntry> OutsideListing(const std::vector<std::string>& folders) {
    std::vector<platform::TreeEntry> out;
    for (const std::string& folder : folders) {
        if (!platform::FolderExists(folder)) continue;
        out.push_back({folder, true});
        for (const std::string& name : platform::ListFiles(folder, "*.*"))
            out.push_back({folder + "\\" + name, false});
    }
    return out;
}

RestorePoint::RestorePoint(const std::string& dataFolder, ReportClock::time_point when, bool restore)
    : data_(Canonical(dataFolder)) {
    const std::string base = data_ + "\\LEDRANA\\ripristino";
    if (!platform::FolderExists(base)) platform::MkDirLike(base, data_);
    const std::string stamp = LocalTime(ReportClock::to_time_t(when), "%Y%m%d-%H%M%S");
    for (int n = 1;; ++n) {
        name_ = n == 1 ? stamp : stamp + "-" + std::to_string(n);
        const std::string folder = base + "\\" + name_;
        if (platform::NameTaken(folder)) continue;
        try {
            platform::MkDirLike(folder, data_);
        } catch (const Error& e) {
            if (e.number() != kErrPathFileAccess || n > 99) throw;
            continue;
        }
        folder_ = Canonical(folder);
        break;
    }
    m_.restore = restore;
    m_.dataFolder = data_;
    m_.opened = stamp;
    try {
        m_.found = DataFolderListing(data_);
        Flush();
    } catch (const Error&) {
        try {
            RemoveTree(folder_);
        } catch (const Error&) {
        }
        throw;
    }
}

bool RestorePoint::Inside(const std::string& path) const {
    const std::string host = platform::HostPath(path);
    const std::string dataHost = platform::HostPath(data_);
    return host == dataHost || host.rfind(dataHost + "/", 0) == 0;
}

std::string RestorePoint::Saved(const std::string& path) {
    const std::string host = platform::HostPath(path);
    const std::string dataHost = platform::HostPath(data_);
    std::string saved;
    if (Inside(path)) {
        saved = host.substr(dataHost.size() + 1);
        std::replace(saved.begin(), saved.end(), '/', '\\');
    } else {
        saved = "altrove\\" + std::to_string(++elsewhere_) + "\\" + host.substr(host.rfind('/') + 1);
    }
    // The folders on the way, as the data folder's.
    for (std::size_t at = saved.find('\\'); at != std::string::npos; at = saved.find('\\', at + 1)) {
        const std::string folder = folder_ + "\\" + saved.substr(0, at);
        if (!platform::FolderExists(folder)) platform::MkDirLike(folder, data_);
    }
    return saved;
}

void RestorePoint::KeepArchive(const std::string& path) {
    const std::string canonical = Canonical(path);
    for (const Manifest::Archive& a : m_.archives)
        if (a.path == canonical) return;
    const std::string saved = Saved(canonical);
    const ArchiveMark found = MarkOf(canonical);
    platform::LinkOrCopyToNewFile(canonical, folder_ + "\\" + saved);
    m_.archives.push_back({canonical, saved, found, std::nullopt});
}

void RestorePoint::KeepFile(const std::string& path) {
    const std::string canonical = Canonical(path);
    for (const Manifest::File& f : m_.files)
        if (f.path == canonical) return;
    const std::string saved = Saved(canonical);
    platform::CopyToNewFile(canonical, folder_ + "\\" + saved);
    m_.files.push_back({canonical, saved});
}

void RestorePoint::Watch(const std::string& folder) {
    std::string canonical;
    try {
        canonical = Canonical(folder);
    } catch (const Error&) {
        return; // a path that names no folder of this machine: nothing can be written there
    }
    if (Inside(canonical) || std::find(m_.outside.begin(), m_.outside.end(), canonical) != m_.outside.end())
        return;
    std::vector<platform::TreeEntry> listing = OutsideListing({canonical});
    m_.outside.push_back(canonical);
    m_.foundOutside.insert(m_.foundOutside.end(), listing.begin(), listing.end());
}

void RestorePoint::MoveIn(const std::string& path) {
    const std::string canonical = Canonical(path);
    const std::string saved = Saved(canonical);
    platform::RenameFile(canonical, folder_ + "\\" + saved);
    m_.files.push_back({canonical, saved});
}

void RestorePoint::Flush() {
    const std::string manifest = folder_ + "\\" + kManifest;
    const std::string text = ManifestText(m_);
    if (!platform::NameTaken(manifest)) {
        platform::WriteNewFile(manifest, text);
        return;
    }
    const std::string scratch = manifest + ".nuovo";
    platform::RemoveOwnFile(scratch);
    platform::WriteNewFile(scratch, text);
    platform::ReplaceFile(scratch, manifest);
}

std::vector<std::string> RestorePoint::Complete() {
    std::vector<std::string> failures;
    for (Manifest::Archive& a : m_.archives) {
        a.left = MarkOf(a.path);
        const std::string saved = folder_ + "\\" + a.saved;
        const platform::FileState now = platform::StateOf(a.path), kept = platform::StateOf(saved);
        if (!now.exists || !kept.exists || now.device != kept.device || now.inode != kept.inode) continue;
        try {
            platform::ReplaceWithNewCopy(saved, saved, saved + ".copia");
        } catch (const Error& e) {
            failures.push_back("Il punto di ripristino " + folder_ + " tiene " + a.path +
                               " come un secondo nome del suo file, non come una copia (" +
                               std::to_string(e.number()) + " " + e.description() +
                               "): ciò che vi si scrive dopo l'aggiornamento cambia anche il punto.");
        }
    }
    std::set<std::string> found;
    for (const platform::TreeEntry& e : m_.found)
        found.insert(e.path);
    m_.created.clear();
    for (const platform::TreeEntry& e : DataFolderListing(data_)) {
        if (found.count(e.path)) continue;
        const platform::FileState st = platform::StateOf(data_ + "\\" + e.path);
        m_.created.push_back({e.path, e.folder, st.size, st.modified, false});
    }
    std::set<std::string> foundOutside;
    for (const platform::TreeEntry& e : m_.foundOutside)
        foundOutside.insert(e.path);
    for (const std::string& folder : m_.outside) {
        try {
            for (const platform::TreeEntry& e : OutsideListing({folder})) {
                if (foundOutside.count(e.path)) continue;
                const platform::FileState st = platform::StateOf(e.path);
                m_.created.push_back({e.path, e.folder, st.size, st.modified, true});
            }
        } catch (const Error& e) {
            failures.push_back("Il punto di ripristino " + folder_ +
                               " non sa che cosa l'aggiornamento ha aggiunto in " + folder + " (" +
                               std::to_string(e.number()) + " " + e.description() +
                               "): un ripristino lo lascia dov'è.");
        }
    }
    m_.closed = LocalTime(ReportClock::to_time_t(ReportClock::now()), "%Y%m%d-%H%M%S");
    Flush();
    return failures;
}

std::vector<RestorePointEntry> RestorePoints(const std::string& dataFolder) {
    std::vector<RestorePointEntry> out;
    const std::string base = dataFolder + "\\LEDRANA\\ripristino";
    if (!platform::FolderExists(base)) return out;
    for (const std::string& name : platform::ListFolders(base)) {
        RestorePointEntry e{name, Canonical(base + "\\" + name), std::nullopt};
        try {
            e.manifest = ParseManifest(platform::ReadAllBytes(e.folder + "\\" + kManifest));
        } catch (const Error&) {
        }
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<std::string> PruneRestorePoints(const std::string& dataFolder, int keep) {
    std::vector<RestorePointEntry> runs;
    for (RestorePointEntry& e : RestorePoints(dataFolder))
        if (!e.manifest || !e.manifest->restore) runs.push_back(std::move(e));
    std::vector<std::string> failures;
    for (std::size_t i = 0; i + static_cast<std::size_t>(std::max(keep, 1)) < runs.size(); ++i) {
        try {
            RemoveTree(runs[i].folder);
        } catch (const Error& e) {
            failures.push_back("Il punto di ripristino " + runs[i].folder + " non si è potuto eliminare (" +
                               std::to_string(e.number()) + " " + e.description() + ").");
        }
    }
    return failures;
}

} // namespace ledrana
