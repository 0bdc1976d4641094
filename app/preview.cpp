#include "app/preview.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

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
// left out, and the report says which and why.
void CopyArchive(dao::DBEngine& engine, RunReport& report, const std::string& from,
                 const std::string& toHost) {
    try {
        dao::FileReservation hold = engine.Reserve(from);
        CopyOne(from, toHost);
    } catch (const Error& e) {
        report.Note(from, "Anteprima: l'archivio " + from + " non è stato copiato perché " + Why(e) +
                              "; l'anteprima lo ha trovato mancante.");
    }
}

// Copies a folder (a Windows path of the real machine) and everything in it to a scratch host folder;
// `archives` (real host paths) are copied as archives. The folders of `skip` (paths below `from`, in upper
// case) are left out.
void CopyTree(dao::DBEngine& engine, RunReport& report, const std::string& from, const std::string& toHost,
              const std::set<std::string>& archives, const std::vector<std::string>& skip = {},
              const std::string& below = "") {
    MakeFolders(toHost);
    for (const std::string& name : platform::ListFiles(from, "*.*")) {
        const std::string f = from + "\\" + name;
        if (archives.count(platform::HostPath(f)))
            CopyArchive(engine, report, f, toHost + "/" + name);
        else
            CopyOne(f, toHost + "/" + name);
    }
    for (const std::string& name : platform::ListFolders(from)) {
        const std::string path = below + UCase(name);
        if (std::find(skip.begin(), skip.end(), path) != skip.end()) continue;
        CopyTree(engine, report, from + "\\" + name, toHost + "/" + name, archives, skip, path + "\\");
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

// An archive a company INI puts outside the data folder.
struct Outside {
    std::string ini, key, archive;
};

} // namespace

Preview::Preview(std::string realPrefix) : real_(std::move(realPrefix)) {}

Preview::~Preview() {
    if (scratch_.empty()) return;
    // Everything in the scratch folder was made here: plain files and folders, no links.
    const auto remove = [](const auto& self, const std::string& host) -> void {
        try {
            for (const std::string& name : platform::ListFiles(W(host), "*.*")) {
                const std::string f = W(host + "/" + name);
                if (platform::GetAttr(f) & platform::vbReadOnly) platform::SetAttr(f, platform::vbNormal);
                platform::Kill(f);
            }
            for (const std::string& name : platform::ListFolders(W(host)))
                self(self, host + "/" + name);
            platform::RmDir(W(host));
        } catch (const Error&) {
        }
    };
    remove(remove, scratch_);
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

void Preview::Prepare(dao::DBEngine& engine, RunReport& report) {
    platform::SetPrefix(real_);
    real_ = platform::Prefix();
    scratch_ = platform::MakeTempFolder();
    scratchPrefix_ = scratch_ + "/prefix";
    report.preview = true;

    // The Windows folder: dir.txt and the shortcuts the run removes (its TEMP folder is of no use).
    const std::string windows = platform::GetWindowsDirectory();
    CopyTree(engine, report, windows, Mirror(windows).host, {}, {"TEMP"});

    // The data folder, as the run will find it; a new installation has none yet.
    const std::string dirTxt = windows + "\\dir.txt";
    std::string data = "C:\\ZU";
    const bool installed = platform::FileExists(dirTxt);
    if (installed) data = platform::ReadFirstLine(dirTxt);
    const bool hasData = installed && platform::FolderExists(data);
    const std::string dataHost = platform::HostPath(data);

    // The companies' archives, wherever their INI files put them.
    std::set<std::string> archives;
    std::vector<Outside> outside;
    const std::string companies = data + "\\ledrana";
    if (hasData && platform::FolderExists(companies)) {
        for (const std::string& file : platform::ListFiles(companies, "*.ini")) {
            const std::string ini = companies + "\\" + file;
            for (const char* key : {"Ledrana", "Scadenzario"}) {
                const std::string archive =
                    ArchivePath(ReadIni("Archivi", key, ini), data + "\\" + Company(file));
                try {
                    const std::string host = platform::HostPath(archive);
                    archives.insert(host);
                    if (host.rfind(dataHost + "/", 0) != 0) outside.push_back({ini, key, archive});
                } catch (const Error&) {
                    // an unknown drive: the run will not find the archive either
                }
            }
        }
    }
    // The restore points stay out: the run makes its own in the copy, and it goes with the copy.
    if (hasData) CopyTree(engine, report, data, Mirror(data).host, archives, {"LEDRANA\\RIPRISTINO"});

    // Archives outside the data folder, with the files beside them that carry their name.
    std::vector<Outside> renamed; // scratch INI, key, the copy's name in the scratch machine
    for (const Outside& o : outside) {
        if (!platform::FileExists(o.archive)) continue;
        const Place copy = Mirror(o.archive);
        const std::string folder = o.archive.substr(0, o.archive.rfind('\\'));
        const std::string copyFolder = copy.host.substr(0, copy.host.rfind('/'));
        MakeFolders(copyFolder);
        const std::string base = UCase(o.archive.substr(o.archive.rfind('\\') + 1));
        for (const std::string& name : platform::ListFiles(folder, "*.*")) {
            const std::string f = folder + "\\" + name;
            if (UCase(name).rfind(base, 0) != 0 || platform::FileExists(W(copyFolder + "/" + name))) continue;
            if (archives.count(platform::HostPath(f)))
                CopyArchive(engine, report, f, copyFolder + "/" + name);
            else
                CopyOne(f, copyFolder + "/" + name);
        }
        if (copy.windows != o.archive) renamed.push_back({Mirror(o.ini).windows, o.key, copy.windows});
    }

    // The report goes into the real data folder, the one file the preview adds there.
    const std::string reportFolder = platform::HostPath(data + "\\ledrana\\rapporti");
    MakeFolders(reportFolder);
    const Place dataCopy = Mirror(data);
    for (const std::string& letter : aliases_)
        report.previewPaths.push_back({"C:\\ANTEPRIMA-" + letter, letter + ":"});

    platform::SetPrefix(scratchPrefix_);
    report.folder = W(reportFolder);
    // Copies that the scratch machine cannot give their real names are named for the run where they are.
    if (installed && dataCopy.windows != data) platform::WriteOneLine(dirTxt, dataCopy.windows);
    for (const Outside& r : renamed)
        platform::WritePrivateProfileString("Archivi", r.key, r.archive, r.ini);
}

} // namespace ledrana
