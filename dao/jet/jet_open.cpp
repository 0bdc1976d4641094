// Jet and ACE files met by the engine: converted in place (the original kept beside the archive) or into a
// temporary copy, refused while someone else has them open (Jet's lock files).

#include "dao/jet/jet_import.h"

#include "dao/jet/jet_file.h"
#include "dao/store/internal.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/newfile.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledrana::dao {

using namespace detail;

namespace {

// Converts the Jet file at `host` into an archive at `target` (host path) and checks the row count of every
// table in it. The partial target is removed on failure.
JetImportReport ConvertAndCheck(ArchiveEngine& engine, const std::string& host, const std::string& target,
                                const std::string& shown, const std::string& password) {
    const std::string win = platform::WindowsPath(target);
    // Left by a conversion that was cut short (its journal too: SQLite would replay it into the new file).
    for (const std::string& left : {win + "-journal", win}) {
        platform::RemoveLink(left);
        if (platform::FileExists(left)) platform::Kill(left);
    }
    JetImportReport report = [&] {
        platform::PrivateNewFiles privateUntilOwned;
        return ImportJetFile(engine, host, target, shown);
    }();
    try {
        auto db = engine.OpenDatabase(target, ";pwd=" + password);
        for (const auto& t : report.tables) {
            const std::int64_t n = db->RecordCount(t.name);
            if (n != t.rows)
                throw Error(3049, "Il database '" + shown + "' non è stato convertito: la tabella " + t.name +
                                      " ha " + std::to_string(n) + " righe invece di " +
                                      std::to_string(t.rows) + ".");
        }
        db->Close();
    } catch (...) {
        platform::Kill(win);
        throw;
    }
    return report;
}

std::string Summary(const JetImportReport& r) {
    std::int64_t rows = 0;
    for (const auto& t : r.tables)
        rows += t.rows;
    std::string s = std::to_string(r.tables.size()) + " tabelle, " + std::to_string(rows) + " righe, " +
                    std::to_string(r.queries) + " query";
    for (const auto& n : r.notes)
        s += "\n  " + n;
    for (const auto& j : r.journal)
        s +=
            "\n  tabella " + j.table + ", riga " + j.key + ", campo " + j.field + ": valore esatto " + j.text;
    return s;
}

// ---- Jet files in use elsewhere -------------------------------------------------------------------------
//
// Jet keeps beside a database opened in shared mode a lock file named after it (NAME.ldb, NAME.laccdb for
// an ACE file): 255 slots of 64 bytes, the computer name in the first 32 bytes of a slot and the user in
// the next 32. Whoever has the database open holds byte-range locks on that file and on the database; a
// share mounted from a Windows server shows the locks of its Windows clients. A lock file that nobody
// holds was left by a crash.

constexpr std::size_t kLockSlot = 64;
constexpr std::size_t kLockSlots = 255;

struct LockFile {
    std::string name;                // as it stands in the folder
    std::vector<std::string> owners; // "COMPUTER (utente USER)", once each, in the file's order
};

std::string ParentFolder(const std::string& host) {
    const auto slash = host.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
}

// The text of one NUL-padded name field of a slot.
std::string SlotText(std::string_view field) {
    field = field.substr(0, field.find('\0'));
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.remove_suffix(1);
    return ledrana::Cp1252ToUtf8(field);
}

// Jet's lock file beside the database at `host` (its name in any letter case); nullopt when there is none.
std::optional<LockFile> FindLockFile(const std::string& host) {
    const std::string folder = platform::WindowsPath(ParentFolder(host));
    std::string stem = host.substr(host.find_last_of('/') + 1);
    const auto dot = stem.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : stem.substr(dot);
    if (dot != std::string::npos) stem.resize(dot);
    const bool ace = ledrana::EqualsNoCase(extension, ".accdb") || ledrana::EqualsNoCase(extension, ".accde");
    const std::string wanted = stem + (ace ? ".laccdb" : ".ldb");
    std::vector<std::string> found;
    try {
        found = platform::ListFiles(folder, wanted);
    } catch (const Error&) {
    }
    const auto name = std::find_if(found.begin(), found.end(),
                                   [&](const std::string& n) { return ledrana::EqualsNoCase(n, wanted); });
    if (name == found.end()) return std::nullopt;
    LockFile lock;
    lock.name = *name;
    std::string bytes;
    try {
        bytes = platform::ReadFileStart(folder + "\\" + lock.name, kLockSlot * kLockSlots);
    } catch (const Error&) {
    }
    for (std::size_t at = 0; at + kLockSlot <= bytes.size(); at += kLockSlot) {
        const std::string_view slot = std::string_view(bytes).substr(at, kLockSlot);
        const std::string computer = SlotText(slot.substr(0, kLockSlot / 2));
        const std::string user = SlotText(slot.substr(kLockSlot / 2));
        if (computer.empty()) continue;
        const std::string owner = computer + (user.empty() ? "" : " (utente " + user + ")");
        if (std::find(lock.owners.begin(), lock.owners.end(), owner) == lock.owners.end())
            lock.owners.push_back(owner);
    }
    return lock;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items)
        out += (out.empty() ? "" : ", ") + i;
    return out;
}

