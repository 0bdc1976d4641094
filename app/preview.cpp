#include "app/preview.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

namespace ledrana {

namespace {

// Host paths of the scratch machine are handed to the platform with their Windows spelling (a Z: path
// while the real machine is the prefix).
std::string W(const std::string& host) {
    return platform::WindowsPath(host);
}

void MakeFolders(const std::string& host) {
    for (std::size_t at = host.find('/', 1);; at = host.find('/', at + 1)) {
        const std::string sofar = host.substr(0, at);
        if (!platform::FolderExists(W(sofar))) platform::MkDir(W(sofar));
        if (at == std::string::npos) break;
    }
}

void CopyOne(const std::string& from, const std::string& toHost) {
    platform::FileCopy(from, W(toHost));
    if (platform::GetAttr(from) & platform::vbReadOnly) platform::SetAttr(W(toHost), platform::vbReadOnly);
}

std::string Why(const Error& e) {
    const bool inUse = e.number() == 3045 || e.number() == 3356 || e.number() == 3211 || e.number() == 3008;
    return (inUse ? "è in uso da un altro programma (" : "non si può leggere (") +
           std::to_string(e.number()) + " " + e.description() + ")";
}

// Copies an archive while no other program can be writing it; an archive that cannot be had or read is
// left out, and the report says which and why. What a program that stopped while it wrote the archive left
// beside it (its journal, its write-ahead log) goes with it, as it is: the preview's run settles it on the
// copy, and the archive itself is not written.
void CopyArchive(dao::DBEngine& engine, RunReport& report, const std::string& from,
                 const std::string& toHost) {
    try {
        dao::FileReservation hold = engine.Reserve(from, {.settle = false});
        CopyOne(from, toHost);
        // A link there is no program's leftover: the run removes it unfollowed, and so it is not copied.
        for (const char* leftover : {"-journal", "-wal"})
            if (platform::FileExists(from + leftover) && platform::LinkTarget(from + leftover).empty())
                CopyOne(from + leftover, toHost + leftover);
    } catch (const Error& e) {
        report.Note(from, "Anteprima: l'archivio " + from + " non è stato copiato perché " + Why(e) +
                              "; l'anteprima lo ha trovato mancante.");
    }
}

// An archive named in a company INI: as the company update resolves it.
std::string ArchivePath(const std::string& value, const std::string& companyFolder) {
    return value.find('\\') == std::string::npos ? companyFolder + "\\" + value : value;
}

std::string Company(const std::string& file) {
    const auto pos = UCase(file).find(".INI");
    return pos == std::string::npos ? file : file.substr(0, pos);
}

std::string ReadIni(const std::string& section, const std::string& key, const std::string& file) {
    std::string value;
    const int n = platform::GetPrivateProfileString(section, key, "", value, 100, file);
    return LeftChars(value, static_cast<std::size_t>(n));
}

bool Under(const std::string& host, const std::string& root) {
    return host == root || host.rfind(root + "/", 0) == 0;
}

std::string Megabytes(std::int64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20);
}

// An archive a company INI puts outside the data folder.
struct Outside {
    std::string ini, key, archive;
};

} // namespace

Preview::Preview(std::string realPrefix) : real_(std::move(realPrefix)) {}

Preview::~Preview() {
    box_.reset();
    if (!scratch_.empty()) platform::RemoveTempFolder(scratch_);
    // The lock goes last: the installation is the preview's until its copies are gone.
}