// Refuses (3045, naming the computers of its lock file) a Jet file that someone else has open: a lock held on
// it or on its lock file. Returns what the conversion's notice says of a lock file nobody holds ("" when
// there is none).
std::string CheckNotInUse(const std::string& host, const std::string& shown) {
    const std::optional<LockFile> lock = FindLockFile(host);
    const bool held = platform::AnyLockElsewhere(host) ||
                      (lock && platform::AnyLockElsewhere(ParentFolder(host) + "/" + lock->name));
    if (held) {
        std::string text = JetErrorText(3045, shown);
        if (lock && !lock->owners.empty()) {
            // After "...in uso da un altro utente o processo": who, as the lock file tells.
            const auto end = text.find(". ", text.find(shown) + shown.size());
            text.insert(end == std::string::npos ? text.size() : end,
                        " (aperto su " + Joined(lock->owners) + ")");
        }
        throw Error(3045, text);
    }
    if (!lock) return {};
    return "il file di blocco " + lock->name + " di Jet" +
           (lock->owners.empty() ? "" : " (" + Joined(lock->owners) + ")") +
           " non è tenuto da nessuno: resta da una chiusura non regolare, non impediva la conversione ed è "
           "lasciato com'è";
}

} // namespace

namespace detail {

void RemoveJetCopies(const std::map<std::string, std::string>& copies, const std::string& folder) {
    for (const auto& [jet, copy] : copies) {
        try {
            platform::Kill(platform::WindowsPath(copy));
        } catch (const Error&) {
        }
    }
    if (!folder.empty()) {
        try {
            platform::RmDir(platform::WindowsPath(folder));
        } catch (const Error&) {
        }
    }
}

std::string OpenableArchive(ArchiveEngine& engine, const std::string& host, const std::string& shown,
                            const std::string& password, bool readOnly) {
    if (engine.IsOpen(host)) return host;
    if (!jet::LooksLikeJetFile(host)) return host;
    const std::string jetPassword = JetFilePassword(host);
    if (!jetPassword.empty() && jetPassword != password) ThrowJet(3031);
    std::map<std::string, std::string>& jetCopies = engine.JetCopies();
    if (auto it = jetCopies.find(host); it != jetCopies.end()) return it->second;
    const std::string stale = CheckNotInUse(host, shown);
    const std::string staleNote = stale.empty() ? "" : "; " + stale;

    const std::string win = platform::WindowsPath(host);
    bool inPlace = !readOnly && platform::CanReplace(host);
    if (inPlace) {
        const std::string work = host + ".conversione";
        try {
            JetImportReport report = ConvertAndCheck(engine, host, work, shown, password);
            // A computer that opened the file while it was being read would write into the original.
            try {
                CheckNotInUse(host, shown);
            } catch (const Error&) {
                platform::Kill(platform::WindowsPath(work));
                throw;
            }
            // The original keeps its bytes under a name of its own before the archive takes its place, so
            // that at every moment one of the two stands under the original name with the other beside it.
            // Both take the original's owner and mode.
            std::string keep;
            try {
                platform::TakeOwnershipFrom(win, platform::WindowsPath(work));
                keep = platform::CopyToFreeName(win, platform::WindowsPath(host + ".jet"));
                platform::ReplaceFile(platform::WindowsPath(work), win);
            } catch (...) {
                platform::Kill(platform::WindowsPath(work));
                throw;
            }
            engine.ConversionNotices().push_back("archivio " + shown +
                                                 " convertito dal formato Jet; l'originale è conservato in " +
                                                 keep + staleNote + " (" + Summary(report) + ")");
            return host;
        } catch (const Error& e) {
            // A folder we may not write into: the file is read through a temporary copy instead.
            if (e.number() != 3051 && e.number() != 70 && e.number() != 75 && e.number() != 3044) throw;
        }
    }
    std::string& jetCopyFolder = engine.JetCopyFolder();
    if (jetCopyFolder.empty()) jetCopyFolder = platform::MakeTempFolder();
    const std::string copy = jetCopyFolder + "/" + std::to_string(jetCopies.size() + 1) + ".mdb";
    JetImportReport report = ConvertAndCheck(engine, host, copy, shown, password);
    jetCopies.emplace(host, copy);
    engine.ConversionNotices().push_back(
        "archivio " + shown +
        " in formato Jet letto da una copia convertita temporanea (il file resta "
        "com'è)" +
        staleNote + " (" + Summary(report) + ")");
    return copy;
}

void CheckArchiveForChange(const std::string& host, const std::string& shown) {
    if (jet::LooksLikeJetFile(host)) CheckNotInUse(host, shown);
    if (!platform::CanReplace(host)) ThrowJet(3051, shown);
}

} // namespace detail

} // namespace ledrana::dao