Preview::Place Preview::Mirror(const std::string& realWindowsPath) {
    const std::string host = platform::HostPath(realWindowsPath);
    for (const char* same : {"/drive_c/", "/unc/"})
        if (host.rfind(real_ + same, 0) == 0)
            return {scratchPrefix_ + host.substr(real_.size()), realWindowsPath};
    // Another drive: under C:\ANTEPRIMA-<letter>, the rest of the path as it is.
    const std::string path = platform::NormalizeWindowsPath(realWindowsPath);
    const std::string letter(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    const std::string alias = std::string("C:\\ANTEPRIMA-") + letter;
    if (std::find(aliases_.begin(), aliases_.end(), letter) == aliases_.end()) aliases_.push_back(letter);
    std::string rest = path.substr(2);
    const std::string windows = alias + rest;
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return {scratchPrefix_ + "/drive_c/ANTEPRIMA-" + letter + rest, windows};
}

void Preview::PlanTree(const std::string& from, const std::vector<std::string>& skip,
                       const std::vector<std::string>& copiedRoots, const std::vector<std::string>& archives,
                       RunReport& report, std::vector<Copy>& plan) {
    if (!platform::FolderExists(from)) return;
    plan.push_back({Copy::Kind::Folder, from, Mirror(from).host, ""});
    for (const platform::TreeEntry& e : platform::ListTree(from)) {
        const std::string upper = UCase(e.path);
        const bool skipped = std::any_of(skip.begin(), skip.end(), [&](const std::string& s) {
            return upper == s || upper.rfind(s + "\\", 0) == 0;
        });
        if (skipped) continue;
        const std::string path = from + "\\" + e.path;
        const std::string to = Mirror(path).host;
        if (e.folder) {
            plan.push_back({Copy::Kind::Folder, path, to, ""});
        } else if (!e.link) {
            if (!platform::FileExists(path)) continue; // a pipe, a device: nothing of the installation
            const bool archive = std::count(archives.begin(), archives.end(), platform::HostPath(path)) > 0;
            plan.push_back({archive ? Copy::Kind::Archive : Copy::Kind::File, path, to, ""});
        } else {
            // Never followed into a folder: a link leads to the copy of what it leads to.
            const std::string target = platform::LinkTarget(path);
            const bool copied = std::any_of(copiedRoots.begin(), copiedRoots.end(),
                                            [&](const std::string& root) { return Under(target, root); });
            const std::string targetWindows = platform::WindowsPath(target);
            if (!copied && platform::FileExists(targetWindows)) {
                plan.push_back({Copy::Kind::File, path, to, ""});
                continue;
            }
            plan.push_back({Copy::Kind::Link, path, to, Mirror(targetWindows).host});
            if (!copied && !Under(target, real_))
                report.Note(path, "Anteprima: il collegamento " + path + " porta a " + targetWindows +
                                      ", fuori dalla macchina: l'anteprima non lo ha seguito e lo ha trovato "
                                      "vuoto.");
        }
    }
}

void Preview::Prepare(dao::DBEngine& engine, RunReport& report) {
    // The real machine is only looked at: not even its skeleton is made.
    platform::ExaminePrefix(real_);
    real_ = platform::Prefix();
    report.preview = true;

    // The data folder, as the run will find it; a new installation has none yet.
    const std::string windows = "C:\\WINDOWS";
    const std::string dirTxt = windows + "\\dir.txt";
    std::string data = "C:\\ZU";
    const bool installed = platform::FileExists(dirTxt);
    if (installed) data = platform::ReadFirstLine(dirTxt);
    const bool hasData = installed && platform::FolderExists(data);
    const std::string companies = data + "\\ledrana";
    const bool hasCompanies = hasData && platform::FolderExists(companies);

    // No update, preview or restore beside this one, from before the first copy to the end.
    if (hasCompanies) {
        try {
            lock_ = platform::RunLock::Take(companies + "\\update.lock", "anteprima", true);
        } catch (const Error& e) {
            throw Error(e.number(), "Impossibile bloccare la cartella dati " + data + " (" + e.description() +
                                        "): un aggiornamento potrebbe cambiarla durante l'anteprima.");
        }
        if (lock_.state() == platform::RunLock::State::Held)
            throw platform::FolderHeld(
                platform::HeldSentence(data, lock_.holder()) +
                    ".\nL'anteprima termina senza fare nulla: riavviarla quando l'altro "
                    "sarà terminato.",
                lock_.holder());
    }
    platform::RemoveAbandonedTempFolders();
    scratch_ = platform::MakeTempFolder();
    scratchPrefix_ = scratch_ + "/prefix";
    const std::string dataHost = hasData ? platform::HostPath(data) : "";

    // The companies' archives, wherever their INI files put them.
    std::vector<std::string> archives;
    std::vector<Outside> outside;
    if (hasCompanies) {
        for (const std::string& file : platform::ListFiles(companies, "*.ini")) {
            const std::string ini = companies + "\\" + file;
            for (const char* key : {"Ledrana", "Scadenzario"}) {
                const std::string archive =
                    ArchivePath(ReadIni("Archivi", key, ini), data + "\\" + Company(file));
                try {
                    const std::string host = platform::HostPath(archive);
                    archives.push_back(host);
                    if (!Under(host, dataHost)) outside.push_back({ini, key, archive});
                } catch (const Error&) {
                    // an unknown drive: the run will not find the archive either
                }
            }
        }
    }

    // What is copied: the Windows folder (dir.txt and the shortcuts the run removes; not its TEMP), the data
    // folder but its restore points (the run makes its own in the copy, which goes with it), and the
    // archives outside it with the files beside them that carry their name.
    std::vector<std::string> copiedRoots{platform::HostPath(windows)};
    if (hasData) copiedRoots.push_back(dataHost);
    std::vector<Copy> plan;
    PlanTree(windows, {"TEMP"}, copiedRoots, archives, report, plan);
    if (hasData) PlanTree(data, {"LEDRANA\\RIPRISTINO"}, copiedRoots, archives, report, plan);
    std::vector<Outside> renamed; // scratch INI, key, the copy's name in the scratch machine
    for (const Outside& o : outside) {
        const Place copy = Mirror(o.archive);
        if (copy.windows != o.archive) renamed.push_back({Mirror(o.ini).windows, o.key, copy.windows});
        if (!platform::FileExists(o.archive)) continue; // missing: named in the copy, missing there too
        const std::string folder = o.archive.substr(0, o.archive.rfind('\\'));
        const std::string copyFolder = copy.host.substr(0, copy.host.rfind('/'));
        const std::string base = UCase(o.archive.substr(o.archive.rfind('\\') + 1));
        for (const std::string& name : platform::ListFiles(folder, "*.*")) {
            const std::string f = folder + "\\" + name;
            const std::string to = copyFolder + "/" + name;
            const bool planned =
                std::any_of(plan.begin(), plan.end(), [&](const Copy& c) { return c.toHost == to; });
            if (UCase(name).rfind(base, 0) != 0 || planned) continue;
            const bool archive = std::count(archives.begin(), archives.end(), platform::HostPath(f)) > 0;
            plan.push_back({archive ? Copy::Kind::Archive : Copy::Kind::File, f, to, ""});
        }
    }

    // Room for the copies, before the first of them.
    std::int64_t needed = 0;
    for (const Copy& c : plan)
        if (c.kind == Copy::Kind::File || c.kind == Copy::Kind::Archive) needed += platform::FileLen(c.from);
    const std::int64_t room = platform::FreeSpaceBeside(W(scratch_ + "/x"));
    if (room < needed)
        throw Error(kErrDiskFull, "Spazio insufficiente per l'anteprima: le copie dell'installazione "
                                  "richiedono " +
                                      Megabytes(needed) + " MB in " +
                                      W(scratch_.substr(0, scratch_.rfind('/'))) + ", ne restano " +
                                      std::to_string(room >> 20) + " MB.");

    for (const Copy& c : plan) {
        switch (c.kind) {
        case Copy::Kind::Folder:
            MakeFolders(c.toHost);
            break;
        case Copy::Kind::File:
            MakeFolders(c.toHost.substr(0, c.toHost.rfind('/')));
            // One that cannot be read (a link to what this user may not read) is missing from the copy.
            try {
                CopyOne(c.from, c.toHost);
            } catch (const Error& e) {
                if (platform::NameTaken(W(c.toHost))) platform::RemoveOwnFile(W(c.toHost));
                report.Note(c.from, "Anteprima: il file " + c.from + " non è stato copiato perché " + Why(e) +
                                        "; l'anteprima lo ha trovato mancante.");
            }
            break;
        case Copy::Kind::Archive:
            MakeFolders(c.toHost.substr(0, c.toHost.rfind('/')));
            CopyArchive(engine, report, c.from, c.toHost);
            break;
        case Copy::Kind::Link:
            platform::MakeLink(W(c.toHost), c.target);
            break;
        }
    }

    // The report goes into the real data folder, the one file the preview adds there; a machine without an
    // installation gets it in a folder of its own in the host's temporary folder.
    std::string reportFolder;
    if (hasCompanies) {
        reportFolder = platform::HostPath(companies + "\\rapporti");
        if (!platform::FolderExists(W(reportFolder))) platform::MkDir(W(reportFolder));
    } else {
        reportFolder = platform::MakeKeptTempFolder("ledrana-anteprima");
    }
    const Place dataCopy = Mirror(data);
    for (const std::string& letter : aliases_)
        report.previewPaths.push_back({"C:\\ANTEPRIMA-" + letter, letter + ":"});

    platform::SetPrefix(scratchPrefix_);
    report.folder = W(reportFolder);
    box_.emplace(std::vector<std::string>{scratch_, reportFolder});
    // Copies that the scratch machine cannot give their real names are named for the run where they are.
    if (installed && dataCopy.windows != data) platform::WriteOneLine(dirTxt, dataCopy.windows);
    for (const Outside& r : renamed)
        platform::WritePrivateProfileString("Archivi", r.key, r.archive, r.ini);
}

} // namespace ledrana
